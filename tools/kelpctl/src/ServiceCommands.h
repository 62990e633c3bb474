// kelpctl services start|stop|status: the network-boot services as the setup tool drives them.
// The services outlive the kelpctl run; what start, stop and status mean for each backend is in
// the README ("Network-boot services").
#pragma once

#include "CommandLine.h"
#include "Report.h"

namespace kelpctl {

int RunServices(const Invocation& invocation, Report& report);

}  // namespace kelpctl
