#include "dialogs/CdlgRoutingManagement.h"

#include "agent/AgentWire.h"
#include "board/BoardSlots.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "dialogs/CdlgRoutingAdd.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgRoutingManagement";

// A listed text without the blanks the agent padded it with.
std::string Shown(const std::string& strText) {
  const std::size_t end = strText.find_last_not_of(' ');
  return end == std::string::npos ? std::string() : strText.substr(0, end + 1);
}

bool Answered(std::uint32_t ulMessage, const std::vector<std::string>& args = {}) {
  int nButton = IDCANCEL;
  ShowMessageEx(ulMessage, &nButton, args);
  return nButton == IDOK;
}

}  // namespace

CdlgRoutingManagement::CdlgRoutingManagement(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed)
    : BoardDialog(host, res::kTemplateRoutingManagement, rSession, rBoard, "deletion", std::move(onClosed)) {
  OnCommand(res::kRouteAdd, [this] { OnRoutingAdd(); });
  OnCommand(res::kRouteDelete, [this] { OnRoutingDelete(); });
  OnCommand(res::kRouteClose, [this] { OnOK(); });
}

CdlgRoutingManagement::~CdlgRoutingManagement() { JoinWorkers(); }

bool CdlgRoutingManagement::OnInitDialog() {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  ShowRoutingManagement();
  return true;
}

void CdlgRoutingManagement::ShowRoutingManagement() {
  SetFieldCaption();
  SetRoutingList();
}

void CdlgRoutingManagement::SetFieldCaption() {
  GetDlgItem(res::kRouteBoardLabel).SetWindowText(Board().LocationName());
}

void CdlgRoutingManagement::SetRoutingList() {
  CusrTraceScope trace(kClass, "SetRoutingList", TRC_FUNC);
  GetDlgItem(res::kRouteList).DeleteAllRows();
  m_routes.clear();
  SetButtons(false);
  GetDlgItem(res::kRouteClose).EnableWindow(true);
  StartRead(
      [&board = Board()] {
        RouteRead read;
        read.ulCode = board.GetRoutingList(&read.routes);
        return read;
      },
      [this](const RouteRead& read) { RoutingListRead(read); });
}

void CdlgRoutingManagement::RoutingListRead(const RouteRead& read) {
  CusrTraceScope trace(kClass, "SetRoutingList", TRC_FUNC);
  SetButtons(true);
  if (read.ulCode != 0) {
    trace.Error(TraceFmt("GetRoutingList() : code = 0x%08x", read.ulCode), TRC_ERROR);
    return;
  }
  m_routes = read.routes;
  kelp::ui::Control list = GetDlgItem(res::kRouteList);
  for (const agent::RouteTexts& route : m_routes)
    list.AddRow({Shown(route[agent::kRouteInterface]), Shown(route[agent::kRouteTarget]),
                 Shown(route[agent::kRouteNetmask]), Shown(route[agent::kRouteGateway]),
                 Shown(route[agent::kRouteRouteFlag])});
}

void CdlgRoutingManagement::SetButtons(bool bEnable) {
  for (const int id : {res::kRouteList, res::kRouteAdd, res::kRouteDelete, res::kRouteClose})
    GetDlgItem(id).EnableWindow(bEnable);
}

void CdlgRoutingManagement::OnRoutingAdd() {
  CusrTraceScope trace(kClass, "OnRoutingAdd", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  CdlgRoutingAdd add(GetHost(), Session(), Board(), [this] { SetRoutingList(); });
  add.DoModal();
}

std::vector<int> CdlgRoutingManagement::SelectedRows() {
  const kelp::ui::Control list = GetDlgItem(res::kRouteList);
  std::vector<int> rows;
  for (int i = 0; i < list.GetRowCount(); ++i)
    if (list.GetRowCheck(i)) rows.push_back(i);
  if (rows.empty() && list.GetSelection() >= 0) rows.push_back(list.GetSelection());
  return rows;
}

void CdlgRoutingManagement::OnRoutingDelete() {
  CusrTraceScope trace(kClass, "OnRoutingDelete", TRC_FUNC);
  if (IsWorking() || IsReading() || IsFunctionDisable()) return;
  const std::vector<int> rows = SelectedRows();
  if (rows.empty()) {
    trace.Error("Internal error. (Not selected list)", TRC_ERROR);
    return;
  }
  const std::uint32_t ulPartner = board::PartnerSlot(Slot());
  const CusrCHN* pPartner = Session().Board(ulPartner);
  const bool bServing = Board().GetStatus() == CHN_STATUS_UP || (pPartner && pPartner->GetStatus() == CHN_STATUS_UP);
  const bool bConfirmed = bServing ? Answered(msg::kRouteDeleteServicesQuestion) && Answered(msg::kFatalDamage)
                                   : Answered(msg::kRouteDeleteQuestion);
  if (!bConfirmed) return;
  std::vector<agent::RouteTexts> routes;
  for (const int row : rows) {
    if (static_cast<std::size_t>(row) >= m_routes.size()) {
      trace.Error("Invalid error. (Del item count error)", TRC_ERROR);
      return;
    }
    routes.push_back(m_routes[static_cast<std::size_t>(row)]);
  }
  SetWorking(true);
  SetButtons(false);
  StartWorker([this, routes = std::move(routes)] { StartRoutingDelete(routes); });
}

void CdlgRoutingManagement::StartRoutingDelete(std::vector<agent::RouteTexts> routes) {
  CusrTraceScope trace(kClass, "StartRoutingDelete", TRC_FUNC);
  bool bAllDeleted = true;
  for (std::size_t i = 0; i < routes.size(); ++i) {
    const agent::RouteTexts& route = routes[i];
    const std::uint32_t r = Board().DeleteRoutingInfo(route);
    // The agent client has shown its own message for every code but a route that was not there.
    const std::uint32_t ulMessageFlag = r != 0 && r != agent::kResultRouteNotFound ? 1 : 0;
    trace.Info(TraceFmt("DeleteRoutingInfo(), code = 0x%08x, MessageFlag = 0x%08x", r, ulMessageFlag), TRC_INFO);
    if (r == 0) continue;
    bAllDeleted = false;
    const std::vector<std::string> args{Shown(route[agent::kRouteTarget]), Shown(route[agent::kRouteNetmask]),
                                        Shown(route[agent::kRouteGateway])};
    if (i + 1 == routes.size()) {
      ShowMessageEx(msg::kLastRouteDeleteFailed, nullptr, args);
    } else if (!Answered(msg::kRouteDeleteFailed, args)) {
      break;
    }
  }
  if (bAllDeleted) ShowMessage(msg::kFinishedNormally);
  Post([this] { DeleteFinished(); });
}

void CdlgRoutingManagement::DeleteFinished() {
  CusrTraceScope trace(kClass, "DeleteFinished", TRC_FUNC);
  SetWorking(false);
  SetRoutingList();
}
