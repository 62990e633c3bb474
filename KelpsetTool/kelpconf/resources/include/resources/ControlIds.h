// Template and control ids of the setup tool's dialogs: the numbers the dialogs, the hosts and
// scripts address them by.
#pragma once

namespace kelp::res {

// Dialog templates.
inline constexpr int kTemplateAbout = 100;
inline constexpr int kTemplateMain = 102;
inline constexpr int kTemplateBootManagement = 209;
inline constexpr int kTemplateRestoreOsLu = 223;
inline constexpr int kTemplateRestoreCmLu = 224;
inline constexpr int kTemplateRestoreSystemLu = 225;  // a number of our own choice
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

// Restore NAS Cluster Management LU (template 224).
inline constexpr int kCmLuTitle = 1470;
inline constexpr int kCmLuStatusLabel = 1471;
inline constexpr int kCmLuStatusText = 1472;
inline constexpr int kCmLuDateLabel = 1473;
inline constexpr int kCmLuDateText = 1474;
inline constexpr int kCmLuRebootAll = 1475;
inline constexpr int kCmLuRestore = 1476;
inline constexpr int kCmLuClose = 1477;

// Restore NAS OS LU of one board (template 223).
inline constexpr int kOsLuBoardLabel = 1480;
inline constexpr int kOsLuStatusLabel = 1481;
inline constexpr int kOsLuStatusText = 1482;
inline constexpr int kOsLuDateLabel = 1483;
inline constexpr int kOsLuDateText = 1484;
inline constexpr int kOsLuRestore = 1485;
inline constexpr int kOsLuClose = 1486;

// Restore all NAS system LUs (template 225).
inline constexpr int kSysLuTitle = 1490;
inline constexpr int kSysLuStatusLabel = 1491;
inline constexpr int kSysLuStatusText = 1492;
inline constexpr int kSysLuDateLabel = 1493;
inline constexpr int kSysLuDateText = 1494;
inline constexpr int kSysLuRebootAll = 1495;
inline constexpr int kSysLuRestore = 1496;
inline constexpr int kSysLuClose = 1497;

// Start-up splash (template 229).
inline constexpr int kSplashText = 1210;

// Configuration (template 240); its buttons are IDOK and IDCANCEL.
inline constexpr int kConfigGroup = 1240;
inline constexpr int kConfigFolderLabel = 1241;
inline constexpr int kConfigFolder = 1242;  // the installation folder, read-only
inline constexpr int kConfigBrowse = 1243;

}  // namespace kelp::res
