#include "ServiceCommands.h"

#include <memory>
#include <vector>

#include "ApiCall.h"
#include "services/NetbootServices.h"
#include "session/ArraySession.h"
#include "session/MainSettings.h"
#include "velapi.h"

namespace kelpctl {
namespace {

constexpr const char* kServiceNames[] = {services::kDhcpServiceName, services::kTftpServiceName};

// Each service's state as the backend tells it: printed, or under --json the result document;
// false when the manager cannot be opened or a state cannot be read (reported).
bool ReportStates(Report& report, const Invocation& invocation) {
  std::uint32_t ulError = 0;
  const auto manager = plat::ServiceManager::Open(invocation.settingsFile, &ulError);
  if (!manager) {
    report.Fail(CodedError("the services backend of " + invocation.settingsFile + " cannot be opened", ulError));
    return false;
  }
  std::FILE* const out = report.Lines();
  if (!report.Json())
    std::fprintf(out, "backend %s%s\n", manager->BackendName().c_str(),
                 manager->IsSimulated() ? " (simulated: no DHCP or TFTP server runs)" : "");
  bool bAll = true;
  common::json::Value::Array states;
  for (const char* pszName : kServiceNames) {
    plat::ServiceState state = plat::ServiceState::Stopped;
    const auto service = manager->OpenService(pszName, &ulError);
    if (!service || !service->Query(&state, &ulError)) {
      // As text the state is a line of the table; under --json it is the command's failure.
      if (report.Json())
        report.Fail(CodedError(std::string("the state of ") + pszName + " cannot be read", ulError));
      else
        std::fprintf(out, "%s: unknown (0x%08x)\n", pszName, ulError);
      bAll = false;
      continue;
    }
    const char* pszState = state == plat::ServiceState::Running ? "running" : "stopped";
    if (!report.Json()) std::fprintf(out, "%s: %s\n", pszName, pszState);
    states.push_back(common::json::Value::Object{{"name", pszName}, {"state", pszState}});
  }
  report.Result(common::json::Value::Object{
      {"backend", manager->BackendName()},
      {"simulated", manager->IsSimulated()},
      {"services", std::move(states)},
  });
  return bAll;
}

// The session with its boards' status and MAC addresses and the maintenance PC's address, as the
// main window has them when it starts the services.
bool PrepareSession(session::ArraySession& session, Report& report) {
  std::uint32_t ulError = 0;
  if (!session.Start(&ulError, [err = report.Notes()](std::uint32_t ulSlot, CusrCHN::AgentAccess access,
                                                      std::uint32_t ulAccessError) {
        if (access == CusrCHN::AgentAccess::NoMacAddress)
          std::fprintf(err, "kelpctl: slot %u: no MAC address (0x%08x)\n", ulSlot, ulAccessError);
      })) {
    report.Fail(CodedError("the array could not be read", ulError));
    return false;
  }
  ApiFailure failure;
  if (!CallApi("dsvp_GetSvpIPAddr", [&](std::uint32_t* e) { return session.ReadSvpAddress(e); }, &failure)) {
    report.Fail(ApiError(failure));
    return false;
  }
  return true;
}

}  // namespace

int RunServices(const Invocation& invocation, Report& report) {
  const std::string& op = invocation.arguments.front();
  // The session's tables give the services the boards' MAC addresses and the maintenance PC's
  // address, as in the setup tool; only start reads them.
  session::ArraySession session(invocation.settingsFile, session::ReadMainSettings(invocation.settingsFile));
  services::NetbootServices netboot(session.Array(), invocation.settingsFile, session.Settings().dhcpStartAddress, {});
  if (op == "start") {
    if (!PrepareSession(session, report)) return 1;
    const bool bStarted = netboot.RunService(1);
    ReportStates(report, invocation);
    return bStarted ? 0 : 1;
  }
  if (op == "stop") {
    std::uint32_t ulError = 0;
    const auto manager = plat::ServiceManager::Open(invocation.settingsFile, &ulError);
    bool bStopped = manager != nullptr;
    for (const char* pszName : kServiceNames) {
      const auto service = manager ? manager->OpenService(pszName, &ulError) : nullptr;
      plat::ServiceState state = plat::ServiceState::Stopped;
      if (service && service->Query(&state, &ulError) && state == plat::ServiceState::Running &&
          !netboot.StopService(service.get())) {
        report.Fail(PlainError(std::string(pszName) + " refused to stop"));
        bStopped = false;
      }
    }
    return ReportStates(report, invocation) && bStopped ? 0 : 1;
  }
  return ReportStates(report, invocation) ? 0 : 1;
}

}  // namespace kelpctl
