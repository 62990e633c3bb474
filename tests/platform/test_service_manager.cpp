// plat::ServiceManager: each backend's start, stop and state with the Win32 codes, and the
// configuration the dnsmasq backend writes from the two services' files.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "TestEnv.h"
#include "plat/Clock.h"
#include "plat/Paths.h"
#include "plat/ServiceManager.h"

namespace {

using ::testing::HasSubstr;

class ServiceManagerTest : public ::testing::Test {
 protected:
  void SetUp() override { plat::Clock::SetTimeScale(0.001); }
  void TearDown() override { plat::Clock::SetTimeScale(0); }

  std::unique_ptr<plat::ServiceHandle> Open(const std::string& name, std::uint32_t* pulError) {
    auto manager = plat::ServiceManager::Open(m_settings, pulError);
    return manager ? manager->OpenService(name, pulError) : nullptr;
  }
  // Start, start, stop, stop: 0, 1056, 0, 1062, and the state after each.
  void ExpectLifeCycle(const std::string& name) {
    std::uint32_t ulError = 0;
    auto handle = Open(name, &ulError);
    ASSERT_NE(handle, nullptr) << ulError;
    EXPECT_TRUE(handle->Start(&ulError)) << ulError;
    EXPECT_EQ(State(name), plat::ServiceState::Running);
    EXPECT_FALSE(handle->Start(&ulError));
    EXPECT_EQ(ulError, plat::kServiceAlreadyRunning);
    EXPECT_TRUE(handle->Stop(&ulError)) << ulError;
    EXPECT_EQ(State(name), plat::ServiceState::Stopped);
    EXPECT_FALSE(handle->Stop(&ulError));
    EXPECT_EQ(ulError, plat::kServiceNotActive);
  }
  // Asked through a manager of its own, as another process would.
  plat::ServiceState State(const std::string& name) {
    std::uint32_t ulError = 0;
    plat::ServiceState state = plat::ServiceState::Stopped;
    auto handle = Open(name, &ulError);
    EXPECT_TRUE(handle && handle->Query(&state, &ulError)) << ulError;
    return state;
  }

  kelptest::IsolatedEnv m_env;
  kelptest::TempDir m_dir;
  std::filesystem::path m_settings = m_dir / "kelpconf.ini";
};

TEST_F(ServiceManagerTest, SimIsTheDefaultAndKeepsItsStateForEveryProcess) {
  auto manager = [&] {
    std::uint32_t ulError = 0;
    return plat::ServiceManager::Open(m_settings, &ulError);
  }();
  ASSERT_NE(manager, nullptr);
  EXPECT_EQ(manager->BackendName(), "sim");
  EXPECT_TRUE(manager->IsSimulated());
  ExpectLifeCycle("DHCP Server");
  EXPECT_TRUE(std::filesystem::exists(plat::ServiceStateDir() / "sim.ini"));
}

struct OpenCase {
  const char* pszName;
  std::string settings;
  std::string service;
  std::uint32_t ulError;  // of the manager, else of the service
  bool bManagerFails;
};

class OpenFailures : public ServiceManagerTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(OpenFailures, GiveTheWin32Code) {
  const OpenCase& c = GetParam();
  kelptest::WriteFile(m_settings, "[Services]\n" + c.settings);
  std::uint32_t ulError = 0;
  auto manager = plat::ServiceManager::Open(m_settings, &ulError);
  if (c.bManagerFails) {
    EXPECT_EQ(manager, nullptr);
    EXPECT_EQ(ulError, c.ulError);
    return;
  }
  ASSERT_NE(manager, nullptr) << ulError;
  EXPECT_EQ(manager->OpenService(c.service, &ulError), nullptr);
  EXPECT_EQ(ulError, c.ulError);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, OpenFailures,
    ::testing::Values(OpenCase{"UnknownBackend", "Backend=rpc\n", "", 1065, true},
                      OpenCase{"DnsmasqWithoutInterface", "Backend=dnsmasq\n", "", 87, true},
                      OpenCase{"DnsmasqWithBadInterface", "Backend=dnsmasq\nInterface=eth0,lo\n", "", 87, true},
                      OpenCase{"ExecWithoutStatus", "Backend=exec\nA.Start=true\nA.Stop=true\n", "A", 1060, false},
                      OpenCase{"SystemdWithoutUnit", "Backend=SYSTEMD\n", "DHCP Server", 1060, false},
                      OpenCase{"DnsmasqOtherName", "Backend=dnsmasq\nInterface=eth1\n", "Print Spooler", 1060, false},
                      OpenCase{"SimNameThatIsNoKey", "", "a=b", 1060, false}),
    [](const ::testing::TestParamInfo<OpenCase>& param) { return std::string(param.param.pszName); });

TEST_F(ServiceManagerTest, ExecRunsTheCommandsOfTheSettings) {
  const std::string d = m_dir.path().string();
  // An hour of logical time is a few real seconds: room for a busy machine.
  kelptest::WriteFile(m_settings, "[Services]\nBackend=exec\nCommandTimeout=3600\n"
                                  "Boot.Start=touch " + d + "/on\nBoot.Stop=rm " + d + "/on\n"
                                  "Boot.Status=test -f " + d + "/on\n");
  ExpectLifeCycle("Boot");
  kelptest::WriteFile(m_settings, "[Services]\nBackend=exec\nCommandTimeout=1\n"
                                  "Slow.Start=exec sleep 5\nSlow.Stop=exit 3\nSlow.Status=exit 1\n");
  std::uint32_t ulError = 0;
  auto slow = Open("Slow", &ulError);
  ASSERT_NE(slow, nullptr);
  EXPECT_FALSE(slow->Start(&ulError));
  EXPECT_EQ(ulError, plat::kServiceRequestTimeout);
}

TEST_F(ServiceManagerTest, SystemdAsksSystemctlAboutTheUnit) {
  // A systemctl on PATH that keeps the units' states as files and logs its arguments.
  const std::string d = m_dir.path().string();
  std::filesystem::create_directory(m_dir / "bin");
  kelptest::WriteFile(m_dir / "bin" / "systemctl",
                      "#!/bin/sh\necho \"$*\" >> " + d + "/calls\ncase $1 in\n"
                      "  start) touch " + d + "/$2 ;;\n  stop) rm " + d + "/$2 ;;\n"
                      "  is-active) test -f " + d + "/$3 ;;\nesac\n");
  ::chmod((m_dir / "bin" / "systemctl").c_str(), 0755);
  kelptest::ScopedEnv path("PATH", (m_dir / "bin").string() + ":" + std::getenv("PATH"));
  kelptest::WriteFile(m_settings, "[Services]\nBackend=systemd\nCommandTimeout=3600\nDHCP Server.Unit=kelp-dhcp.service\n");
  ExpectLifeCycle("DHCP Server");
  const std::string calls = kelptest::ReadFile(m_dir / "calls");
  EXPECT_THAT(calls, HasSubstr("is-active --quiet kelp-dhcp.service\nstart kelp-dhcp.service\n"));
  EXPECT_THAT(calls, HasSubstr("is-active --quiet kelp-dhcp.service\nstop kelp-dhcp.service\n"));
}

// ---------------------------------------------------------------- dnsmasq configuration

class DnsmasqConfig : public ServiceManagerTest {
 protected:
  void SetUp() override {
    ServiceManagerTest::SetUp();
    std::filesystem::create_directory(m_dir / "netboot");
    kelptest::WriteFile(m_settings, "[Services]\nBackend=dnsmasq\nInterface=enp3s0\n");
    kelptest::WriteFile(plat::MapPath("c:\\dhcp.ini"),
                        "[Parameters]\nBootstrap File=pxelinux.0\nUse Bootstrap File=1\nBootstrap Server=192.0.2.1\n"
                        "Service Identifier=192.0.2.1\nStart Address=192.0.2.240\nEnd Address=192.0.2.241\n"
                        "DNS=192.0.2.1\nGateway=192.0.2.1\n\n[mac id address]\n02-4B-00-0A-BC-01 = 192.0.2.240\n"
                        "00-00-00-00-00-00 = 192.0.2.241\n");
    // The medium's folder as the setup tool records it: a Windows-style separator before netboot.
    kelptest::WriteFile(plat::MapPath("C:\\tftp.ini"), "[Parameters]\nFile Path=" + m_dir.path().string() + "\\netboot\n");
  }
  std::string Config(bool bDhcp, bool bTftp, std::string* pWhy) {
    return plat::DnsmasqConfiguration(m_settings, bDhcp, bTftp, pWhy);
  }
  std::string Head() const {
    const std::string state = (plat::ServiceStateDir() / "dnsmasq").string();
    return "# The boards' network boot; rewritten at each start and stop of the services.\nport=0\n"
           "interface=enp3s0\nbind-interfaces\npid-file=" + state + "/dnsmasq.pid\nlog-facility=" + state +
           "/dnsmasq.log\n";
  }
};

TEST_F(DnsmasqConfig, TranslatesBothServicesFiles) {
  std::string why;
  const std::string state = (plat::ServiceStateDir() / "dnsmasq").string();
  EXPECT_EQ(Config(true, true, &why),
            Head() + "dhcp-leasefile=" + state + "/dnsmasq.leases\ndhcp-range=192.0.2.240,192.0.2.241\n"
                     "dhcp-host=02:4b:00:0a:bc:01,192.0.2.240\ndhcp-host=00:00:00:00:00:00,192.0.2.241\n"
                     "dhcp-boot=pxelinux.0,,192.0.2.1\ndhcp-option=option:router,192.0.2.1\n"
                     "dhcp-option=option:dns-server,192.0.2.1\nenable-tftp\ntftp-root=" +
                         (m_dir / "netboot").string() + "\n")
      << why;
  EXPECT_EQ(Config(false, true, &why), Head() + "enable-tftp\ntftp-root=" + (m_dir / "netboot").string() + "\n");
  EXPECT_EQ(Config(false, false, &why), Head());
}

struct BadInput {
  const char* pszName;
  const char* pszFile;  // Windows path of the file to change
  const char* pszContent;
  const char* pszWhy;
  const char* pszFolder;  // Windows path of a folder made first, so that only the name is wrong
};

// A folder name longer than any the file system takes.
const std::string kTftpIniWithLongRoot = "[Parameters]\nFile Path=C:\\" + std::string(300, 'm') + "\\netboot\n";

class DnsmasqRefusals : public DnsmasqConfig, public ::testing::WithParamInterface<BadInput> {};

TEST_P(DnsmasqRefusals, SayWhy) {
  if (GetParam().pszFolder != nullptr) std::filesystem::create_directories(plat::MapPath(GetParam().pszFolder));
  kelptest::WriteFile(plat::MapPath(GetParam().pszFile), GetParam().pszContent);
  std::string why;
  EXPECT_EQ(Config(true, true, &why), "");
  EXPECT_THAT(why, HasSubstr(GetParam().pszWhy));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DnsmasqRefusals,
    ::testing::Values(
        BadInput{"NoRange", "c:\\dhcp.ini", "[Parameters]\nStart Address=192.0.2.240\n", "no valid Start Address",
                 nullptr},
        BadInput{"BadMac", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=192.0.2.240\nEnd Address=192.0.2.241\n[mac id address]\n02-4B = 192.0.2.240\n",
                 "bad [mac id address] line 02-4B", nullptr},
        // Found by fuzz_dnsmasq_config: "--4" read as the byte -4, written as "fffffffc".
        BadInput{"MacWithSign", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=192.0.2.240\nEnd Address=192.0.2.241\n[mac id address]\n"
                 "04-11-22-33--4-55 = 192.0.2.240\n",
                 "bad [mac id address] line 04-11-22-33--4-55", nullptr},
        BadInput{"BootFileWithComma", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\nBootstrap File=a,b\n",
                 "bad Bootstrap File a,b", nullptr},
        // Found by fuzz_dnsmasq_config: values that dnsmasq would read as more than one name.
        BadInput{"BootFileWithQuote", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\nBootstrap File=a\"b\n",
                 "bad Bootstrap File a\"b", nullptr},
        BadInput{"BootFileWithBackslash", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\nBootstrap File=a\\n\n",
                 "bad Bootstrap File a\\n", nullptr},
        BadInput{"BootFileAboveTheRoot", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\n"
                 "Bootstrap File=../../etc/shadow\n",
                 "bad Bootstrap File ../../etc/shadow", nullptr},
        BadInput{"BootFileAbsolute", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\nBootstrap File=/boot/x\n",
                 "bad Bootstrap File /boot/x", nullptr},
        BadInput{"BootFileNamingAFolder", "c:\\dhcp.ini",
                 "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\nUse Bootstrap File=1\nBootstrap File=pxelinux.0/\n",
                 "bad Bootstrap File pxelinux.0/", nullptr},
        BadInput{"NoTftpRoot", "C:\\tftp.ini", "[Parameters]\n", "no File Path", nullptr},
        BadInput{"TftpRootMissing", "C:\\tftp.ini", "[Parameters]\nFile Path=/nonexistent/netboot\n", "is not a folder",
                 nullptr},
        // Found by fuzz_dnsmasq_config: the folder test threw (name too long) and ended the program.
        BadInput{"TftpRootNameTooLong", "C:\\tftp.ini", kTftpIniWithLongRoot.c_str(), "is not a folder", nullptr},
        BadInput{"TftpRootWithBlanks", "C:\\tftp.ini", "[Parameters]\nFile Path=C:\\medi44-55 = 10.0.0.240\n",
                 "bad TFTP root C:\\medi44-55 = 10.0.0.240", "C:\\medi44-55 = 10.0.0.240"},
        BadInput{"TftpRootWithComma", "C:\\tftp.ini", "[Parameters]\nFile Path=C:\\media,lo\\netboot\n",
                 "bad TFTP root C:\\media,lo\\netboot", "C:\\media,lo\\netboot"},
        BadInput{"TftpRootNotANetbootFolder", "C:\\tftp.ini", "[Parameters]\nFile Path=C:\\etc\n",
                 "the TFTP root C:\\etc is not a medium's netboot folder", "C:\\etc"}),
    [](const ::testing::TestParamInfo<BadInput>& param) { return std::string(param.param.pszName); });

// Found by fuzz_dnsmasq_config: an address was checked only up to a NUL in it, and the rest (here
// a second field) was written too.
TEST_F(DnsmasqConfig, AddressWithANulInsideIsRefused) {
  kelptest::WriteFile(plat::MapPath("c:\\dhcp.ini"),
                      "[Parameters]\nStart Address=1.2.3.4\nEnd Address=1.2.3.5\n[mac id address]\n"
                      "02-4B-00-0A-BC-01 = 1.2.3.4" + std::string(1, '\0') + ",tag\n");
  std::string why;
  EXPECT_EQ(Config(true, false, &why), "");
  EXPECT_THAT(why, HasSubstr("bad [mac id address] line 02-4B-00-0A-BC-01 = 1.2.3.4"));
}

TEST_F(DnsmasqConfig, StartThatDnsmasqRefusesLeavesNothingRunning) {
  kelptest::WriteFile(m_settings, "[Services]\nBackend=dnsmasq\nInterface=enp3s0\nDnsmasq=false\n");
  std::uint32_t ulError = 0;
  auto handle = Open("TFTP Server", &ulError);
  ASSERT_NE(handle, nullptr);
  EXPECT_FALSE(handle->Start(&ulError));
  EXPECT_EQ(ulError, plat::kServiceSpecificError);
  EXPECT_EQ(State("TFTP Server"), plat::ServiceState::Stopped);
  EXPECT_FALSE(handle->Stop(&ulError));
  EXPECT_EQ(ulError, plat::kServiceNotActive);
}

}  // namespace
