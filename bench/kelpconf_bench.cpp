// kelpconf start-up, status check and inherit installation on simulated ZQH units with their
// agents (kelp-agentsim), on loopback. Start-up and status check are the median of a bounded
// number of runs, with the four boards OS UP:
//  - exec of kelpconf (headless, a script that waits for "ready" and closes) to its "ready"
//    line, against exec to exit of "kelpconf --help" (the cost of starting the program);
//  - one status check in-process (MP status, array status, each board's status with the node
//    state from its agent), against one bare dsvp_NasGetCurrentStatus.
// The inherit installation is one run at time scale 0.01: four stopped boards get a 64 MiB NAS OS
// image and two 16 MiB products (fetched by each board's agent from kelpftpd and checked byte
// for byte). Its wall time is split into the simulated durations the tool must wait for (the
// first board's installer and boot alone, then the others' together, and the pauses between
// boards and products) and the rest, which is the tool's own work and the transfers.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"
#include "nas/StatusWord.h"
#include "plat/Socket.h"
#include "session/ArraySession.h"
#include "session/MainSettings.h"
#include "velapi.h"

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

extern char** environ;

namespace {

constexpr const char* kUnit = "BENCH";
constexpr int kStartRuns = 9;
constexpr int kCheckRuns = 50;
constexpr double kStartAimMs = 1000;
constexpr double kCheckAimMs = 50;
constexpr auto kRunLimit = std::chrono::seconds(30);  // one kelpconf run, or the agents getting ready
constexpr const char* kInstallUnit = "BENCHINST";
constexpr double kInstallScale = 0.01;
constexpr std::uint64_t kMiB = 1024 * 1024;
constexpr auto kInstallLimit = std::chrono::minutes(5);

[[noreturn]] void Die(const std::string& reason) {
  std::fprintf(stderr, "kelpconf_bench: %s\n", reason.c_str());
  std::exit(1);
}

// A child process whose standard output comes through a pipe; stderr is discarded.
class Child {
 public:
  explicit Child(const std::vector<std::string>& argv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) Die("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const int rc = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    m_out = fds[0];
    if (rc != 0) Die("cannot start " + argv[0]);
  }
  ~Child() {
    if (m_pid > 0) {
      kill(m_pid, SIGKILL);
      waitpid(m_pid, nullptr, 0);
    }
    close(m_out);
  }

  // Reads output until a whole line equals line (true), or until the end of the output or the
  // deadline (false).
  bool ReadUntil(const std::string& line, SteadyClock::time_point deadline) {
    for (;;) {
      for (std::size_t end; (end = m_buffer.find('\n')) != std::string::npos;) {
        const bool found = m_buffer.compare(0, end, line) == 0 && end == line.size();
        m_buffer.erase(0, end + 1);
        if (found) return true;
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
      pollfd p{m_out, POLLIN, 0};
      if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) return false;
      char chunk[4096];
      const ssize_t n = read(m_out, chunk, sizeof chunk);
      if (n <= 0) return false;
      m_buffer.append(chunk, static_cast<std::size_t>(n));
    }
  }
  // Waits for the exit within the deadline; its status, or nullopt (then killed).
  std::optional<int> Wait(SteadyClock::time_point deadline) {
    while (SteadyClock::now() < deadline) {
      int status = 0;
      if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = 0;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return std::nullopt;
  }
  void Terminate() {
    if (m_pid > 0) kill(m_pid, SIGTERM);
  }

 private:
  pid_t m_pid = 0;
  int m_out = -1;
  std::string m_buffer;
};

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double MedianOf(int runs, const std::function<double()>& one) {
  std::vector<double> values;
  for (int i = 0; i < runs; ++i) values.push_back(one());
  return Median(values);
}

// Exec of kelpconf to its "ready" line; the run must then close with exit 0.
double StartUpMs(const std::vector<std::string>& argv) {
  const auto start = SteadyClock::now();
  Child kelpconf(argv);
  if (!kelpconf.ReadUntil("ready", start + kRunLimit)) Die("kelpconf never wrote ready");
  const double ms = Ms(SteadyClock::now() - start).count();
  if (kelpconf.Wait(start + kRunLimit) != 0) Die("kelpconf did not close cleanly");
  return ms;
}

double ExecToExitMs(const std::vector<std::string>& argv) {
  const auto start = SteadyClock::now();
  Child child(argv);
  if (child.Wait(start + kRunLimit) != 0) Die("kelpconf --help failed");
  return Ms(SteadyClock::now() - start).count();
}

double TimedMs(const std::function<void()>& body) {
  const auto start = SteadyClock::now();
  body();
  return Ms(SteadyClock::now() - start).count();
}

// The unit's session as the main window opens it: the four boards with their agent connections.
std::unique_ptr<session::ArraySession> OpenSession(const fs::path& settings) {
  std::uint32_t ulError = 0;
  if (!dsvp_SetArrayUnitName(kUnit, &ulError)) Die("dsvp_SetArrayUnitName failed");
  auto pSession = std::make_unique<session::ArraySession>(settings, session::ReadMainSettings(settings));
  bool bAllReady = true;
  if (!pSession->Start(&ulError, [&](std::uint32_t, CusrCHN::AgentAccess access, std::uint32_t) {
        bAllReady = bAllReady && access == CusrCHN::AgentAccess::Ready;
      }))
    Die("the session could not start");
  if (!bAllReady) Die("a board could not be set up");
  return pSession;
}

void Row(const char* label, double ms, double aimMs, const char* baselineLabel, double baselineMs) {
  std::printf("%-30s %9.2f ms  (aim < %4.0f ms: %s)   %-34s %8.2f ms  ratio %6.1f\n", label, ms, aimMs,
              ms < aimMs ? "met" : "MISSED", baselineLabel, baselineMs, ms / baselineMs);
}

// One inherit installation of four boards through kelpconf's script mode; prints its figures.
void InheritInstallFigure(const fs::path& root) {
  setenv("KELP_TIME_SCALE", "0.01", 1);
  corvid::sim::SetTimeScale(kInstallScale);
  corvid::sim::UnitSpec unit = corvid::sim::PresetUnit(kInstallUnit, corvid::sim::Model::ZQH, 4);
  for (corvid::sim::BoardSpec& b : unit.boards) b.nasType = 2;
  std::string error;
  if (!corvid::sim::CreateUnit(unit, true, &error)) Die("cannot create the install unit: " + error);

  mkmedia::Media media = mkmedia::DefaultMedia(16 * kMiB);
  media.products.resize(3);
  media.products[0].size = 64 * kMiB;
  for (mkmedia::Product& product : media.products) product.version = "05-01-00-00";
  if (!mkmedia::WriteMedia(root / "media", media, error)) Die("cannot write the medium: " + error);
  const std::uint64_t servedBytes = 4 * (media.products[1].size + media.products[2].size);

  const std::uint16_t agentPort = plat::FreeLoopbackPort();
  const fs::path settings = root / "install.ini";
  std::ofstream(settings) << "[MainService]\nTraceDir=" << (root / "log").string() << "\nPort=" << agentPort
                          << "\nkelpftpd_path=" << KELPFTPD_PATH << "\n[FtpService]\nPort=" << plat::FreeLoopbackPort()
                          << "\nTraceDir=" << (root / "log").string()
                          << "\nInstall_files=" << (root / "media" / "MP").string() << "\n";
  const fs::path script = root / "install.txt";
  std::ofstream(script) << "wait-transcript \"^ready$\" 3000\nkey shift+ctrl+e\nanswer 4036 ok\nclick 1096\n"
                           "wait-transcript \"^window 204 .*\" 3000\nanswer 4023 ok\nanswer 4034 ok\n"
                           "click 204:1568\nwait-transcript \"^enable 1570 1$\" 60000\nclick 204:1570\n"
                           "wait-transcript \"^busy public 0$\" 3000\nclose\n";
  Child agents({KELP_AGENTSIM_PATH, "-u", kInstallUnit, "--port", std::to_string(agentPort)});
  if (!agents.ReadUntil("ready", SteadyClock::now() + kRunLimit)) Die("kelp-agentsim did not get ready");

  setenv("KELP_UI_SCRIPT", script.c_str(), 1);
  Child kelpconf({KELPCONF_PATH, "-h", kInstallUnit, "-s", settings.string()});
  const auto deadline = SteadyClock::now() + kInstallLimit;
  if (!kelpconf.ReadUntil("ready", deadline)) Die("kelpconf never wrote ready");
  if (!kelpconf.ReadUntil("title 204 \"Kelpset Tool ( Inherit and Install ) - Installing...\"", deadline))
    Die("the inherit installation did not start");
  const auto start = SteadyClock::now();
  if (!kelpconf.ReadUntil("title 204 \"Kelpset Tool ( Inherit and Install ) - Finished\"", deadline))
    Die("the inherit installation did not finish");
  const double wallMs = Ms(SteadyClock::now() - start).count();
  if (kelpconf.Wait(deadline) != 0) Die("kelpconf did not close cleanly");
  unsetenv("KELP_UI_SCRIPT");
  agents.Terminate();
  agents.Wait(SteadyClock::now() + kRunLimit);

  // Logical waits: installer and boot of the first board, then of the others together; a second
  // before each further board and before each product of the last board.
  const corvid::sim::Durations& d = unit.durations;
  const double waitMs = (2.0 * static_cast<double>(d.installMs + d.bootMs) + (3 + 2) * 1000.0) * kInstallScale;
  const double ownMs = wallMs - waitMs;
  std::printf("\ninherit installation, 4 boards, NAS OS 64 MiB + 2 x 16 MiB products, time scale %.2f\n", kInstallScale);
  std::printf("%-30s %9.2f ms\n", "wall time", wallMs);
  std::printf("%-30s %9.2f ms  (%4.1f%% of the wall time)\n", "  waiting on simulated time", waitMs,
              100.0 * waitMs / wallMs);
  std::printf("%-30s %9.2f ms  (%4.1f%%)\n", "  own work and transfers", ownMs, 100.0 * ownMs / wallMs);
  std::printf("%-30s %9.1f MiB/s over the wall time (%llu MiB served by kelpftpd)\n", "kelpftpd bytes served",
              static_cast<double>(servedBytes) / kMiB / (wallMs / 1000.0),
              static_cast<unsigned long long>(servedBytes / kMiB));
}

}  // namespace

int main() {
  const fs::path root = fs::temp_directory_path() / ("kelpconf_bench." + std::to_string(getpid()));
  fs::create_directories(root / "run");
  fs::create_directories(root / "log");
  setenv("KELP_SYSTEM_ROOT", root.c_str(), 1);
  setenv("KELP_RUNTIME_DIR", (root / "run").c_str(), 1);
  unsetenv("KELP_TIME_SCALE");

  std::string error;
  if (!corvid::sim::CreateUnit(corvid::sim::PresetUnit(kUnit, corvid::sim::Model::ZQH, 4), true, &error))
    Die("cannot create the unit: " + error);
  for (int k = 0; k < 4; ++k)
    if (!corvid::sim::SetBoardStatus(kUnit, k, nas::kStatusOsUp, &error)) Die("cannot start a board: " + error);

  const std::uint16_t agentPort = plat::FreeLoopbackPort();
  const fs::path settings = root / "kelpconf.ini";
  std::ofstream(settings) << "[MainService]\nTraceDir=" << (root / "log").string() << "\nPort=" << agentPort
                          << "\nkelpftpd_path=" << KELPFTPD_PATH << "\n[FtpService]\nPort=" << plat::FreeLoopbackPort()
                          << "\nTraceDir=" << (root / "log").string() << "\n";
  const fs::path script = root / "script.txt";
  std::ofstream(script) << "wait-transcript \"^ready$\" 30\nclose\n";

  Child agents({KELP_AGENTSIM_PATH, "-u", kUnit, "--port", std::to_string(agentPort)});
  if (!agents.ReadUntil("ready", SteadyClock::now() + kRunLimit)) Die("kelp-agentsim did not get ready");

  std::printf("kelpconf on a simulated ZQH unit, 4 boards OS UP with their agents, loopback, unscaled time\n");
  std::printf("start-up: median of %d runs; status check: median of %d checks\n", kStartRuns, kCheckRuns);

  const double helpMs = MedianOf(kStartRuns, [] { return ExecToExitMs({KELPCONF_PATH, "--help"}); });
  setenv("KELP_UI", "headless", 1);
  setenv("KELP_UI_SCRIPT", script.c_str(), 1);
  const double startMs = MedianOf(kStartRuns, [&] {
    return StartUpMs({KELPCONF_PATH, "-h", kUnit, "-s", settings.string()});
  });
  unsetenv("KELP_UI_SCRIPT");

  const std::unique_ptr<session::ArraySession> pSession = OpenSession(settings);
  board::ArrayTables& array = pSession->Array();
  const std::vector<std::uint32_t> slots = array.ModelSlots();
  const double checkMs = MedianOf(kCheckRuns, [&] {
    return TimedMs([&] {
      array.GetMPStatus();
      array.GetChnStatusKestrel(1);
      for (const std::uint32_t slot : slots) pSession->Board(slot)->SetChnStatusKestrel();
    });
  });
  for (const std::uint32_t slot : slots)
    if (pSession->Board(slot)->GetStatus() != board::CHN_STATUS_UP) Die("board " + std::to_string(slot) + " is not ACTIVE");
  const double bareMs = MedianOf(kCheckRuns, [] {
    return TimedMs([] {
      VEL_CURENTSTATE state{};
      std::uint32_t ulError = 0;
      dsvp_NasGetCurrentStatus(&state, &ulError);
    });
  });

  Row("exec to \"ready\" (headless)", startMs, kStartAimMs, "baseline: exec to exit of --help", helpMs);
  Row("one status check, 4 boards", checkMs, kCheckAimMs, "baseline: dsvp_NasGetCurrentStatus", bareMs);

  agents.Terminate();
  agents.Wait(SteadyClock::now() + kRunLimit);
  InheritInstallFigure(root);
  fs::remove_all(root);
  return 0;
}
