// What the corvid suites share: a private system root with one unit whose simulated time moves
// only through AdvanceTime, and page access exactly as VELAPI does it (sense, change, select).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "TestEnv.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"

namespace corvidtest {

inline constexpr char kUnit[] = "T1";

// Short, distinct durations, so that every phase boundary is a round number.
corvid::sim::Durations TestDurations();

// A private root and runtime dir, real time stopped for the simulator, and the unit kUnit made
// from scenario (a four-board ZQH with TestDurations by default).
class SimEnv {
 public:
  SimEnv();
  explicit SimEnv(const corvid::sim::UnitSpec& scenario);
  ~SimEnv();
  const kelptest::IsolatedEnv& env() const { return m_env; }

 private:
  kelptest::IsolatedEnv m_env;
};

corvid::sim::UnitSpec TestSpec(corvid::sim::Model model = corvid::sim::Model::ZQH, int boards = 4,
                               bool fresh = false);

// Senses a page of kUnit; fails the test unless the call succeeds.
std::vector<std::uint8_t> Sense(int page, int subPage);
std::vector<std::uint8_t> Nas(int subPage);
// Senses a command page, addresses board k, lets edit change the image, selects it back.
int Command(int subPage, int k, const std::function<void(std::vector<std::uint8_t>&)>& edit = {});
int Power(int k, std::uint32_t option, const std::string& bootOption = "");

void Advance(std::int64_t ms);

std::uint32_t BE32(const std::vector<std::uint8_t>& image, std::size_t offset);
std::uint32_t LE32(const std::vector<std::uint8_t>& image, std::size_t offset);
void SetBE32(std::vector<std::uint8_t>& image, std::size_t offset, std::uint32_t value);

// What the setup tool reads about board k.
struct Seen {
  std::uint16_t status;
  std::uint8_t a8;
  std::uint32_t install;
  std::uint8_t hibStat;
  std::uint32_t netBoot;
  std::uint32_t dump;
  std::uint32_t download;
  std::string file;
};
Seen Look(int k);

}  // namespace corvidtest
