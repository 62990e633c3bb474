#include "FtpdHost.h"

#include <arpa/inet.h>
#include <signal.h>

#include <array>
#include <chrono>
#include <string>
#include <vector>

#include "board/BoardPorts.h"
#include "common/CusrTraceScope.h"
#include "plat/NamedMutex.h"
#include "plat/Paths.h"
#include "plat/Process.h"
#include "plat/Profile.h"
#include "plat/SyncPipe.h"

namespace kelpctl {
namespace {

constexpr plat::Millis kAnswerWait{60'000};
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

  plat::NamedMutex setupTool("kelpconf");
  if (!setupTool.TryLock()) {
    std::fprintf(err, "kelpctl: the setup tool (or another kelpctl ftpd) is running: mutex kelpconf is taken\n");
    return 1;
  }
  plat::SyncPipe pipe;
  if (pipe.Create() != plat::PipeStatus::Ok) {
    std::fprintf(err, "kelpctl: cannot create the sync pipe: %s\n", pipe.Error().c_str());
    return 1;
  }
  std::array<char, 260> program{};
  const std::string defaultProgram = (plat::ProgramDir() / "kelpftpd").string();
  plat::GetPrivateProfileString("MainService", "kelpftpd_path", defaultProgram.c_str(), program.data(),
                                program.size(), invocation.settingsFile);
  std::vector<std::string> args{invocation.settingsFile};
  for (int i = 0; i < 4; ++i) args.push_back(std::to_string(octet[i]));

  plat::Process server;
  if (!server.Start(program.data(), args)) {
    std::fprintf(err, "kelpctl: cannot start %s: %s\n", program.data(), server.Error().c_str());
    return 1;
  }
  std::string answer;
  if (pipe.Accept(kAnswerWait) != plat::PipeStatus::Ok || pipe.Read(answer, 63, kAnswerWait) != plat::PipeStatus::Ok ||
      answer != "KELPFTPD OK") {
    std::fprintf(err, "kelpctl: %s did not answer KELPFTPD OK (%s)\n", program.data(),
                 answer.empty() ? "no answer" : answer.c_str());
    setupTool.Unlock();
    server.Terminate(-1);
    return 1;
  }
  std::fprintf(out, "kelpftpd ready on %s:%d (pid %d); stop with SIGINT or SIGTERM\n", address.c_str(),
               board::ResolveFileServerPort(invocation.settingsFile), static_cast<int>(server.Pid()));
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
