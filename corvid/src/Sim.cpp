// The control side of the simulated array (corvid/Sim.h).
#include "corvid/Sim.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "BoardMachine.h"
#include "Export.h"
#include "PageImage.h"
#include "TextCodec.h"
#include "UnitSession.h"
#include "UnitSpecFile.h"
#include "corvid.h"
#include "corvid/Schema.h"
#include "plat/Clock.h"
#include "plat/Paths.h"

namespace corvid::sim {
namespace {

using namespace corvid::detail;

constexpr const char* kCallOps[] = {"GetUnitParam", "ModeSense", "ModeSelect"};

bool Fail(std::string* pError, const std::string& text) {
  if (pError) *pError = text;
  return false;
}

bool CheckName(const std::string& name, std::string* pError) {
  return IsValidName(name) || Fail(pError, "bad unit name \"" + name + "\"");
}

// Runs action on the loaded unit and saves; false with the reason on any failure.
template <class Action>
bool WithUnit(const std::string& unit, std::string* pError, Action&& action) {
  if (!CheckName(unit, pError)) return false;
  UnitSession session(unit);
  if (!session.ok()) return Fail(pError, session.error());
  if (!action(session)) return false;
  return session.Save() || Fail(pError, session.error());
}

BoardRuntime* FindRuntime(UnitSession& session, int k, std::string* pError) {
  for (const BoardSpec& b : session.scenario().boards)
    if (b.k == k) return &session.state().boards[static_cast<std::size_t>(k)];
  Fail(pError, "unit " + session.name() + " has no board " + std::to_string(k));
  return nullptr;
}

const BoardSpec& SpecOf(UnitSession& session, int k) {
  return *std::find_if(session.scenario().boards.begin(), session.scenario().boards.end(),
                       [k](const BoardSpec& b) { return b.k == k; });
}

std::uint32_t NameHash(const std::string& text) {
  std::uint32_t hash = 2166136261u;
  for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
  return hash;
}

}  // namespace

CORVID_API const char* ModelName(Model model) {
  switch (model) {
    case Model::ZQS: return "ZQS";
    case Model::ZQXS: return "ZQXS";
    case Model::ZQM: return "ZQM";
    case Model::ZQH: return "ZQH";
  }
  return "UNKNOWN";
}

CORVID_API std::optional<Model> ParseModel(const std::string& text) {
  std::string upper = text;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  for (const Model m : {Model::ZQS, Model::ZQXS, Model::ZQM, Model::ZQH})
    if (upper == ModelName(m)) return m;
  return std::nullopt;
}

CORVID_API UnitSpec PresetUnit(const std::string& name, Model model, int boards, bool fresh) {
  UnitSpec scenario;
  scenario.name = name;
  scenario.model = model;
  const std::uint32_t hash = NameHash(name);
  scenario.serial = std::to_string(10000000 + hash % 90000000);
  const bool four = model == Model::ZQH;
  scenario.deviceType = four ? 1 : 2;
  // One board per cluster first, as arrays are usually filled.
  static constexpr int kFillOrder[] = {0, 2, 1, 3};
  const int count = std::clamp(boards, 1, four ? 4 : 2);
  for (int i = 0; i < count; ++i) {
    BoardSpec b;
    b.k = kFillOrder[i];
    const int cluster = b.k / 2, pcb = b.k % 2;
    const int slot = cluster * 8 + pcb;
    b.location = "CTL" + std::to_string(cluster) + "-" + std::to_string(pcb);
    b.ip = {127, 0, 0, static_cast<std::uint8_t>(10 + slot)};
    b.mac = {0x02, 0x4B, static_cast<std::uint8_t>(hash >> 16), static_cast<std::uint8_t>(hash >> 8),
             static_cast<std::uint8_t>(hash), static_cast<std::uint8_t>(slot)};
    b.userPortNum = four ? '4' : '2';
    b.cacheCap = '4';
    b.badkFCExist = four ? 'F' : '-';
    b.status = fresh ? pages::kStatusNew : pages::kStatusStopped;
    b.nasOsVersion = fresh ? "" : "05-00-00-00";
    b.timeOuts = {300, 600, 900, 1200, 1800, 3600};
    scenario.boards.push_back(b);
  }
  std::sort(scenario.boards.begin(), scenario.boards.end(), [](const BoardSpec& a, const BoardSpec& b) { return a.k < b.k; });
  return scenario;
}

CORVID_API std::string UnitDir(const std::string& name) { return UnitFolder(name).string(); }

CORVID_API bool CreateUnit(const UnitSpec& scenario, bool replace, std::string* pError) {
  if (!ValidateUnitSpec(scenario, pError)) return false;
  UnitSession session(scenario.name, UnitSession::Mode::LockOnly);
  if (!session.ok()) return Fail(pError, session.error());
  if (session.Exists() && !replace) return Fail(pError, "unit " + scenario.name + " exists already");
  return session.WriteNew(scenario) || Fail(pError, session.error());
}

CORVID_API bool DeleteUnit(const std::string& name, std::string* pError) {
  if (!CheckName(name, pError)) return false;
  UnitSession session(name, UnitSession::Mode::LockOnly);
  if (!session.ok()) return Fail(pError, session.error());
  if (!session.Exists()) return Fail(pError, "no unit \"" + name + "\"");
  return session.Remove() || Fail(pError, session.error());
}

CORVID_API std::vector<std::string> ListUnits() {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(plat::SystemRoot() / "arrays", ec)) {
    const std::string name = entry.path().filename().string();
    std::error_code fileEc;
    if (IsValidName(name) && std::filesystem::is_regular_file(entry.path() / "unit.ini", fileEc))
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

CORVID_API bool LoadUnitSpec(const std::string& name, UnitSpec* pSpec, std::string* pError) {
  if (pSpec == nullptr) return Fail(pError, "no scenario to fill");
  return WithUnit(name, pError, [&](UnitSession& session) {
    *pSpec = session.scenario();
    return true;
  });
}

CORVID_API bool ReadUnitSpecFile(const std::string& file, const std::string& name, UnitSpec* pSpec,
                                 std::string* pError) {
  if (pSpec == nullptr) return Fail(pError, "no scenario to fill");
  std::ifstream in(file, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  if (!in) return Fail(pError, "cannot read " + file);
  UnitSpec scenario;
  scenario.name = name;
  if (!ParseUnitSpec(text.str(), &scenario, pError)) return false;
  *pSpec = std::move(scenario);
  return true;
}

CORVID_API bool GetBoardStates(const std::string& unit, std::vector<BoardState>* pStates, std::string* pError) {
  if (pStates == nullptr) return Fail(pError, "no state list to fill");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    pStates->clear();
    for (const BoardSpec& scenario : session.scenario().boards) {
      const BoardRuntime& b = session.state().boards[static_cast<std::size_t>(scenario.k)];
      const BoardView v = ViewBoard(b, session.scenario(), scenario, session.now());
      BoardState s;
      s.k = scenario.k;
      s.status = v.status;
      s.mpStatus = v.mpStatus;
      s.installStatus = v.installStatus;
      s.netBootResult = v.netBootResult;
      s.hibStat = v.hibStat;
      s.shutdownProgress = v.shutdownProgress;
      s.dumpStatus = v.dumpStatus;
      s.downloadStatus = v.downloadStatus;
      s.downloadFile = v.downloadFile;
      s.bootOption = b.bootOption;
      s.nasOsVersion = b.nasOsVersion;
      s.activity = v.activity;
      pStates->push_back(s);
    }
    return true;
  });
}

CORVID_API bool SetBoardStatus(const std::string& unit, int k, std::uint16_t status, std::string* pError) {
  return WithUnit(unit, pError, [&](UnitSession& session) {
    BoardRuntime* board = FindRuntime(session, k, pError);
    if (board == nullptr) return false;
    BoardMachine(*board, session.scenario(), SpecOf(session, k)).SetStatus(status);
    session.Touch();
    return true;
  });
}

CORVID_API void SetTimeScale(double scale) { plat::Clock::SetTimeScale(scale); }

CORVID_API bool AdvanceTime(const std::string& unit, std::int64_t logicalMs, std::string* pError) {
  if (logicalMs < 0) return Fail(pError, "time only moves forward");
  if (logicalMs > kMaxDurationMs) return Fail(pError, "a step of time too large");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    session.Advance(logicalMs);
    return true;
  });
}

CORVID_API bool InjectCallFault(const std::string& unit, const std::string& op, int page, int subPage,
                                int count, std::uint32_t code, std::string* pError) {
  if (std::find(std::begin(kCallOps), std::end(kCallOps), op) == std::end(kCallOps) && schema::FindMethod(op) < 0)
    return Fail(pError, "unknown operation \"" + op + "\" (GetUnitParam, ModeSense, ModeSelect or a ZQ_ name)");
  if (count < 1) return Fail(pError, "the count must be at least 1");
  if (code == 0) return Fail(pError, "a fault needs a non-zero code");
  if (page < -1 || page > 0xFF || subPage < -1 || subPage > 0xFF) return Fail(pError, "page out of range");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    session.state().callFaults.push_back(CallFault{op, page, subPage, count, code});
    session.Touch();
    return true;
  });
}

CORVID_API bool InjectBoardFault(const std::string& unit, int k, BoardFault fault, std::uint32_t value,
                                 std::string* pError) {
  return WithUnit(unit, pError, [&](UnitSession& session) {
    BoardRuntime* board = FindRuntime(session, k, pError);
    if (board == nullptr) return false;
    switch (fault) {
      case BoardFault::MpStatus:
        if (value > 0xFFFF) return Fail(pError, "an MP status has 16 bits");
        board->mpFault = static_cast<std::int32_t>(value);
        break;
      case BoardFault::ForceStatus:
        if (value != 0xFFFFFFFF && value > 0xFFFF) return Fail(pError, "a status word has 16 bits");
        board->forceStatus = value == 0xFFFFFFFF ? -1 : static_cast<std::int32_t>(value);
        break;
      case BoardFault::NetBootResult:
        board->netBootFault = value;
        break;
      case BoardFault::InstallFailure:
        board->installFailureFault = value;
        break;
      case BoardFault::DumpSkipped:
        board->dumpSkippedFault = value != 0;
        break;
      case BoardFault::DownloadResult:
        board->downloadResultFault = value;
        break;
      case BoardFault::Stall:
        BoardMachine(*board, session.scenario(), SpecOf(session, k)).Stall(value != 0, session.now());
        break;
    }
    session.Touch();
    return true;
  });
}

CORVID_API bool ClearFaults(const std::string& unit, std::string* pError) {
  return WithUnit(unit, pError, [&](UnitSession& session) {
    UnitState& state = session.state();
    state.callFaults.clear();
    state.pokes.clear();
    state.cuts.clear();
    for (const BoardSpec& scenario : session.scenario().boards) {
      BoardRuntime& b = state.boards[static_cast<std::size_t>(scenario.k)];
      BoardMachine(b, session.scenario(), scenario).Stall(false, session.now());
      b.forceStatus = -1;
      b.mpFault = -1;
      b.netBootFault = 0;
      b.installFailureFault = 0;
      b.dumpSkippedFault = false;
      b.downloadResultFault = 0;
    }
    session.Touch();
    return true;
  });
}

CORVID_API bool PokePage(const std::string& unit, int page, int subPage, std::size_t offset,
                         const std::vector<std::uint8_t>& bytes, std::string* pError) {
  const auto size = PageSize(page, subPage);
  if (!size) return Fail(pError, "the array has no page " + Hex(static_cast<std::uint32_t>(page)) + "/" +
                                     Hex(static_cast<std::uint32_t>(subPage)));
  if (bytes.empty() || offset > *size || bytes.size() > *size - offset)
    return Fail(pError, "the bytes do not fit the page (" + std::to_string(*size) + " bytes)");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    session.state().pokes.push_back(Poke{page, subPage, offset, bytes});
    session.Touch();
    return true;
  });
}

CORVID_API bool ShortenPage(const std::string& unit, int page, int subPage, std::size_t size, std::string* pError) {
  const auto pageSize = PageSize(page, subPage);
  if (!pageSize) return Fail(pError, "the array has no page " + Hex(static_cast<std::uint32_t>(page)) + "/" +
                                         Hex(static_cast<std::uint32_t>(subPage)));
  if (size >= *pageSize) return Fail(pError, "the page is " + std::to_string(*pageSize) + " bytes");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    session.state().cuts[PageKey(page, subPage)] = size;
    session.Touch();
    return true;
  });
}

CORVID_API bool LastSelected(const std::string& unit, int page, int subPage, std::vector<std::uint8_t>* pImage,
                             std::string* pError) {
  if (pImage == nullptr) return Fail(pError, "no image to fill");
  if (page < 0 || page > 0xFF || subPage < 0 || subPage > 0xFF) return Fail(pError, "page out of range");
  bool found = false;
  const bool ok = WithUnit(unit, pError, [&](UnitSession& session) {
    const auto it = session.state().selected.find(PageKey(page, subPage));
    found = it != session.state().selected.end();
    if (found) *pImage = it->second;
    return true;
  });
  return ok && (found || Fail(pError, "nothing was selected into that page"));
}

CORVID_API bool PeekPage(const std::string& unit, int page, int subPage, std::vector<std::uint8_t>* pImage,
                         std::string* pError) {
  if (pImage == nullptr) return Fail(pError, "no image to fill");
  return WithUnit(unit, pError, [&](UnitSession& session) {
    auto image = SensePage(page, subPage, session.scenario(), session.state(), session.now());
    if (!image) return Fail(pError, "the array has no page " + Hex(static_cast<std::uint32_t>(page)) + "/" +
                                        Hex(static_cast<std::uint32_t>(subPage)));
    *pImage = std::move(*image);
    return true;
  });
}

}  // namespace corvid::sim
