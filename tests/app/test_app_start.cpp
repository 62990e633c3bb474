// The setup tool's start-up rules that need no array: command line, settings, system check, the
// kelpftpd handshake's failure paths and the session's hold on the server it started.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>

#include <fstream>

#include "TestEnv.h"
#include "app/LaunchArguments.h"
#include "app/SystemCheck.h"
#include "common/MessageIds.h"
#include "plat/Clock.h"
#include "session/ArraySession.h"
#include "session/FtpdLauncher.h"
#include "session/MainSettings.h"

namespace {

using ::testing::HasSubstr;

struct LaunchCase {
  const char* pszName;
  std::vector<std::string> words;
  std::uint32_t messageId;
  const char* pszUnit;
};

class LaunchArgumentsTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(LaunchArgumentsTest, AcceptsOnlyTheTwoForms) {
  kelptest::TempDir dir;
  kelptest::WriteFile(dir / "given.ini", "");
  std::vector<std::string> words = GetParam().words;
  for (std::string& word : words)
    if (word == "GIVEN") word = (dir / "given.ini").string();
  app::LaunchArguments arguments;
  const app::LaunchRefusal refusal = app::ParseLaunchArguments(words, &arguments);
  EXPECT_EQ(refusal.messageId, GetParam().messageId);
  if (refusal.messageId == msg::kBadStartupParameter) {
    EXPECT_THAT(refusal.argument, HasSubstr(words[0]));
  }
  if (refusal.messageId == 0) {
    EXPECT_EQ(arguments.unitName, GetParam().pszUnit);
    EXPECT_TRUE(words.size() == 2 ? arguments.settingsFile == app::kDefaultSettingsFile
                                  : arguments.settingsFile.is_absolute());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LaunchArgumentsTest,
    ::testing::Values(
        LaunchCase{"UnitOnly", {"-h", "U1"}, 0, "U1"},
        LaunchCase{"UnitThenSettings", {"-h", "U1", "-s", "GIVEN"}, 0, "U1"},
        LaunchCase{"SettingsThenUnit", {"-s", "GIVEN", "-h", "U2"}, 0, "U2"},
        LaunchCase{"NoWords", {}, msg::kNotStartedByArrayProgram, ""},
        LaunchCase{"ThreeWords", {"-h", "U1", "-s"}, msg::kNotStartedByArrayProgram, ""},
        LaunchCase{"UpperCaseOption", {"-H", "U1"}, msg::kBadStartupParameter, ""},
        LaunchCase{"ThirdOption", {"-h", "U1", "-x", "GIVEN"}, msg::kBadStartupParameter, ""},
        LaunchCase{"MissingSettingsFile", {"-h", "U1", "-s", "/nonexistent/k.ini"}, msg::kBadStartupParameter, ""},
        LaunchCase{"UnitOf64Bytes", {"-h", std::string(64, 'u')}, 0, "uuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuuu"},
        LaunchCase{"UnitOver64Bytes", {"-h", std::string(65, 'u')}, msg::kBadStartupParameter, ""}),
    [](const auto& testCase) { return std::string(testCase.param.pszName); });

struct SettingsCase {
  const char* pszName;
  const char* pszIni;
  std::function<void(const session::MainSettings&)> check;
};

class MainSettingsTest : public ::testing::TestWithParam<SettingsCase> {};

TEST_P(MainSettingsTest, ReadsWithDefaultsAndBounds) {
  kelptest::TempDir dir;
  kelptest::WriteFile(dir / "k.ini", GetParam().pszIni);
  GetParam().check(session::ReadMainSettings(dir / "k.ini"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MainSettingsTest,
    ::testing::Values(
        SettingsCase{"Defaults", "",
                     [](const session::MainSettings& s) {
                       EXPECT_EQ(s.agentPort, 20265);
                       EXPECT_EQ(s.ftpPort, 20266);
                       EXPECT_EQ(s.refreshSeconds, 20);
                       EXPECT_EQ(s.target, -1);
                       EXPECT_FALSE(s.targetOutOfRange);
                       EXPECT_FALSE(s.detailedVersions);
                       EXPECT_EQ(s.dhcpStartAddress, 240);
                       EXPECT_THAT(s.ftpdPath, ::testing::EndsWith("/kelpftpd"));
                     }},
        SettingsCase{"StoredFtpPortZeroMeansDefault", "[FtpService]\nPort=0\n",
                     [](const session::MainSettings& s) { EXPECT_EQ(s.ftpPort, 20266); }},
        SettingsCase{"NegativeRefreshMeansTwenty", "[MainService]\nRefreshTime=-5\n",
                     [](const session::MainSettings& s) { EXPECT_EQ(s.refreshSeconds, 20); }},
        SettingsCase{"RefreshAboveAnHourIsAnHour", "[MainService]\nRefreshTime=5000\n",
                     [](const session::MainSettings& s) { EXPECT_EQ(s.refreshSeconds, 3600); }},
        SettingsCase{"RefreshZeroChecksContinuously", "[MainService]\nRefreshTime=0\n",
                     [](const session::MainSettings& s) { EXPECT_EQ(s.refreshSeconds, 0); }},
        SettingsCase{"TargetSlotKept", "[MainService]\nTarget=9\n",
                     [](const session::MainSettings& s) { EXPECT_EQ(s.target, 9); }},
        SettingsCase{"TargetOutsideSlotsIsMinusOne", "[MainService]\nTarget=16\n",
                     [](const session::MainSettings& s) {
                       EXPECT_EQ(s.target, -1);
                       EXPECT_TRUE(s.targetOutOfRange);
                     }},
        SettingsCase{"DetailExactly", "[MainService]\nProgramVersion=Detail\n",
                     [](const session::MainSettings& s) { EXPECT_TRUE(s.detailedVersions); }},
        SettingsCase{"DetailIsCaseSensitive", "[MainService]\nProgramVersion=detail\n",
                     [](const session::MainSettings& s) { EXPECT_FALSE(s.detailedVersions); }},
        SettingsCase{"DetailWithMoreIsNot", "[MainService]\nProgramVersion=Details\n",
                     [](const session::MainSettings& s) { EXPECT_FALSE(s.detailedVersions); }},
        SettingsCase{"FtpdPathOver259IsFlagged",
                     "[MainService]\nkelpftpd_path=/aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa"
                     "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\n",
                     [](const session::MainSettings& s) { EXPECT_TRUE(s.ftpdPathTooLong); }}),
    [](const auto& testCase) { return std::string(testCase.param.pszName); });

TEST(SystemCheck, KernelReleasesAgainstTheMinimum) {
  for (const char* pszRelease : {"3.10.0", "4.19.0-26-amd64", "6.1.0-18-amd64", "10.0"})
    EXPECT_TRUE(app::IsSupportedRelease(pszRelease)) << pszRelease;
  for (const char* pszRelease : {"3.9.12", "2.6.32", "", "linux"})
    EXPECT_FALSE(app::IsSupportedRelease(pszRelease)) << pszRelease;
  EXPECT_TRUE(app::CheckSystem().supported) << "this machine runs the tests";
}

struct FtpdCase {
  const char* pszName;
  const char* pszProgram;
  const char* pszStep;
};

class FtpdHandshakeFailure : public ::testing::TestWithParam<FtpdCase> {};

// A child that cannot start or that ends without answering fails at once, not after the limit.
TEST_P(FtpdHandshakeFailure, EndsAtTheFailingStep) {
  kelptest::IsolatedEnv env;
  plat::Process child;
  const plat::TimePoint start = plat::Clock::Now();
  const session::FtpdStart result =
      session::StartFtpd(GetParam().pszProgram, env.systemRoot() / "k.ini", {127, 0, 0, 1}, &child);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.failedStep, GetParam().pszStep);
  EXPECT_LT(plat::Clock::Now() - start, plat::Millis(30'000));
  if (child.Pid() != 0 && child.IsRunning()) child.Terminate(-1);
}

INSTANTIATE_TEST_SUITE_P(Cases, FtpdHandshakeFailure,
                         ::testing::Values(FtpdCase{"Missing", "/nonexistent/kelpftpd", "CreateProcess"},
                                           FtpdCase{"EndsWithoutConnecting", "/bin/false", "ConnectNamedPipe"}),
                         [](const auto& testCase) { return std::string(testCase.param.pszName); });

// A server that never connects is still running when the handshake gives up: the session keeps
// it and ends it when it closes, so no kelpftpd outlives the run that started it.
TEST(SessionFileServer, EndsTheServerThatNeverAnswered) {
  kelptest::IsolatedEnv env;
  struct FastClock {
    FastClock() { plat::Clock::SetTimeScale(0.01); }
    ~FastClock() { plat::Clock::SetTimeScale(1.0); }
  } fast;
  const std::filesystem::path pidFile = env.systemRoot() / "ftpd.pid";
  const std::filesystem::path program = env.systemRoot() / "hung-ftpd";
  kelptest::WriteFile(program, "#!/bin/sh\necho $$ > '" + pidFile.string() + "'\nexec sleep 30\n");
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  session::MainSettings settings;
  settings.ftpdPath = program.string();

  pid_t pid = 0;
  {
    session::ArraySession session(env.systemRoot() / "k.ini", settings);
    const session::FtpdStart started = session.StartFileServer();
    EXPECT_FALSE(started.ok);
    EXPECT_EQ(started.failedStep, "ConnectNamedPipe");
    std::ifstream(pidFile) >> pid;
    ASSERT_GT(pid, 0);
    EXPECT_EQ(kill(pid, 0), 0) << "the server ended with the handshake";
  }
  EXPECT_EQ(kill(pid, 0), -1) << "the server outlived its session";
}

}  // namespace
