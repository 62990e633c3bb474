#include "CommandLine.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace kelpctl {
namespace {

bool Fail(std::string* pError, std::string reason) {
  *pError = std::move(reason);
  return false;
}

std::nullopt_t Reject(std::string* pError, std::string reason) {
  *pError = std::move(reason);
  return std::nullopt;
}

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

enum class ValueKind { Flag, Text, Number };

struct OptionRule {
  std::string_view name;
  ValueKind kind;
  void (*store)(Invocation& invocation, const std::string& text, std::uint32_t number);
  bool (*fits)(Command command);  // null: every command takes it
  const char* owners;             // for the error text when it does not fit
};

constexpr bool IsBoot(Command c) { return c == Command::Boot; }
constexpr bool IsPower(Command c) { return c == Command::Boot || c == Command::Shutdown || c == Command::Reboot; }
constexpr bool IsAgent(Command c) { return c == Command::Agent; }
constexpr bool IsWatch(Command c) { return c == Command::Watch; }
constexpr bool IsDownload(Command c) { return c == Command::DownloadDump; }

constexpr OptionRule kOptions[] = {
    {"-h", ValueKind::Text, [](Invocation& v, const std::string& t, std::uint32_t) { v.unit = t; }, nullptr, nullptr},
    {"-s", ValueKind::Text, [](Invocation& v, const std::string& t, std::uint32_t) { v.settingsFile = t; }, nullptr,
     nullptr},
    {"--json", ValueKind::Flag, [](Invocation& v, const std::string&, std::uint32_t) { v.json = true; }, nullptr,
     nullptr},
    {"--option", ValueKind::Text, [](Invocation& v, const std::string& t, std::uint32_t) { v.bootOption = t; }, IsBoot,
     "the boot command"},
    {"--watch", ValueKind::Flag, [](Invocation& v, const std::string&, std::uint32_t) { v.watch = true; }, IsPower,
     "the boot, shutdown and reboot commands"},
    {"--interface", ValueKind::Number,
     [](Invocation& v, const std::string&, std::uint32_t n) { v.interfaceNumber = n; }, IsAgent, "the agent command"},
    {"--timeout", ValueKind::Number, [](Invocation& v, const std::string&, std::uint32_t n) { v.timeoutMinutes = n; },
     IsAgent, "the agent command"},
    {"--mss", ValueKind::Number, [](Invocation& v, const std::string&, std::uint32_t n) { v.mss = n; }, IsAgent,
     "the agent command"},
    {"--host", ValueKind::Flag, [](Invocation& v, const std::string&, std::uint32_t) { v.hostRoute = true; }, IsAgent,
     "the agent command"},
    {"--reject", ValueKind::Flag, [](Invocation& v, const std::string&, std::uint32_t) { v.rejectRoute = true; },
     IsAgent, "the agent command"},
    {"--interval", ValueKind::Number,
     [](Invocation& v, const std::string&, std::uint32_t n) { v.intervalSeconds = n; }, IsWatch, "the watch command"},
    {"--count", ValueKind::Number, [](Invocation& v, const std::string&, std::uint32_t n) { v.rounds = n; }, IsWatch,
     "the watch command"},
    {"--to", ValueKind::Text, [](Invocation& v, const std::string& t, std::uint32_t) { v.toFolder = t; }, IsDownload,
     "the download-dump command"},
};

const OptionRule* FindOption(std::string_view name) {
  for (const OptionRule& rule : kOptions)
    if (rule.name == name) return &rule;
  return nullptr;
}

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

// "agent SLOT OP [ARGS]": takes OP and its arguments, leaving "agent SLOT" in words.
bool ReadAgentOperation(std::vector<std::string>* pWords, Invocation* pInvocation, std::string* pError) {
  std::vector<std::string>& words = *pWords;
  if (words.size() < 3) return Fail(pError, "agent needs a SLOT and an operation");
  const AgentOpName* op = nullptr;
  for (const AgentOpName& o : kAgentOps)
    if (words[2] == o.name) op = &o;
  if (!op) return Fail(pError, "unknown agent operation " + words[2]);
  pInvocation->agentOp = op->op;
  pInvocation->arguments.assign(words.begin() + 3, words.end());
  if (pInvocation->arguments.size() < op->minArgs || pInvocation->arguments.size() > op->maxArgs)
    return Fail(pError, std::string("agent SLOT ") + op->name +
                            (op->maxArgs == 0 ? " takes no argument" : " takes " + std::string(op->args)));
  words.resize(2);
  return true;
}

// "ftpd ADDRESS": takes the address, leaving "ftpd" in words.
bool ReadFtpdAddress(std::vector<std::string>* pWords, Invocation* pInvocation, std::string* pError) {
  if (pWords->size() != 2) return Fail(pError, "ftpd needs exactly one ADDRESS");
  pInvocation->arguments.assign(pWords->begin() + 1, pWords->end());
  pWords->resize(1);
  return true;
}

// "services start|stop|status": takes the operation, leaving "services" in words.
bool ReadServicesOperation(std::vector<std::string>* pWords, Invocation* pInvocation, std::string* pError) {
  const std::vector<std::string>& words = *pWords;
  if (words.size() != 2 || (words[1] != "start" && words[1] != "stop" && words[1] != "status"))
    return Fail(pError, "services needs one of start, stop, status");
  pInvocation->arguments.assign(words.begin() + 1, words.end());
  pWords->resize(1);
  return true;
}

struct CommandRule {
  const char* name;
  Command command;
  bool takesSlot;
  bool needsUnit;
  // Takes the command's operands beyond its SLOT; null when it has none.
  bool (*readOperands)(std::vector<std::string>* pWords, Invocation* pInvocation, std::string* pError);
};

constexpr CommandRule kCommands[] = {
    {"boards", Command::Boards, false, true, nullptr},      {"progress", Command::Progress, true, true, nullptr},
    {"boot", Command::Boot, true, true, nullptr},           {"shutdown", Command::Shutdown, true, true, nullptr},
    {"reboot", Command::Reboot, true, true, nullptr},       {"reset", Command::Reset, true, true, nullptr},
    {"dump", Command::Dump, true, true, nullptr},           {"download-dump", Command::DownloadDump, true, true, nullptr},
    {"agent", Command::Agent, true, true, ReadAgentOperation},
    {"ftpd", Command::Ftpd, false, false, ReadFtpdAddress},
    {"watch", Command::Watch, false, true, nullptr},
    {"media", Command::Media, false, false, nullptr},
    {"services", Command::Services, false, true, ReadServicesOperation},
};

enum class OptionsRead { Failed, Help, Done };

// Reads the options into *pInvocation and the other words into *pWords, in order; stops at --help.
OptionsRead ReadOptions(const std::vector<std::string>& args, Invocation* pInvocation, std::vector<std::string>* pWords,
                        std::vector<const OptionRule*>* pUsed, std::string* pError) {
  const auto fail = [pError](std::string reason) {
    *pError = std::move(reason);
    return OptionsRead::Failed;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") return OptionsRead::Help;
    const OptionRule* rule = FindOption(arg);
    if (!rule) {
      if (!arg.empty() && arg[0] == '-') return fail("unknown option " + arg);
      pWords->push_back(arg);
      continue;
    }
    std::string text;
    std::uint32_t number = 0;
    if (rule->kind != ValueKind::Flag) {
      if (i + 1 >= args.size()) return fail("option " + arg + " needs a value");
      text = args[++i];
    }
    if (rule->kind == ValueKind::Number && !ParseNumber(text, &number))
      return fail("option " + arg + " needs a number, not " + text);
    rule->store(*pInvocation, text, number);
    pUsed->push_back(rule);
  }
  return OptionsRead::Done;
}

}  // namespace

std::optional<Invocation> ParseCommandLine(const std::vector<std::string>& args, std::string* pError) {
  Invocation invocation;
  std::vector<std::string> words;
  std::vector<const OptionRule*> used;
  switch (ReadOptions(args, &invocation, &words, &used, pError)) {
    case OptionsRead::Failed: return std::nullopt;
    case OptionsRead::Help: return invocation;
    case OptionsRead::Done: break;
  }
  if (words.empty()) return Reject(pError, "no command given");
  const CommandRule* found = nullptr;
  for (const CommandRule& c : kCommands)
    if (words[0] == c.name) found = &c;
  if (!found) return Reject(pError, "unknown command " + words[0]);
  invocation.command = found->command;
  if (found->readOperands && !found->readOperands(&words, &invocation, pError)) return std::nullopt;
  for (const OptionRule* rule : used)
    if (rule->fits && !rule->fits(found->command))
      return Reject(pError, std::string(rule->name) + " belongs to " + rule->owners);
  if (words.size() != (found->takesSlot ? 2u : 1u))
    return Reject(pError, words[0] + (found->takesSlot ? " needs exactly one SLOT" : " takes no argument"));
  if (found->takesSlot && !ParseSlot(words[1], &invocation.slot))
    return Reject(pError, "SLOT must be 0, 1, 8 or 9, not " + words[1]);
  if (found->needsUnit && invocation.unit.empty()) return Reject(pError, "the unit name (-h UNIT) is missing");
  return invocation;
}

std::optional<std::string> JsonRefusal(const Invocation& invocation) {
  if (!invocation.json) return std::nullopt;
  std::string name;
  switch (invocation.command) {
    case Command::Help:
    case Command::Boards:
    case Command::Progress:
    case Command::Dump:
    case Command::DownloadDump:
    case Command::Media: return std::nullopt;
    case Command::Services:
      if (invocation.arguments.front() == "status") return std::nullopt;
      name = "services " + invocation.arguments.front();
      break;
    case Command::Agent: {
      const AgentOp op = invocation.agentOp;
      if (op == AgentOp::Products || op == AgentOp::Network || op == AgentOp::Version) return std::nullopt;
      for (const AgentOpName& o : kAgentOps)
        if (o.op == op) name = std::string("agent SLOT ") + o.name;
      break;
    }
    default:
      for (const CommandRule& c : kCommands)
        if (c.command == invocation.command) name = c.name;
  }
  return "--json is not supported by " + name +
         " (only by boards, progress, dump, download-dump, media, services status and agent SLOT "
         "products|network|version)";
}

const char* UsageText() {
  return "Usage: kelpctl -h UNIT [-s SETTINGS] [--json] COMMAND [ARGS]\n"
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
         "  reset SLOT              resets a board (NNC reset: forced blockade and restore,\n"
         "                          then a 60-second settle time); prints each status the\n"
         "                          board shows meanwhile and the result\n"
         "  dump SLOT               takes a NAS dump: the board's NAS OS is stopped at once\n"
         "                          and writes its memory image (up to 90 minutes)\n"
         "  download-dump SLOT [--to DIR]\n"
         "                          brings the board's last dump to C:\\NASDUMP (a progress\n"
         "                          line per 20-second poll, up to [Dump] Timeout minutes),\n"
         "                          never replacing a file there; --to also copies it to DIR\n"
         "                          (made first, with its parents, when missing)\n"
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
         "  watch [--interval S] [--count N]\n"
         "                          the setup tool's view of every board slot, refreshed every S\n"
         "                          seconds (20) until SIGINT or SIGTERM, or N rounds: slot,\n"
         "                          location, status, MP state (normal or blocked), time of the\n"
         "                          last successful status read, stage of a running operation\n"
         "  media                   the product catalogue of the medium registered in\n"
         "                          C:\\tftp.ini (the parent of its netboot folder, as kelpftpd\n"
         "                          serves it): kind, name, version, build, time-out in\n"
         "                          minutes and file of each valid product, kinds in the order\n"
         "                          os, sut, req, opt; invalid description files are traced\n"
         "                          and skipped\n"
         "  services start|stop|status\n"
         "                          the network-boot services (backend: [Services] Backend of\n"
         "                          SETTINGS, default sim): start rewrites c:\\dhcp.ini from the\n"
         "                          array's boards when it exists and (re)starts DHCP Server and\n"
         "                          TFTP Server as the setup tool does; stop stops those that run;\n"
         "                          status prints the backend and each service's state. The\n"
         "                          services outlive kelpctl; sim only records the state.\n"
         "  ftpd ADDRESS            hosts kelpftpd as the setup tool does (sync pipe, mutex\n"
         "                          kelpconf, [MainService] kelpftpd_path, default kelpftpd\n"
         "                          beside kelpctl) on ADDRESS until SIGINT or SIGTERM\n"
         "\n"
         "SLOT is the board slot: 0 (CTL0-0), 1 (CTL0-1), 8 (CTL1-0) or 9 (CTL1-1).\n"
         "--watch runs the command as the setup tool does: it follows the board every 20 seconds,\n"
         "printing each interim status (BOOT, SHUTDOWN), until the board reports the end, a\n"
         "failure, or the time limit (shutdown 62 minutes, 12 when the NAS OS runs inactive;\n"
         "reboot 92, or 42; boot 32) passes.\n"
         "\n"
         "Options:\n"
         "  -h UNIT       the array unit name (required)\n"
         "  -s SETTINGS   settings file: the trace (section MainService), the agent port (key Port of\n"
         "                the board's location-name section, else of MainService, else 20265) and\n"
         "                the kelpftpd port ([FtpService] Port, else 20266); default ./kelpconf.ini\n"
         "  --json        one JSON document on standard output instead of text (boards, progress, dump,\n"
         "                download-dump, media, services status, agent SLOT products|network|version):\n"
         "                the result, or {\"error\": {\"code\", \"message\", \"step\"}} with the same exit\n"
         "                status; progress lines go to standard error\n"
         "  --help        this text\n"
         "\n"
         "Environment: KELP_SYSTEM_ROOT (where the arrays and C:\\ live), KELP_TIME_SCALE\n"
         "(shrinks every wait), KELP_RUNTIME_DIR (locks).\n"
         "Exit status: 0 success, 1 a VELAPI call or an agent exchange failed (its error is\n"
         "printed as 0x%08x with the catalogue message), 2 usage error.\n";
}

}  // namespace kelpctl
