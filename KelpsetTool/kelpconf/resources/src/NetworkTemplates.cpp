// The network dialogs of one board: "Kelpset Tool ( Setting )" (name, mng1 address and mask,
// MTU, NTP servers), "Kelpset Tool ( Routing )" (the board's routes) and
// "Kelpset Tool ( Add Routing )" (one new route on mng1).
#include "Templates.h"
#include "resources/ControlIds.h"

namespace kelp::res {
namespace {

constexpr int kLeft = 20;
constexpr int kValueX = 130;
constexpr int kValueW = 200;
constexpr int kButtonW = 100;
constexpr int kButtonH = 30;

constexpr ControlTemplate kSettingControls[] = {
    {kNetBoardLabel, ControlKind::Static, "", kLeft, 14, 330, 20},
    {kNetNameLabel, ControlKind::Static, "NNC Name", kLeft, 48, 100, 20},
    {kNetName, ControlKind::Edit, "", kValueX, 44, kValueW, 26},
    {kNetAddressLabel, ControlKind::Static, "IP Address", kLeft, 82, 100, 20},
    {kNetAddress, ControlKind::IpAddress, "", kValueX, 78, kValueW, 26},
    {kNetMaskLabel, ControlKind::Static, "Subnet Mask", kLeft, 116, 100, 20},
    {kNetMask, ControlKind::IpAddress, "", kValueX, 112, kValueW, 26},
    {kNetMtuLabel, ControlKind::Static, "MTU", kLeft, 150, 100, 20},
    {kNetMtu, ControlKind::Edit, "", kValueX, 146, 90, 26},
    {kNetNtpGroup, ControlKind::GroupBox, " NTP Server ", kLeft - 8, 184, 336, 94},
    {kNetNtp1Label, ControlKind::Static, "Server 1", kLeft, 212, 100, 20},
    {kNetNtp1, ControlKind::Edit, "", kValueX, 208, kValueW, 26},
    {kNetNtp2Label, ControlKind::Static, "Server 2", kLeft, 246, 100, 20},
    {kNetNtp2, ControlKind::Edit, "", kValueX, 242, kValueW, 26},
    {kNetStatusText, ControlKind::ProgressText, "", kLeft, 290, 330, 20},
    {kNetRouting, ControlKind::PushButton, "Routing", kLeft, 322, kButtonW, kButtonH},
    {kNetSetup, ControlKind::PushButton, "Setup", 130, 322, kButtonW, kButtonH, kStyleDefaultButton},
    {kNetClose, ControlKind::PushButton, "Close", 240, 322, kButtonW, kButtonH},
};

constexpr ListColumn kRouteColumns[] = {
    {"Interface", 70}, {"Target", 110}, {"Netmask", 110}, {"Gateway", 110}, {"Method", 60},
};

constexpr ControlTemplate kRoutingControls[] = {
    {kRouteBoardLabel, ControlKind::Static, "", kLeft, 14, 470, 20},
    {kRouteListLabel, ControlKind::Static, "List of Routing", kLeft, 42, 200, 20},
    {kRouteList, ControlKind::ListView, "", kLeft, 66, 480, 200, kStyleCheckBoxes, kRouteColumns},
    {kRouteAdd, ControlKind::PushButton, "Add", kLeft, 280, kButtonW, kButtonH},
    {kRouteDelete, ControlKind::PushButton, "Delete", 130, 280, kButtonW, kButtonH},
    {kRouteClose, ControlKind::PushButton, "Close", 400, 280, kButtonW, kButtonH},
};

constexpr ControlTemplate kAddControls[] = {
    {kAddInterfaceText, ControlKind::Static, "Interface : mng1", kLeft, 14, 300, 20},
    {kAddTargetGroup, ControlKind::GroupBox, "How to specify target", kLeft - 8, 42, 170, 80},
    {kAddTargetNetwork, ControlKind::Radio, "Network", kLeft, 66, 140, 20, kStyleGroup},
    {kAddTargetDefault, ControlKind::Radio, "Default", kLeft, 92, 140, 20},
    {kAddMethodGroup, ControlKind::GroupBox, "Method of specifing route", 190, 42, 190, 80},
    {kAddMethodAllow, ControlKind::Radio, "Allow", 200, 66, 140, 20, kStyleGroup},
    {kAddMethodReject, ControlKind::Radio, "Reject", 200, 92, 140, 20},
    {kAddTargetLabel, ControlKind::Static, "Target", kLeft, 140, 100, 20},
    {kAddTarget, ControlKind::IpAddress, "", kValueX, 136, kValueW, 26},
    {kAddNetmaskLabel, ControlKind::Static, "Netmask", kLeft, 174, 100, 20},
    {kAddNetmask, ControlKind::IpAddress, "", kValueX, 170, kValueW, 26},
    {kAddGatewayCheck, ControlKind::CheckBox, "Gateway", kLeft, 208, 100, 20},
    {kAddGateway, ControlKind::IpAddress, "", kValueX, 204, kValueW, 26},
    {kAddMssLabel, ControlKind::Static, "MSS", kLeft, 242, 100, 20},
    {kAddMss, ControlKind::Edit, "", kValueX, 238, 90, 26},
    {kAddMssUnit, ControlKind::Static, "bytes", 230, 242, 60, 20},
    {kAddAdd, ControlKind::PushButton, "Add", kLeft, 286, kButtonW, kButtonH, kStyleDefaultButton},
    {kAddClose, ControlKind::PushButton, "Close", 280, 286, kButtonW, kButtonH},
};

constexpr DialogTemplate kSettingDialog{kTemplateNetworkSetting, "Kelpset Tool ( Setting )", 360, 372, kSettingControls};
constexpr DialogTemplate kRoutingDialog{kTemplateRoutingManagement, "Kelpset Tool ( Routing )", 520, 330, kRoutingControls};
constexpr DialogTemplate kAddDialog{kTemplateRoutingAdd, "Kelpset Tool ( Add Routing )", 400, 336, kAddControls};

}  // namespace

const DialogTemplate& NetworkSettingTemplate() { return kSettingDialog; }
const DialogTemplate& RoutingManagementTemplate() { return kRoutingDialog; }
const DialogTemplate& RoutingAddTemplate() { return kAddDialog; }

}  // namespace kelp::res
