// The kelpctl command line: "-h UNIT [-s SETTINGS] COMMAND [ARGS...]". Parsing is pure so that
// every form is tested without running a command.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelpctl {

enum class Command {
  Help, Boards, Progress, Boot, Shutdown, Reboot, Reset, Dump, DownloadDump, Agent, Ftpd, Watch, Media, Services,
};

// What "agent SLOT OP" does on the board's agent.
enum class AgentOp {
  Version, Network, Ntp, Name, Mtu, Routes, Products, Cluster, Ps,
  SetName, SetNetwork, SetMtu, SetNtp, AddRoute, DeleteRoute, Install, Uninstall,
};

// What one run of kelpctl was asked to do.
struct Invocation {
  Command command = Command::Help;
  std::string unit;
  std::string settingsFile = "./kelpconf.ini";
  int slot = -1;             // progress, power, reset and agent commands: 0, 1, 8 or 9
  std::optional<std::string> bootOption;  // boot --option TEXT
  bool watch = false;        // power commands: follow the board until the command ends
  AgentOp agentOp = AgentOp::Version;
  std::vector<std::string> arguments;  // the agent operation's own arguments; ftpd: the address;
                                       // services: start, stop or status
  std::uint32_t interfaceNumber = 0;   // --interface N: mngN for network and mtu
  std::uint32_t timeoutMinutes = 30;   // --timeout MIN: how long install waits for the agent
  bool hostRoute = false;              // add-route --host
  bool rejectRoute = false;            // add-route --reject
  std::uint32_t mss = 0;               // add-route --mss N
  std::uint32_t intervalSeconds = 20;  // watch --interval S: logical seconds between rounds
  std::uint32_t rounds = 0;            // watch --count N: stop after N rounds (0: until a signal)
  std::optional<std::string> toFolder; // download-dump --to DIR: a copy of the filed dump goes there
  bool json = false;                   // --json: one JSON document on standard output
};

// Parses argv[1..]; on failure returns nullopt and a one-line reason in *pError.
std::optional<Invocation> ParseCommandLine(const std::vector<std::string>& args, std::string* pError);

// The one-line reason why the invocation's command cannot write --json; nullopt when it can or
// --json was not given.
std::optional<std::string> JsonRefusal(const Invocation& invocation);

// The --help text.
const char* UsageText();

}  // namespace kelpctl
