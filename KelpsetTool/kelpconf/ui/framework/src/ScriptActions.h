// The UI-thread side of script commands: find the target among the host's dialogs and say
// whether the command can act now. Probes run on the UI thread only.
#pragma once

#include <functional>
#include <string>

#include "ui/ScriptParser.h"

namespace kelp::ui {

class Host;

// Ready when reason is empty; act (may be empty) is then started by the caller.
struct ProbeResult {
  std::string reason;
  std::function<void()> act;
};
using Probe = std::function<ProbeResult()>;

// The probe of a command that looks at dialogs (every verb but answer, wait-message,
// wait-transcript and sleep). It holds copies of what it needs, never the runner.
Probe MakeProbe(Host& host, const ScriptCommand& command);

}  // namespace kelp::ui
