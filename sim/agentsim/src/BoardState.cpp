#include "BoardState.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <sstream>
#include <system_error>

#include "agentsim/AgentScenario.h"
#include "plat/Profile.h"

namespace agentsim {
namespace {

constexpr char kSeparator = '|';

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find(kSeparator, start);
    parts.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return parts;
    start = end + 1;
  }
}

std::string Join(const std::vector<std::string>& parts) {
  std::string text;
  for (std::size_t i = 0; i < parts.size(); ++i) text += (i ? std::string(1, kSeparator) : "") + parts[i];
  return text;
}

class Reader {
 public:
  explicit Reader(const std::filesystem::path& file) : m_file(file) {}
  bool Has(const std::string& section, const std::string& key) const {
    for (const std::string& k : plat::GetProfileKeyNames(section, m_file))
      if (k == key) return true;
    return false;
  }
  std::string Text(const std::string& section, const std::string& key, const std::string& fallback) const {
    return plat::GetProfileString(section, key, fallback, m_file);
  }
  std::uint32_t Word(const std::string& section, const std::string& key, std::uint32_t fallback) const {
    return ParseWord(Text(section, key, "")).value_or(fallback);
  }

 private:
  const std::filesystem::path& m_file;
};

bool WriteAtomically(const std::filesystem::path& file, const std::string& text, std::string* pError) {
  std::error_code ec;
  std::filesystem::create_directories(file.parent_path(), ec);
  const std::filesystem::path temp = file.string() + ".tmp";
  const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  bool ok = fd >= 0;
  for (std::size_t done = 0; ok && done < text.size();) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<std::size_t>(n);
  }
  ok = ok && ::fsync(fd) == 0;
  if (fd >= 0 && ::close(fd) != 0) ok = false;
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    if (pError) *pError = "cannot write " + file.string() + ": " + std::strerror(errno);
    ::unlink(temp.c_str());
  }
  return ok;
}

}  // namespace

const char* OperationName(Operation op) {
  switch (op) {
    case Operation::OsLuRestore: return "OsLuRestore";
    case Operation::SharedLuRestore: return "SharedLuRestore";
    case Operation::SystemLuExtract: return "SystemLuExtract";
    case Operation::SystemLuRestore: return "SystemLuRestore";
    case Operation::StopCluster: return "StopCluster";
    case Operation::InitCluster: return "InitCluster";
  }
  return "";
}

BoardData DefaultBoardData(int slot, const std::string& address) {
  BoardData data;
  data.interfaces["mng0"] = {address, "255.0.0.0", "127.0.0.1", 1500};
  data.interfaces["mng1"] = {"192.168." + std::to_string(slot) + ".10", "255.255.255.0",
                             "192.168." + std::to_string(slot) + ".1", 1500};
  data.products.push_back({1, "NAS OS", "05-00-01-00", "2024/01/15 10:30:00 ", "OS  "});
  data.osBackup = {0x100, 0, "2024/01/15 10:30"};  // status 0: a backup at rest
  data.sharedBackup = {0x40, 0, "2024/01/15 10:35"};
  data.systemFile = "sysLU" + std::to_string(slot) + ".tgz";
  data.systemDate = "2024/01/15 11:00";
  return data;
}

std::filesystem::path BoardStateFile(const std::filesystem::path& unitDir, int slot) {
  return unitDir / "agents" / ("board" + std::to_string(slot) + ".ini");
}

BoardData LoadBoardData(const std::filesystem::path& file, BoardData data) {
  if (!std::filesystem::exists(file)) return data;
  const Reader r(file);
  data.agentVersion = r.Word("Board", "AgentVersion", data.agentVersion);
  data.clusterStatus = r.Word("Board", "ClusterStatus", data.clusterStatus);
  data.clusterDefinedStatus = r.Word("Board", "ClusterDefinedStatus", data.clusterDefinedStatus);
  data.name.reset();
  if (r.Has("Board", "Name")) data.name = r.Text("Board", "Name", "");
  data.ntpServers.clear();
  for (std::uint32_t i = 1, n = r.Word("NTP", "Count", 0); i <= n && i <= 16; ++i)
    data.ntpServers.push_back(r.Text("NTP", "Server" + std::to_string(i), ""));
  for (auto& [name, nic] : data.interfaces) {
    const std::string section = "Interface " + name;
    nic.ip = r.Text(section, "IP", nic.ip);
    nic.mask = r.Text(section, "Mask", nic.mask);
    nic.gateway = r.Text(section, "Gateway", nic.gateway);
    nic.mtu = r.Word(section, "MTU", nic.mtu);
  }
  data.routes.clear();
  for (std::uint32_t i = 1, n = r.Word("Routes", "Count", 0); i <= n && i <= 1024; ++i) {
    const std::vector<std::string> f = Split(r.Text("Routes", "Route" + std::to_string(i), ""));
    if (f.size() != 7) continue;
    data.routes.push_back({f[0], f[1], f[2], f[3], ParseWord(f[4]).value_or(0), ParseWord(f[5]).value_or(0),
                           ParseWord(f[6]).value_or(0)});
  }
  if (r.Has("Products", "Count")) {
    data.products.clear();
    for (std::uint32_t i = 1, n = r.Word("Products", "Count", 0); i <= n && i <= 1024; ++i) {
      const std::vector<std::string> f = Split(r.Text("Products", "Product" + std::to_string(i), ""));
      if (f.size() != 5 || !ParseWord(f[0])) continue;
      data.products.push_back({*ParseWord(f[0]), f[1], f[2], f[3], f[4]});
    }
  }
  for (auto [prefix, backup] : {std::pair{"Os", &data.osBackup}, std::pair{"Shared", &data.sharedBackup}}) {
    backup->dataSize = r.Word("Backup", std::string(prefix) + "DataSize", backup->dataSize);
    backup->status = r.Word("Backup", std::string(prefix) + "Status", backup->status);
    backup->date = r.Text("Backup", std::string(prefix) + "Date", backup->date);
  }
  data.systemExecuteStatus = r.Word("Backup", "SystemExecuteStatus", data.systemExecuteStatus);
  data.systemUploadStatus = r.Word("Backup", "SystemUploadStatus", data.systemUploadStatus);
  data.systemFile = r.Text("Backup", "SystemFile", data.systemFile);
  data.systemDate = r.Text("Backup", "SystemDate", data.systemDate);
  data.running.clear();
  for (Operation op : kOperations) {
    const std::vector<std::string> f = Split(r.Text("Operations", OperationName(op), ""));
    if (f.size() == 2 && ParseWord(f[0]) && ParseWord(f[1]))
      data.running[op] = {*ParseWord(f[0]), *ParseWord(f[1]), 0};
  }
  return data;
}

bool SaveBoardData(const std::filesystem::path& file, const BoardData& data, std::string* pError) {
  std::ostringstream out;
  out << "[Board]\nAgentVersion=" << data.agentVersion << "\nClusterStatus=" << data.clusterStatus
      << "\nClusterDefinedStatus=" << data.clusterDefinedStatus << "\n";
  if (data.name) out << "Name=" << Quoted(*data.name) << "\n";
  out << "\n[NTP]\nCount=" << data.ntpServers.size() << "\n";
  for (std::size_t i = 0; i < data.ntpServers.size(); ++i)
    out << "Server" << i + 1 << "=" << Quoted(data.ntpServers[i]) << "\n";
  for (const auto& [name, nic] : data.interfaces)
    out << "\n[Interface " << name << "]\nIP=" << nic.ip << "\nMask=" << nic.mask << "\nGateway=" << nic.gateway
        << "\nMTU=" << nic.mtu << "\n";
  out << "\n[Routes]\nCount=" << data.routes.size() << "\n";
  for (std::size_t i = 0; i < data.routes.size(); ++i) {
    const Route& rt = data.routes[i];
    out << "Route" << i + 1 << "="
        << Quoted(Join({rt.interface, rt.target, rt.netmask, rt.gateway, std::to_string(rt.hostFlag),
                        std::to_string(rt.routeFlag), std::to_string(rt.mss)}))
        << "\n";
  }
  out << "\n[Products]\nCount=" << data.products.size() << "\n";
  for (std::size_t i = 0; i < data.products.size(); ++i) {
    const InstalledProduct& p = data.products[i];
    out << "Product" << i + 1 << "=" << Quoted(Join({std::to_string(p.code), p.name, p.version, p.date, p.type}))
        << "\n";
  }
  out << "\n[Backup]\nOsDataSize=" << data.osBackup.dataSize << "\nOsStatus=" << data.osBackup.status
      << "\nOsDate=" << Quoted(data.osBackup.date) << "\nSharedDataSize=" << data.sharedBackup.dataSize
      << "\nSharedStatus=" << data.sharedBackup.status << "\nSharedDate=" << Quoted(data.sharedBackup.date)
      << "\nSystemExecuteStatus=" << data.systemExecuteStatus << "\nSystemUploadStatus=" << data.systemUploadStatus
      << "\nSystemFile=" << Quoted(data.systemFile) << "\nSystemDate=" << Quoted(data.systemDate) << "\n";
  out << "\n[Operations]\n";
  for (const auto& [op, run] : data.running)
    out << OperationName(op) << "=" << run.pollsLeft << kSeparator << run.statesShown << "\n";
  return WriteAtomically(file, out.str(), pError);
}

}  // namespace agentsim
