#include "FtpdHost.h"

#include <arpa/inet.h>
#include <signal.h>

#include <string>

#include "app/InstanceGuard.h"
#include "board/BoardPorts.h"
#include "common/CusrTraceScope.h"
#include "common/FileServerPort.h"
#include "plat/NamedMutex.h"
#include "plat/Process.h"
#include "session/FtpdLauncher.h"
#include "session/MainSettings.h"

namespace kelpctl {
namespace {

// kelpftpd looks at the mutex after 5 seconds without a connection.
constexpr plat::Millis kEndWait{30'000};

}  // namespace

int RunFtpd(const Invocation& invocation, std::FILE* out, std::FILE* err) {
  CusrTraceScope scope("kelpctl", "RunFtpd", TRC_FUNC);
  const std::string& address = invocation.arguments[0];
  in_addr parsed{};
  if (inet_pton(AF_INET, address.c_str(), &parsed) != 1) {
    std::fprintf(err, "kelpctl: ftpd needs an IPv4 address, not %s\n", address.c_str());
    return 1;
  }
  const auto* octet = reinterpret_cast<const unsigned char*>(&parsed.s_addr);

  // SIGINT and SIGTERM are taken by sigwait below, from every thread.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

  plat::NamedMutex setupTool(app::kInstanceMutexName);
  if (!setupTool.TryLock()) {
    std::fprintf(err, "kelpctl: the setup tool (or another kelpctl ftpd) is running: mutex kelpconf is taken\n");
    return 1;
  }
  const session::MainSettings settings = session::ReadMainSettings(invocation.settingsFile);
  if (settings.ftpdPathTooLong) {
    std::fprintf(err, "kelpctl: kelpftpd_path is longer than %zu characters\n", session::kMaxFtpdPathSize);
    setupTool.Unlock();
    return 1;
  }
  // The setup tool's own handshake: the pipe first, then the child, each wait bounded.
  plat::Process server;
  const session::FtpdStart started =
      session::StartFtpd(settings.ftpdPath, invocation.settingsFile, {octet[0], octet[1], octet[2], octet[3]}, &server);
  if (!started.ok) {
    std::fprintf(err, "kelpctl: %s did not answer KELPFTPD OK (%s: %s)\n", settings.ftpdPath.c_str(),
                 started.failedStep.c_str(), started.detail.empty() ? "no answer" : started.detail.c_str());
    setupTool.Unlock();
    if (server.Pid() != 0 && server.IsRunning()) server.Terminate(-1);
    return 1;
  }
  std::fprintf(out, "kelpftpd ready on %s:%d (pid %d); stop with SIGINT or SIGTERM\n", address.c_str(),
               common::ReadFileServerPort(invocation.settingsFile).port, static_cast<int>(server.Pid()));
  std::fflush(out);

  int signal = 0;
  sigwait(&stopSignals, &signal);
  setupTool.Unlock();
  if (const auto code = server.Wait(kEndWait)) {
    std::fprintf(out, "kelpftpd ended with exit status %d\n", *code);
  } else {
    server.Terminate(-1);
    std::fprintf(out, "kelpftpd did not end by itself and was stopped\n");
  }
  return 0;
}

}  // namespace kelpctl
