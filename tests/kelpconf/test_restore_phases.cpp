// The pieces the LU recovery dialogs share, as tables: the status texts, which boards "Reboot
// all" takes and in which order, and the node check of the system LU recovery.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "board/BoardStatus.h"
#include "dialogs/CdlgRestoreNasSystemLu.h"
#include "dialogs/RestorePhases.h"

namespace {

using namespace recovery;
using namespace board;

TEST(RestorePhases, LuStatusTexts) {
  struct Row {
    std::uint32_t status;
    bool cluster;
    const char* text;
    bool known;
  };
  const Row rows[] = {
      {0, true, "Normal", true},
      {0, false, "Normal", true},
      {1, false, "Now saving...", true},
      {2, false, "Now restoring...", true},
      {3, true, "Now stopping the cluster...", true},
      {4, true, "Now removing the cluster...", true},
      {3, false, "Unknown", false},  // the NAS OS LU dialog has no cluster phases
      {4, false, "Unknown", false},
      {5, true, "Unknown", true},  // failed
      {6, true, "Unknown", false},
      {0xFFFFFFFF, false, "Unknown", false},
  };
  for (const Row& row : rows) {
    bool known = !row.known;
    EXPECT_EQ(LuStatusText(row.status, row.cluster, &known), row.text) << row.status << " " << row.cluster;
    EXPECT_EQ(known, row.known) << row.status << " " << row.cluster;
  }
  EXPECT_EQ(RebootingAllText(), "Now Rebooting all NAS OSs...");
}

TEST(RestorePhases, SystemLuStatusTexts) {
  const char* const texts[] = {"Unknown",
                               "Backup data does not exist",
                               "Now saving backup data...",
                               "Now uploading backup data...",
                               "Normal",
                               "Now expanding backup data...",
                               "Now restoring...",
                               "Failed",
                               "Now Rebooting all NAS OSs...",
                               "Unknown"};
  for (std::uint32_t status = 0; status < std::size(texts); ++status) {
    bool known = false;
    EXPECT_EQ(SystemLuStatusText(status, &known), texts[status]) << status;
    EXPECT_EQ(known, status >= 1 && status <= 8) << status;
  }
  struct Initial {
    std::uint32_t execute;
    const char* date;
    std::uint32_t status;
  };
  for (const Initial& row : {Initial{0, kNoBackupDate, kSysNoBackup}, Initial{0, "2024/01/15 11:00", kSysNormal},
                             Initial{1, "2024/01/15 11:00", kSysSaving}, Initial{2, kNoBackupDate, kSysUploading},
                             Initial{3, "2024/01/15 11:00", kSysRestoring}, Initial{4, "2024/01/15 11:00", 0}})
    EXPECT_EQ(SystemLuInitialStatus(row.execute, row.date), row.status) << row.execute << " " << row.date;
}

TEST(RestorePhases, RebootAllTakesOnlyBoardsARebootSuits) {
  std::array<std::int32_t, CusrCHN::kSlots> statuses{};
  statuses.fill(kNoNasPackage);
  // Slot by slot: every status a board can show.
  for (std::int32_t status = CHN_STATUS_DIE; status <= CHN_STATUS_EX_OS_UP; ++status) {
    statuses[0] = status;
    const RebootPlan plan = PlanRebootAll(statuses);
    const bool rebooted = status == CHN_STATUS_BOOTING || status == CHN_STATUS_INACTIVE || status == CHN_STATUS_UP ||
                          status == CHN_STATUS_STOPPING || status == CHN_STATUS_WARN || status == CHN_STATUS_PANIC ||
                          status == CHN_STATUS_HUNGUP;
    EXPECT_EQ(plan.marks[0], rebooted ? 1u : 0u) << status;
    EXPECT_EQ(plan.bAnyMarked, rebooted) << status;
    EXPECT_EQ(plan.bActiveNode, status == CHN_STATUS_UP) << status;
  }
  statuses.fill(CHN_STATUS_STOP);
  EXPECT_FALSE(PlanRebootAll(statuses).bAnyMarked);  // 4037: nothing to restart
}

// A fake multi-board reboot: the groups it was asked for, and per-slot codes to report.
struct FakeReboot {
  std::vector<int> modes;
  std::map<std::uint32_t, std::uint32_t> codes;
  std::uint32_t groupCode = 0;
  std::uint32_t operator()(int mode, const RebootMarks& marks, RebootResults& results) {
    modes.push_back(mode);
    const std::uint32_t first = mode == kRebootCluster2 ? 8 : 0;
    for (std::uint32_t s = first; s < first + 8; ++s) {
      results[s] = 0;
      if (marks[s] == 1 && codes.count(s)) results[s] = codes[s];
    }
    return groupCode;
  }
};

TEST(RestorePhases, RebootAllGroupsInOrder) {
  struct Case {
    const char* name;
    std::vector<std::uint32_t> marked;
    std::map<std::uint32_t, std::uint32_t> codes;
    std::uint32_t groupCode;
    std::vector<int> modes;
    bool succeeded;
    std::size_t failedLines;
    std::size_t notRestartedLines;
  };
  const Case cases[] = {
      {"all come back", {0, 1, 8, 9}, {}, 0, {kRebootCluster2, kRebootCluster1}, true, 0, 0},
      {"group 2 fails: group 1 untouched", {0, 1, 8, 9}, {{8, 0x83000012}}, 0, {kRebootCluster2}, false, 1, 2},
      {"group 1 fails after group 2", {0, 1, 8, 9}, {{1, 0x15}}, 0, {kRebootCluster2, kRebootCluster1}, false, 1, 0},
      {"group 2 runs out of time", {0, 9}, {}, 9, {kRebootCluster2}, false, 1, 1},
      {"only group 1 fitted", {0}, {}, 0, {kRebootCluster2, kRebootCluster1}, true, 0, 0},
  };
  for (const Case& c : cases) {
    RebootPlan plan;
    for (const std::uint32_t s : c.marked) plan.marks[s] = 1;
    plan.bAnyMarked = true;
    FakeReboot fake{{}, c.codes, c.groupCode};
    const RebootOutcome outcome =
        RebootAll(
            plan, [](std::uint32_t s) { return "CTL" + std::to_string(s); },
            [&](int mode, const RebootMarks& marks, RebootResults& results) { return fake(mode, marks, results); });
    EXPECT_EQ(fake.modes, c.modes) << c.name;
    EXPECT_EQ(outcome.bSucceeded, c.succeeded) << c.name;
    const auto lines = [](const std::string& text) {
      return text == "    -" ? std::size_t{0} : static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    };
    EXPECT_EQ(lines(outcome.strFailed), c.failedLines) << c.name << ": " << outcome.strFailed;
    EXPECT_EQ(lines(outcome.strNotRestarted), c.notRestartedLines) << c.name << ": " << outcome.strNotRestarted;
  }
}

TEST(RestorePhases, SystemLuNodeCheck) {
  struct Case {
    const char* name;
    std::map<std::uint32_t, std::int32_t> boards;  // the others have no NAS package
    std::uint32_t refusal;
  };
  const Case cases[] = {
      {"both clusters inactive", {{0, 4}, {8, 4}, {1, 4}, {9, 4}}, 0},
      {"one board per controller", {{0, 4}, {8, 4}}, 0},
      {"partner missing", {{0, 4}}, 4027},
      {"partner stopped", {{0, 4}, {8, 2}}, 4027},
      {"partner warning", {{1, 4}, {9, 7}}, 4027},
      {"an active node", {{0, 5}, {8, 4}}, 4030},
      {"a stopped cluster beside a good one", {{0, 4}, {8, 4}, {1, 2}, {9, 2}}, 4027},
  };
  for (const Case& c : cases) {
    std::array<std::int32_t, CusrCHN::kSlots> statuses{};
    statuses.fill(kNoNasPackage);
    for (const auto& [slot, status] : c.boards) statuses[slot] = status;
    EXPECT_EQ(CdlgRestoreNasSystemLu::CheckNodes(statuses), c.refusal) << c.name;
  }
}

}  // namespace
