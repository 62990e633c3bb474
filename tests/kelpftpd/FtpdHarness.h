// Runs a real kelpftpd for one test: a private runtime dir and system root, a medium under a
// temporary folder registered as the TFTP root, a settings file, the sync pipe the setup tool
// would create and the "kelpconf" mutex it would hold, with the waits shrunk by a time scale.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "kelpftp/FtpClient.h"
#include "plat/NamedMutex.h"
#include "plat/Process.h"
#include "plat/Socket.h"

namespace ftptest {

struct Options {
  double timeScale = 0.02;        // 60 s header wait = 1.2 s, 5 s accept wait = 100 ms
  std::string address = "127.0.0.1";
  std::optional<unsigned> port;   // free port when empty
  std::string traceLevel = "debug";
  bool registerMedium = true;     // write C:\tftp.ini pointing at the medium
};

class FtpdHarness {
 public:
  explicit FtpdHarness(Options options = {});
  ~FtpdHarness();
  FtpdHarness(const FtpdHarness&) = delete;
  FtpdHarness& operator=(const FtpdHarness&) = delete;

  const std::filesystem::path& root() const { return m_media.path(); }  // the medium
  std::filesystem::path mp() const { return m_media.path() / "MP"; }
  const std::filesystem::path& settingsFile() const { return m_settings; }
  const kelptest::IsolatedEnv& env() const { return m_env; }
  const std::string& address() const { return m_options.address; }
  std::uint16_t port() const { return m_port; }

  // Starts kelpftpd with the usual arguments (settings file and the address's octets), or with
  // the given ones, in the medium's root folder as current folder. Returns what it wrote on the
  // pipe: "KELPFTPD OK", "NG", or "" when it ended without a word.
  std::string Start();
  std::string StartWith(const std::vector<std::string>& args);

  // Frees the "kelpconf" mutex and waits for the server to end; its exit code, or -1 when it
  // did not end within the bound (it is then killed).
  int Stop();
  plat::Process& process() { return m_process; }

  // A client connected to the server (greeting read), or a failed test.
  kelpftp::FtpClient Connect();

  std::string TraceText() const;
  std::string StderrText() const;

 private:
  Options m_options;
  kelptest::IsolatedEnv m_env;
  kelptest::TempDir m_media;
  kelptest::TempDir m_work;
  std::filesystem::path m_settings;
  std::uint16_t m_port = 0;
  plat::NamedMutex m_setupTool{"kelpconf"};
  bool m_holding = false;
  plat::Process m_process;
};

// Names a table case after its name field.
struct CaseName {
  template <class T>
  std::string operator()(const testing::TestParamInfo<T>& param) const {
    return param.param.name;
  }
};

// A port on 127.0.0.1 that nobody uses right now.
std::uint16_t FreePort();

// A plain blocking TCP connection for crafted bytes, with real-time bounds on every wait. The
// socket exists from construction, so options can be set before Connect.
class RawConnection {
 public:
  RawConnection();
  bool Connect(const std::string& address, std::uint16_t port);
  bool Send(const std::vector<std::uint8_t>& bytes);
  // Exactly n bytes, or nothing when the peer closed or the time ran out first.
  std::optional<std::vector<std::uint8_t>> Read(std::size_t n, int timeoutMs = 10000);
  // Everything until the peer closes; nothing when it stays open for timeoutMs.
  std::optional<std::vector<std::uint8_t>> ReadToClose(int timeoutMs = 10000);
  int fd() const { return m_fd.Get(); }

 private:
  plat::UniqueFd m_fd;
};

// Wire building blocks, written out by hand so that the tests do not rely on the encoders.
void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t value);
std::vector<std::uint8_t> HeaderBytes(std::uint32_t type, std::uint32_t version = 0x00010000,
                                      const std::string& magic = "****KELPFTPD****");
// A file request with the name field filled from name (not terminated when it fills 1024 bytes).
std::vector<std::uint8_t> FileRequestBytes(const std::string& name, std::uint32_t offset, std::uint32_t size);
std::vector<std::uint8_t> ReplyBytes(std::uint32_t type, std::uint32_t status);

}  // namespace ftptest
