// Power operations of the board object. Placeholder bodies until the watched operations land:
// each refuses without touching the array.
#include "board/CusrCHN.h"

namespace {
constexpr std::uint32_t kNotAvailable = 0xFFFFFFFF;
bool Refuse(std::uint32_t* pulError) {
  if (pulError) *pulError = kNotAvailable;
  return false;
}
}  // namespace

bool CusrCHN::StartShutdown(board::PowerDialog*, std::uint32_t* pulError) { return Refuse(pulError); }
bool CusrCHN::StartReboot(board::PowerDialog*, std::uint32_t* pulError) { return Refuse(pulError); }
bool CusrCHN::StartBoot(board::PowerDialog*, const std::string&, std::uint32_t* pulError) { return Refuse(pulError); }
bool CusrCHN::StartP4Reset(board::PowerDialog*, std::uint32_t* pulError) { return Refuse(pulError); }
