#include "AgentCommands.h"

#include <arpa/inet.h>

#include <array>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ApiCall.h"
#include "agent/CusrNasManager.h"
#include "agent/Pack.h"
#include "board/AgentExchange.h"
#include "board/BoardPorts.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/TextFormats.h"
#include "session/ArraySession.h"
#include "session/MainSettings.h"
#include "velapi.h"

namespace kelpctl {
namespace {

bool ParseAddress(const std::string& text, std::array<std::uint8_t, 4>* pAddress) {
  in_addr addr{};
  if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return false;
  std::memcpy(pAddress->data(), &addr.s_addr, 4);
  return true;
}

// The session with the board's agent connection, as the setup tool makes it: the array read,
// the agent port from the settings, the address from VELAPI. Null, with the failure reported, when
// the array cannot be read or the board has no agent connection.
std::unique_ptr<session::ArraySession> OpenBoard(const Invocation& invocation, Report& report) {
  const auto ulSlot = static_cast<std::uint32_t>(invocation.slot);
  auto pSession =
      std::make_unique<session::ArraySession>(invocation.settingsFile, session::ReadMainSettings(invocation.settingsFile));
  std::uint32_t ulError = 0;
  std::uint32_t ulAccessError = 0;
  CusrCHN::AgentAccess access = CusrCHN::AgentAccess::Ready;
  if (!pSession->Start(&ulError, [&](std::uint32_t ulFitted, CusrCHN::AgentAccess a, std::uint32_t e) {
        if (ulFitted != ulSlot) return;
        access = a;
        ulAccessError = e;
      })) {
    report.Fail(CodedError("the array could not be read", ulError));
    return nullptr;
  }
  if (!pSession->Array().IsCHN(ulSlot)) {
    report.Fail(PlainError("slot " + std::to_string(ulSlot) + " has no NAS board"));
    return nullptr;
  }
  if (access != CusrCHN::AgentAccess::Ready) {
    report.Fail(ApiError(
        {access == CusrCHN::AgentAccess::NoMacAddress ? "dsvp_NasGetComInf" : "dsvp_NasGetP4IPAddr", ulAccessError}));
    return nullptr;
  }
  return pSession;
}

std::string Trimmed(const std::string& text) { return agent::TrimTrailingBlanks(text); }

// A text the agent pads with blanks; null when it holds nothing else.
std::optional<std::string> TextOrNull(const std::string& text) {
  std::string trimmed = Trimmed(text);
  if (trimmed.empty()) return std::nullopt;
  return trimmed;
}

class AgentRun {
 public:
  AgentRun(const Invocation& invocation, const CusrCHN& board, Report& report)
      : m_invocation(invocation), m_board(board), m_report(report), m_out(report.Lines()) {}

  int Run() {
    switch (m_invocation.agentOp) {
      case AgentOp::Version: return Version();
      case AgentOp::Network: return Network();
      case AgentOp::Ntp: return Ntp();
      case AgentOp::Name: return Name();
      case AgentOp::Mtu: return Mtu();
      case AgentOp::Routes: return Routes();
      case AgentOp::Products: return Products();
      case AgentOp::Cluster: return Cluster();
      case AgentOp::Ps: return Ps();
      case AgentOp::SetName: return SetName();
      case AgentOp::SetNetwork: return SetNetwork();
      case AgentOp::SetMtu: return SetMtu();
      case AgentOp::SetNtp: return SetNtp();
      case AgentOp::AddRoute: return AddRoute();
      case AgentOp::DeleteRoute: return DeleteRoute();
      case AgentOp::Install: return Install();
      case AgentOp::Uninstall: return Uninstall();
    }
    return 1;
  }

 private:
  // The code of a board operation; a failure is reported with its step, code and cause.
  std::uint32_t Checked(std::uint32_t ulResult) {
    if (ulResult != 0) ReportExchange();
    return ulResult;
  }
  void ReportExchange() { m_report.Fail(ExchangeError(CusrCHN::LastExchange())); }
  int Usage(const std::string& text) { return m_report.Fail(PlainError(text)); }

  int Version() {
    const std::uint32_t ulVersion = m_board.GetAgentVersion();
    if (CusrCHN::LastExchange().code != 0) {
      ReportExchange();
      return 1;
    }
    // The setup tool refuses to work with an agent newer than it knows (0x05000001 or more).
    const bool bNewer = CusrNasManager::IsNewerAgent(ulVersion);
    if (!m_report.Json())
      std::fprintf(m_out, "slot %d: agent version 0x%08x (%s; this tool 0x%08x)\n", m_invocation.slot, ulVersion,
                   bNewer ? "newer agent: the setup tool would lock itself" : "supported",
                   CusrNasManager::ToolVersionWord());
    m_report.Result(common::json::Value::Object{{"slot", m_invocation.slot},
                                                {"version", ulVersion},
                                                {"newerAgent", bNewer},
                                                {"toolVersion", CusrNasManager::ToolVersionWord()}});
    return 0;
  }

  int Network() {
    std::string ip, mask, gateway;
    if (Checked(m_board.GetNetworkSetting(m_invocation.interfaceNumber, &ip, &mask, &gateway)) != 0) return 1;
    if (!m_report.Json())
      std::fprintf(m_out, "slot %d: mng%u address %s mask %s gateway %s\n", m_invocation.slot,
                   m_invocation.interfaceNumber, Trimmed(ip).c_str(), Trimmed(mask).c_str(), Trimmed(gateway).c_str());
    m_report.Result(common::json::Value::Object{{"slot", m_invocation.slot},
                                                {"interface", "mng" + std::to_string(m_invocation.interfaceNumber)},
                                                {"address", TextOrNull(ip)},
                                                {"mask", TextOrNull(mask)},
                                                {"gateway", TextOrNull(gateway)}});
    return 0;
  }

  int Ntp() {
    std::vector<std::string> servers;
    if (Checked(m_board.GetNTPSetting(&servers)) != 0) return 1;
    if (servers.empty()) std::fprintf(m_out, "slot %d: no NTP server is set\n", m_invocation.slot);
    for (std::size_t i = 0; i < servers.size(); ++i)
      std::fprintf(m_out, "slot %d: NTP server %zu: %s\n", m_invocation.slot, i + 1, servers[i].c_str());
    return 0;
  }

  int Name() {
    std::string name;
    if (Checked(m_board.GetCHNName(&name)) != 0) return 1;
    if (name.empty())
      std::fprintf(m_out, "slot %d: no board name is set\n", m_invocation.slot);
    else
      std::fprintf(m_out, "slot %d: name %s\n", m_invocation.slot, name.c_str());
    return 0;
  }

  int Mtu() {
    std::uint32_t ulMtu = 0;
    if (Checked(m_board.GetMTUInfo(m_invocation.interfaceNumber, &ulMtu)) != 0) return 1;
    std::fprintf(m_out, "slot %d: mng%u MTU %u\n", m_invocation.slot, m_invocation.interfaceNumber, ulMtu);
    return 0;
  }

  bool ListRoutes(std::vector<agent::RouteTexts>* pRoutes) { return Checked(m_board.GetRoutingList(pRoutes)) == 0; }

  int Routes() {
    std::vector<agent::RouteTexts> routes;
    if (!ListRoutes(&routes)) return 1;
    if (routes.empty()) std::fprintf(m_out, "slot %d: no static route\n", m_invocation.slot);
    for (std::size_t i = 0; i < routes.size(); ++i) {
      const agent::RouteTexts& r = routes[i];
      std::fprintf(m_out, "%zu  %-9s %-16s %-16s %-16s %-7s %-6s mss %s\n", i + 1,
                   Trimmed(r[agent::kRouteInterface]).c_str(), Trimmed(r[agent::kRouteTarget]).c_str(),
                   Trimmed(r[agent::kRouteNetmask]).c_str(), Trimmed(r[agent::kRouteGateway]).c_str(),
                   r[agent::kRouteHostFlag].c_str(), r[agent::kRouteRouteFlag].c_str(), r[agent::kRouteMss].c_str());
    }
    return 0;
  }

  bool ListProducts(std::vector<agent::ProductTexts>* pProducts) {
    return Checked(m_board.GetProductList(pProducts)) == 0;
  }

  int Products() {
    std::vector<agent::ProductTexts> products;
    if (!ListProducts(&products)) return 1;
    if (m_report.Json()) {
      common::json::Value::Array listed;
      for (const agent::ProductTexts& p : products) {
        std::uint32_t ulCode = 0;
        std::from_chars(p[agent::kProductCode].data(), p[agent::kProductCode].data() + p[agent::kProductCode].size(),
                        ulCode);
        listed.push_back(common::json::Value::Object{{"code", ulCode},
                                                     {"name", p[agent::kProductName]},
                                                     {"version", p[agent::kProductVersion]},
                                                     {"date", TextOrNull(p[agent::kProductDate])},
                                                     {"type", TextOrNull(p[agent::kProductType])}});
      }
      m_report.Result(common::json::Value::Object{{"slot", m_invocation.slot}, {"products", std::move(listed)}});
      return 0;
    }
    if (products.empty()) std::fprintf(m_out, "slot %d: no program product is installed\n", m_invocation.slot);
    for (const agent::ProductTexts& p : products)
      std::fprintf(m_out, "code %-6s %-24s %-14s %-20s %s\n", p[agent::kProductCode].c_str(),
                   p[agent::kProductName].c_str(), p[agent::kProductVersion].c_str(),
                   Trimmed(p[agent::kProductDate]).c_str(), Trimmed(p[agent::kProductType]).c_str());
    return 0;
  }

  int Cluster() {
    std::uint32_t ulStatus = 0, ulDefined = 0;
    if (Checked(m_board.GetClusterStatus(&ulStatus)) != 0 || Checked(m_board.GetClusterDefinedStatus(&ulDefined)) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: cluster status 0x%08x, cluster definition state 0x%08x\n", m_invocation.slot,
                 ulStatus, ulDefined);
    return 0;
  }

  int Ps() {
    std::vector<CusrCHN::CommandResult> results;
    if (Checked(m_board.ExecCommList({std::string(agent::kPsCommandLine)}, &results)) != 0) return 1;
    const std::string& output = results.front()[3];
    std::fputs(output.c_str(), m_out);
    if (!output.empty() && output.back() != '\n') std::fputc('\n', m_out);
    return 0;
  }

  int SetName() {
    const std::string& name = m_invocation.arguments[0];
    if (Checked(m_board.SetCHNName(name)) != 0) return 1;
    std::fprintf(m_out, "slot %d: name set to %s\n", m_invocation.slot, name.c_str());
    return 0;
  }

  int SetNetwork() {
    std::array<std::uint8_t, 4> ip{}, mask{};
    if (!ParseAddress(m_invocation.arguments[0], &ip) || !ParseAddress(m_invocation.arguments[1], &mask))
      return Usage("set-network needs an IPv4 address and mask such as 192.168.0.5 255.255.255.0");
    const std::string ipText = common::AddressText(ip.data());
    const std::string maskText = common::AddressText(mask.data());
    const std::uint32_t ulResult = m_board.SetNetworkSetting0301(m_invocation.interfaceNumber, ipText, maskText, 0);
    if (ulResult == agent::kAgentNotChanged) {
      std::fprintf(m_out, "slot %d: mng%u already has address %s mask %s\n", m_invocation.slot,
                   m_invocation.interfaceNumber, ipText.c_str(), maskText.c_str());
      return 0;
    }
    if (Checked(ulResult) != 0) return 1;
    std::fprintf(m_out, "slot %d: mng%u set to address %s mask %s\n", m_invocation.slot, m_invocation.interfaceNumber,
                 ipText.c_str(), maskText.c_str());
    return 0;
  }

  int SetMtu() {
    std::uint32_t ulMtu = 0;
    try {
      ulMtu = static_cast<std::uint32_t>(std::stoul(m_invocation.arguments[0]));
    } catch (const std::exception&) {
      return Usage("set-mtu needs a number, not " + m_invocation.arguments[0]);
    }
    if (Checked(m_board.SetMTUInfo(m_invocation.interfaceNumber, ulMtu)) != 0) return 1;
    std::fprintf(m_out, "slot %d: mng%u MTU set to %u\n", m_invocation.slot, m_invocation.interfaceNumber, ulMtu);
    return 0;
  }

  int SetNtp() {
    const std::vector<std::string>& servers = m_invocation.arguments;
    if (Checked(m_board.SetNTPSetting(servers)) != 0) return 1;
    std::fprintf(m_out, "slot %d: %zu NTP server(s) set\n", m_invocation.slot, servers.size());
    return 0;
  }

  int AddRoute() {
    agent::NewRoute route;
    route.ulHostFlag = m_invocation.hostRoute ? 1 : 0;
    route.ulRouteFlag = m_invocation.rejectRoute ? 1 : 0;
    route.ulMSS = m_invocation.mss;
    const std::vector<std::string>& a = m_invocation.arguments;
    std::array<std::uint8_t, 4> address{};
    if (a[0] != "default") {
      if (!ParseAddress(a[0], &address)) return Usage("add-route: the target must be default or an IPv4 address");
      route.target = address;
    }
    if (!ParseAddress(a[1], &route.netmask)) return Usage("add-route: the mask must be an IPv4 address");
    if (a.size() > 2) {
      if (!ParseAddress(a[2], &address)) return Usage("add-route: the gateway must be an IPv4 address");
      route.gateway = address;
    }
    if (Checked(m_board.SetNewRoute(route)) != 0) return 1;
    std::fprintf(m_out, "slot %d: route to %s added\n", m_invocation.slot, a[0].c_str());
    return 0;
  }

  int DeleteRoute() {
    std::size_t index = 0;
    try {
      index = std::stoul(m_invocation.arguments[0]);
    } catch (const std::exception&) {
    }
    std::vector<agent::RouteTexts> routes;
    if (!ListRoutes(&routes)) return 1;
    if (index == 0 || index > routes.size())
      return Usage("delete-route: the board has no route numbered " + m_invocation.arguments[0] +
                   " (see: agent SLOT routes)");
    const agent::RouteTexts& route = routes[index - 1];
    const std::uint32_t ulResult = Checked(m_board.DeleteRoutingInfo(route));
    if (ulResult == agent::kResultRouteNotFound)
      m_report.Fail(PlainError("the board could not delete the route to " + Trimmed(route[agent::kRouteTarget]) +
                               " mask " + Trimmed(route[agent::kRouteNetmask]) + " gateway " +
                               Trimmed(route[agent::kRouteGateway])));
    if (ulResult != 0) return 1;
    std::fprintf(m_out, "slot %d: route %zu to %s deleted\n", m_invocation.slot, index,
                 Trimmed(route[agent::kRouteTarget]).c_str());
    return 0;
  }

  int Install() {
    // The board fetches the file from the maintenance PC's address, which the array knows.
    ApiFailure failure;
    std::array<std::uint8_t, 4> pc{}, pcMask{};
    if (!CallApi(
            "dsvp_GetSvpIPAddr", [&](std::uint32_t* e) { return dsvp_GetSvpIPAddr(pc.data(), pcMask.data(), e); },
            &failure))
      return m_report.Fail(ApiError(failure));
    m_board.Array().SetSvpAddress(pc.data(), pcMask.data());
    const std::string& file = m_invocation.arguments[0];
    std::uint32_t ulVerdict = 0;
    std::fprintf(m_out, "slot %d: installing %s from kelpftpd at %s:%d\n", m_invocation.slot, file.c_str(),
                 common::AddressText(pc.data()).c_str(), m_board.Array().FtpPort());
    std::fflush(m_out);
    if (Checked(m_board.InstallCommonPP(file, m_invocation.timeoutMinutes * 60, &ulVerdict)) != 0) return 1;
    if (ulVerdict != 0) return m_report.Fail(CodedError("the agent refused the installation", ulVerdict));
    std::fprintf(m_out, "slot %d: %s installed\n", m_invocation.slot, file.c_str());
    return 0;
  }

  int Uninstall() {
    std::vector<agent::ProductTexts> products;
    if (!ListProducts(&products)) return 1;
    std::uint32_t ulCode = 0;
    const std::string& code = m_invocation.arguments[0];
    const auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), ulCode);
    if (code.empty() || ec != std::errc() || end != code.data() + code.size())
      return Usage("uninstall needs a product code, not " + code);
    for (const agent::ProductTexts& p : products) {
      if (p[agent::kProductCode] != std::to_string(ulCode)) continue;
      if (Checked(m_board.UninstallPP(ulCode, p[agent::kProductName])) != 0) return 1;
      std::fprintf(m_out, "slot %d: %s (code %s) uninstalled\n", m_invocation.slot, p[agent::kProductName].c_str(),
                   code.c_str());
      return 0;
    }
    return Usage("no installed product has the code " + code + " (see: agent SLOT products)");
  }

  const Invocation& m_invocation;
  const CusrCHN& m_board;
  Report& m_report;
  std::FILE* const m_out;  // the result as text
};

}  // namespace

int RunAgent(const Invocation& invocation, Report& report) {
  CusrTraceScope scope("kelpctl", "RunAgent", TRC_FUNC);
  const std::unique_ptr<session::ArraySession> pSession = OpenBoard(invocation, report);
  if (pSession == nullptr) return 1;
  // Message 3653 names the board by its location.
  const board::ArrayTables& array = pSession->Array();
  CusrNasManager::SetBoardNameProvider([&array](std::uint32_t ulIndex) { return array.LocationName(ulIndex); });
  const int nStatus = AgentRun(invocation, *pSession->Board(static_cast<std::uint32_t>(invocation.slot)), report).Run();
  CusrNasManager::SetBoardNameProvider(nullptr);
  return nStatus;
}

}  // namespace kelpctl
