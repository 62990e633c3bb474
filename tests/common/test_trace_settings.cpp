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
