// Trace throughput: lines per second at the normal mask (one thread, four threads, two
// processes; 1 MB rotation, 2 generations) and the cost of a line the mask rejects, through a
// scope and through the free function. The same workload through spdlog's rotating file sink,
// flushed on every line, is the baseline.
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/TraceLine.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kLines = 200000;
constexpr int kRejected = 20000000;
const std::string kText = "CusrCHN::GetStatus slot 3 status word 0x00000002 NAS OS is running, refresh done";

int Revision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t*) {
  std::snprintf(cRev, 16, "7.00");
  std::snprintf(ciRev, 16, "20060905.01");
  std::snprintf(cCopyright, 40, "Copyright (C) Kelpset Project");
  return 1;
}

double Seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// Runs body in nThreads threads, each writing lines/nThreads lines; returns lines per second.
double RunThreads(int nThreads, const std::function<void(int)>& body) {
  const auto start = Clock::now();
  std::vector<std::thread> threads;
  for (int t = 0; t < nThreads; ++t) threads.emplace_back(body, kLines / nThreads);
  for (auto& th : threads) th.join();
  return kLines / Seconds(start);
}

// Runs body in nProcesses forked processes, each writing lines/nProcesses lines.
double RunProcesses(int nProcesses, const std::function<void(int, int)>& body) {
  const auto start = Clock::now();
  std::vector<pid_t> pids;
  for (int p = 0; p < nProcesses; ++p) {
    const pid_t pid = fork();
    if (pid == 0) {
      body(p, kLines / nProcesses);
      _exit(0);
    }
    pids.push_back(pid);
  }
  for (pid_t pid : pids) waitpid(pid, nullptr, 0);
  return kLines / Seconds(start);
}

struct Kelp {
  explicit Kelp(const fs::path& dir) : m_dir(dir) { fs::create_directories(dir); }
  ~Kelp() { Stop(); }
  void Start() {
    m_trace.Open(m_dir.string(), "kelpconf", 1, 2, nullptr);
    SetTrace(&m_trace, TRC_MASK_NORMAL);
  }
  void Stop() {
    SetTrace(nullptr, 0);
    m_trace.Close();
  }
  static void Lines(int n) {
    CusrTraceScope scope("CusrStatusAgent", "Refresh", TRC_FUNC);
    for (int i = 0; i < n; ++i) scope.Info(kText, TRC_INFO);
  }
  fs::path m_dir;
  CusrTrace m_trace;
};

std::shared_ptr<spdlog::logger> SpdLogger(const fs::path& dir, const std::string& name) {
  fs::create_directories(dir);
  auto sink = std::make_shared<spdlog::sinks::rotating_file_sink_mt>((dir / (name + ".log")).string(), 1 << 20, 2);
  auto logger = std::make_shared<spdlog::logger>(name, sink);
  logger->set_pattern("%Y/%m/%d %H:%M:%S.%e %P %t info_ %v");
  logger->set_level(spdlog::level::info);
  logger->flush_on(spdlog::level::trace);
  return logger;
}

void SpdLines(spdlog::logger& logger, int n) {
  for (int i = 0; i < n; ++i) logger.info(kText);
}

void Row(const char* what, double kelp, double base, const char* unit) {
  std::printf("%-34s %14.0f %14.0f %8.2f  %s\n", what, kelp, base, kelp / base, unit);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::printf("Usage: trace_bench\nPrints trace throughput and rejected-line cost against spdlog.\n");
    return std::strcmp(argv[1], "--help") == 0 ? 0 : 2;
  }
  char tmpl[] = "/tmp/trace_bench-XXXXXX";
  if (mkdtemp(tmpl) == nullptr) return 1;
  const fs::path root = tmpl;
  setenv("KELP_RUNTIME_DIR", (root / "run").c_str(), 1);
  SetTraceRevisionProvider(&Revision);

  std::printf("%d lines of %zu characters, 1 MB rotation, 2 generations, flushed per line\n", kLines, kText.size());
  std::printf("%-34s %14s %14s %8s\n", "", "kelp", "spdlog", "ratio");

  double kelp1, kelp4, kelp2p, spd1, spd4, spd2p;
  {
    Kelp k(root / "k1");
    k.Start();
    kelp1 = RunThreads(1, Kelp::Lines);
    k.Stop();
    auto logger = SpdLogger(root / "s1", "s1");
    spd1 = RunThreads(1, [&](int n) { SpdLines(*logger, n); });
  }
  Row("lines/s, 1 thread", kelp1, spd1, "");
  {
    Kelp k(root / "k4");
    k.Start();
    kelp4 = RunThreads(4, Kelp::Lines);
    k.Stop();
    auto logger = SpdLogger(root / "s4", "s4");
    spd4 = RunThreads(4, [&](int n) { SpdLines(*logger, n); });
  }
  Row("lines/s, 4 threads", kelp4, spd4, "");
  {
    kelp2p = RunProcesses(2, [&](int, int n) {
      Kelp k(root / "k2p");
      k.Start();
      Kelp::Lines(n);
    });
    // spdlog cannot share one rotating file between processes: each writes its own.
    spd2p = RunProcesses(2, [&](int p, int n) {
      auto logger = SpdLogger(root / "s2p", "s2p-" + std::to_string(p));
      SpdLines(*logger, n);
    });
  }
  Row("lines/s, 2 processes", kelp2p, spd2p, "(spdlog: one file each)");

  double kelpNs, kelpFreeNs, spdNs;
  {
    Kelp k(root / "kr");
    k.Start();
    CusrTraceScope scope("Bench", "Rejected", TRC_FUNC);
    auto start = Clock::now();
    for (int i = 0; i < kRejected; ++i) scope.Debug(kText, TRC_DEBUG);
    kelpNs = Seconds(start) * 1e9 / kRejected;
    start = Clock::now();
    for (int i = 0; i < kRejected; ++i) common::TraceLine(TRC_DEBUG, kText);
    kelpFreeNs = Seconds(start) * 1e9 / kRejected;
    k.Stop();
    auto logger = SpdLogger(root / "sr", "sr");
    start = Clock::now();
    for (int i = 0; i < kRejected; ++i) logger->debug(kText);
    spdNs = Seconds(start) * 1e9 / kRejected;
  }
  std::printf("%-34s %14.2f %14.2f %8.2f  ns (lower is better)\n", "rejected line", kelpNs, spdNs, kelpNs / spdNs);
  std::printf("%-34s %14.2f %14.2f %8.2f  ns (lower is better)\n", "rejected line, free function", kelpFreeNs, spdNs,
              kelpFreeNs / spdNs);

  fs::remove_all(root);
  return 0;
}
