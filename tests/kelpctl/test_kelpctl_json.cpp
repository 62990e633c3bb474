// kelpctl --json as a script runs it: the real program against a simulated unit, its standard
// output read back as JSON and checked field by field.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "JsonParse.h"
#include "KelpctlRun.h"
#include "TestEnv.h"
#include "corvid/Sim.h"
#include "mkmedia/MediaWriter.h"

namespace {

namespace sim = corvid::sim;

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::StartsWith;
using common::json::Value;

// A run's standard output as its one JSON document.
struct Document {
  kelptest::KelpctlResult run;
  Value json;
};

class KelpctlJson : public ::testing::Test {
 protected:
  Document Json(const std::string& args) {
    Document d{kelptest::RunKelpctlApart("-s /nonexistent/kelpconf.ini --json " + args), {}};
    std::string error;
    const auto parsed = kelptest::ParseJson(d.run.output, &error);
    EXPECT_TRUE(parsed) << args << ": " << error << "\n" << d.run.output << d.run.errors;
    if (parsed) d.json = *parsed;
    return d;
  }

  // The keys of an object, in order.
  static std::vector<std::string> Keys(const Value& object) {
    std::vector<std::string> keys;
    for (const common::json::Member& m : object.AsObject()) keys.push_back(m.key);
    return keys;
  }

  kelptest::IsolatedEnv env;
  kelptest::ScopedEnv scale{"KELP_TIME_SCALE", "0.001"};
};

TEST_F(KelpctlJson, BoardsAndProgressAreOneDocumentEach) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::SetBoardStatus("U", 2, 2));  // slot 8 runs its NAS OS
  const Document boards = Json("-h U boards");
  EXPECT_EQ(boards.run.status, 0) << boards.run.errors;
  const Value& array = boards.json;
  EXPECT_THAT(Keys(array), ElementsAre("unit", "model", "modelName", "serial", "svpAddress", "svpMask", "boards"));
  EXPECT_EQ(array["unit"], Value("U"));
  EXPECT_EQ(array["model"], Value(0x1703));
  EXPECT_EQ(array["modelName"], Value("ZQH"));
  EXPECT_GT(array["serial"].AsNumber(), 0);
  EXPECT_EQ(array["svpAddress"], Value("127.0.0.1"));
  ASSERT_EQ(array["boards"].AsArray().size(), 4u);
  const Value& slot8 = array["boards"].AsArray()[2];
  EXPECT_THAT(Keys(slot8), ElementsAre("slot", "board", "equipment", "type", "status", "statusName", "mpStatus",
                                       "address", "mask", "mac", "location"));
  EXPECT_EQ(slot8["slot"], Value(8));
  EXPECT_EQ(slot8["board"], Value("CTL1-0"));
  EXPECT_EQ(slot8["equipment"], Value(1));
  EXPECT_EQ(slot8["status"], Value(2));
  EXPECT_EQ(slot8["statusName"], Value("OS UP"));
  EXPECT_EQ(slot8["address"], Value("127.0.0.18"));
  EXPECT_THAT(slot8["mac"].AsString(), MatchesRegex("02-4B(-[0-9A-F]{2}){4}"));
  EXPECT_EQ(slot8["location"], Value("CTL1-0"));

  const Document progress = Json("-h U progress 8");
  EXPECT_EQ(progress.run.status, 0) << progress.run.errors;
  EXPECT_EQ(progress.json, Value(Value::Object{{"slot", 8},
                                               {"installStatus", 0},
                                               {"hibDumpStatus", 0},
                                               {"status", 2},
                                               {"statusName", "OS UP"},
                                               {"shutdownProgress", 0}}));
}

TEST_F(KelpctlJson, AnEmptySlotHasNullsWhereTextShowsDashes) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("ONE", sim::Model::ZQS, 1), false));
  const Document boards = Json("-h ONE boards");
  EXPECT_EQ(boards.run.status, 0) << boards.run.errors;
  ASSERT_EQ(boards.json["boards"].AsArray().size(), 2u);
  const Value& empty = boards.json["boards"].AsArray()[1];
  EXPECT_EQ(empty["slot"], Value(8));
  EXPECT_EQ(empty["equipment"], Value(0xFFFF));
  for (const char* field : {"address", "mask", "mac", "location"}) {
    EXPECT_TRUE(empty.Has(field)) << field;
    EXPECT_TRUE(empty[field].IsNull()) << field;
  }
}

// Each failure is {"error": {code, message, step}} on standard output, nothing else there, and
// the exit status text mode has.
TEST_F(KelpctlJson, FailuresAreAnErrorDocumentWithTheTextModesStatus) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("ONE", sim::Model::ZQS, 1), false));
  struct Case {
    const char* args;
    Value code;
    Value step;
    const char* message;  // the start of it
  };
  const Case cases[] = {
      {"-h NOSUCH boards", 0x83000010, "dsvp_SetArrayUnitName", "[DMEN03527E]An error occurred in the disk subsystem."},
      {"-h ONE progress 8", 7, "dsvp_NasGetProgress", "[DMEN03525E]No NNC is installed in the specified location."},
      {"-h ONE dump 8", nullptr, nullptr, "slot 8 has no NAS board"},
      {"-h ONE agent 8 version", nullptr, nullptr, "slot 8 has no NAS board"},
      {"-h U download-dump 0", 0xFFFF, nullptr, "slot 0 has no dump to download"},
      {"media", nullptr, nullptr, "no medium is registered ([Parameters] File Path of "},
  };
  for (const Case& c : cases) {
    const Document d = Json(c.args);
    EXPECT_EQ(d.run.status, 1) << c.args;
    EXPECT_EQ(Keys(d.json), std::vector<std::string>{"error"}) << c.args;
    const Value& error = d.json["error"];
    EXPECT_THAT(Keys(error), ElementsAre("code", "message", "step")) << c.args;
    EXPECT_EQ(error["code"], c.code) << c.args;
    EXPECT_EQ(error["step"], c.step) << c.args;
    EXPECT_THAT(error["message"].AsString(), StartsWith(c.message)) << c.args;
  }

  // A whole-array read that fails mid-way: the array's code with the call that got it.
  ASSERT_TRUE(sim::InjectCallFault("U", "ModeSense", 62, 0xA3, 1, 0x01000005));
  const Document failing = Json("-h U boards");
  EXPECT_EQ(failing.run.status, 1);
  EXPECT_EQ(failing.json["error"]["code"], Value(0x83000005));
  EXPECT_THAT(failing.json["error"]["step"].AsString(), StartsWith("dsvp_"));
}

TEST_F(KelpctlJson, CommandsWithoutADocumentRefuseJson) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  const std::string supported =
      " (only by boards, progress, dump, download-dump, media, services status and agent SLOT "
      "products|network|version)\n";
  struct Case {
    const char* args;
    const char* name;
  };
  const Case cases[] = {
      {"-h U watch --count 1", "watch"},
      {"-h U boot 8", "boot"},
      {"-h U reset 8", "reset"},
      {"-h U agent 0 ps", "agent SLOT ps"},
      {"-h U agent 0 set-name x", "agent SLOT set-name"},
      {"-h U services start", "services start"},
      {"ftpd 127.0.0.1", "ftpd"},
  };
  for (const Case& c : cases) {
    const kelptest::KelpctlResult run = kelptest::RunKelpctlApart("--json " + std::string(c.args));
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_EQ(run.output, "") << c.args;
    EXPECT_EQ(run.errors, "kelpctl: --json is not supported by " + std::string(c.name) + supported) << c.args;
  }
  // Nothing was done: the board the refused reset named is still stopped.
  std::vector<sim::BoardState> states;
  ASSERT_TRUE(sim::GetBoardStates("U", &states));
  EXPECT_EQ(states[2].status, 3);
}

TEST_F(KelpctlJson, MediaAndServicesStatus) {
  kelptest::TempDir root;
  mkmedia::Media media = mkmedia::DefaultMedia(64);
  media.products.push_back({mkmedia::ProductKind::Opt, "Hotfix \"quoted\"", "-", "-", "fix.img", 64, "45"});
  std::string error;
  ASSERT_TRUE(mkmedia::WriteMedia(root.path(), media, error) && mkmedia::RegisterTftpRoot(root.path(), error)) << error;
  const Document listed = Json("media");
  EXPECT_EQ(listed.run.status, 0) << listed.run.errors;
  EXPECT_THAT(Keys(listed.json), ElementsAre("medium", "folder", "products"));
  EXPECT_EQ(listed.json["medium"], Value(root.path().string()));
  const Value::Array& products = listed.json["products"].AsArray();
  ASSERT_EQ(products.size(), 5u);
  EXPECT_EQ(products.front()["kind"], Value("os"));
  EXPECT_EQ(products.back(), Value(Value::Object{{"kind", "opt"},
                                                 {"name", "Hotfix \"quoted\""},
                                                 {"version", "-"},
                                                 {"build", "-"},
                                                 {"timeoutMinutes", 45},
                                                 {"file", "fix.img"}}));

  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("NET", sim::Model::ZQH, 4), false));
  const Document services = Json("-h NET services status");
  EXPECT_EQ(services.run.status, 0) << services.run.errors;
  EXPECT_EQ(services.json, Value(Value::Object{
                               {"backend", "sim"},
                               {"simulated", true},
                               {"services", Value::Array{Value::Object{{"name", "DHCP Server"}, {"state", "stopped"}},
                                                         Value::Object{{"name", "TFTP Server"}, {"state", "stopped"}}}},
                           }));
}

// The dump and its download as a script takes them: the result is the document, the progress
// lines go to standard error.
TEST_F(KelpctlJson, DumpAndDownloadReportTheirResult) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit("U", sim::Model::ZQH, 4), false));
  ASSERT_TRUE(sim::SetBoardStatus("U", 2, 2));
  const Document dump = Json("-h U dump 8");
  ASSERT_EQ(dump.run.status, 0) << dump.run.errors;
  EXPECT_THAT(Keys(dump.json), ElementsAre("slot", "operation", "seconds"));
  EXPECT_EQ(dump.json["slot"], Value(8));
  EXPECT_EQ(dump.json["operation"], Value("dump"));
  EXPECT_GE(dump.json["seconds"].AsNumber(), 0);
  EXPECT_THAT(dump.run.errors, HasSubstr("board DUMP\n"));
  ASSERT_TRUE(sim::AdvanceTime("U", 200'000));

  const std::filesystem::path to = env.systemRoot() / "copies";
  const Document download = Json("-h U download-dump 8 --to " + to.string());
  ASSERT_EQ(download.run.status, 0) << download.run.errors;
  EXPECT_THAT(Keys(download.json), ElementsAre("slot", "operation", "seconds", "file", "copy"));
  EXPECT_EQ(download.json["operation"], Value("download-dump"));
  const std::filesystem::path filed = download.json["file"].AsString();
  EXPECT_EQ(filed.parent_path(), env.systemRoot() / "NASDUMP");
  EXPECT_EQ(download.json["copy"], Value((to / filed.filename()).string()));
  EXPECT_EQ(kelptest::ReadFile(filed), kelptest::ReadFile(to / filed.filename()));
  // Standard error still tells where the dump went, should a script lose the document.
  EXPECT_THAT(download.run.errors, HasSubstr("downloading\n"));
  EXPECT_THAT(download.run.errors, HasSubstr("dump of slot 8 filed as " + filed.string() + "\n"));

  const Document again = Json("-h U download-dump 8");
  ASSERT_EQ(again.run.status, 0) << again.run.errors;
  EXPECT_TRUE(again.json["copy"].IsNull());
}

}  // namespace
