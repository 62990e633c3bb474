// A real network boot through the dnsmasq backend. The services start as the main window starts
// them, in a network namespace that holds the maintenance address:
// - two namespaces joined by a veth pair stand for the maintenance PC and a board: a DHCP client
//   with the board's MAC address must get exactly the board's fixed address and the boot file
//   name, then fetch the boot file by TFTP, byte for byte;
// - a tap device carries the maintenance LAN to a PC emulator whose e1000 NIC has the board's MAC
//   address and its PXE firmware: it must get the board's address, fetch pxelinux.0 from the
//   medium's netboot folder and run it, which then asks for ldlinux.c32 and its configuration.
// Root only (the second also needs the emulator and the syslinux files); the namespaces, the
// links, the emulator and dnsmasq go on every path.
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
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"
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

// One namespace holding the maintenance address 192.0.2.1/24 on a tap device, for an emulator
// started inside it; deleted (with the tap) on destruction.
class TapNamespace {
 public:
  explicit TapNamespace(std::string ip) : m_ip(std::move(ip)) {
    const std::string tag = std::to_string(getpid());
    ns = "kelppxe" + tag;
    tap = "kt" + tag;
  }
  ~TapNamespace() {
    if (m_made) RunTool({m_ip, "netns", "del", ns});
  }
  bool Make() {
    m_made = RunTool({m_ip, "netns", "add", ns});
    return m_made && RunTool({m_ip, "-n", ns, "tuntap", "add", "dev", tap, "mode", "tap"}) &&
           RunTool({m_ip, "-n", ns, "addr", "add", "192.0.2.1/24", "dev", tap}) &&
           RunTool({m_ip, "-n", ns, "link", "set", tap, "up"}) && RunTool({m_ip, "-n", ns, "link", "set", "lo", "up"});
  }
  std::string ns, tap;

 private:
  std::string m_ip;
  bool m_made = false;
};

// The array's two first boards with their MAC addresses, as the main window reads them.
struct Boards {
  board::ArrayTables array;
  std::vector<std::unique_ptr<CusrCHN>> boards;

  bool Read() {
    std::uint32_t ulError = 0;
    if (!array.Initialize(20266, &ulError)) return false;
    const std::uint8_t ucIp[] = {192, 0, 2, 1}, ucMask[] = {255, 255, 255, 0};
    array.SetSvpAddress(ucIp, ucMask);
    for (std::uint32_t slot : {0u, 1u}) {
      boards.push_back(std::make_unique<CusrCHN>(array, slot));
      boards.back()->SetStatus(2);
      if (!boards.back()->GetMacAddress(&ulError)) return false;
    }
    return true;
  }
  std::string BootFile() const {
    const std::uint16_t types[] = {array.NNCType(0), array.NNCType(1)};
    return services::BootstrapFileFor(types);
  }
};

// Folders and files under root readable by the unprivileged user dnsmasq becomes.
void OpenToDnsmasq(const std::filesystem::path& root) {
  ::chmod(root.c_str(), 0755);
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root))
    ::chmod(entry.path().c_str(), entry.is_directory() ? 0755 : 0644);
}

// The network-boot services of the main window with the dnsmasq backend on interface, run in
// namespace ns, serving netboot; they stop on every path out of the test.
class Services {
 public:
  Services(Boards& boards, const std::filesystem::path& netboot, const std::string& ip, const std::string& dnsmasq,
           const std::string& ns, const std::string& interface)
      : m_settings(WriteSettings(m_work, netboot, "[Services]\nBackend=dnsmasq\nInterface=" + interface +
                                                      "\nDnsmasq=" + ip + " netns exec " + ns + " " + dnsmasq +
                                                      "\nCommandTimeout=30\n")),
        m_services(boards.array, m_settings, 240, [] { ADD_FAILURE() << "install device failed"; }) {}
  ~Services() {
    for (plat::ServiceHandle* pService : {m_services.DhcpService(), m_services.TftpService()}) {
      plat::ServiceState state = plat::ServiceState::Stopped;
      std::uint32_t ulError = 0;
      if (pService && pService->Query(&state, &ulError) && state == plat::ServiceState::Running)
        m_services.StopService(pService);
    }
  }
  NetbootServices& operator*() { return m_services; }
  NetbootServices* operator->() { return &m_services; }
  const std::filesystem::path& work() const { return m_work.path(); }
  static std::string Log() { return kelptest::ReadFile(plat::ServiceStateDir() / "dnsmasq" / "dnsmasq.log"); }

 private:
  // The TFTP root, an empty DHCP table and the tool's settings, written before the services are made.
  static std::filesystem::path WriteSettings(const kelptest::TempDir& work, const std::filesystem::path& netboot,
                                             const std::string& settings) {
    EXPECT_TRUE(
        plat::WritePrivateProfileString("Parameters", "File Path", netboot.c_str(), plat::MapPath("C:\\tftp.ini")));
    kelptest::WriteFile(plat::MapPath(services::kDhcpSettingFile), "");
    kelptest::WriteFile(work.path() / "kelpconf.ini", settings);
    return work.path() / "kelpconf.ini";
  }

  kelptest::TempDir m_work;
  std::filesystem::path m_settings;
  NetbootServices m_services;
};

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

  Boards boards;
  ASSERT_TRUE(boards.Read());
  const services::MacAddress boardMac = boards.boards[1]->MacAddress();
  NetnsPair net(ip);
  if (!net.Make(MacText(boardMac, ':'))) GTEST_SKIP() << "network namespaces cannot be made here (ip netns add failed)";

  kelptest::TempDir media;
  const std::filesystem::path netboot = media.path() / "netboot";
  std::filesystem::create_directory(netboot);
  const std::string bootFile = boards.BootFile();
  std::string image(150000, '\0');
  std::mt19937 random(7);
  for (char& c : image) c = static_cast<char>(random());
  kelptest::WriteFile(netboot / bootFile, image);
  OpenToDnsmasq(media.path());

  Services services(boards, netboot, ip, tools[1], net.svp, net.svpLink);
  ASSERT_TRUE(services->RunService(1)) << Services::Log();
  EXPECT_FALSE(services->IsSimulated());

  const std::filesystem::path lease = services.work() / "lease";
  const std::filesystem::path script = services.work() / "udhcpc.sh";
  kelptest::WriteFile(script, "#!/bin/sh\n[ \"$1\" = bound ] && " + ip + " addr add $ip/24 dev $interface && echo \"$ip $boot_file $siaddr\" > " +
                                  lease.string() + "\nexit 0\n");
  ::chmod(script.c_str(), 0755);
  ASSERT_TRUE(RunTool({ip, "netns", "exec", net.brd, tools[2], "udhcpc", "-i", net.brdLink, "-n", "-q", "-s",
                   script.string(), "-t", "5", "-T", "1"}));
  // Slot 1 is the second board: the second address of the range, fixed to its MAC address.
  EXPECT_EQ(kelptest::ReadFile(lease), "192.0.2.241 " + bootFile + " 192.0.2.1\n");

  const std::filesystem::path got = services.work() / "got.bin";
  ASSERT_TRUE(RunTool({ip, "netns", "exec", net.brd, tools[3], "-m", "binary", "192.0.2.1", "-c", "get", bootFile,
                   got.string()}));
  EXPECT_TRUE(kelptest::ReadFile(got) == image) << "the boot file came back different";

  // Closing stops both; dnsmasq is gone.
  EXPECT_TRUE(services->StopService(services->DhcpService()));
  EXPECT_TRUE(services->StopService(services->TftpService()));
  plat::ServiceState state = plat::ServiceState::Running;
  std::uint32_t ulError = 0;
  ASSERT_TRUE(services->TftpService()->Query(&state, &ulError));
  EXPECT_EQ(state, plat::ServiceState::Stopped);
  EXPECT_TRUE(display.Boxes().empty());
  SetMessageDisplay(nullptr);
}

// About 20 s: the emulator (no KVM needed) runs its BIOS, the NIC's PXE firmware asks for an
// address and the boot file, and pxelinux then asks for its module and configuration files,
// which the dnsmasq log shows. The medium is made bootable as kelp-mkmedia --pxelinux makes it.
TEST(NetbootNamespace, APxeFirmwareBootsPxelinuxFromTheMedium) {
  if (geteuid() != 0) GTEST_SKIP() << "network namespaces need root; run the suite as root to boot a PC emulator";
  std::vector<std::string> tools;
  for (const char* name : {"ip", "dnsmasq", "qemu-system-x86_64"}) {
    const std::optional<std::string> tool = FindTool(name);
    if (!tool) GTEST_SKIP() << name << " is missing: scripts/bootstrap installs dnsmasq-base and qemu-system-x86";
    tools.push_back(*tool);
  }
  const mkmedia::PxelinuxFiles syslinux;
  if (!std::filesystem::exists(syslinux.pxelinux) || !std::filesystem::exists(syslinux.ldlinux))
    GTEST_SKIP() << "the syslinux files are missing: scripts/bootstrap installs pxelinux and syslinux-common";
  const std::string& ip = tools[0];
  plat::Clock::SetTimeScale(0);
  corvid::sim::UnitSpec unit = veltest::DefaultSpec();
  for (corvid::sim::BoardSpec& board : unit.boards) board.nasType = 2;  // their boot file is pxelinux.0
  veltest::ResetUnit(unit);
  RecordingDisplay display;
  SetMessageDisplay(&display);

  Boards boards;
  ASSERT_TRUE(boards.Read());
  ASSERT_EQ(boards.BootFile(), "pxelinux.0");
  const std::string mac = MacText(boards.boards[1]->MacAddress(), ':');
  TapNamespace net(ip);
  if (!net.Make()) GTEST_SKIP() << "a namespace with a tap device cannot be made here";

  kelptest::TempDir media;
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(media.path(), mkmedia::DefaultMedia(1000), error)) << error;
  ASSERT_TRUE(mkmedia::AddPxelinux(media.path(), syslinux, error)) << error;
  OpenToDnsmasq(media.path());
  const std::filesystem::path netboot = media.path() / "netboot";

  Services services(boards, netboot, ip, tools[1], net.ns, net.tap);
  ASSERT_TRUE(services->RunService(1)) << Services::Log();

  plat::Process emulator;
  ASSERT_TRUE(emulator.Start(ip, {"netns", "exec", net.ns, tools[2], "-machine", "pc,accel=tcg", "-m", "64",
                                  "-display", "none", "-vga", "none", "-serial", "none", "-monitor", "none",
                                  "-no-reboot", "-boot", "n", "-netdev",
                                  "tap,id=lan,ifname=" + net.tap + ",script=no,downscript=no", "-device",
                                  "e1000,netdev=lan,mac=" + mac}))
      << emulator.Error();
  const auto booted = [] {
    const std::string log = Services::Log();
    return log.find("ldlinux.c32") != std::string::npos && log.find("pxelinux.cfg/default") != std::string::npos;
  };
  const plat::TimePoint deadline = plat::Clock::Now() + plat::Millis{120000};
  while (!booted() && plat::Clock::Now() < deadline && !emulator.Wait(plat::Millis{500}))
    ;
  emulator.Terminate(-1);
  const std::string log = Services::Log();
  // The board's fixed address by its MAC address, the boot file from the medium, and pxelinux
  // running: its module, then its configuration after the names it tries first.
  EXPECT_THAT(log, testing::HasSubstr("DHCPACK(" + net.tap + ") 192.0.2.241 " + mac));
  EXPECT_THAT(log, testing::HasSubstr("sent " + (netboot / "pxelinux.0").string() + " to 192.0.2.241"));
  EXPECT_THAT(log, testing::HasSubstr("sent " + (netboot / "ldlinux.c32").string() + " to 192.0.2.241"));
  EXPECT_THAT(log, testing::HasSubstr("sent " + (netboot / "pxelinux.cfg" / "default").string() + " to 192.0.2.241"));
  EXPECT_TRUE(display.Boxes().empty());
  SetMessageDisplay(nullptr);
}

}  // namespace
