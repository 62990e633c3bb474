// The configuration dialog on the headless host: the folder comes from the folder control (as a
// script's `set` puts it there), checked as the folder browser checks it.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestEnv.h"
#include "common/CusrTrace.h"
#include "common/MemoryTraceSink.h"
#include "common/MessageBoxStyle.h"
#include "dialogs/CdlgConfiguration.h"
#include "resources/ControlIds.h"
#include "ui/ScriptHost.h"

namespace fs = std::filesystem;
namespace res = kelp::res;

namespace {

class Configuration : public ::testing::Test {
 protected:
  void SetUp() override {
    SetTrace(&m_trace, TRC_MASK_NORMAL);
    fs::create_directories(m_current / "MP");
    fs::create_directories(m_copy / "MP");
    fs::create_directories(m_empty.path());
  }
  void TearDown() override { SetTrace(nullptr, 0); }

  // Runs the dialog modally with the given user actions queued behind its initialisation.
  int Run(CdlgConfiguration& dlg, const std::vector<std::function<void()>>& actions) {
    for (const auto& action : actions) m_host.Post(action);
    return dlg.DoModal();
  }

  kelp::ui::ScriptHost m_host{nullptr};
  common::MemoryTraceSink m_trace;
  kelptest::TempDir m_current;
  kelptest::TempDir m_copy;
  kelptest::TempDir m_empty;
  bool m_bBusy = false;
};

TEST_F(Configuration, FolderWithProductsIsTakenAndEndsWithOk) {
  CdlgConfiguration dlg(m_host, m_current.path().string(), [this] { return m_bBusy; });
  std::string shown;
  const int result = Run(dlg, {[&] { shown = dlg.GetDlgItem(res::kConfigFolder).GetWindowText(); },
                               [&] { dlg.Click(res::kConfigBrowse); },  // no browser here: nothing changes
                               [&] { dlg.UserSetText(res::kConfigFolder, m_copy.path().string()); },
                               [&] { dlg.Click(IDOK); }});
  EXPECT_EQ(shown, m_current.path().string());
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(dlg.GetMediaRoot(), m_copy.path().string());
  EXPECT_EQ(dlg.GetWindowText(), "Kelpset Tool ( Configuration )");
  const auto lines = m_trace.TaggedTexts();
  EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& l) {
    return l.find("Selected Folder : " + m_copy.path().string()) != std::string::npos;
  }));
}

TEST_F(Configuration, FolderWithoutProductsIsRefusedAndTheSameFolderCancels) {
  CdlgConfiguration dlg(m_host, m_current.path().string() + "/", [this] { return m_bBusy; });
  std::string afterRefusal;
  const int result = Run(dlg, {[&] { dlg.UserSetText(res::kConfigFolder, m_empty.path().string()); },
                               [&] { afterRefusal = dlg.GetDlgItem(res::kConfigFolder).GetWindowText(); },
                               [&] { dlg.UserSetText(res::kConfigFolder, m_current.path().string()); },
                               [&] { dlg.Click(IDOK); }});
  EXPECT_EQ(afterRefusal, m_current.path().string() + "/");
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dlg.GetMediaRoot(), m_current.path().string() + "/");
}

TEST_F(Configuration, OkWhileAnotherFunctionRunsChangesNothing) {
  m_bBusy = true;
  CdlgConfiguration dlg(m_host, m_current.path().string(), [this] { return m_bBusy; });
  bool bStillOpen = false;
  const int result = Run(dlg, {[&] { dlg.UserSetText(res::kConfigFolder, m_copy.path().string()); },
                               [&] { dlg.Click(IDOK); },
                               [&] { bStillOpen = dlg.IsWindowVisible(); },
                               [&] { dlg.Click(IDCANCEL); }});
  EXPECT_TRUE(bStillOpen);
  EXPECT_EQ(result, IDCANCEL);
  EXPECT_EQ(dlg.GetMediaRoot(), m_current.path().string());
}

TEST(ConfigurationCheck, LocalFolderWithAnMpEntryOnly) {
  kelptest::TempDir dir;
  EXPECT_FALSE(CdlgConfiguration::ChkSelectedFolder(dir.path().string()));
  kelptest::WriteFile(dir / "MP", "");  // any entry named MP will do, as a file search finds it
  EXPECT_TRUE(CdlgConfiguration::ChkSelectedFolder(dir.path().string()));
  EXPECT_FALSE(CdlgConfiguration::ChkSelectedFolder(""));
  EXPECT_FALSE(CdlgConfiguration::ChkSelectedFolder("/proc/self"));  // a kernel pseudo file system
  EXPECT_FALSE(CdlgConfiguration::ChkSelectedFolder((dir / "missing").string()));
}

}  // namespace
