#include "dialogs/CdlgProgramInstall.h"

#include <cerrno>
#include <cstdlib>

#include "agent/AgentCodes.h"
#include "agent/AgentWire.h"
#include "board/BoardSlots.h"
#include "board/CusrCHN.h"
#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/TextFormats.h"
#include "dialogs/CdlgConfirmInstallProduct.h"
#include "dialogs/CdlgInstallProgress.h"
#include "dialogs/ShutdownCheck.h"
#include "install/InstallRoutine.h"
#include "media/MediaRules.h"
#include "resources/ControlIds.h"

namespace res = kelp::res;

namespace {

constexpr const char* kClass = "CdlgProgramInstall";
constexpr const char* kOptType = "opt ";
// Messages of the choosing steps.
constexpr std::uint32_t kLuErrorInfo = 0x01;
constexpr std::uint32_t kLuClusterManagement = 0x10;
constexpr std::uint32_t kLuBoth = 0x11;

int Ask(std::uint32_t ulId, const std::string& strArg = {}) {
  int nButton = IDCANCEL;
  ShowMessage(ulId, strArg, {}, &nButton);
  return nButton;
}

// The board as the necessity check sees it.
class Facts : public install::BoardFacts {
 public:
  explicit Facts(CusrCHN& board) : m_board(board) {}
  bool IsExistLinux() const override { return m_board.IsExistLinux(); }
  bool IsOsRunning() const override { return m_board.IsOsRunning(); }
  int CompareProductVersion(const board::ProductRecord& r) const override {
    return m_board.CompareProductVersion(r[board::kProductName], r[board::kProductVersion]);
  }
  std::uint32_t SutInstallCheck(const board::ProductRecord& r, std::uint32_t* pulFlags,
                                std::uint32_t* pulResult) const override {
    std::uint32_t ulReboot = 0;
    return m_board.SutInstallCheck(std::filesystem::path(r[board::kProductFilePath]).filename().string(), pulFlags,
                                   &ulReboot, pulResult);
  }

 private:
  CusrCHN& m_board;
};

}  // namespace

CdlgProgramInstall::InstallHold::~InstallHold() {
  if (bKept) return;
  if (ulInit != 0) rArray.SubInitStatus(ulInit);
  if (bInstalling) install::SetInstalling(ulSlot, false);
}

void CdlgProgramInstall::InstallHold::Register(std::uint32_t ulFlags) {
  if (ulFlags != 0) rArray.AddInitStatus(ulFlags);
  ulInit = ulFlags;
}

CdlgProgramInstall::CdlgProgramInstall(kelp::ui::Host& host, session::ArraySession& rSession, CusrCHN& rBoard, ClosedCallback onClosed)
    : BoardDialog(host, res::kTemplateProgramInstall, rSession, rBoard, "installation", std::move(onClosed)) {
  OnCommand(res::kPiInstalledList, [this] { OnClickInstalledList(); });
  OnCommand(res::kPiUninstall, [this] { OnUninstall(); });
  OnCommand(res::kPiInstall, [this] { OnInstall(); });
  OnCommand(res::kPiClose, [this] { OnOK(); });
}

CdlgProgramInstall::~CdlgProgramInstall() = default;

void CdlgProgramInstall::Open(const media::MediaLocation& location) {
  CusrTraceScope trace(kClass, "OnInitDialog", TRC_FUNC);
  m_pcMedia = std::make_unique<CusrMedia>(location);
  if (const std::uint32_t ulError = m_pcMedia->CreateProductArrayInMedia(); ulError != 0)
    trace.Error(TraceFmt("CreateProductArrayInMedia() : code = 0x%08x", ulError), TRC_ERROR);
  GetDlgItem(res::kPiBoardLabel).SetWindowText(Board().LocationName());
  GetDlgItem(res::kPiMediaFolder).SetWindowText(m_pcMedia->MediaFolder());
  for (const int id : {res::kPiInitCmLu, res::kPiInitErrorLu, res::kPiForcibly, res::kPiInstall}) {
    GetDlgItem(id).SetCheck(0);
    GetDlgItem(id).EnableWindow(true);
  }
  SetProductListEx();
  ShowWindow(true);
  BringToForeground();
  SetInstalledList();
}

void CdlgProgramInstall::BringForward() {
  Dialog& front = IsWorking() ? static_cast<Dialog&>(*m_pdlgProgress) : *this;
  front.ShowWindow(true);
  front.BringToForeground();
}

void CdlgProgramInstall::SetInstalledList() {
  GetDlgItem(res::kPiInstalledList).DeleteAllRows();
  m_installed.clear();
  GetDlgItem(res::kPiUninstall).EnableWindow(false);
  if (!IsReading()) m_bInstallAfterRead = GetDlgItem(res::kPiInstall).IsWindowEnabled();
  GetDlgItem(res::kPiInstall).EnableWindow(false);
  StartRead(
      [&board = Board()] {
        InstalledRead read;
        const std::vector<agent::ProductTexts>* pProducts = board.GetInstPPInfo(&read.ulError);
        read.bRead = pProducts != nullptr;
        if (pProducts != nullptr) read.products = *pProducts;
        return read;
      },
      [this](const InstalledRead& read) { InstalledListRead(read); });
}

void CdlgProgramInstall::InstalledListRead(const InstalledRead& read) {
  CusrTraceScope trace(kClass, "SetInstalledList", TRC_FUNC);
  GetDlgItem(res::kPiInstall).EnableWindow(m_bInstallAfterRead);
  if (!read.bRead) {
    trace.Error(TraceFmt("GetInstPPInfo() : code = 0x%08x", read.ulError), TRC_ERROR);
    return;
  }
  m_installed = read.products;
  kelp::ui::Control list = GetDlgItem(res::kPiInstalledList);
  for (const agent::ProductTexts& p : m_installed) list.AddRow({p[agent::kProductName], p[agent::kProductVersion]});
}

void CdlgProgramInstall::SetProductListEx() {
  kelp::ui::Control list = GetDlgItem(res::kPiMediaList);
  list.DeleteAllRows();
  m_mediaRows = m_pcMedia->GetCatalogueEntries();
  for (const media::CatalogueEntry& e : m_mediaRows)
    list.AddRow({e.record[board::kProductName], media::GetVersionString(e.record[board::kProductVersion], false)});
}

void CdlgProgramInstall::OnClickInstalledList() {
  const int nRow = GetDlgItem(res::kPiInstalledList).GetSelection();
  const bool bOpt = nRow >= 0 && static_cast<std::size_t>(nRow) < m_installed.size() &&
                    m_installed[static_cast<std::size_t>(nRow)][agent::kProductType] == kOptType;
  GetDlgItem(res::kPiUninstall).EnableWindow(bOpt);
}

void CdlgProgramInstall::OnUninstall() {
  CusrTraceScope trace(kClass, "OnUninstall", TRC_FUNC);
  if (IsReading()) return;
  const int nRow = GetDlgItem(res::kPiInstalledList).GetSelection();
  if (nRow < 0 || static_cast<std::size_t>(nRow) >= m_installed.size()) return;
  const agent::ProductTexts product = m_installed[static_cast<std::size_t>(nRow)];
  if (Ask(msg::kUninstallQuestion, product[agent::kProductName]) != IDOK) return;
  trace.Info(TraceFmt("Uninstall PP = %s", product[agent::kProductName].c_str()), TRC_INFO);
  const auto ulCode = static_cast<std::uint32_t>(std::strtoul(product[agent::kProductCode].c_str(), nullptr, 10));
  m_bInstallAfterRead = GetDlgItem(res::kPiInstall).IsWindowEnabled();
  for (const int id : {res::kPiInstall, res::kPiUninstall}) GetDlgItem(id).EnableWindow(false);
  StartRead(
      [&board = Board(), ulCode, strName = product[agent::kProductName]] {
        CusrTraceScope worker(kClass, "OnUninstall", TRC_FUNC);
        const std::uint32_t ulResult = board.UninstallPP(ulCode, strName);
        worker.Info(TraceFmt("UninstallPP() : code = 0x%08x", ulResult), TRC_INFO);
        if (ulResult == 0) ShowMessage(msg::kFinishedNormally);
        return ulResult;
      },
      [this](std::uint32_t) {
        GetDlgItem(res::kPiInstall).EnableWindow(m_bInstallAfterRead);
        SetInstalledList();
      },
      false);
}

install::Selection CdlgProgramInstall::GetSelectedPPInfo() {
  kelp::ui::Control media = GetDlgItem(res::kPiMediaList);
  std::vector<bool> checked(m_mediaRows.size(), false);
  for (int i = 0; i < media.GetRowCount() && static_cast<std::size_t>(i) < checked.size(); ++i)
    checked[static_cast<std::size_t>(i)] = media.GetRowCheck(i);
  return install::SelectProducts(m_mediaRows, checked);
}

bool CdlgProgramInstall::IsInstallNecessary(install::ProductList* pList, std::size_t* pnOsCount, bool bForcibly) const {
  CusrTraceScope trace(kClass, "IsInstallNecessary", TRC_FUNC);
  const Facts facts(Board());
  install::Necessity result = install::IsInstallNecessary(facts, std::move(*pList), *pnOsCount, bForcibly);
  if (!result.bGoOn) {
    if (result.ulMessage != 0) ShowMessage(result.ulMessage);
    pList->clear();
    return false;
  }
  *pnOsCount = result.nOsCount;
  *pList = std::move(result.list);
  if (result.ulPreOps != 0 && Ask(msg::kInstallPreOperations, install::PreOperationLines(result.ulPreOps)) != IDOK) {
    trace.Info("[Cancel] button pushed", TRC_INFO);
    return false;
  }
  return true;
}

void CdlgProgramInstall::OnInstall() {
  CusrTraceScope trace(kClass, "OnInstall", TRC_FUNC);
  if (IsReading()) return;
  InstallChoice choice{GetSelectedPPInfo(), GetDlgItem(res::kPiForcibly).GetCheck() == 1,
                       (GetDlgItem(res::kPiInitCmLu).GetCheck() == 1 ? kLuClusterManagement : 0) |
                           (GetDlgItem(res::kPiInitErrorLu).GetCheck() == 1 ? kLuErrorInfo : 0)};
  if (choice.selection.products.empty()) return;
  for (const int id : {res::kPiInstall, res::kPiUninstall}) GetDlgItem(id).EnableWindow(false);
  StartRead([this, choice = std::move(choice)] { return PrepareInstall(choice); },
            [this](PreparedInstall prepared) { InstallPrepared(std::move(prepared)); }, false);
}

CdlgProgramInstall::PreparedInstall CdlgProgramInstall::PrepareInstall(const InstallChoice& choice) const {
  CusrTraceScope trace(kClass, "OnInstall", TRC_FUNC);
  PreparedInstall prepared;
  if (!CusrCHN::GetBatteryStatus()) {
    ShowMessage(msg::kOnBatteryPower);
    return prepared;
  }
  install::ProductList list = choice.selection.products;
  std::size_t nOsCount = choice.selection.nOsCount;
  if (nOsCount > 1) {
    // One NAS OS per installation: the others are refused with the agent's words for an
    // installation whose conditions are not met.
    install::ProductList refused;
    list = install::KeepFirstNasOs(std::move(list), &nOsCount, &refused);
    for (const board::ProductRecord& r : refused) {
      trace.Warn(TraceFmt("second NAS OS not installed : %s %s", r[board::kProductName].c_str(),
                          r[board::kProductVersion].c_str()),
                 TRC_WARN);
      ShowMessage(msg::kInstallConditions, common::CodeText(agent::kInstallErrorBit | agent::kAgentInstallConditions));
    }
  }
  if (nOsCount == 0 && !Board().IsExistLinux()) {
    // The NAS OS is the prerequisite of every product.
    trace.Error("NAS OS neither selected nor installed", TRC_ERROR);
    ShowMessage(msg::kPrerequisiteMissing,
                common::CodeText(agent::kInstallErrorBit | agent::kAgentPrerequisiteMissing));
    return prepared;
  }
  std::vector<std::pair<std::string, std::string>> versions;
  for (const board::ProductRecord& r : list) versions.emplace_back(r[board::kProductName], r[board::kProductVersion]);
  if (Board().CheckNNCType(versions) != 1) {
    ShowMessage(msg::kNncIncompatible);
    return prepared;
  }
  if (choice.selection.bSomeLeftOut && Ask(msg::kSomeProductsSelected) != IDOK) return prepared;
  if (!IsInstallNecessary(&list, &nOsCount, choice.bForcibly)) return prepared;
  if (!m_pcMedia->CheckMediaFolder()) return prepared;
  for (const board::ProductRecord& r : list) {
    if (media::IsValidVersion(r[board::kProductVersion])) continue;
    trace.Error(TraceFmt("PP Name: %s", r[board::kProductName].c_str()), TRC_ERROR);
    trace.Error(TraceFmt("Invalid PP Version: %s", r[board::kProductVersion].c_str()), TRC_ERROR);
    ShowMessage(msg::kBadProductVersion);
    return prepared;
  }
  install::InstallRequest request;
  auto hold = std::make_shared<InstallHold>(Array(), Slot());
  if (nOsCount > 0 && !AskNasOsOptions(choice.ulInit, *hold, &request.ulInstallType, &prepared.bMacFailed))
    return prepared;
  request.ulInitStatus = hold->ulInit;
  request.bInitRegistered = hold->ulInit != 0;
  request.products = std::move(list);
  request.nOsCount = nOsCount;
  prepared.request = std::move(request);
  prepared.hold = std::move(hold);
  return prepared;
}

void CdlgProgramInstall::InstallPrepared(PreparedInstall prepared) {
  CusrTraceScope trace(kClass, "OnInstall", TRC_FUNC);
  GetDlgItem(res::kPiInstall).EnableWindow(true);
  OnClickInstalledList();
  if (prepared.bMacFailed) {
    for (const int id : {res::kPiInitCmLu, res::kPiInitErrorLu, res::kPiInstall}) {
      GetDlgItem(id).SetCheck(0);
      GetDlgItem(id).EnableWindow(false);
    }
  }
  if (!prepared.request) return;
  install::InstallRequest& request = *prepared.request;
  install::SetInstalling(Slot(), true, request.ulInitStatus != 0);
  prepared.hold->bInstalling = true;
  ShowWindow(false);
  CdlgConfirmInstallProduct confirm(GetHost(), Board().LocationName(), request.products);
  const int nResult = confirm.DoModal();
  if (nResult != IDOK) {
    // Nothing was sent to the board yet: the hold gives its marks back; the choice shows again.
    if (nResult != IDCANCEL) ShowMessage(msg::kPcInternalError, common::CodeText(static_cast<unsigned>(errno)));
    ShowWindow(true);
    return;
  }
  // The board boots its installer against the DHCP table: with a MAC address that could not be
  // read it would boot against a stale table and fail only at the install's limit.
  services::NetbootServices* pServices = Session().Services();
  if (request.nOsCount == 0 || pServices == nullptr) {
    StartProgress(std::move(prepared));
    return;
  }
  StartRead([pServices] { return pServices->RefreshMacAddress(); },
            [this, prepared = std::move(prepared)](std::uint32_t ulError) mutable {
              CusrTraceScope refresh(kClass, "OnInstall", TRC_FUNC);
              if (ulError == 0) {
                StartProgress(std::move(prepared));
                return;
              }
              refresh.Error(TraceFmt("RefreshMacAddress() : 0x%08x", ulError), TRC_ERROR);
              prepared.hold.reset();
              ShowWindow(true);
            },
            false);
}

void CdlgProgramInstall::StartProgress(PreparedInstall prepared) {
  prepared.hold->Keep();  // the installation gives the marks back when it ends
  m_pdlgProgress = std::make_unique<CdlgInstallProgress>(GetHost(), Session(), Board(), [this](std::uint32_t) { ProgressClosed(); });
  m_pdlgProgress->Create();
  m_pdlgProgress->SetSelectPPInfo(std::move(*prepared.request));
  SetWorking(true);  // the progress dialog is the one the engineer works with now
  m_pdlgProgress->ShowProgressDlg();
}

bool CdlgProgramInstall::AskNasOsOptions(std::uint32_t ulInit, InstallHold& hold, std::uint32_t* pulType,
                                         bool* pbMacFailed) const {
  CusrTraceScope trace(kClass, "AskNasOsOptions", TRC_FUNC);
  CusrCHN& board = Board();
  if (const std::uint32_t ulOther = Array().GetInitStatus(); ulOther != 0) {
    if (ulOther == kLuErrorInfo) {
      ShowMessage(msg::kOtherTaskInitErrorLu);
    } else if (ulOther == kLuClusterManagement || ulOther == kLuBoth) {
      ShowMessage(msg::kOtherTaskInitCmLu);
    } else {
      trace.Error(TraceFmt("uInitStatus = 0x%08x", ulOther), TRC_ERROR);
      ShowMessage(msg::kInternalError);
    }
    return false;
  }
  std::uint32_t ulError = 0;
  if (!board.GetMacAddress(&ulError)) {
    trace.Error(TraceFmt("m_pcCHNs[%u]->GetMacAddress() : 0x%08x", Slot(), ulError), TRC_ERROR);
    trace.Error("CusrCHN::CheckMacAddress() Error Return", TRC_ERROR);
    *pbMacFailed = true;
    return false;
  }
  if (ulInit != 0 && install::IsOtherInstallingWithoutLu(Slot())) {
    ShowMessage(msg::kLuInitWhileInstalling);
    return false;
  }
  bool bNew = true;
  if (board.IsExistLinux() && ulInit == 0) {
    const int nButton = Ask(msg::kUpdateInstallQuestion);
    if (nButton == IDCANCEL) return false;
    bNew = nButton == IDNO;
    if (!bNew && board.IsOsRunning() && dialogs::CheckShutdown(board, msg::kFatalDamage) != dialogs::ShutdownCheck::GoOn)
      return false;
  }
  if (bNew) {
    if (Ask(msg::kNewInstallQuestion) != IDOK) return false;
    if (board.IsExistLinux()) {
      const std::uint32_t ulPartner = board::PartnerSlot(Slot());
      const CusrCHN* pPartner = Session().Board(ulPartner);
      if ((board.IsOsRunning() || (pPartner != nullptr && pPartner->IsOsRunning())) &&
          Ask(msg::kClusterNasOsRunning) != IDOK)
        return false;
      if (Ask(msg::kFatalDamage) != IDOK) return false;
    }
  }
  const bool bFirst = Array().IsAllNew() && Array().GetInitStatus() == 0;
  if (bFirst) {
    if (Ask(msg::kFirstInstall) != IDOK) return false;
    ulInit = kLuBoth;
  }
  hold.Register(ulInit);
  if (!bFirst && ulInit != 0) {
    const std::uint32_t ulQuestion =
        ulInit == kLuErrorInfo           ? msg::kInitErrorLuQuestion
        : ulInit == kLuClusterManagement ? msg::kInitCmLuQuestion
                                         : msg::kInitBothLusQuestion;
    if (Ask(ulQuestion) == IDCANCEL || Ask(msg::kFatalDamage) == IDCANCEL) return false;
  }
  *pulType = bNew ? 0 : 1;
  return true;
}

void CdlgProgramInstall::ProgressClosed() {
  CusrTraceScope trace(kClass, "OnOK", TRC_FUNC);
  SetWorking(false);
  SetProductListEx();
  if (Board().IsOsRunning()) SetInstalledList();
  kelp::ui::Control media = GetDlgItem(res::kPiMediaList);
  for (int i = 0; i < media.GetRowCount(); ++i) media.SetRowCheck(i, false);
  for (const int id : {res::kPiInitCmLu, res::kPiInitErrorLu}) {
    GetDlgItem(id).SetCheck(0);
    GetDlgItem(id).EnableWindow(false);
  }
  ShowWindow(true);
  BringToForeground();
}
