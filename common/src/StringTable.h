// The string resources of the two programs: one row per string id.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kelp {

struct StringEntry {
  std::uint32_t id;
  const char* text;
};

// English strings of kelpconf: message texts, trace header lines (2000, 2002), the box title
// (20206) and the main window's texts. Ids whose message has no text are absent.
std::span<const StringEntry> KelpconfStringsEn();

// English strings that only kelpftpd carries (its trace header lines 105 and 106). Its message
// texts are the kelpconf texts of the ids it shows.
std::span<const StringEntry> KelpftpdOwnStringsEn();

}  // namespace kelp
