// How messages and traces show codes and addresses, the same in every program.
#pragma once

#include <cstdint>
#include <string>

namespace common {

// "0x%08x" of a code: result, error, agent and array codes.
std::string CodeText(std::uint32_t ulCode);
// "a.b.c.d" of four address bytes, first byte first.
std::string AddressText(const std::uint8_t* pucAddress);
// "a.b.c.d" of an address held in a word, most significant byte first.
std::string AddressText(std::uint32_t ulAddress);

}  // namespace common
