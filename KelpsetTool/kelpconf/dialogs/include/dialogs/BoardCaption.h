// The texts of a board button on the main window: its caption (twenty blanks, the location name
// and the bracketed status word) and its tooltip (the last successful status read, the stage of
// the operation that drives the board, and the double-click hint).
#pragma once

#include <cstdint>
#include <string>

namespace mainwindow {

inline constexpr const char* kCaptionIndent = "                    ";

// The caption before the first status read: the indent and the location name.
std::string BoardCaption(const std::string& strLocation);
// The caption for a status with a word; the bare caption for any other status.
std::string BoardCaption(const std::string& strLocation, std::int32_t nStatus);
// ullLastSeenMs: wall-clock milliseconds of the last read, 0 for never (shown in local time).
std::string BoardTooltip(std::uint64_t ullLastSeenMs, const std::string& strStage);

}  // namespace mainwindow
