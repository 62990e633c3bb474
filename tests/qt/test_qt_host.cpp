// The Qt host offscreen: the main window laid out for a simulated ZQS and ZQH unit, every widget
// where the dialog's control state puts it, a PNG of each window kept in the build tree; a click
// reaching the dialog, and a box asked from a worker answered by the script's answers.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QImage>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "TestEnv.h"
#include "board/CusrCHN.h"
#include "common/MessageBoxStyle.h"
#include "corvid/Sim.h"
#include "dialogs/CdlgBootManagement.h"
#include "dialogs/CdlgConfiguration.h"
#include "dialogs/CdlgDownloadDump.h"
#include "dialogs/CdlgHibernationDump.h"
#include "dialogs/CdlgMain.h"
#include "dialogs/CdlgRestoreNasCmLu.h"
#include "dialogs/CdlgRestoreNasOsLu.h"
#include "dialogs/CdlgRestoreNasSystemLu.h"
#include "qtui/QtHost.h"
#include "resources/ControlIds.h"
#include "ui/Transcript.h"
#include "velapi.h"

namespace {

namespace res = kelp::res;
namespace sim = corvid::sim;
using ::testing::ElementsAreArray;

constexpr const char* kUnit = "qt1";

struct LayoutCase {
  sim::Model model;
  const char* name;
  std::vector<int> boardSlots;  // the board buttons shown
  int height;                   // the window is 500 wide
};

const LayoutCase kLayouts[] = {
    {sim::Model::ZQS, "ZQS", {0, 8}, 471},
    {sim::Model::ZQH, "ZQH", {0, 1, 8, 9}, 577},
};

// One QApplication and one unit name for the process (VELAPI keeps the unit it selected).
class QtHostTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_host";
    static char* argv[] = {name, nullptr};
    app = new QApplication(argc, argv);
    env = new kelptest::IsolatedEnv;
    ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
    std::uint32_t ulError = 0;
    ASSERT_TRUE(dsvp_SetArrayUnitName(kUnit, &ulError)) << ulError;
  }
  static void TearDownTestSuite() {
    delete env;
    delete app;
  }

  static QApplication* app;
  static kelptest::IsolatedEnv* env;
};
QApplication* QtHostTest::app = nullptr;
kelptest::IsolatedEnv* QtHostTest::env = nullptr;

// The window's widgets, made in the order of the dialog's controls.
QList<QWidget*> Widgets(QWidget* window) { return window->findChildren<QWidget*>(Qt::FindDirectChildrenOnly); }

// Array discovery lays the main window out for the model; the board objects give the captions.
::testing::AssertionResult DiscoverArray(CdlgMain& main) {
  std::uint32_t ulError = 0;
  if (!main.Session().Start(&ulError)) return ::testing::AssertionFailure() << "Start: " << ulError;
  if (!main.OnInitDialogW(main.Array().ModelWord())) return ::testing::AssertionFailure() << "OnInitDialogW";
  if (!main.CreateChnObject()) return ::testing::AssertionFailure() << "CreateChnObject";
  return ::testing::AssertionSuccess();
}

TEST_F(QtHostTest, MainWindowWidgetsFollowTheLayoutOfEachModel) {
  for (const LayoutCase& c : kLayouts) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, c.model, static_cast<int>(c.boardSlots.size())), true));
    kelp::qtui::QtHost host(nullptr, false);
    session::ArraySession session({}, {});
    CdlgMain main(host, session, {});
    ASSERT_TRUE(DiscoverArray(main));
    main.ShowWindow(true);
    QApplication::processEvents();

    QWidget* window = host.WindowOf(main);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->size(), QSize(500, c.height));
    EXPECT_EQ(main.Height(), c.height);
    const QList<QWidget*> widgets = Widgets(window);
    ASSERT_EQ(widgets.size(), static_cast<qsizetype>(main.Controls().size()));
    std::vector<int> shownBoards;
    for (std::size_t i = 0; i < main.Controls().size(); ++i) {
      const kelp::ui::ControlState& state = main.Controls()[i];
      QWidget* widget = widgets[static_cast<qsizetype>(i)];
      SCOPED_TRACE(state.tmpl->id);
      EXPECT_EQ(widget->isVisible(), state.visible);
      if (!state.visible) continue;
      EXPECT_EQ(widget->geometry(), QRect(state.rect.x, state.rect.y, state.rect.w, state.rect.h));
      EXPECT_TRUE(window->rect().contains(widget->geometry()));
      if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
        EXPECT_EQ(button->text().toStdString(), state.text);
      }
      if (state.tmpl->id >= res::kBoardButtonFirst && state.tmpl->id <= res::kBoardButtonLast)
        shownBoards.push_back(state.tmpl->id - res::kBoardButtonFirst);
    }
    EXPECT_THAT(shownBoards, ElementsAreArray(c.boardSlots));

    const std::filesystem::path png =
        std::filesystem::path(KELP_ARTEFACT_DIR) / (std::string("main-") + c.name + ".png");
    std::filesystem::create_directories(png.parent_path());
    EXPECT_EQ(host.Screenshot(main, png.string()), "");
    EXPECT_EQ(QImage(QString::fromStdString(png.string())).size(), QSize(500, c.height));
    std::printf("screenshot of the %s main window: %s\n", c.name, png.c_str());
  }
}

// The boot management dialog of a board, opened by a double-click on the board's button: its
// widgets at the template geometry, and a PNG of it.
TEST_F(QtHostTest, BootManagementDialogAtItsTemplateGeometry) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
  kelp::qtui::QtHost host(nullptr, false);
  session::ArraySession session({}, {});
  CdlgMain main(host, session, {});
  ASSERT_TRUE(DiscoverArray(main));
  main.CreateAllDialog();
  main.ShowWindow(true);
  main.Board(0)->SetStatus(2);  // stopped: Boot and the option are offered
  main.GetDlgItem(res::kBoardButtonFirst).SetCheck(1);
  main.DoubleClick(res::kBoardButtonFirst);
  CdlgBootManagement& boot = *main.BootManagement(0);
  ASSERT_TRUE(boot.IsWindowVisible());
  QApplication::processEvents();

  QWidget* window = host.WindowOf(boot);
  ASSERT_NE(window, nullptr);
  const kelp::res::DialogTemplate& tmpl = *boot.Template();
  EXPECT_EQ(window->size(), QSize(tmpl.w, tmpl.h));
  EXPECT_EQ(window->windowTitle().toStdString(), "Kelpset Tool ( Boot Management )");
  const QList<QWidget*> widgets = Widgets(window);
  ASSERT_EQ(widgets.size(), static_cast<qsizetype>(tmpl.controls.size()));
  for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
    const kelp::res::ControlTemplate& c = tmpl.controls[i];
    QWidget* widget = widgets[static_cast<qsizetype>(i)];
    SCOPED_TRACE(c.id);
    EXPECT_TRUE(widget->isVisible());
    EXPECT_EQ(widget->geometry(), QRect(c.x, c.y, c.w, c.h));
    EXPECT_TRUE(window->rect().contains(widget->geometry()));
    EXPECT_EQ(widget->isEnabled(), boot.GetDlgItem(c.id).IsWindowEnabled());
  }
  EXPECT_EQ(boot.GetDlgItem(res::kBootBoardLabel).GetWindowText(), "CTL0-0");
  EXPECT_EQ(boot.GetDlgItem(res::kBootStatusText).GetWindowText(), "STOP");

  const std::filesystem::path png = std::filesystem::path(KELP_ARTEFACT_DIR) / "boot-management.png";
  std::filesystem::create_directories(png.parent_path());
  EXPECT_EQ(host.Screenshot(boot, png.string()), "");
  EXPECT_EQ(QImage(QString::fromStdString(png.string())).size(), QSize(tmpl.w, tmpl.h));
  std::printf("screenshot of the boot management dialog: %s\n", png.c_str());
  boot.Click(res::kBootClose);
  EXPECT_EQ(main.BoardBusy(0), 0);
}

// A shown dialog's widgets at its template geometry, enabled as its controls are, and its PNG.
void ExpectTemplateWindow(kelp::qtui::QtHost& host, kelp::ui::Dialog& dialog, const std::string& pngName) {
  QApplication::processEvents();
  QWidget* window = host.WindowOf(dialog);
  ASSERT_NE(window, nullptr);
  const kelp::res::DialogTemplate& tmpl = *dialog.Template();
  EXPECT_EQ(window->size(), QSize(tmpl.w, tmpl.h));
  EXPECT_EQ(window->windowTitle().toStdString(), std::string(tmpl.caption));
  const QList<QWidget*> widgets = Widgets(window);
  ASSERT_EQ(widgets.size(), static_cast<qsizetype>(tmpl.controls.size()));
  for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
    const kelp::res::ControlTemplate& c = tmpl.controls[i];
    SCOPED_TRACE(c.id);
    EXPECT_EQ(widgets[static_cast<qsizetype>(i)]->geometry(), QRect(c.x, c.y, c.w, c.h));
    EXPECT_EQ(widgets[static_cast<qsizetype>(i)]->isEnabled(), dialog.GetDlgItem(c.id).IsWindowEnabled());
  }
  const std::filesystem::path png = std::filesystem::path(KELP_ARTEFACT_DIR) / pngName;
  std::filesystem::create_directories(png.parent_path());
  EXPECT_EQ(host.Screenshot(dialog, png.string()), "");
  EXPECT_EQ(QImage(QString::fromStdString(png.string())).size(), QSize(tmpl.w, tmpl.h));
  std::printf("screenshot of %s: %s\n", std::string(tmpl.caption).c_str(), png.c_str());
}

// The NAS dump dialog opened from the main window for a running board, and the download dialog
// of a board with a dump.
TEST_F(QtHostTest, DumpDialogsAtTheirTemplateGeometry) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
  kelp::qtui::QtHost host(nullptr, false);
  session::ArraySession session({}, {});
  CdlgMain main(host, session, {});
  ASSERT_TRUE(DiscoverArray(main));
  main.CreateAllDialog();
  main.ShowWindow(true);
  main.Board(0)->SetStatus(5);
  main.GetDlgItem(res::kBoardButtonFirst).SetCheck(1);
  main.Click(res::kBoardButtonFirst);
  main.Click(res::kNasDump);
  CdlgHibernationDump& dump = *main.HibernationDump(0);
  ASSERT_TRUE(dump.IsWindowVisible());
  EXPECT_EQ(main.BoardBusy(0), CdlgMain::kBusyNasDump);
  EXPECT_TRUE(dump.GetDlgItem(res::kDumpDump).IsWindowEnabled());
  EXPECT_FALSE(dump.GetDlgItem(res::kDumpStop).IsWindowEnabled());
  ExpectTemplateWindow(host, dump, "nas-dump.png");
  dump.Click(res::kDumpClose);
  EXPECT_EQ(main.BoardBusy(0), 0);

  CdlgDownloadDump download(host, session, *main.Board(0), {0x0000FFFE, "20261209014703", 1});
  ASSERT_TRUE(download.Create());
  download.ShowWindow(true);
  EXPECT_EQ(download.GetDlgItem(res::kDownloadDateText).GetWindowText(), "2026/12/09 01:47:03");
  EXPECT_TRUE(download.GetDlgItem(res::kDownloadDownload).IsWindowEnabled());
  ExpectTemplateWindow(host, download, "download-dump.png");
}

// The configuration dialog at its template geometry, with the current medium shown, and a PNG.
TEST_F(QtHostTest, ConfigurationDialogAtItsTemplateGeometry) {
  kelp::qtui::QtHost host(nullptr, false);
  CdlgConfiguration configuration(host, "/srv/kelpset/medium", [] { return false; });
  ASSERT_TRUE(configuration.Create());
  configuration.ShowWindow(true);
  QApplication::processEvents();
  QWidget* window = host.WindowOf(configuration);
  ASSERT_NE(window, nullptr);
  const kelp::res::DialogTemplate& tmpl = *configuration.Template();
  EXPECT_EQ(window->size(), QSize(tmpl.w, tmpl.h));
  EXPECT_EQ(window->windowTitle().toStdString(), "Kelpset Tool ( Configuration )");
  for (QWidget* widget : Widgets(window)) EXPECT_TRUE(window->rect().contains(widget->geometry()));
  const std::filesystem::path png = std::filesystem::path(KELP_ARTEFACT_DIR) / "configuration.png";
  std::filesystem::create_directories(png.parent_path());
  EXPECT_EQ(host.Screenshot(configuration, png.string()), "");
  std::printf("screenshot of the configuration dialog: %s\n", png.c_str());
  configuration.ShowWindow(false);
}

// The network and installation dialogs' templates rendered at their geometry, every widget inside
// its window, and a PNG of each.
TEST_F(QtHostTest, NetworkAndInstallDialogsAtTheirTemplateGeometry) {
  kelp::qtui::QtHost host(nullptr, false);
  const std::pair<int, const char*> kDialogs[] = {{res::kTemplateNetworkSetting, "network-setting.png"},
                                                  {res::kTemplateRoutingManagement, "routing.png"},
                                                  {res::kTemplateRoutingAdd, "routing-add.png"},
                                                  {res::kTemplateProgramInstall, "program-install.png"},
                                                  {res::kTemplateConfirmInstall, "confirm-install.png"},
                                                  {res::kTemplateInstallProgress, "install-progress.png"},
                                                  {res::kTemplateInheritInstall, "inherit-install.png"}};
  for (const auto& [id, file] : kDialogs) {
    SCOPED_TRACE(id);
    kelp::ui::Dialog dialog(host, id);
    ASSERT_TRUE(dialog.Create());
    dialog.ShowWindow(true);
    QApplication::processEvents();
    QWidget* window = host.WindowOf(dialog);
    ASSERT_NE(window, nullptr);
    const kelp::res::DialogTemplate& tmpl = *dialog.Template();
    EXPECT_EQ(window->size(), QSize(tmpl.w, tmpl.h));
    EXPECT_EQ(window->windowTitle().toStdString(), std::string(tmpl.caption));
    EXPECT_EQ(Widgets(window).size(), static_cast<qsizetype>(tmpl.controls.size()));
    for (QWidget* widget : Widgets(window)) EXPECT_TRUE(window->rect().contains(widget->geometry()));
    const std::filesystem::path png = std::filesystem::path(KELP_ARTEFACT_DIR) / file;
    std::filesystem::create_directories(png.parent_path());
    EXPECT_EQ(host.Screenshot(dialog, png.string()), "");
    dialog.ShowWindow(false);
  }
}

// The three LU recovery dialogs at their template geometry, with a board's backup shown, and a PNG
// of each.
TEST_F(QtHostTest, RecoveryDialogsAtTheirTemplateGeometry) {
  ASSERT_TRUE(sim::CreateUnit(sim::PresetUnit(kUnit, sim::Model::ZQH, 4), true));
  kelp::qtui::QtHost host(nullptr, false);
  session::ArraySession session({}, {});
  CdlgMain main(host, session, {});
  ASSERT_TRUE(DiscoverArray(main));
  CusrCHN& board = *main.Board(0);
  CdlgRestoreNasCmLu cmLu(host, session, nullptr);
  CdlgRestoreNasOsLu osLu(host, session, board, "CTL0-0", 0, "2024/01/15 10:30", {});
  CdlgRestoreNasSystemLu systemLu(host, session, board, {4, "sysLU0.tgz", "2024/01/15 11:00"}, {});
  ASSERT_TRUE(cmLu.Create());
  cmLu.Prepare(board, 0, "2024/01/15 10:35", {});
  struct Shot {
    kelp::ui::Dialog* dialog;
    const char* file;
    int statusText;
    const char* status;
  };
  for (const Shot& shot : {Shot{&cmLu, "restore-cm-lu.png", res::kCmLuStatusText, "Normal"},
                           Shot{&osLu, "restore-os-lu.png", res::kOsLuStatusText, "Normal"},
                           Shot{&systemLu, "restore-system-lu.png", res::kSysLuStatusText, "Normal"}}) {
    SCOPED_TRACE(shot.file);
    if (shot.dialog != &cmLu) {
      ASSERT_TRUE(shot.dialog->Create());
    }
    shot.dialog->ShowWindow(true);
    QApplication::processEvents();
    QWidget* window = host.WindowOf(*shot.dialog);
    ASSERT_NE(window, nullptr);
    const kelp::res::DialogTemplate& tmpl = *shot.dialog->Template();
    EXPECT_EQ(window->size(), QSize(tmpl.w, tmpl.h));
    for (QWidget* widget : Widgets(window)) EXPECT_TRUE(window->rect().contains(widget->geometry()));
    EXPECT_EQ(shot.dialog->GetDlgItem(shot.statusText).GetWindowText(), shot.status);
    const std::filesystem::path png = std::filesystem::path(KELP_ARTEFACT_DIR) / shot.file;
    std::filesystem::create_directories(png.parent_path());
    EXPECT_EQ(host.Screenshot(*shot.dialog, png.string()), "");
    std::printf("screenshot of a recovery dialog: %s\n", png.c_str());
    shot.dialog->ShowWindow(false);
  }
}

// The main window's template with a handler on Close.
class CloseCounter : public kelp::ui::Dialog {
 public:
  explicit CloseCounter(kelp::ui::Host& host) : Dialog(host, res::kTemplateMain) {
    OnCommand(res::kMainClose, [this] { ++clicks; });
  }
  int clicks = 0;
};

TEST_F(QtHostTest, AClickOnAWidgetReachesTheDialog) {
  kelp::qtui::QtHost host(nullptr, false);
  CloseCounter dialog(host);
  dialog.ShowWindow(true);
  const QList<QWidget*> widgets = Widgets(host.WindowOf(dialog));
  for (std::size_t i = 0; i < dialog.Controls().size(); ++i) {
    auto* button = qobject_cast<QAbstractButton*>(widgets[static_cast<qsizetype>(i)]);
    const int id = dialog.Controls()[i].tmpl->id;
    if (id == res::kMainClose || id == res::kBoardButtonFirst) button->click();
  }
  EXPECT_EQ(dialog.clicks, 1);
  EXPECT_EQ(dialog.GetDlgItem(res::kBoardButtonFirst).GetCheck(), 1);
}

TEST_F(QtHostTest, ABoxFromAWorkerIsAnsweredInScriptModeWithoutBlocking) {
  kelp::ui::Transcript transcript;
  kelp::qtui::QtHost host(&transcript, true);
  host.Answers().Queue(3530, IDNO);
  std::atomic<int> first{0};
  std::atomic<int> second{0};
  std::atomic<bool> done{false};
  std::thread worker([&] {
    first = host.ShowBox("Kelpset Tool", "[DMEN03530I] first", MB_YESNO);
    second = host.ShowBox("Kelpset Tool", "[DMEN03530I] second", MB_YESNO | MB_DEFBUTTON2);
    host.Post([&] { done = true; });
  });
  host.RunUntil([&] { return done.load(); });
  worker.join();
  EXPECT_EQ(first, IDNO);
  EXPECT_EQ(second, IDNO);
  EXPECT_THAT(transcript.Lines(), ElementsAreArray({"message 3530 no \"[DMEN03530I] first\"",
                                                    "message 3530 no \"[DMEN03530I] second\" default"}));
}

}  // namespace
