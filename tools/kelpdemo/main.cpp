// kelpdemo: shows the trace log and the message catalogue at work. It writes a trace of both
// programs into a folder (rotating it through its generations) and shows catalogue messages on
// the console, then tells where the files are.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "common/ConsoleDisplay.h"
#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/Messages.h"

namespace fs = std::filesystem;

namespace {

// Stands in for the library's revision until the setup tool links it.
int DemoRevision(char* cRev, char* ciRev, char* cCopyright, std::uint32_t* lpErrInfo) {
  std::snprintf(cRev, 16, "%s", "7.00");
  std::snprintf(ciRev, 16, "%s", "20060905.01");
  std::snprintf(cCopyright, 40, "%s", "Copyright (C) Kelpset Project");
  if (lpErrInfo) *lpErrInfo = 0;
  return 1;
}

void Usage(std::FILE* out) {
  std::fprintf(out,
               "Usage: kelpdemo [--dir FOLDER] [--lines N]\n"
               "Writes a kelpconf and a kelpftpd trace into FOLDER (default: a new temporary folder),\n"
               "N lines of about 400 bytes each (default 6000, enough to rotate a 1 MB log twice),\n"
               "and shows a few catalogue messages on the console.\n");
}

int Fail(const char* what, std::uint32_t code) {
  std::fprintf(stderr, "kelpdemo: %s failed: 0x%08x\n", what, code);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int nLines = 6000;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--help" || arg == "-h") {
      Usage(stdout);
      return 0;
    }
    if (arg == "--dir" && i + 1 < argc) {
      dir = argv[++i];
    } else if (arg == "--lines" && i + 1 < argc) {
      nLines = std::atoi(argv[++i]);
    } else {
      Usage(stderr);
      return 2;
    }
  }
  if (dir.empty()) {
    char tmpl[] = "/tmp/kelpdemo-XXXXXX";
    if (mkdtemp(tmpl) == nullptr) return Fail("mkdtemp", static_cast<std::uint32_t>(errno));
    dir = tmpl;
  }
  std::error_code ec;
  fs::create_directories(fs::path(dir) / "log", ec);

  SetTraceRevisionProvider(&DemoRevision);
  CusrTrace trace;
  std::uint32_t ulError = 0;
  if (const std::uint32_t ulResult = trace.Open(dir, "kelpconf", 1, 2, &ulError); ulResult != 0)
    return Fail("CusrTrace::Open", ulResult);
  SetTrace(&trace, TraceMaskFromLevelName("debug", TraceProgram::Kelpconf));

  ConsoleDisplay display(stdout);
  SetMessageDisplay(&display);
  {
    CusrTraceScope scope("CKelpconfApp", "InitInstance", TRC_FUNC);
    scope.Info("Unit Name      = DEMO", TRC_INFO);
    for (int i = 0; i < nLines; ++i) {
      CusrTraceScope poll("CusrStatusAgent", "Refresh", TRC_DEBUG);
      poll.Debug(TraceFmt("slot %2d status word 0x%08x %s", i % 16, 2, std::string(300, '.').c_str()), TRC_DEBUG);
    }
    std::printf("\nCatalogue messages as the engineer sees them (answered with each box's default button):\n\n");
    for (const auto& [id, arg] : std::vector<std::pair<std::uint32_t, std::string>>{
             {3514, "0x00000005"}, {3593, ""}, {3822, ""}, {GetApiErrorMessageId(6), "0x00000006"}, {9999, ""}}) {
      const std::string text = ShowMessage(id, arg);
      scope.Error(text, TRC_ERROR);
      std::printf("\n");
    }
  }
  SetTrace(nullptr, 0);
  trace.Close();

  CusrTrace ftpdTrace(kKelpftpdTraceVariant);
  if (const std::uint32_t ulResult = ftpdTrace.Open(dir, "log/kelpftpd", 1, 2, &ulError); ulResult != 0)
    return Fail("CusrTrace::Open (kelpftpd)", ulResult);
  SetTrace(&ftpdTrace, TraceMaskFromLevelName("normal", TraceProgram::Kelpftpd));
  { CusrTraceScope scope("CusrService", "Run", TRC_FUNC); }
  SetTrace(nullptr, 0);
  ftpdTrace.Close();

  std::printf("Trace files in %s:\n", dir.c_str());
  for (const char* name : {"kelpconf.log", "kelpconf.1", "kelpconf.0", "log/kelpftpd.log"}) {
    const fs::path p = fs::path(dir) / name;
    if (fs::exists(p)) std::printf("  %-18s %9ju bytes\n", name, static_cast<std::uintmax_t>(fs::file_size(p)));
  }
  std::printf("\nFirst lines of kelpconf.log:\n");
  std::ifstream in(fs::path(dir) / "kelpconf.log");
  std::string line;
  for (int i = 0; i < 6 && std::getline(in, line); ++i) std::printf("  %s\n", line.substr(0, 110).c_str());
  return 0;
}
