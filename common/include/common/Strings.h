// kelpconf's string resources, for its dialogs.
#pragma once

#include <cstdint>
#include <string>

// The string, cut to 511 bytes; empty when kelpconf has no such string.
std::string LoadString(std::uint32_t id);
