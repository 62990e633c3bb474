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

// Reads "TraceDir", "TraceLevel" and "TraceSize" from the program's section of the settings
// file ("MainService" for kelpconf, "FtpService" for kelpftpd); a missing file or key means
// the default. TraceDir may be a Windows path ("C:\..."), which is mapped. Defaults: kelpconf
// traces into the folder "log/" beside the program, created here when it is not an existing
// folder; kelpftpd into the program's own folder.
TraceSettings ReadTraceSettings(const std::filesystem::path& settingsFile, TraceProgram program);
