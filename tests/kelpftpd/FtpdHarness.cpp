#include "FtpdHarness.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <chrono>
#include <cstring>
#include <sstream>

#include "plat/Clock.h"
#include "plat/Paths.h"
#include "plat/Profile.h"
#include "plat/Socket.h"
#include "plat/SyncPipe.h"

namespace fs = std::filesystem;

namespace ftptest {
namespace {

// Real time for kelpftpd to start and to end, whatever this process's own clock scale (the
// agent tests shrink it): a sanitizer build under load needs real seconds.
plat::Millis RealWait(int seconds) {
  return std::chrono::duration_cast<plat::Millis>(std::chrono::seconds(seconds) / plat::Clock::TimeScale());
}

std::vector<std::string> Octets(const std::string& address) {
  std::vector<std::string> octets;
  std::istringstream in(address);
  for (std::string part; std::getline(in, part, '.');) octets.push_back(part);
  return octets;
}

// The harness bounds its waits in real time; the socket toolkit waits on logical time, which a
// test may have scaled.
plat::TimePoint RealDeadline(int timeoutMs) {
  return plat::Clock::Now() + plat::Millis(static_cast<plat::Millis::rep>(timeoutMs / plat::Clock::TimeScale()));
}

}  // namespace

FtpdHarness::FtpdHarness(Options options) : m_options(std::move(options)) {
  m_port = m_options.port ? static_cast<std::uint16_t>(*m_options.port) : FreePort();
  fs::create_directories(mp());
  fs::create_directories(root() / "netboot");
  fs::create_directories(m_work.path() / "trace");
  if (m_options.registerMedium) {
    const std::string netboot = (root() / "netboot").string();
    EXPECT_TRUE(plat::WritePrivateProfileString("Parameters", "File Path", netboot.c_str(),
                                                plat::MapPath("C:\\tftp.ini")));
  }
  m_settings = m_work.path() / "kelpconf.ini";
  kelptest::WriteFile(m_settings, "[FtpService]\nPort=" + std::to_string(m_port) +
                                      "\nTraceDir=" + (m_work.path() / "trace").string() +
                                      "\nTraceLevel=" + m_options.traceLevel + "\nTraceSize=10\n");
  m_holding = m_setupTool.Lock(plat::Millis(0)) == plat::LockResult::Acquired;
  EXPECT_TRUE(m_holding);
}

FtpdHarness::~FtpdHarness() {
  // A server still running must end cleanly: a sanitizer report in it would change the code.
  if (m_process.Pid() != 0 && m_process.IsRunning()) {
    EXPECT_EQ(Stop(), 0);
  }
  Stop();
}

std::string FtpdHarness::Start() {
  std::vector<std::string> args{m_settings.string()};
  for (const std::string& octet : Octets(m_options.address)) args.push_back(octet);
  return StartWith(args);
}

std::string FtpdHarness::StartWith(const std::vector<std::string>& args) {
  plat::SyncPipe pipe;
  EXPECT_EQ(pipe.Create(), plat::PipeStatus::Ok) << pipe.Error();
  std::vector<std::string> shArgs{"-c", "cd \"$KELPTEST_CWD\" && exec \"$0\" \"$@\" 2>\"$KELPTEST_STDERR\"",
                                  KELPFTPD_PATH};
  shArgs.insert(shArgs.end(), args.begin(), args.end());
  char scale[32];
  std::snprintf(scale, sizeof scale, "%g", m_options.timeScale);
  const bool started = m_process.Start(
      "/bin/sh", shArgs,
      {std::string("KELP_TIME_SCALE=") + scale, "KELPTEST_CWD=" + root().string(),
       "KELPTEST_STDERR=" + (m_work.path() / "stderr.txt").string()});
  EXPECT_TRUE(started) << m_process.Error();
  if (!started) return "";
  if (pipe.Accept(RealWait(15)) != plat::PipeStatus::Ok) {
    ADD_FAILURE() << "kelpftpd did not open the pipe: " << pipe.Error();
    return "";
  }
  std::string message;
  const plat::PipeStatus status = pipe.Read(message, 63, RealWait(15));
  EXPECT_TRUE(status == plat::PipeStatus::Ok || status == plat::PipeStatus::Closed) << plat::ToText(status);
  return status == plat::PipeStatus::Ok ? message : "";
}

int FtpdHarness::Stop() {
  if (m_holding) m_setupTool.Unlock();
  m_holding = false;
  if (m_process.Pid() == 0) return -1;
  if (const auto code = m_process.Wait(RealWait(20))) return *code;
  m_process.Terminate(-1, plat::Millis(1000));
  return -1;
}

kelpftp::FtpClient FtpdHarness::Connect() {
  kelpftp::FtpClient client;
  const kelpftp::ClientStatus status = client.Connect(m_options.address, m_port, plat::Millis(10000));
  EXPECT_EQ(status, kelpftp::ClientStatus::Ok) << client.Error();
  return client;
}

std::string FtpdHarness::TraceText() const {
  return kelptest::ReadFile(m_work.path() / "trace" / "log" / "kelpftpd.log");
}

std::string FtpdHarness::StderrText() const { return kelptest::ReadFile(m_work.path() / "stderr.txt"); }

std::uint16_t FreePort() {
  const std::uint16_t port = plat::FreeLoopbackPort();
  EXPECT_NE(port, 0);
  return port;
}

RawConnection::RawConnection() : m_fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}

bool RawConnection::Connect(const std::string& address, std::uint16_t port) {
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_port = htons(port);
  return m_fd && ::inet_pton(AF_INET, address.c_str(), &sa.sin_addr) == 1 &&
         ::connect(m_fd.Get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
}

bool RawConnection::Send(const std::vector<std::uint8_t>& bytes) { return plat::SendAll(m_fd.Get(), bytes); }

std::optional<std::vector<std::uint8_t>> RawConnection::Read(std::size_t n, int timeoutMs) {
  std::vector<std::uint8_t> bytes(n);
  if (plat::ReadExactly(m_fd.Get(), bytes, RealDeadline(timeoutMs)) != plat::ReadResult::Complete) return std::nullopt;
  return bytes;
}

std::optional<std::vector<std::uint8_t>> RawConnection::ReadToClose(int timeoutMs) {
  const plat::TimePoint deadline = RealDeadline(timeoutMs);
  std::vector<std::uint8_t> bytes;
  for (;;) {
    if (plat::WaitReadable(m_fd.Get(), deadline) != plat::WaitResult::Ready) return std::nullopt;
    std::uint8_t chunk[4096];
    const ssize_t r = ::recv(m_fd.Get(), chunk, sizeof chunk, 0);
    if (r < 0 && errno == ECONNRESET) return bytes;
    if (r < 0) return std::nullopt;
    if (r == 0) return bytes;
    bytes.insert(bytes.end(), chunk, chunk + r);
  }
}

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<std::uint8_t>(value >> shift));
}

std::vector<std::uint8_t> HeaderBytes(std::uint32_t type, std::uint32_t version, const std::string& magic) {
  std::vector<std::uint8_t> out(magic.begin(), magic.end());
  out.resize(16, 0);
  PutBE32(out, version);
  PutBE32(out, type);
  return out;
}

std::vector<std::uint8_t> FileRequestBytes(const std::string& name, std::uint32_t offset, std::uint32_t size) {
  std::vector<std::uint8_t> out = HeaderBytes(0x00010001);
  std::vector<std::uint8_t> field(1024, 0);
  std::memcpy(field.data(), name.data(), std::min<std::size_t>(name.size(), field.size()));
  out.insert(out.end(), field.begin(), field.end());
  PutBE32(out, offset);
  PutBE32(out, size);
  return out;
}

std::vector<std::uint8_t> ReplyBytes(std::uint32_t type, std::uint32_t status) {
  std::vector<std::uint8_t> out = HeaderBytes(type);
  PutBE32(out, status);
  return out;
}

}  // namespace ftptest
