#include "dialogs/CdlgNetworkSetting.h"

#include <functional>
#include <vector>

#include "agent/AgentCodes.h"
#include "board/BoardSlots.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "dialogs/CdlgRoutingManagement.h"
#include "dialogs/NetworkRules.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;
using namespace board;

namespace {

constexpr const char* kClass = "CdlgNetworkSetting";
constexpr std::uint32_t kEth1 = 1;  // mng1
constexpr std::uint32_t kWaitForSetting = 1;
constexpr const char* kViewCaption = " VIEW MODE";

constexpr int kFields[] = {res::kNetName, res::kNetAddress, res::kNetMask, res::kNetMtu, res::kNetNtp1, res::kNetNtp2};

bool Confirmed(std::uint32_t ulQuestion) {
  int nButton = IDCANCEL;
  ShowMessage(ulQuestion, {}, {}, &nButton);
  return nButton == IDOK;
}

}  // namespace

CdlgNetworkSetting::CdlgNetworkSetting(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed)
    : BoardDialog(host, res::kTemplateNetworkSetting, rSession, rBoard, "setting", std::move(onClosed)) {
  // OnChangeChnName, OnFieldchangedEth1IpAddress, OnFieldchangedEth1NetMask, OnChangeEth1Mtu and
  // the NTP servers' handlers all re-check the required fields.
  for (const int id : kFields) OnCommand(id, [this] { CheckRequiredFiled(); });
  OnCommand(res::kNetRouting, [this] { OnRouting(); });
  OnCommand(res::kNetSetup, [this] { OnSetupButton(); });
  OnCommand(res::kNetClose, [this] { OnCancel(); });
}

CdlgNetworkSetting::~CdlgNetworkSetting() {
  {
    std::lock_guard lock(m_stopMutex);
    m_bStop = true;
  }
  m_stopCv.notify_all();
  JoinWorkers();
}

void CdlgNetworkSetting::ShowNetSetDialog(bool bViewMode) {
  CusrTraceScope trace(kClass, "ShowNetSetDialog", TRC_FUNC);
  m_bViewMode = bViewMode;
  SetWindowText(std::string(Template()->caption) + (bViewMode ? kViewCaption : ""));
  GetDlgItem(res::kNetSetup).SetWindowText(bViewMode ? ">> Next" : "Setup");
  GetDlgItem(res::kNetClose).SetWindowText(bViewMode ? "Cancel" : "Close");
  GetDlgItem(res::kNetBoardLabel).SetWindowText(Board().LocationName());
  GetDlgItem(res::kNetStatusText).SetWindowText("");
  m_ref = {};
  ShowFields(m_ref);
  SetEnableButton(ButtonMode::Reading);
  ShowWindow(true);
  BringToForeground();
  StartRead([&board = Board(), ulSlot = Slot()] { return GetNetSetting(board, ulSlot); },
            [this](const NetRead& read) { NetSettingRead(read); });
}

void CdlgNetworkSetting::NetSettingRead(const NetRead& read) {
  m_ref = read.values;
  m_bClusterDefined = read.bClusterDefined;
  ShowFields(m_ref);
  SetEnableButton(m_bViewMode ? ButtonMode::View : read.bRead ? ButtonMode::Edit : ButtonMode::ReadFailed);
}

CdlgNetworkSetting::NetRead CdlgNetworkSetting::GetNetSetting(const CusrCHN& board, std::uint32_t ulSlot) {
  CusrTraceScope trace(kClass, "GetNetSetting", TRC_FUNC);
  NetRead read;
  NetSetting& v = read.values;
  // Each failed exchange has shown its message: the first one ends the read.
  const auto failed = [&](const std::string& strTrace) {
    trace.Error(strTrace, TRC_ERROR);
    return read;
  };
  if (const std::uint32_t r = board.GetCHNName(&v.strName)) return failed(TraceFmt("GetCHNName() : code = 0x%08x", r));
  std::string strAddress, strNetmask, strGateway;
  if (const std::uint32_t r = board.GetNetworkSetting(kEth1, &strAddress, &strNetmask, &strGateway))
    return failed(TraceFmt("GetNetworkSetting() : code = 0x%08x", r));
  v.strAddress = network::ControlAddressText(strAddress);
  v.strNetmask = network::ControlAddressText(strNetmask);
  std::uint32_t ulMtu = 0;
  if (const std::uint32_t r = board.GetMTUInfo(kEth1, &ulMtu)) return failed(TraceFmt("GetMTUInfo() : code = 0x%08x", r));
  v.strMtu = std::to_string(ulMtu);
  std::vector<std::string> servers;
  if (const std::uint32_t r = board.GetNTPSetting(&servers)) return failed(TraceFmt("GetNTPSetting() : code = 0x%08x", r));
  v.strNtp1 = servers.size() > 0 ? servers[0] : "";
  v.strNtp2 = servers.size() > 1 ? servers[1] : "";
  std::uint32_t ulDefined = kClusterNotDefined;
  if (const std::uint32_t r = board.GetClusterDefinedStatus(&ulDefined))
    return failed(TraceFmt("CHN[%u]->GetClusterDefinedStatus(): code = 0x%08x", ulSlot, r));
  trace.Info(TraceFmt("Cluster Defined Status = 0x%8x", ulDefined), TRC_INFO);
  read.bClusterDefined = ulDefined != kClusterNotDefined;
  read.bRead = true;
  return read;
}

CdlgNetworkSetting::NetSetting CdlgNetworkSetting::ReadFields() {
  return {GetDlgItem(res::kNetName).GetWindowText(), GetDlgItem(res::kNetAddress).GetWindowText(),
          GetDlgItem(res::kNetMask).GetWindowText(),  GetDlgItem(res::kNetMtu).GetWindowText(),
          GetDlgItem(res::kNetNtp1).GetWindowText(),  GetDlgItem(res::kNetNtp2).GetWindowText()};
}

void CdlgNetworkSetting::ShowFields(const NetSetting& values) {
  const std::string* texts[] = {&values.strName, &values.strAddress, &values.strNetmask,
                                &values.strMtu,  &values.strNtp1,    &values.strNtp2};
  for (std::size_t i = 0; i < std::size(kFields); ++i) GetDlgItem(kFields[i]).SetWindowText(*texts[i]);
}

void CdlgNetworkSetting::SetEnableButton(ButtonMode mode) {
  m_mode = mode;
  for (const int id : kFields) GetDlgItem(id).EnableWindow(mode == ButtonMode::Edit);
  GetDlgItem(res::kNetRouting).EnableWindow(mode == ButtonMode::Edit || mode == ButtonMode::ReadFailed);
  GetDlgItem(res::kNetClose).EnableWindow(mode != ButtonMode::Working);
  GetDlgItem(res::kNetSetup).EnableWindow(mode == ButtonMode::View);
  CheckRequiredFiled();
}

void CdlgNetworkSetting::CheckRequiredFiled() {
  if (m_mode != ButtonMode::Edit) return;
  const NetSetting values = ReadFields();
  const bool bFilled = !values.strName.empty() && network::ParseAddress(values.strAddress) &&
                       network::ParseAddress(values.strNetmask) && !values.strMtu.empty();
  GetDlgItem(res::kNetSetup).EnableWindow(bFilled);
}

bool CdlgNetworkSetting::ValidMTU(const std::string& strMtu) { return network::ParseMtu(strMtu).has_value(); }

void CdlgNetworkSetting::OnSetupButton() {
  CusrTraceScope trace(kClass, "OnSetupButton", TRC_FUNC);
  if (IsWorking() || IsFunctionDisable()) return;
  if (m_bViewMode) {
    EndDialog(IDOK);
    Closed();
    return;
  }
  const NetSetting values = ReadFields();
  const auto refuse = [&](const char* pszLabel) { trace.Warn(ShowMessage(msg::kInvalidEntry, pszLabel), TRC_WARN); };
  if (!network::IsValidBoardName(values.strName)) {
    trace.Warn(TraceFmt("Invalid CHA Name : %s", values.strName.c_str()), TRC_WARN);
    return refuse("CHA Name");
  }
  if (!ValidMTU(values.strMtu)) {
    trace.Warn(TraceFmt("Invalid MTU : (%s)", values.strMtu.c_str()), TRC_WARN);
    return refuse("MTU");
  }
  if (!network::IsPrintable(values.strNtp1)) return refuse("NTPServer1");
  if (!network::IsPrintable(values.strNtp2)) return refuse("NTPServer2");
  if (!Confirmed(msg::kNoText3584)) return;
  NetChange change;
  if (!SetNetSetting(values, &change)) return;
  SetWorking(true);
  SetEnableButton(ButtonMode::Working);
  StartWorker([this, change] { StartNetworkSeting(change); });
}

bool CdlgNetworkSetting::SetNetSetting(const NetSetting& values, NetChange* pChange) {
  CusrTraceScope trace(kClass, "SetNetSetting", TRC_FUNC);
  NetChange& change = *pChange;
  change.values = values;
  change.before = m_ref;
  change.bName = values.strName != m_ref.strName;
  change.bAddress = values.strAddress != m_ref.strAddress || values.strNetmask != m_ref.strNetmask;
  change.bMtu = *network::ParseMtu(values.strMtu) != network::ParseMtu(m_ref.strMtu).value_or(0);
  change.bNtp = values.strNtp1 != m_ref.strNtp1 || values.strNtp2 != m_ref.strNtp2;
  trace.Info(TraceFmt("Changed: Name %d, Address %d, MTU %d, NTP %d", change.bName, change.bAddress, change.bMtu,
                      change.bNtp),
             TRC_INFO);
  if (!(change.bAddress || change.bMtu) || !m_bClusterDefined) return true;
  const std::uint32_t ulPartner = board::PartnerSlot(Slot());
  const std::int32_t nStatus = Board().GetStatus();
  const CusrCHN* pPartner = Session().Board(ulPartner);
  const std::int32_t nPartner = pPartner ? pPartner->GetStatus() : CHN_STATUS_DIE;
  trace.Info(TraceFmt("Status CHN[%u] = %d, CHN[%u] = %d", Slot(), nStatus, ulPartner, nPartner), TRC_INFO);
  const network::ClusterChange need = network::ClusterChangeFor(nStatus, nPartner);
  if (need == network::ClusterChange::Refused) {
    trace.Warn(ShowMessage(msg::kNetworkSettingRefused), TRC_WARN);
    return false;
  }
  const bool bServing = need == network::ClusterChange::AskAndStop;
  if (!Confirmed(msg::kNoText3816) || (bServing && !Confirmed(msg::kServicesAffected))) {
    trace.Info("User canceled.", TRC_INFO);
    return false;
  }
  // A cluster that serves must stop before its node's interface changes.
  change.bStopCluster = bServing;
  return true;
}

void CdlgNetworkSetting::StartNetworkSeting(const NetChange& change) {
  CusrTraceScope trace(kClass, "StartNetworkSeting", TRC_FUNC);
  const CusrCHN& board = Board();
  const NetSetting& v = change.values;
  NetSetting applied = change.before;
  std::uint32_t ulResult = 0;
  // Runs a wanted step while all before it succeeded; true when it ran and succeeded.
  const auto step = [&](bool bWanted, const std::function<std::uint32_t()>& run,
                        const std::function<std::string(std::uint32_t)>& failure) {
    if (!bWanted || ulResult != 0) return false;
    ulResult = run();
    if (ulResult != 0) trace.Error(failure(ulResult), TRC_ERROR);
    return ulResult == 0;
  };
  step(change.bStopCluster, [&] { return StartClusterStopping(); },
       [](std::uint32_t r) { return TraceFmt("StartClusterStopping() : code = 0x%08x", r); });
  if (step(change.bName, [&] { return board.SetCHNName(v.strName); },
           [](std::uint32_t r) { return TraceFmt("SetCHNName() : code = 0x%08x", r); }))
    applied.strName = v.strName;
  if (step(change.bAddress,
           [&] {
             const std::uint32_t r = board.SetNetworkSetting0301(kEth1, v.strAddress, v.strNetmask, kWaitForSetting);
             return r == agent::kAgentNotChanged ? 0 : r;
           },
           [](std::uint32_t r) { return TraceFmt("SetNetworkSetting() : code = 0x%08x", r); })) {
    applied.strAddress = v.strAddress;
    applied.strNetmask = v.strNetmask;
  }
  const std::uint32_t ulMtu = network::ParseMtu(v.strMtu).value_or(0);
  if (step(change.bMtu, [&] { return board.SetMTUInfo(kEth1, ulMtu); },
           [ulMtu](std::uint32_t r) { return TraceFmt("SetMTUInfo( eth1, %u ) : code=0x%08x", ulMtu, r); }))
    applied.strMtu = std::to_string(ulMtu);
  std::vector<std::string> servers;
  for (const std::string* pServer : {&v.strNtp1, &v.strNtp2})
    if (!pServer->empty()) servers.push_back(*pServer);
  if (step(change.bNtp, [&] { return board.SetNTPSetting(servers); },
           [](std::uint32_t r) { return TraceFmt("SetNTPSetting() : code = 0x%08x", r); })) {
    applied.strNtp1 = servers.size() > 0 ? servers[0] : "";
    applied.strNtp2 = servers.size() > 1 ? servers[1] : "";
  }
  if (ulResult == 0) ShowMessage(msg::kSetupFinished);
  Post([this, applied] { SettingFinished(applied); });
}

std::uint32_t CdlgNetworkSetting::StartClusterStopping() {
  CusrTraceScope trace(kClass, "StartClusterStopping", TRC_FUNC);
  const CusrCHN& board = Board();
  const std::string strName = Board().LocationName();
  if (const std::uint32_t r = board.StopCluster()) {
    trace.Error(TraceFmt("StopCluster(): 0x%08x", r), TRC_ERROR);
    return r;
  }
  trace.Info(TraceFmt("Request OK : %s", strName.c_str()), TRC_INFO);
  for (int nPoll = 1; nPoll <= kStopPollLimit; ++nPoll) {
    ShowStatus(TraceFmt("Stopping the cluster ... (%d s)", (nPoll - 1) * 30));
    {
      std::unique_lock lock(m_stopMutex);
      if (plat::Clock::WaitUntil(m_stopCv, lock, plat::Clock::Now() + kStopPollPeriod, [this] { return m_bStop; })) {
        trace.Info("The dialog closes: the cluster stop is no longer watched.", TRC_INFO);
        return agent::kResultTimeout;
      }
    }
    std::uint32_t ulStatus = agent::kStatRunning;
    if (const std::uint32_t r = board.GetClusterStopStatus(&ulStatus)) {
      trace.Error(TraceFmt("GetClusterStopStatus(): 0x%08x", r), TRC_ERROR);
      ShowStatus("");
      return r;
    }
    if (ulStatus != agent::kStatRunning) {
      trace.Info(TraceFmt("Cluster stopped : %s", strName.c_str()), TRC_INFO);
      trace.Info("Finish the cluster stop operation.", TRC_INFO);
      ShowStatus("The cluster has stopped.");
      return 0;
    }
    trace.Info(TraceFmt("Now Stopping : %s", strName.c_str()), TRC_INFO);
  }
  ShowStatus("");
  trace.Error(ShowMessage(msg::kTimeout), TRC_ERROR);
  return agent::kResultTimeout;
}

void CdlgNetworkSetting::ShowStatus(const std::string& strText) {
  Post([this, strText] { GetDlgItem(res::kNetStatusText).SetWindowText(strText); });
}

void CdlgNetworkSetting::SettingFinished(const NetSetting& applied) {
  m_ref = applied;
  SetWorking(false);
  SetEnableButton(ButtonMode::Edit);
}

void CdlgNetworkSetting::OnRouting() {
  CusrTraceScope trace(kClass, "OnRouting", TRC_FUNC);
  if (IsWorking() || IsFunctionDisable()) return;
  CdlgRoutingManagement routing(GetHost(), Session(), Board());
  routing.DoModal();
}
