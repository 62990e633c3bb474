// Byte layouts of the array's NAS mode pages: page 0x33 (port information) and the sub-pages
// 0xA1..0xAC of page 62. The simulated array builds and parses its images from these offsets and
// VELAPI reads and writes its fields through them, so the layout exists once.
// Multi-byte fields are big-endian, except the install status of A6 (little-endian).
#pragma once

#include <cstddef>
#include <cstdint>

#include "nas/ShutdownProgress.h"
#include "nas/StatusWord.h"

namespace corvid::pages {

inline constexpr int kNasPage = 62;        // 0x3E
inline constexpr int kPortInfoPage = 0x33;
inline constexpr int kPortInfoSubPage = 0;
inline constexpr int kBoards = 4;           // board index k = sCluster * 2 + sPCB
inline constexpr std::size_t kHeaderSize = 8;  // bytes 0..7: page header, not read by VELAPI

// Sub-pages of page 62.
enum SubPage : int {
  kA1Install = 0xA1,
  kA2InstallInfo = 0xA2,
  kA3Config = 0xA3,
  kA4TimeOut = 0xA4,
  kA5HibDump = 0xA5,
  kA6Progress = 0xA6,
  kA7Power = 0xA7,
  kA8Shutdown = 0xA8,
  kA9DumpPrepare = 0xA9,
  kAADumpInfo = 0xAA,
  kABDownload = 0xAB,
  kACDownloadStatus = 0xAC,
};

// Page 0x33.
namespace port {
inline constexpr std::size_t kDeviceType = 3;
// Status and kind byte of the ports CTL0-0, CTL0-1, CTL1-0, CTL1-1 (board index order).
inline constexpr std::size_t kStatus[kBoards] = {1712, 1714, 1716, 1718};
inline constexpr std::size_t kKind[kBoards] = {1720, 1722, 1724, 1726};
inline constexpr std::size_t kSize = 1728;
inline constexpr std::uint8_t kStatusNotInstalled = 0;
inline constexpr std::uint8_t kStatusInstalled = 1;
inline constexpr std::uint8_t kKindNas = 2;
}  // namespace port

// A3: board configuration.
namespace a3 {
inline constexpr std::size_t kModel = 10;       // 2
inline constexpr std::size_t kSerial = 12;      // 8 ASCII digits, no terminator
inline constexpr std::size_t kSerialSize = 8;
inline constexpr std::size_t kSvpIp = 20;       // 4
inline constexpr std::size_t kSubnet = 24;      // 4
inline constexpr std::size_t kEntry0 = 28;
inline constexpr std::size_t kEntrySize = 328;
constexpr std::size_t Entry(int k) { return kEntry0 + kEntrySize * static_cast<std::size_t>(k); }
// Offsets inside an entry.
inline constexpr std::size_t kValid = 0;        // 1 valid, 0 not equipped, other not valid
inline constexpr std::size_t kMpStatus = 2;     // 2
inline constexpr std::size_t kIp = 4;           // 4
inline constexpr std::size_t kLocation = 8;     // 13, NUL-terminated when shorter
inline constexpr std::size_t kLocationSize = 13;
inline constexpr std::size_t kNasTypeFlag = 21;
inline constexpr std::size_t kNasType = 22;
inline constexpr std::size_t kStatus = 24;      // 4; low 16 bits are the status word
inline constexpr std::size_t kTimeOuts = 28;    // 6 x 4
inline constexpr int kTimeOutCount = 6;
inline constexpr std::size_t kIoPInfo = 68;     // 128
inline constexpr std::size_t kComInfo = 196;    // 128; bytes 0..5 are the MAC address
inline constexpr std::size_t kInfoSize = 128;
inline constexpr std::size_t kUserPortNum = 324;  // '4' or '2'
inline constexpr std::size_t kCacheCap = 325;     // '4' or '2'
inline constexpr std::size_t kBadkFCExist = 327;  // 'F' or '-'
inline constexpr std::size_t kSize = kEntry0 + kEntrySize * kBoards;
}  // namespace a3

// A6: progress.
namespace a6 {
inline constexpr std::size_t kEntry0 = 8;
inline constexpr std::size_t kEntrySize = 12;
constexpr std::size_t Entry(int k) { return kEntry0 + kEntrySize * static_cast<std::size_t>(k); }
inline constexpr std::size_t kValid = 0;
inline constexpr std::size_t kInstallStatus = 1;  // 4, little-endian
inline constexpr std::size_t kHibStat = 5;        // 0 or 0xFF
inline constexpr std::size_t kNetBootResult = 8;  // 4
inline constexpr std::size_t kSize = kEntry0 + kEntrySize * kBoards;
}  // namespace a6

// A8: shutdown progress, one byte per board.
namespace a8 {
inline constexpr std::size_t kStatus0 = 8;  // byte of board k at kStatus0 + k
inline constexpr std::size_t kSize = 12;
}  // namespace a8

// AA: dump information.
namespace aa {
inline constexpr std::size_t kEntry0 = 8;
inline constexpr std::size_t kEntrySize = 32;
constexpr std::size_t Entry(int k) { return kEntry0 + kEntrySize * static_cast<std::size_t>(k); }
inline constexpr std::size_t kStatus = 0;     // 4
inline constexpr std::size_t kDumpSize = 4;   // 4
inline constexpr std::size_t kDate = 8;       // 14 characters, no terminator
inline constexpr std::size_t kDateSize = 14;
inline constexpr std::size_t kValid = 22;
inline constexpr std::size_t kSize = kEntry0 + kEntrySize * kBoards;
}  // namespace aa

// AC: download status.
namespace ac {
inline constexpr std::size_t kEntry0 = 8;
inline constexpr std::size_t kEntrySize = 32;
constexpr std::size_t Entry(int k) { return kEntry0 + kEntrySize * static_cast<std::size_t>(k); }
inline constexpr std::size_t kStatus = 0;     // 4
inline constexpr std::size_t kFileName = 4;   // 26, NUL-padded
inline constexpr std::size_t kFileNameSize = 26;
inline constexpr std::size_t kValid = 31;
inline constexpr std::size_t kSize = kEntry0 + kEntrySize * kBoards;
}  // namespace ac

// Command pages: every one starts with the board address.
namespace cmd {
inline constexpr std::size_t kCluster = 8;  // 2
inline constexpr std::size_t kPcb = 10;     // 2
inline constexpr std::size_t kSizeAddressOnly = 12;  // A5, A9, AB
}  // namespace cmd

namespace a1 {
inline constexpr std::size_t kInstallType = 12;
inline constexpr std::size_t kComLUInit = 16;
inline constexpr std::size_t kAlertLUInit = 20;
inline constexpr std::size_t kRetryInfo = 24;
inline constexpr std::size_t kSize = 28;
}  // namespace a1

namespace a2 {
inline constexpr std::size_t kVersionFlag = 15;  // 1: NasOSVersion is wanted
inline constexpr std::size_t kNasOSVersion = 16; // 32, zero-padded
inline constexpr std::size_t kNasOSVersionSize = 32;
inline constexpr std::size_t kSize = 48;
}  // namespace a2

namespace a4 {
inline constexpr std::size_t kTimeOut0 = 12;   // six 4-byte values
inline constexpr std::size_t kReserved = 36;   // four 4-byte words, 0xFFFFFFFF
inline constexpr std::size_t kSize = 52;
}  // namespace a4

namespace a7 {
inline constexpr std::size_t kOption = 12;     // 4
inline constexpr std::size_t kBootOpt = 16;    // at most 84 characters and a NUL
inline constexpr std::size_t kBootOptMax = 84;
inline constexpr std::size_t kSize = kBootOpt + kBootOptMax + 1;
inline constexpr std::uint32_t kShutdown = 0x0000000C;
inline constexpr std::uint32_t kReboot = 0x0001000C;
inline constexpr std::uint32_t kBoot = 0x80000000;
inline constexpr std::uint32_t kBlockade = 0x40000000;
inline constexpr std::uint32_t kRestore = 0x20000000;
}  // namespace a7

// Status words of a board (A3 entry status, low 16 bits): defined once in nas/ for the array and the tools.
using nas::StatusWord;
using enum nas::StatusWord;
using nas::StatusWordName;

// MP status of a board (A3 entry).
inline constexpr std::uint16_t kMpNormal = 0x1000;
inline constexpr std::uint16_t kMpBlockade = 0x1001;

// A8 progress codes (low four bits of a board's byte): likewise from nas/.
using nas::ShutdownProgress;
using enum nas::ShutdownProgress;

// AA dump status words.
inline constexpr std::uint32_t kDumpPresent = 0x0000FFFE;
inline constexpr std::uint32_t kDumpAbsent = 0x0000FFFF;
// AC download status words.
inline constexpr std::uint32_t kDownloadRunning = 0;
inline constexpr std::uint32_t kDownloadRunningAlt = 0xFFFFFFFF;
inline constexpr std::uint32_t kDownloadDone = 0xFFFF0000;

}  // namespace corvid::pages
