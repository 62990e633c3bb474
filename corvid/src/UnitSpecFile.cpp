#include "UnitSpecFile.h"

#include <algorithm>
#include <functional>
#include <map>

#include "IniText.h"
#include "TextCodec.h"
#include "corvid/NasPages.h"

namespace corvid::detail {
namespace {

using sim::BoardSpec;
using sim::UnitSpec;

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; });
  return text;
}

bool Fail(std::string* pError, const std::string& text) {
  if (pError) *pError = text;
  return false;
}

// One key of a section: parses its text into the scenario; false when malformed.
using KeyParser = std::function<bool(const std::string&)>;

bool Byte(const std::string& v, std::uint8_t& out) {
  const auto n = ParseBounded(v, 0xFF);
  if (n) out = static_cast<std::uint8_t>(*n);
  return n.has_value();
}

bool Word(const std::string& v, std::uint16_t& out) {
  const auto n = ParseBounded(v, 0xFFFF);
  if (n) out = static_cast<std::uint16_t>(*n);
  return n.has_value();
}

bool Millis(const std::string& v, std::int64_t& out) {
  const auto n = ParseNumber(v);
  if (!n || *n > static_cast<std::uint64_t>(kMaxDurationMs)) return false;
  out = static_cast<std::int64_t>(*n);
  return true;
}

bool Char(const std::string& v, char& out) {
  const std::string text = Unescape(v);
  if (text.size() != 1) return false;
  out = text[0];
  return true;
}

bool Flag(const std::string& v, bool& out) {
  if (v != "0" && v != "1") return false;
  out = v == "1";
  return true;
}

bool TimeOuts(const std::string& v, std::array<std::uint32_t, 6>& out) {
  std::array<std::uint32_t, 6> values{};
  if (!ParseWordList(v, values)) return false;
  out = values;
  return true;
}

bool ParseSection(const IniText& ini, const std::string& section,
                  const std::map<std::string, KeyParser>& keys, std::string* pError) {
  for (const auto& [key, value] : ini.Entries(section)) {
    const auto it = keys.find(Lower(key));
    if (it == keys.end()) return Fail(pError, "unknown key [" + section + "] " + key);
    if (!it->second(value))
      return Fail(pError, "bad value [" + section + "] " + key + "=" + value);
  }
  return true;
}

std::map<std::string, KeyParser> UnitKeys(UnitSpec& s) {
  return {
      {"model",
       [&s](const std::string& v) {
         const auto m = sim::ParseModel(v);
         if (m) s.model = *m;
         return m.has_value();
       }},
      {"serial", [&s](const std::string& v) { s.serial = Unescape(v); return true; }},
      {"svpip",
       [&s](const std::string& v) {
         const auto ip = ParseIp(v);
         if (ip) s.svpIp = *ip;
         return ip.has_value();
       }},
      {"subnetmask",
       [&s](const std::string& v) {
         const auto ip = ParseIp(v);
         if (ip) s.subnet = *ip;
         return ip.has_value();
       }},
      {"devicetype", [&s](const std::string& v) { return Byte(v, s.deviceType); }},
      {"autobootafterinstall", [&s](const std::string& v) { return Flag(v, s.autoBootAfterInstall); }},
      {"versionflag", [&s](const std::string& v) { return Byte(v, s.versionFlag); }},
      {"installrefusals",
       [&s](const std::string& v) {
         const auto n = ParseBounded(v, 1000000);
         if (n) s.installRefusals = static_cast<int>(*n);
         return n.has_value();
       }},
      {"dumpsizemb",
       [&s](const std::string& v) {
         const auto n = ParseBounded(v, 0xFFFFFFFF);
         if (n) s.dumpSizeMb = static_cast<std::uint32_t>(*n);
         return n.has_value();
       }},
  };
}

std::map<std::string, KeyParser> DurationKeys(sim::Durations& d) {
  return {
      {"shutdownms", [&d](const std::string& v) { return Millis(v, d.shutdownMs); }},
      {"bootms", [&d](const std::string& v) { return Millis(v, d.bootMs); }},
      {"installms", [&d](const std::string& v) { return Millis(v, d.installMs); }},
      {"dumpms", [&d](const std::string& v) { return Millis(v, d.dumpMs); }},
      {"downloadms", [&d](const std::string& v) { return Millis(v, d.downloadMs); }},
      {"resetms", [&d](const std::string& v) { return Millis(v, d.resetMs); }},
  };
}

std::map<std::string, KeyParser> BoardKeys(BoardSpec& b) {
  return {
      {"portstatus", [&b](const std::string& v) { return Byte(v, b.portStatus); }},
      {"portkind", [&b](const std::string& v) { return Byte(v, b.portKind); }},
      {"valid", [&b](const std::string& v) { return Byte(v, b.valid); }},
      {"nastypeflag", [&b](const std::string& v) { return Byte(v, b.nasTypeFlag); }},
      {"nastype", [&b](const std::string& v) { return Byte(v, b.nasType); }},
      {"location", [&b](const std::string& v) { b.location = Unescape(v); return true; }},
      {"ip",
       [&b](const std::string& v) {
         const auto ip = ParseIp(v);
         if (ip) b.ip = *ip;
         return ip.has_value();
       }},
      {"mac",
       [&b](const std::string& v) {
         const auto mac = ParseMac(v);
         if (mac) b.mac = *mac;
         return mac.has_value();
       }},
      {"userportnum", [&b](const std::string& v) { return Char(v, b.userPortNum); }},
      {"cachecap", [&b](const std::string& v) { return Char(v, b.cacheCap); }},
      {"badkfcexist", [&b](const std::string& v) { return Char(v, b.badkFCExist); }},
      {"status", [&b](const std::string& v) { return Word(v, b.status); }},
      {"mpstatus", [&b](const std::string& v) { return Word(v, b.mpStatus); }},
      {"timeouts", [&b](const std::string& v) { return TimeOuts(v, b.timeOuts); }},
      {"nasosversion", [&b](const std::string& v) { b.nasOsVersion = Unescape(v); return true; }},
  };
}

// "Board<k>" with k 0..3, or -1.
int BoardIndex(const std::string& section) {
  if (section.size() != 6) return -1;
  const std::string head = Lower(section.substr(0, 5));
  const char digit = section[5];
  if (head != "board" || digit < '0' || digit >= '0' + pages::kBoards) return -1;
  return digit - '0';
}

}  // namespace

bool ParseUnitSpec(std::string_view text, UnitSpec* pSpec, std::string* pError) {
  const IniText ini = IniText::Parse(text);
  UnitSpec scenario;
  scenario.name = pSpec->name;
  for (const std::string& section : ini.Sections()) {
    bool ok;
    if (BoardIndex(section) >= 0) {
      BoardSpec board;
      board.k = BoardIndex(section);
      ok = ParseSection(ini, section, BoardKeys(board), pError);
      scenario.boards.push_back(board);
    } else if (Lower(section) == "unit") {
      ok = ParseSection(ini, section, UnitKeys(scenario), pError);
    } else if (Lower(section) == "durations") {
      ok = ParseSection(ini, section, DurationKeys(scenario.durations), pError);
    } else {
      return Fail(pError, "unknown section [" + section + "]");
    }
    if (!ok) return false;
  }
  std::sort(scenario.boards.begin(), scenario.boards.end(),
            [](const BoardSpec& a, const BoardSpec& b) { return a.k < b.k; });
  *pSpec = std::move(scenario);
  return true;
}

std::string FormatUnitSpec(const UnitSpec& scenario) {
  IniText ini;
  ini.Add("Unit", "Model", sim::ModelName(scenario.model));
  ini.Add("Unit", "Serial", Escape(scenario.serial));
  ini.Add("Unit", "SvpIp", FormatIp(scenario.svpIp));
  ini.Add("Unit", "SubnetMask", FormatIp(scenario.subnet));
  ini.Add("Unit", "DeviceType", std::to_string(scenario.deviceType));
  ini.Add("Unit", "AutoBootAfterInstall", scenario.autoBootAfterInstall ? "1" : "0");
  ini.Add("Unit", "VersionFlag", std::to_string(scenario.versionFlag));
  ini.Add("Unit", "InstallRefusals", std::to_string(scenario.installRefusals));
  ini.Add("Unit", "DumpSizeMb", std::to_string(scenario.dumpSizeMb));
  const sim::Durations& d = scenario.durations;
  ini.Add("Durations", "ShutdownMs", std::to_string(d.shutdownMs));
  ini.Add("Durations", "BootMs", std::to_string(d.bootMs));
  ini.Add("Durations", "InstallMs", std::to_string(d.installMs));
  ini.Add("Durations", "DumpMs", std::to_string(d.dumpMs));
  ini.Add("Durations", "DownloadMs", std::to_string(d.downloadMs));
  ini.Add("Durations", "ResetMs", std::to_string(d.resetMs));
  std::vector<BoardSpec> boards = scenario.boards;
  std::sort(boards.begin(), boards.end(), [](const BoardSpec& a, const BoardSpec& b) { return a.k < b.k; });
  for (const BoardSpec& b : boards) {
    const std::string section = "Board" + std::to_string(b.k);
    ini.Add(section, "PortStatus", std::to_string(b.portStatus));
    ini.Add(section, "PortKind", std::to_string(b.portKind));
    ini.Add(section, "Valid", std::to_string(b.valid));
    ini.Add(section, "NasTypeFlag", std::to_string(b.nasTypeFlag));
    ini.Add(section, "NasType", std::to_string(b.nasType));
    ini.Add(section, "Location", Escape(b.location));
    ini.Add(section, "Ip", FormatIp(b.ip));
    ini.Add(section, "Mac", FormatMac(b.mac));
    ini.Add(section, "UserPortNum", Escape(std::string(1, b.userPortNum)));
    ini.Add(section, "CacheCap", Escape(std::string(1, b.cacheCap)));
    ini.Add(section, "BadkFCExist", Escape(std::string(1, b.badkFCExist)));
    ini.Add(section, "Status", std::to_string(b.status));
    ini.Add(section, "MpStatus", Hex(b.mpStatus));
    std::string timeOuts;
    for (const std::uint32_t t : b.timeOuts) timeOuts += (timeOuts.empty() ? "" : ",") + std::to_string(t);
    ini.Add(section, "TimeOuts", timeOuts);
    ini.Add(section, "NasOsVersion", Escape(b.nasOsVersion));
  }
  return ini.Format();
}

bool ValidateUnitSpec(const UnitSpec& scenario, std::string* pError) {
  if (!IsValidName(scenario.name)) return Fail(pError, "bad unit name \"" + scenario.name + "\"");
  if (scenario.serial.size() != pages::a3::kSerialSize)
    return Fail(pError, "the serial number must have 8 characters");
  if (scenario.installRefusals < 0) return Fail(pError, "negative install refusal count");
  const sim::Durations& d = scenario.durations;
  for (const std::int64_t ms : {d.shutdownMs, d.bootMs, d.installMs, d.dumpMs, d.downloadMs, d.resetMs})
    if (ms < 0 || ms > kMaxDurationMs) return Fail(pError, "duration out of range");
  bool seen[pages::kBoards] = {};
  for (const BoardSpec& b : scenario.boards) {
    if (b.k < 0 || b.k >= pages::kBoards) return Fail(pError, "board index out of 0..3");
    if (seen[b.k]) return Fail(pError, "board " + std::to_string(b.k) + " given twice");
    seen[b.k] = true;
    // The page field holds 13 characters; a name that fills it has no terminating NUL.
    if (b.location.size() > pages::a3::kLocationSize)
      return Fail(pError, "location name longer than 13 characters");
    if (b.nasOsVersion.size() > pages::a2::kNasOSVersionSize)
      return Fail(pError, "NAS OS version longer than 32 characters");
  }
  return true;
}

}  // namespace corvid::detail
