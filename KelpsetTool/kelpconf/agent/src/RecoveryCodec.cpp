#include "agent/RecoveryCodec.h"

#include <algorithm>

#include "agent/Pack.h"

namespace agent {

namespace {

constexpr Exchange kPolls[] = {Exchange::NasOsLuRestoreStat,     Exchange::NasSharedLuRestoreStat,
                               Exchange::StopClusterStat,        Exchange::InitializeClusterStat,
                               Exchange::NasSystemLuExtractStat, Exchange::NasSystemLuRestoreStat};

std::string LuBackupFormat() { return MakeFormat("llS(%zu)", kBackupDateWidth); }
std::string SystemLuBackupFormat() { return MakeFormat("llS(%zu)S(%zu)", kSystemLuFileWidth, kBackupDateWidth); }

}  // namespace

std::vector<std::uint8_t> EncodeStopClusterRequest(std::uint32_t word) {
  std::vector<std::uint8_t> param;
  if (Pack(param, "l", {word}) != sizeof word) return {};
  return EncodeRequestNoDataSize(Exchange::StopCluster, param);
}

std::vector<std::uint8_t> EncodeSystemLuExtractRequest(std::string_view fileName) {
  std::vector<std::uint8_t> param;
  if (Pack(param, MakeFormat("S(%zu)", kSystemLuFileWidth), {fileName}) != kSystemLuFileWidth) return {};
  return EncodeRequestNoDataSize(Exchange::NasSystemLuExtract, param);
}

bool IsProgressState(Exchange id, std::uint32_t result) {
  if (std::find(std::begin(kPolls), std::end(kPolls), id) == std::end(kPolls)) return false;
  if (result == kStatRunning) return true;
  return id == Exchange::InitializeClusterStat &&
         std::find(kInitClusterStates.begin(), kInitClusterStates.end(), result) != kInitClusterStates.end();
}

Decode DecodeLuBackupInfo(std::span<const std::uint8_t> data, LuBackupInfo* pInfo) {
  LuBackupInfo info;
  if (!Unpack(data, LuBackupFormat(), {&info.ulDataSize, &info.ulBackupStatus, &info.strDate}).complete)
    return Decode::Truncated;
  *pInfo = std::move(info);
  return Decode::Ok;
}

Decode DecodeSystemLuBackupInfo(std::span<const std::uint8_t> data, SystemLuBackupInfo* pInfo) {
  SystemLuBackupInfo info;
  if (!Unpack(data, SystemLuBackupFormat(),
              {&info.ulExecuteStatus, &info.ulUploadStatus, &info.strFileName, &info.strDate})
           .complete)
    return Decode::Truncated;
  *pInfo = std::move(info);
  return Decode::Ok;
}

std::vector<std::uint8_t> EncodeLuBackupInfo(const LuBackupInfo& info) {
  std::vector<std::uint8_t> data;
  Pack(data, LuBackupFormat(), {info.ulDataSize, info.ulBackupStatus, std::string_view(info.strDate)});
  return data;
}

std::vector<std::uint8_t> EncodeSystemLuBackupInfo(const SystemLuBackupInfo& info) {
  std::vector<std::uint8_t> data;
  Pack(data, SystemLuBackupFormat(),
       {info.ulExecuteStatus, info.ulUploadStatus, std::string_view(info.strFileName), std::string_view(info.strDate)});
  return data;
}

}  // namespace agent
