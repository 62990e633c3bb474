#include "BoardAgent.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <iterator>
#include <sstream>

#include "ProductFetch.h"
#include "agent/AgentCodes.h"
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
constexpr std::size_t kMaxRoutes = 16;

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
  if (command == agent::kPsCommandLine) return PsOutput(options.haProcess);
  if (command == "hostname") return data.name.value_or("nasboard") + "\n";
  if (command == "uname -r") return "5.0.1\n";
  if (command == "true" || command.empty()) return "";
  const std::string program = command.substr(0, command.find(' '));
  return "sh: " + program + ": command not found\n";
}

// One exchange's view of the board: its data (the caller holds the board's lock), the
// scenario's options and the request's parameters.
struct Call {
  const Request& request;
  const BoardOptions& options;
  BoardData& data;
  const std::function<void()>& save;
  Cursor in{request.params};

  bool Bare() const { return request.params.empty(); }
  std::optional<Answer> Saved() const {
    save();
    return Answer{0, {}};
  }
};
using Handler = std::optional<Answer> (*)(Call&);

std::optional<Answer> UninstInfo(Call& c) {
  if (!c.Bare()) return std::nullopt;
  Bytes entries;
  for (const InstalledProduct& p : c.data.products) {
    agent::Pack(entries, "l", {p.code});
    PackLengthText(entries, p.name);
    PackLengthText(entries, p.version);
    PackText(entries, p.date, agent::kInstallDateWidth);
    PackText(entries, p.type, agent::kInstallTypeWidth);
  }
  return Answer{0, WithDataSize(entries)};
}

std::optional<Answer> Uninstall(Call& c) {
  std::uint32_t code = 0, length = 0;
  std::string name;
  if (!c.in.Word(&code) || !c.in.Word(&length) || !c.in.Text(length, &name) || c.in.Left() != 0) return std::nullopt;
  const auto found = std::find_if(c.data.products.begin(), c.data.products.end(),
                                  [code](const InstalledProduct& p) { return p.code == code; });
  if (found == c.data.products.end()) return Answer{agent::kAgentNoSuchProduct, {}};
  c.data.products.erase(found);
  return c.Saved();
}

std::optional<Answer> NetworkInfo(Call& c) {
  const auto nic = c.data.interfaces.find(WholeText(c.request));
  if (nic == c.data.interfaces.end()) return Answer{agent::kAgentField0, {}};
  Bytes data;
  PackText(data, nic->second.ip, agent::kAddressTextWidth);
  PackText(data, nic->second.mask, agent::kAddressTextWidth);
  PackText(data, nic->second.gateway, agent::kAddressTextWidth);
  return Answer{0, WithDataSize(data)};
}

std::optional<Answer> NetworkSetting(Call& c) {
  std::string name, ip, mask;
  if (!c.in.Text(agent::kInterfaceNameWidth, &name) || !c.in.Text(agent::kAddressTextWidth, &ip) ||
      !c.in.Text(agent::kAddressTextWidth, &mask) || c.in.Left() != 0)
    return std::nullopt;
  ip = Clean(ip);
  mask = Clean(mask);
  const auto nic = c.data.interfaces.find(Clean(name));
  if (nic == c.data.interfaces.end()) return Answer{agent::kAgentField0, {}};
  if (!Dotted(ip)) return Answer{agent::kAgentField1, {}};
  if (!IsMask(mask)) return Answer{agent::kAgentField2, {}};
  for (const auto& [other, settings] : c.data.interfaces)
    if (other != nic->first && settings.ip == ip) return Answer{agent::kAgentAddressConflict, {}};
  if (nic->second.ip == ip && nic->second.mask == mask) return Answer{agent::kAgentNotChanged, {}};
  nic->second.ip = ip;
  nic->second.mask = mask;
  return c.Saved();
}

std::optional<Answer> NtpInfo(Call& c) {
  if (!c.Bare()) return std::nullopt;
  Bytes data;
  for (const std::string& server : c.data.ntpServers) PackLengthText(data, server);
  return Answer{0, WithDataSize(data)};
}

std::optional<Answer> NtpSetting(Call& c) {
  std::vector<std::string> servers;
  while (c.in.Left() > 0) {
    std::uint32_t length = 0;
    std::string server;
    if (!c.in.Word(&length) || !c.in.Text(length, &server)) return std::nullopt;
    servers.push_back(Clean(server));
  }
  if (servers.size() > agent::kMaxNtpServers) return Answer{agent::kAgentTooManyValues, {}};
  for (std::size_t i = 0; i < servers.size(); ++i)
    if (!Storable(servers[i], kMaxServerLength)) return Answer{agent::kAgentField0 + static_cast<std::uint32_t>(i), {}};
  c.data.ntpServers = servers;
  return c.Saved();
}

std::optional<Answer> ChnName(Call& c) {
  if (!c.Bare()) return std::nullopt;
  Bytes data;
  if (c.data.name) PackLengthText(data, *c.data.name);
  return Answer{0, WithDataSize(data)};
}

std::optional<Answer> ChnNameSetting(Call& c) {
  std::uint32_t length = 0;
  std::string name;
  if (!c.in.Word(&length) || !c.in.Text(length, &name) || c.in.Left() != 0) return std::nullopt;
  name = Clean(name);
  if (!name.empty() && !Storable(name, kMaxNameLength)) return Answer{agent::kAgentField1, {}};
  c.data.name = name.empty() ? std::nullopt : std::optional(name);
  return c.Saved();
}

std::optional<Answer> MtuInfo(Call& c) {
  const auto nic = c.data.interfaces.find(WholeText(c.request));
  if (nic == c.data.interfaces.end()) return Answer{agent::kAgentField0, {}};
  Bytes data;
  agent::Pack(data, "ll", {4u, nic->second.mtu});
  return Answer{0, data};
}

std::optional<Answer> MtuSetting(Call& c) {
  std::string name;
  std::uint32_t mtu = 0;
  const std::size_t size = c.request.params.size();
  if (size < 4 || !c.in.Text(size - 4, &name) || !c.in.Word(&mtu)) return std::nullopt;
  const auto nic = c.data.interfaces.find(Clean(name));
  if (nic == c.data.interfaces.end()) return Answer{agent::kAgentField0, {}};
  if (mtu < kMinMtu || mtu > kMaxMtu) return Answer{agent::kAgentField1, {}};
  nic->second.mtu = mtu;
  return c.Saved();
}

std::optional<Answer> RoutingInfo(Call& c) {
  if (!c.Bare()) return std::nullopt;
  Bytes data;
  for (const Route& r : c.data.routes) PackRoute(data, r);
  return Answer{0, WithDataSize(data)};
}

std::optional<Answer> RoutingAdd(Call& c) {
  const auto route = ParseRoute(c.in);
  if (!route) return std::nullopt;
  if (!c.data.interfaces.count(route->interface)) return Answer{agent::kAgentRouteInterface, {}};
  if (route->target != agent::kDefaultRouteTarget && !Dotted(route->target))
    return Answer{agent::kAgentRouteTarget, {}};
  if (!Dotted(route->netmask) || route->hostFlag > 1 || route->routeFlag > 1)
    return Answer{agent::kAgentRouteNetmask, {}};
  if (!route->gateway.empty() && !Dotted(route->gateway)) return Answer{agent::kAgentRouteGateway, {}};
  for (const Route& r : c.data.routes)
    if (r.interface == route->interface && r.target == route->target && r.netmask == route->netmask)
      return Answer{agent::kAgentRouteExists, {}};
  if (c.data.routes.size() >= kMaxRoutes) return Answer{agent::kAgentRouteTableFull, {}};
  c.data.routes.push_back(*route);
  return c.Saved();
}

std::optional<Answer> RoutingDelete(Call& c) {
  const auto route = ParseRoute(c.in);
  if (!route) return std::nullopt;
  const auto found = std::find_if(c.data.routes.begin(), c.data.routes.end(), [&](const Route& r) {
    return r.interface == route->interface && r.target == route->target && r.netmask == route->netmask &&
           r.gateway == route->gateway;
  });
  if (found == c.data.routes.end()) return Answer{agent::kAgentRouteNotFound, {}};
  c.data.routes.erase(found);
  return c.Saved();
}

std::optional<Answer> CommandIF(Call& c) {
  const std::string output = CommandOutput(WholeText(c.request), c.options, c.data);
  return Answer{static_cast<std::uint32_t>(output.size()), Bytes(output.begin(), output.end())};
}

std::optional<Answer> ClusterStatus(Call& c) {
  if (!c.Bare()) return std::nullopt;
  return Answer{c.options.clusterStatus.value_or(c.data.clusterStatus), {}};
}

std::optional<Answer> ClusterDefinedStatus(Call& c) {
  if (!c.Bare()) return std::nullopt;
  return Answer{c.options.clusterDefinedStatus.value_or(c.data.clusterDefinedStatus), {}};
}

std::optional<Answer> Version(Call& c) {
  std::uint32_t constant = 0, toolVersion = 0;
  if (!c.in.Word(&constant) || !c.in.Word(&toolVersion) || c.in.Left() != 0) return std::nullopt;
  return Answer{c.options.agentVersion.value_or(c.data.agentVersion), {}};
}

template <LuBackup BoardData::*backup>
std::optional<Answer> LuBackupInfo(Call& c) {
  if (!c.Bare()) return std::nullopt;
  const LuBackup& b = c.data.*backup;
  Bytes data;
  agent::Pack(data, "ll", {b.dataSize, b.status});
  PackText(data, b.date, agent::kBackupDateWidth);
  return Answer{0, data};
}

std::optional<Answer> SystemLuBackupInfo(Call& c) {
  if (!c.Bare()) return std::nullopt;
  Bytes data;
  agent::Pack(data, "ll", {c.data.systemExecuteStatus, c.data.systemUploadStatus});
  PackText(data, c.data.systemFile, agent::kSystemLuFileWidth);
  PackText(data, c.data.systemDate, agent::kBackupDateWidth);
  return Answer{0, data};
}

// Starts a long operation; its polls answer kStatRunning for the scenario's polls and time.
std::optional<Answer> Start(Call& c, Operation op) {
  RunningOperation run;
  run.pollsLeft = c.options.statPolls;
  run.startMs = plat::Clock::Now().time_since_epoch().count();
  c.data.running[op] = run;
  return c.Saved();
}

std::uint32_t Poll(Call& c, Operation op) {
  const auto found = c.data.running.find(op);
  if (found == c.data.running.end()) return agent::kStatFinished;
  RunningOperation& run = found->second;
  const std::int64_t elapsed = plat::Clock::Now().time_since_epoch().count() - run.startMs;
  if (run.pollsLeft > 0 || elapsed < static_cast<std::int64_t>(c.options.statMs)) {
    if (run.pollsLeft > 0) --run.pollsLeft;
    c.save();
    return agent::kStatRunning;
  }
  if (op == Operation::InitCluster && run.statesShown < c.options.initStates.size()) {
    const std::uint32_t state = c.options.initStates[run.statesShown++];
    c.save();
    return state;
  }
  c.data.running.erase(found);
  if (op == Operation::SystemLuExtract) c.data.systemDate = DateText("%Y/%m/%d %H:%M", agent::kBackupDateWidth);
  c.save();
  return agent::kStatFinished;
}

template <Operation op>
std::optional<Answer> StartBare(Call& c) {
  if (!c.Bare()) return std::nullopt;
  return Start(c, op);
}

template <Operation op>
std::optional<Answer> PollBare(Call& c) {
  if (!c.Bare()) return std::nullopt;
  return Answer{Poll(c, op), {}};
}

std::optional<Answer> StopCluster(Call& c) {
  std::uint32_t word = 0;
  if (!c.in.Word(&word) || c.in.Left() != 0) return std::nullopt;
  return Start(c, Operation::StopCluster);
}

std::optional<Answer> SystemLuExtract(Call& c) {
  std::string file;
  if (!c.in.Text(agent::kSystemLuFileWidth, &file) || c.in.Left() != 0) return std::nullopt;
  file = Clean(file);
  if (!Storable(file, agent::kSystemLuFileWidth)) return Answer{agent::kAgentField0, {}};
  c.data.systemFile = file;
  return Start(c, Operation::SystemLuExtract);
}

// The exchanges answered under the board's lock; the two installation exchanges fetch a file
// first and are answered by BoardAgent::Install.
struct HandlerRow {
  Exchange id;
  Handler handler;
};
constexpr HandlerRow kHandlers[] = {
    {Exchange::UninstInfo, UninstInfo},
    {Exchange::Uninstall, Uninstall},
    {Exchange::NetworkInfo, NetworkInfo},
    {Exchange::NTPInfo, NtpInfo},
    {Exchange::NTPSetting, NtpSetting},
    {Exchange::CHNName, ChnName},
    {Exchange::CHNNameSetting, ChnNameSetting},
    {Exchange::MTUInfo, MtuInfo},
    {Exchange::MTUSetting, MtuSetting},
    {Exchange::RoutingInfo, RoutingInfo},
    {Exchange::RoutingAdd, RoutingAdd},
    {Exchange::RoutingDelete, RoutingDelete},
    {Exchange::NetworkSetting0301, NetworkSetting},
    {Exchange::CommandIF, CommandIF},
    {Exchange::ClusterStatus, ClusterStatus},
    {Exchange::ClusterDefinedStatus, ClusterDefinedStatus},
    {Exchange::NasOsLuBackupInfo, LuBackupInfo<&BoardData::osBackup>},
    {Exchange::NasOsLuRestore, StartBare<Operation::OsLuRestore>},
    {Exchange::NasSharedLuBackupInfo, LuBackupInfo<&BoardData::sharedBackup>},
    {Exchange::NasSharedLuRestore, StartBare<Operation::SharedLuRestore>},
    {Exchange::InitializeCluster, StartBare<Operation::InitCluster>},
    {Exchange::NasOsLuRestoreStat, PollBare<Operation::OsLuRestore>},
    {Exchange::NasSharedLuRestoreStat, PollBare<Operation::SharedLuRestore>},
    {Exchange::StopCluster, StopCluster},
    {Exchange::StopClusterStat, PollBare<Operation::StopCluster>},
    {Exchange::InitializeClusterStat, PollBare<Operation::InitCluster>},
    {Exchange::NasSystemLuBackupInfo, SystemLuBackupInfo},
    {Exchange::NasSystemLuExtract, SystemLuExtract},
    {Exchange::NasSystemLuExtractStat, PollBare<Operation::SystemLuExtract>},
    {Exchange::NasSystemLuRestore, StartBare<Operation::SystemLuRestore>},
    {Exchange::NasSystemLuRestoreStat, PollBare<Operation::SystemLuRestore>},
    {Exchange::Version, Version},
};

// Rows follow the exchange table, skipping only the two installation exchanges.
constexpr bool HandlersFollowExchanges() {
  std::size_t row = 0;
  for (const agent::ExchangeInfo& info : agent::kExchanges) {
    if (info.id == Exchange::Install || info.id == Exchange::SutInstallCheck) continue;
    if (row == std::size(kHandlers) || kHandlers[row++].id != info.id) return false;
  }
  return row == std::size(kHandlers);
}
static_assert(HandlersFollowExchanges(), "kHandlers has one row per exchange, in exchange order");

}  // namespace

BoardAgent::BoardAgent(int slot, std::string address, const std::filesystem::path& unitDir)
    : m_slot(slot),
      m_address(std::move(address)),
      m_stateFile(BoardStateFile(unitDir, slot)),
      m_data(LoadBoardData(m_stateFile, DefaultBoardData(slot, m_address))) {}

void BoardAgent::FollowNasOs(const std::string& version) {
  if (version.empty()) return;
  std::lock_guard lock(m_mutex);
  const auto os = std::find_if(m_data.products.begin(), m_data.products.end(),
                               [](const InstalledProduct& p) { return p.name == "NAS OS"; });
  if (os == m_data.products.end() || os->version == version) return;
  os->version = version;
  os->date = DateText("%Y/%m/%d %H:%M:%S", agent::kInstallDateWidth);
  Save();
}

void BoardAgent::Save() {
  std::string error;
  if (!SaveBoardData(m_stateFile, m_data, &error))
    std::fprintf(stderr, "kelp-agentsim: slot %d: %s\n", m_slot, error.c_str());
}

std::optional<Answer> BoardAgent::Handle(const Request& request, const BoardOptions& options, std::string* pNote) {
  if (request.id == Exchange::Install || request.id == Exchange::SutInstallCheck) return Install(request, pNote);
  const auto row = std::find_if(std::begin(kHandlers), std::end(kHandlers),
                                [&](const HandlerRow& r) { return r.id == request.id; });
  if (row == std::end(kHandlers)) return std::nullopt;
  const std::lock_guard lock(m_mutex);
  const std::function<void()> save = [this] { Save(); };
  Call call{request, options, m_data, save};
  return row->handler(call);
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
  const std::lock_guard lock(m_mutex);
  if (request.id == Exchange::SutInstallCheck) {
    Bytes words;
    agent::Pack(words, "llll", {std::uint32_t{product.nodeStop}, std::uint32_t{product.clusterStop},
                                std::uint32_t{product.serviceStop}, std::uint32_t{product.reboot}});
    // A patch the board already carries needs no installation.
    const bool applied = std::any_of(m_data.products.begin(), m_data.products.end(), [&](const InstalledProduct& p) {
      return p.name == product.name && p.version == product.version;
    });
    return Answer{applied ? agent::kSutCheckNotice0 : 0u, WithDataSize(words)};
  }
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

}  // namespace agentsim
