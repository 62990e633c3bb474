// The dnsmasq backend: one dnsmasq serves the DHCP and the TFTP service. Like the services it
// stands in for, it reads their own settings files at each start, so a restart takes up what
// was written since.
#include <arpa/inet.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <fstream>
#include <sstream>
#include <system_error>

#include "ServiceBackend.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace plat {
namespace {

constexpr char kDefaultDhcpService[] = "DHCP Server";
constexpr char kDefaultTftpService[] = "TFTP Server";
constexpr char kDefaultDhcpFile[] = "c:\\dhcp.ini";
constexpr char kDefaultTftpFile[] = "C:\\tftp.ini";
constexpr char kParameters[] = "Parameters";
constexpr char kMacSection[] = "mac id address";
constexpr Millis kStopGrace{3000};

std::string Setting(const char* pszKey, const char* pszDefault, const std::filesystem::path& settingsFile) {
  return GetProfileString(kServicesSection, pszKey, pszDefault, settingsFile);
}

struct DnsmasqFiles {
  explicit DnsmasqFiles(std::filesystem::path folder) : dir(std::move(folder)) {}
  std::filesystem::path dir;
  std::filesystem::path conf = dir / "dnsmasq.conf";
  std::filesystem::path pid = dir / "dnsmasq.pid";
  std::filesystem::path leases = dir / "dnsmasq.leases";
  std::filesystem::path log = dir / "dnsmasq.log";
  std::filesystem::path state = dir / "state.ini";
  std::filesystem::path lock = dir / "state.lock";
};

// The whole text, not only what comes before a NUL in it, is a dotted address.
bool IsIPv4(const std::string& text) {
  in_addr address{};
  return text.find('\0') == std::string::npos && inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsInterfaceName(const std::string& name) {
  if (name.empty() || name.size() > 15) return false;
  for (const char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_' && c != '-' && c != '.' && c != '@') return false;
  return true;
}

// A value that can stand in a comma-separated dnsmasq option as it is: dnsmasq reads blanks,
// commas, quotes, backslashes and '#' in an option line as its own syntax.
bool IsPlainWord(const std::string& text) {
  if (text.empty()) return false;
  for (const char c : text)
    if (c == ',' || c == '#' || c == '"' || c == '\'' || c == '\\' || c == 0x7F ||
        static_cast<unsigned char>(c) <= ' ')
      return false;
  return true;
}

// A file the TFTP service serves from inside its root: relative, every '/'-separated part a
// name other than "..".
bool IsBootFileName(const std::string& text) {
  if (!IsPlainWord(text)) return false;
  for (std::size_t start = 0; start <= text.size();) {
    const std::size_t end = std::min(text.find('/', start), text.size());
    if (end == start || text.compare(start, end - start, "..") == 0) return false;
    start = end + 1;
  }
  return true;
}

// "AA-BB-CC-DD-EE-FF" as dnsmasq writes a hardware address: "aa:bb:cc:dd:ee:ff".
bool MacText(const std::string& key, std::string* pText) {
  // Checked character by character: a scanf conversion would also take blanks and signs ("-4").
  if (key.size() != 17) return false;
  std::string text = key;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (i % 3 == 2 ? c != '-' : !std::isxdigit(c)) return false;
    text[i] = i % 3 == 2 ? ':' : static_cast<char>(std::tolower(c));
  }
  *pText = text;
  return true;
}

bool Refuse(std::string* pWhy, std::string why) {
  *pWhy = std::move(why);
  return false;
}

// The DHCP lines from the DHCP service's file.
bool AppendDhcp(std::ostream& out, const std::filesystem::path& file, const DnsmasqFiles& files, std::string* pWhy) {
  // The error-code forms throughout: a path too long or unreadable refuses, it never throws.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(file, ec)) return Refuse(pWhy, file.string() + " does not exist");
  const auto value = [&](const char* pszKey) { return GetProfileString(kParameters, pszKey, "", file); };
  const std::string start = value("Start Address");
  const std::string end = value("End Address");
  if (!IsIPv4(start) || !IsIPv4(end)) return Refuse(pWhy, file.string() + ": no valid Start Address and End Address");
  out << "dhcp-leasefile=" << files.leases.string() << "\n";
  out << "dhcp-range=" << start << "," << end << "\n";
  for (const std::string& key : GetProfileKeyNames(kMacSection, file)) {
    std::string mac;
    const std::string address = GetProfileString(kMacSection, key, "", file);
    if (!MacText(key, &mac) || !IsIPv4(address))
      return Refuse(pWhy, file.string() + ": bad [" + kMacSection + "] line " + key + " = " + address);
    out << "dhcp-host=" << mac << "," << address << "\n";
  }
  if (value("Use Bootstrap File") == "1") {
    const std::string boot = value("Bootstrap File");
    const std::string server = value("Bootstrap Server");
    if (!IsBootFileName(boot)) return Refuse(pWhy, file.string() + ": bad Bootstrap File " + boot);
    out << "dhcp-boot=" << boot;
    if (IsIPv4(server)) out << ",," << server;
    out << "\n";
  }
  if (const std::string gateway = value("Gateway"); IsIPv4(gateway)) out << "dhcp-option=option:router," << gateway << "\n";
  if (const std::string dns = value("DNS"); IsIPv4(dns)) out << "dhcp-option=option:dns-server," << dns << "\n";
  return true;
}

// The TFTP lines from the TFTP service's file: its root is "File Path" of [Parameters].
bool AppendTftp(std::ostream& out, const std::filesystem::path& file, std::string* pWhy) {
  const std::string recorded = GetProfileString(kParameters, "File Path", "", file);
  if (recorded.empty()) return Refuse(pWhy, file.string() + ": no File Path");
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::absolute(MapPath(recorded), ec).lexically_normal();
  if (ec || root.empty() || !std::filesystem::is_directory(root, ec))
    return Refuse(pWhy, "the TFTP root " + recorded + " is not a folder");
  if (!IsPlainWord(root.string())) return Refuse(pWhy, "bad TFTP root " + recorded);
  // The setup tool records a medium's netboot folder; any other folder would be served whole.
  if (root.filename() != kMediaNetbootFolder)
    return Refuse(pWhy, "the TFTP root " + recorded + " is not a medium's " + kMediaNetbootFolder + " folder");
  out << "enable-tftp\n";
  out << "tftp-root=" << root.string() << "\n";
  return true;
}

std::string BuildConfiguration(const std::filesystem::path& settingsFile, bool bDhcp, bool bTftp,
                               const DnsmasqFiles& files, std::string* pWhy) {
  const std::string interface = Setting("Interface", "", settingsFile);
  if (!IsInterfaceName(interface)) {
    *pWhy = "[Services] Interface names no interface: \"" + interface + "\"";
    return {};
  }
  std::ostringstream out;
  out << "# The boards' network boot; rewritten at each start and stop of the services.\n";
  out << "port=0\n";
  out << "interface=" << interface << "\n";
  out << "bind-interfaces\n";
  out << "pid-file=" << files.pid.string() << "\n";
  out << "log-facility=" << files.log.string() << "\n";
  if (bDhcp &&
      !AppendDhcp(out, MapPath(Setting("DhcpFile", kDefaultDhcpFile, settingsFile)), files, pWhy))
    return {};
  if (bTftp && !AppendTftp(out, MapPath(Setting("TftpFile", kDefaultTftpFile, settingsFile)), pWhy)) return {};
  return out.str();
}

std::vector<std::string> SplitWords(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

bool WriteWhole(const std::filesystem::path& file, const std::string& content) {
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out << content;
  out.close();
  return static_cast<bool>(out);
}

enum Role { kDhcp = 0, kTftp = 1 };
using OnSet = std::array<bool, 2>;
constexpr const char* kRoleKeys[] = {"DHCP", "TFTP"};

class DnsmasqBackend : public ServiceBackend {
 public:
  DnsmasqBackend(std::filesystem::path settingsFile, const std::filesystem::path& dir)
      : m_settingsFile(std::move(settingsFile)), m_files(dir) {}

  bool Exists(const std::string& name) const override { return RoleOf(name).has_value(); }

  std::uint32_t Start(const std::string& name) override {
    const std::optional<Role> role = RoleOf(name);
    if (!role) return kServiceDoesNotExist;
    const StateLock lock(m_files.lock);
    if (!lock.Held()) return kServiceAccessDenied;
    OnSet on = CurrentOnSet();
    if (on[*role]) return kServiceAlreadyRunning;
    on[*role] = true;
    std::string why;
    const std::string config = BuildConfiguration(m_settingsFile, on[kDhcp], on[kTftp], m_files, &why);
    if (config.empty()) return kServiceSpecificError;
    return Relaunch(config, on) ? 0 : kServiceSpecificError;
  }

  std::uint32_t Stop(const std::string& name) override {
    const std::optional<Role> role = RoleOf(name);
    if (!role) return kServiceDoesNotExist;
    const StateLock lock(m_files.lock);
    if (!lock.Held()) return kServiceAccessDenied;
    OnSet on = CurrentOnSet();
    if (!on[*role]) return kServiceNotActive;
    on[*role] = false;
    if (!on[kDhcp] && !on[kTftp]) {
      if (!EndRunning()) return kServiceCannotAcceptControl;
      SaveOnSet(on);
      return 0;
    }
    // The other service goes on alone; when it cannot, both are down and the stop still holds.
    std::string why;
    const std::string config = BuildConfiguration(m_settingsFile, on[kDhcp], on[kTftp], m_files, &why);
    if (config.empty()) {
      if (!EndRunning()) return kServiceCannotAcceptControl;
      SaveOnSet({false, false});
      return 0;
    }
    return Relaunch(config, on) || !Alive() ? 0 : kServiceCannotAcceptControl;
  }

  std::uint32_t Query(const std::string& name, ServiceState* pState) override {
    const std::optional<Role> role = RoleOf(name);
    if (!role) return kServiceDoesNotExist;
    const StateLock lock(m_files.lock);
    if (!lock.Held()) return kServiceAccessDenied;
    *pState = CurrentOnSet()[*role] ? ServiceState::Running : ServiceState::Stopped;
    return 0;
  }

 private:
  std::optional<Role> RoleOf(const std::string& name) const {
    if (name == Setting("DhcpService", kDefaultDhcpService, m_settingsFile)) return kDhcp;
    if (name == Setting("TftpService", kDefaultTftpService, m_settingsFile)) return kTftp;
    return std::nullopt;
  }

  // The services on, as far as a dnsmasq of ours runs.
  OnSet CurrentOnSet() const {
    if (!Alive()) return {false, false};
    return {GetProfileString("On", kRoleKeys[kDhcp], "0", m_files.state) == "1",
            GetProfileString("On", kRoleKeys[kTftp], "0", m_files.state) == "1"};
  }

  void SaveOnSet(const OnSet& on) const {
    for (int r : {kDhcp, kTftp}) WritePrivateProfileString("On", kRoleKeys[r], on[r] ? "1" : "0", m_files.state);
  }

  pid_t RecordedPid() const {
    std::ifstream in(m_files.pid);
    long pid = 0;
    return (in >> pid) && pid > 1 ? static_cast<pid_t>(pid) : 0;
  }

  // A process that is ours: its command line names our configuration (a reused pid does not).
  bool IsOurs(pid_t pid) const {
    if (pid <= 1) return false;
    std::ifstream in("/proc/" + std::to_string(pid) + "/cmdline", std::ios::binary);
    const std::string cmdline((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return cmdline.find("--conf-file=" + m_files.conf.string()) != std::string::npos;
  }

  bool Alive() const { return IsOurs(RecordedPid()); }

  // Ends our dnsmasq, if one runs: SIGTERM, then SIGKILL after the grace.
  bool EndRunning() const {
    const pid_t pid = RecordedPid();
    if (!IsOurs(pid)) return true;
    for (const int signal : {SIGTERM, SIGKILL}) {
      if (::kill(pid, signal) != 0 && errno != ESRCH) return false;
      if (Clock::PollUntil(Clock::Now() + kStopGrace, [&] { return !IsOurs(pid); })) {
        std::error_code ec;
        std::filesystem::remove(m_files.pid, ec);
        return true;
      }
    }
    return false;
  }

  // Replaces the running dnsmasq with one on config serving on; false leaves none running.
  bool Relaunch(const std::string& config, const OnSet& on) {
    if (!EndRunning()) return false;
    SaveOnSet({false, false});
    std::error_code ec;
    std::filesystem::remove(m_files.pid, ec);
    if (!WriteWhole(m_files.conf, config)) return false;
    std::vector<std::string> argv = SplitWords(Setting("Dnsmasq", "dnsmasq", m_settingsFile));
    if (argv.empty()) return false;
    argv.push_back("--conf-file=" + m_files.conf.string());
    const Millis limit = CommandLimit(m_settingsFile);
    // dnsmasq checks its configuration and binds its sockets before it detaches: exit 0 means
    // it serves; the daemon then writes its pid.
    if (!RunCommand(argv, limit).Succeeded()) return false;
    if (!Clock::PollUntil(Clock::Now() + limit, [&] { return Alive(); })) return false;
    SaveOnSet(on);
    return true;
  }

  std::filesystem::path m_settingsFile;
  DnsmasqFiles m_files;
};

}  // namespace

std::string DnsmasqConfiguration(const std::filesystem::path& settingsFile, bool bDhcp, bool bTftp,
                                 std::string* pWhy) {
  return BuildConfiguration(settingsFile, bDhcp, bTftp, DnsmasqFiles(ServiceStateDir() / "dnsmasq"), pWhy);
}

std::shared_ptr<ServiceBackend> MakeDnsmasqBackend(const std::filesystem::path& settingsFile,
                                                   const std::filesystem::path& stateDir, std::uint32_t* pulError) {
  if (!IsInterfaceName(Setting("Interface", "", settingsFile))) {
    *pulError = kServiceInvalidParameter;
    return nullptr;
  }
  std::error_code ec;
  const std::filesystem::path dir = stateDir / "dnsmasq";
  if (std::filesystem::create_directory(dir, ec)) ::chmod(dir.c_str(), 0700);
  if (!std::filesystem::is_directory(dir, ec)) {
    *pulError = kServiceAccessDenied;
    return nullptr;
  }
  return std::make_shared<DnsmasqBackend>(settingsFile, dir);
}

}  // namespace plat
