// How kelpctl calls VELAPI: one retry after the 20-second pace when the array times out (as the
// setup tool does), every call traced, and a failure carried as the call's name and its error.
#pragma once

#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>

namespace kelpctl {

struct ApiFailure {
  std::string call;        // "dsvp_GetCHNEquipment"
  std::uint32_t code = 0;  // the error info
};

// Runs fn (a dsvp_ call that fills *lpErrInfo and returns TRUE/FALSE). On error
// VEL_ERR_SVP_TIMEOUT it waits 20 logical seconds and calls once more. Traces the outcome as
// "<call>(): 0x%08x" on failure. Returns true on success, else fills *pFailure.
bool CallApi(const char* call, const std::function<int(std::uint32_t*)>& fn, ApiFailure* pFailure);

// Prints "kelpctl: <call> failed: 0x%08x" and the catalogue message for the code to out.
void ReportFailure(std::FILE* out, const ApiFailure& failure);

}  // namespace kelpctl
