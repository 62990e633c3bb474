#include "board/BoardPorts.h"

#include "agent/AgentWire.h"
#include "plat/Profile.h"

namespace board {

std::uint32_t ResolveAgentPort(const std::string& location, const std::filesystem::path& settingsFile) {
  const int nMainPort =
      static_cast<int>(plat::GetPrivateProfileInt("MainService", "Port", agent::kDefaultAgentPort, settingsFile));
  return plat::GetPrivateProfileInt(location.c_str(), "Port", nMainPort, settingsFile);
}

}  // namespace board
