// unit.ini: the scenario of one simulated array, as text.
//
//   [Unit]       Model (ZQS, ZQXS, ZQM, ZQH), Serial (8 bytes), SvpIp, SubnetMask, DeviceType,
//                AutoBootAfterInstall (0/1), VersionFlag, InstallRefusals
//   [Durations]  ShutdownMs, BootMs, InstallMs, DumpMs, DownloadMs, ResetMs
//   [Board<k>]   one per board, k = sCluster * 2 + sPCB: PortStatus, PortKind, Valid, NasTypeFlag,
//                NasType, Location, Ip, Mac, UserPortNum, CacheCap, BadkFCExist, Status,
//                MpStatus, TimeOuts (six numbers separated by ','), NasOsVersion
//
// Numbers are decimal or 0x hex. Missing keys keep the UnitSpec defaults; unknown sections or
// keys and malformed values are errors, so a typing mistake never passes silently.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "corvid/Sim.h"

namespace corvid::detail {

// The longest duration a scenario may give (about 31 years): progress arithmetic stays in range.
inline constexpr std::int64_t kMaxDurationMs = 1'000'000'000'000;

// Fills *pSpec (its name is left alone); false with *pError on the first fault.
bool ParseUnitSpec(std::string_view text, sim::UnitSpec* pSpec, std::string* pError);
std::string FormatUnitSpec(const sim::UnitSpec& scenario);
// The rules every stored unit keeps: valid name, 8-byte serial, boards k 0..3 each once,
// location at most 13 characters, NAS OS version at most 32, durations 0..kMaxDurationMs, no
// negative count.
bool ValidateUnitSpec(const sim::UnitSpec& scenario, std::string* pError);

}  // namespace corvid::detail
