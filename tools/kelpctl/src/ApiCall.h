// How kelpctl calls VELAPI: through the board layer's CallApi (traced, one retry after the pace
// when the array times out); a failure is printed with its catalogue message.
#pragma once

#include <cstdio>

#include "board/ArrayCall.h"

namespace kelpctl {

using board::ApiFailure;
using board::CallApi;

// Prints "kelpctl: <call> failed: 0x%08x" and the catalogue message for the code to out.
void ReportFailure(std::FILE* out, const ApiFailure& failure);

}  // namespace kelpctl
