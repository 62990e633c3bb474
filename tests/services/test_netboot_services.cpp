// The main window's network-boot services: c:\dhcp.ini byte for byte, the start with its
// restart and retries, the stop, the MAC refresh, on the sim and exec backends and against a
// simulated unit's boards.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "VelapiTestUnit.h"
#include "board/CusrCHN.h"
#include "common/CusrTrace.h"
#include "common/MemoryTraceSink.h"
#include "common/MessageDisplay.h"
#include "common/RecordingDisplay.h"
#include "plat/Clock.h"
#include "plat/Paths.h"
#include "plat/Profile.h"
#include "services/NetbootServices.h"

namespace {

using ::testing::Contains;
using ::testing::HasSubstr;
using services::MacAddress;
using services::NetbootServices;

const services::Ipv4 kSvpIp{192, 0, 2, 1};
const services::Ipv4 kSvpMask{255, 255, 255, 0};

std::vector<MacAddress> Macs(std::size_t n) {
  std::vector<MacAddress> macs;
  for (std::size_t i = 0; i < n; ++i) macs.push_back({0x02, 0x4B, 0xAB, 0xCD, 0x00, static_cast<std::uint8_t>(i)});
  return macs;
}

// The content written into an empty c:\dhcp.ini for boards 0..n-1 of Macs() from host first.
std::string EmptyFileWritten(int first, std::size_t n, const char* pszBoot = "pxelinux.0") {
  std::string text = std::string("[Parameters]\nBootstrap File=") + pszBoot +
                     "\nUse Bootstrap File=1\nBootstrap Server=192.0.2.1\nService Identifier=192.0.2.1\n"
                     "Start Address=192.0.2." + std::to_string(first) +
                     "\nEnd Address=192.0.2." + std::to_string(first + static_cast<int>(n) - 1) +
                     "\nDNS=192.0.2.1\nGateway=192.0.2.1\n\n[mac id address]\n";
  char line[64];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(line, sizeof line, "02-4B-AB-CD-00-%02X = 192.0.2.%d\n", static_cast<unsigned>(i),
                  first + static_cast<int>(i));
    text += line;
  }
  return text;
}

class NetbootServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    veltest::SharedSystemRoot();
    plat::Clock::SetTimeScale(0.001);
    SetMessageDisplay(&m_display);
    SetTrace(&m_sink, TRC_MASK_DEBUG);
    std::filesystem::remove(DhcpIni());
    std::filesystem::remove(plat::ServiceStateDir() / "sim.ini");
    kelptest::WriteFile(m_settings, "[Services]\nBackend=sim\n");
  }
  void TearDown() override {
    SetTrace(nullptr, 0);
    SetMessageDisplay(nullptr);
    plat::Clock::SetTimeScale(0);
    std::filesystem::remove(DhcpIni());
  }

  static std::filesystem::path DhcpIni() { return plat::MapPath(services::kDhcpSettingFile); }

  board::ArrayTables array;

  std::unique_ptr<NetbootServices> Make(int nStart = 240) {
    return std::make_unique<NetbootServices>(array, m_settings, nStart, [this] { ++m_nFailedReports; });
  }

  // exec settings for the DHCP service: it runs while dhcp.run exists; every command logs its
  // name into commands.log. startTail/stopTail end the start and stop commands.
  void UseExec(const std::string& startTail = "touch dhcp.run", const std::string& stopTail = "rm -f dhcp.run") {
    const std::string d = m_dir.path().string();
    kelptest::WriteFile(m_settings,
                        "[Services]\nBackend=exec\nCommandTimeout=3600\n"
                        "DHCP Server.Start=cd " + d + " && echo start >> commands.log && " + startTail + "\n"
                        "DHCP Server.Stop=cd " + d + " && echo stop >> commands.log && " + stopTail + "\n"
                        "DHCP Server.Status=test -f " + d + "/dhcp.run\n"
                        "TFTP Server.Start=true\nTFTP Server.Stop=true\nTFTP Server.Status=false\n");
  }

  bool Traced(const std::string& text) const {
    for (const std::string& line : m_sink.TaggedTexts())
      if (line.find(text) != std::string::npos) return true;
    return false;
  }
  int CountTraced(const std::string& text) const {
    int n = 0;
    for (const std::string& line : m_sink.TaggedTexts()) n += line.find(text) != std::string::npos;
    return n;
  }
  // The 3554 box for a service, with the functions list.
  void ExpectServiceBox(const std::string& service) const {
    const auto boxes = m_display.Boxes();
    ASSERT_FALSE(boxes.empty());
    EXPECT_THAT(boxes.back().strText, HasSubstr("[DMEN03554"));
    EXPECT_THAT(boxes.back().strText, HasSubstr("The service (" + service + ") could not be started."));
    EXPECT_THAT(boxes.back().strText, HasSubstr("\n  - Program Install\n  - Configuration\n"));
  }

  kelptest::TempDir m_dir;
  std::filesystem::path m_settings = m_dir / "kelpconf.ini";
  RecordingDisplay m_display;
  common::MemoryTraceSink m_sink;
  int m_nFailedReports = 0;
};

// ---------------------------------------------------------------- c:\dhcp.ini

struct RangeCase {
  const char* pszName;
  int nConfigured;
  std::size_t nBoards;
  int nFirst;
};

class DhcpRange : public NetbootServicesTest, public ::testing::WithParamInterface<RangeCase> {};

TEST_P(DhcpRange, FileHoldsTheKeysInOrderAndOneLinePerBoard) {
  const RangeCase& c = GetParam();
  kelptest::WriteFile(DhcpIni(), "");
  ASSERT_TRUE(Make(c.nConfigured)->WriteSettingFile(kSvpIp, kSvpMask, Macs(c.nBoards)));
  EXPECT_EQ(kelptest::ReadFile(DhcpIni()), EmptyFileWritten(c.nFirst, c.nBoards));
  EXPECT_TRUE(Traced("Get Address  = " + std::to_string(c.nConfigured)));
  EXPECT_TRUE(Traced("nStartAddr   = " + std::to_string(c.nFirst)));
  EXPECT_TRUE(Traced("iMacAddrNum  = " + std::to_string(c.nBoards)));
  EXPECT_TRUE(Traced("lpSvpIp      = 192.0.2.1"));
}

INSTANTIATE_TEST_SUITE_P(Cases, DhcpRange,
                         ::testing::Values(RangeCase{"LastHostWouldBe255", 250, 6, 240},
                                           RangeCase{"LastHostIs254", 249, 6, 249},
                                           RangeCase{"Zero", 0, 2, 240},
                                           RangeCase{"Negative", -7, 2, 240},
                                           RangeCase{"Inside", 100, 3, 100},
                                           RangeCase{"TopOfIntDoesNotWrap", 2147483647, 2, 240},
                                           RangeCase{"SixteenBoards", 240, 16, 240}),
                         veltest::CaseName<RangeCase>);

TEST_F(NetbootServicesTest, ExistingFileKeepsItsOtherLinesAndLosesItsOldBoardLines) {
  kelptest::WriteFile(DhcpIni(),
                      "; the DHCP service's own settings\n[Parameters]\nLease Time=3600\nStart Address = 10.0.0.1\n"
                      "[mac id address]\n00-11-22-33-44-55 = 10.0.0.1\n; old boards\n[Logging]\nLevel=2\n");
  ASSERT_TRUE(Make(250)->WriteSettingFile(kSvpIp, kSvpMask, Macs(2)));
  EXPECT_EQ(kelptest::ReadFile(DhcpIni()),
            "; the DHCP service's own settings\n[Parameters]\nLease Time=3600\nStart Address = 192.0.2.250\n"
            "Bootstrap File=pxelinux.0\nUse Bootstrap File=1\nBootstrap Server=192.0.2.1\n"
            "Service Identifier=192.0.2.1\nEnd Address=192.0.2.251\nDNS=192.0.2.1\nGateway=192.0.2.1\n"
            "[mac id address]\n02-4B-AB-CD-00-00 = 192.0.2.250\n02-4B-AB-CD-00-01 = 192.0.2.251\n; old boards\n"
            "[Logging]\nLevel=2\n");
}

TEST_F(NetbootServicesTest, FileThatCannotBeWrittenStaysAsItWasWithMessage3506) {
  const std::string before = "[Parameters]\nStart Address=10.0.0.1\n";
  kelptest::WriteFile(DhcpIni(), before);
  // The writers' lock file cannot be opened where a folder stands.
  std::filesystem::remove(DhcpIni().string() + ".lock");
  std::filesystem::create_directory(DhcpIni().string() + ".lock");
  auto services = Make();
  EXPECT_FALSE(services->RunService(1));
  std::filesystem::remove(DhcpIni().string() + ".lock");

  EXPECT_EQ(kelptest::ReadFile(DhcpIni()), before);
  EXPECT_TRUE(Traced("Bootstrap File : 0x00000015"));
  ASSERT_EQ(m_display.Boxes().size(), 1u);
  EXPECT_THAT(m_display.Boxes()[0].strText, HasSubstr("[DMEN03506"));
  EXPECT_EQ(m_nFailedReports, 1);
  EXPECT_EQ(services->DhcpService(), nullptr);
}

struct BootCase {
  const char* pszName;
  std::vector<std::uint16_t> types;
  const char* pszFile;
};

class Bootstrap : public ::testing::TestWithParam<BootCase> {};

TEST_P(Bootstrap, LowestSlotOfType1Or2Decides) {
  EXPECT_STREQ(services::BootstrapFileFor(GetParam().types), GetParam().pszFile);
}

INSTANTIATE_TEST_SUITE_P(Cases, Bootstrap,
                         ::testing::Values(BootCase{"NoBoard", {0, 0, 0}, "pxelinux.0"},
                                           BootCase{"Type1First", {0, 1, 2}, "bpbatch"},
                                           BootCase{"Type2First", {0, 3, 2, 1}, "pxelinux.0"},
                                           BootCase{"OtherKindsIgnored", {3, 4, 1}, "bpbatch"},
                                           BootCase{"Type2Only", {2, 2}, "pxelinux.0"}),
                         veltest::CaseName<BootCase>);

// ---------------------------------------------------------------- RunService

TEST_F(NetbootServicesTest, NoDhcpFileWritesNothingAndStillStartsTheSimulatedServices) {
  auto services = Make();
  EXPECT_TRUE(services->IsSimulated());
  EXPECT_EQ(services->BackendName(), "sim");
  ASSERT_TRUE(services->RunService(1));
  EXPECT_FALSE(std::filesystem::exists(DhcpIni()));
  EXPECT_NE(services->DhcpService(), nullptr);
  EXPECT_NE(services->TftpService(), nullptr);
  EXPECT_TRUE(Traced("DHCP Server and TFTP Server are simulated (services backend sim): no DHCP or TFTP server runs"));
  EXPECT_TRUE(m_display.Boxes().empty());
  EXPECT_EQ(m_nFailedReports, 0);

  // A second run restarts both, and the close stops them.
  ASSERT_TRUE(services->RunService(1));
  EXPECT_EQ(CountTraced("DHCP Server is already running"), 1);
  EXPECT_EQ(CountTraced("TFTP Server is already running"), 1);
  EXPECT_TRUE(services->StopService(services->DhcpService()));
  EXPECT_TRUE(services->StopService(services->TftpService()));
  plat::ServiceState state = plat::ServiceState::Running;
  std::uint32_t ulError = 0;
  ASSERT_TRUE(services->DhcpService()->Query(&state, &ulError));
  EXPECT_EQ(state, plat::ServiceState::Stopped);
}

TEST_F(NetbootServicesTest, RunServiceWithoutTftpIsTrueOnlyWhileATftpHandleIsHeld) {
  auto services = Make();
  EXPECT_FALSE(services->RunService(0));
  EXPECT_EQ(m_nFailedReports, 1);
  EXPECT_NE(services->DhcpService(), nullptr);
  ASSERT_TRUE(services->RunService(1));
  EXPECT_TRUE(services->RunService(0));
  EXPECT_EQ(m_nFailedReports, 1);
}

// Boards of the simulated unit: a read MAC address, an unread one (zeros), a slot without board
// (status -1) left out; the start address of the settings.
TEST_F(NetbootServicesTest, RunServiceWritesTheBoardsOfTheArray) {
  veltest::ResetUnit(veltest::DefaultSpec());
  std::uint32_t ulError = 0;
  ASSERT_TRUE(array.Initialize(20266, &ulError)) << ulError;
  array.SetSvpAddress(kSvpIp.data(), kSvpMask.data());
  std::vector<std::unique_ptr<CusrCHN>> boards;
  for (std::uint32_t slot : {0u, 1u, 8u}) boards.push_back(std::make_unique<CusrCHN>(array, slot));
  boards[0]->SetStatus(2);
  boards[1]->SetStatus(3);
  boards[2]->SetStatus(-1);
  ASSERT_TRUE(boards[0]->GetMacAddress(&ulError)) << ulError;
  const MacAddress mac = boards[0]->MacAddress();
  kelptest::WriteFile(DhcpIni(), "");

  auto services = Make(245);
  ASSERT_TRUE(services->RunService(1));
  const std::string written = kelptest::ReadFile(DhcpIni());
  char line[64];
  std::snprintf(line, sizeof line, "%02X-%02X-%02X-%02X-%02X-%02X = 192.0.2.245\n", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  EXPECT_THAT(written, HasSubstr(std::string("[mac id address]\n") + line + "00-00-00-00-00-00 = 192.0.2.246\n"));
  EXPECT_THAT(written, HasSubstr("End Address=192.0.2.246\n"));
  const std::uint16_t types[] = {array.NNCType(0), array.NNCType(1)};
  EXPECT_THAT(written, HasSubstr(std::string("Bootstrap File=") + services::BootstrapFileFor(types) + "\n"));

  // A refresh reads the fitted boards' addresses again: slot 1 now has its own.
  ASSERT_EQ(services->RefreshMacAddress(), 0u);
  EXPECT_THAT(kelptest::ReadFile(DhcpIni()), ::testing::Not(HasSubstr("00-00-00-00-00-00")));
}

// ---------------------------------------------------------------- StartService and the stop

TEST_F(NetbootServicesTest, RunningServiceIsStoppedAndStartedAgain) {
  UseExec();
  kelptest::WriteFile(m_dir / "dhcp.run", "");
  auto services = Make();
  const auto handle = services->StartService(services::kDhcpServiceName);
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(Traced("DHCP Server is already running"));
  EXPECT_EQ(kelptest::ReadFile(m_dir / "commands.log"), "stop\nstart\n");
  EXPECT_TRUE(m_display.Boxes().empty());
}

struct StartFailure {
  const char* pszName;
  std::string settings;                 // [Services] lines
  bool bRunning;                        // dhcp.run exists
  std::vector<std::string> traces;      // traced in this order
  std::string log;                      // commands run
};

class StartFailures : public NetbootServicesTest, public ::testing::WithParamInterface<StartFailure> {};

TEST_P(StartFailures, EndWithoutHandleTraceAndMessage3554) {
  const StartFailure& c = GetParam();
  if (c.settings.empty()) {
    UseExec("exit 1", "exit 1");
  } else {
    kelptest::WriteFile(m_settings, "[Services]\n" + c.settings);
  }
  if (c.bRunning) kelptest::WriteFile(m_dir / "dhcp.run", "");
  auto services = Make();
  const plat::TimePoint start = plat::Clock::Now();
  EXPECT_FALSE(services->RunService(1));
  const plat::Millis elapsed = std::chrono::duration_cast<plat::Millis>(plat::Clock::Now() - start);
  EXPECT_EQ(services->DhcpService(), nullptr);
  EXPECT_EQ(m_nFailedReports, 1);
  ExpectServiceBox(services::kDhcpServiceName);
  ASSERT_EQ(m_display.Boxes().size(), 1u);
  std::vector<std::string> seen;
  for (const std::string& line : m_sink.TaggedTexts())
    for (const std::string& trace : c.traces)
      if (line.find(trace) != std::string::npos) seen.push_back(trace);
  EXPECT_EQ(seen, c.traces);
  EXPECT_EQ(kelptest::ReadFile(m_dir / "commands.log"), c.log);
  // The sleeps: 1000 ms before each start attempt, between the stop attempts.
  const int nSleeps = c.log == "start\nstart\nstart\nstart\n" ? 3 : (c.bRunning ? 2 : 0);
  EXPECT_GE(elapsed.count(), nSleeps * 1000);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StartFailures,
    ::testing::Values(
        StartFailure{"ThreeFailedAttempts", "", false,
                     {"StartService( ) error (1) : 0x0000042a", "StartService( ) error (2) : 0x0000042a",
                      "StartService( ) error (3) : 0x0000042a", "Cannot run the service"},
                     "start\nstart\nstart\nstart\n"},
        StartFailure{"StopRefusedThreeTimes", "", true,
                     {"DHCP Server is already running", "ControlService( ) error (1) : 0x00000425",
                      "ControlService( ) error (2) : 0x00000425", "ControlService( ) error (3) : 0x00000425",
                      "Cannot stop the service"},
                     "stop\nstop\nstop\n"},
        StartFailure{"ServiceNotConfigured", "Backend=exec\n", false, {"OpenService() error : 0x00000424"}, ""},
        StartFailure{"UnknownBackend", "Backend=teletype\n", false, {"OpenSCManager() error : 0x00000429"}, ""},
        StartFailure{"DnsmasqWithoutInterface", "Backend=dnsmasq\n", false,
                     {"OpenSCManager() error : 0x00000057"}, ""},
        // The settings the backend refuses are named in the trace, not only the failed starts.
        StartFailure{"DnsmasqRefusesTheSettings", "Backend=dnsmasq\nInterface=lo\n", false,
                     {"StartService( ) error (3) : 0x0000042a",
                      "DHCP Server : settings refused : ", "dhcp.ini does not exist",
                      "Cannot run the service"},
                     ""}),
    veltest::CaseName<StartFailure>);

TEST_F(NetbootServicesTest, StopOfAServiceThatDoesNotRunFailsThreeTimes) {
  UseExec();
  auto services = Make();
  ASSERT_NE(services->StartService(services::kDhcpServiceName), nullptr);
  std::uint32_t ulError = 0;
  auto manager = plat::ServiceManager::Open(m_settings, &ulError);
  auto handle = manager->OpenService(services::kDhcpServiceName, &ulError);
  ASSERT_TRUE(services->StopService(handle.get()));
  EXPECT_FALSE(services->StopService(handle.get()));
  EXPECT_EQ(CountTraced("error (3) : 0x00000426"), 1);
  EXPECT_FALSE(services->StopService(nullptr));
}

}  // namespace
