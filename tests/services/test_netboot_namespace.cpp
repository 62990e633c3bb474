// A real network boot through the dnsmasq backend: two network namespaces joined by a veth pair
// stand for the maintenance PC and a board. The services start as the main window starts them;
// a DHCP client with the board's MAC address must get exactly the board's fixed address and the
// boot file name, then fetch the boot file by TFTP, byte for byte. Root only; the namespaces,
// the link and dnsmasq go on every path.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "VelapiTestUnit.h"
#include "board/CusrCHN.h"
#include "common/MessageDisplay.h"
#include "common/RecordingDisplay.h"
#include "plat/Clock.h"
#include "plat/Paths.h"
#include "plat/Process.h"
#include "plat/Profile.h"
#include "services/NetbootServices.h"

namespace {

using services::NetbootServices;

constexpr plat::Millis kStepLimit{30000};

// Runs a program to its end within kStepLimit; false when it failed or ran over.
bool RunTool(const std::vector<std::string>& argv) {
  plat::Process child;
  if (!child.Start(argv.front(), std::vector<std::string>(argv.begin() + 1, argv.end()))) return false;
  const std::optional<int> code = child.Wait(kStepLimit);
  if (!code) child.Terminate(-1);
  return code == 0;
}

std::optional<std::string> FindTool(const std::string& name) {
  std::istringstream path(std::string(getenv("PATH") ? getenv("PATH") : "") + ":/usr/sbin:/sbin");
  for (std::string dir; std::getline(path, dir, ':');)
    if (!dir.empty() && access((dir + "/" + name).c_str(), X_OK) == 0) return dir + "/" + name;
  return std::nullopt;
}

// The two namespaces and the link, named for this run; deleted on destruction.
class NetnsPair {
 public:
  explicit NetnsPair(std::string ip) : m_ip(std::move(ip)) {
    const std::string tag = std::to_string(getpid());
    svp = "kelpsvp" + tag;
    brd = "kelpbrd" + tag;
    svpLink = "ks" + tag;
    brdLink = "kb" + tag;
  }
  ~NetnsPair() {
    for (const std::string* ns : {&svp, &brd})
      if (m_made) RunTool({m_ip, "netns", "del", *ns});
  }
  bool Make(const std::string& boardMac) {
    m_made = RunTool({m_ip, "netns", "add", svp});
    if (!m_made) return false;
    return RunTool({m_ip, "netns", "add", brd}) && RunTool({m_ip, "link", "add", svpLink, "type", "veth", "peer", "name", brdLink}) &&
           RunTool({m_ip, "link", "set", svpLink, "netns", svp}) && RunTool({m_ip, "link", "set", brdLink, "netns", brd}) &&
           RunTool({m_ip, "-n", svp, "addr", "add", "192.0.2.1/24", "dev", svpLink}) &&
           RunTool({m_ip, "-n", svp, "link", "set", svpLink, "up"}) && RunTool({m_ip, "-n", svp, "link", "set", "lo", "up"}) &&
           RunTool({m_ip, "-n", brd, "link", "set", brdLink, "address", boardMac}) &&
           RunTool({m_ip, "-n", brd, "link", "set", brdLink, "up"});
  }
  std::string svp, brd, svpLink, brdLink;

 private:
  std::string m_ip;
  bool m_made = false;
};

std::string MacText(const services::MacAddress& mac, char sep) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x%c%02x%c%02x%c%02x%c%02x%c%02x", mac[0], sep, mac[1], sep, mac[2], sep, mac[3],
                sep, mac[4], sep, mac[5]);
  return text;
}

TEST(NetbootNamespace, BoardGetsItsFixedAddressAndItsBootFileByTftp) {
  if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root; run the suite as root to boot a board for real";
  std::vector<std::string> tools;
  for (const char* name : {"ip", "dnsmasq", "busybox", "tftp"}) {
    const std::optional<std::string> tool = FindTool(name);
    if (!tool) GTEST_SKIP() << name << " is missing: scripts/bootstrap installs dnsmasq-base, busybox and tftp-hpa";
    tools.push_back(*tool);
  }
  const std::string& ip = tools[0];
  plat::Clock::SetTimeScale(0);
  veltest::ResetUnit(veltest::DefaultSpec());
  RecordingDisplay display;
  SetMessageDisplay(&display);

  // The boards: slot 0 and slot 1 with their MAC addresses read from the array.
  std::uint32_t ulError = 0;
  board::ArrayTables array;
  ASSERT_TRUE(array.Initialize(20266, &ulError)) << ulError;
  const std::uint8_t ucIp[] = {192, 0, 2, 1}, ucMask[] = {255, 255, 255, 0};
  array.SetSvpAddress(ucIp, ucMask);
  std::vector<std::unique_ptr<CusrCHN>> boards;
  for (std::uint32_t slot : {0u, 1u}) {
    boards.push_back(std::make_unique<CusrCHN>(array, slot));
    boards.back()->SetStatus(2);
    ASSERT_TRUE(boards.back()->GetMacAddress(&ulError)) << ulError;
  }
  const services::MacAddress boardMac = boards[1]->MacAddress();

  NetnsPair net(ip);
  if (!net.Make(MacText(boardMac, ':'))) GTEST_SKIP() << "network namespaces cannot be made here (ip netns add failed)";

  // The medium's netboot folder, readable by the unprivileged user dnsmasq becomes.
  kelptest::TempDir media;
  const std::filesystem::path netboot = media.path() / "netboot";
  std::filesystem::create_directory(netboot);
  const std::uint16_t types[] = {array.NNCType(0), array.NNCType(1)};
  const std::string bootFile = services::BootstrapFileFor(types);
  std::string image(150000, '\0');
  std::mt19937 random(7);
  for (char& c : image) c = static_cast<char>(random());
  kelptest::WriteFile(netboot / bootFile, image);
  ::chmod(media.path().c_str(), 0755);
  ::chmod(netboot.c_str(), 0755);
  ::chmod((netboot / bootFile).c_str(), 0644);
  ASSERT_TRUE(plat::WritePrivateProfileString("Parameters", "File Path", netboot.c_str(), plat::MapPath("C:\\tftp.ini")));
  kelptest::WriteFile(plat::MapPath(services::kDhcpSettingFile), "");

  kelptest::TempDir work;
  const std::filesystem::path settings = work / "kelpconf.ini";
  kelptest::WriteFile(settings, "[Services]\nBackend=dnsmasq\nInterface=" + net.svpLink + "\nDnsmasq=" + ip +
                                    " netns exec " + net.svp + " " + tools[1] + "\nCommandTimeout=30\n");

  NetbootServices services(array, settings, 240, [] { ADD_FAILURE() << "install device failed"; });
  // The services that still run stop on every path out of the test.
  struct StopAtEnd {
    NetbootServices& s;
    ~StopAtEnd() {
      for (plat::ServiceHandle* pService : {s.DhcpService(), s.TftpService()}) {
        plat::ServiceState state = plat::ServiceState::Stopped;
        std::uint32_t ulStopError = 0;
        if (pService && pService->Query(&state, &ulStopError) && state == plat::ServiceState::Running)
          s.StopService(pService);
      }
    }
  } stopAtEnd{services};
  ASSERT_TRUE(services.RunService(1)) << kelptest::ReadFile(plat::ServiceStateDir() / "dnsmasq" / "dnsmasq.log");
  EXPECT_FALSE(services.IsSimulated());

  const std::filesystem::path lease = work / "lease";
  const std::filesystem::path script = work / "udhcpc.sh";
  kelptest::WriteFile(script, "#!/bin/sh\n[ \"$1\" = bound ] && " + ip + " addr add $ip/24 dev $interface && echo \"$ip $boot_file $siaddr\" > " +
                                  lease.string() + "\nexit 0\n");
  ::chmod(script.c_str(), 0755);
  ASSERT_TRUE(RunTool({ip, "netns", "exec", net.brd, tools[2], "udhcpc", "-i", net.brdLink, "-n", "-q", "-s",
                   script.string(), "-t", "5", "-T", "1"}));
  // Slot 1 is the second board: the second address of the range, fixed to its MAC address.
  EXPECT_EQ(kelptest::ReadFile(lease), "192.0.2.241 " + bootFile + " 192.0.2.1\n");

  const std::filesystem::path got = work / "got.bin";
  ASSERT_TRUE(RunTool({ip, "netns", "exec", net.brd, tools[3], "-m", "binary", "192.0.2.1", "-c", "get", bootFile,
                   got.string()}));
  EXPECT_TRUE(kelptest::ReadFile(got) == image) << "the boot file came back different";

  // Closing stops both; dnsmasq is gone.
  EXPECT_TRUE(services.StopService(services.DhcpService()));
  EXPECT_TRUE(services.StopService(services.TftpService()));
  plat::ServiceState state = plat::ServiceState::Running;
  ASSERT_TRUE(services.TftpService()->Query(&state, &ulError));
  EXPECT_EQ(state, plat::ServiceState::Stopped);
  EXPECT_TRUE(display.Boxes().empty());
  SetMessageDisplay(nullptr);
}

}  // namespace
