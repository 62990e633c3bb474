// Named ids of the string resources that code loads by name (the texts live in the string
// table). Ranges that code indexes by a status (the board status words, the LU and dump status
// texts, the install progress words) are named by their first id.
#pragma once

#include <cstdint>

namespace str {

// The tool's window, its About box and its message boxes.
inline constexpr std::uint32_t kAbout = 101;        // the menu item and the About box's title
inline constexpr std::uint32_t kToolTitle = 200;
inline constexpr std::uint32_t kToolVersion = 2000;  // also the first line of kelpconf's trace
inline constexpr std::uint32_t kBoxTitle = 20206;    // kelpconf only: kelpftpd's boxes have no title

// The other trace header lines: a format of the module version.
inline constexpr std::uint32_t kKelpconfTraceVersion = 2002;
inline constexpr std::uint32_t kKelpftpdTraceTitle = 106;
inline constexpr std::uint32_t kKelpftpdTraceVersion = 105;

// The board lock's name, a format of the slot.
inline constexpr std::uint32_t kLockName = 600;

// Installation progress.
inline constexpr std::uint32_t kZeroPercent = 500;
inline constexpr std::uint32_t kCompleted = 521;
inline constexpr std::uint32_t kFailedCode = 522;  // a format of the code
inline constexpr std::uint32_t kNasOsInstallCompleted = 1008;
inline constexpr std::uint32_t kNowInstalling = 1009;
inline constexpr std::uint32_t kInstallCompleted = 1010;
inline constexpr std::uint32_t kNasOsInstalling = 1050;  // a format of the limit's minutes
inline constexpr std::uint32_t kNasOsNotUpdated = 1051;
inline constexpr std::uint32_t kNasOsRebootFailed = 1052;
inline constexpr std::uint32_t kNasOsRebooting = 2051;   // a format of the limit's minutes
// The operations a patch needs first.
inline constexpr std::uint32_t kStopClusterOperation = 20207;
inline constexpr std::uint32_t kStopNodeOperation = 20208;
inline constexpr std::uint32_t kStopServiceOperation = 20209;

// The NAS OS versions an LU recovery needs running.
inline constexpr std::uint32_t kNasOsVersion0200 = 2052;
inline constexpr std::uint32_t kNasOsVersion0500 = 2053;

// LU recovery: the status texts (the unknown one, then one per status) and the reboot of all.
inline constexpr std::uint32_t kLuStatusUnknown = 2500;
inline constexpr std::uint32_t kRebootingAllNasOs = 2506;
inline constexpr std::uint32_t kSystemLuStatusUnknown = 2601;

}  // namespace str
