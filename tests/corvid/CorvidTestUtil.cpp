#include "CorvidTestUtil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "corvid.h"

namespace corvidtest {

namespace pg = corvid::pages;

corvid::sim::Durations TestDurations() {
  corvid::sim::Durations d;
  d.shutdownMs = 1000;
  d.bootMs = 2000;
  d.installMs = 17000;  // one progress word per second
  d.dumpMs = 3000;
  d.downloadMs = 4000;
  d.resetMs = 500;
  return d;
}

corvid::sim::UnitSpec TestSpec(corvid::sim::Model model, int boards, bool fresh) {
  corvid::sim::UnitSpec scenario = corvid::sim::PresetUnit(kUnit, model, boards, fresh);
  scenario.durations = TestDurations();
  return scenario;
}

SimEnv::SimEnv() : SimEnv(TestSpec()) {}

SimEnv::SimEnv(const corvid::sim::UnitSpec& scenario) {
  corvid::sim::SetTimeScale(1e12);
  std::string error;
  EXPECT_TRUE(corvid::sim::CreateUnit(scenario, false, &error)) << error;
}

SimEnv::~SimEnv() { corvid::sim::SetTimeScale(1.0); }

std::vector<std::uint8_t> Sense(int page, int subPage) {
  unsigned char* buffer = nullptr;
  int size = 0;
  const int rc = ZQ_ModeSenseonMemory(kUnit, page, subPage, -1, &buffer, &size);
  EXPECT_EQ(rc, 0) << std::hex << "sense " << page << "/" << subPage;
  if (rc != 0) return {};
  std::vector<std::uint8_t> image(buffer, buffer + size);
  EXPECT_EQ(ZQ_FreeMemory(buffer), 0);
  return image;
}

std::vector<std::uint8_t> Nas(int subPage) { return Sense(pg::kNasPage, subPage); }

int Command(int subPage, int k, const std::function<void(std::vector<std::uint8_t>&)>& edit) {
  std::vector<std::uint8_t> image = Nas(subPage);
  if (image.size() < pg::cmd::kSizeAddressOnly) return -1;
  image[pg::cmd::kCluster] = 0;
  image[pg::cmd::kCluster + 1] = static_cast<std::uint8_t>(k / 2);
  image[pg::cmd::kPcb] = 0;
  image[pg::cmd::kPcb + 1] = static_cast<std::uint8_t>(k % 2);
  if (edit) edit(image);
  return ZQ_ModeSelectonMemory(kUnit, pg::kNasPage, subPage, -1, image.data(), static_cast<int>(image.size()));
}

int Power(int k, std::uint32_t option, const std::string& bootOption) {
  return Command(pg::kA7Power, k, [&](std::vector<std::uint8_t>& image) {
    SetBE32(image, pg::a7::kOption, option);
    std::memset(image.data() + pg::a7::kBootOpt, 0, pg::a7::kBootOptMax + 1);
    std::memcpy(image.data() + pg::a7::kBootOpt, bootOption.data(), bootOption.size());
  });
}

void Advance(std::int64_t ms) {
  std::string error;
  ASSERT_TRUE(corvid::sim::AdvanceTime(kUnit, ms, &error)) << error;
}

std::uint32_t BE32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  if (offset + 4 > image.size()) return 0xDEADBEEF;
  return static_cast<std::uint32_t>(image[offset]) << 24 | static_cast<std::uint32_t>(image[offset + 1]) << 16 |
         static_cast<std::uint32_t>(image[offset + 2]) << 8 | image[offset + 3];
}

std::uint32_t LE32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  if (offset + 4 > image.size()) return 0xDEADBEEF;
  return static_cast<std::uint32_t>(image[offset + 3]) << 24 | static_cast<std::uint32_t>(image[offset + 2]) << 16 |
         static_cast<std::uint32_t>(image[offset + 1]) << 8 | image[offset];
}

void SetBE32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) image[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
}

Seen Look(int k) {
  const auto a3 = Nas(pg::kA3Config), a6 = Nas(pg::kA6Progress), a8 = Nas(pg::kA8Shutdown),
             aa = Nas(pg::kAADumpInfo), ac = Nas(pg::kACDownloadStatus);
  if (a3.empty() || a6.empty() || a8.empty() || aa.empty() || ac.empty()) return {};
  Seen s{};
  s.status = static_cast<std::uint16_t>(BE32(a3, pg::a3::Entry(k) + pg::a3::kStatus));
  s.a8 = a8[pg::a8::kStatus0 + static_cast<std::size_t>(k)];
  s.install = LE32(a6, pg::a6::Entry(k) + pg::a6::kInstallStatus);
  s.hibStat = a6[pg::a6::Entry(k) + pg::a6::kHibStat];
  s.netBoot = BE32(a6, pg::a6::Entry(k) + pg::a6::kNetBootResult);
  s.dump = BE32(aa, pg::aa::Entry(k) + pg::aa::kStatus);
  s.download = BE32(ac, pg::ac::Entry(k) + pg::ac::kStatus);
  const char* name = reinterpret_cast<const char*>(ac.data() + pg::ac::Entry(k) + pg::ac::kFileName);
  s.file.assign(name, strnlen(name, pg::ac::kFileNameSize));
  return s;
}

}  // namespace corvidtest
