// Fuzz target: arbitrary bytes as an agent's reply stream, read by every Reply operation of the
// client over a real socket. The first byte picks the exchange; the rest is what the agent sent
// before closing. Any input must end in a result, never a crash, hang or read past a buffer.
#include <sys/socket.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "agent/CusrNasManager.h"
#include "plat/Clock.h"

namespace {

using agent::Exchange;

std::uint32_t ReadReply(const CusrNasManager& m, Exchange id, int s) {
  std::string a, b, c;
  std::uint32_t u1 = 0, u2 = 0, u3 = 0;
  std::vector<std::string> texts;
  std::vector<agent::RouteTexts> routes;
  std::vector<agent::ProductTexts> products;
  agent::LuBackupInfo lu;
  agent::SystemLuBackupInfo slu;
  switch (id) {
    case Exchange::Install: return m.ReplyInstall(s, 60, &u1);
    case Exchange::UninstInfo: return m.ReplyUninstInfo(s, &products);
    case Exchange::Uninstall: return m.ReplyUninstall(s);
    case Exchange::SutInstallCheck: return m.ReplySutInstallCheck(s, &u1, &u2, &u3);
    case Exchange::NetworkInfo: return m.ReplyNetworkInfo(s, &a, &b, &c);
    case Exchange::NTPInfo: return m.ReplyNTPInfo(s, &texts);
    case Exchange::NTPSetting: return m.ReplyNTPSetting(s);
    case Exchange::CHNName: return m.ReplyCHNName(s, &a);
    case Exchange::CHNNameSetting: return m.ReplyCHNNameSetting(s);
    case Exchange::MTUInfo: return m.ReplyMTUInfo(s, &u1);
    case Exchange::MTUSetting: return m.ReplyMTUSetting(s);
    case Exchange::RoutingInfo: return m.ReplyRoutingInfo(s, &routes);
    case Exchange::RoutingAdd: return m.ReplyRoutingAdd(s);
    case Exchange::RoutingDelete: return m.ReplyRoutingDelete(s);
    case Exchange::NetworkSetting0301: return m.ReplyNetworkSetting0301(s, 0);
    case Exchange::CommandIF: return m.ReplyCommandIF(s, &a);
    case Exchange::ClusterStatus: return m.ReplyClusterStatus(s, &u1);
    case Exchange::ClusterDefinedStatus: return m.ReplyClusterDefinedStatus(s, &u1);
    case Exchange::NasOsLuBackupInfo: return m.ReplyNasOsLuBackupInfo(s, &lu);
    case Exchange::NasOsLuRestore: return m.ReplyNasOsLuRestore(s);
    case Exchange::NasSharedLuBackupInfo: return m.ReplyNasSharedLuBackupInfo(s, &lu);
    case Exchange::NasSharedLuRestore: return m.ReplyNasSharedLuRestore(s);
    case Exchange::InitializeCluster: return m.ReplyInitializeCluster(s);
    case Exchange::NasOsLuRestoreStat: return m.ReplyNasOsLuRestoreStat(s, &u1);
    case Exchange::NasSharedLuRestoreStat: return m.ReplyNasSharedLuRestoreStat(s, &u1);
    case Exchange::StopCluster: return m.ReplyStopCluster(s);
    case Exchange::StopClusterStat: return m.ReplyStopClusterStat(s, &u1);
    case Exchange::InitializeClusterStat: return m.ReplyInitializeClusterStat(s, &u1);
    case Exchange::NasSystemLuBackupInfo: return m.ReplyNasSystemLuBackupInfo(s, &slu);
    case Exchange::NasSystemLuExtract: return m.ReplyNasSystemLuExtract(s);
    case Exchange::NasSystemLuExtractStat: return m.ReplyNasSystemLuExtractStat(s, &u1);
    case Exchange::NasSystemLuRestore: return m.ReplyNasSystemLuRestore(s);
    case Exchange::NasSystemLuRestoreStat: return m.ReplyNasSystemLuRestoreStat(s, &u1);
    case Exchange::Version: return m.ReplyVersion(s, &u1);
  }
  return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0 || size > (1u << 16)) return 0;
  // The stream always ends (the writer closes), so no wait runs out; keep any wait short anyway.
  plat::Clock::SetTimeScale(0.0001);
  static const std::uint8_t kAddress[4] = {127, 0, 0, 1};
  static const CusrNasManager manager(kAddress, kAddress, agent::kDefaultAgentPort, 0);
  const Exchange id = agent::kExchanges[data[0] % agent::kExchanges.size()].id;

  int fds[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, fds) != 0) return 0;
  int buffer = 1 << 18;
  ::setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &buffer, sizeof buffer);
  const std::size_t n = size - 1;
  const bool written = n == 0 || ::send(fds[1], data + 1, n, MSG_NOSIGNAL) == static_cast<ssize_t>(n);
  ::close(fds[1]);
  if (written) ReadReply(manager, id, fds[0]);
  ::close(fds[0]);
  return 0;
}
