// kelp-agentsim: serves the NAS board agents of one simulated array unit over TCP.
#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "AgentServer.h"

namespace {

constexpr const char kHelp[] = R"(usage: kelp-agentsim -u UNIT [--port N] [--ignore-array-status] [--ready-file PATH]

Serves the NAS board agents of the simulated unit UNIT (made with kelp-arraysim): for each board
of the unit it listens on the board's address from the unit (127.0.0.x) and answers every
exchange of the agent protocol, one request per connection, connections served concurrently.
Each board keeps its state (network settings, NTP servers, name, MTU, routes, installed
products, LU backups, running operations) in UNIT's folder, agents/board<slot>.ini, so it
survives a restart. The scenario file agents.ini in UNIT's folder (written with
"kelp-arraysim agent ...") sets ports, board options and misbehaviours; it is read again on
every connection. A board whose array status is not OS UP refuses connections (its listener
is closed) until it is up again.

Prints "slot S: ADDRESS:PORT" for each board, then "ready" once every listener is up. Stops
cleanly on SIGTERM or SIGINT. Exit status 0 after a clean stop, 1 when the unit cannot be read
or an address cannot be bound, 2 for a usage error.

Options:
  -u, --unit UNIT          the simulated unit (its folder is $KELP_SYSTEM_ROOT/arrays/UNIT)
  --port N                 the agent port of every board (default: the scenario's Port of the
                           board, else of [Unit], else 20265)
  --ignore-array-status    serve every board whatever its array status (protocol tests)
  --ready-file PATH        also write "ready" into PATH once every listener is up
  --help                   this text

Environment:
  KELP_SYSTEM_ROOT  the folder standing for drive C:, holding arrays/UNIT
  KELP_TIME_SCALE   scales every logical wait (behaviour delays, running operations, the
                    60-second request wait): 0.001 makes a minute 60 ms
  KELP_RUNTIME_DIR  where the lock files of the units are kept
)";

int g_stopWrite = -1;

void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_stopWrite, &byte, 1);
}

int Usage(const std::string& message) {
  std::fprintf(stderr, "kelp-agentsim: %s\nTry 'kelp-agentsim --help'.\n", message.c_str());
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  agentsim::ServerOptions options;
  std::string readyFile;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (arg == "--help" || arg == "-h") {
      std::fputs(kHelp, stdout);
      return 0;
    } else if ((arg == "-u" || arg == "--unit") && hasValue) {
      options.unit = argv[++i];
    } else if (arg == "--port" && hasValue) {
      const auto port = agentsim::ParseWord(argv[++i]);
      if (!port || *port == 0 || *port > 0xFFFF) return Usage(std::string("bad port ") + argv[i]);
      options.port = static_cast<std::uint16_t>(*port);
    } else if (arg == "--ignore-array-status") {
      options.ignoreArrayStatus = true;
    } else if (arg == "--ready-file" && hasValue) {
      readyFile = argv[++i];
    } else {
      return Usage("unexpected argument " + arg);
    }
  }
  if (options.unit.empty()) return Usage("no unit (-u UNIT)");

  int stopPipe[2];
  if (::pipe2(stopPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("kelp-agentsim: pipe");
    return 1;
  }
  g_stopWrite = stopPipe[1];
  struct sigaction action {};
  action.sa_handler = OnSignal;
  ::sigemptyset(&action.sa_mask);
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  agentsim::AgentServer server(options);
  std::string error;
  if (!server.Start(&error)) {
    std::fprintf(stderr, "kelp-agentsim: %s\n", error.c_str());
    return 1;
  }
  for (const std::string& line : server.Endpoints()) std::printf("%s\n", line.c_str());
  std::printf("ready\n");
  std::fflush(stdout);
  if (!readyFile.empty()) {
    const std::string temp = readyFile + ".tmp";
    std::ofstream(temp) << "ready\n";
    std::error_code ec;
    std::filesystem::rename(temp, readyFile, ec);
    if (ec) std::fprintf(stderr, "kelp-agentsim: cannot write %s: %s\n", readyFile.c_str(), ec.message().c_str());
  }
  server.Run(stopPipe[0]);
  return 0;
}
