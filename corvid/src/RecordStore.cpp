#include "RecordStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "CommandPages.h"
#include "TextCodec.h"
#include "UnitSession.h"
#include "corvid.h"
#include "corvid/Schema.h"
#include "corvid/Sim.h"
#include "plat/Paths.h"

namespace corvid::detail {
namespace {

namespace sc = corvid::schema;
using Bytes = std::vector<unsigned char>;

constexpr double kDefaultRate = 12.345;  // every rate field until a set changes it
constexpr char kLoginKey[] = "LoginUser";
constexpr char kLoginLevel[] = "admin";

void PutInt(unsigned char* p, const sc::Field& f, std::uint32_t v) {
  for (std::uint32_t b = 0; b < f.size; ++b)
    p[f.bigEndian ? f.size - 1 - b : b] = static_cast<unsigned char>(v >> (8 * b));
}

void CopyText(unsigned char* p, std::size_t size, std::string_view text) {
  const std::size_t n = std::min(text.size(), size - 1);
  std::memcpy(p, text.data(), n);
  p[n] = 0;
}

// The default content of a record: ints count up from the field's position, rates 12.345, texts
// carry the field's name, byte arrays letters.
void FillDefault(int record, unsigned char* base) {
  const sc::Record& r = sc::kRecords[record];
  for (std::uint16_t i = 0; i < r.fieldCount; ++i) {
    const sc::Field& f = r.fields[i];
    const std::size_t n = (f.dimCount > 0 ? f.dims[0] : 1) * (f.dimCount > 1 ? f.dims[1] : 1);
    unsigned char* p = base + f.offset;
    for (std::size_t e = 0; e < n; ++e, p += f.size) {
      switch (f.kind) {
        case sc::Kind::Int: PutInt(p, f, static_cast<std::uint32_t>(1 + (i + e) % 100)); break;
        case sc::Kind::Hundredths: std::memcpy(p, &kDefaultRate, sizeof kDefaultRate); break;
        case sc::Kind::Text: CopyText(p, f.size, f.name); break;
        case sc::Kind::Byte: *p = e + 1 == n ? 0 : static_cast<unsigned char>('a' + e % 26); break;
        case sc::Kind::Record: FillDefault(f.record, p); break;
        case sc::Kind::PlatformText: break;  // reads another field's bytes
      }
    }
  }
}

// Defaults are made once per process and record.
const Bytes& DefaultImage(int record) {
  static std::mutex mutex;
  static std::map<int, Bytes> images;
  const std::lock_guard lock(mutex);
  auto [it, added] = images.try_emplace(record);
  if (added) {
    it->second.assign(sc::kRecords[record].size, 0);
    FillDefault(record, it->second.data());
  }
  return it->second;
}

std::filesystem::path StorePath(std::string_view unit, std::string_view key) {
  return UnitFolder(unit) / "records" / (std::string(key) + ".bin");
}

bool Load(std::string_view unit, std::string_view key, Bytes* bytes) {
  std::ifstream in(StorePath(unit, key), std::ios::binary);
  if (!in) return false;
  bytes->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return true;
}

bool Store(std::string_view unit, std::string_view key, const void* data, std::size_t size) {
  const auto path = StorePath(unit, key);
  std::error_code ec;
  std::filesystem::create_directories(path.parent_path(), ec);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(static_cast<const char*>(data), static_cast<std::streamsize>(size));
  return static_cast<bool>(out);
}

// The 32 session bytes the unit hands out at login.
Bytes SessionFor(std::string_view unit) {
  Bytes id(32);
  for (std::size_t i = 0; i < id.size(); ++i)
    id[i] = static_cast<unsigned char>(unit[i % unit.size()] ^ (0x5A + i));
  return id;
}

char* Allocate(std::string_view text) {
  auto* p = static_cast<char*>(std::malloc(text.size() + 1));
  if (p != nullptr) CopyText(reinterpret_cast<unsigned char*>(p), text.size() + 1, text);
  return p;
}

std::string ReadText(const char* windowsPath) {
  std::ifstream in(plat::MapPath(windowsPath), std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string TextResult(const sc::Method& m, const StoreCall& c, std::string_view unit) {
  const std::string_view name = m.name;
  if (name == "GetFileText") return ReadText(c.text);
  if (name == "GetFileLine") {
    std::string all = ReadText(c.text), line;
    std::istringstream lines(all);
    for (int i = 0; i <= c.ints[0] && std::getline(lines, line);) ++i;
    return line;
  }
  Bytes stored;
  if (!unit.empty() && Load(unit, name.substr(3), &stored)) return std::string(stored.begin(), stored.end());
  return std::string(name.substr(3));
}

// What a command does to the simulated array beyond storing its record.
void Act(const sc::Method& m, const StoreCall& c, UnitSession& session) {
  const std::string_view name = m.name;
  const std::string& unit = session.name();
  if (name == "NASOSControl") {
    const auto* in = static_cast<const ZQR_NASOSControl*>(c.in);
    if (c.ints[0] >= 0 && c.ints[0] < pages::kBoards && session.state().boards[c.ints[0]].present) {
      session.state().boards[c.ints[0]].bootOption.assign(in->bootopt, ::strnlen(in->bootopt, sizeof in->bootopt));
      session.Touch();
    }
  } else if (name == "SetMailAppendInfo") {
    Store(unit, "MailAppendInfo", c.text, std::strlen(c.text));
  } else if (name == "LoginZQUnit") {
    const auto* in = static_cast<const ZQR_ZQUserRegist*>(c.in);
    Store(unit, kLoginKey, in->user_id, ::strnlen(in->user_id, sizeof in->user_id));
  } else if (name == "LogoutZQUnit") {
    std::error_code ec;
    std::filesystem::remove(StorePath(unit, kLoginKey), ec);
  }
}

void FillOutput(const sc::Method& m, const StoreCall& c, UnitSession* session) {
  const sc::Record& r = sc::kRecords[m.output];
  const std::size_t size = std::size_t{r.size} * m.count;
  auto* out = static_cast<unsigned char*>(c.out);
  const std::string_view name = m.name;
  if (m.output == sc::kSessionRecord && session != nullptr) {
    const Bytes id = SessionFor(session->name());
    std::memcpy(out, id.data(), id.size());
    return;
  }
  Bytes stored;
  if (session != nullptr && Load(session->name(), r.javaClass + std::strlen("quarn/str/diskarray/"), &stored) &&
      stored.size() == size) {
    std::memcpy(out, stored.data(), size);
  } else {
    const Bytes& image = DefaultImage(m.output);
    for (std::uint32_t e = 0; e < m.count; ++e) std::memcpy(out + e * image.size(), image.data(), image.size());
  }
  if (name == "GetNASOSStatusList" && session != nullptr) {
    auto* list = static_cast<ZQR_NASOSStatusList*>(c.out);
    for (int k = 0; k < pages::kBoards; ++k) {
      const BoardRuntime& b = session->state().boards[k];
      list->mount[k] = b.present ? 1 : 0;
      list->nnc[k].valid_index = b.present ? 1 : 0;
      list->nnc[k].nasosstatus = b.present ? b.status : 0;
    }
  }
}

int Serve(const sc::Method& m, const StoreCall& c, UnitSession* session) {
  const std::string unit = session != nullptr ? session->name() : std::string();
  if (m.input >= 0 && session != nullptr) {
    const char* cls = sc::kRecords[m.input].javaClass + std::strlen("quarn/str/diskarray/");
    if (!Store(unit, cls, c.in, sc::kRecords[m.input].size)) return ZQ_ERR_STATE;
  }
  if (session != nullptr) Act(m, c, *session);
  switch (m.result) {
    case sc::Result::Object:
    case sc::Result::Array: FillOutput(m, c, session); break;
    case sc::Result::Int:
      *c.intOut = std::string_view(m.name) == "GetUnitCount" ? static_cast<int>(sim::ListUnits().size()) : 1;
      break;
    case sc::Result::Text:
      *c.textOut = Allocate(TextResult(m, c, unit));
      if (*c.textOut == nullptr) return ZQ_ERR_NO_MEMORY;
      break;
    case sc::Result::TextPair: {
      Bytes user;
      if (!unit.empty() && Load(unit, kLoginKey, &user)) {
        CopyText(reinterpret_cast<unsigned char*>(c.pair[0]), sc::kPairTextSize, std::string(user.begin(), user.end()));
        CopyText(reinterpret_cast<unsigned char*>(c.pair[1]), sc::kPairTextSize, kLoginLevel);
      }
      break;
    }
    case sc::Result::Void: break;
  }
  return 0;
}

// Outputs start empty whatever happens next.
void ClearOutputs(const sc::Method& m, const StoreCall& c) {
  if (c.out != nullptr) std::memset(c.out, 0, std::size_t{sc::kRecords[m.output].size} * m.count);
  if (c.textOut != nullptr) *c.textOut = nullptr;
  for (char* p : c.pair)
    if (p != nullptr) std::memset(p, 0, sc::kPairTextSize);
  if (c.intOut != nullptr) *c.intOut = 0;
}

bool ArgumentsOk(const sc::Method& m, const StoreCall& c) {
  for (const char* a = m.args; *a != 0; ++a) {
    switch (*a) {
      case sc::kArgUnit: if (!NameArgOk(c.unit)) return false; break;
      case sc::kArgSession: if (c.session == nullptr) return false; break;
      case sc::kArgText: if (c.text == nullptr) return false; break;
      case sc::kArgUnitText: if (!NameArgOk(c.text)) return false; break;
      case sc::kArgInput: if (c.in == nullptr) return false; break;
    }
  }
  const bool outputOk = (m.output < 0 || c.out != nullptr) && (m.result != sc::Result::Text || c.textOut != nullptr) &&
                        (m.result != sc::Result::Int || c.intOut != nullptr) &&
                        (m.result != sc::Result::TextPair || (c.pair[0] != nullptr && c.pair[1] != nullptr));
  return outputOk;
}

}  // namespace

bool NameArgOk(const char* name) {
  if (name == nullptr) return false;
  return IsValidName(std::string_view(name, ::strnlen(name, ZQ_UNIT_NAME_MAX + 1)));
}

int ServeCall(int method, const StoreCall& c) {
  const sc::Method& m = sc::kMethods[method];
  ClearOutputs(m, c);
  if (!ArgumentsOk(m, c)) return ZQ_ERR_BAD_ARGUMENT;
  const char* unit = std::strchr(m.args, sc::kArgUnit) ? c.unit : std::strchr(m.args, sc::kArgUnitText) ? c.text : nullptr;
  if (unit == nullptr) return Serve(m, c, nullptr);
  UnitSession session(unit);
  if (!session.ok()) return static_cast<int>(session.code());
  std::uint32_t result = TakeCallFault(session, m.name, -1, -1);
  if (result == 0 && std::strchr(m.args, sc::kArgSession) &&
      std::memcmp(c.session, SessionFor(session.name()).data(), sc::kRecords[sc::kSessionRecord].size) != 0)
    result = ZQ_ERR_NO_SESSION;
  if (result == 0) result = static_cast<std::uint32_t>(Serve(m, c, &session));
  if (result == 0 && !session.Save()) result = session.code();
  if (result != 0) {
    if (c.textOut != nullptr) std::free(*c.textOut);
    ClearOutputs(m, c);
    session.Save();
  }
  return static_cast<int>(result);
}

}  // namespace corvid::detail
