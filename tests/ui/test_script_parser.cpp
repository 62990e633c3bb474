// Script lines in, commands or refusals out: a table of good lines and one of bad lines.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/MessageBoxStyle.h"
#include "ui/ScriptParser.h"

using namespace kelp::ui;
using ::testing::HasSubstr;

namespace {

struct GoodLine {
  const char* text;
  ScriptVerb verb;
  std::function<void(const ScriptCommand&)> check;
};

TEST(ScriptParser, GoodLinesGiveTheirCommand) {
  const GoodLine lines[] = {
      {"click 1008", ScriptVerb::Click, [](const ScriptCommand& c) {
         EXPECT_EQ(c.target.controlId, 1008);
         EXPECT_EQ(c.target.templateId, 0);
       }},
      {"click 224:1", ScriptVerb::Click, [](const ScriptCommand& c) {
         EXPECT_EQ(c.target.templateId, 224);
         EXPECT_EQ(c.target.controlId, 1);
       }},
      {"  click \"Install\"  ", ScriptVerb::Click, [](const ScriptCommand& c) {
         EXPECT_TRUE(c.target.byCaption);
         EXPECT_EQ(c.target.caption, "Install");
       }},
      {"double-click 1500", ScriptVerb::DoubleClick, [](const ScriptCommand& c) { EXPECT_EQ(c.target.controlId, 1500); }},
      {R"(set 16 "a \"b\" \\ c\nd")", ScriptVerb::Set, [](const ScriptCommand& c) { EXPECT_EQ(c.text, "a \"b\" \\ c\nd"); }},
      {"check 14 0", ScriptVerb::Check, [](const ScriptCommand& c) { EXPECT_EQ(c.flag, 0); }},
      {R"(check-row "^a\tb")", ScriptVerb::CheckRow, [](const ScriptCommand& c) {
         EXPECT_EQ(c.flag, 1);
         EXPECT_TRUE(std::regex_search("a\tb", c.regex));
       }},
      {R"(select-row \d+)", ScriptVerb::SelectRow, [](const ScriptCommand& c) { EXPECT_TRUE(std::regex_search("x12", c.regex)); }},
      {"answer 3493 cancel", ScriptVerb::Answer, [](const ScriptCommand& c) {
         EXPECT_EQ(c.messageId, 3493u);
         EXPECT_EQ(c.button, IDCANCEL);
       }},
      {"answer * yes", ScriptVerb::Answer, [](const ScriptCommand& c) {
         EXPECT_FALSE(c.messageId.has_value());
         EXPECT_EQ(c.button, IDYES);
       }},
      {"key Shift+Ctrl+E", ScriptVerb::Key, [](const ScriptCommand& c) { EXPECT_EQ(c.key, (KeyChord{true, true, false, "e"})); }},
      {"wait-message 3530", ScriptVerb::WaitMessage, [](const ScriptCommand& c) { EXPECT_EQ(c.seconds, kDefaultWaitSeconds); }},
      {"wait-text \"Close\" ^C 2.5", ScriptVerb::WaitText, [](const ScriptCommand& c) { EXPECT_EQ(c.seconds, 2.5); }},
      {"wait-transcript \"^ready$\" 0", ScriptVerb::WaitTranscript, [](const ScriptCommand& c) { EXPECT_EQ(c.seconds, 0); }},
      {"wait-idle", ScriptVerb::WaitIdle, [](const ScriptCommand&) {}},
      {"sleep 20", ScriptVerb::Sleep, [](const ScriptCommand& c) { EXPECT_EQ(c.seconds, 20); }},
      {"screenshot /tmp/main.png", ScriptVerb::Screenshot, [](const ScriptCommand& c) {
         EXPECT_EQ(c.text, "/tmp/main.png");
         EXPECT_EQ(c.target.templateId, 0);
       }},
      {"screenshot \"/tmp/a b.png\" 102", ScriptVerb::Screenshot, [](const ScriptCommand& c) {
         EXPECT_EQ(c.text, "/tmp/a b.png");
         EXPECT_EQ(c.target.templateId, 102);
       }},
      {"close", ScriptVerb::Close, [](const ScriptCommand&) {}},
  };
  for (const GoodLine& line : lines) {
    SCOPED_TRACE(line.text);
    auto parsed = ParseScriptLine(7, line.text);
    ASSERT_TRUE(std::holds_alternative<ScriptCommand>(parsed));
    const ScriptCommand& c = std::get<ScriptCommand>(parsed);
    EXPECT_EQ(c.line, 7);
    EXPECT_EQ(c.verb, line.verb);
    line.check(c);
  }
}

TEST(ScriptParser, BadLinesSayWhy) {
  const std::pair<const char*, const char*> lines[] = {
      {"frobnicate 1", "unknown command frobnicate"},
      {"click", "click: missing TARGET"},
      {"click 10x", "click: bad TARGET 10x"},
      {"click 0:5", "click: bad TARGET 0:5"},
      {"click 1 2", "click: extra argument 2"},
      {"check 14 2", "check: bad 0|1 2"},
      {"answer 3493 maybe", "answer: bad ok|cancel|yes|no maybe"},
      {"answer x ok", "answer: bad MSGID|* x"},
      {"key ctrl+ctrl+e", "key: bad KEY ctrl+ctrl+e"},
      {"key shift+", "key: bad KEY shift+"},
      {"wait-idle -1", "wait-idle: bad SECONDS -1"},
      {"sleep", "sleep: missing SECONDS"},
      {"screenshot /tmp/x.png 0", "screenshot: bad TEMPLATE 0"},
      {"screenshot /tmp/x.png main", "screenshot: bad TEMPLATE main"},
      {"wait-transcript (", "wait-transcript: bad REGEX ("},
      {"set 16 \"open", "unterminated quote"},
      // A reason is one transcript line: a quoted word in it keeps its escapes.
      {R"(check 14 "0\n1")", R"(check: bad 0|1 "0\n1")"},
      {R"("wait\nexit 0" 1)", R"(unknown command "wait\nexit 0")"},
      {R"(click 1 "two\nlines")", R"(click: extra argument "two\nlines")"},
      // A pattern too big for the regex library is refused, not built.
      {"wait-transcript a{9999}{9999}", "wait-transcript: bad REGEX a{9999}{9999}"},
      // Found by fuzz_script: numbers that overflow the regex library's long (undefined behaviour).
      {"wait-transcript x{5555555555555555555}", "wait-transcript: bad REGEX x{5555555555555555555}"},
      {"select-row x{1,99999999999}", "select-row: bad REGEX x{1,99999999999}"},
      {R"(wait-transcript (a)\55555555555555555555)", R"(wait-transcript: bad REGEX (a)\55555555555555555555)"},
  };
  for (const auto& [text, reason] : lines) {
    auto parsed = ParseScriptLine(3, text);
    ASSERT_TRUE(std::holds_alternative<ScriptError>(parsed)) << text;
    EXPECT_EQ(std::get<ScriptError>(parsed).line, 3);
    EXPECT_EQ(std::get<ScriptError>(parsed).reason, reason);
  }
}

TEST(ScriptParser, ScriptSkipsBlanksAndCommentsAndNumbersLines) {
  auto parsed = ParseScript("# start\n\nclick 1\n  # again\nclose\n");
  ASSERT_TRUE(std::holds_alternative<std::vector<ScriptCommand>>(parsed));
  const auto& commands = std::get<std::vector<ScriptCommand>>(parsed);
  ASSERT_EQ(commands.size(), 2u);
  EXPECT_EQ(commands[0].line, 3);
  EXPECT_EQ(commands[1].line, 5);

  auto bad = ParseScript("click 1\nclick\n");
  ASSERT_TRUE(std::holds_alternative<ScriptError>(bad));
  EXPECT_EQ(std::get<ScriptError>(bad).line, 2);
  EXPECT_THAT(std::get<ScriptError>(bad).reason, HasSubstr("missing TARGET"));
}

}  // namespace
