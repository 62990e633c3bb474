#include "dialogs/CdlgRoutingAdd.h"

#include "agent/AgentTypes.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using network::TargetKind;

namespace {

constexpr const char* kClass = "CdlgRoutingAdd";
constexpr std::uint32_t kNetworkRoute = 0;  // host flag: the target is a network
constexpr std::uint32_t kAllow = 0;
constexpr std::uint32_t kReject = 1;

}  // namespace

CdlgRoutingAdd::CdlgRoutingAdd(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard,
                               std::function<void()> onAdded)
    : BoardDialog(host, res::kTemplateRoutingAdd, rSession, rBoard, "addition"), m_onAdded(std::move(onAdded)) {
  OnCommand(res::kAddTargetNetwork, [this] { OnRadioTargetNetwork(); });
  OnCommand(res::kAddTargetDefault, [this] { OnRadioTargetDefault(); });
  // OnFieldchangedIpTarget, OnFieldchangedIpNetmask, OnFieldchangedIpGateway and the gateway box.
  for (const int id : {res::kAddTarget, res::kAddNetmask, res::kAddGateway})
    OnCommand(id, [this] { CheckRequiredField(); });
  OnCommand(res::kAddGatewayCheck, [this] { SetTargetKind(m_kind); });
  OnCommand(res::kAddAdd, [this] { OnRoutingAdd(); });
  OnCommand(res::kAddClose, [this] { OnOK(); });
}

bool CdlgRoutingAdd::OnInitDialog() {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  GetDlgItem(res::kAddTargetNetwork).SetCheck(1);
  GetDlgItem(res::kAddMethodAllow).SetCheck(1);
  SetTargetKind(TargetKind::Network);
  return true;
}

void CdlgRoutingAdd::OnRadioTargetNetwork() { SetTargetKind(TargetKind::Network); }

void CdlgRoutingAdd::OnRadioTargetDefault() { SetTargetKind(TargetKind::Default); }

void CdlgRoutingAdd::SetTargetKind(TargetKind kind) {
  m_kind = kind;
  const bool bNetwork = kind == TargetKind::Network;
  GetDlgItem(res::kAddTarget).EnableWindow(bNetwork);
  GetDlgItem(res::kAddNetmask).EnableWindow(bNetwork);
  GetDlgItem(res::kAddGatewayCheck).EnableWindow(bNetwork);
  GetDlgItem(res::kAddGateway).EnableWindow(network::UsesGateway(Fields()));
  CheckRequiredField();
}

network::RouteFields CdlgRoutingAdd::Fields() {
  return {m_kind, GetDlgItem(res::kAddTarget).GetWindowText(), GetDlgItem(res::kAddNetmask).GetWindowText(),
          GetDlgItem(res::kAddGateway).GetWindowText(), GetDlgItem(res::kAddGatewayCheck).GetCheck() == 1};
}

void CdlgRoutingAdd::CheckRequiredField() {
  GetDlgItem(res::kAddAdd).EnableWindow(!IsReading() && network::HasRequiredRouteFields(Fields()));
}

bool CdlgRoutingAdd::ValidMTU(const std::string& strMss) { return network::ParseMss(strMss).has_value(); }

void CdlgRoutingAdd::OnRoutingAdd() {
  CusrTraceScope trace(kClass, "OnRoutingAdd", TRC_FUNC);
  if (IsReading() || IsFunctionDisable()) return;
  const std::string strMss = GetDlgItem(res::kAddMss).GetWindowText();
  if (!ValidMTU(strMss)) {
    trace.Warn(TraceFmt("Invalid MSS : (%s)", strMss.c_str()), TRC_WARN);
    trace.Warn(ShowMessage(msg::kInvalidEntry, "MSS"), TRC_WARN);
    return;
  }
  const network::RouteFields fields = Fields();
  if (!network::HasRequiredRouteFields(fields)) return;
  agent::NewRoute route;
  if (fields.kind == TargetKind::Network) {
    route.target = network::ParseAddress(fields.target);
    route.netmask = *network::ParseAddress(fields.netmask);
  }
  if (network::UsesGateway(fields)) route.gateway = network::ParseAddress(fields.gateway);
  route.ulHostFlag = kNetworkRoute;
  route.ulRouteFlag = GetDlgItem(res::kAddMethodReject).GetCheck() == 1 ? kReject : kAllow;
  route.ulMSS = *network::ParseMss(strMss);
  GetDlgItem(res::kAddAdd).EnableWindow(false);
  StartRead(
      [&board = Board(), route] {
        CusrTraceScope worker(kClass, "OnRoutingAdd", TRC_FUNC);
        const std::uint32_t r = board.SetNewRoute(route);
        // The agent client has shown the code's message: 3819 for a route already there, 3833
        // for a full table.
        if (r != 0) worker.Error(TraceFmt("SetNewRoute() : code = 0x%08x", r), TRC_ERROR);
        else ShowMessage(msg::kSetupFinished);
        return r;
      },
      [this](std::uint32_t r) {
        CheckRequiredField();
        if (r == 0) m_onAdded();
      },
      false);
}
