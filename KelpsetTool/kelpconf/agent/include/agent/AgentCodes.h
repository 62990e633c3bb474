// The codes a board agent puts in a reply's Result: their names, and the message that reports
// each. The client shows its messages from this table, the simulated agents answer with these
// codes and the tests expect them by name.
//
// A code means what its row says within the row's scope: 0xCB is a rejected netmask in a route
// but an address conflict in the network setting. Codes without a row in a narrower scope fall
// back to the AnyReply rows, and codes without any row to msg::kNasManagerError.
#pragma once

#include <array>
#include <cstdint>

#include "common/MessageIds.h"

namespace agent {

// Settings: the field the agent rejected, and its other verdicts.
inline constexpr std::uint32_t kAgentNetworkRefused = 1;
inline constexpr std::uint32_t kAgentField0 = 0x200;  // first field rejected (NIC type, NTP server 1)
inline constexpr std::uint32_t kAgentField1 = 0x201;
inline constexpr std::uint32_t kAgentField2 = 0x202;
inline constexpr std::uint32_t kAgentTooManyValues = 0x600;
inline constexpr std::uint32_t kAgentRouteInterface = 0xC9;
inline constexpr std::uint32_t kAgentRouteTarget = 0xCA;
inline constexpr std::uint32_t kAgentRouteNetmask = 0xCB;
inline constexpr std::uint32_t kAgentRouteGateway = 0xCC;
inline constexpr std::uint32_t kAgentRouteExists = 0xCE;
inline constexpr std::uint32_t kAgentRouteNotFound = 0xCF;
inline constexpr std::uint32_t kAgentAddressConflict = 0xD1;
// The network setting's answer when the board already has the values (no message is shown).
inline constexpr std::uint32_t kAgentNotChanged = 0xD3;
inline constexpr std::uint32_t kAgentRouteTableFull = 0xD4;
// Uninstall of a product the board does not have.
inline constexpr std::uint32_t kAgentNoSuchProduct = 1;

// Installation (ReplyInstall ORs them with kInstallErrorBit).
inline constexpr std::uint32_t kAgentInstallFailed = 1;
inline constexpr std::uint32_t kAgentInstallNoAccess = 3;    // server not reachable, file missing, transfer broken
inline constexpr std::uint32_t kAgentInstallBadProduct = 5;  // not a product file, or its bytes or size are wrong
inline constexpr std::uint32_t kAgentBoardInCluster = 0x3B;
inline constexpr std::uint32_t kAgentInstallConditions = 0x501;    // the installation conditions are not met
inline constexpr std::uint32_t kAgentPrerequisiteMissing = 0x503;  // a product it needs is not installed

// LU recovery.
inline constexpr std::uint32_t kAgentRecoveryRunning = 3;
inline constexpr std::uint32_t kAgentNoBackup = 4;
inline constexpr std::uint32_t kAgentClusterRunning = 13;

enum class CodeScope {
  AnyReply,        // GetMsgFormat
  NetworkSetting,  // ReplyNetworkSetting0301
  RoutingAdd,
  RoutingDelete,   // a route that was not there: the caller reports it
  Install,         // ReplyInstall and ReplySutInstallCheck, the code without kInstallErrorBit
  Restore,         // ShowRestoreMessage
  SystemLu,        // ShowSystemLuMessage
  OsLuRestore,     // ReplyNasOsLuRestore and its Stat reply
};

// The message id of a code that is shown nowhere.
inline constexpr std::uint32_t kNoMessage = 0;

struct AgentCode {
  CodeScope scope;
  std::uint32_t first;  // the codes first..last share the row
  std::uint32_t last;
  const char* name;
  std::uint32_t messageId;  // kNoMessage: only traced
  bool warning = false;     // the message is traced as a warning, not as an error
};

inline constexpr std::array kAgentCodes{
    AgentCode{CodeScope::AnyReply, 6, 6, "setting failed", msg::kBoardSettingFailed},
    AgentCode{CodeScope::AnyReply, 23, 23, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 24, 24, "busy", msg::kNasOsBusy},
    AgentCode{CodeScope::AnyReply, 26, 26, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 27, 27, "cluster running", msg::kClusterRunning},
    AgentCode{CodeScope::AnyReply, 31, 32, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 34, 34, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 36, 37, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 41, 43, "refused 41-43", msg::kNoText3560},
    AgentCode{CodeScope::AnyReply, 45, 47, "refused 45-47", msg::kNoText3561},
    AgentCode{CodeScope::AnyReply, 60, 60, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::AnyReply, 65, 65, "refused 65", msg::kNoText3562},
    AgentCode{CodeScope::AnyReply, 69, 71, "refused 69-71", msg::kNoText3560},
    AgentCode{CodeScope::AnyReply, 105, 105, "timeout", msg::kTimeout},
    AgentCode{CodeScope::AnyReply, kAgentRouteInterface, kAgentRouteInterface + 4, "invalid route field",
              msg::kInvalidEntry},
    AgentCode{CodeScope::AnyReply, kAgentRouteExists, kAgentRouteExists, "route exists", msg::kRouteRegistered},
    AgentCode{CodeScope::AnyReply, kAgentField0, kAgentField0 + 3, "invalid field", msg::kInvalidEntry},
    AgentCode{CodeScope::AnyReply, kAgentTooManyValues, kAgentTooManyValues, "not applied", msg::kEntryNotApplied},
    AgentCode{CodeScope::AnyReply, 0x900, 0x900, "refused 0x900", msg::kNoText3613},
    AgentCode{CodeScope::AnyReply, 0x903, 0x903, "refused 0x903", msg::kNoText3783},

    AgentCode{CodeScope::NetworkSetting, kAgentNetworkRefused, kAgentNetworkRefused, "refused",
              msg::kNetworkSettingRefused},
    AgentCode{CodeScope::NetworkSetting, kAgentRouteNetmask, kAgentRouteNetmask, "address conflict",
              msg::kAddressConflict},
    AgentCode{CodeScope::NetworkSetting, kAgentAddressConflict, kAgentAddressConflict, "address conflict",
              msg::kAddressConflict},
    AgentCode{CodeScope::NetworkSetting, kAgentNotChanged, kAgentNotChanged, "not changed", kNoMessage},

    AgentCode{CodeScope::RoutingAdd, kAgentRouteTableFull, kAgentRouteTableFull, "route table full",
              msg::kRouteTableFull},

    AgentCode{CodeScope::RoutingDelete, kAgentRouteInterface, kAgentRouteInterface + 4, "route not found",
              kNoMessage},
    AgentCode{CodeScope::RoutingDelete, kAgentRouteNotFound, kAgentRouteNotFound, "route not found", kNoMessage},
    AgentCode{CodeScope::RoutingDelete, 255, 255, "route not found", kNoMessage},

    AgentCode{CodeScope::Install, kAgentInstallFailed, kAgentInstallFailed, "install failed", msg::kInstallFailed},
    AgentCode{CodeScope::Install, 2, 2, "communication", msg::kCommunication},
    AgentCode{CodeScope::Install, kAgentInstallNoAccess, kAgentInstallNoAccess, "no access",
              msg::kInstallFileUnreadable},
    AgentCode{CodeScope::Install, 4, 4, "no space", msg::kBoardSpaceShort},
    AgentCode{CodeScope::Install, kAgentInstallBadProduct, kAgentInstallBadProduct, "bad product",
              msg::kInvalidProductFile},
    AgentCode{CodeScope::Install, 6, 6, "install error", msg::kInstallOnBoardFailed},
    AgentCode{CodeScope::Install, 0x17, 0x17, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::Install, 0x18, 0x18, "busy", msg::kNasOsBusy},
    AgentCode{CodeScope::Install, 0x1A, 0x1A, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::Install, kAgentBoardInCluster, kAgentBoardInCluster, "board in cluster",
              msg::kBoardInCluster},
    AgentCode{CodeScope::Install, 0x3C, 0x3C, "wrong state", msg::kNasOsWrongState},
    AgentCode{CodeScope::Install, kAgentInstallConditions, kAgentInstallConditions, "conditions",
              msg::kInstallConditions},
    AgentCode{CodeScope::Install, kAgentPrerequisiteMissing, kAgentPrerequisiteMissing, "prerequisite missing",
              msg::kPrerequisiteMissing},
    AgentCode{CodeScope::Install, 0x504, 0x504, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::Install, 0x505, 0x505, "no NAS OS space", msg::kNasOsSpaceShort},
    AgentCode{CodeScope::Install, 0x700, 0x700, "conditions", msg::kInstallConditions},

    AgentCode{CodeScope::Restore, kAgentRecoveryRunning, kAgentRecoveryRunning, "recovery running",
              msg::kRecoveryRunning},
    AgentCode{CodeScope::Restore, kAgentNoBackup, kAgentNoBackup, "no backup", msg::kNoBackupData},
    AgentCode{CodeScope::Restore, kAgentClusterRunning, kAgentClusterRunning, "cluster running",
              msg::kRecoveryClusterRunning},

    AgentCode{CodeScope::SystemLu, 1, 1, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, kAgentRecoveryRunning, kAgentRecoveryRunning, "recovery running",
              msg::kRecoveryRunning, true},
    AgentCode{CodeScope::SystemLu, kAgentNoBackup, kAgentNoBackup, "no backup", msg::kNoBackupData, true},
    AgentCode{CodeScope::SystemLu, 5, 5, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, 10, 10, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, kAgentClusterRunning, kAgentClusterRunning, "cluster running",
              msg::kRecoveryClusterRunning, true},
    AgentCode{CodeScope::SystemLu, 14, 14, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, 20, 20, "backup invalid", msg::kSystemLuBackupInvalid, true},
    AgentCode{CodeScope::SystemLu, 21, 21, "backup mismatch", msg::kSystemLuBackupMismatch, true},
    AgentCode{CodeScope::SystemLu, 22, 22, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, 23, 24, "not shown", kNoMessage},
    AgentCode{CodeScope::SystemLu, 99, 99, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, 102, 102, "agent error", msg::kNasManagerError},
    AgentCode{CodeScope::SystemLu, 201, 201, "agent error", msg::kNasManagerError},

    AgentCode{CodeScope::OsLuRestore, 8, 8, "unrecoverable", msg::kOsLuUnrecoverable},
    AgentCode{CodeScope::OsLuRestore, 0x60, 0x60, "unrecoverable", msg::kOsLuUnrecoverable},
};

// Rows are grouped by scope and ascend without overlap inside it, so a code has at most one row
// in a scope and the first match is the only one.
constexpr bool AgentCodesOrdered() {
  for (std::size_t i = 0; i < kAgentCodes.size(); ++i) {
    if (kAgentCodes[i].first > kAgentCodes[i].last) return false;
    if (i > 0 && kAgentCodes[i].scope == kAgentCodes[i - 1].scope && kAgentCodes[i].first <= kAgentCodes[i - 1].last)
      return false;
    if (i > 0 && kAgentCodes[i].scope < kAgentCodes[i - 1].scope) return false;
  }
  return true;
}
static_assert(AgentCodesOrdered(), "kAgentCodes is grouped by scope and ascends without overlap");

// The row of a code in one scope (no fallback), or null.
constexpr const AgentCode* FindAgentCode(CodeScope scope, std::uint32_t code) {
  for (const AgentCode& row : kAgentCodes)
    if (row.scope == scope && code >= row.first && code <= row.last) return &row;
  return nullptr;
}

// The message of a code in a scope: its row there, else its AnyReply row, else
// msg::kNasManagerError. kNoMessage when the scope shows nothing for it.
constexpr std::uint32_t AgentCodeMessage(CodeScope scope, std::uint32_t code) {
  if (const AgentCode* row = FindAgentCode(scope, code)) return row->messageId;
  if (const AgentCode* row = FindAgentCode(CodeScope::AnyReply, code)) return row->messageId;
  return msg::kNasManagerError;
}

}  // namespace agent
