// Template and control ids of the setup tool's dialogs: the numbers the dialogs, the hosts and
// scripts address them by.
#pragma once

namespace kelp::res {

// Dialog templates.
inline constexpr int kTemplateAbout = 100;
inline constexpr int kTemplateMain = 102;
inline constexpr int kTemplateInheritInstall = 204;
inline constexpr int kTemplateProgramInstall = 206;
inline constexpr int kTemplateConfirmInstall = 207;
inline constexpr int kTemplateInstallProgress = 208;
inline constexpr int kTemplateBootManagement = 209;
inline constexpr int kTemplateHibernationDump = 210;
inline constexpr int kTemplateDownloadDump = 211;
inline constexpr int kTemplateRestoreOsLu = 223;
inline constexpr int kTemplateRestoreCmLu = 224;
inline constexpr int kTemplateRestoreSystemLu = 225;  // a number of our own choice
inline constexpr int kTemplateSplash = 229;
inline constexpr int kTemplateNetworkSetting = 231;
inline constexpr int kTemplateRoutingManagement = 232;
inline constexpr int kTemplateRoutingAdd = 233;
inline constexpr int kTemplateConfiguration = 240;
inline constexpr int kTemplateSelectUnit = 241;  // a number of our own choice

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

// Program installation of one board (template 206).
inline constexpr int kPiBoardLabel = 1400;
inline constexpr int kPiInstalledLabel = 1401;
inline constexpr int kPiInstalledList = 1402;
inline constexpr int kPiUninstall = 1403;
inline constexpr int kPiMediaLabel = 1404;
inline constexpr int kPiMediaList = 1405;
inline constexpr int kPiFromLabel = 1406;
inline constexpr int kPiMediaFolder = 1407;
inline constexpr int kPiInitGroup = 1408;
inline constexpr int kPiInitCmLu = 1409;
inline constexpr int kPiInitErrorLu = 1410;
inline constexpr int kPiTypeGroup = 1411;
inline constexpr int kPiForcibly = 1412;
inline constexpr int kPiInstall = 1413;
inline constexpr int kPiClose = 1414;

// Confirmation of the products to install (template 207); its buttons are IDOK and IDCANCEL.
inline constexpr int kCiBoardLabel = 1420;
inline constexpr int kCiLine1 = 1421;
inline constexpr int kCiLine2 = 1422;
inline constexpr int kCiLine3 = 1423;
inline constexpr int kCiListLabel = 1424;
inline constexpr int kCiList = 1425;

// Installation progress (template 208).
inline constexpr int kIpBoardLabel = 1430;
inline constexpr int kIpList = 1431;
inline constexpr int kIpLabel = 1432;
inline constexpr int kIpStop = 1433;
inline constexpr int kIpClose = 1434;

// Inherit and Install (204).
inline constexpr int kIiProductLabel = 1560;
inline constexpr int kIiProductList = 1561;
inline constexpr int kIiFromLabel = 1562;
inline constexpr int kIiMediaFolder = 1563;
inline constexpr int kIiInfoLabel = 1564;
inline constexpr int kIiInfoList = 1565;
inline constexpr int kIiResultLabel = 1566;
inline constexpr int kIiResultList = 1567;
inline constexpr int kIiInstall = 1568;
inline constexpr int kIiRetry = 1569;  // "Retry failed boards"
inline constexpr int kIiClose = 1570;

// Select the array unit (kelpconf started without arguments); OK and Cancel are 1 and 2.
inline constexpr int kSuLabel = 1590;
inline constexpr int kSuList = 1591;
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
// Network setting of one board (template 231). Its ids begin after the last board button.
inline constexpr int kNetBoardLabel = 1516;
inline constexpr int kNetNameLabel = 1517;
inline constexpr int kNetName = 1518;
inline constexpr int kNetAddressLabel = 1519;
inline constexpr int kNetAddress = 1520;
inline constexpr int kNetMaskLabel = 1521;
inline constexpr int kNetMask = 1522;
inline constexpr int kNetMtuLabel = 1523;
inline constexpr int kNetMtu = 1524;
inline constexpr int kNetNtpGroup = 1525;
inline constexpr int kNetNtp1Label = 1526;
inline constexpr int kNetNtp1 = 1527;
inline constexpr int kNetNtp2Label = 1528;
inline constexpr int kNetNtp2 = 1529;
inline constexpr int kNetRouting = 1530;
inline constexpr int kNetSetup = 1531;
inline constexpr int kNetClose = 1532;
inline constexpr int kNetStatusText = 1533;

// Routing of one board (template 232).
inline constexpr int kRouteBoardLabel = 1534;
inline constexpr int kRouteListLabel = 1535;
inline constexpr int kRouteList = 1536;
inline constexpr int kRouteAdd = 1537;
inline constexpr int kRouteDelete = 1538;
inline constexpr int kRouteClose = 1539;

// A new route (template 233).
inline constexpr int kAddInterfaceText = 1540;
inline constexpr int kAddTargetGroup = 1541;
inline constexpr int kAddTargetNetwork = 1542;
inline constexpr int kAddTargetDefault = 1543;
inline constexpr int kAddMethodGroup = 1544;
inline constexpr int kAddMethodAllow = 1545;
inline constexpr int kAddMethodReject = 1546;
inline constexpr int kAddTargetLabel = 1547;
inline constexpr int kAddTarget = 1548;
inline constexpr int kAddNetmaskLabel = 1549;
inline constexpr int kAddNetmask = 1550;
inline constexpr int kAddGatewayCheck = 1551;
inline constexpr int kAddGateway = 1552;
inline constexpr int kAddMssLabel = 1553;
inline constexpr int kAddMss = 1554;
inline constexpr int kAddMssUnit = 1555;
inline constexpr int kAddAdd = 1556;
inline constexpr int kAddClose = 1557;
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
