// kelp-arraysim: creates the simulated arrays behind libcorvid, shows their pages decoded, sets
// board states, injects faults, moves their time and writes the scenario of their simulated
// board agents. Exit status 0 on success, 1 when the
// command failed, 2 for a usage error.
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "agentsim/AgentScenario.h"
#include "corvid.h"
#include "corvid/NasPages.h"
#include "corvid/Sim.h"

namespace {

using namespace corvid;
namespace pg = corvid::pages;
using Args = std::vector<std::string>;

constexpr int kFailed = 1;
constexpr int kUsage = 2;

constexpr const char kHelp[] = R"(usage: kelp-arraysim COMMAND [ARGUMENTS]

Creates and steers the simulated disk arrays that libcorvid serves. Each unit is the folder
$KELP_SYSTEM_ROOT/arrays/UNIT holding unit.ini (the scenario) and state.ini (the living state).
Boards are named by K = sCluster * 2 + sPCB (0 = CTL0-0, 1 = CTL0-1, 2 = CTL1-0, 3 = CTL1-1).

Commands:
  create UNIT --model ZQH|ZQS|ZQXS|ZQM --boards N [--fresh] [--nas-type T] [--replace]
      Creates a unit from the preset of a model: ZQH has up to 4 boards (device type 1), the
      other models up to 2 (device type 2, K 0 and 2). Boards rest stopped with a NAS OS
      installed, or new (status 0) with --fresh. --nas-type gives every board NNC type T (1
      by default). --replace overwrites an existing unit and starts its state afresh.
  create UNIT --from FILE.ini [--replace]
      Creates a unit from a scenario file in the unit.ini format.
  show UNIT
      Prints the unit's pages decoded: model, serial, SVP address and mask, device type, and per
      board the port, the A3 entry, A6 progress, A8 shutdown progress, AA dump information,
      AC download status and what the board is doing.
  set UNIT K status WORD
      Rests board K in status WORD (a number, or one of new installing up stopped down booting
      stopping panic dump dumpskipped hungup disused), ending what it was doing.
  fault UNIT call OP PAGE SUBPAGE COUNT CODE
      The next COUNT calls of OP (GetUnitParam, ModeSense, ModeSelect) on PAGE/SUBPAGE return
      CODE (-1 matches any page or sub-page). Numbers may be given as 0x hex.
  fault UNIT board K KIND VALUE
      KIND: mpstatus (MP status word, 0x1001 = blockade), forcestatus (status word shown until
      cleared; 0xFFFFFFFF clears), netbootresult (NetBootResult of the next install),
      installfailure (final progress word of the next install: 0x00FE, or 0x05FE with the
      cause code in bits 16..23), dumpskipped (1: the next dump ends skipped),
      stall (1: the board's activity stops progressing, 0: it resumes), downloadresult (the
      final AC status word of the next download, e.g. 0xFFFE1100; no file is delivered).
  fault UNIT clear
      Removes every injected fault and page overlay.
  advance UNIT MS
      Moves the unit's simulated time forward by MS logical milliseconds.
  agent UNIT port [SLOT] PORT
      The TCP port the simulated agents of the unit (kelp-agentsim) listen on: of every board,
      or of the board in SLOT (sCluster * 8 + sPCB: 0, 1, 8, 9 for K 0..3). PORT "-" removes
      the setting (the default is 20265).
  agent UNIT option KEY VALUE
      A unit option of the agents: IgnoreArrayStatus 1 serves every board whatever its status
      (0, the default: a board that is not up refuses connections). Port as above.
  agent UNIT board SLOT KEY VALUE
      A board option of the agents: AgentVersion, ClusterStatus, ClusterDefinedStatus (words
      the agent answers instead of its own), HaProcess 0|1 (an "ha_" process in the ps output),
      StatPolls N (polls answered 101 before an operation finishes, default 2), StatMs MS (the
      least logical running time of an operation), InitStates LIST (e.g. 15,16,17: results of
      the cluster initialisation polls after the running ones). VALUE "-" removes the option.
  agent UNIT behave SLOT EXCHANGE KEY=VALUE...
      Makes the agent of SLOT misbehave in EXCHANGE (Version, NetworkInfo, RoutingAdd, Install,
      NasOsLuRestoreStat, ... as named in the protocol): Result=CODE (reply with this Result and
      no data, changing nothing), DelayMs=MS (wait before replying), ChunkSize=N ChunkGapMs=MS
      (the reply trickles in pieces), Stall=1 (no reply; the connection is held until the
      client closes), CloseAfter=N (close after N bytes of the reply), Magic=TEXT,
      ProtoVer=WORD, MsgType=WORD, DataType=WORD (wrong frame values), Count=N (only the next
      N exchanges). Times are logical milliseconds (KELP_TIME_SCALE applies).
  agent UNIT clear [SLOT]
      Removes the behaviours of SLOT, or of every board.
  agent UNIT show
      Prints the unit's agent scenario file (agents.ini).
  list
      Lists the units.
  delete UNIT
      Removes a unit.
  --help
      Shows this text.

Environment:
  KELP_SYSTEM_ROOT  the folder standing for drive C: (default ${XDG_DATA_HOME:-~/.local/share}/kelpset);
                    units live in its arrays/ folder; a finished download is delivered into
                    its NASDUMP/.receive/ folder, from which the setup tool files it.
  KELP_TIME_SCALE   how fast simulated time runs for the programs using a unit: a board
                    operation of T logical ms takes T x scale of real time (0.001: a minute
                    takes 60 ms). Unset means 1, real time.
  KELP_RUNTIME_DIR  where the lock files of the units are kept.
)";

int Usage(const std::string& message) {
  std::fprintf(stderr, "kelp-arraysim: %s\nTry 'kelp-arraysim --help'.\n", message.c_str());
  return kUsage;
}

int Failed(const std::string& message) {
  std::fprintf(stderr, "kelp-arraysim: %s\n", message.c_str());
  return kFailed;
}

// Decimal (a leading zero does not mean octal), or hex with 0x; -1 allowed for "any page".
std::optional<std::int64_t> Number(const std::string& text) {
  const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
  const char* digits = text.c_str() + (hex ? 2 : 0);
  const bool negative = !hex && *digits == '-';
  if (!std::isxdigit(static_cast<unsigned char>(digits[negative ? 1 : 0]))) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long long value = std::strtoll(digits, &end, hex ? 16 : 10);
  if (errno != 0 || *end != '\0') return std::nullopt;
  return value;
}

std::optional<std::uint16_t> StatusWord(const std::string& text) {
  static constexpr const char* kNames[] = {"new",  "installing", "up",   "stopped",     "down",   "booting",
                                           "stopping", "panic",  "dump", "dumpskipped", "hungup", "disused"};
  for (std::size_t i = 0; i < std::size(kNames); ++i)
    if (text == kNames[i]) return static_cast<std::uint16_t>(i);
  const auto n = Number(text);
  if (!n || *n < 0 || *n > 0xFFFF) return std::nullopt;
  return static_cast<std::uint16_t>(*n);
}

std::string Ip(const std::vector<std::uint8_t>& image, std::size_t offset) {
  char buf[20];
  std::snprintf(buf, sizeof buf, "%u.%u.%u.%u", image[offset], image[offset + 1], image[offset + 2],
                image[offset + 3]);
  return buf;
}

std::uint32_t Be32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return static_cast<std::uint32_t>(image[offset]) << 24 | static_cast<std::uint32_t>(image[offset + 1]) << 16 |
         static_cast<std::uint32_t>(image[offset + 2]) << 8 | image[offset + 3];
}

std::uint32_t Le32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return static_cast<std::uint32_t>(image[offset + 3]) << 24 | static_cast<std::uint32_t>(image[offset + 2]) << 16 |
         static_cast<std::uint32_t>(image[offset + 1]) << 8 | image[offset];
}

std::string Text(const std::vector<std::uint8_t>& image, std::size_t offset, std::size_t size) {
  std::string text;
  for (std::size_t i = 0; i < size && image[offset + i] != 0; ++i) {
    const char c = static_cast<char>(image[offset + i]);
    text += (c >= 0x20 && c < 0x7F) ? c : '?';
  }
  return text;
}

int Create(const Args& args) {
  if (args.empty()) return Usage("create needs a unit name");
  const std::string& unit = args[0];
  std::optional<sim::Model> model;
  std::optional<int> boards;
  std::string from;
  bool fresh = false, replace = false;
  std::optional<std::uint8_t> nasType;
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& a = args[i];
    const bool hasValue = i + 1 < args.size();
    if (a == "--model" && hasValue) {
      model = sim::ParseModel(args[++i]);
      if (!model) return Usage("unknown model " + args[i] + " (ZQH, ZQS, ZQXS, ZQM)");
    } else if (a == "--boards" && hasValue) {
      const auto n = Number(args[++i]);
      if (!n) return Usage("bad board count " + args[i]);
      boards = static_cast<int>(*n);
    } else if (a == "--from" && hasValue) {
      from = args[++i];
    } else if (a == "--nas-type" && hasValue) {
      const auto n = Number(args[++i]);
      if (!n || *n > 0xFF) return Usage("bad NNC type " + args[i]);
      nasType = static_cast<std::uint8_t>(*n);
    } else if (a == "--fresh") {
      fresh = true;
    } else if (a == "--replace") {
      replace = true;
    } else {
      return Usage("unexpected argument " + a);
    }
  }
  std::string error;
  sim::UnitSpec scenario;
  if (!from.empty()) {
    if (model || boards || fresh || nasType) return Usage("--from takes no --model, --boards, --fresh or --nas-type");
    if (!sim::ReadUnitSpecFile(from, unit, &scenario, &error)) return Failed(error);
  } else {
    if (!model || !boards) return Usage("create needs --model and --boards, or --from");
    const int most = *model == sim::Model::ZQH ? 4 : 2;
    if (*boards < 1 || *boards > most)
      return Usage(std::string(sim::ModelName(*model)) + " takes 1 to " + std::to_string(most) + " boards");
    scenario = sim::PresetUnit(unit, *model, *boards, fresh);
    if (nasType)
      for (sim::BoardSpec& board : scenario.boards) board.nasType = *nasType;
  }
  if (!sim::CreateUnit(scenario, replace, &error)) return Failed(error);
  std::printf("created %s in %s\n", unit.c_str(), sim::UnitDir(unit).c_str());
  return 0;
}

int Show(const Args& args) {
  if (args.size() != 1) return Usage("show takes one unit name");
  const std::string& unit = args[0];
  std::string error;
  std::vector<std::uint8_t> port, a3, a6, a8, aa, ac;
  std::vector<sim::BoardState> states;
  if (!sim::PeekPage(unit, pg::kPortInfoPage, pg::kPortInfoSubPage, &port, &error) ||
      !sim::PeekPage(unit, pg::kNasPage, pg::kA3Config, &a3, &error) ||
      !sim::PeekPage(unit, pg::kNasPage, pg::kA6Progress, &a6, &error) ||
      !sim::PeekPage(unit, pg::kNasPage, pg::kA8Shutdown, &a8, &error) ||
      !sim::PeekPage(unit, pg::kNasPage, pg::kAADumpInfo, &aa, &error) ||
      !sim::PeekPage(unit, pg::kNasPage, pg::kACDownloadStatus, &ac, &error) ||
      !sim::GetBoardStates(unit, &states, &error))
    return Failed(error);
  const unsigned model = static_cast<unsigned>(a3[pg::a3::kModel] << 8 | a3[pg::a3::kModel + 1]);
  std::printf("unit %s\n", unit.c_str());
  std::printf("  model        %s (0x%04X)\n", sim::ModelName(static_cast<sim::Model>(model)), model);
  std::printf("  serial       %s\n", Text(a3, pg::a3::kSerial, pg::a3::kSerialSize).c_str());
  std::printf("  SVP          %s mask %s\n", Ip(a3, pg::a3::kSvpIp).c_str(), Ip(a3, pg::a3::kSubnet).c_str());
  std::printf("  device type  %u\n", port[pg::port::kDeviceType]);
  for (const sim::BoardState& s : states) {
    const int k = s.k;
    const std::size_t e3 = pg::a3::Entry(k), e6 = pg::a6::Entry(k), ea = pg::aa::Entry(k), ec = pg::ac::Entry(k);
    const std::uint16_t status = static_cast<std::uint16_t>(Be32(a3, e3 + pg::a3::kStatus));
    std::printf("board K=%d CTL%d-%d (slot %d)\n", k, k / 2, k % 2, (k / 2) * 8 + k % 2);
    std::printf("  port         status %u kind %u\n", port[pg::port::kStatus[k]], port[pg::port::kKind[k]]);
    std::printf("  A3           Valid %u, MP 0x%04X, IP %s, location \"%s\", NAS type flag %u type %u\n",
                a3[e3 + pg::a3::kValid], a3[e3 + pg::a3::kMpStatus] << 8 | a3[e3 + pg::a3::kMpStatus + 1],
                Ip(a3, e3 + pg::a3::kIp).c_str(), Text(a3, e3 + pg::a3::kLocation, pg::a3::kLocationSize).c_str(),
                a3[e3 + pg::a3::kNasTypeFlag], a3[e3 + pg::a3::kNasType]);
    std::printf("               status %u (%s), MAC %02X:%02X:%02X:%02X:%02X:%02X, UserPortNum '%c' CacheCap '%c' BadkFCExist '%c'\n",
                status, pg::StatusWordName(status), a3[e3 + pg::a3::kComInfo], a3[e3 + pg::a3::kComInfo + 1],
                a3[e3 + pg::a3::kComInfo + 2], a3[e3 + pg::a3::kComInfo + 3], a3[e3 + pg::a3::kComInfo + 4],
                a3[e3 + pg::a3::kComInfo + 5], a3[e3 + pg::a3::kUserPortNum], a3[e3 + pg::a3::kCacheCap],
                a3[e3 + pg::a3::kBadkFCExist]);
    std::printf("               time-outs");
    for (int t = 0; t < pg::a3::kTimeOutCount; ++t)
      std::printf(" %u", Be32(a3, e3 + pg::a3::kTimeOuts + 4 * static_cast<std::size_t>(t)));
    std::printf("\n");
    std::printf("  A6           install status 0x%04X, HibStat 0x%02X, NetBootResult 0x%08X\n",
                Le32(a6, e6 + pg::a6::kInstallStatus), a6[e6 + pg::a6::kHibStat], Be32(a6, e6 + pg::a6::kNetBootResult));
    std::printf("  A8           %u\n", a8[pg::a8::kStatus0 + static_cast<std::size_t>(k)]);
    std::printf("  AA           status 0x%08X, size %u MB, date \"%s\"\n", Be32(aa, ea + pg::aa::kStatus),
                Be32(aa, ea + pg::aa::kDumpSize), Text(aa, ea + pg::aa::kDate, pg::aa::kDateSize).c_str());
    std::printf("  AC           status 0x%08X, file \"%s\"\n", Be32(ac, ec + pg::ac::kStatus),
                Text(ac, ec + pg::ac::kFileName, pg::ac::kFileNameSize).c_str());
    std::printf("  activity     %s", s.activity.c_str());
    if (!s.bootOption.empty()) std::printf(", boot option \"%s\"", s.bootOption.c_str());
    if (!s.nasOsVersion.empty()) std::printf(", NAS OS %s", s.nasOsVersion.c_str());
    std::printf("\n");
  }
  return 0;
}

std::optional<int> BoardIndex(const std::string& text) {
  const auto k = Number(text);
  if (!k || *k < 0 || *k >= pg::kBoards) return std::nullopt;
  return static_cast<int>(*k);
}

int Set(const Args& args) {
  if (args.size() != 4 || args[2] != "status") return Usage("usage: set UNIT K status WORD");
  const auto k = BoardIndex(args[1]);
  const auto word = StatusWord(args[3]);
  if (!k) return Usage("bad board " + args[1] + " (0..3)");
  if (!word) return Usage("bad status word " + args[3]);
  std::string error;
  if (!sim::SetBoardStatus(args[0], *k, *word, &error)) return Failed(error);
  return 0;
}

int Fault(const Args& args) {
  if (args.size() < 2) return Usage("fault needs a unit and call, board or clear");
  const std::string& unit = args[0];
  std::string error;
  if (args[1] == "clear") {
    if (args.size() != 2) return Usage("usage: fault UNIT clear");
    return sim::ClearFaults(unit, &error) ? 0 : Failed(error);
  }
  if (args[1] == "call") {
    if (args.size() != 7) return Usage("usage: fault UNIT call OP PAGE SUBPAGE COUNT CODE");
    const auto page = Number(args[3]), sub = Number(args[4]), count = Number(args[5]), code = Number(args[6]);
    if (!page || !sub || !count || !code || *code < 0 || *code > 0xFFFFFFFFLL || *count > INT32_MAX)
      return Usage("bad number in the call fault");
    if (!sim::InjectCallFault(unit, args[2], static_cast<int>(*page), static_cast<int>(*sub),
                              static_cast<int>(*count), static_cast<std::uint32_t>(*code), &error))
      return Failed(error);
    return 0;
  }
  if (args[1] == "board") {
    if (args.size() != 5) return Usage("usage: fault UNIT board K KIND VALUE");
    static const std::pair<const char*, sim::BoardFault> kKinds[] = {
        {"mpstatus", sim::BoardFault::MpStatus},           {"forcestatus", sim::BoardFault::ForceStatus},
        {"netbootresult", sim::BoardFault::NetBootResult}, {"installfailure", sim::BoardFault::InstallFailure},
        {"dumpskipped", sim::BoardFault::DumpSkipped},     {"stall", sim::BoardFault::Stall},
        {"downloadresult", sim::BoardFault::DownloadResult}};
    const auto k = BoardIndex(args[2]);
    const auto value = Number(args[4]);
    if (!k) return Usage("bad board " + args[2] + " (0..3)");
    if (!value || *value < 0 || *value > 0xFFFFFFFFLL) return Usage("bad value " + args[4]);
    for (const auto& [name, kind] : kKinds)
      if (args[3] == name)
        return sim::InjectBoardFault(unit, *k, kind, static_cast<std::uint32_t>(*value), &error) ? 0 : Failed(error);
    return Usage("unknown board fault " + args[3]);
  }
  return Usage("fault takes call, board or clear");
}

int Advance(const Args& args) {
  if (args.size() != 2) return Usage("usage: advance UNIT MS");
  const auto ms = Number(args[1]);
  if (!ms || *ms < 0) return Usage("bad time " + args[1]);
  std::string error;
  return sim::AdvanceTime(args[0], *ms, &error) ? 0 : Failed(error);
}

int List(const Args& args) {
  if (!args.empty()) return Usage("list takes no arguments");
  for (const std::string& name : sim::ListUnits()) std::printf("%s\n", name.c_str());
  return 0;
}

int Delete(const Args& args) {
  if (args.size() != 1) return Usage("delete takes one unit name");
  std::string error;
  return sim::DeleteUnit(args[0], &error) ? 0 : Failed(error);
}

std::optional<int> Slot(const std::string& text) {
  const auto slot = Number(text);
  if (!slot || *slot < 0 || *slot > 15) return std::nullopt;
  return static_cast<int>(*slot);
}

int Agent(const Args& args) {
  if (args.size() < 2) return Usage("agent needs a unit and port, option, board, behave, clear or show");
  const std::string& unit = args[0];
  const std::string& what = args[1];
  if (!std::filesystem::is_directory(sim::UnitDir(unit))) return Failed("no unit " + unit);
  const std::filesystem::path file = agentsim::ScenarioFile(unit);
  const auto value = [](const std::string& text) { return text == "-" ? std::string() : text; };
  std::string error;
  bool ok = false;
  if (what == "port" && (args.size() == 3 || args.size() == 4)) {
    if (args.size() == 3) {
      ok = agentsim::SetUnitOption(file, "Port", value(args[2]), &error);
    } else {
      const auto slot = Slot(args[2]);
      if (!slot) return Usage("bad slot " + args[2] + " (0..15)");
      ok = agentsim::SetBoardOption(file, *slot, "Port", value(args[3]), &error);
    }
  } else if (what == "option" && args.size() == 4) {
    ok = agentsim::SetUnitOption(file, args[2], value(args[3]), &error);
  } else if (what == "board" && args.size() == 5) {
    const auto slot = Slot(args[2]);
    if (!slot) return Usage("bad slot " + args[2] + " (0..15)");
    ok = agentsim::SetBoardOption(file, *slot, args[3], value(args[4]), &error);
  } else if (what == "behave" && args.size() >= 5) {
    const auto slot = Slot(args[2]);
    if (!slot) return Usage("bad slot " + args[2] + " (0..15)");
    ok = agentsim::SetBehaviour(file, *slot, args[3], Args(args.begin() + 4, args.end()), &error);
  } else if (what == "clear" && (args.size() == 2 || args.size() == 3)) {
    std::optional<int> slot;
    if (args.size() == 3 && !(slot = Slot(args[2]))) return Usage("bad slot " + args[2] + " (0..15)");
    ok = agentsim::ClearBehaviours(file, slot, &error);
  } else if (what == "show" && args.size() == 2) {
    std::ifstream in(file);
    std::cout << in.rdbuf();
    return 0;
  } else {
    return Usage("usage: agent UNIT port [SLOT] PORT | option KEY VALUE | board SLOT KEY VALUE | "
                 "behave SLOT EXCHANGE KEY=VALUE... | clear [SLOT] | show");
  }
  // A bad key or value is the caller's mistake; anything else a failure to write.
  if (!ok) return error.rfind("cannot write", 0) == 0 ? Failed(error) : Usage(error);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage("no command");
  const std::string command = argv[1];
  const Args args(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") {
    std::fputs(kHelp, stdout);
    return 0;
  }
  static const std::pair<const char*, std::function<int(const Args&)>> kCommands[] = {
      {"create", Create}, {"show", Show},   {"set", Set},       {"fault", Fault},
      {"advance", Advance}, {"agent", Agent}, {"list", List}, {"delete", Delete}};
  for (const auto& [name, run] : kCommands)
    if (command == name) return run(args);
  return Usage("unknown command " + command);
}
