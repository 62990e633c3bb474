// Trace level bits, the masks the "TraceLevel" setting selects, and the two program variants.
#pragma once

#include <cstdint>
#include <string_view>

inline constexpr std::uint32_t TRC_FATAL = 0x00000001;   // states that must never occur
inline constexpr std::uint32_t TRC_ERROR = 0x00000002;   // failed calls, bad replies
inline constexpr std::uint32_t TRC_WARN = 0x00000004;    // unexpected but tolerated values
inline constexpr std::uint32_t TRC_INFO = 0x00000008;    // notable values and decisions
inline constexpr std::uint32_t TRC_FUNC = 0x00000010;    // method entry/exit, library calls
inline constexpr std::uint32_t TRC_DETAIL = 0x01000000;  // socket-level calls
inline constexpr std::uint32_t TRC_DEBUG = 0x10000000;   // polling and loop markers

inline constexpr std::uint32_t TRC_MASK_NONE = 0x00000000;
inline constexpr std::uint32_t TRC_MASK_NORMAL = 0x00FFFFFF;
inline constexpr std::uint32_t TRC_MASK_DETAIL = 0x0FFFFFFF;
inline constexpr std::uint32_t TRC_MASK_DEBUG = 0xFFFFFFFF;

// The program a trace module is built into; they differ in mutex name, header, result codes
// and settings (see TraceVariant in CusrTrace.h).
enum class TraceProgram { Kelpconf, Kelpftpd };

// Mask for a "TraceLevel" value, compared case-sensitively: "none", "normal", "detail"
// (kelpconf only) and "debug"; any other value selects the normal mask.
std::uint32_t TraceMaskFromLevelName(std::string_view name, TraceProgram program);
