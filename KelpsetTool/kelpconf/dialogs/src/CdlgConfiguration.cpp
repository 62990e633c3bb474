#include "dialogs/CdlgConfiguration.h"

#include <sys/stat.h>
#include <sys/vfs.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>

#include "common/CusrTraceScope.h"
#include "common/MessageBoxStyle.h"
#include "resources/ControlIds.h"
#include "ui/Host.h"

namespace res = kelp::res;

namespace {

constexpr const char* kClass = "CdlgConfiguration";
constexpr const char* kPrompt = "Please select the folder containing the data copied from the installation CD-ROM.";

// File systems that are not a local disk or CD-ROM: served over the network, or kernel
// pseudo file systems (statfs magic numbers).
constexpr long kNotLocal[] = {
    0x6969,      // nfs
    0x517B,      // smb
    0xFF534D42,  // cifs
    0xFE534D42,  // smb2
    0x564C,      // ncp
    0x73757245,  // coda
    0x5346414F,  // afs
    0x01021997,  // 9p
    0x00C36400,  // ceph
    0x9FA0,      // proc
    0x62656572,  // sysfs
    0x1373,      // devfs
    0x1CD1,      // devpts
};

bool IsOnLocalFileSystem(const std::string& strFolder) {
  struct statfs st {};
  if (::statfs(strFolder.c_str(), &st) != 0) return false;
  const long lType = static_cast<long>(st.f_type);
  return std::find(std::begin(kNotLocal), std::end(kNotLocal), lType) == std::end(kNotLocal);
}

std::string Normal(const std::string& strFolder) {
  std::string strNormal = std::filesystem::path(strFolder).lexically_normal().string();
  if (strNormal.size() > 1 && strNormal.back() == '/') strNormal.pop_back();
  return strNormal;
}

}  // namespace

CdlgConfiguration::CdlgConfiguration(kelp::ui::Host& host, std::string strMediaRoot,
                                     std::function<bool()> isFunctionDisable)
    : Dialog(host, res::kTemplateConfiguration),
      m_strMediaRoot(std::move(strMediaRoot)),
      m_strSelected(m_strMediaRoot),
      m_isFunctionDisable(std::move(isFunctionDisable)) {
  OnCommand(res::kConfigBrowse, [this] { OnBrowseButton(); });
  OnCommand(res::kConfigFolder, [this] { OnFolderSet(); });
}

bool CdlgConfiguration::OnInitDialog() {
  GetDlgItem(res::kConfigFolder).SetWindowText(m_strSelected);
  return true;
}

void CdlgConfiguration::OnBrowseButton() {
  CusrTraceScope trace(kClass, "OnBrowseButton", TRC_FUNC);
  const std::optional<std::string> chosen =
      GetHost().BrowseForFolder(*this, kPrompt, m_strSelected, [](const std::string& f) { return ChkSelectedFolder(f); });
  if (chosen) TakeFolder(*chosen);
}

void CdlgConfiguration::OnFolderSet() {
  const std::string strFolder = GetDlgItem(res::kConfigFolder).GetWindowText();
  if (ChkSelectedFolder(strFolder)) TakeFolder(strFolder);
  else GetDlgItem(res::kConfigFolder).SetWindowText(m_strSelected);
}

void CdlgConfiguration::TakeFolder(const std::string& strFolder) {
  CusrTraceScope trace(kClass, "TakeFolder", TRC_FUNC);
  trace.Info(TraceFmt("Selected Folder : %s", strFolder.c_str()), TRC_INFO);
  m_strSelected = strFolder;
  GetDlgItem(res::kConfigFolder).SetWindowText(m_strSelected);
}

bool CdlgConfiguration::ChkSelectedFolder(const std::string& strFolder) {
  CusrTraceScope trace(kClass, "ChkSelectedFolder", TRC_FUNC);
  if (strFolder.empty() || !IsOnLocalFileSystem(strFolder)) return false;
  const std::string strProducts = (std::filesystem::path(strFolder) / "MP").string();
  struct stat st {};
  if (::stat(strProducts.c_str(), &st) != 0) {
    trace.Error(TraceFmt("FindFirstFile() : code = 0x%08x", static_cast<unsigned>(errno)), TRC_ERROR);
    return false;
  }
  return true;
}

void CdlgConfiguration::OnOK() {
  CusrTraceScope trace(kClass, "OnOK", TRC_FUNC);
  if (m_isFunctionDisable && m_isFunctionDisable()) return;
  if (Normal(m_strSelected) == Normal(m_strMediaRoot)) {
    EndDialog(IDCANCEL);
    return;
  }
  m_strMediaRoot = m_strSelected;
  EndDialog(IDOK);
}
