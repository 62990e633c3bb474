// Inside the platform layer: whether a ManualClock exists. Waits the clock cannot wake (poll())
// then check between short pauses instead, as Clock::PollUntil does.
#pragma once

namespace plat {

bool ManualTimeRuns();

}  // namespace plat
