// The unit name is process-wide and set once, so every scenario here runs in a child process
// forked from a test process that never sets it: each starts with the name empty. A scenario
// ends with exit() so that a sanitizer's findings still turn into a failing exit status.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "TestEnv.h"
#include "corvid/Sim.h"
#include "velapi.h"

namespace {

using corvid::sim::Model;

class VelapiUnitName : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(corvid::sim::CreateUnit(corvid::sim::PresetUnit("U1", Model::ZQH, 4), true));
    ASSERT_TRUE(corvid::sim::CreateUnit(corvid::sim::PresetUnit("U2", Model::ZQS, 2), true));
  }

  std::filesystem::path LogFile() const { return m_env.systemRoot() / "log" / "velapilog.log"; }

  kelptest::IsolatedEnv m_env;
};

bool Logged(const std::filesystem::path& log, const std::string& line) {
  return ("\n" + kelptest::ReadFile(log)).find("\n" + line + "\n") != std::string::npos;
}

// Ends the child: status 0 when every requirement held, else 1 with the first failure on stderr.
void Require(bool bHolds, const char* pszWhat) {
  if (bHolds) return;
  std::fprintf(stderr, "requirement failed: %s\n", pszWhat);
  std::_Exit(1);
}

std::uint32_t Model16() {
  std::uint32_t ulModel = 0, ulErr = 0;
  Require(dsvp_GetDkcModelType(&ulModel, &ulErr) == TRUE, "model readable");
  return ulModel;
}

bool IsArrayCode(std::uint32_t ulErr) {
  return (ulErr & 0xFF000000u) == VEL_ERR_ARRAY_BIT24 || (ulErr & 0xFF000000u) == VEL_ERR_ARRAY;
}

void CallsBeforeTheNameIsSetFailWithTheArrayCode() {
  std::uint32_t ulModel = 0, ulErr = 0;
  Require(dsvp_GetDkcModelType(&ulModel, &ulErr) == FALSE, "model call fails");
  Require(IsArrayCode(ulErr), "error is a converted array code");
  std::exit(0);
}

void SecondSetFailsEvenWithTheSameNameAndKeepsTheFirst(const std::filesystem::path& log) {
  std::uint32_t ulErr = 0xDEAD;
  Require(dsvp_SetArrayUnitName("U1", &ulErr) == TRUE && ulErr == 0, "first set");
  Require(Logged(log, "ArrayUnitName ->U1"), "stored name logged");
  Require(dsvp_SetArrayUnitName("U1", &ulErr) == FALSE, "same name again refused");
  Require(ulErr == VEL_ERR_UNIT_NAME_SET, "error 9 for the same name");
  Require(Logged(log, "Preconfigured ArrayUnitName=NULL"), "refusal logged");
  Require(dsvp_SetArrayUnitName("U2", &ulErr) == FALSE, "other name refused");
  Require(ulErr == VEL_ERR_UNIT_NAME_SET, "error 9 for another name");
  Require(Model16() == 0x1703, "calls still address U1");
  std::exit(0);
}

void RejectedNamesAreNotStored(const std::filesystem::path& log) {
  std::uint32_t ulErr = 0;
  Require(dsvp_SetArrayUnitName(nullptr, &ulErr) == FALSE, "null refused");
  Require(ulErr == VEL_ERR_INVALID_PARAM && Logged(log, "unitname -> NULL"), "null is error 1");
  Require(dsvp_SetArrayUnitName(std::string(65, 'U').c_str(), &ulErr) == FALSE, "65 refused");
  Require(ulErr == VEL_ERR_INVALID_PARAM, "overlong name is error 1");
  Require(dsvp_SetArrayUnitName("NOSUCH", &ulErr) == FALSE, "unknown unit refused");
  Require(IsArrayCode(ulErr), "error is the converted array code");
  Require(!Logged(log, "ArrayUnitName ->NOSUCH"), "unknown name not stored");
  Require(dsvp_SetArrayUnitName("U2", &ulErr) == TRUE && ulErr == 0, "good name accepted");
  Require(Model16() == 0x1700, "calls address U2");
  std::exit(0);
}

void ConcurrentSettersStoreExactlyOneName() {
  constexpr int kThreads = 8;
  std::atomic<int> nWinners{0}, nRefused{0}, nWinner{-1};
  std::atomic<bool> bGo{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      while (!bGo.load()) std::this_thread::yield();
      std::uint32_t ulErr = 0;
      if (dsvp_SetArrayUnitName(i % 2 == 0 ? "U1" : "U2", &ulErr) == TRUE) {
        ++nWinners;
        nWinner = i;
      } else if (ulErr == VEL_ERR_UNIT_NAME_SET) {
        ++nRefused;
      }
    });
  bGo = true;
  for (std::thread& t : threads) t.join();
  Require(nWinners == 1, "exactly one setter wins");
  Require(nRefused == kThreads - 1, "every other setter gets error 9");
  Require(Model16() == (nWinner % 2 == 0 ? 0x1703u : 0x1700u), "the winner's unit is used");
  std::exit(0);
}

TEST_F(VelapiUnitName, CallsBeforeTheNameIsSetFailWithTheArrayCode) {
  EXPECT_EXIT(CallsBeforeTheNameIsSetFailWithTheArrayCode(), ::testing::ExitedWithCode(0), "");
}

TEST_F(VelapiUnitName, SecondSetFailsEvenWithTheSameNameAndKeepsTheFirst) {
  EXPECT_EXIT(SecondSetFailsEvenWithTheSameNameAndKeepsTheFirst(LogFile()),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(VelapiUnitName, RejectedNamesAreNotStored) {
  EXPECT_EXIT(RejectedNamesAreNotStored(LogFile()), ::testing::ExitedWithCode(0), "");
}

TEST_F(VelapiUnitName, ConcurrentSettersStoreExactlyOneName) {
  EXPECT_EXIT(ConcurrentSettersStoreExactlyOneName(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
