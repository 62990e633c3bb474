// kelpftpd throughput: a 512 MiB product file from kelp-mkmedia, served from the page cache over
// loopback to 1 and to 16 concurrent clients at 64 KiB, 1 MiB and 8 MiB blocks, each client
// reading the whole file once. Baseline: the loopback limit measured with iperf3 in the same run
// (1 MiB writes, 16 streams in two processes). Prints aggregate MB/s, the server's CPU-seconds
// per GB, its peak memory, and each ratio to the limit.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "kelpftp/FtpClient.h"
#include "mkmedia/MediaWriter.h"
#include "plat/NamedMutex.h"
#include "plat/Process.h"
#include "plat/Socket.h"
#include "plat/SyncPipe.h"

namespace fs = std::filesystem;
using WallClock = std::chrono::steady_clock;

namespace {

constexpr std::uint64_t kFileSize = 512ull << 20;
constexpr const char* kFileName = "nasos.img";
constexpr plat::Millis kWait{30000};
constexpr int kIperfSeconds = 3;

struct Target {
  int clients;
  std::uint32_t block;
  double ratio;
};
constexpr Target kTargets[] = {{16, 1u << 20, 0.9}, {16, 8u << 20, 0.9}, {1, 1u << 20, 0.4}, {1, 64u << 10, 0.12}};

double Seconds(WallClock::time_point start) { return std::chrono::duration<double>(WallClock::now() - start).count(); }

std::string BlockText(std::uint32_t block) {
  return block >= (1u << 20) ? std::to_string(block >> 20) + " MiB" : std::to_string(block >> 10) + " KiB";
}

// utime + stime of a process, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const std::size_t close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string field;
  unsigned long long utime = 0, stime = 0;
  // After the name: state is field 3; utime and stime are fields 14 and 15.
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i == 14) utime = std::stoull(field);
    if (i == 15) stime = std::stoull(field);
  }
  return static_cast<double>(utime + stime) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// VmHWM of a process, in MiB.
double PeakMemoryMiB(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(in, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::strtod(line.c_str() + 6, nullptr) / 1024.0;
  return 0;
}

bool HaveIperf() { return std::system("command -v iperf3 >/dev/null 2>&1") == 0; }

// Whether something listens on 127.0.0.1:port, from the kernel's socket table.
bool IsListening(std::uint16_t port) {
  std::ifstream in("/proc/net/tcp");
  char local[32];
  std::snprintf(local, sizeof local, "0100007F:%04X", port);
  for (std::string line; std::getline(in, line);)
    if (line.find(local) != std::string::npos && line.find(" 0A ") != std::string::npos) return true;
  return false;
}

// The received rate of one iperf3 JSON report, in MB/s.
double IperfMBps(const std::string& json) {
  const std::size_t sum = json.find("\"sum_received\"");
  const std::size_t bps = sum == std::string::npos ? sum : json.find("\"bits_per_second\":", sum);
  if (bps == std::string::npos) return 0;
  return std::strtod(json.c_str() + bps + std::strlen("\"bits_per_second\":"), nullptr) / 8e6;
}

// The loopback limit: two iperf3 client processes of 8 streams each, 1 MiB writes.
std::optional<double> LoopbackLimit() {
  std::uint16_t ports[2] = {plat::FreeLoopbackPort(), plat::FreeLoopbackPort()};
  if (ports[1] == ports[0]) ports[1] = static_cast<std::uint16_t>(ports[0] + 1);
  plat::Process servers[2];
  for (int i = 0; i < 2; ++i)
    if (!servers[i].Start("iperf3", {"-s", "-1", "-B", "127.0.0.1", "-p", std::to_string(ports[i]), "--logfile",
                                     "/dev/null"}))
      return std::nullopt;
  for (int i = 0; i < 2; ++i) {
    const auto deadline = plat::Clock::Now() + plat::Millis(5000);
    while (!IsListening(ports[i]) && plat::Clock::Now() < deadline) plat::Clock::Sleep(plat::Millis(10));
  }
  FILE* clients[2];
  for (int i = 0; i < 2; ++i) {
    const std::string command = "iperf3 -c 127.0.0.1 -p " + std::to_string(ports[i]) + " -P 8 -l 1M -t " +
                                std::to_string(kIperfSeconds) + " -J 2>&1";
    clients[i] = ::popen(command.c_str(), "r");
  }
  double total = 0;
  for (FILE* client : clients) {
    if (client == nullptr) continue;
    std::string json;
    char chunk[4096];
    for (std::size_t n; (n = std::fread(chunk, 1, sizeof chunk, client)) > 0;) json.append(chunk, n);
    ::pclose(client);
    total += IperfMBps(json);
  }
  for (plat::Process& server : servers)
    if (!server.Wait(plat::Millis(5000))) server.Terminate(1, plat::Millis(1000));
  return total > 0 ? std::optional(total) : std::nullopt;
}

struct Result {
  int clients = 0;
  std::uint32_t block = 0;
  double mbps = 0;
  double cpuPerGB = 0;
  double peakMiB = 0;
  bool ok = false;
};

class Bench {
 public:
  explicit Bench(fs::path work) : m_work(std::move(work)) {}

  bool Prepare() {
    mkmedia::Media media;
    media.osVersion = "05-00-01-00";
    media.products = {{mkmedia::ProductKind::Os, "NAS OS", "05-00-01-00", "0501-0100", kFileName, kFileSize, "60"}};
    std::string error;
    const auto start = WallClock::now();
    if (!mkmedia::WriteMedia(m_work / "media", media, error) || !mkmedia::RegisterTftpRoot(m_work / "media", error)) {
      std::fprintf(stderr, "ftp_bench: %s\n", error.c_str());
      return false;
    }
    std::printf("medium: %s/media/MP/%s, %llu MiB, written in %.1f s\n", m_work.c_str(), kFileName,
                static_cast<unsigned long long>(kFileSize >> 20), Seconds(start));
    fs::create_directories(m_work / "trace");
    return m_setupTool.Lock(plat::Millis(0)) == plat::LockResult::Acquired;
  }

  Result Run(int clients, std::uint32_t block) {
    Result result{clients, block};
    const std::uint16_t port = plat::FreeLoopbackPort();
    const fs::path settings = m_work / "kelpconf.ini";
    std::ofstream(settings) << "[FtpService]\nPort=" << port << "\nTraceDir=" << (m_work / "trace").string()
                            << "\nTraceLevel=normal\n";
    plat::SyncPipe pipe;
    plat::Process server;
    std::string answer;
    if (pipe.Create() != plat::PipeStatus::Ok || !server.Start(KELPFTPD_PATH, {settings.string(), "127", "0", "0", "1"}) ||
        pipe.Accept(kWait) != plat::PipeStatus::Ok || pipe.Read(answer, 63, kWait) != plat::PipeStatus::Ok ||
        answer != "KELPFTPD OK") {
      std::fprintf(stderr, "ftp_bench: kelpftpd did not start (%s)\n", answer.c_str());
      return result;
    }
    pipe.Close();

    std::atomic<std::uint64_t> bytes{0};
    std::atomic<int> failures{0};
    const double cpuBefore = CpuSeconds(server.Pid());
    const auto start = WallClock::now();
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
      threads.emplace_back([&] {
        kelpftp::FtpClient client;
        kelpftp::ClientStatus status = client.Connect("127.0.0.1", port, kWait);
        std::uint64_t got = 0;
        if (status == kelpftp::ClientStatus::Ok)
          status = client.FetchFile(kFileName, block, [&](std::uint32_t, std::span<const std::uint8_t> data) {
            got += data.size();
            return true;
          });
        if (status == kelpftp::ClientStatus::Ok) status = client.End();
        if (status != kelpftp::ClientStatus::Ok) {
          std::fprintf(stderr, "ftp_bench: client: %s %s\n", kelpftp::ToText(status), client.Error().c_str());
          ++failures;
        }
        bytes += got;
      });
    }
    for (std::thread& t : threads) t.join();
    const double seconds = Seconds(start);
    const double cpu = CpuSeconds(server.Pid()) - cpuBefore;
    result.peakMiB = PeakMemoryMiB(server.Pid());
    server.Terminate(0, plat::Millis(2000));

    result.ok = failures == 0 && bytes == kFileSize * static_cast<std::uint64_t>(clients);
    result.mbps = static_cast<double>(bytes) / seconds / 1e6;
    result.cpuPerGB = cpu / (static_cast<double>(bytes) / 1e9);
    return result;
  }

 private:
  fs::path m_work;
  plat::NamedMutex m_setupTool{"kelpconf"};
};

}  // namespace

int main(int argc, char** argv) {
  if (argc > 1) {
    std::printf(
        "usage: ftp_bench\n\nServes a 512 MiB generated product file with kelpftpd over loopback to 1 and 16\n"
        "clients at 64 KiB, 1 MiB and 8 MiB blocks and compares with the iperf3 loopback limit\n"
        "(installed through scripts/bootstrap when missing). Needs about 600 MB in the temp folder.\n");
    return argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) ? 0 : 2;
  }
  std::string pattern = (fs::temp_directory_path() / "ftp_bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("ftp_bench: mkdtemp");
    return 1;
  }
  const fs::path work = pattern;
  // Pipe, mutex and C: of their own, so a running setup tool is never disturbed.
  ::setenv("KELP_RUNTIME_DIR", (work / "runtime").c_str(), 1);
  ::setenv("KELP_SYSTEM_ROOT", (work / "root").c_str(), 1);
  ::unsetenv("KELP_TIME_SCALE");
  fs::create_directories(work / "root");

  if (!HaveIperf()) std::system(KELP_SOURCE_DIR "/scripts/bootstrap");
  std::optional<double> limit;
  if (HaveIperf()) limit = LoopbackLimit();

  int code = 0;
  {
    Bench bench(work);
    if (!bench.Prepare()) {
      fs::remove_all(work);
      return 1;
    }
    if (limit)
      std::printf("loopback limit (iperf3, 1 MiB writes, 16 streams in 2 processes): %.0f MB/s\n", *limit);
    else
      std::printf("loopback limit: iperf3 unavailable, no ratios\n");

    std::printf("\n%-8s %-7s %10s %7s %16s %17s\n", "clients", "block", "MB/s", "ratio", "server CPU-s/GB",
                "peak server MiB");
    std::vector<Result> results;
    for (int clients : {1, 16}) {
      for (std::uint32_t block : {64u << 10, 1u << 20, 8u << 20}) {
        const Result r = bench.Run(clients, block);
        results.push_back(r);
        char ratio[16] = "-";
        if (limit) std::snprintf(ratio, sizeof ratio, "%.2fx", r.mbps / *limit);
        std::printf("%-8d %-7s %10.0f %7s %16.3f %17.1f%s\n", clients, BlockText(block).c_str(), r.mbps, ratio,
                    r.cpuPerGB, r.peakMiB, r.ok ? "" : "  (FAILED)");
        std::fflush(stdout);
        if (!r.ok) code = 1;
      }
    }
    if (limit) {
      std::printf("\ntargets:\n");
      for (const Target& t : kTargets) {
        for (const Result& r : results) {
          if (r.clients != t.clients || r.block != t.block) continue;
          const double ratio = r.mbps / *limit;
          std::printf("  %2d client%s at %-7s >= %.2fx: %.2fx %s\n", t.clients, t.clients == 1 ? " " : "s",
                      BlockText(t.block).c_str(), t.ratio, ratio, ratio >= t.ratio ? "met" : "MISSED");
        }
      }
    }
  }
  fs::remove_all(work);
  return code;
}
