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

// Each service's state as the backend tells it; false when the manager cannot be opened.
bool PrintStates(std::FILE* out, std::FILE* err, const Invocation& invocation) {
  std::uint32_t ulError = 0;
  const auto manager = plat::ServiceManager::Open(invocation.settingsFile, &ulError);
  if (!manager) {
    std::fprintf(err, "kelpctl: the services backend of %s cannot be opened: 0x%08x\n",
                 invocation.settingsFile.c_str(), ulError);
    return false;
  }
  std::fprintf(out, "backend %s%s\n", manager->BackendName().c_str(),
               manager->IsSimulated() ? " (simulated: no DHCP or TFTP server runs)" : "");
  bool bAll = true;
  for (const char* pszName : kServiceNames) {
    plat::ServiceState state = plat::ServiceState::Stopped;
    const auto service = manager->OpenService(pszName, &ulError);
    if (!service || !service->Query(&state, &ulError)) {
      std::fprintf(out, "%s: unknown (0x%08x)\n", pszName, ulError);
      bAll = false;
      continue;
    }
    std::fprintf(out, "%s: %s\n", pszName, state == plat::ServiceState::Running ? "running" : "stopped");
  }
  return bAll;
}

// The session with its boards' status and MAC addresses and the maintenance PC's address, as the
// main window has them when it starts the services.
bool PrepareSession(session::ArraySession& session, std::FILE* err) {
  std::uint32_t ulError = 0;
  if (!session.Start(&ulError, [err](std::uint32_t ulSlot, CusrCHN::AgentAccess access, std::uint32_t ulAccessError) {
        if (access == CusrCHN::AgentAccess::NoMacAddress)
          std::fprintf(err, "kelpctl: slot %u: no MAC address (0x%08x)\n", ulSlot, ulAccessError);
      })) {
    std::fprintf(err, "kelpctl: the array could not be read: 0x%08x\n", ulError);
    return false;
  }
  ApiFailure failure;
  if (!CallApi("dsvp_GetSvpIPAddr", [&](std::uint32_t* e) { return session.ReadSvpAddress(e); }, &failure)) {
    ReportFailure(err, failure);
    return false;
  }
  return true;
}

}  // namespace

int RunServices(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  const std::string& op = invocation.arguments.front();
  // The session's tables give the services the boards' MAC addresses and the maintenance PC's
  // address, as in the setup tool; only start reads them.
  session::ArraySession session(invocation.settingsFile, session::ReadMainSettings(invocation.settingsFile));
  services::NetbootServices netboot(session.Array(), invocation.settingsFile, session.Settings().dhcpStartAddress, {});
  if (op == "start") {
    if (!PrepareSession(session, err)) return 1;
    const bool bStarted = netboot.RunService(1);
    PrintStates(out, err, invocation);
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
        std::fprintf(err, "kelpctl: %s refused to stop\n", pszName);
        bStopped = false;
      }
    }
    return PrintStates(out, err, invocation) && bStopped ? 0 : 1;
  }
  return PrintStates(out, err, invocation) ? 0 : 1;
}

}  // namespace kelpctl
