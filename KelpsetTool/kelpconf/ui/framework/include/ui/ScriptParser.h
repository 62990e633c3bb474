// Script lines of script mode, parsed without touching any dialog. One command per line; blank
// lines and lines starting with '#' are skipped. Words are separated by blanks; a word in double
// quotes may hold blanks and the escapes \" \\ \n (other backslashes stay as written).
//
//   click TARGET             double-click TARGET        set TARGET TEXT
//   check TARGET 0|1
//   check-row REGEX [0|1]    select-row REGEX           answer MSGID|* ok|cancel|yes|no
//   key CHORD                wait-message MSGID [S]     wait-text TARGET REGEX [S]
//   wait-transcript REGEX [S]  wait-idle [S]            sleep S
//   screenshot PATH [TEMPLATE]                          close
//
// TARGET: a control id, TEMPLATE:ID, or a caption in double quotes. S: logical seconds.
// screenshot takes the shown dialog of TEMPLATE, else the foreground dialog.
#pragma once

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "ui/KeyChord.h"

namespace kelp::ui {

enum class ScriptVerb {
  Click, DoubleClick, Set, Check, CheckRow, SelectRow, Answer, Key,
  WaitMessage, WaitText, WaitTranscript, WaitIdle, Sleep, Screenshot, Close,
};

inline constexpr double kDefaultWaitSeconds = 60;

struct ScriptTarget {
  int templateId = 0;     // 0: the foreground dialog
  int controlId = 0;      // by id unless byCaption
  bool byCaption = false;
  std::string caption;
  std::string spelling;   // as written, for error reasons
};

struct ScriptCommand {
  int line = 0;
  ScriptVerb verb = ScriptVerb::Close;
  ScriptTarget target;  // screenshot: templateId alone
  std::string text;   // set: TEXT; screenshot: PATH; the REGEX as written
  std::regex regex;
  int flag = 1;       // check, check-row
  std::optional<std::uint32_t> messageId;  // answer: nullopt for '*'; wait-message
  int button = 0;     // answer
  double seconds = 0;  // waits and sleep
  KeyChord key;
};

struct ScriptError {
  int line = 0;
  std::string reason;
};

// One line: nothing (blank or comment), a command, or the reason it is refused.
std::variant<std::monostate, ScriptCommand, ScriptError> ParseScriptLine(int line, std::string_view text);
// A whole script: its commands, or the first refused line.
std::variant<std::vector<ScriptCommand>, ScriptError> ParseScript(std::string_view text);

}  // namespace kelp::ui
