#include "media/CusrMedia.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <system_error>

#include "common/CusrTraceScope.h"
#include "common/MessageCatalogue.h"
#include "common/MessageIds.h"
#include "common/Messages.h"
#include "media/MediaRules.h"
#include "plat/CdRom.h"
#include "plat/Paths.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kClass = "CusrMedia";
constexpr std::uint32_t kValueChars = 260;  // 259 characters and the NUL
constexpr const char* kTftpIni = "C:\\tftp.ini";
constexpr const char* kSystemDrive = "C:";
constexpr const char* kProductFolder = "MP";
constexpr const char* kKindExtensions[CusrMedia::kKinds] = {".os", ".sut", ".req", ".opt"};

// A catalogue message made for the trace only, never shown.
std::string MessageForTrace(std::uint32_t ulId, const std::string& strArg) {
  const MessageRow& row = MessageCatalogue::Of(GetMessageProgram()).Rows()[FindMessage(ulId)];
  char szText[1024];
  FormatMessageText(szText, sizeof szText, ulId, row.kind, {strArg});
  return szText;
}

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
  return text;
}

// The description files of one kind, in the order the folder lists them.
std::vector<fs::path> FindEnvFiles(const std::string& strFolder, const char* pszExtension) {
  std::vector<fs::path> found;
  std::error_code ec;
  for (fs::directory_iterator it(strFolder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& path = it->path();
    if (it->is_regular_file(ec) && Lower(path.extension().string()) == pszExtension) found.push_back(path);
  }
  return found;
}

// The entry of folder whose name equals name regardless of case, or empty.
fs::path FindIgnoringCase(const fs::path& folder, const std::string& strName) {
  std::error_code ec;
  const std::string strWanted = Lower(strName);
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
    if (Lower(it->path().filename().string()) == strWanted) return it->path();
  return {};
}

}  // namespace

CusrMedia::CusrMedia(media::MediaLocation location, fs::path mountsFile)
    : m_location(std::move(location)), m_mountsFile(std::move(mountsFile)) {}

media::LocateResult CusrMedia::LocateInstallMedia(std::string strPath) {
  CusrTraceScope trace(kClass, "LocateInstallMedia", TRC_FUNC);
  if (strPath.size() >= kValueChars) strPath.resize(kValueChars - 1);
  if (!strPath.empty() && (strPath.back() == '/' || strPath.back() == '\\')) strPath.pop_back();
  const std::string strNative = plat::MapPath(strPath).string();

  struct stat st {};
  const bool bExists = !strNative.empty() && ::stat(strNative.c_str(), &st) == 0;
  // A drive the system does not map is as missing as an absent folder.
  const int nError = bExists ? 0 : strNative.empty() ? ENOENT : errno;
  media::LocateResult result;
  std::string strDeviceRoot;
  if (bExists && strNative.find('/') != std::string::npos) {
    result.location = {strNative, true};
    strDeviceRoot = fs::path(strNative).parent_path().string();
  } else {
    if (!strPath.empty())
      trace.Warn(TraceFmt("File not found (default path): error path = %s, error code = 0x%08x", strPath.c_str(),
                          static_cast<unsigned>(nError)),
                 TRC_WARN);
    std::string strDrive;
    const std::uint32_t ulSearch = SearchCDROM(&strDrive);
    if (ulSearch != 0) {
      trace.Warn("CD-ROM drive cannot be found", TRC_WARN);
      trace.Warn(TraceFmt("SearchCDROM() : code = 0x%08x", ulSearch), TRC_WARN);
      // The system folder's drive.
      strDrive = plat::MapPath(kSystemDrive).string();
    }
    result.location = {strDrive, false};
    strDeviceRoot = strDrive;
  }
  m_location = result.location;
  result.ulError = SetInstallDevice(strDeviceRoot);
  return result;
}

std::uint32_t CusrMedia::SearchCDROM(std::string* pstrDrive) const {
  CusrTraceScope trace(kClass, "SearchCDROM", TRC_FUNC);
  const std::vector<fs::path> mounts = plat::FindCdRomMounts(m_mountsFile);
  if (mounts.empty()) return kErrNoCdRom;
  *pstrDrive = mounts.front().string();
  trace.Info(TraceFmt("CD-ROM drive : %s", pstrDrive->c_str()), TRC_INFO);
  return 0;
}

std::uint32_t CusrMedia::GetInstallFilesPath(std::string* pstrPath) const {
  *pstrPath = m_location.bRootIsMP ? m_location.strRoot : (fs::path(m_location.strRoot) / kProductFolder).string();
  return 0;
}

std::uint32_t CusrMedia::SetInstallDevice(const std::string& strRoot) const {
  CusrTraceScope trace(kClass, "SetInstallDevice", TRC_FUNC);
  const fs::path ini = plat::MapPath(kTftpIni);
  std::error_code ec;
  fs::create_directories(ini.parent_path(), ec);
  const std::string strNetboot = (fs::absolute(strRoot, ec) / plat::kMediaNetbootFolder).lexically_normal().string();
  errno = 0;
  if (ec || !plat::WritePrivateProfileString("Parameters", "File Path", strNetboot.c_str(), ini)) {
    trace.Error(TraceFmt("WritePrivateProfileString() : code = %d", ec ? ec.value() : errno), TRC_ERROR);
    trace.Error(MessageForTrace(msg::kFileIoError, ""), TRC_ERROR);
    return kErrTftpIni;
  }
  trace.Info(TraceFmt("TFTP root : %s", strNetboot.c_str()), TRC_INFO);
  return 0;
}

int CusrMedia::ReadPPEnvFile(const fs::path& envFile, std::string* pstrName, std::string* pstrVersion,
                             std::string* pstrFile, std::string* pstrTimeout, std::string* pstrBuild) const {
  CusrTraceScope trace(kClass, "ReadPPEnvFile", TRC_FUNC);
  // Read with room for one character more than a value may hold: a longer value (or one with a
  // NUL inside) is refused, never cut into another name or path.
  std::string strBadKey;
  const auto read = [&](const char* pszSection, const char* pszKey, const char* pszDefault) {
    std::string strValue = plat::GetProfileString(pszSection, pszKey, pszDefault, envFile, kValueChars + 1);
    if ((strValue.size() >= kValueChars || strValue.find('\0') != std::string::npos) && strBadKey.empty())
      strBadKey = pszKey;
    return strValue;
  };
  *pstrName = read("Product", "Name", "");
  *pstrVersion = read("Product", "Version", "");
  *pstrBuild = read("Product", "Build", "");
  *pstrFile = read("Product", "File", "");
  *pstrTimeout = read("Install", "Timeout", "1");
  trace.Info("Product Name = " + *pstrName, TRC_INFO);
  trace.Info("Version = " + *pstrVersion, TRC_INFO);
  trace.Info(TraceFmt("Build = %s", pstrBuild->c_str()), TRC_INFO);
  trace.Info("FileName = " + *pstrFile, TRC_INFO);
  trace.Info("Timeout = " + *pstrTimeout, TRC_INFO);

  const auto invalid = [&](const std::string& strWhy) {
    trace.Error(strWhy, TRC_ERROR);
    trace.Error(MessageForTrace(msg::kInvalidFile, envFile.string()), TRC_ERROR);
    return 0;
  };
  if (!strBadKey.empty()) return invalid(TraceFmt("Invalid value : %s", strBadKey.c_str()));
  if (pstrTimeout->empty()) *pstrTimeout = "1";
  const std::optional<std::uint32_t> minutes = media::ParseTimeoutMinutes(*pstrTimeout);
  if (!minutes) {
    *pstrTimeout = "1";
    return invalid("Invalid timeout!");
  }
  *pstrTimeout = std::to_string(*minutes);
  if (pstrName->empty() || pstrVersion->empty() || pstrFile->empty())
    return invalid(TraceFmt("Invalid envfile : %s", envFile.c_str()));
  if (!media::IsValidVersion(*pstrVersion)) return invalid(TraceFmt("Invalid version : %s", pstrVersion->c_str()));
  if (!media::IsSafeProductFileName(*pstrFile)) return invalid(TraceFmt("Invalid file name : %s", pstrFile->c_str()));
  return 1;
}

int CusrMedia::CheckEnvFile(std::string* pstrFilePath, std::string* pstrTimeout) const {
  CusrTraceScope trace(kClass, "CheckEnvFile", TRC_FUNC);
  const fs::path file(*pstrFilePath);
  std::error_code ec;
  const fs::path found = fs::exists(file, ec) ? file : FindIgnoringCase(file.parent_path(), file.filename().string());
  // A folder of that name is no product file ("sub/" names the folder sub itself).
  if (found.empty() || !fs::is_regular_file(found, ec)) {
    trace.Error(TraceFmt("No such file : %s", pstrFilePath->c_str()), TRC_ERROR);
    return 0;
  }
  if (!media::ParseTimeoutMinutes(*pstrTimeout)) {
    trace.Error(TraceFmt("Invalid timeout : %s", pstrTimeout->c_str()), TRC_ERROR);
    return 0;
  }
  *pstrFilePath = found.string();
  return 1;
}

std::uint32_t CusrMedia::SetPPInfo(board::ProductRecord* pRecord, const std::string& strName,
                                   const std::string& strVersion, const std::string& strFilePath,
                                   const std::string& strTimeout, const std::string& strEnvFileName,
                                   const std::string& strBuild) const {
  *pRecord = {strName, strVersion, strFilePath, strTimeout, strEnvFileName, strBuild};
  return 0;
}

bool CusrMedia::CheckMediaFolder() const {
  struct stat st {};
  if (::stat(m_strMediaFolder.c_str(), &st) == 0) return true;
  WriteTraceLine(TraceFmt("Install media not found. PATH = %s. FindFirstFile error = %s", m_strMediaFolder.c_str(),
                          std::strerror(errno)),
                 "error", TRC_ERROR & GetTraceMask());
  ShowMessage(msg::kInstallFileUnreadable);
  return false;
}

std::uint32_t CusrMedia::CreateProductArrayInMedia() {
  CusrTraceScope trace(kClass, "CreateProductArrayInMedia", TRC_FUNC);
  try {
    std::string strFolder;
    if (const std::uint32_t ulError = GetInstallFilesPath(&strFolder); ulError != 0) {
      trace.Error(TraceFmt("Error SetPath() : 0x%08x", ulError), TRC_ERROR);
      return ulError;
    }
    m_strMediaFolder = strFolder;
    ProductArray products;
    for (std::size_t slot = 0; slot < kKinds; ++slot) {
      auto list = std::make_shared<ProductList>();
      for (const fs::path& envFile : FindEnvFiles(strFolder, kKindExtensions[slot])) {
        std::string strName, strVersion, strFile, strTimeout, strBuild;
        if (ReadPPEnvFile(envFile, &strName, &strVersion, &strFile, &strTimeout, &strBuild) == 0) {
          trace.Error(TraceFmt("Envfile Error : %s", envFile.c_str()), TRC_ERROR);
          continue;
        }
        std::string strFilePath = (fs::path(strFolder) / plat::MapPath(strFile)).string();
        if (CheckEnvFile(&strFilePath, &strTimeout) == 0) {
          trace.Error(MessageForTrace(msg::kInvalidFile, envFile.string()), TRC_ERROR);
          continue;
        }
        board::ProductRecord record;
        SetPPInfo(&record, strName, strVersion, strFilePath, strTimeout, envFile.filename().string(), strBuild);
        media::InsertByEnvFileName(*list, std::move(record));
      }
      if (!list->empty()) products[slot] = std::move(list);
    }
    m_products = std::move(products);
    return 0;
  } catch (const std::bad_alloc&) {
    trace.Error(MessageForTrace(msg::kNoMemory, ""), TRC_ERROR);
    return kErrNoMemory;
  }
}

std::vector<media::CatalogueEntry> CusrMedia::GetCatalogueEntries() const {
  std::vector<media::CatalogueEntry> entries;
  for (std::size_t nKind = 0; nKind < m_products.size(); ++nKind) {
    if (!m_products[nKind]) continue;
    const ProductList& list = *m_products[nKind];
    for (std::size_t nIndex = 0; nIndex < list.size(); ++nIndex) entries.push_back({{nKind, nIndex}, list[nIndex]});
  }
  return entries;
}

std::optional<board::ProductRecord> CusrMedia::GetPPInfoEx(const media::ProductKey& key) const {
  if (key.nKind >= m_products.size() || !m_products[key.nKind] || key.nIndex >= m_products[key.nKind]->size())
    return std::nullopt;
  return (*m_products[key.nKind])[key.nIndex];
}
