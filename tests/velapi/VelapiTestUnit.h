// What the VELAPI suites share: one simulated unit under a private system root, selected once
// per test process (the library keeps the unit name for the life of the process) and reset to
// a scenario before each test; page access on it; the lines the library logged since a point.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "corvid/NasPages.h"
#include "corvid/Sim.h"
#include "velapi.h"

namespace veltest {

inline constexpr char kUnit[] = "VELTEST";

// The private system root; the first call creates it and the unit and selects the unit.
const std::filesystem::path& SharedSystemRoot();
// A ZQH unit with four NAS boards.
corvid::sim::UnitSpec DefaultSpec();
// Rewrites the unit with scenario (named kUnit) and clears every injected fault.
void ResetUnit(const corvid::sim::UnitSpec& scenario);

// NAS page access on the unit; a refusal fails the current test.
void Poke(int subPage, std::size_t offset, const std::vector<std::uint8_t>& bytes);
// Cuts the sensed images of a sub-page to their first size bytes.
void Shorten(int subPage, std::size_t size);
void InjectFault(const std::string& op, int page, int subPage, int count, std::uint32_t code);
std::vector<std::uint8_t> Sense(int subPage);
std::vector<std::uint8_t> Selected(int subPage);

// Names a parameterised case after its pszName.
template <class Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  return info.param.pszName;
}

// The lines of "velapilog" written after construction.
class LogTail {
 public:
  LogTail();
  std::vector<std::string> Lines() const;
  bool Has(const std::string& line) const;

 private:
  std::filesystem::path m_file;
  std::uintmax_t m_start = 0;
};

// One argument check: the "Invalid Parameter" line it must log, and the call that breaks it.
using InvalidParameterCase = std::pair<const char*, std::function<BOOL(std::uint32_t*)>>;
// Each call must fail with VEL_ERR_INVALID_PARAM and log its line.
void ExpectInvalidParameters(const std::vector<InvalidParameterCase>& cases);

}  // namespace veltest
