#include "agentsim/AgentScenario.h"

#include <strings.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <mutex>

#include "corvid/Sim.h"
#include "plat/Profile.h"

namespace agentsim {
namespace {

constexpr const char* kUnitSection = "Unit";

bool Fail(std::string* pError, std::string text) {
  if (pError) *pError = std::move(text);
  return false;
}

bool SameName(const std::string& a, const char* b) { return ::strcasecmp(a.c_str(), b) == 0; }

std::optional<std::uint32_t> Word(const std::filesystem::path& file, const std::string& section, const char* key) {
  return ParseWord(plat::GetProfileString(section, key, "", file));
}

std::optional<std::uint16_t> PortValue(const std::string& text) {
  const auto word = ParseWord(text);
  if (!word || *word == 0 || *word > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(*word);
}

bool IsFlag(const std::string& text) { return text == "0" || text == "1"; }

std::optional<std::vector<std::uint32_t>> WordList(const std::string& text) {
  std::vector<std::uint32_t> words;
  std::size_t start = 0;
  while (start < text.size()) {
    const std::size_t end = std::min(text.find(',', start), text.size());
    const auto word = ParseWord(text.substr(start, end - start));
    if (!word) return std::nullopt;
    words.push_back(*word);
    start = end + 1;
  }
  return words;
}

// The keys of a behaviour section and what each value must be.
enum class ValueKind { Word, Flag, Text };
struct BehaviourKey {
  const char* name;
  ValueKind kind;
};
constexpr BehaviourKey kBehaviourKeys[] = {
    {"Result", ValueKind::Word},     {"DelayMs", ValueKind::Word},  {"ChunkSize", ValueKind::Word},
    {"ChunkGapMs", ValueKind::Word}, {"Stall", ValueKind::Flag},    {"CloseAfter", ValueKind::Word},
    {"Magic", ValueKind::Text},      {"ProtoVer", ValueKind::Word}, {"MsgType", ValueKind::Word},
    {"DataType", ValueKind::Word},   {"Count", ValueKind::Word},
};

bool ValueFits(ValueKind kind, const std::string& value) {
  switch (kind) {
    case ValueKind::Word: return ParseWord(value).has_value();
    case ValueKind::Flag: return IsFlag(value);
    case ValueKind::Text:
      return value.size() <= agent::kMagicSize &&
             std::all_of(value.begin(), value.end(), [](char c) { return c >= 0x20 && c < 0x7F; });
  }
  return false;
}

// Quotes keep the blanks of a magic text, which the profile reader would strip.
std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::mutex& TakeMutex() {
  static std::mutex mutex;
  return mutex;
}

}  // namespace

std::optional<std::uint32_t> ParseWord(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const std::string digits = hex ? text.substr(2) : text;
  if (digits.empty() || digits.size() > 10 ||
      !std::all_of(digits.begin(), digits.end(), [hex](char c) {
        const auto u = static_cast<unsigned char>(c);
        return hex ? std::isxdigit(u) != 0 : std::isdigit(u) != 0;
      }))
    return std::nullopt;
  errno = 0;
  char* end = nullptr;
  const unsigned long long value = std::strtoull(digits.c_str(), &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0' || value > 0xFFFFFFFFull) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

std::optional<agent::Exchange> ExchangeByName(const std::string& name) {
  for (const agent::ExchangeInfo& info : agent::kExchanges)
    if (SameName(name, info.name)) return info.id;
  return std::nullopt;
}

std::filesystem::path ScenarioFile(const std::string& unit) {
  return std::filesystem::path(corvid::sim::UnitDir(unit)) / "agents.ini";
}

std::string BoardSection(int slot) { return "Board" + std::to_string(slot); }

std::string BehaviourSection(int slot, agent::Exchange id) {
  return BoardSection(slot) + "." + agent::Info(id).name;
}

UnitOptions ReadUnitOptions(const std::filesystem::path& file) {
  UnitOptions options;
  options.port = PortValue(plat::GetProfileString(kUnitSection, "Port", "", file));
  options.ignoreArrayStatus = plat::GetProfileString(kUnitSection, "IgnoreArrayStatus", "0", file) == "1";
  return options;
}

BoardOptions ReadBoardOptions(const std::filesystem::path& file, int slot) {
  const std::string section = BoardSection(slot);
  BoardOptions options;
  options.port = PortValue(plat::GetProfileString(section, "Port", "", file));
  options.agentVersion = Word(file, section, "AgentVersion");
  options.clusterStatus = Word(file, section, "ClusterStatus");
  options.clusterDefinedStatus = Word(file, section, "ClusterDefinedStatus");
  options.haProcess = plat::GetProfileString(section, "HaProcess", "1", file) != "0";
  options.statPolls = Word(file, section, "StatPolls").value_or(options.statPolls);
  options.statMs = Word(file, section, "StatMs").value_or(options.statMs);
  options.initStates = WordList(plat::GetProfileString(section, "InitStates", "", file)).value_or(options.initStates);
  return options;
}

std::optional<Behaviour> ReadBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id) {
  const std::string section = BehaviourSection(slot, id);
  const std::vector<std::string> keys = plat::GetProfileKeyNames(section, file);
  if (keys.empty()) return std::nullopt;
  Behaviour b;
  b.result = Word(file, section, "Result");
  b.delayMs = Word(file, section, "DelayMs").value_or(0);
  b.chunkSize = Word(file, section, "ChunkSize").value_or(0);
  b.chunkGapMs = Word(file, section, "ChunkGapMs").value_or(0);
  b.stall = plat::GetProfileString(section, "Stall", "0", file) == "1";
  b.closeAfter = Word(file, section, "CloseAfter");
  b.protoVer = Word(file, section, "ProtoVer");
  b.msgType = Word(file, section, "MsgType");
  b.dataType = Word(file, section, "DataType");
  b.count = Word(file, section, "Count");
  if (std::any_of(keys.begin(), keys.end(), [](const std::string& k) { return SameName(k, "Magic"); }))
    b.magic = plat::GetProfileString(section, "Magic", "", file);
  return b;
}

bool SetUnitOption(const std::filesystem::path& file, const std::string& key, const std::string& value,
                   std::string* pError) {
  const char* name = nullptr;
  if (SameName(key, "Port")) {
    if (!value.empty() && !PortValue(value)) return Fail(pError, "bad port " + value + " (1..65535)");
    name = "Port";
  } else if (SameName(key, "IgnoreArrayStatus")) {
    if (!value.empty() && !IsFlag(value)) return Fail(pError, "IgnoreArrayStatus takes 0 or 1");
    name = "IgnoreArrayStatus";
  } else {
    return Fail(pError, "unknown unit option " + key + " (Port, IgnoreArrayStatus)");
  }
  if (!plat::WritePrivateProfileString(kUnitSection, name, value.empty() ? nullptr : value.c_str(), file))
    return Fail(pError, "cannot write " + file.string());
  return true;
}

bool SetBoardOption(const std::filesystem::path& file, int slot, const std::string& key, const std::string& value,
                    std::string* pError) {
  static const struct {
    const char* name;
    bool (*fits)(const std::string&);
  } kKeys[] = {
      {"Port", [](const std::string& v) { return PortValue(v).has_value(); }},
      {"AgentVersion", [](const std::string& v) { return ParseWord(v).has_value(); }},
      {"ClusterStatus", [](const std::string& v) { return ParseWord(v).has_value(); }},
      {"ClusterDefinedStatus", [](const std::string& v) { return ParseWord(v).has_value(); }},
      {"HaProcess", IsFlag},
      {"StatPolls", [](const std::string& v) { return ParseWord(v).has_value(); }},
      {"StatMs", [](const std::string& v) { return ParseWord(v).has_value(); }},
      {"InitStates", [](const std::string& v) { return WordList(v).has_value(); }},
  };
  for (const auto& k : kKeys) {
    if (!SameName(key, k.name)) continue;
    if (!value.empty() && !k.fits(value)) return Fail(pError, "bad value " + value + " for " + k.name);
    if (!plat::WritePrivateProfileString(BoardSection(slot).c_str(), k.name, value.empty() ? nullptr : value.c_str(),
                                         file))
      return Fail(pError, "cannot write " + file.string());
    return true;
  }
  return Fail(pError, "unknown board option " + key +
                          " (Port, AgentVersion, ClusterStatus, ClusterDefinedStatus, HaProcess, StatPolls, StatMs, "
                          "InitStates)");
}

bool SetBehaviour(const std::filesystem::path& file, int slot, const std::string& exchange,
                  const std::vector<std::string>& settings, std::string* pError) {
  const auto id = ExchangeByName(exchange);
  if (!id) return Fail(pError, "unknown exchange " + exchange);
  std::vector<std::pair<const char*, std::string>> checked;
  for (const std::string& setting : settings) {
    const std::size_t eq = setting.find('=');
    const std::string key = setting.substr(0, eq);
    const std::string value = eq == std::string::npos ? "" : setting.substr(eq + 1);
    const auto* known = std::find_if(std::begin(kBehaviourKeys), std::end(kBehaviourKeys),
                                     [&key](const BehaviourKey& k) { return SameName(key, k.name); });
    if (eq == std::string::npos || known == std::end(kBehaviourKeys))
      return Fail(pError, "bad behaviour setting " + setting + " (KEY=VALUE with KEY one of Result, DelayMs, "
                          "ChunkSize, ChunkGapMs, Stall, CloseAfter, Magic, ProtoVer, MsgType, DataType, Count)");
    if (!ValueFits(known->kind, value)) return Fail(pError, "bad value in " + setting);
    checked.emplace_back(known->name, known->kind == ValueKind::Text ? Quoted(value) : value);
  }
  const std::string section = BehaviourSection(slot, *id);
  for (const auto& [key, value] : checked)
    if (!plat::WritePrivateProfileString(section.c_str(), key, value.c_str(), file))
      return Fail(pError, "cannot write " + file.string());
  return true;
}

bool WriteBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id, const Behaviour& b,
                    std::string* pError) {
  std::vector<std::string> entries;
  const auto word = [&entries](const char* key, std::optional<std::uint32_t> value) {
    if (value) entries.push_back(std::string(key) + "=" + std::to_string(*value));
  };
  word("Result", b.result);
  if (b.delayMs) word("DelayMs", b.delayMs);
  if (b.chunkSize) word("ChunkSize", b.chunkSize);
  if (b.chunkGapMs) word("ChunkGapMs", b.chunkGapMs);
  if (b.stall) entries.push_back("Stall=1");
  word("CloseAfter", b.closeAfter);
  if (b.magic) {
    if (!ValueFits(ValueKind::Text, *b.magic)) return Fail(pError, "bad magic " + *b.magic);
    entries.push_back("Magic=" + Quoted(*b.magic));
  }
  word("ProtoVer", b.protoVer);
  word("MsgType", b.msgType);
  word("DataType", b.dataType);
  word("Count", b.count);
  // A behaviour with nothing set still needs a key, or the section would read as absent.
  if (entries.empty()) entries.push_back("DelayMs=0");
  if (!plat::WritePrivateProfileSection(BehaviourSection(slot, id).c_str(), entries, file))
    return Fail(pError, "cannot write " + file.string());
  return true;
}

bool ClearBehaviours(const std::filesystem::path& file, std::optional<int> slot, std::string* pError) {
  for (const std::string& section : plat::GetProfileSectionNames(file)) {
    const std::size_t dot = section.find('.');
    if (dot == std::string::npos || section.compare(0, 5, "Board") != 0) continue;
    if (slot && section.substr(0, dot) != BoardSection(*slot)) continue;
    if (!plat::WritePrivateProfileString(section.c_str(), nullptr, nullptr, file))
      return Fail(pError, "cannot write " + file.string());
  }
  return true;
}

std::optional<Behaviour> TakeBehaviour(const std::filesystem::path& file, int slot, agent::Exchange id) {
  const std::lock_guard lock(TakeMutex());
  std::optional<Behaviour> behaviour = ReadBehaviour(file, slot, id);
  if (!behaviour || !behaviour->count) return behaviour;
  const std::string section = BehaviourSection(slot, id);
  if (*behaviour->count == 0) {
    plat::WritePrivateProfileString(section.c_str(), nullptr, nullptr, file);
    return std::nullopt;
  }
  const std::uint32_t left = *behaviour->count - 1;
  if (left == 0)
    plat::WritePrivateProfileString(section.c_str(), nullptr, nullptr, file);
  else
    plat::WritePrivateProfileString(section.c_str(), "Count", std::to_string(left).c_str(), file);
  return behaviour;
}

}  // namespace agentsim
