// What a program (or a test) installs for its whole run: the trace sink and mask, the message
// display, the catalogue's program and the revision reader of the trace header. The context
// installs them in its constructor and removes them in its destructor, so nothing points at a
// destroyed sink or display after it; declare the sink and display before the context.
#pragma once

#include <cstdint>

#include "common/CusrTrace.h"
#include "common/MessageDisplay.h"
#include "common/TraceLevels.h"
#include "common/TraceSink.h"

namespace common {

struct ProcessSetup {
  TraceProgram program = TraceProgram::Kelpconf;  // whose catalogue messages come from
  MessageDisplay* display = nullptr;               // null: no box can be shown
  TraceRevisionProvider revisionProvider = nullptr;
  TraceSink* traceSink = nullptr;                  // null: no trace until InstallTrace
  std::uint32_t traceMask = TRC_MASK_NONE;
};

class ProcessContext {
 public:
  explicit ProcessContext(const ProcessSetup& setup);
  // Restores the state of a process that installed nothing: no trace (mask 0), no display, no
  // revision reader, the kelpconf catalogue.
  ~ProcessContext();
  ProcessContext(const ProcessContext&) = delete;
  ProcessContext& operator=(const ProcessContext&) = delete;

  // Installs the trace once it is open; programs read its settings after their first messages.
  void InstallTrace(TraceSink& sink, std::uint32_t ulMask);
};

}  // namespace common
