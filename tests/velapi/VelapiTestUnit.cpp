#include "VelapiTestUnit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "TestEnv.h"
#include "corvid.h"
#include "velapi.h"

namespace veltest {
namespace {

namespace pages = corvid::pages;

struct SharedUnit {
  kelptest::IsolatedEnv env;
  bool bSelected = false;

  SharedUnit() {
    std::string error;
    if (!corvid::sim::CreateUnit(DefaultSpec(), true, &error)) return;
    std::uint32_t ulErr = 0;
    bSelected = dsvp_SetArrayUnitName(kUnit, &ulErr) == TRUE;
  }
};

SharedUnit& Shared() {
  static SharedUnit unit;
  return unit;
}

}  // namespace

const std::filesystem::path& SharedSystemRoot() { return Shared().env.systemRoot(); }

corvid::sim::UnitSpec DefaultSpec() {
  return corvid::sim::PresetUnit(kUnit, corvid::sim::Model::ZQH, 4);
}

void ResetUnit(const corvid::sim::UnitSpec& scenario) {
  if (!Shared().bSelected) {
    ADD_FAILURE() << "the test unit could not be selected in VELAPI";
    return;
  }
  corvid::sim::UnitSpec copy = scenario;
  copy.name = kUnit;
  std::string error;
  if (!corvid::sim::CreateUnit(copy, true, &error)) ADD_FAILURE() << "CreateUnit: " << error;
  if (!corvid::sim::ClearFaults(kUnit, &error)) ADD_FAILURE() << "ClearFaults: " << error;
}

void Poke(int subPage, std::size_t offset, const std::vector<std::uint8_t>& bytes) {
  std::string error;
  if (!corvid::sim::PokePage(kUnit, pages::kNasPage, subPage, offset, bytes, &error))
    ADD_FAILURE() << "PokePage: " << error;
}

void Shorten(int subPage, std::size_t size) {
  std::string error;
  if (!corvid::sim::ShortenPage(kUnit, pages::kNasPage, subPage, size, &error))
    ADD_FAILURE() << "ShortenPage: " << error;
}

void InjectFault(const std::string& op, int page, int subPage, int count, std::uint32_t code) {
  std::string error;
  if (!corvid::sim::InjectCallFault(kUnit, op, page, subPage, count, code, &error))
    ADD_FAILURE() << "InjectCallFault: " << error;
}

std::vector<std::uint8_t> Sense(int subPage) {
  unsigned char* pBuf = nullptr;
  int nSize = 0;
  if (ZQ_ModeSenseonMemory(kUnit, pages::kNasPage, subPage, -1, &pBuf, &nSize) != 0) {
    ADD_FAILURE() << "sense of sub-page " << subPage << " failed";
    return {};
  }
  std::vector<std::uint8_t> image(pBuf, pBuf + nSize);
  ZQ_FreeMemory(pBuf);
  return image;
}

std::vector<std::uint8_t> Selected(int subPage) {
  std::vector<std::uint8_t> image;
  std::string error;
  if (!corvid::sim::LastSelected(kUnit, pages::kNasPage, subPage, &image, &error))
    ADD_FAILURE() << "LastSelected: " << error;
  return image;
}

LogTail::LogTail() : m_file(SharedSystemRoot() / "log" / "velapilog.log") {
  std::error_code ec;
  const std::uintmax_t size = std::filesystem::file_size(m_file, ec);
  m_start = ec ? 0 : size;
}

std::vector<std::string> LogTail::Lines() const {
  const std::string text = kelptest::ReadFile(m_file);
  std::vector<std::string> lines;
  if (m_start >= text.size()) return lines;
  std::istringstream in(text.substr(m_start));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool LogTail::Has(const std::string& line) const {
  const std::vector<std::string> lines = Lines();
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

void ExpectInvalidParameters(const std::vector<InvalidParameterCase>& cases) {
  for (const auto& [pszLine, call] : cases) {
    LogTail log;
    std::uint32_t ulErr = 0;
    EXPECT_FALSE(call(&ulErr)) << pszLine;
    EXPECT_EQ(ulErr, VEL_ERR_INVALID_PARAM) << pszLine;
    EXPECT_TRUE(log.Has(pszLine)) << pszLine;
  }
}

}  // namespace veltest
