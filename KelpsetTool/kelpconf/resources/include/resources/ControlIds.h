// Template and control ids of the setup tool's dialogs: the numbers the dialogs, the hosts and
// scripts address them by.
#pragma once

namespace kelp::res {

// Dialog templates.
inline constexpr int kTemplateAbout = 100;
inline constexpr int kTemplateMain = 102;
inline constexpr int kTemplateBootManagement = 209;
inline constexpr int kTemplateHibernationDump = 210;
inline constexpr int kTemplateDownloadDump = 211;
inline constexpr int kTemplateSplash = 229;
inline constexpr int kTemplateConfiguration = 240;

// Main window (template 102). Board button of slot i is kBoardButtonFirst + i.
inline constexpr int kBoardSlots = 16;
inline constexpr int kBoardButtonFirst = 1500;
inline constexpr int kBoardButtonLast = kBoardButtonFirst + kBoardSlots - 1;
inline constexpr int kBoardFrame1 = 1136;
inline constexpr int kBoardFrame2 = 1137;
inline constexpr int kNodeFunctionFrame = 1138;
inline constexpr int kPublicFunctionFrame = 1139;
inline constexpr int kProgramInstall = 1008;
inline constexpr int kRouting = 1009;
inline constexpr int kNncReset = 1064;
inline constexpr int kNasDump = 1011;
inline constexpr int kRestoreOsLu = 1106;
inline constexpr int kDownloadDump = 1117;
inline constexpr int kRestoreCmLu = 1107;
inline constexpr int kConfiguration = 1095;
inline constexpr int kRestoreSystemLu = 1109;
inline constexpr int kInheritInstall = 1096;
inline constexpr int kMainClose = 1081;
inline constexpr int kReferConfig = 1094;
inline constexpr int kLuInitialize = 1013;
inline constexpr int kInstallDevice = 1108;

// About box (template 100); its OK button is IDOK.
inline constexpr int kAboutVersionText = 1200;
inline constexpr int kAboutBuildText = 1201;

// Boot management of one board (template 209).
inline constexpr int kBootBoardLabel = 1300;
inline constexpr int kBootStatusLabel = 1301;
inline constexpr int kBootStatusText = 1302;
inline constexpr int kBootOptionLabel = 1303;
inline constexpr int kBootOption = 1304;
inline constexpr int kBootBoot = 1305;
inline constexpr int kBootReboot = 1306;
inline constexpr int kBootShutdown = 1307;
inline constexpr int kBootNncReset = 1308;
inline constexpr int kBootClose = 1309;

// NAS dump of one board (template 210).
inline constexpr int kDumpBoardLabel = 1440;
inline constexpr int kDumpStatusLabel = 1441;
inline constexpr int kDumpStatusText = 1442;
inline constexpr int kDumpDump = 1443;
inline constexpr int kDumpStop = 1444;
inline constexpr int kDumpClose = 1445;

// Download of a board's dump (template 211).
inline constexpr int kDownloadBoardLabel = 1450;
inline constexpr int kDownloadStatusLabel = 1451;
inline constexpr int kDownloadStatusText = 1452;
inline constexpr int kDownloadDateLabel = 1453;
inline constexpr int kDownloadDateText = 1454;
inline constexpr int kDownloadSizeLabel = 1455;
inline constexpr int kDownloadSizeText = 1456;
inline constexpr int kDownloadDownload = 1457;
inline constexpr int kDownloadClose = 1458;

// Start-up splash (template 229).
inline constexpr int kSplashText = 1210;

// Configuration (template 240); its buttons are IDOK and IDCANCEL.
inline constexpr int kConfigGroup = 1240;
inline constexpr int kConfigFolderLabel = 1241;
inline constexpr int kConfigFolder = 1242;  // the installation folder, read-only
inline constexpr int kConfigBrowse = 1243;

}  // namespace kelp::res
