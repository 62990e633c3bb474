// A strict JSON reader for tests: the documents the tools write are read back into values, so
// tests assert on fields rather than on text.
#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "common/Json.h"

namespace kelptest {

// The one JSON value text holds (whitespace around it allowed); nullopt and the offset and
// reason in *pError when it is not exactly that. Numbers must be integers; strings must be
// well-formed UTF-8 without raw control characters.
std::optional<common::json::Value> ParseJson(std::string_view text, std::string* pError = nullptr);

}  // namespace kelptest

namespace common::json {

// Failed expectations show values as their JSON text.
inline void PrintTo(const Value& value, std::ostream* os) { *os << Write(value); }

}  // namespace common::json
