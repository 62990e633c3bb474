// kelpftpd: serves the installation files of the medium to the NAS boards while the setup tool
// runs. Started by the setup tool with the settings file and the four octets of the address to
// listen on; answers on the sync pipe, then serves until the setup tool has ended.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>

#include "CusrConnection.h"
#include "CusrService.h"
#include "CusrSession.h"
#include "common/ConsoleDisplay.h"
#include "common/CusrTrace.h"
#include "common/CusrTraceScope.h"
#include "common/FileServerPort.h"
#include "common/MessageDisplay.h"
#include "common/MessageIds.h"
#include "common/ProcessContext.h"
#include "common/Messages.h"
#include "common/TraceSettings.h"
#include "plat/SyncPipe.h"

namespace {

constexpr int kExitNoPipe = 1;
constexpr int kExitCommandLine = 2;
constexpr int kExitNoMemory = 3;

const char kUsage[] =
    "usage: kelpftpd SETTINGS-FILE OCTET1 OCTET2 OCTET3 OCTET4\n"
    "\n"
    "Serves the files of the installation medium's MP folder (found through the TFTP root in\n"
    "C:\\tftp.ini) to the NAS boards over TCP, on the IPv4 address given by the four octets and\n"
    "the port of section [FtpService] of the settings file (Port, default 20266).\n"
    "Started by the setup tool: it answers \"KELPFTPD OK\" on the pipe KelpSyncPipe (\"NG\" for a\n"
    "wrong command line), and ends once the setup tool's mutex \"kelpconf\" is free.\n"
    "Settings [FtpService]: Port, TraceDir, TraceLevel (none, normal, debug), TraceSize (MB).\n"
    "Environment: KELP_RUNTIME_DIR (pipe and mutex), KELP_SYSTEM_ROOT (drive C:),\n"
    "KELP_TIME_SCALE (shrinks every wait).\n";

// The command line as the setup tool builds it: every argument quoted, one blank between.
std::string CommandLineText(int argc, char** argv) {
  std::string text;
  for (int i = 0; i < argc; ++i) {
    if (i) text += ' ';
    text += '"';
    text += argv[i];
    text += '"';
  }
  return text;
}

// One decimal octet: 1 to 3 digits, at most 255.
bool ParseOctet(const char* psz, std::uint32_t& value) {
  const std::size_t n = std::strlen(psz);
  if (n == 0 || n > 3) return false;
  value = 0;
  for (std::size_t i = 0; i < n; ++i) {
    if (psz[i] < '0' || psz[i] > '9') return false;
    value = value * 10 + static_cast<std::uint32_t>(psz[i] - '0');
  }
  return value <= 255;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  ::signal(SIGPIPE, SIG_IGN);
  // A server process has nobody to answer boxes: they go to stderr and take their default button.
  ConsoleDisplay display(stderr);
  CusrTrace trace(kKelpftpdTraceVariant);
  common::ProcessContext context({.program = TraceProgram::Kelpftpd, .display = &display});

  plat::SyncPipe pipe;
  if (pipe.Connect() != plat::PipeStatus::Ok) return kExitNoPipe;

  std::uint32_t address = 0;
  bool bArgsOk = argc == 6;
  for (int i = 2; bArgsOk && i < 6; ++i) {
    std::uint32_t octet = 0;
    bArgsOk = ParseOctet(argv[i], octet);
    address = address << 8 | octet;
  }
  if (!bArgsOk) {
    ShowMessage(msg::kBadStartupParameter, CommandLineText(argc, argv));
    pipe.Write("NG");
    pipe.Close();
    return kExitCommandLine;
  }

  const std::filesystem::path settingsFile = argv[1];
  const common::FileServerPort configured = common::ReadFileServerPort(settingsFile);
  const auto port = static_cast<unsigned>(configured.port);
  std::string portMessage;
  if (configured.zeroGiven) portMessage = ShowMessage(msg::kInvalidFile, settingsFile.string());

  const TraceSettings traceSettings = ReadTraceSettings(settingsFile, TraceProgram::Kelpftpd);
  std::error_code ec;
  if (std::filesystem::is_directory(traceSettings.strDirectory, ec))
    std::filesystem::create_directory(std::filesystem::path(traceSettings.strDirectory) / "log", ec);
  if (trace.Open(traceSettings.strDirectory, traceSettings.strBaseName, traceSettings.nSizeMB,
                 traceSettings.nGenerations, nullptr) == 0)
    context.InstallTrace(trace, traceSettings.ulMask);

  int result = 0;
  {
    CusrTraceScope scope("main", TRC_FUNC);
    if (!portMessage.empty()) scope.Warn(portMessage, TRC_WARN);

    CusrSession session;
    if (!session.SetLimit(CusrSession::kDefaultLimit)) {
      scope.Error(ShowMessage(msg::kNoMemory, std::to_string(CusrSession::kDefaultLimit)), TRC_ERROR);
      return kExitNoMemory;
    }
    CusrService service(session);
    CusrConnection connection(session, service);
    if (port > 0xFFFF) {
      scope.Error(TraceFmt("bint cond=%d", EINVAL), TRC_ERROR);
      return static_cast<int>(CusrConnection::kSocketError);
    }
    if (const std::uint32_t r = connection.Initialize(address, static_cast<std::uint16_t>(port)))
      return static_cast<int>(r);

    pipe.Write("KELPFTPD OK");
    pipe.Close();
    const std::uint32_t r = connection.Run();
    if (r != 0) scope.Error(TraceFmt("Run() Error : 0x%08x", r), TRC_ERROR);
    result = static_cast<int>(r);
  }
  return result;
}
