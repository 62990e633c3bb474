// The NAS OS step of an installation on one board against a simulated unit on a scaled clock,
// where the dialogs cannot lead (their type check refuses versions below 04-): a NAS OS whose
// version starts "01-" starts by itself after its installer, so no boot command goes to the
// array, and the wait for it to run keeps the installer's limit and start.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "PowerTestSupport.h"
#include "QuietMainDialog.h"
#include "VelapiTestUnit.h"
#include "agent/AgentWire.h"
#include "board/CusrCHN.h"
#include "board/CusrStatusAgent.h"
#include "common/ProcessContext.h"
#include "install/InstallRoutine.h"
#include "install/InstallRules.h"

namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;
namespace sim = corvid::sim;
namespace pages = corvid::pages;

constexpr double kScale = 0.001;  // the 10-minute limit takes 600 ms
constexpr std::uint32_t kMsgNasOsError = 3516;

// The labels the routine shows; it never asks between products here (there are none).
class LabelSink : public install::ProgressSink {
 public:
  void RowStatus(std::size_t, const std::string&) override {}
  void Label(const std::string& strText, bool) override { labels.push_back(strText); }
  void StopEnabled(bool) override {}
  bool StopRequested() const override { return false; }
  void ClearStopRequest() override {}
  bool CancelRemaining() override { return false; }

  std::vector<std::string> labels;
};

class SelfStartingNasOs : public ::testing::Test {
 protected:
  void TearDown() override {
    m_context.reset();
    plat::Clock::SetTimeScale(0);
  }

  // A new board 0 gets NAS OS 01-02-00-00 with a 10-minute limit; its installer takes two.
  void Install(bool startsItself) {
    sim::UnitSpec scenario = veltest::DefaultSpec();
    scenario.autoBootAfterInstall = startsItself;
    scenario.durations.installMs = 120'000;
    veltest::ResetUnit(scenario);
    plat::Clock::SetTimeScale(kScale);
    sim::SetTimeScale(kScale);
    ASSERT_TRUE(sim::SetBoardStatus(veltest::kUnit, 0, pages::kStatusNew));
    m_context.emplace(common::ProcessSetup{.display = &m_display, .traceSink = &m_trace, .traceMask = TRC_MASK_DEBUG});
    std::uint32_t ulError = 0;
    ASSERT_TRUE(m_array.Initialize(20266, &ulError)) << ulError;
    std::vector<std::unique_ptr<CusrCHN>> boards;
    for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) boards.push_back(std::make_unique<CusrCHN>(m_array, i));
    m_array.GetChnStatusKestrel(0);
    boards[0]->SetChnStatusKestrel();
    CusrStatusAgent poller(m_array);
    poller.Create(&m_main, 20'000);
    ASSERT_EQ(poller.Start(), 0u);
    install::InstallRequest request;
    request.products = {{"NAS OS", "01-02-00-00", "nasos.img", "10", "nasos.os", "0102-0001"}};
    request.nOsCount = 1;
    const plat::TimePoint start = plat::Clock::Now();
    m_outcome = install::RunInstallation(*boards[0], request, m_sink);
    m_elapsed = plat::Clock::Now() - start;
    poller.Stop();
  }

  static bool BootCommandSent() {
    std::vector<std::uint8_t> image;
    return sim::LastSelected(veltest::kUnit, pages::kNasPage, pages::kA7Power, &image);
  }

  RecordingDisplay m_display;
  powertest::TimedTraceSink m_trace;
  board::ArrayTables m_array;
  kelptest::QuietMainDialog m_main;
  std::optional<common::ProcessContext> m_context;
  LabelSink m_sink;
  install::InstallOutcome m_outcome;
  plat::Millis m_elapsed{0};
};

TEST_F(SelfStartingNasOs, RunsWithoutABootCommand) {
  Install(true);
  EXPECT_EQ(m_outcome.ulCode, 0u);
  EXPECT_THAT(m_sink.labels,
              ElementsAre("Now Installing...[maximum 10 minutes]", "NAS OS installation process has completed."));
  EXPECT_FALSE(BootCommandSent());
  EXPECT_THAT(powertest::MessageIds(m_display), Not(Contains(kMsgNasOsError)));
}

// The board never comes up: the wait ends at the installer's 10 minutes counted from its start,
// not at the 32 minutes a boot is given, with the reboot failure and the time-out code.
TEST_F(SelfStartingNasOs, ThatNeverRunsFailsAtTheInstallersLimit) {
  Install(false);
  EXPECT_EQ(m_outcome.ulCode, agent::kResultTimeout);
  EXPECT_EQ(m_outcome.stage, install::Stage::NasOsBoot);
  EXPECT_THAT(m_sink.labels, ElementsAre("Now Installing...[maximum 10 minutes]", "Failed to reboot the NAS OS."));
  EXPECT_FALSE(BootCommandSent());
  EXPECT_THAT(powertest::MessageIds(m_display), Contains(kMsgNasOsError));
  EXPECT_GE(m_elapsed, plat::Millis(600'000));
  EXPECT_LT(m_elapsed, plat::Millis(600'000) + install::kBootLimit / 2);
}

}  // namespace
