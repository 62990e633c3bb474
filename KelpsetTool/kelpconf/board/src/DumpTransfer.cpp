#include "board/DumpTransfer.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "plat/Paths.h"

namespace board {
namespace {

constexpr std::uint32_t kHighHalf = 0xFFFF0000u;
constexpr std::uint32_t kLowHalf = 0x0000FFFFu;
constexpr std::uint32_t kErrorHigh = 0xFFFE0000u;
constexpr std::uint32_t kFinishedHigh = 0xFFFF0000u;
constexpr std::uint32_t kCauseBits = 0x1100u;
constexpr std::uint64_t kMiB = 1024 * 1024;
// Names tried after the reported one before giving up.
constexpr int kSuffixLimit = 9999;

struct DumpWord {
  std::uint32_t ulWord;
  DumpState state;
};
constexpr DumpWord kDumpWords[] = {
    {kDumpNormal, DumpState::Normal},
    {kDumpNothing, DumpState::Nothing},
    {kDumpDownloading, DumpState::Downloading},
};

struct StateText {
  DumpState state;
  std::uint32_t ulTextId;
};
constexpr StateText kStateTexts[] = {
    {DumpState::Normal, 2510},
    {DumpState::Downloading, 2511},
    {DumpState::Nothing, 2512},
    {DumpState::Unknown, 2513},
};

}  // namespace

DumpState ClassifyDumpStatus(std::uint32_t ulStatus) {
  if ((ulStatus & kHighHalf) == kErrorHigh) return DumpState::Error;
  for (const DumpWord& row : kDumpWords)
    if (row.ulWord == ulStatus) return row.state;
  return DumpState::Unknown;
}

std::uint32_t DumpStateTextId(DumpState state) {
  for (const StateText& row : kStateTexts)
    if (row.state == state) return row.ulTextId;
  return 0;
}

DownloadState ClassifyDownloadStatus(std::uint32_t ulStatus) {
  const std::uint32_t ulLow = ulStatus & kLowHalf;
  if (ulStatus == 0) return DownloadState::Running;
  switch (ulStatus & kHighHalf) {
    case kFinishedHigh:
      if (ulLow == 0) return DownloadState::Succeeded;
      return ulLow == kLowHalf ? DownloadState::Running : DownloadState::Failed;
    case kErrorHigh:
      return (ulLow & kCauseBits) == kCauseBits ? DownloadState::TransferCause : DownloadState::TransferFailed;
    default:
      return DownloadState::Unknown;
  }
}

std::optional<std::uint64_t> RequiredDumpBytes(std::int64_t nSizeMb) {
  if (nSizeMb < 0 || nSizeMb > kMaxDumpSizeMb) return std::nullopt;
  return (static_cast<std::uint64_t>(nSizeMb) + kDumpSpareMb) * kMiB;
}

bool IsPlainDumpFileName(const std::string& strName) {
  return !strName.empty() && strName != "." && strName != ".." &&
         strName.find_first_of("/\\") == std::string::npos;
}

std::filesystem::path DumpFolder() { return plat::MapPath(plat::kDumpFolder); }

std::filesystem::path DumpReceiveFolder() { return plat::MapPath(plat::kDumpReceiveFolder); }

FileResult FileReceivedDump(const std::string& strName, std::string* pstrFiled, std::error_code* pError) {
  pError->clear();
  if (!IsPlainDumpFileName(strName)) return FileResult::BadName;
  const std::filesystem::path source = DumpReceiveFolder() / strName;
  struct stat st {};
  if (::lstat(source.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return FileResult::Missing;
  if (st.st_size <= 0) return FileResult::Empty;
  for (int n = 0; n <= kSuffixLimit; ++n) {
    const std::string strTarget = n == 0 ? strName : strName + "_" + std::to_string(n);
    if (::link(source.c_str(), (DumpFolder() / strTarget).c_str()) == 0) {
      ::unlink(source.c_str());
      *pstrFiled = strTarget;
      return FileResult::Filed;
    }
    if (errno != EEXIST) {
      pError->assign(errno, std::generic_category());
      return FileResult::IoError;
    }
  }
  pError->assign(EEXIST, std::generic_category());
  return FileResult::IoError;
}

}  // namespace board
