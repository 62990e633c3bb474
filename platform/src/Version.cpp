#include "plat/Version.h"

namespace plat {

std::array<int, 4> ProgramVersion() {
  return {KELP_VERSION_MAJOR, KELP_VERSION_MINOR, KELP_VERSION_PATCH, KELP_VERSION_TWEAK};
}

std::string ProgramVersionText() {
  const auto v = ProgramVersion();
  return std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " + std::to_string(v[2]) + ", " +
         std::to_string(v[3]);
}

}  // namespace plat
