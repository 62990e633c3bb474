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
    {"reboot", Command::Reboot, true},
};

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
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help") return line;
    const bool takesValue = arg == "-h" || arg == "-s" || arg == "--option";
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
  if (line.unit.empty()) {
    *pError = "the unit name (-h UNIT) is missing";
    return std::nullopt;
  }
  return line;
}

const char* UsageText() {
  return "Usage: kelpctl -h UNIT [-s SETTINGS] COMMAND [ARGS]\n"
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
         "\n"
         "SLOT is the board slot: 0 (CTL0-0), 1 (CTL0-1), 8 (CTL1-0) or 9 (CTL1-1).\n"
         "--watch follows the board, printing each change of its status word and progress\n"
         "code, until the command ends or its time limit passes.\n"
         "\n"
         "Options:\n"
         "  -h UNIT       the array unit name (required)\n"
         "  -s SETTINGS   settings file for the trace (section MainService); default ./kelpconf.ini\n"
         "  --help        this text\n"
         "\n"
         "Environment: KELP_SYSTEM_ROOT (where the arrays and C:\\ live), KELP_TIME_SCALE\n"
         "(shrinks every wait), KELP_RUNTIME_DIR (locks).\n"
         "Exit status: 0 success, 1 a VELAPI call failed (its error is printed as 0x%08x with\n"
         "the catalogue message), 2 usage error.\n";
}

}  // namespace kelpctl
