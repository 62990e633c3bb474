#include "app/CKelpconfApp.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "KnownUnits.h"
#include "app/InstanceGuard.h"
#include "app/LaunchArguments.h"
#include "app/SystemCheck.h"
#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "common/ProcessContext.h"
#include "common/StringIds.h"
#include "common/Strings.h"
#include "common/TextFormats.h"
#include "common/TraceSettings.h"
#include "dialogs/CdlgMain.h"
#include "dialogs/CdlgSelectUnit.h"
#include "session/ArraySession.h"
#include "session/MainSettings.h"
#include "ui/Host.h"
#include "velapi.h"

namespace {

constexpr const char* kClass = "CKelpconfApp";
constexpr int kTraceGenerations = 2;

void ShowApiError(std::uint32_t ulError) { ShowMessage(GetApiErrorMessageId(ulError), common::CodeText(ulError)); }

}  // namespace

CKelpconfApp::CKelpconfApp(kelp::ui::Host& host) : m_host(host) {}

bool CKelpconfApp::IsSupportOS() {
  const app::SystemCheck check = app::CheckSystem();
  if (!check.queried) {
    ShowMessage(msg::kPcInternalError, common::CodeText(check.error));
    return false;
  }
  if (!check.supported) {
    ShowMessage(msg::kSystemUnsupported);
    return false;
  }
  return true;
}

void CKelpconfApp::RequestClose() {
  if (m_pMain != nullptr && !m_pMain->IsExiting()) m_pMain->OnMainClose();
}

kelp::ui::ToolPhase CKelpconfApp::Phase() const {
  if (m_bMainEnded || (m_pMain != nullptr && m_pMain->IsExiting())) return kelp::ui::ToolPhase::Closing;
  return m_pMain != nullptr && m_pMain->StartedUp() ? kelp::ui::ToolPhase::Open : kelp::ui::ToolPhase::Starting;
}

int CKelpconfApp::InitInstance(const std::vector<std::string>& words) {
  common::ProcessContext context({TraceProgram::Kelpconf, &m_host, dsvp_VELAPIRevision, nullptr, TRC_MASK_NONE});
  if (!IsSupportOS()) return kExitStartupEnded;

  app::LaunchArguments arguments;
  std::vector<std::string> launch = words;
  if (launch.empty()) {
    // No arguments at all: the desktop's way in. The engineer picks one of the units the array
    // library knows; with none known the command line is refused as before.
    if (std::vector<CdlgSelectUnit::Unit> units = app::KnownUnits(); !units.empty()) {
      CdlgSelectUnit chooser(m_host, std::move(units));
      chooser.DoModal();
      if (!chooser.Chosen()) return kExitStartupEnded;
      launch = {"-h", *chooser.Chosen()};
    }
  }
  if (const app::LaunchRefusal refusal = app::ParseLaunchArguments(launch, &arguments); refusal.messageId != 0) {
    // The trace's folder comes from the settings file, so the reason goes to standard error.
    if (!refusal.reason.empty()) std::fprintf(stderr, "kelpconf: %s\n", refusal.reason.c_str());
    ShowMessage(refusal.messageId, refusal.argument);
    return kExitStartupEnded;
  }
  const std::string strTitle = LoadString(str::kToolTitle) + " ( " + arguments.unitName + " )";
  app::InstanceGuard instance;
  switch (instance.Acquire(strTitle)) {
    case app::InstanceGuard::Outcome::First:
      break;
    case app::InstanceGuard::Outcome::RaisedOther:
      return kExitStartupEnded;
    case app::InstanceGuard::Outcome::OtherUnit:
      ShowMessage(msg::kOtherDeviceRunning);
      return kExitStartupEnded;
  }

  const session::MainSettings settings = session::ReadMainSettings(arguments.settingsFile);
  const TraceSettings traceSettings = ReadTraceSettings(arguments.settingsFile, TraceProgram::Kelpconf);
  CusrTrace trace(kKelpconfTraceVariant);
  std::uint32_t ulError = 0;
  if (trace.Open(traceSettings.strDirectory, "kelpconf", traceSettings.nSizeMB, kTraceGenerations, &ulError) != 0) {
    ShowMessage(msg::kInitializeFailed);
    return kExitStartupEnded;
  }
  context.InstallTrace(trace, traceSettings.ulMask);
  CusrTraceScope scope(kClass, "InitInstance", TRC_FUNC);
  if (settings.targetOutOfRange) scope.Warn("Target is out of range: -1 is used", TRC_WARN);

  scope.Info(TraceFmt("Unit Name      = %s", arguments.unitName.c_str()), TRC_INFO);
  std::error_code ec;
  const std::filesystem::path settingsFile = std::filesystem::absolute(arguments.settingsFile, ec).lexically_normal();
  scope.Info(TraceFmt("Settings File  = %s", settingsFile.c_str()), TRC_INFO);
  if (!settings.fileProblem.empty())
    scope.Warn(TraceFmt("cannot read the settings file %s: %s: every key has its default", settingsFile.c_str(),
                        settings.fileProblem.c_str()),
               TRC_WARN);
  if (!dsvp_SetArrayUnitName(arguments.unitName.c_str(), &ulError)) {
    scope.Error(TraceFmt("dsvp_SetArrayUnitName is failed : 0x%08x", ulError), TRC_ERROR);
    ShowApiError(ulError);
    return kExitStartupEnded;
  }
  session::ArraySession session(arguments.settingsFile, settings);
  if (!session.ReadSvpAddress(&ulError)) {
    scope.Error(TraceFmt("dsvp_GetSvpIPAdrr() : 0x%08x", ulError), TRC_ERROR);
    ShowApiError(ulError);
    return kExitStartupEnded;
  }

  CdlgMain main(m_host, session, arguments.unitName);

  if (settings.ftpdPathTooLong) {
    scope.Error("kelpftpd_path is longer than 259 characters", TRC_ERROR);
    ShowMessage(msg::kServiceNotStarted, settings.ftpdPath.substr(0, session::kMaxFtpdPathSize));
    return kExitStartupEnded;
  }
  const session::FtpdStart ftpd = session.StartFileServer();
  if (!ftpd.ok) {
    scope.Error(TraceFmt("%s: %s", ftpd.failedStep.c_str(), ftpd.detail.c_str()), TRC_ERROR);
    ShowMessage(msg::kServiceNotStarted, settings.ftpdPath);
    return kExitStartupEnded;
  }

  instance.Publish(strTitle, [this, &main] { m_host.Post([&main] { main.BringToForeground(); }); });
  m_pMain = &main;
  m_host.Post([this] {
    if (m_pMain != nullptr && !m_pMain->IsExiting() && m_ready) m_ready();
  });
  const int nResult = main.DoModal();
  m_pMain = nullptr;
  m_bMainEnded = true;
  if (nResult == -1 || nResult == 3)
    scope.Error(TraceFmt("Main dialog created failed. code = 0x%08x", static_cast<unsigned>(nResult)), TRC_ERROR);

  session.StopFileServer();
  return main.StartedUp() ? kExitNormal : kExitStartupEnded;
}
