#include "common/ProcessContext.h"

#include "common/Messages.h"

namespace common {

ProcessContext::ProcessContext(const ProcessSetup& setup) {
  SetMessageProgram(setup.program);
  SetMessageDisplay(setup.display);
  SetTraceRevisionProvider(setup.revisionProvider);
  SetTrace(setup.traceSink, setup.traceMask);
}

ProcessContext::~ProcessContext() {
  SetTrace(nullptr, 0);
  SetTraceRevisionProvider(nullptr);
  SetMessageDisplay(nullptr);
  SetMessageProgram(TraceProgram::Kelpconf);
}

void ProcessContext::InstallTrace(TraceSink& sink, std::uint32_t ulMask) { SetTrace(&sink, ulMask); }

}  // namespace common
