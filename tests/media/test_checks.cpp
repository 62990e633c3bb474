// The board checks of products from the medium: the version rule over an installed list and the
// NNC type rule, as tables with their trace lines, and through a board of a simulated unit.
#include <gtest/gtest.h>

#include <algorithm>

#include "VelapiTestUnit.h"
#include "board/CusrCHN.h"
#include "board/ProductChecks.h"
#include "common/CusrTrace.h"
#include "common/MemoryTraceSink.h"

namespace {

using Installed = std::vector<agent::ProductTexts>;

agent::ProductTexts Product(const char* name, const char* version) { return {name, version, "", "PP", "1"}; }

class Checks : public ::testing::Test {
 protected:
  void SetUp() override { SetTrace(&m_trace, TRC_MASK_NORMAL); }
  void TearDown() override { SetTrace(nullptr, 0); }
  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const std::string& l : m_trace.TaggedTexts()) texts.push_back(l.substr(l.find(' ') + 1));
    return texts;
  }
  common::MemoryTraceSink m_trace;
};

TEST_F(Checks, VersionComparisonOverTheInstalledProducts) {
  const Installed board = {Product("NAS OS", "05-00-00-00"), Product("NAS OS", "05-00-01-00"),
                           Product("Backup", "04-00-00-00")};
  const struct {
    const char* name;
    const char* version;
    int result;
  } cases[] = {
      {"NAS OS", "05-00-01-00", 0},          // same as the greatest installed
      {"NAS OS", "05-00-00-10", 0},          // below the greatest, above the other
      {"NAS OS", "05-00-02-00", 1},          {"NAS Backup Support", "04-00-00-01", 1},  // "Backup" is contained
      {"NAS Backup Support", "03-09-00-00", 0}, {"Audit", "01-00-00-00", 1},            // not installed
      {"NAS OS", "5-0", 0},                  // no version at all: refused
  };
  for (const auto& c : cases) EXPECT_EQ(board::CompareWithInstalled(board, c.name, c.version), c.result) << c.name << " " << c.version;
}

TEST_F(Checks, VersionComparisonTracesItsDecision) {
  EXPECT_EQ(board::CompareWithInstalled({Product("NAS OS", "05-00-01-00")}, "NAS OS", "05-00-01-00"), 0);
  EXPECT_EQ(board::CompareWithInstalled({}, "NAS OS", "05-00-01-00"), 1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"Install Product - NAS OS", "Media Product Version     = 05-00-01-00",
                                               "Installed Product Version = 05-00-01-00", "Down or Same Version",
                                               "Install Product - NAS OS", "Not installed"}));
}

TEST_F(Checks, NncTypeOfEveryProductVersion) {
  using Pairs = std::vector<board::ProductVersion>;
  const struct {
    Pairs products;
    std::uint16_t usType;
    int result;
  } cases[] = {
      {{{"A", "04-05-00-00"}}, 1, 1}, {{{"A", "04-05-00-00"}}, 2, 0}, {{{"A", "05-00-00-00"}}, 2, 1},
      {{{"A", "05-00-00-00"}}, 1, 0}, {{{"A", "04-00-00-00"}}, 1, 1}, {{{"A", "04-99-99-99"}}, 1, 1},
      {{{"A", "03-09-00-00"}}, 1, 0}, {{{"P", "-"}, {"A", "05-01-00-00"}}, 2, 1},
      {{{"P", "-"}}, 1, 1},           {{{"A", "5-00-00-00"}}, 2, 0},   {{}, 1, 1},
      {{{"A", "05-00-00-00"}, {"B", "04-00-00-00"}}, 2, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(board::CheckProductTypes("CTL0-0", c.usType, c.products), c.result)
        << (c.products.empty() ? "" : c.products.back().second) << " type " << c.usType;
  }
}

TEST_F(Checks, NncTypeTraces) {
  EXPECT_EQ(board::CheckProductTypes("CTL1-0", 2, {{"Old", "03-09-00-00"}}), 0);
  EXPECT_EQ(board::CheckProductTypes("CTL1-0", 2, {{"Mid", "04-05-00-00"}}), 0);
  EXPECT_EQ(Texts(), (std::vector<std::string>{
                         "Invalid version : PP Name = Old | PP Version = 03-09-00-00",
                         "CTL1-0 Incorrect Type. NNC Type = 0x0002 | PP Name = Mid | PP Version = 04-05-00-00"}));
}


TEST_F(Checks, BoardSuppliesItsNameTypeAndInstalledList) {
  veltest::ResetUnit(veltest::DefaultSpec());
  board::ArrayTables array;
  std::uint32_t ulError = 0;
  ASSERT_TRUE(array.Initialize(20266, &ulError)) << ulError;
  CusrCHN board(array, 0);
  const std::uint16_t usType = array.NNCType(0);
  ASSERT_TRUE(usType == 1 || usType == 2) << usType;
  const char* own = usType == 1 ? "04-05-00-00" : "05-00-00-00";
  const char* other = usType == 1 ? "05-00-00-00" : "04-05-00-00";
  EXPECT_EQ(board.CheckNNCType({{"NAS OS", own}, {"Patch", "-"}}), 1);
  EXPECT_EQ(board.CheckNNCType({{"NAS OS", other}}), 0);
  const std::vector<std::string> texts = Texts();
  EXPECT_TRUE(std::any_of(texts.begin(), texts.end(), [&](const std::string& t) {
    return t.find(board.LocationName() + " Incorrect Type.") == 0;
  }));
  // A board whose NAS OS is not running has no installed products: anything may go on.
  std::uint32_t ulListError = 0;
  ASSERT_NE(board.GetInstPPInfo(&ulListError), nullptr);
  EXPECT_EQ(board.CompareProductVersion("NAS OS", "05-00-01-00"), 1);
}

}  // namespace
