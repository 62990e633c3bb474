#include "BoardAgent.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <sstream>

#include "ProductFetch.h"
#include "agent/Pack.h"
#include "plat/Clock.h"

namespace agentsim {
namespace {

using agent::Exchange;
using Bytes = std::vector<std::uint8_t>;

constexpr std::uint32_t kMinMtu = 68;
constexpr std::uint32_t kMaxMtu = 9216;
constexpr std::size_t kMaxNameLength = 32;
constexpr std::size_t kMaxServerLength = 64;

// A text field as received: without the blanks (and zeros) that pad it.
std::string Clean(const std::string& text) {
  const std::size_t end = text.find_last_not_of(std::string(" \0", 2));
  return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

// Texts the agent stores: printable, and free of the state file's quote and separator.
bool Storable(const std::string& text, std::size_t maxLength) {
  return !text.empty() && text.size() <= maxLength && std::all_of(text.begin(), text.end(), [](char c) {
    return c >= 0x20 && c < 0x7F && c != '"' && c != '|';
  });
}

std::optional<std::uint32_t> Dotted(const std::string& text) {
  unsigned a = 0, b = 0, c = 0, d = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%3u.%3u.%3u.%3u%c", &a, &b, &c, &d, &tail) != 4 || a > 255 || b > 255 ||
      c > 255 || d > 255 || text.find_first_not_of("0123456789.") != std::string::npos)
    return std::nullopt;
  return a << 24 | b << 16 | c << 8 | d;
}

bool IsMask(const std::string& text) {
  const auto mask = Dotted(text);
  return mask && *mask != 0 && (~*mask & (~*mask + 1)) == 0;
}

std::string DateText(const char* format, std::size_t width) {
  const std::time_t now = std::chrono::system_clock::to_time_t(plat::Clock::WallNow());
  std::tm tm{};
  ::localtime_r(&now, &tm);
  char buf[64];
  std::strftime(buf, sizeof buf, format, &tm);
  return agent::PadBlanks(buf, width);
}

// Data that starts with a DataSize word counting what follows it.
Bytes WithDataSize(const Bytes& rest) {
  Bytes out;
  agent::Pack(out, "l", {static_cast<std::uint32_t>(rest.size())});
  out.insert(out.end(), rest.begin(), rest.end());
  return out;
}

void PackText(Bytes& out, const std::string& text, std::size_t width) {
  agent::Pack(out, agent::MakeFormat("S(%zu)", width), {std::string_view(text)});
}

// Length word and the text padded to a word.
void PackLengthText(Bytes& out, const std::string& text) {
  const std::string padded = agent::PadToWord(text);
  agent::Pack(out, "l", {static_cast<std::uint32_t>(padded.size())});
  PackText(out, padded, padded.size());
}

void PackRoute(Bytes& out, const Route& r) {
  PackText(out, r.interface, agent::kRouteInterfaceWidth);
  PackLengthText(out, r.target);
  PackText(out, r.netmask, agent::kRouteNetmaskWidth);
  if (r.gateway.empty())
    agent::Pack(out, "l", {0u});
  else
    PackLengthText(out, r.gateway);
  agent::Pack(out, "lll", {r.hostFlag, r.routeFlag, r.mss});
}

std::optional<Route> ParseRoute(Cursor& in) {
  Route r;
  std::uint32_t targetLength = 0, gatewayLength = 0;
  std::string interface, target, netmask, gateway;
  if (!in.Text(agent::kRouteInterfaceWidth, &interface) || !in.Word(&targetLength) ||
      !in.Text(targetLength, &target) || !in.Text(agent::kRouteNetmaskWidth, &netmask) ||
      !in.Word(&gatewayLength) || !in.Text(gatewayLength, &gateway) || !in.Word(&r.hostFlag) ||
      !in.Word(&r.routeFlag) || !in.Word(&r.mss) || in.Left() != 0)
    return std::nullopt;
  r.interface = Clean(interface);
  r.target = Clean(target);
  r.netmask = Clean(netmask);
  r.gateway = Clean(gateway);
  return r;
}

// The text of a request that is all text (an interface name, a command line).
std::string WholeText(const Request& request) {
  std::string text;
  Cursor(request.params).Text(request.params.size(), &text);
  return Clean(text);
}

std::string PsOutput(bool haProcess) {
  std::string out = "init\nkthreadd\nsshd\nsyslogd\ncrond\nnas_agent\n";
  if (haProcess) out += "ha_monitor\nha_daemon\n";
  return out + "smbd\nnfsd\n";
}

std::string CommandOutput(const std::string& command, const BoardOptions& options, const BoardData& data) {
  if (command == kPsCommand) return PsOutput(options.haProcess);
  if (command == "hostname") return data.name.value_or("nasboard") + "\n";
  if (command == "uname -r") return "5.0.1\n";
  if (command == "true" || command.empty()) return "";
  const std::string program = command.substr(0, command.find(' '));
  return "sh: " + program + ": command not found\n";
}

}  // namespace

BoardAgent::BoardAgent(int slot, std::string address, const std::filesystem::path& unitDir)
    : m_slot(slot),
      m_address(std::move(address)),
      m_stateFile(BoardStateFile(unitDir, slot)),
      m_data(LoadBoardData(m_stateFile, DefaultBoardData(slot, m_address))) {}

void BoardAgent::Save() {
  std::string error;
  if (!SaveBoardData(m_stateFile, m_data, &error))
    std::fprintf(stderr, "kelp-agentsim: slot %d: %s\n", m_slot, error.c_str());
}

std::optional<Answer> BoardAgent::Handle(const Request& request, const BoardOptions& options, std::string* pNote) {
  const std::uint32_t msgType = agent::Info(request.id).msgType;
  if (request.id == Exchange::Install || request.id == Exchange::SutInstallCheck) return Install(request, pNote);
  const std::lock_guard lock(m_mutex);
  if (msgType == 14) return Recovery(request, options);
  if (request.id == Exchange::UninstInfo || request.id == Exchange::Uninstall) {
    if (request.id == Exchange::UninstInfo) {
      if (!request.params.empty()) return std::nullopt;
      Bytes entries;
      for (const InstalledProduct& p : m_data.products) {
        agent::Pack(entries, "l", {p.code});
        PackLengthText(entries, p.name);
        PackLengthText(entries, p.version);
        PackText(entries, p.date, agent::kInstallDateWidth);
        PackText(entries, p.type, agent::kInstallTypeWidth);
      }
      return Answer{0, WithDataSize(entries)};
    }
    Cursor in(request.params);
    std::uint32_t code = 0, length = 0;
    std::string name;
    if (!in.Word(&code) || !in.Word(&length) || !in.Text(length, &name) || in.Left() != 0) return std::nullopt;
    const auto found = std::find_if(m_data.products.begin(), m_data.products.end(),
                                    [code](const InstalledProduct& p) { return p.code == code; });
    if (found == m_data.products.end()) return Answer{kErrNoSuchProduct, {}};
    m_data.products.erase(found);
    Save();
    return Answer{0, {}};
  }
  return Settings(request, options);
}

std::optional<Answer> BoardAgent::Settings(const Request& request, const BoardOptions& options) {
  Cursor in(request.params);
  switch (request.id) {
    case Exchange::NetworkInfo: {
      const auto nic = m_data.interfaces.find(WholeText(request));
      if (nic == m_data.interfaces.end()) return Answer{kErrField0, {}};
      Bytes data;
      PackText(data, nic->second.ip, agent::kAddressTextWidth);
      PackText(data, nic->second.mask, agent::kAddressTextWidth);
      PackText(data, nic->second.gateway, agent::kAddressTextWidth);
      return Answer{0, WithDataSize(data)};
    }
    case Exchange::NetworkSetting0301: {
      std::string name, ip, mask;
      if (!in.Text(agent::kInterfaceNameWidth, &name) || !in.Text(agent::kAddressTextWidth, &ip) ||
          !in.Text(agent::kAddressTextWidth, &mask) || in.Left() != 0)
        return std::nullopt;
      ip = Clean(ip);
      mask = Clean(mask);
      const auto nic = m_data.interfaces.find(Clean(name));
      if (nic == m_data.interfaces.end()) return Answer{kErrField0, {}};
      if (!Dotted(ip)) return Answer{kErrField1, {}};
      if (!IsMask(mask)) return Answer{kErrField2, {}};
      for (const auto& [other, settings] : m_data.interfaces)
        if (other != nic->first && settings.ip == ip) return Answer{kErrAddressConflict, {}};
      if (nic->second.ip == ip && nic->second.mask == mask) return Answer{kErrNotChanged, {}};
      nic->second.ip = ip;
      nic->second.mask = mask;
      Save();
      return Answer{0, {}};
    }
    case Exchange::NTPInfo: {
      if (!request.params.empty()) return std::nullopt;
      Bytes data;
      for (const std::string& server : m_data.ntpServers) PackLengthText(data, server);
      return Answer{0, WithDataSize(data)};
    }
    case Exchange::NTPSetting: {
      std::vector<std::string> servers;
      while (in.Left() > 0) {
        std::uint32_t length = 0;
        std::string server;
        if (!in.Word(&length) || !in.Text(length, &server)) return std::nullopt;
        servers.push_back(Clean(server));
      }
      if (servers.size() > agent::kMaxNtpServers) return Answer{kErrTooManyServers, {}};
      for (std::size_t i = 0; i < servers.size(); ++i)
        if (!Storable(servers[i], kMaxServerLength)) return Answer{kErrField0 + static_cast<std::uint32_t>(i), {}};
      m_data.ntpServers = servers;
      Save();
      return Answer{0, {}};
    }
    case Exchange::CHNName: {
      if (!request.params.empty()) return std::nullopt;
      Bytes data;
      if (m_data.name) PackLengthText(data, *m_data.name);
      return Answer{0, WithDataSize(data)};
    }
    case Exchange::CHNNameSetting: {
      std::uint32_t length = 0;
      std::string name;
      if (!in.Word(&length) || !in.Text(length, &name) || in.Left() != 0) return std::nullopt;
      name = Clean(name);
      if (!name.empty() && !Storable(name, kMaxNameLength)) return Answer{kErrField1, {}};
      m_data.name = name.empty() ? std::nullopt : std::optional(name);
      Save();
      return Answer{0, {}};
    }
    case Exchange::MTUInfo: {
      const auto nic = m_data.interfaces.find(WholeText(request));
      if (nic == m_data.interfaces.end()) return Answer{kErrField0, {}};
      Bytes data;
      agent::Pack(data, "ll", {4u, nic->second.mtu});
      return Answer{0, data};
    }
    case Exchange::MTUSetting: {
      std::string name;
      std::uint32_t mtu = 0;
      if (request.params.size() < 4 || !in.Text(request.params.size() - 4, &name) || !in.Word(&mtu)) return std::nullopt;
      const auto nic = m_data.interfaces.find(Clean(name));
      if (nic == m_data.interfaces.end()) return Answer{kErrField0, {}};
      if (mtu < kMinMtu || mtu > kMaxMtu) return Answer{kErrField1, {}};
      nic->second.mtu = mtu;
      Save();
      return Answer{0, {}};
    }
    case Exchange::RoutingInfo: {
      if (!request.params.empty()) return std::nullopt;
      Bytes data;
      for (const Route& r : m_data.routes) PackRoute(data, r);
      return Answer{0, WithDataSize(data)};
    }
    case Exchange::RoutingAdd: {
      const auto route = ParseRoute(in);
      if (!route) return std::nullopt;
      if (!m_data.interfaces.count(route->interface)) return Answer{kErrRouteInterface, {}};
      if (route->target != agent::kDefaultRouteTarget && !Dotted(route->target)) return Answer{kErrRouteTarget, {}};
      if (!Dotted(route->netmask) || route->hostFlag > 1 || route->routeFlag > 1) return Answer{kErrRouteNetmask, {}};
      if (!route->gateway.empty() && !Dotted(route->gateway)) return Answer{kErrRouteGateway, {}};
      for (const Route& r : m_data.routes)
        if (r.interface == route->interface && r.target == route->target && r.netmask == route->netmask)
          return Answer{kErrRouteExists, {}};
      if (m_data.routes.size() >= kMaxRoutes) return Answer{kErrRouteTableFull, {}};
      m_data.routes.push_back(*route);
      Save();
      return Answer{0, {}};
    }
    case Exchange::RoutingDelete: {
      const auto route = ParseRoute(in);
      if (!route) return std::nullopt;
      const auto found = std::find_if(m_data.routes.begin(), m_data.routes.end(), [&](const Route& r) {
        return r.interface == route->interface && r.target == route->target && r.netmask == route->netmask &&
               r.gateway == route->gateway;
      });
      if (found == m_data.routes.end()) return Answer{kErrRouteNotFound, {}};
      m_data.routes.erase(found);
      Save();
      return Answer{0, {}};
    }
    case Exchange::CommandIF: {
      const std::string output = CommandOutput(WholeText(request), options, m_data);
      return Answer{static_cast<std::uint32_t>(output.size()), Bytes(output.begin(), output.end())};
    }
    case Exchange::ClusterStatus:
    case Exchange::ClusterDefinedStatus:
    case Exchange::Version: {
      if (request.id == Exchange::Version) {
        std::uint32_t constant = 0, toolVersion = 0;
        if (!in.Word(&constant) || !in.Word(&toolVersion) || in.Left() != 0) return std::nullopt;
        return Answer{options.agentVersion.value_or(m_data.agentVersion), {}};
      }
      if (!request.params.empty()) return std::nullopt;
      if (request.id == Exchange::ClusterStatus) return Answer{options.clusterStatus.value_or(m_data.clusterStatus), {}};
      return Answer{options.clusterDefinedStatus.value_or(m_data.clusterDefinedStatus), {}};
    }
    default:
      return std::nullopt;
  }
}

std::optional<Answer> BoardAgent::Install(const Request& request, std::string* pNote) {
  Cursor in(request.params);
  std::uint32_t serial = 0, length = 0, port = 0;
  std::string file, address;
  if (request.id == Exchange::Install && !in.Word(&serial)) return std::nullopt;
  if (!in.Word(&length) || !in.Text(length, &file) || !in.Text(agent::kAddressTextWidth, &address) ||
      !in.Word(&port) || in.Left() != 0)
    return std::nullopt;
  file = Clean(file);
  address = Clean(address);
  const auto fetch = request.id == Exchange::Install ? FetchProduct : FetchProductHeader;
  const FetchResult fetched = fetch(address, static_cast<std::uint16_t>(port & 0xFFFF), file);
  if (fetched.code != 0) {
    *pNote = fetched.why;
    return Answer{fetched.code, {}};
  }
  const mkmedia::Product& product = fetched.product;
  if (request.id == Exchange::SutInstallCheck) {
    Bytes words;
    agent::Pack(words, "llll", {std::uint32_t{product.nodeStop}, std::uint32_t{product.clusterStop},
                                std::uint32_t{product.serviceStop}, std::uint32_t{product.reboot}});
    return Answer{product.reboot ? agent::kSutCheckNotice0 : 0u, WithDataSize(words)};
  }
  const std::lock_guard lock(m_mutex);
  std::string name = product.name, version = product.version;
  for (std::string* text : {&name, &version})
    std::replace_if(text->begin(), text->end(), [](char c) { return c < 0x20 || c >= 0x7F || c == '"' || c == '|'; }, '?');
  std::uint32_t code = 1;
  for (const InstalledProduct& p : m_data.products) code = std::max(code, p.code + 1);
  std::string type = mkmedia::KindExtension(product.kind);
  std::transform(type.begin(), type.end(), type.begin(), [](char c) { return static_cast<char>(std::toupper(c)); });
  // A new version of an installed product replaces it.
  std::erase_if(m_data.products, [&name](const InstalledProduct& p) { return p.name == name; });
  m_data.products.push_back({code, name, version, DateText("%Y/%m/%d %H:%M:%S", agent::kInstallDateWidth),
                             agent::PadBlanks(type, agent::kInstallTypeWidth)});
  Save();
  return Answer{0, {}};
}

std::uint32_t BoardAgent::Poll(Operation op, const BoardOptions& options) {
  const auto found = m_data.running.find(op);
  if (found == m_data.running.end()) return agent::kStatFinished;
  RunningOperation& run = found->second;
  const std::int64_t elapsed = plat::Clock::Now().time_since_epoch().count() - run.startMs;
  if (run.pollsLeft > 0 || elapsed < static_cast<std::int64_t>(options.statMs)) {
    if (run.pollsLeft > 0) --run.pollsLeft;
    Save();
    return agent::kStatRunning;
  }
  if (op == Operation::InitCluster && run.statesShown < options.initStates.size()) {
    const std::uint32_t state = options.initStates[run.statesShown++];
    Save();
    return state;
  }
  m_data.running.erase(found);
  if (op == Operation::SystemLuExtract) m_data.systemDate = DateText("%Y/%m/%d %H:%M", agent::kBackupDateWidth);
  Save();
  return agent::kStatFinished;
}

std::optional<Answer> BoardAgent::Recovery(const Request& request, const BoardOptions& options) {
  Cursor in(request.params);
  const auto start = [&](Operation op) {
    RunningOperation run;
    run.pollsLeft = options.statPolls;
    run.startMs = plat::Clock::Now().time_since_epoch().count();
    m_data.running[op] = run;
    Save();
    return Answer{0, {}};
  };
  const bool bare = request.params.empty();
  switch (request.id) {
    case Exchange::NasOsLuBackupInfo:
    case Exchange::NasSharedLuBackupInfo: {
      if (!bare) return std::nullopt;
      const LuBackup& b = request.id == Exchange::NasOsLuBackupInfo ? m_data.osBackup : m_data.sharedBackup;
      Bytes data;
      agent::Pack(data, "ll", {b.dataSize, b.status});
      PackText(data, b.date, agent::kBackupDateWidth);
      return Answer{0, data};
    }
    case Exchange::NasSystemLuBackupInfo: {
      if (!bare) return std::nullopt;
      Bytes data;
      agent::Pack(data, "ll", {m_data.systemExecuteStatus, m_data.systemUploadStatus});
      PackText(data, m_data.systemFile, agent::kSystemLuFileWidth);
      PackText(data, m_data.systemDate, agent::kBackupDateWidth);
      return Answer{0, data};
    }
    case Exchange::StopCluster: {
      std::uint32_t word = 0;
      if (!in.Word(&word) || in.Left() != 0) return std::nullopt;
      return start(Operation::StopCluster);
    }
    case Exchange::NasSystemLuExtract: {
      std::string file;
      if (!in.Text(agent::kSystemLuFileWidth, &file) || in.Left() != 0) return std::nullopt;
      file = Clean(file);
      if (!Storable(file, agent::kSystemLuFileWidth)) return Answer{kErrField0, {}};
      m_data.systemFile = file;
      return start(Operation::SystemLuExtract);
    }
    default:
      break;
  }
  if (!bare) return std::nullopt;
  switch (request.id) {
    case Exchange::NasOsLuRestore: return start(Operation::OsLuRestore);
    case Exchange::NasSharedLuRestore: return start(Operation::SharedLuRestore);
    case Exchange::NasSystemLuRestore: return start(Operation::SystemLuRestore);
    case Exchange::InitializeCluster: return start(Operation::InitCluster);
    case Exchange::NasOsLuRestoreStat: return Answer{Poll(Operation::OsLuRestore, options), {}};
    case Exchange::NasSharedLuRestoreStat: return Answer{Poll(Operation::SharedLuRestore, options), {}};
    case Exchange::NasSystemLuExtractStat: return Answer{Poll(Operation::SystemLuExtract, options), {}};
    case Exchange::NasSystemLuRestoreStat: return Answer{Poll(Operation::SystemLuRestore, options), {}};
    case Exchange::StopClusterStat: return Answer{Poll(Operation::StopCluster, options), {}};
    case Exchange::InitializeClusterStat: return Answer{Poll(Operation::InitCluster, options), {}};
    default: return std::nullopt;
  }
}

}  // namespace agentsim
