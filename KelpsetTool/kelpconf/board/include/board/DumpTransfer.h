// The words of a board's NAS dump and of its download, the space a download needs on drive C:,
// and the filing of a received dump file into the dump folder.
//
// A board uploads its dump to the maintenance PC's file-transfer service, which receives it in
// plat::kDumpReceiveFolder; the setup tool then files it under plat::kDumpFolder without ever
// replacing a file there (a name already taken gets "_1", "_2", ...).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

namespace board {

// Dump status words of GetDumpInfo; kDumpDownloading is set by the setup tool itself.
inline constexpr std::uint32_t kDumpNormal = 0x0000FFFE;
inline constexpr std::uint32_t kDumpNothing = 0x0000FFFF;
inline constexpr std::uint32_t kDumpDownloading = 0x0000FFFC;

enum class DumpState { Error, Normal, Nothing, Downloading, Unknown };
// The high half 0xFFFE is an error whatever the low half says; then the exact words.
DumpState ClassifyDumpStatus(std::uint32_t ulStatus);
// The string id of the word shown for a state ("Normal" 2510 ...); 0 for Error.
std::uint32_t DumpStateTextId(DumpState state);

// What a download status word of GetDownloadDumpStatus says.
enum class DownloadState {
  Succeeded,       // finished, low half 0
  Running,         // the word 0, or finished-family with low half 0xFFFF
  Failed,          // finished with a failure code (message 3516)
  TransferCause,   // transfer to the PC failed with a cause code: bits 0x1100 (3647)
  TransferFailed,  // other transfer failure (4018)
  Unknown,         // any other word (3516)
};
DownloadState ClassifyDownloadStatus(std::uint32_t ulStatus);

// Bytes a dump of nSizeMb needs free: (size + 50) MiB. Empty for a negative size, or one above
// kMaxDumpSizeMb, which no board can hold.
inline constexpr std::int64_t kDumpSpareMb = 50;
inline constexpr std::int64_t kMaxDumpSizeMb = 1 << 20;
std::optional<std::uint64_t> RequiredDumpBytes(std::int64_t nSizeMb);

// A file name the board may report: not empty, not "." or "..", no '/' or '\'.
bool IsPlainDumpFileName(const std::string& strName);

enum class FileResult { Filed, BadName, Missing, Empty, IoError };
// Moves the received file strName into the dump folder under the first free name (strName,
// strName_1, ...; linked, so nothing is replaced even by a concurrent writer). *pstrFiled gets
// the name it was filed under; *pError the system error of IoError.
FileResult FileReceivedDump(const std::string& strName, std::string* pstrFiled, std::error_code* pError);

std::filesystem::path DumpFolder();
std::filesystem::path DumpReceiveFolder();

}  // namespace board
