// How kelpctl calls VELAPI: through the board layer's CallApi (traced, one retry after the pace
// when the array times out); a failure is reported as ApiError (Report.h).
#pragma once

#include "board/ArrayCall.h"

namespace kelpctl {

using board::ApiFailure;
using board::CallApi;

}  // namespace kelpctl
