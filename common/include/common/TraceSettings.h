// The trace settings a program reads from its settings file at start-up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "common/TraceLevels.h"

struct TraceSettings {
  std::string strDirectory;  // folder handed to CusrTrace::Open
  std::string strBaseName;   // "kelpconf", or "log/kelpftpd" (its files lie in a "log" sub-folder)
  int nSizeMB = 2;
  int nGenerations = 2;      // always 2
  std::uint32_t ulMask = TRC_MASK_NORMAL;
};

// TraceDir when the settings name none, for the program file programPath. A program run from
// where it was built keeps its trace beside it: kelpconf in the folder "log" beside the program,
// kelpftpd in the program's own folder (its files lie in "log" below). An installed program
// (below /usr or /opt) cannot write there, so its trace goes where the array library's log goes,
// systemRoot/log, whoever runs it: kelpconf's TraceDir is that folder, kelpftpd's systemRoot.
std::filesystem::path DefaultTraceDir(const std::filesystem::path& programPath, TraceProgram program,
                                      const std::filesystem::path& systemRoot);

// Reads "TraceDir", "TraceLevel" and "TraceSize" from the program's section of the settings
// file ("MainService" for kelpconf, "FtpService" for kelpftpd); a missing file or key means
// the default. TraceDir may be a Windows path ("C:\..."), which is mapped. Without TraceDir the
// directory is DefaultTraceDir for the running program, and the folder the files lie in is
// created here, with its parents, when it is not an existing folder.
TraceSettings ReadTraceSettings(const std::filesystem::path& settingsFile, TraceProgram program);
