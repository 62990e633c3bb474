#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <thread>

#include "common/ConsoleDisplay.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageCatalogue.h"
#include "common/Messages.h"
#include "common/ProcessContext.h"
#include "common/RecordingDisplay.h"

namespace {

class MessagesTest : public ::testing::Test {
 protected:
  RecordingDisplay m_display;
  common::ProcessContext m_context{{.program = TraceProgram::Kelpconf, .display = &m_display}};
};

TEST_F(MessagesTest, CommunicationErrorShowsIdentifierBlankLineAndCode) {
  int button = 0;
  const std::string text = ShowMessage(3514, "0x00000005", {}, &button);
  EXPECT_EQ(text.rfind("[DMEN03514E]A communication error occurred. (0x00000005)", 0), 0u) << text;
  ASSERT_EQ(m_display.Boxes().size(), 1u);
  const auto box = m_display.Boxes()[0];
  EXPECT_EQ(box.strTitle, "Kelpset Tool");
  EXPECT_EQ(box.strText.rfind("[DMEN03514E]\n\nA communication error occurred. (0x00000005)", 0), 0u);
  EXPECT_EQ(box.strText, "[DMEN03514E]\n\n" + text.substr(12));
  EXPECT_EQ(box.ulStyle, 0x42010u);
  EXPECT_EQ(button, IDOK);
}

struct RowCase {
  std::uint32_t id;
  const char* identifier;
  std::uint32_t style;  // row style with the icon of its kind
  int defaultButton;
};

constexpr RowCase kRowCases[] = {
      {3593, "[DMEN03593I]", 0x42044, IDYES},     // Yes/No, information
      {3498, "[DMEN03498W]", 0x42233, IDCANCEL},  // Yes/No/Cancel, third button default
      {3584, "[DMEN03584W]", 0x42131, IDCANCEL},  // OK/Cancel, second button default
      {3549, "[DMEN03549I]", 0x42141, IDCANCEL},
      {3490, "[DMEN03490W]", 0x42030, IDOK},
      {3518, "[DMEN03518I]", 0x42040, IDOK},
      {4039, "[DMEN04039W]", 0x42030, IDOK},
      {3822, "[DMEN03822E]", 0x42010, IDOK},
      {4003, "[DMEN04003E]", 0x42010, IDOK},
      {12345, "[DMEN04294967295W]", 0x42030, IDOK},  // not in the table
};

TEST_F(MessagesTest, RowsGiveIdentifierIconButtonsAndDefault) {
  for (const RowCase& c : kRowCases) {
    SCOPED_TRACE(c.id);
    m_display.Clear();
    int button = -1;
    const std::string text = ShowMessage(c.id, {}, {}, &button);
    ASSERT_EQ(m_display.Boxes().size(), 1u);
    EXPECT_EQ(m_display.Boxes()[0].ulStyle, c.style);
    EXPECT_EQ(button, c.defaultButton);
    EXPECT_EQ(text.rfind(c.identifier, 0), 0u);
  }
}

// A worker whose result nobody waits for: its messages are not shown, their text still comes
// back and each takes its row's default button. The condition is asked per message, holds for
// the making thread only, and the thread's earlier setting comes back afterwards.
TEST_F(MessagesTest, QuietMessagesAreNotShownAndTakeTheDefault) {
  bool bQuiet = true;
  {
    QuietMessages quiet([&] { return bQuiet; });
    for (const RowCase& c : kRowCases) {
      SCOPED_TRACE(c.id);
      int button = -1;
      EXPECT_EQ(ShowMessage(c.id, {}, {}, &button).rfind(c.identifier, 0), 0u);
      EXPECT_EQ(button, c.defaultButton);
    }
    EXPECT_TRUE(m_display.Boxes().empty());
    std::thread([] { ShowMessage(3518); }).join();
    EXPECT_EQ(m_display.Boxes().size(), 1u);
    bQuiet = false;
    ShowMessage(3518);
    EXPECT_EQ(m_display.Boxes().size(), 2u);
    bQuiet = true;
  }
  ShowMessage(3518);
  EXPECT_EQ(m_display.Boxes().size(), 3u);
}

TEST_F(MessagesTest, MessagesWithoutTextShowTheIdentifierAlone) {
  for (std::uint32_t id : {3822u, 3584u, 3539u, 3621u}) {
    m_display.Clear();
    const std::string text = ShowMessage(id);
    const auto box = m_display.Boxes().at(0);
    EXPECT_EQ(box.strText, text + "\n\n") << id;
    EXPECT_EQ(text.size(), 12u) << text;
  }
  m_display.Clear();
  EXPECT_EQ(ShowMessage(70000), "[DMEN04294967295W]");
  EXPECT_EQ(m_display.Boxes().at(0).strText, "[DMEN04294967295W]\n\n");
}

TEST_F(MessagesTest, PressedButtonIsReturned) {
  m_display.Script({IDNO, IDCANCEL});
  int button = 0;
  ShowMessage(3593, {}, {}, &button);
  EXPECT_EQ(button, IDNO);
  ShowMessageEx(3498, &button, {});
  EXPECT_EQ(button, IDCANCEL);
}

TEST_F(MessagesTest, BoxThatCannotBeShownGivesFallbackAndCancel) {
  m_display.SetFailing(true);
  int button = 0;
  EXPECT_EQ(ShowMessageNoCheck(3514, "0x00000005", {}, &button).rfind("[DMEN03514E]", 0), 0u);
  EXPECT_EQ(button, IDCANCEL);

  m_display.SetFailing(false);
  RecordingDisplay fallback;
  struct FailOnce : MessageDisplay {
    RecordingDisplay& next;
    bool failed = false;
    explicit FailOnce(RecordingDisplay& n) : next(n) {}
    int ShowBox(const std::string& t, const std::string& x, std::uint32_t s) override {
      if (!failed) {
        failed = true;
        return 0;
      }
      return next.ShowBox(t, x, s);
    }
  } failOnce(fallback);
  SetMessageDisplay(&failOnce);
  button = 0;
  const std::string text = ShowMessage(3514, "0x00000005", {}, &button);
  EXPECT_EQ(text, "Failed to create the message(ID: 3514).\nNot enough memory.");
  EXPECT_EQ(button, IDCANCEL);
  ASSERT_EQ(fallback.Boxes().size(), 1u);
  EXPECT_EQ(fallback.Boxes()[0].strTitle, "Kelpset Tool");
  EXPECT_EQ(fallback.Boxes()[0].strText, text);
  EXPECT_EQ(fallback.Boxes()[0].ulStyle, 0x42010u);

  SetMessageDisplay(nullptr);
  EXPECT_EQ(ShowMessage(3503, {}, {}, &button), "Failed to create the message(ID: 3503).\nNot enough memory.");
}

TEST_F(MessagesTest, ArgumentsAreInsertedAsTextOnly) {
  const std::string text = ShowMessage(3588, "50%s%n%d%%");
  EXPECT_EQ(text, "[DMEN03588E]The entry (50%s%n%d%%) is invalid.\nEnter the correct value, and then try again.");
}

TEST(MessageFormat, ConversionsTakeTextArguments) {
  const struct {
    const char* format;
    std::vector<std::string> args;
    const char* expect;
  } cases[] = {
      {"(%s)", {"x"}, "(x)"},
      {"%s-%s-%s", {"a", "b"}, "a-b-"},
      {"%d and %08x and %-5.2s", {"1", "2", "3"}, "1 and 2 and 3"},
      {"100%% sure %s", {"now"}, "100% sure now"},
      {"trailing %", {}, "trailing %"},
      {"%s", {"%s%s"}, "%s%s"},
      {"no args", {"unused"}, "no args"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatWithTextArgs(c.format, c.args), c.expect) << c.format;
}

TEST(MessageFormat, TextIsCutToTheBuffer) {
  SetMessageProgram(TraceProgram::Kelpconf);
  char buffer[16];
  EXPECT_EQ(FormatMessageText(buffer, sizeof buffer, 3514, MSG_KIND_ERROR, {"0x00000005"}), 15u);
  EXPECT_STREQ(buffer, "[DMEN03514E]A c");
  char big[1024];
  const std::size_t n = FormatMessageText(big, sizeof big, 3514, MSG_KIND_ERROR, {std::string(2000, 'z')});
  EXPECT_EQ(n, 1023u);
  EXPECT_EQ(big[1023], '\0');
}

TEST(MessageTable, KelpconfAndKelpftpdRowCounts) {
  const auto& conf = MessageCatalogue::Of(TraceProgram::Kelpconf).Rows();
  const auto& ftpd = MessageCatalogue::Of(TraceProgram::Kelpftpd).Rows();
  EXPECT_EQ(conf.size(), 188u + 1);
  EXPECT_EQ(ftpd.size(), 157u + 1);
  for (const auto* rows : {&conf, &ftpd}) {
    EXPECT_EQ(rows->back().id, MSG_ID_END);
    EXPECT_EQ(rows->back().kind, MSG_KIND_WARNING);
    EXPECT_EQ(rows->back().style, 0x42000u);
  }
  std::set<std::uint32_t> confIds;
  for (const auto& row : conf) confIds.insert(row.id);
  EXPECT_EQ(confIds.size(), conf.size()) << "ids are unique";
  for (const auto& row : ftpd) {
    EXPECT_TRUE(confIds.count(row.id)) << row.id;
    const bool absent = (row.id >= 3490 && row.id <= 3499) || row.id == 4016 || row.id == 4019 ||
                        row.id == 4020 || (row.id >= 4022 && row.id <= 4039);
    EXPECT_FALSE(absent) << row.id;
  }
}

TEST(MessageTable, EveryRowHasTextExceptTheListedOnes) {
  const std::set<std::uint32_t> noText = {3539, 3543, 3544, 3545, 3546, 3547, 3548, 3549,
                                          3550, 3551, 3552, 3553, 3560, 3561, 3562, 3584,
                                          3586, 3589, 3613, 3614, 3615, 3616, 3619, 3621, 3644, 3783, 3805,
                                          3816, 3822};
  const auto& catalogue = MessageCatalogue::Of(TraceProgram::Kelpconf);
  for (const auto& row : catalogue.Rows()) {
    if (row.id == MSG_ID_END) continue;
    const std::string text = catalogue.LoadString(row.id);
    EXPECT_EQ(text.empty(), noText.count(row.id) == 1) << row.id;
    EXPECT_LT(text.size(), 512u) << row.id;
  }
  EXPECT_EQ(catalogue.Title(), "Kelpset Tool");
}

TEST_F(MessagesTest, KelpftpdCarriesOnlyItsOwnTextsAndNoTitle) {
  SetMessageProgram(TraceProgram::Kelpftpd);
  const auto& catalogue = MessageCatalogue::Of(TraceProgram::Kelpftpd);
  EXPECT_EQ(catalogue.Title(), "");
  for (std::uint32_t id : {3501u, 3502u, 3503u, 3507u, 3514u}) EXPECT_FALSE(catalogue.LoadString(id).empty()) << id;
  EXPECT_TRUE(catalogue.LoadString(3515).empty());
  EXPECT_EQ(catalogue.LoadString(106), "Kelpset Version 04-01-00 ");
  EXPECT_EQ(ShowMessage(3498), "[DMEN04294967295W]");
  EXPECT_EQ(ShowMessage(3515), "[DMEN03515E]");
  EXPECT_EQ(m_display.Boxes().back().strTitle, "");
}

TEST(ApiErrorMessage, CodesMapToMessages) {
  const std::pair<std::uint32_t, std::uint32_t> cases[] = {
      {0, 3518},          {1, 3519},          {2, 3520},          {3, 3508},          {4, 3522},
      {6, 3524},          {8, 3526},          {9, 3527},          {0x80000001, 3527}, {0x83800017, 3527},
      {0x84000004, 3527}, {0x83800006, 4039}, {0x83800013, 3564}, {0x83800014, 3565}, {0x83800015, 3529},
      {0x83800018, 4016}, {0x8380001D, 4035}, {0x7FFFFFFF, 3508}, {0x90000000, 3527}, {0x83800002, 3527},
  };
  for (const auto& [code, id] : cases) EXPECT_EQ(GetApiErrorMessageId(code), id) << std::hex << code;
}

TEST(ConsoleDisplayTest, AnswersFromInputOrTakesTheDefault) {
  const struct {
    const char* input;
    std::uint32_t style;
    int expect;
  } cases[] = {
      {"c\n", 0x42101, IDCANCEL}, {"OK\n", 0x42101, IDOK}, {"\n", 0x42101, IDCANCEL},
      {"", 0x42203, IDCANCEL},    {"x\ny\n", 0x42004, IDYES}, {"n\n", 0x42004, IDNO},
  };
  for (const auto& c : cases) {
    std::FILE* in = std::tmpfile();
    std::FILE* out = std::tmpfile();
    std::fputs(c.input, in);
    std::rewind(in);
    ConsoleDisplay display(out, in);
    EXPECT_EQ(display.ShowBox("Kelpset Tool", "[DMEN03593I]\n\nQuestion", c.style), c.expect) << '"' << c.input << '"';
    std::rewind(out);
    char buf[256] = "";
    std::fread(buf, 1, sizeof buf - 1, out);
    EXPECT_NE(std::string(buf).find("[DMEN03593I]"), std::string::npos);
    std::fclose(in);
    std::fclose(out);
  }
  ConsoleDisplay silent(std::tmpfile(), nullptr);
  EXPECT_EQ(silent.ShowBox("t", "x", 0x42203), IDCANCEL);
}

}  // namespace
