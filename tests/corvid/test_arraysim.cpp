// kelp-arraysim as a user runs it: exit statuses, what each command changes, what it prints.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "CorvidTestUtil.h"
#include "corvid.h"

namespace {

using namespace corvidtest;
namespace pg = corvid::pages;
namespace sim = corvid::sim;

struct Outcome {
  int status;
  std::string output;  // stdout and stderr
};

// Runs the program with the given arguments (plain words, no shell quoting needed).
Outcome Arraysim(const std::string& args) {
  const std::string command = std::string(ARRAYSIM_PROGRAM) + " " + args + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, ""};
  Outcome run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

struct CommandCase {
  const char* name;
  const char* args;
  int status;
};

class ExitStatus : public testing::TestWithParam<CommandCase> {};

TEST_P(ExitStatus, TellsSuccessFailureAndUsage) {
  kelptest::IsolatedEnv env;
  ASSERT_EQ(Arraysim("create U --model ZQH --boards 4").status, 0);
  const Outcome run = Arraysim(GetParam().args);
  EXPECT_EQ(run.status, GetParam().status) << run.output;
  if (run.status != 0) {
    EXPECT_NE(run.output.find("kelp-arraysim: "), std::string::npos) << run.output;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Commands, ExitStatus,
    testing::Values(CommandCase{"CreateExisting", "create U --model ZQH --boards 4", 1},
                    CommandCase{"CreateReplace", "create U --model ZQS --boards 2 --fresh --replace", 0},
                    CommandCase{"CreateNasType", "create U --model ZQH --boards 4 --nas-type 2 --replace", 0},
                    CommandCase{"CreateBadNasType", "create U --model ZQH --boards 4 --nas-type 300", 2},
                    CommandCase{"FromWithNasType", "create U --from x.ini --nas-type 2", 2},
                    CommandCase{"TooManyBoards", "create V --model ZQS --boards 3", 2},
                    CommandCase{"UnknownModel", "create V --model ZQQ --boards 1", 2},
                    CommandCase{"CreateWithoutModel", "create V --boards 1", 2},
                    CommandCase{"MissingScenarioFile", "create V --from /nonexistent/u.ini", 1},
                    CommandCase{"ShowMissingUnit", "show V", 1}, CommandCase{"SetByName", "set U 1 status up", 0},
                    CommandCase{"SetBadBoard", "set U 4 status up", 2}, CommandCase{"SetBadWord", "set U 1 status sideways", 2},
                    CommandCase{"SetByNumber", "set U 1 status 3", 0},
                    CommandCase{"CallFault", "fault U call ModeSense 62 0xA3 2 0x1002", 0},
                    CommandCase{"CallFaultBadOp", "fault U call Frob 62 0xA3 2 0x1002", 1},
                    CommandCase{"BoardFault", "fault U board 2 stall 1", 0},
                    CommandCase{"BoardFaultBadKind", "fault U board 2 wobble 1", 2},
                    CommandCase{"Clear", "fault U clear", 0}, CommandCase{"Advance", "advance U 1000", 0},
                    CommandCase{"AdvanceBackwards", "advance U -5", 2}, CommandCase{"Delete", "delete U", 0},
                    CommandCase{"DeleteMissing", "delete V", 1}, CommandCase{"NoCommand", "", 2},
                    CommandCase{"UnknownCommand", "frob", 2}),
    [](const testing::TestParamInfo<CommandCase>& c) { return c.param.name; });

TEST(Arraysim, CommandsChangeTheUnit) {
  kelptest::IsolatedEnv env;
  sim::SetTimeScale(1e12);
  ASSERT_EQ(Arraysim("create U --model ZQH --boards 2").status, 0);
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates("U", &states));
  ASSERT_EQ(states.size(), 2u);
  EXPECT_EQ(states[1].k, 2);

  ASSERT_EQ(Arraysim("set U 2 status 0x7").status, 0);
  ASSERT_EQ(Arraysim("fault U board 0 mpstatus 0x1001").status, 0);
  ASSERT_TRUE(sim::GetBoardStates("U", &states));
  EXPECT_EQ(states[1].status, pg::kStatusPanic);
  EXPECT_EQ(states[0].mpStatus, pg::kMpBlockade);

  ASSERT_EQ(Arraysim("fault U call GetUnitParam -1 -1 1 0x40000").status, 0);
  ZQ_UNIT_PARAM param{};
  EXPECT_EQ(ZQ_GetUnitParam("U", &param), 0x40000);
  EXPECT_EQ(ZQ_GetUnitParam("U", &param), 0);

  const Outcome show = Arraysim("show U");
  EXPECT_EQ(show.status, 0);
  for (const char* text : {"model        ZQH (0x1703)", "board K=2 CTL1-0 (slot 8)", "status 7 (PANIC)", "MP 0x1001",
                           "IP 127.0.0.18", "AA           status 0x0000FFFF"})
    EXPECT_NE(show.output.find(text), std::string::npos) << text << "\n" << show.output;
  sim::SetTimeScale(1.0);
}

TEST(Arraysim, CreatesFromAScenarioFileAndLists) {
  kelptest::IsolatedEnv env;
  kelptest::TempDir dir;
  kelptest::WriteFile(dir / "unit.ini", "[Unit]\nModel=ZQM\nSerial=87654321\n[Board0]\nStatus=2\n");
  ASSERT_EQ(Arraysim("create FROMFILE --from " + (dir / "unit.ini").string()).status, 0);
  ASSERT_EQ(Arraysim("create B --model ZQXS --boards 1").status, 0);
  EXPECT_EQ(Arraysim("list").output, "B\nFROMFILE\n");
  sim::UnitSpec scenario;
  ASSERT_TRUE(sim::LoadUnitSpec("FROMFILE", &scenario));
  EXPECT_EQ(scenario.serial, "87654321");
  EXPECT_EQ(scenario.model, sim::Model::ZQM);
}

TEST(Arraysim, HelpExplainsEveryCommandAndTheEnvironment) {
  const Outcome run = Arraysim("--help");
  EXPECT_EQ(run.status, 0);
  for (const char* word : {"create UNIT --model", "--from FILE.ini", "show UNIT", "set UNIT K status WORD",
                           "fault UNIT call", "fault UNIT board", "fault UNIT clear", "advance UNIT MS", "list",
                           "delete UNIT", "KELP_SYSTEM_ROOT", "KELP_TIME_SCALE"})
    EXPECT_NE(run.output.find(word), std::string::npos) << word;
}

}  // namespace
