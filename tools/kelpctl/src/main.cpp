// kelpctl: the command-line front end that reads and drives the NAS boards of one array unit
// through VELAPI and the boards' NAS agents. It writes the setup tool's trace (settings section
// MainService).
#include <cstdio>
#include <string>
#include <vector>

#include "ApiCall.h"
#include "CommandLine.h"
#include "AgentCommands.h"
#include "BoardPower.h"
#include "Commands.h"
#include "FtpdHost.h"
#include "MediaCommand.h"
#include "Report.h"
#include "ServiceCommands.h"
#include "Watch.h"
#include "common/ConsoleDisplay.h"
#include "common/CusrTrace.h"
#include "common/ProcessContext.h"
#include "common/TraceSettings.h"
#include "velapi.h"

int main(int argc, char** argv) {
  using namespace kelpctl;
  std::string error;
  const auto line = ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), &error);
  if (!line) {
    std::fprintf(stderr, "kelpctl: %s\n%s", error.c_str(), UsageText());
    return 2;
  }
  if (line->command == Command::Help) {
    std::fputs(UsageText(), stdout);
    return 0;
  }
  if (const auto refusal = JsonRefusal(*line)) {
    std::fprintf(stderr, "kelpctl: %s\n", refusal->c_str());
    return 2;
  }

  // Message boxes of the agent client are printed; without input each takes its default button.
  ConsoleDisplay display(stderr);
  CusrTrace trace(kKelpconfTraceVariant);
  common::ProcessContext context(
      {.program = TraceProgram::Kelpconf, .display = &display, .revisionProvider = &dsvp_VELAPIRevision});
  const TraceSettings settings = ReadTraceSettings(line->settingsFile, TraceProgram::Kelpconf);
  std::uint32_t ulTraceError = 0;
  if (trace.Open(settings.strDirectory, settings.strBaseName, settings.nSizeMB, settings.nGenerations,
                 &ulTraceError) == 0)
    context.InstallTrace(trace, settings.ulMask);
  else
    std::fprintf(stderr, "kelpctl: the trace could not be opened in %s: 0x%08x (going on without it)\n",
                 settings.strDirectory.c_str(), ulTraceError);

  Report report(line->json, stdout, stderr);
  int status = 1;
  ApiFailure failure;
  if (line->command == Command::Ftpd) {
    status = RunFtpd(*line, stdout, stderr);
  } else if (line->command == Command::Media) {
    status = RunMedia(report);
  } else if (!CallApi("dsvp_SetArrayUnitName",
               [&](std::uint32_t* e) { return dsvp_SetArrayUnitName(line->unit.c_str(), e); }, &failure)) {
    report.Fail(ApiError(failure));
  } else {
    switch (line->command) {
      case Command::Boards: status = RunBoards(*line, report); break;
      case Command::Progress: status = RunProgress(*line, report); break;
      case Command::Boot:
      case Command::Shutdown:
      case Command::Reboot: status = RunPower(*line, report); break;
      case Command::Reset: status = RunReset(*line, report); break;
      case Command::Dump: status = RunDump(*line, report); break;
      case Command::DownloadDump: status = RunDownloadDump(*line, report); break;
      case Command::Agent: status = RunAgent(*line, report); break;
      case Command::Watch: status = RunWatch(*line, report); break;
      case Command::Services: status = RunServices(*line, report); break;
      case Command::Ftpd:
      case Command::Media:
      case Command::Help: break;
    }
  }
  return report.Finish(status);
}
