#include "UnitState.h"

#include <algorithm>
#include <limits>
#include <type_traits>

#include "IniText.h"
#include "TextCodec.h"

namespace corvid::detail {
namespace {

constexpr const char* kActivityNames[] = {"idle", "shutdown", "reboot", "boot",
                                          "install", "dump", "blockade", "reset"};

std::string Lower(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return out;
}

// Calls f(name, field) for every stored field of a board, in file order.
template <class Board, class F>
void ForEachField(Board& b, F&& f) {
  f("Status", b.status);
  f("InstallStatus", b.installStatus);
  f("NetBootResult", b.netBootResult);
  f("HibStat", b.hibStat);
  f("ShutdownProgress", b.shutdownProgress);
  f("DumpStatus", b.dumpStatus);
  f("DumpSize", b.dumpSize);
  f("DumpDate", b.dumpDate);
  f("DownloadStatus", b.downloadStatus);
  f("DownloadFile", b.downloadFile);
  f("BootOption", b.bootOption);
  f("NasOsVersion", b.nasOsVersion);
  f("TimeOuts", b.timeOuts);
  f("Activity", b.activity);
  f("ActivityStart", b.activityStart);
  f("ReturnStatus", b.returnStatus);
  f("InstallResult", b.installResult);
  f("DumpSkips", b.dumpSkips);
  f("PendingDumpDate", b.pendingDumpDate);
  f("Downloading", b.downloading);
  f("DownloadStart", b.downloadStart);
  f("DownloadDumpDate", b.downloadDumpDate);
  f("DownloadResult", b.downloadResult);
  f("Stalled", b.stalled);
  f("StalledAt", b.stalledAt);
  f("Refusals", b.refusals);
  f("NextRetry", b.nextRetry);
  f("ForceStatus", b.forceStatus);
  f("MpFault", b.mpFault);
  f("NetBootFault", b.netBootFault);
  f("InstallFailureFault", b.installFailureFault);
  f("DumpSkippedFault", b.dumpSkippedFault);
  f("DownloadResultFault", b.downloadResultFault);
}

template <class T>
std::string FormatField(const T& value) {
  if constexpr (std::is_same_v<T, std::string>) {
    return Escape(value);
  } else if constexpr (std::is_same_v<T, bool>) {
    return value ? "1" : "0";
  } else if constexpr (std::is_same_v<T, Activity>) {
    return ActivityName(value);
  } else if constexpr (std::is_same_v<T, std::uint32_t>) {
    return Hex(value);
  } else if constexpr (std::is_same_v<T, std::array<std::uint32_t, pages::a3::kTimeOutCount>>) {
    std::string out;
    for (const std::uint32_t v : value) out += (out.empty() ? "" : ",") + Hex(v);
    return out;
  } else {
    return std::to_string(value);
  }
}

template <class T>
bool ParseField(const std::string& text, T& out) {
  if constexpr (std::is_same_v<T, std::string>) {
    out = Unescape(text);
    return true;
  } else if constexpr (std::is_same_v<T, bool>) {
    if (text != "0" && text != "1") return false;
    out = text == "1";
    return true;
  } else if constexpr (std::is_same_v<T, Activity>) {
    const auto a = ParseActivity(text);
    if (a) out = *a;
    return a.has_value();
  } else if constexpr (std::is_same_v<T, std::array<std::uint32_t, pages::a3::kTimeOutCount>>) {
    return ParseWordList(text, out);
  } else if constexpr (std::is_signed_v<T>) {
    const auto v = ParseSigned(text);
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max()) return false;
    out = static_cast<T>(*v);
    return true;
  } else {
    const auto v = ParseBounded(text, std::numeric_limits<T>::max());
    if (v) out = static_cast<T>(*v);
    return v.has_value();
  }
}

bool Fail(std::string* pError, const std::string& text) {
  if (pError) *pError = text;
  return false;
}

// "op,page,subPage,count,code"
std::optional<CallFault> ParseCallFault(std::string_view text) {
  std::vector<std::string_view> parts;
  while (true) {
    const std::size_t comma = text.find(',');
    parts.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  if (parts.size() != 5) return std::nullopt;
  CallFault fault;
  fault.op = std::string(parts[0]);
  const auto page = ParseSigned(parts[1]);
  const auto sub = ParseSigned(parts[2]);
  const auto count = ParseSigned(parts[3]);
  const auto code = ParseBounded(parts[4], 0xFFFFFFFF);
  if (!page || !sub || !count || !code || *count < 1 || *count > INT32_MAX || *page < -1 ||
      *page > 0xFF || *sub < -1 || *sub > 0xFF)
    return std::nullopt;
  fault.page = static_cast<int>(*page);
  fault.subPage = static_cast<int>(*sub);
  fault.count = static_cast<int>(*count);
  fault.code = *code;
  return fault;
}

// "page.subPage", the key of a page's entries in state.ini.
std::string PageKeyText(int key) { return std::to_string(key / 256) + "." + std::to_string(key % 256); }

std::optional<int> ParsePageKey(std::string_view text) {
  const std::size_t dot = text.find('.');
  if (dot == std::string_view::npos) return std::nullopt;
  const auto page = ParseBounded(text.substr(0, dot), 0xFF);
  const auto sub = ParseBounded(text.substr(dot + 1), 0xFF);
  if (!page || !sub) return std::nullopt;
  return PageKey(static_cast<int>(*page), static_cast<int>(*sub));
}

// "page,subPage,offset,hexbytes"
std::optional<Poke> ParsePoke(std::string_view text) {
  std::array<std::string_view, 4> parts;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    const std::size_t comma = text.find(',');
    if ((comma == std::string_view::npos) != (i + 1 == parts.size())) return std::nullopt;
    parts[i] = text.substr(0, comma);
    text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
  }
  const auto page = ParseBounded(parts[0], 0xFF);
  const auto sub = ParseBounded(parts[1], 0xFF);
  const auto offset = ParseBounded(parts[2], 0xFFFF);
  const auto bytes = DecodeBytes(parts[3]);
  if (!page || !sub || !offset || !bytes) return std::nullopt;
  return Poke{static_cast<int>(*page), static_cast<int>(*sub), *offset, *bytes};
}

}  // namespace

const char* ActivityName(Activity activity) {
  return kActivityNames[static_cast<int>(activity)];
}

std::optional<Activity> ParseActivity(std::string_view text) {
  for (std::size_t i = 0; i < std::size(kActivityNames); ++i)
    if (text == kActivityNames[i]) return static_cast<Activity>(i);
  return std::nullopt;
}

BoardRuntime InitialBoard(const sim::BoardSpec& scenario) {
  BoardRuntime b;
  b.present = true;
  b.status = scenario.status;
  b.nasOsVersion = scenario.nasOsVersion;
  b.timeOuts = scenario.timeOuts;
  return b;
}

UnitState InitialState(const sim::UnitSpec& scenario, std::int64_t rawNs) {
  UnitState state;
  state.rawNs = rawNs;
  for (const sim::BoardSpec& b : scenario.boards) state.boards[static_cast<std::size_t>(b.k)] = InitialBoard(b);
  return state;
}

std::string FormatUnitState(const UnitState& state) {
  IniText ini;
  ini.Add("Clock", "LogicalMs", std::to_string(state.logicalMs));
  ini.Add("Clock", "RawNs", std::to_string(state.rawNs));
  for (int k = 0; k < pages::kBoards; ++k) {
    const BoardRuntime& b = state.boards[static_cast<std::size_t>(k)];
    if (!b.present) continue;
    const std::string section = "Board" + std::to_string(k);
    ForEachField(b, [&](const char* name, const auto& field) { ini.Add(section, name, FormatField(field)); });
  }
  for (std::size_t i = 0; i < state.callFaults.size(); ++i) {
    const CallFault& f = state.callFaults[i];
    ini.Add("Faults", "Call" + std::to_string(i),
            f.op + "," + std::to_string(f.page) + "," + std::to_string(f.subPage) + "," +
                std::to_string(f.count) + "," + Hex(f.code));
  }
  for (std::size_t i = 0; i < state.pokes.size(); ++i) {
    const Poke& p = state.pokes[i];
    ini.Add("Pokes", "Poke" + std::to_string(i),
            std::to_string(p.page) + "," + std::to_string(p.subPage) + "," +
                std::to_string(p.offset) + "," + EncodeBytes(p.bytes));
  }
  for (const auto& [key, image] : state.selected) ini.Add("Selected", PageKeyText(key), EncodeBytes(image));
  for (const auto& [key, size] : state.cuts) ini.Add("Cuts", PageKeyText(key), std::to_string(size));
  return ini.Format();
}

bool ParseUnitState(std::string_view text, UnitState* pState, std::string* pError) {
  const IniText ini = IniText::Parse(text);
  UnitState state;
  const std::string* logical = ini.Find("Clock", "LogicalMs");
  const std::string* raw = ini.Find("Clock", "RawNs");
  const auto logicalMs = logical ? ParseSigned(*logical) : std::nullopt;
  const auto rawNs = raw ? ParseSigned(*raw) : std::nullopt;
  if (!logicalMs || !rawNs) return Fail(pError, "state.ini has no valid [Clock]");
  state.logicalMs = *logicalMs;
  state.rawNs = *rawNs;
  for (int k = 0; k < pages::kBoards; ++k) {
    const std::string section = "Board" + std::to_string(k);
    if (!ini.HasSection(section)) continue;
    BoardRuntime& b = state.boards[static_cast<std::size_t>(k)];
    b.present = true;
    for (const std::pair<std::string, std::string>& entry : ini.Entries(section)) {
      // Named references, not a structured binding: the lambda below captures them.
      const std::string& key = entry.first;
      const std::string& value = entry.second;
      bool known = false, ok = false;
      ForEachField(b, [&](const char* name, auto& field) {
        if (known || Lower(name) != Lower(key)) return;
        known = true;
        ok = ParseField(value, field);
      });
      if (!ok) return Fail(pError, "state.ini: bad [" + section + "] " + key + "=" + value);
    }
  }
  for (const auto& [key, value] : ini.Entries("Faults")) {
    const auto fault = ParseCallFault(value);
    if (!fault) return Fail(pError, "state.ini: bad fault " + key + "=" + value);
    state.callFaults.push_back(*fault);
  }
  for (const auto& [key, value] : ini.Entries("Pokes")) {
    const auto poke = ParsePoke(value);
    if (!poke) return Fail(pError, "state.ini: bad poke " + key + "=" + value);
    state.pokes.push_back(*poke);
  }
  for (const auto& [key, value] : ini.Entries("Selected")) {
    const auto pageKey = ParsePageKey(key);
    const auto image = DecodeBytes(value);
    if (!pageKey || !image) return Fail(pError, "state.ini: bad selected image " + key);
    state.selected[*pageKey] = *image;
  }
  for (const auto& [key, value] : ini.Entries("Cuts")) {
    const auto pageKey = ParsePageKey(key);
    const auto size = ParseBounded(value, 0xFFFF);
    if (!pageKey || !size) return Fail(pError, "state.ini: bad cut " + key + "=" + value);
    state.cuts[*pageKey] = *size;
  }
  *pState = std::move(state);
  return true;
}

}  // namespace corvid::detail
