#include <gtest/gtest.h>

#include "TestEnv.h"
#include "common/TraceSettings.h"
#include "plat/Paths.h"

namespace fs = std::filesystem;

namespace {

TEST(TraceSettingsTest, MissingFileGivesEachProgramItsDefaults) {
  kelptest::IsolatedEnv env;
  const TraceSettings conf = ReadTraceSettings(env.systemRoot() / "missing.ini", TraceProgram::Kelpconf);
  EXPECT_EQ(conf.strBaseName, "kelpconf");
  EXPECT_EQ(conf.nSizeMB, 2);
  EXPECT_EQ(conf.nGenerations, 2);
  EXPECT_EQ(conf.ulMask, 0x00FFFFFFu);
  EXPECT_EQ(conf.strDirectory, (plat::ProgramDir() / "log").string() + "/");
  EXPECT_TRUE(fs::is_directory(plat::ProgramDir() / "log"));

  const TraceSettings ftpd = ReadTraceSettings(env.systemRoot() / "missing.ini", TraceProgram::Kelpftpd);
  EXPECT_EQ(ftpd.strBaseName, "log/kelpftpd");
  EXPECT_EQ(ftpd.strDirectory, plat::ProgramDir().string() + "/");
}

// Where a trace goes without TraceDir: beside a program run from its build tree, into the system
// root's log folder for one installed below /usr or /opt (kelpftpd's files lie in "log" below
// its TraceDir, so both installed programs share that folder).
TEST(TraceSettingsTest, DefaultFolderDependsOnWhereTheProgramLies) {
  const fs::path root = "/home/eng/.local/share/kelpset";
  struct Case {
    const char* program;
    TraceProgram which;
    fs::path expected;
  };
  const Case cases[] = {
      {"/usr/bin/kelpconf", TraceProgram::Kelpconf, root / "log"},
      {"/usr/local/bin/kelpconf", TraceProgram::Kelpconf, root / "log"},
      {"/opt/kelpset/bin/kelpconf", TraceProgram::Kelpconf, root / "log"},
      {"/usr/bin/kelpftpd", TraceProgram::Kelpftpd, root},
      {"/opt/kelpset/bin/kelpftpd", TraceProgram::Kelpftpd, root},
      {"/home/eng/kelpset/build/bin/kelpconf", TraceProgram::Kelpconf, "/home/eng/kelpset/build/bin/log"},
      {"/home/eng/kelpset/build/bin/kelpftpd", TraceProgram::Kelpftpd, "/home/eng/kelpset/build/bin"},
      {"/usrdata/kelpconf", TraceProgram::Kelpconf, "/usrdata/log"},
      {"/srv/opt/usr/kelpftpd", TraceProgram::Kelpftpd, "/srv/opt/usr"},
      {"/kelpconf", TraceProgram::Kelpconf, "/log"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DefaultTraceDir(c.program, c.which, root), c.expected) << c.program;
}

TEST(TraceSettingsTest, EachProgramReadsItsOwnSection) {
  kelptest::IsolatedEnv env;
  const fs::path ini = env.systemRoot() / "kelpconf.ini";
  kelptest::WriteFile(ini,
                      "[MainService]\nTraceDir=C:\\traces\nTraceLevel=detail\nTraceSize=7\n"
                      "[FtpService]\nTraceDir=/var/tmp\nTraceLevel=detail\nTraceSize=12\n");
  const TraceSettings conf = ReadTraceSettings(ini, TraceProgram::Kelpconf);
  EXPECT_EQ(conf.strDirectory, (env.systemRoot() / "traces").string());
  EXPECT_EQ(conf.ulMask, 0x0FFFFFFFu);
  EXPECT_EQ(conf.nSizeMB, 7);
  const TraceSettings ftpd = ReadTraceSettings(ini, TraceProgram::Kelpftpd);
  EXPECT_EQ(ftpd.strDirectory, "/var/tmp");
  EXPECT_EQ(ftpd.ulMask, 0x00FFFFFFu) << "kelpftpd has no detail level";
  EXPECT_EQ(ftpd.nSizeMB, 12) << "the limit is applied by CusrTrace::Open";
}

}  // namespace
