#include "dialogs/CdlgInheritInstall.h"

#include <optional>
#include <string>
#include <vector>

#include "agent/AgentWire.h"
#include "agent/CusrNasManager.h"
#include "board/BoardStatus.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/StringIds.h"
#include "common/TextFormats.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/Strings.h"
#include "media/MediaRules.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"
#include "ui/Transcript.h"

namespace res = kelp::res;

namespace {

constexpr const char* kClass = "CdlgInheritInstall";
constexpr std::uint16_t kNncTypeCnas = 2;
constexpr const char* kCaption = "Kelpset Tool ( Inherit and Install )";
constexpr const char* kCaptionSuffix[] = {"", " - Installing...", " - Finished", " - Failed", " - Checking..."};
constexpr int kStatusColumn = 2;

int Ask(std::uint32_t ulId) {
  int nButton = IDCANCEL;
  ShowMessage(ulId, {}, {}, &nButton);
  return nButton;
}

std::string Minutes(plat::Millis value) {
  const long long seconds = value.count() / 1000;
  return TraceFmt("%lld:%02lld", seconds / 60, seconds % 60);
}

// The catalogue's words for a board's failure: the NAS OS steps fail with the array's codes
// (or the worker's own time-out and blockade codes), the products with the agent's.
std::string ReasonText(const install::BoardResult& r) {
  const std::uint32_t ulCode = r.outcome.ulCode;
  std::uint32_t ulMessage = 0;
  if (ulCode == agent::kResultTimeout) {
    ulMessage = msg::kTimeout;
  } else if (ulCode == install::kCodeMpBlockade) {
    ulMessage = msg::kPowerHardwareError;
  } else if (r.outcome.stage == install::Stage::Products) {
    CusrNasManager::GetMsgFormat(ulCode & ~agent::kInstallErrorBit, &ulMessage);
  } else {
    ulMessage = GetApiErrorMessageId(ulCode);
  }
  std::string strText = MessageBody(ulMessage, {common::CodeText(ulCode)});
  for (char& c : strText)
    if (c == '\n') c = ' ';
  while (!strText.empty() && strText.back() == ' ') strText.pop_back();
  return strText;
}

// The stage of a board whose products failed: every failed product by name, since the board
// went on with the next product after each failure.
std::string FailedProductsText(const install::BoardResult& r) {
  std::string strNames;
  for (const std::size_t nRow : r.outcome.failedRows) {
    if (nRow >= r.plan.products.size()) continue;
    if (!strNames.empty()) strNames += ", ";
    strNames += r.plan.products[nRow][board::kProductName];
  }
  return (r.outcome.failedRows.size() > 1 ? "products " : "product ") + (strNames.empty() ? "-" : strNames);
}

}  // namespace

// The job's reports into the dialog: a board's progress into its rows of the install information
// list; the results, gathered on the job's thread, into the table at the end.
class CdlgInheritInstall::ViewSink : public install::InheritSink {
 public:
  ViewSink(CdlgInheritInstall& dialog, const std::vector<install::BoardPlan>& plans) : m_dialog(dialog) {
    int nRowBase = 0;
    for (const install::BoardPlan& plan : plans) {
      m_rowBases.push_back(nRowBase);
      nRowBase += static_cast<int>(plan.products.size());
    }
  }
  void RowStatus(std::size_t nBoard, std::size_t nRow, const std::string& strText) override {
    const int nListRow = m_rowBases[nBoard] + static_cast<int>(nRow);
    // The sink ends with the job; the queued call only needs the dialog.
    CdlgInheritInstall& dialog = m_dialog;
    dialog.Post([&dialog, nListRow, strText] {
      dialog.GetDlgItem(res::kIiInfoList).SetRowText(nListRow, kStatusColumn, strText);
    });
  }
  void BoardEnded(const install::BoardResult& result) override { m_results.push_back(result); }
  void Ended(const install::InheritEnd& end) override {
    CdlgInheritInstall& dialog = m_dialog;
    dialog.Post([&dialog, results = std::move(m_results), end] {
      dialog.Finish(results, end.bSucceeded, end.bRestartNeeded);
    });
  }

 private:
  CdlgInheritInstall& m_dialog;
  std::vector<int> m_rowBases;  // each plan's first row in the install information list
  std::vector<install::BoardResult> m_results;
};

CdlgInheritInstall::CdlgInheritInstall(kelp::ui::Host& host, session::ArraySession& rSession, media::MediaLocation location)
    : Dialog(host, res::kTemplateInheritInstall), m_rSession(rSession), m_location(std::move(location)) {
  OnCommand(res::kIiInstall, [this] { OnInstall(); });
  OnCommand(res::kIiRetry, [this] { OnRetry(); });
  OnCommand(res::kIiClose, [this] { OnOK(); });
}

CdlgInheritInstall::~CdlgInheritInstall() { JoinWorkers(); }

bool CdlgInheritInstall::OnInitDialog() {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  m_pcMedia = std::make_unique<CusrMedia>(m_location);
  if (const std::uint32_t ulError = m_pcMedia->CreateProductArrayInMedia(); ulError != 0)
    trace.Error(TraceFmt("CreateNewMediaObj() : code 0x%08x", ulError), TRC_ERROR);
  GetDlgItem(res::kIiMediaFolder).SetWindowText(m_pcMedia->MediaFolder());
  SetProductList();
  SetFieldCaption(kModeReady);
  GetDlgItem(res::kIiInstall).EnableWindow(m_nOsCount > 0);
  GetDlgItem(res::kIiRetry).EnableWindow(false);
  return true;
}

void CdlgInheritInstall::SetProductList() {
  CusrTraceScope trace(kClass, "SetProductList", TRC_FUNC);
  const std::vector<media::CatalogueEntry> catalogue = m_pcMedia->GetCatalogueEntries();
  if (catalogue.empty()) trace.Warn("GetProductArrayInMedia(), No product information", TRC_WARN);
  m_products = install::InheritProducts(catalogue, &m_nOsCount);
  if (m_nOsCount == 0) trace.Warn("NAS OS was not included", TRC_WARN);
  kelp::ui::Control list = GetDlgItem(res::kIiProductList);
  list.DeleteAllRows();
  for (const board::ProductRecord& r : m_products)
    list.AddRow({r[board::kProductName], media::GetVersionString(r[board::kProductVersion], false)});
}

bool CdlgInheritInstall::CheckInstallNode(const std::vector<install::BoardPlan>& plans) {
  CusrTraceScope trace(kClass, "CheckInstallNode", TRC_FUNC);
  std::vector<std::pair<std::string, std::string>> versions;
  for (const board::ProductRecord& r : m_products) versions.emplace_back(r[board::kProductName], r[board::kProductVersion]);
  bool bWaited = false;
  for (const install::BoardPlan& plan : plans) {
    if (plan.nOsCount == 0) continue;
    CusrCHN* pBoard = &plan.board.get();
    const std::string strName = m_rSession.Array().LocationName(plan.Slot());
    if (m_rSession.Array().NNCType(plan.Slot()) != kNncTypeCnas) {
      trace.Error(TraceFmt("%s not CNAS", strName.c_str()), TRC_ERROR);
      ShowMessage(msg::kInheritUnsupportedNnc);
      return false;
    }
    if (pBoard->CheckNNCType(versions) != 1) {
      ShowMessage(msg::kNncIncompatible);
      return false;
    }
    // A board fitted since start-up gets its agent access as start-up gives it (a failure makes
    // it fatal, which the status check below refuses).
    if (std::uint32_t ulError = 0;
        pBoard->NasManager() == nullptr &&
        pBoard->PrepareAgentAccess(m_rSession.SettingsFile(), &ulError) != CusrCHN::AgentAccess::Ready)
      trace.Error(TraceFmt("m_pcCHNs[%u]->PrepareAgentAccess() : 0x%08x", plan.Slot(), ulError), TRC_ERROR);
    // One status check of the poller covers every board: wait for it once, then read each.
    if (!bWaited) {
      bWaited = true;
      if (!pBoard->UpdateMyStatus()) {
        ShowMessage(msg::kNncConfigUnavailable);
        return false;
      }
    } else {
      pBoard->SetChnStatusKestrel();
    }
    if (!board::IsStoppedOrEmptyStatus(pBoard->GetStatus())) {
      trace.Error(TraceFmt("%s NAS OS not stoped", strName.c_str()), TRC_ERROR);
      ShowMessage(msg::kInheritNasOsRunning);
      return false;
    }
  }
  return true;
}

void CdlgInheritInstall::OnInstall() {
  CusrTraceScope trace(kClass, "OnInstall", TRC_FUNC);
  if (m_bWorking || m_rSession.IsFunctionDisable()) {
    trace.Info("IsFunctionDisable() return code : TRUE", TRC_INFO);
    return;
  }
  int nCount = 0;
  if (std::uint32_t ulError = 0; !m_rSession.Array().SetNNCLocation(&nCount, &ulError)) {
    ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError));
    return;
  }
  if (!m_pcMedia->CheckMediaFolder()) return;
  if (m_products.empty() || m_nOsCount == 0) {
    trace.Error("GetInstallPPInfo() return : NULL", TRC_ERROR);
    return;
  }
  std::vector<install::BoardPlan> plans;
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) {
    if (!m_rSession.Array().IsCHN(i)) continue;
    CusrCHN* pBoard = m_rSession.Board(i);
    if (pBoard == nullptr) {
      trace.Error(TraceFmt("Can't create INSTALL_INFO (node : %u) : Factor = %s", i, "no board object"), TRC_ERROR);
      return;
    }
    plans.push_back({*pBoard, m_products, m_nOsCount});
  }
  if (plans.empty()) return;
  StartChecking(std::move(plans), true, true);
}

void CdlgInheritInstall::OnRetry() {
  CusrTraceScope trace(kClass, "OnRetry", TRC_FUNC);
  if (m_bWorking || m_retry.empty() || m_rSession.IsFunctionDisable()) return;
  // The LUs were initialised with the first board's NAS OS: only a first board that did not get
  // its NAS OS initialises them again.
  const install::BoardPlan& first = m_retry.front();
  const bool bFirstAgain = first.Slot() == m_ulFirstSlot && first.nOsCount > 0;
  StartChecking(m_retry, bFirstAgain, false);
}

void CdlgInheritInstall::StartChecking(std::vector<install::BoardPlan> plans, bool bFirstGetsLu, bool bAsk) {
  m_bWorking = true;
  SetFieldCaption(kModeChecking);
  for (const int id : {res::kIiInstall, res::kIiRetry, res::kIiClose}) GetDlgItem(id).EnableWindow(false);
  GetHost().SetWaitCursor(true);
  StartWorker([this, plans = std::move(plans), bFirstGetsLu, bAsk]() mutable {
    const bool bPassed = CheckInstallNode(plans);
    Post([this, plans = std::move(plans), bFirstGetsLu, bAsk, bPassed]() mutable {
      ChecksDone(std::move(plans), bFirstGetsLu, bAsk, bPassed);
    });
  });
}

void CdlgInheritInstall::ChecksDone(std::vector<install::BoardPlan> plans, bool bFirstGetsLu, bool bAsk, bool bPassed) {
  CusrTraceScope trace(kClass, "OnInstall", TRC_FUNC);
  if (!bPassed) {
    SetIdle();
    return;
  }
  if (bAsk && (Ask(msg::kCheckLuPaths) == IDCANCEL || Ask(msg::kInheritInitializesCmLu) == IDCANCEL)) {
    trace.Info("Selected [Cancel] button", TRC_INFO);
    SetIdle();
    return;
  }
  if (bAsk) m_ulFirstSlot = plans.front().Slot();
  StartInstalling(std::move(plans), bFirstGetsLu);
}

void CdlgInheritInstall::SetIdle() {
  m_bWorking = false;
  SetFieldCaption(m_nIdleMode);
  GetDlgItem(res::kIiInstall).EnableWindow(m_nIdleMode == kModeReady && m_nOsCount > 0);
  GetDlgItem(res::kIiRetry).EnableWindow(m_nIdleMode != kModeReady && !m_retry.empty());
  GetDlgItem(res::kIiClose).EnableWindow(true);
  GetHost().SetWaitCursor(false);
}

void CdlgInheritInstall::StartInstalling(std::vector<install::BoardPlan> plans, bool bFirstGetsLu) {
  CusrTraceScope trace(kClass, "StartInstalling", TRC_FUNC);
  // The boards boot their installer against the DHCP table: nothing starts without fresh MAC
  // addresses.
  if (m_rSession.Services() != nullptr) {
    if (const std::uint32_t ulError = m_rSession.Services()->RefreshMacAddress(); ulError != 0) {
      trace.Error(TraceFmt("Inherit and Install Failed (Code:0x%08x)", ulError), TRC_ERROR);
      SetIdle();
      return;
    }
  }
  m_bWorking = true;
  SetFieldCaption(kModeInstalling);
  for (const int id : {res::kIiInstall, res::kIiRetry, res::kIiClose}) GetDlgItem(id).EnableWindow(false);
  GetDlgItem(res::kIiResultList).DeleteAllRows();
  SetInstallList(plans);
  for (const install::BoardPlan& plan : plans)
    install::SetInstalling(plan.Slot(), true, bFirstGetsLu && plan.Slot() == plans.front().Slot());
  GetHost().SetWaitCursor(true);
  StartWorker([this, plans = std::move(plans), bFirstGetsLu]() mutable {
    ViewSink sink(*this, plans);
    install::InheritJob job(std::move(plans), m_products, bFirstGetsLu);
    job.Run(sink);
  });
}

void CdlgInheritInstall::SetInstallList(const std::vector<install::BoardPlan>& plans) {
  kelp::ui::Control list = GetDlgItem(res::kIiInfoList);
  list.DeleteAllRows();
  for (const install::BoardPlan& plan : plans)
    for (const board::ProductRecord& r : plan.products)
      list.AddRow({m_rSession.Array().LocationName(plan.Slot()), r[board::kProductName], ""});
}

void CdlgInheritInstall::ShowResults(const std::vector<install::BoardResult>& results) {
  CusrTraceScope trace(kClass, "ShowResults", TRC_FUNC);
  kelp::ui::Control list = GetDlgItem(res::kIiResultList);
  list.DeleteAllRows();
  m_retry.clear();
  kelp::ui::Transcript* pTranscript = GetHost().GetTranscript();
  for (const install::BoardResult& r : results) {
    const std::uint32_t ulSlot = r.plan.Slot();
    const std::string strName = m_rSession.Array().LocationName(ulSlot);
    const std::uint32_t ulCode = r.outcome.ulCode;
    std::string strStage = "not started";
    std::string strResult = "Not started";
    std::string strReason = "the first board failed";
    if (r.bStarted) {
      switch (r.outcome.stage) {
        case install::Stage::NasOs: strStage = "NAS OS install"; break;
        case install::Stage::NasOsBoot: strStage = "NAS OS boot"; break;
        case install::Stage::Products: strStage = FailedProductsText(r); break;
        case install::Stage::Done: strStage = "all products"; break;
      }
      strResult = ulCode == 0 ? LoadString(str::kCompleted) : install::FailedText(ulCode);
      strReason = ulCode == 0 ? "" : ReasonText(r);
    }
    if (std::optional<install::BoardPlan> retry = install::RetryPlan(r)) m_retry.push_back(std::move(*retry));
    const std::string strElapsed = r.bStarted ? Minutes(r.elapsed) : "-";
    list.AddRow({strName, strStage, strResult, strReason, strElapsed});
    trace.Info(TraceFmt("result %s : %s, %s, %s, %s", strName.c_str(), strStage.c_str(), strResult.c_str(),
                        strReason.c_str(), strElapsed.c_str()),
               TRC_INFO);
    if (pTranscript != nullptr) pTranscript->Result(static_cast<int>(ulSlot), r.Code(), strReason);
  }
}

void CdlgInheritInstall::Finish(const std::vector<install::BoardResult>& results, bool bSucceeded, bool bRestart) {
  for (std::uint32_t i = 0; i < CusrCHN::kSlots; ++i) install::SetInstalling(i, false);
  ShowResults(results);
  m_nIdleMode = bSucceeded ? kModeFinished : kModeFailed;
  SetFieldCaption(m_nIdleMode);
  if (bSucceeded) {
    ShowMessage(msg::kInheritFinished);
    if (bRestart) ShowMessage(msg::kPatchNeedsRestart);
  }
  SetIdle();
}

void CdlgInheritInstall::SetFieldCaption(int nMode) {
  if (nMode < kModeReady || nMode > kModeChecking) {
    WriteTraceLine(TraceFmt("Unkown mode. iEnableMode = %d", nMode), "error", TRC_ERROR & GetTraceMask());
    return;
  }
  SetWindowText(std::string(kCaption) + kCaptionSuffix[nMode]);
}

void CdlgInheritInstall::OnOK() {
  if (m_bWorking) return;
  CusrTraceScope trace(kClass, "OnClose", TRC_FUNC);
  EndDialog(IDOK);
}

void CdlgInheritInstall::OnCancel() {
  if (m_bWorking) {
    WriteTraceLine("The inherit installation runs: the dialog stays open", "info_", TRC_INFO & GetTraceMask());
    return;
  }
  OnOK();
}
