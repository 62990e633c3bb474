#include "ui/ScriptParser.h"

#include <charconv>
#include <cmath>

#include "ui/MessageAnswers.h"
#include "ui/Transcript.h"

namespace kelp::ui {
namespace {

struct Word {
  std::string text;
  bool quoted = false;
};

// Argument kinds, one letter each in a verb's rule; '?' after a letter makes it optional.
// T target, S text, B 0|1, R regex, M message id or '*', A answer word, K key chord,
// N message id, D seconds.
struct VerbRule {
  std::string_view name;
  ScriptVerb verb;
  std::string_view args;
};

constexpr VerbRule kVerbs[] = {
    {"click", ScriptVerb::Click, "T"},
    {"double-click", ScriptVerb::DoubleClick, "T"},
    {"set", ScriptVerb::Set, "TS"},
    {"check", ScriptVerb::Check, "TB"},
    {"check-row", ScriptVerb::CheckRow, "RB?"},
    {"select-row", ScriptVerb::SelectRow, "R"},
    {"answer", ScriptVerb::Answer, "MA"},
    {"key", ScriptVerb::Key, "K"},
    {"wait-message", ScriptVerb::WaitMessage, "ND?"},
    {"wait-text", ScriptVerb::WaitText, "TRD?"},
    {"wait-transcript", ScriptVerb::WaitTranscript, "RD?"},
    {"wait-idle", ScriptVerb::WaitIdle, "D?"},
    {"sleep", ScriptVerb::Sleep, "D"},
    {"screenshot", ScriptVerb::Screenshot, "SW?"},
    {"close", ScriptVerb::Close, ""},
};

constexpr std::string_view ArgName(char kind) {
  switch (kind) {
    case 'T': return "TARGET";
    case 'S': return "TEXT";
    case 'B': return "0|1";
    case 'R': return "REGEX";
    case 'M': return "MSGID|*";
    case 'A': return "ok|cancel|yes|no";
    case 'K': return "KEY";
    case 'N': return "MSGID";
    case 'W': return "TEMPLATE";
    default: return "SECONDS";
  }
}

// Splits a line into words; the reason on an unterminated quote.
std::variant<std::vector<Word>, std::string> Split(std::string_view line) {
  std::vector<Word> words;
  std::size_t i = 0;
  while (i < line.size()) {
    if (line[i] == ' ' || line[i] == '\t' || line[i] == '\r') {
      ++i;
      continue;
    }
    Word w;
    if (line[i] == '"') {
      w.quoted = true;
      for (++i;; ++i) {
        if (i >= line.size()) return std::string("unterminated quote");
        if (line[i] == '"') break;
        if (line[i] == '\\' && i + 1 < line.size()) {
          const char next = line[i + 1];
          if (next == '"' || next == '\\' || next == 'n') {
            w.text += next == 'n' ? '\n' : next;
            ++i;
            continue;
          }
        }
        w.text += line[i];
      }
      ++i;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r') w.text += line[i++];
    }
    words.push_back(std::move(w));
  }
  return words;
}

// The regex library reads the counts of a repeat "{n,m}" and the number of a back-reference
// "\n" into a long without a bound check (a longer number overflows it): such a number of more
// than kMaxNumberDigits digits is refused before. A literal backslash before a long number is
// refused with them.
constexpr std::size_t kMaxNumberDigits = 9;

bool HasOversizedNumber(std::string_view pattern) {
  bool inNumber = false;
  std::size_t digits = 0;
  for (const char c : pattern) {
    if (c == '{' || c == '\\' || (inNumber && c == ',')) {
      inNumber = true;
      digits = 0;
    } else if (inNumber && c >= '0' && c <= '9') {
      if (++digits > kMaxNumberDigits) return true;
    } else {
      inNumber = false;
    }
  }
  return false;
}

// A word as a reason shows it: a quoted word quoted again with C escapes, so that the reason
// stays on its one transcript line whatever the word holds.
std::string Spelling(const Word& w) { return w.quoted ? Transcript::Quote(w.text) : w.text; }

template <typename T>
bool ParseNumber(std::string_view text, T& value) {
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

bool ParseTarget(const Word& w, ScriptTarget& target) {
  target.spelling = Spelling(w);
  if (w.quoted) {
    target.byCaption = true;
    target.caption = w.text;
    return true;
  }
  const std::string_view text = w.text;
  const std::size_t colon = text.find(':');
  if (colon == std::string_view::npos) return ParseNumber(text, target.controlId);
  return ParseNumber(text.substr(0, colon), target.templateId) && target.templateId != 0 &&
         ParseNumber(text.substr(colon + 1), target.controlId);
}

// Fills the command field of one argument kind; false when the word does not fit.
bool ParseArg(char kind, const Word& w, ScriptCommand& c) {
  switch (kind) {
    case 'T': return ParseTarget(w, c.target);
    case 'S': c.text = w.text; return true;
    case 'B': c.flag = w.text == "1" ? 1 : 0; return w.text == "0" || w.text == "1";
    case 'R':
      c.text = w.text;
      if (HasOversizedNumber(w.text)) return false;
      try {
        c.regex = std::regex(w.text, std::regex::ECMAScript);
      } catch (const std::regex_error&) {
        return false;
      }
      return true;
    case 'M':
      if (w.text == "*") return true;
      [[fallthrough]];
    case 'N': {
      std::uint32_t id = 0;
      if (!ParseNumber(std::string_view(w.text), id)) return false;
      c.messageId = id;
      return true;
    }
    case 'W': return ParseNumber(std::string_view(w.text), c.target.templateId) && c.target.templateId > 0;
    case 'A': {
      const std::optional<int> button = ButtonFromWord(w.text);
      c.button = button.value_or(0);
      return button.has_value();
    }
    case 'K': {
      const std::optional<KeyChord> key = ParseKeyChord(w.text);
      if (key) c.key = *key;
      return key.has_value();
    }
    default:
      return ParseNumber(std::string_view(w.text), c.seconds) && std::isfinite(c.seconds) && c.seconds >= 0;
  }
}

}  // namespace

std::variant<std::monostate, ScriptCommand, ScriptError> ParseScriptLine(int line, std::string_view text) {
  auto split = Split(text);
  if (auto* reason = std::get_if<std::string>(&split)) return ScriptError{line, *reason};
  const std::vector<Word>& words = std::get<std::vector<Word>>(split);
  if (words.empty() || (!words[0].quoted && words[0].text[0] == '#')) return std::monostate{};
  const VerbRule* rule = nullptr;
  for (const VerbRule& r : kVerbs) {
    if (!words[0].quoted && r.name == words[0].text) rule = &r;
  }
  if (rule == nullptr) return ScriptError{line, "unknown command " + Spelling(words[0])};
  ScriptCommand c;
  c.line = line;
  c.verb = rule->verb;
  c.seconds = kDefaultWaitSeconds;
  std::size_t next = 1;
  for (std::size_t k = 0; k < rule->args.size(); ++k) {
    const char kind = rule->args[k];
    const bool optional = k + 1 < rule->args.size() && rule->args[k + 1] == '?';
    if (optional) ++k;
    if (next >= words.size()) {
      if (optional) break;
      return ScriptError{line, std::string(rule->name) + ": missing " + std::string(ArgName(kind))};
    }
    if (!ParseArg(kind, words[next], c)) {
      return ScriptError{line,
                         std::string(rule->name) + ": bad " + std::string(ArgName(kind)) + " " + Spelling(words[next])};
    }
    ++next;
  }
  if (next < words.size())
    return ScriptError{line, std::string(rule->name) + ": extra argument " + Spelling(words[next])};
  return c;
}

std::variant<std::vector<ScriptCommand>, ScriptError> ParseScript(std::string_view text) {
  std::vector<ScriptCommand> commands;
  int line = 0;
  while (!text.empty()) {
    ++line;
    const std::size_t end = text.find('\n');
    const std::string_view one = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    auto parsed = ParseScriptLine(line, one);
    if (auto* error = std::get_if<ScriptError>(&parsed)) return *error;
    if (auto* command = std::get_if<ScriptCommand>(&parsed)) commands.push_back(std::move(*command));
  }
  return commands;
}

}  // namespace kelp::ui
