// VELAPI call rate: dsvp_NasGetCurrentStatus against the raw array read it wraps
// (ZQ_ModeSenseonMemory + ZQ_FreeMemory of the same page) on one simulated unit, in the same run;
// once without and once with the debug flag file "velapi.dbg" in the current folder.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "corvid.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "velapi.h"

namespace fs = std::filesystem;
using SteadyClock = std::chrono::steady_clock;

namespace {

constexpr const char* kUnit = "BENCH";
constexpr std::chrono::milliseconds kRunTime{1500};

// Calls per second of body over kRunTime (after a short warm-up); body returns false on failure.
double Rate(const std::function<bool()>& body) {
  for (int i = 0; i < 100; ++i) body();
  long calls = 0;
  const auto start = SteadyClock::now();
  auto now = start;
  while (now - start < kRunTime) {
    for (int i = 0; i < 64; ++i, ++calls)
      if (!body()) {
        std::fprintf(stderr, "velapi_bench: a call failed\n");
        std::exit(1);
      }
    now = SteadyClock::now();
  }
  return static_cast<double>(calls) / std::chrono::duration<double>(now - start).count();
}

bool RawSense() {
  unsigned char* buffer = nullptr;
  int size = 0;
  if (ZQ_ModeSenseonMemory(kUnit, corvid::pages::kNasPage, corvid::pages::kA3Config, -1, &buffer, &size) != 0)
    return false;
  ZQ_FreeMemory(buffer);
  return true;
}

bool ApiStatus() {
  VEL_CURENTSTATE state{};
  std::uint32_t ulErr = 0;
  return dsvp_NasGetCurrentStatus(&state, &ulErr) == TRUE;
}

void Row(const char* label, double api, double raw) {
  std::printf("%-28s %12.0f %12.0f %8.2f\n", label, api, raw, api / raw);
}

}  // namespace

int main() {
  const fs::path root = fs::temp_directory_path() / ("velapi_bench." + std::to_string(getpid()));
  fs::create_directories(root / "run");
  setenv("KELP_SYSTEM_ROOT", root.c_str(), 1);
  setenv("KELP_RUNTIME_DIR", (root / "run").c_str(), 1);
  fs::current_path(root);

  std::string error;
  if (!corvid::sim::CreateUnit(corvid::sim::PresetUnit(kUnit, corvid::sim::Model::ZQH, 4), true, &error)) {
    std::fprintf(stderr, "velapi_bench: cannot create the unit: %s\n", error.c_str());
    return 1;
  }
  std::uint32_t ulErr = 0;
  if (!dsvp_SetArrayUnitName(kUnit, &ulErr)) {
    std::fprintf(stderr, "velapi_bench: dsvp_SetArrayUnitName failed: 0x%08x\n", ulErr);
    return 1;
  }

  std::printf("calls per second on one simulated ZQH unit (%lld ms per figure)\n",
              static_cast<long long>(kRunTime.count()));
  std::printf("%-28s %12s %12s %8s\n", "", "VELAPI", "raw sense", "ratio");
  const double raw = Rate(RawSense);
  Row("without velapi.dbg", Rate(ApiStatus), raw);
  std::ofstream(root / "velapi.dbg").put('\n');
  const double rawDbg = Rate(RawSense);
  Row("with velapi.dbg", Rate(ApiStatus), rawDbg);

  fs::current_path("/");
  fs::remove_all(root);
  return 0;
}
