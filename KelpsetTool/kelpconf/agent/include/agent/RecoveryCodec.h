// Pure codecs of the LU backup, restore and cluster exchanges (family 14): the two requests
// with a parameter, the progress states of the polling replies, and the backup information
// after DataType and Result. The other requests are bare (EncodeBareRequest) and the other
// replies carry nothing after Result.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "agent/AgentTypes.h"
#include "agent/FrameCodec.h"

namespace agent {

// The word follows the command directly, without DataSize (MsgSize 8).
std::vector<std::uint8_t> EncodeStopClusterRequest(std::uint32_t word);
// The name, padded with blanks or cut to kSystemLuFileWidth, follows the command directly.
std::vector<std::uint8_t> EncodeSystemLuExtractRequest(std::string_view fileName);

// Whether a Result of this reply is a progress state (kStatRunning, and for the cluster
// initialisation poll kInitClusterStates) rather than an agent error. 0 is not a state here.
bool IsProgressState(Exchange id, std::uint32_t result);

// "llS(16)" and "llS(40)S(16)"; Truncated when the data is shorter than its layout.
Decode DecodeLuBackupInfo(std::span<const std::uint8_t> data, LuBackupInfo* pInfo);
Decode DecodeSystemLuBackupInfo(std::span<const std::uint8_t> data, SystemLuBackupInfo* pInfo);

// Backup information as an agent sends it (simulated agents, tests); texts padded with blanks.
std::vector<std::uint8_t> EncodeLuBackupInfo(const LuBackupInfo& info);
std::vector<std::uint8_t> EncodeSystemLuBackupInfo(const SystemLuBackupInfo& info);

}  // namespace agent
