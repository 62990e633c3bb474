#include "CommandLine.h"

#include <charconv>

namespace kelpctl {
namespace {

struct CommandName {
  const char* name;
  Command command;
  bool takesSlot;
};

constexpr CommandName kCommands[] = {
    {"boards", Command::Boards, false},   {"progress", Command::Progress, true},
    {"boot", Command::Boot, true},        {"shutdown", Command::Shutdown, true},
    {"reboot", Command::Reboot, true},    {"agent", Command::Agent, true},
    {"ftpd", Command::Ftpd, false},
};

struct AgentOpName {
  const char* name;
  AgentOp op;
  std::size_t minArgs;
  std::size_t maxArgs;
  const char* args;  // for the error text
};

constexpr AgentOpName kAgentOps[] = {
    {"version", AgentOp::Version, 0, 0, ""},
    {"network", AgentOp::Network, 0, 0, ""},
    {"ntp", AgentOp::Ntp, 0, 0, ""},
    {"name", AgentOp::Name, 0, 0, ""},
    {"mtu", AgentOp::Mtu, 0, 0, ""},
    {"routes", AgentOp::Routes, 0, 0, ""},
    {"products", AgentOp::Products, 0, 0, ""},
    {"cluster", AgentOp::Cluster, 0, 0, ""},
    {"ps", AgentOp::Ps, 0, 0, ""},
    {"set-name", AgentOp::SetName, 1, 1, "NAME"},
    {"set-network", AgentOp::SetNetwork, 2, 2, "ADDRESS MASK"},
    {"set-mtu", AgentOp::SetMtu, 1, 1, "MTU"},
    {"set-ntp", AgentOp::SetNtp, 0, 3, "[SERVER...] (at most three)"},
    {"add-route", AgentOp::AddRoute, 2, 3, "TARGET|default MASK [GATEWAY]"},
    {"delete-route", AgentOp::DeleteRoute, 1, 1, "N (the route's number in the routes list)"},
    {"install", AgentOp::Install, 1, 1, "FILE"},
    {"uninstall", AgentOp::Uninstall, 1, 1, "CODE"},
};

bool ParseNumber(const std::string& text, std::uint32_t* pValue) {
  std::uint32_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
  *pValue = value;
  return true;
}

bool ParseSlot(const std::string& text, int* pSlot) {
  int value = -1;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size()) return false;
  // A board is sCluster 0..1 and sPCB 0..1: slots 0, 1, 8 and 9.
  if (value != 0 && value != 1 && value != 8 && value != 9) return false;
  *pSlot = value;
  return true;
}

}  // namespace

std::optional<CommandLine> ParseCommandLine(const std::vector<std::string>& args, std::string* pError) {
  CommandLine line;
  std::vector<std::string> words;
  std::vector<std::string> agentOptions;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") return line;
    const bool takesValue =
        arg == "-h" || arg == "-s" || arg == "--option" || arg == "--interface" || arg == "--timeout" || arg == "--mss";
    if (takesValue && i + 1 >= args.size()) {
      *pError = "option " + arg + " needs a value";
      return std::nullopt;
    }
    if (arg == "-h") {
      line.unit = args[++i];
    } else if (arg == "-s") {
      line.settingsFile = args[++i];
    } else if (arg == "--option") {
      line.bootOption = args[++i];
    } else if (arg == "--watch") {
      line.watch = true;
    } else if (arg == "--interface" || arg == "--timeout" || arg == "--mss") {
      std::uint32_t value = 0;
      if (!ParseNumber(args[++i], &value)) {
        *pError = "option " + arg + " needs a number, not " + args[i];
        return std::nullopt;
      }
      (arg == "--interface" ? line.ulInterface : arg == "--timeout" ? line.ulTimeoutMinutes : line.ulMss) = value;
      agentOptions.push_back(arg);
    } else if (arg == "--host" || arg == "--reject") {
      (arg == "--host" ? line.hostRoute : line.rejectRoute) = true;
      agentOptions.push_back(arg);
    } else if (!arg.empty() && arg[0] == '-') {
      *pError = "unknown option " + arg;
      return std::nullopt;
    } else {
      words.push_back(arg);
    }
  }
  if (words.empty()) {
    *pError = "no command given";
    return std::nullopt;
  }
  const CommandName* found = nullptr;
  for (const CommandName& c : kCommands)
    if (words[0] == c.name) found = &c;
  if (!found) {
    *pError = "unknown command " + words[0];
    return std::nullopt;
  }
  line.command = found->command;
  const std::size_t wanted = found->takesSlot ? 2 : 1;
  if (found->command == Command::Agent) {
    if (words.size() < 3) {
      *pError = "agent needs a SLOT and an operation";
      return std::nullopt;
    }
    const AgentOpName* op = nullptr;
    for (const AgentOpName& o : kAgentOps)
      if (words[2] == o.name) op = &o;
    if (!op) {
      *pError = "unknown agent operation " + words[2];
      return std::nullopt;
    }
    line.agentOp = op->op;
    line.agentArgs.assign(words.begin() + 3, words.end());
    if (line.agentArgs.size() < op->minArgs || line.agentArgs.size() > op->maxArgs) {
      *pError = std::string("agent SLOT ") + op->name + (op->maxArgs == 0 ? " takes no argument" : " takes " + std::string(op->args));
      return std::nullopt;
    }
    words.resize(2);
  } else if (found->command == Command::Ftpd) {
    if (words.size() != 2) {
      *pError = "ftpd needs exactly one ADDRESS";
      return std::nullopt;
    }
    line.agentArgs.assign(words.begin() + 1, words.end());
    words.resize(1);
  }
  if (found->command != Command::Agent && !agentOptions.empty()) {
    *pError = agentOptions.front() + " belongs to the agent command";
    return std::nullopt;
  }
  if (words.size() != wanted) {
    *pError = found->takesSlot ? words[0] + " needs exactly one SLOT" : words[0] + " takes no argument";
    return std::nullopt;
  }
  if (found->takesSlot && !ParseSlot(words[1], &line.slot)) {
    *pError = "SLOT must be 0, 1, 8 or 9, not " + words[1];
    return std::nullopt;
  }
  if (line.bootOption && line.command != Command::Boot) {
    *pError = "--option belongs to the boot command";
    return std::nullopt;
  }
  if (line.watch && line.command != Command::Boot && line.command != Command::Shutdown &&
      line.command != Command::Reboot) {
    *pError = "--watch belongs to the boot, shutdown and reboot commands";
    return std::nullopt;
  }
  if (line.unit.empty() && line.command != Command::Ftpd) {
    *pError = "the unit name (-h UNIT) is missing";
    return std::nullopt;
  }
  return line;
}

const char* UsageText() {
  return "Usage: kelpctl -h UNIT [-s SETTINGS] COMMAND [ARGS]\n"
         "       kelpctl [-s SETTINGS] ftpd ADDRESS\n"
         "Reads and drives the NAS boards of one array unit through the VELAPI library.\n"
         "\n"
         "Commands:\n"
         "  boards                  one row per board slot of the array model: equipment value\n"
         "                          and type text, status word, MP status, IP address and mask,\n"
         "                          MAC address, location name\n"
         "  progress SLOT           install status, hibernation-dump status and shutdown\n"
         "                          progress byte of one board\n"
         "  boot SLOT [--option TEXT] [--watch]\n"
         "                          boots a board, with an optional boot option text\n"
         "  shutdown SLOT [--watch] shuts a board down\n"
         "  reboot SLOT [--watch]   reboots a board\n"
         "  agent SLOT OP [ARGS]    talks to the board's NAS agent (the board must be OS UP):\n"
         "      version             the agent's version word\n"
         "      network [--interface N]   address, mask and gateway of interface mngN (mng0)\n"
         "      ntp                 the NTP servers\n"
         "      name                the board name\n"
         "      mtu [--interface N] the MTU of mngN\n"
         "      routes              the static routes, numbered\n"
         "      products            the installed program products\n"
         "      cluster             the cluster status and definition state words\n"
         "      ps                  the board's process names\n"
         "      set-name NAME\n"
         "      set-network ADDRESS MASK [--interface N]\n"
         "      set-mtu MTU [--interface N]\n"
         "      set-ntp [SERVER...] at most three; none clears the list\n"
         "      add-route TARGET|default MASK [GATEWAY] [--host] [--reject] [--mss N]\n"
         "      delete-route N      the route numbered N in the routes list\n"
         "      install FILE [--timeout MIN]\n"
         "                          the board fetches FILE (a product file of the medium) from\n"
         "                          the running kelpftpd at the maintenance PC address of the\n"
         "                          array and the port of [FtpService] Port; waits MIN minutes\n"
         "                          (30) for the agent's verdict\n"
         "      uninstall CODE      removes the installed product with this code\n"
         "  ftpd ADDRESS            hosts kelpftpd as the setup tool does (sync pipe, mutex\n"
         "                          kelpconf, [MainService] kelpftpd_path, default kelpftpd\n"
         "                          beside kelpctl) on ADDRESS until SIGINT or SIGTERM\n"
         "\n"
         "SLOT is the board slot: 0 (CTL0-0), 1 (CTL0-1), 8 (CTL1-0) or 9 (CTL1-1).\n"
         "--watch follows the board, printing each change of its status word and progress\n"
         "code, until the command ends or its time limit passes.\n"
         "\n"
         "Options:\n"
         "  -h UNIT       the array unit name (required)\n"
         "  -s SETTINGS   settings file: the trace (section MainService), the agent port (key Port of\n"
         "                the board's location-name section, else of MainService, else 20265) and\n"
         "                the kelpftpd port ([FtpService] Port, else 20266); default ./kelpconf.ini\n"
         "  --help        this text\n"
         "\n"
         "Environment: KELP_SYSTEM_ROOT (where the arrays and C:\\ live), KELP_TIME_SCALE\n"
         "(shrinks every wait), KELP_RUNTIME_DIR (locks).\n"
         "Exit status: 0 success, 1 a VELAPI call or an agent exchange failed (its error is\n"
         "printed as 0x%08x with the catalogue message), 2 usage error.\n";
}

}  // namespace kelpctl
