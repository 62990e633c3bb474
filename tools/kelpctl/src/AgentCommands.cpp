#include "AgentCommands.h"

#include <arpa/inet.h>

#include <array>
#include <charconv>
#include <cstring>
#include <string>
#include <vector>

#include "ApiCall.h"
#include "agent/CusrNasManager.h"
#include "agent/Pack.h"
#include "board/AgentExchange.h"
#include "board/BoardPorts.h"
#include "common/CusrTraceScope.h"
#include "common/TextFormats.h"
#include "velapi.h"

namespace kelpctl {
namespace {

using Step = board::ExchangeStep;

bool ParseAddress(const std::string& text, std::array<std::uint8_t, 4>* pAddress) {
  in_addr addr{};
  if (inet_pton(AF_INET, text.c_str(), &addr) != 1) return false;
  std::memcpy(pAddress->data(), &addr.s_addr, 4);
  return true;
}

// The board's agent link: address and mask from VELAPI, port from the settings.
struct Board {
  std::array<std::uint8_t, 4> ip{};
  std::array<std::uint8_t, 4> mask{};
  std::string location;
  std::uint32_t port = agent::kDefaultAgentPort;
};

bool ResolveBoard(const Invocation& invocation, Board* pBoard, std::FILE* err) {
  const short sCluster = board::ClusterOf(invocation.slot);
  const short sPCB = board::PcbOf(invocation.slot);
  ApiFailure failure;
  std::array<char, VEL_LOCATION_MIN_SIZE> location{};
  if (!CallApi(
          "dsvp_NasGetP4IPAddr",
          [&](std::uint32_t* e) {
            return dsvp_NasGetP4IPAddr(sCluster, sPCB, pBoard->ip.data(), pBoard->mask.data(), e);
          },
          &failure) ||
      !CallApi(
          "dsvp_GetChaLocationName",
          [&](std::uint32_t* e) {
            return dsvp_GetChaLocationName(sCluster, sPCB, location.data(), static_cast<short>(location.size()), e);
          },
          &failure)) {
    ReportFailure(err, failure);
    return false;
  }
  pBoard->location.assign(location.data(), strnlen(location.data(), location.size()));
  pBoard->port = board::ResolveAgentPort(pBoard->location, invocation.settingsFile);
  return true;
}

std::string Trimmed(const std::string& text) { return agent::TrimTrailingBlanks(text); }

class AgentRun {
 public:
  AgentRun(const Invocation& invocation, const Board& link, std::FILE* out, std::FILE* err)
      : m_invocation(invocation),
        m_manager(link.ip.data(), link.mask.data(), link.port, static_cast<std::uint32_t>(invocation.slot)),
        m_out(out),
        m_err(err) {}

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
  // One exchange; a failure is printed with its step, code and cause.
  std::uint32_t Run(board::Connect connect, const char* name, const Step& request, const Step& reply) {
    const board::ExchangeResult result = board::RunExchange(m_manager, connect, name, request, reply);
    if (result.code != 0) Report(result);
    return result.code;
  }
  void Report(const board::ExchangeResult& result) {
    std::fprintf(m_err, "kelpctl: %s(), code = 0x%08x%s%s\n", result.failedStep.c_str(), result.code,
                 result.cause.empty() ? "" : ": ", result.cause.c_str());
  }
  int Usage(const std::string& text) {
    std::fprintf(m_err, "kelpctl: %s\n", text.c_str());
    return 1;
  }

  int Version() {
    std::uint32_t ulVersion = 0;
    if (Run(
            board::Connect::Quiet, "Version", [&](int s) { return m_manager.RequestVersion(s); },
            [&](int s) { return m_manager.ReplyVersion(s, &ulVersion); }) != 0)
      return 1;
    // The setup tool refuses to work with an agent newer than it knows (0x05000001 or more).
    std::fprintf(
        m_out, "slot %d: agent version 0x%08x (%s; this tool 0x%08x)\n", m_invocation.slot, ulVersion,
        CusrNasManager::IsNewerAgent(ulVersion) ? "newer agent: the setup tool would lock itself" : "supported",
        CusrNasManager::ToolVersionWord());
    return 0;
  }

  int Network() {
    std::string ip, mask, gateway;
    if (Run(
            board::Connect::Plain, "NetworkInfo",
            [&](int s) { return m_manager.RequestNetworkInfo(s, m_invocation.interfaceNumber); },
            [&](int s) { return m_manager.ReplyNetworkInfo(s, &ip, &mask, &gateway); }) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: mng%u address %s mask %s gateway %s\n", m_invocation.slot,
                 m_invocation.interfaceNumber, Trimmed(ip).c_str(), Trimmed(mask).c_str(), Trimmed(gateway).c_str());
    return 0;
  }

  int Ntp() {
    std::vector<std::string> servers;
    if (Run(
            board::Connect::Plain, "NTPInfo", [&](int s) { return m_manager.RequestNTPInfo(s); },
            [&](int s) { return m_manager.ReplyNTPInfo(s, &servers); }) != 0)
      return 1;
    if (servers.empty()) std::fprintf(m_out, "slot %d: no NTP server is set\n", m_invocation.slot);
    for (std::size_t i = 0; i < servers.size(); ++i)
      std::fprintf(m_out, "slot %d: NTP server %zu: %s\n", m_invocation.slot, i + 1, servers[i].c_str());
    return 0;
  }

  int Name() {
    std::string name;
    if (Run(
            board::Connect::Plain, "CHNName", [&](int s) { return m_manager.RequestCHNName(s); },
            [&](int s) { return m_manager.ReplyCHNName(s, &name); }) != 0)
      return 1;
    if (name.empty())
      std::fprintf(m_out, "slot %d: no board name is set\n", m_invocation.slot);
    else
      std::fprintf(m_out, "slot %d: name %s\n", m_invocation.slot, name.c_str());
    return 0;
  }

  int Mtu() {
    std::uint32_t ulMtu = 0;
    if (Run(
            board::Connect::Plain, "MTUInfo",
            [&](int s) { return m_manager.RequestMTUInfo(s, m_invocation.interfaceNumber); },
            [&](int s) { return m_manager.ReplyMTUInfo(s, &ulMtu); }) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: mng%u MTU %u\n", m_invocation.slot, m_invocation.interfaceNumber, ulMtu);
    return 0;
  }

  bool ListRoutes(std::vector<agent::RouteTexts>* pRoutes) {
    return Run(
               board::Connect::Plain, "RoutingInfo", [&](int s) { return m_manager.RequestRoutingInfo(s); },
               [&](int s) { return m_manager.ReplyRoutingInfo(s, pRoutes); }) == 0;
  }

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
    return Run(
               board::Connect::Plain, "UninstInfo", [&](int s) { return m_manager.RequestUninstInfo(s); },
               [&](int s) { return m_manager.ReplyUninstInfo(s, pProducts); }) == 0;
  }

  int Products() {
    std::vector<agent::ProductTexts> products;
    if (!ListProducts(&products)) return 1;
    if (products.empty()) std::fprintf(m_out, "slot %d: no program product is installed\n", m_invocation.slot);
    for (const agent::ProductTexts& p : products)
      std::fprintf(m_out, "code %-6s %-24s %-14s %-20s %s\n", p[agent::kProductCode].c_str(),
                   p[agent::kProductName].c_str(), p[agent::kProductVersion].c_str(),
                   Trimmed(p[agent::kProductDate]).c_str(), Trimmed(p[agent::kProductType]).c_str());
    return 0;
  }

  int Cluster() {
    std::uint32_t ulStatus = 0, ulDefined = 0;
    if (Run(
            board::Connect::Plain, "ClusterStatus", [&](int s) { return m_manager.RequestClusterStatus(s); },
            [&](int s) { return m_manager.ReplyClusterStatus(s, &ulStatus); }) != 0 ||
        Run(
            board::Connect::Plain, "ClusterDefinedStatus",
            [&](int s) { return m_manager.RequestClusterDefinedStatus(s); },
            [&](int s) { return m_manager.ReplyClusterDefinedStatus(s, &ulDefined); }) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: cluster status 0x%08x, cluster definition state 0x%08x\n", m_invocation.slot,
                 ulStatus, ulDefined);
    return 0;
  }

  int Ps() {
    std::string output;
    if (Run(
            board::Connect::Quiet, "CommandIF",
            [&](int s) { return m_manager.RequestCommandIF(s, std::string(agent::kPsCommandLine)); },
            [&](int s) { return m_manager.ReplyCommandIF(s, &output); }) != 0)
      return 1;
    std::fputs(output.c_str(), m_out);
    if (!output.empty() && output.back() != '\n') std::fputc('\n', m_out);
    return 0;
  }

  int SetName() {
    const std::string& name = m_invocation.arguments[0];
    if (Run(
            board::Connect::Plain, "CHNNameSetting", [&](int s) { return m_manager.RequestCHNNameSetting(s, name); },
            [&](int s) { return m_manager.ReplyCHNNameSetting(s); }) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: name set to %s\n", m_invocation.slot, name.c_str());
    return 0;
  }

  int SetNetwork() {
    std::array<std::uint8_t, 4> ip{}, mask{};
    if (!ParseAddress(m_invocation.arguments[0], &ip) || !ParseAddress(m_invocation.arguments[1], &mask))
      return Usage("set-network needs an IPv4 address and mask such as 192.168.0.5 255.255.255.0");
    const std::string ipText = common::AddressText(ip.data());
    const std::string maskText = common::AddressText(mask.data());
    const board::ExchangeResult result = board::RunExchange(
        m_manager, board::Connect::Plain, "NetworkSetting0301",
        [&](int s) { return m_manager.RequestNetworkSetting0301(s, m_invocation.interfaceNumber, ipText, maskText); },
        [&](int s) { return m_manager.ReplyNetworkSetting0301(s, 0); });
    if (result.code == agent::kAgentNotChanged) {
      std::fprintf(m_out, "slot %d: mng%u already has address %s mask %s\n", m_invocation.slot,
                   m_invocation.interfaceNumber, ipText.c_str(), maskText.c_str());
      return 0;
    }
    if (result.code != 0) {
      Report(result);
      return 1;
    }
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
    if (Run(
            board::Connect::Plain, "MTUSetting",
            [&](int s) { return m_manager.RequestMTUSetting(s, m_invocation.interfaceNumber, ulMtu); },
            [&](int s) { return m_manager.ReplyMTUSetting(s); }) != 0)
      return 1;
    std::fprintf(m_out, "slot %d: mng%u MTU set to %u\n", m_invocation.slot, m_invocation.interfaceNumber, ulMtu);
    return 0;
  }

  int SetNtp() {
    const std::vector<std::string>& servers = m_invocation.arguments;
    if (Run(
            board::Connect::Plain, "NTPSetting", [&](int s) { return m_manager.RequestNTPSetting(s, servers); },
            [&](int s) { return m_manager.ReplyNTPSetting(s); }) != 0)
      return 1;
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
    if (Run(
            board::Connect::Plain, "RoutingAdd", [&](int s) { return m_manager.RequestRoutingAdd(s, route); },
            [&](int s) { return m_manager.ReplyRoutingAdd(s); }) != 0)
      return 1;
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
    const std::uint32_t ulResult = Run(
        board::Connect::Plain, "RoutingDelete", [&](int s) { return m_manager.RequestRoutingDelete(s, route); },
        [&](int s) { return m_manager.ReplyRoutingDelete(s); });
    if (ulResult == agent::kResultRouteNotFound)
      std::fprintf(m_err, "kelpctl: the board could not delete the route to %s mask %s gateway %s\n",
                   Trimmed(route[agent::kRouteTarget]).c_str(), Trimmed(route[agent::kRouteNetmask]).c_str(),
                   Trimmed(route[agent::kRouteGateway]).c_str());
    if (ulResult != 0) return 1;
    std::fprintf(m_out, "slot %d: route %zu to %s deleted\n", m_invocation.slot, index,
                 Trimmed(route[agent::kRouteTarget]).c_str());
    return 0;
  }

  int Install() {
    ApiFailure failure;
    std::uint32_t ulSerial = 0;
    std::array<std::uint8_t, 4> pc{}, pcMask{};
    if (!CallApi(
            "dsvp_GetDkcSerialNo", [&](std::uint32_t* e) { return dsvp_GetDkcSerialNo(&ulSerial, e); }, &failure) ||
        !CallApi(
            "dsvp_GetSvpIPAddr", [&](std::uint32_t* e) { return dsvp_GetSvpIPAddr(pc.data(), pcMask.data(), e); },
            &failure)) {
      ReportFailure(m_err, failure);
      return 1;
    }
    const int nFtpPort = board::ResolveFileServerPort(m_invocation.settingsFile);
    const std::string& file = m_invocation.arguments[0];
    const std::string pcText = common::AddressText(pc.data());
    std::uint32_t ulVerdict = 0;
    std::fprintf(m_out, "slot %d: installing %s from kelpftpd at %s:%d\n", m_invocation.slot, file.c_str(),
                 pcText.c_str(), nFtpPort);
    std::fflush(m_out);
    if (Run(
            board::Connect::Plain, "Install",
            [&](int s) {
              return m_manager.RequestInstall(s, ulSerial, file, pcText, static_cast<std::uint32_t>(nFtpPort));
            },
            [&](int s) { return m_manager.ReplyInstall(s, m_invocation.timeoutMinutes * 60, &ulVerdict); }) != 0)
      return 1;
    if (ulVerdict != 0) {
      std::fprintf(m_err, "kelpctl: the agent refused the installation: 0x%08x\n", ulVerdict);
      return 1;
    }
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
      if (Run(
              board::Connect::Plain, "Uninstall",
              [&](int s) { return m_manager.RequestUninstall(s, ulCode, p[agent::kProductName]); },
              [&](int s) { return m_manager.ReplyUninstall(s); }) != 0)
        return 1;
      std::fprintf(m_out, "slot %d: %s (code %s) uninstalled\n", m_invocation.slot, p[agent::kProductName].c_str(),
                   code.c_str());
      return 0;
    }
    return Usage("no installed product has the code " + code + " (see: agent SLOT products)");
  }

  const Invocation& m_invocation;
  CusrNasManager m_manager;
  std::FILE* m_out;
  std::FILE* m_err;
};

}  // namespace

int RunAgent(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  CusrTraceScope scope("kelpctl", "RunAgent", TRC_FUNC);
  Board link;
  if (!ResolveBoard(invocation, &link, err)) return 1;
  // Message 3653 names the board by its location.
  CusrNasManager::SetBoardNameProvider([location = link.location](std::uint32_t) { return location; });
  return AgentRun(invocation, link, out, err).Run();
}

}  // namespace kelpctl
