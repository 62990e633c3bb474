// Board life-cycles as the setup tool sees them: the status words, A8 progress codes, install
// and dump progress each command produces, step by step on the unit's logical clock.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <thread>

#include "CorvidTestUtil.h"
#include "corvid.h"

namespace {

using namespace corvidtest;
namespace pg = corvid::pages;
namespace sim = corvid::sim;

// One step: an optional A7 command, then time, then what the pages show.
struct Step {
  std::uint32_t option;  // 0: no command
  std::int64_t advanceMs;
  std::uint16_t status;
  std::uint8_t a8;
};

struct PowerCase {
  const char* name;
  std::uint16_t startStatus;
  std::vector<Step> steps;
};

class PowerSequence : public testing::TestWithParam<PowerCase> {};

TEST_P(PowerSequence, StatusWordsAndProgressCodes) {
  SimEnv env;
  const PowerCase& c = GetParam();
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 1, c.startStatus));
  int n = 0;
  for (const Step& step : c.steps) {
    if (step.option != 0) {
      ASSERT_EQ(Power(1, step.option), 0) << "step " << n;
    }
    Advance(step.advanceMs);
    const Seen seen = Look(1);
    EXPECT_EQ(seen.status, step.status) << "step " << n;
    EXPECT_EQ(seen.a8, step.a8) << "step " << n;
    ++n;
  }
  EXPECT_EQ(Look(0).status, pg::kStatusStopped) << "other boards are not touched";
}

INSTANTIATE_TEST_SUITE_P(
    Commands, PowerSequence,
    testing::Values(
        PowerCase{"Shutdown", pg::kStatusOsUp,
                  {{pg::a7::kShutdown, 0, 6, 1}, {0, 999, 6, 1}, {0, 1, 3, 0}}},
        PowerCase{"Reboot", pg::kStatusOsUp,
                  {{pg::a7::kReboot, 0, 6, 5}, {0, 999, 6, 5}, {0, 1, 5, 4}, {0, 1999, 5, 4}, {0, 1, 2, 0}}},
        PowerCase{"Boot", pg::kStatusStopped, {{pg::a7::kBoot, 0, 5, 4}, {0, 1999, 5, 4}, {0, 1, 2, 0}}},
        PowerCase{"BootAfterDown", pg::kStatusDown, {{pg::a7::kBoot, 2000, 2, 0}}},
        PowerCase{"BlockadeHoldsThenRestoreStops", pg::kStatusOsUp,
                  {{pg::a7::kBlockade, 0, 4, 0}, {0, 100000, 4, 0}, {pg::a7::kRestore, 499, 4, 0}, {0, 1, 3, 0}}},
        PowerCase{"BlockadeStopsABoot", pg::kStatusStopped,
                  {{pg::a7::kBoot, 500, 5, 4}, {pg::a7::kBlockade, 5000, 4, 0}, {pg::a7::kRestore, 500, 3, 0}}}),
    [](const testing::TestParamInfo<PowerCase>& c) { return c.param.name; });

TEST(Lifecycle, BootKeepsItsOptionText) {
  SimEnv env;
  ASSERT_EQ(Power(2, pg::a7::kBoot, "console=ttyS0 single"), 0);
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates(kUnit, &states));
  EXPECT_EQ(states[2].bootOption, "console=ttyS0 single");
  EXPECT_EQ(states[2].activity, "boot");
}

// A command that does not fit the board is refused with a code of bit 24 and changes nothing.
struct Refusal {
  const char* name;
  std::uint16_t startStatus;
  std::uint32_t first;  // A7 option run before, or 0
  int subPage;
  std::uint32_t option;
  std::uint32_t code;
};

class Refusals : public testing::TestWithParam<Refusal> {};

TEST_P(Refusals, AreReportedAndHarmless) {
  SimEnv env;
  const Refusal& r = GetParam();
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, r.startStatus));
  if (r.first != 0) {
    ASSERT_EQ(Power(0, r.first), 0);
  }
  const Seen before = Look(0);
  const int rc = r.subPage == pg::kA7Power ? Power(0, r.option) : Command(r.subPage, 0);
  EXPECT_EQ(static_cast<std::uint32_t>(rc), r.code);
  EXPECT_NE(r.code & 0x01000000u, 0u);
  EXPECT_EQ(Look(0).status, before.status);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, Refusals,
    testing::Values(Refusal{"BootWhileBooting", 3, pg::a7::kBoot, pg::kA7Power, pg::a7::kBoot, sim::kErrBoardBusy},
                    Refusal{"ShutdownWhileBooting", 3, pg::a7::kBoot, pg::kA7Power, pg::a7::kShutdown, sim::kErrBoardBusy},
                    Refusal{"BootOfRunningBoard", 2, 0, pg::kA7Power, pg::a7::kBoot, sim::kErrBadState},
                    Refusal{"BootWithoutOs", 0, 0, pg::kA7Power, pg::a7::kBoot, sim::kErrBadState},
                    Refusal{"ShutdownOfStoppedBoard", 3, 0, pg::kA7Power, pg::a7::kShutdown, sim::kErrBadState},
                    Refusal{"RestoreWithoutBlockade", 2, 0, pg::kA7Power, pg::a7::kRestore, sim::kErrBadState},
                    Refusal{"UnknownPowerOption", 2, 0, pg::kA7Power, 0x12345678, ZQ_ERR_BAD_ARGUMENT},
                    Refusal{"InstallOnRunningBoard", 2, 0, pg::kA1Install, 0, sim::kErrBadState},
                    Refusal{"DumpOfStoppedBoard", 3, 0, pg::kA5HibDump, 0, sim::kErrBadState},
                    Refusal{"DownloadWithoutDump", 2, 0, pg::kABDownload, 0, sim::kErrNoDump}),
    [](const testing::TestParamInfo<Refusal>& c) { return c.param.name; });

TEST(Lifecycle, CommandsForMissingBoardsAreRefused) {
  SimEnv env(TestSpec(sim::Model::ZQS, 2));
  EXPECT_EQ(static_cast<std::uint32_t>(Power(1, pg::a7::kBoot)), sim::kErrNoBoard) << "ZQS has no CTL0-1";
  EXPECT_EQ(static_cast<std::uint32_t>(Command(pg::kA7Power, 0, [](auto& image) { image[pg::cmd::kCluster + 1] = 2; })),
            sim::kErrNoBoard);
  EXPECT_EQ(static_cast<std::uint32_t>(Command(pg::kA9DumpPrepare, 0, [](auto& image) { image[pg::cmd::kPcb] = 1; })),
            sim::kErrNoBoard)
      << "Pcb 0x0100";
}

TEST(Lifecycle, InstallStepsThroughEveryProgressWordAndRestsStopped) {
  SimEnv env(TestSpec(sim::Model::ZQH, 4, /*fresh=*/true));
  ASSERT_EQ(Command(pg::kA1Install, 3), 0);
  const std::uint32_t words[] = {0x0000, 0x0001, 0x0002, 0x0003, 0x0004, 0x0105, 0x0205, 0x0305, 0x0405,
                                 0x0505, 0x0605, 0x0705, 0x0805, 0x0905, 0x0A05, 0x0006, 0x0007};
  for (const std::uint32_t word : words) {
    const Seen seen = Look(3);
    EXPECT_EQ(seen.install, word);
    EXPECT_EQ(seen.status, pg::kStatusInstalling);
    Advance(1000);
  }
  const Seen done = Look(3);
  EXPECT_EQ(done.install, 0x00FFu);
  EXPECT_EQ(done.status, pg::kStatusStopped) << "stopped with the NAS OS installed, waiting for A2 and boot";
  EXPECT_EQ(done.netBoot, 0u);
}

TEST(Lifecycle, InstallStatusIsLittleEndian) {
  SimEnv env(TestSpec(sim::Model::ZQH, 4, true));
  ASSERT_EQ(Command(pg::kA1Install, 1), 0);
  Advance(5000);
  const auto a6 = Nas(pg::kA6Progress);
  const std::size_t at = pg::a6::Entry(1) + pg::a6::kInstallStatus;
  EXPECT_EQ(std::vector<std::uint8_t>(a6.begin() + static_cast<long>(at), a6.begin() + static_cast<long>(at) + 4),
            (std::vector<std::uint8_t>{0x05, 0x01, 0x00, 0x00}));
}

TEST(Lifecycle, OldNasOsComesUpByItselfAfterInstall) {
  sim::UnitSpec scenario = TestSpec(sim::Model::ZQH, 4, true);
  scenario.autoBootAfterInstall = true;
  SimEnv env(scenario);
  ASSERT_EQ(Command(pg::kA1Install, 0), 0);
  Advance(17000);
  EXPECT_EQ(Look(0).status, pg::kStatusOsUp);
}

TEST(Lifecycle, InstallThenA2AndBootBringsTheBoardUpWithItsVersion) {
  SimEnv env(TestSpec(sim::Model::ZQH, 4, true));
  ASSERT_EQ(Command(pg::kA1Install, 0), 0);
  Advance(17000);
  ASSERT_EQ(Command(pg::kA2InstallInfo, 0, [](auto& image) {
              ASSERT_EQ(image[pg::a2::kVersionFlag], 1);
              std::memcpy(image.data() + pg::a2::kNasOSVersion, "06-01-00-00", 11);
            }),
            0);
  ASSERT_EQ(Power(0, pg::a7::kBoot), 0);
  Advance(2000);
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates(kUnit, &states));
  EXPECT_EQ(states[0].status, pg::kStatusOsUp);
  EXPECT_EQ(states[0].nasOsVersion, "06-01-00-00");
}

struct InstallFault {
  const char* name;
  sim::BoardFault fault;
  std::uint32_t value;
  std::uint32_t finalWord;
  std::uint32_t netBoot;
};

class InstallFaults : public testing::TestWithParam<InstallFault> {};

TEST_P(InstallFaults, EndAsInjectedAndTheBoardFallsBack) {
  SimEnv env;
  const InstallFault& f = GetParam();
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 2, f.fault, f.value));
  ASSERT_EQ(Command(pg::kA1Install, 2), 0);
  Advance(17000);
  const Seen seen = Look(2);
  EXPECT_EQ(seen.install, f.finalWord);
  EXPECT_EQ(seen.netBoot, f.netBoot);
  EXPECT_EQ(seen.status, pg::kStatusStopped);
  ASSERT_EQ(Command(pg::kA1Install, 2), 0) << "the fault was for one install";
  Advance(17000);
  EXPECT_EQ(Look(2).install, 0x00FFu);
  EXPECT_EQ(Look(2).netBoot, 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Faults, InstallFaults,
    testing::Values(InstallFault{"InstallerFailure", sim::BoardFault::InstallFailure, 0x00FE, 0x00FE, 0},
                    InstallFault{"InstallerFailureWithCause", sim::BoardFault::InstallFailure, 0x001205FE, 0x001205FE, 0},
                    InstallFault{"NetBootFailure", sim::BoardFault::NetBootResult, 0x00000123, 0x0000, 0x00000123}),
    [](const testing::TestParamInfo<InstallFault>& c) { return c.param.name; });

TEST(Lifecycle, InheritRetryCountsOnlyIncrementedRetries) {
  sim::UnitSpec scenario = TestSpec();
  scenario.installRefusals = 2;
  SimEnv env(scenario);
  auto install = [](std::uint32_t retry) {
    return static_cast<std::uint32_t>(
        Command(pg::kA1Install, 0, [retry](auto& image) { SetBE32(image, pg::a1::kRetryInfo, retry); }));
  };
  EXPECT_EQ(install(7), static_cast<std::uint32_t>(ZQ_ERR_INHERIT_RETRY));
  EXPECT_EQ(install(7), static_cast<std::uint32_t>(ZQ_ERR_INHERIT_RETRY)) << "same value: not counted";
  EXPECT_EQ(install(8), static_cast<std::uint32_t>(ZQ_ERR_INHERIT_RETRY));
  EXPECT_EQ(Look(0).status, pg::kStatusStopped);
  EXPECT_EQ(install(9), 0u);
  EXPECT_EQ(Look(0).status, pg::kStatusInstalling);
  Advance(17000);
  EXPECT_EQ(install(0), static_cast<std::uint32_t>(ZQ_ERR_INHERIT_RETRY)) << "the next install starts over";
}

TEST(Lifecycle, HibernationDumpThenDownloadWritesTheDumpFile) {
  SimEnv env;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 1, pg::kStatusOsUp));
  EXPECT_EQ(Look(1).dump, pg::kDumpAbsent);
  ASSERT_EQ(Command(pg::kA5HibDump, 1), 0);
  Seen seen = Look(1);
  EXPECT_EQ(seen.status, pg::kStatusDump);
  EXPECT_EQ(seen.hibStat, 0xFF);
  Advance(2999);
  EXPECT_EQ(Look(1).hibStat, 0xFF);
  Advance(1);
  seen = Look(1);
  EXPECT_EQ(seen.status, pg::kStatusDown);
  EXPECT_EQ(seen.hibStat, 0);
  EXPECT_EQ(seen.dump, pg::kDumpPresent);
  ASSERT_EQ(Command(pg::kA9DumpPrepare, 1), 0);
  const auto aa = Nas(pg::kAADumpInfo);
  const std::string date(aa.begin() + static_cast<long>(pg::aa::Entry(1) + pg::aa::kDate),
                         aa.begin() + static_cast<long>(pg::aa::Entry(1) + pg::aa::kDate + pg::aa::kDateSize));
  EXPECT_EQ(date.find_first_not_of("0123456789"), std::string::npos) << date;
  EXPECT_GT(BE32(aa, pg::aa::Entry(1) + pg::aa::kDumpSize), 0u);

  ASSERT_EQ(Command(pg::kABDownload, 1), 0);
  EXPECT_EQ(Look(1).download, pg::kDownloadRunning);
  EXPECT_EQ(static_cast<std::uint32_t>(Command(pg::kABDownload, 1)), sim::kErrBoardBusy);
  Advance(2000);
  EXPECT_EQ(Look(1).download, pg::kDownloadRunningAlt);
  Advance(2000);
  seen = Look(1);
  EXPECT_EQ(seen.download, pg::kDownloadDone);
  ASSERT_FALSE(seen.file.empty());
  EXPECT_LE(seen.file.size(), pg::ac::kFileNameSize);
  EXPECT_NE(seen.file.find(date), std::string::npos);
  const std::filesystem::path file = env.env().systemRoot() / "NASDUMP" / ".receive" / seen.file;
  ASSERT_TRUE(std::filesystem::exists(file));
  EXPECT_EQ(std::filesystem::file_size(file), 64u * 1024u);
}

TEST(Lifecycle, InjectedDownloadResultEndsTheTransferWithoutAFile) {
  SimEnv env;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, pg::kStatusOsUp));
  ASSERT_EQ(Command(pg::kA5HibDump, 0), 0);
  Advance(3000);
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::DownloadResult, 0xFFFE1100));
  ASSERT_EQ(Command(pg::kABDownload, 0), 0);
  Advance(4000);
  Seen seen = Look(0);
  EXPECT_EQ(seen.download, 0xFFFE1100u);
  EXPECT_TRUE(seen.file.empty());
  EXPECT_FALSE(std::filesystem::exists(env.env().systemRoot() / "NASDUMP" / ".receive"));
  // The fault held for one download only.
  ASSERT_EQ(Command(pg::kABDownload, 0), 0);
  Advance(4000);
  seen = Look(0);
  EXPECT_EQ(seen.download, pg::kDownloadDone);
  EXPECT_FALSE(seen.file.empty());
}

TEST(Lifecycle, SkippedDumpLeavesNoDump) {
  SimEnv env;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, pg::kStatusOsUp));
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::DumpSkipped, 1));
  ASSERT_EQ(Command(pg::kA5HibDump, 0), 0);
  Advance(3000);
  const Seen seen = Look(0);
  EXPECT_EQ(seen.status, pg::kStatusDumpSkipped);
  EXPECT_EQ(seen.hibStat, 0);
  EXPECT_EQ(seen.dump, pg::kDumpAbsent);
}

TEST(Lifecycle, ResetCancelsARunningDump) {
  SimEnv env;
  ASSERT_TRUE(sim::SetBoardStatus(kUnit, 0, pg::kStatusOsUp));
  ASSERT_EQ(Command(pg::kA5HibDump, 0), 0);
  Advance(1000);
  ASSERT_EQ(Power(0, pg::a7::kBlockade), 0);
  ASSERT_EQ(Power(0, pg::a7::kRestore), 0);
  Advance(5000);
  const Seen seen = Look(0);
  EXPECT_EQ(seen.status, pg::kStatusStopped);
  EXPECT_EQ(seen.hibStat, 0);
  EXPECT_EQ(seen.dump, pg::kDumpAbsent);
}

TEST(Lifecycle, StallFreezesTheActivityUntilResumed) {
  SimEnv env;
  ASSERT_EQ(Power(0, pg::a7::kBoot), 0);
  Advance(500);
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::Stall, 1));
  Advance(100000);
  EXPECT_EQ(Look(0).status, pg::kStatusBooting);
  EXPECT_EQ(Look(0).a8, pg::kProgressBootRunning);
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 0, sim::BoardFault::Stall, 0));
  Advance(1499);
  EXPECT_EQ(Look(0).status, pg::kStatusBooting);
  Advance(1);
  EXPECT_EQ(Look(0).status, pg::kStatusOsUp);
}

TEST(Lifecycle, ForcedStatusAndMpStatusHoldUntilCleared) {
  SimEnv env;
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 3, sim::BoardFault::ForceStatus, pg::kStatusPanic));
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 3, sim::BoardFault::MpStatus, pg::kMpBlockade));
  ASSERT_EQ(Power(3, pg::a7::kBoot), 0);
  Advance(2000);
  auto a3 = Nas(pg::kA3Config);
  EXPECT_EQ(BE32(a3, pg::a3::Entry(3) + pg::a3::kStatus), pg::kStatusPanic);
  EXPECT_EQ(a3[pg::a3::Entry(3) + pg::a3::kMpStatus + 1], 0x01);
  ASSERT_TRUE(sim::InjectBoardFault(kUnit, 3, sim::BoardFault::ForceStatus, 0xFFFFFFFF));
  EXPECT_EQ(Look(3).status, pg::kStatusOsUp) << "the board went on underneath";
  ASSERT_TRUE(sim::ClearFaults(kUnit));
  a3 = Nas(pg::kA3Config);
  EXPECT_EQ(a3[pg::a3::Entry(3) + pg::a3::kMpStatus + 1], 0x00);
}

TEST(Lifecycle, TimeOutsSelectedIntoA4ReadBackInA3) {
  SimEnv env;
  ASSERT_EQ(Command(pg::kA4TimeOut, 2,
                    [](auto& image) {
                      for (std::size_t t = 0; t < 6; ++t) SetBE32(image, pg::a4::kTimeOut0 + 4 * t, t == 3 ? 0xFFFFFFFF : 100 + t);
                    }),
            0);
  const auto a3 = Nas(pg::kA3Config);
  for (std::size_t t = 0; t < 6; ++t)
    EXPECT_EQ(BE32(a3, pg::a3::Entry(2) + pg::a3::kTimeOuts + 4 * t), t == 3 ? 0xFFFFFFFFu : 100 + t);
}

TEST(Lifecycle, ScaledRealTimeDrivesTheBoards) {
  SimEnv env;
  sim::SetTimeScale(0.001);  // 1 logical second per real millisecond
  ASSERT_TRUE(sim::AdvanceTime(kUnit, 0));
  sim::UnitSpec scenario = TestSpec();
  scenario.durations.bootMs = 300000;  // 300 ms of real time
  ASSERT_TRUE(sim::CreateUnit(scenario, true));
  ASSERT_EQ(Power(0, pg::a7::kBoot), 0);
  EXPECT_EQ(Look(0).status, pg::kStatusBooting);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (Look(0).status != pg::kStatusOsUp && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(Look(0).status, pg::kStatusOsUp);
}

}  // namespace
