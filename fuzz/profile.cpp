// Fuzz target: arbitrary text as an INI profile (the settings file, c:\dhcp.ini, C:\tftp.ini,
// MediaInfo.ini), read through every plat::Profile call, then changed by one write the way the
// tool writes them: one key (existing, new, or in a new section) or one section's keys replaced.
// The first byte picks the write; the rest is the file. Reading must never crash; the write must
// leave every other line byte for byte, and read back as written.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "FuzzSupport.h"
#include "plat/Profile.h"

namespace fs = std::filesystem;

namespace {

// Values the tool writes, and the awkward ones a key may hold.
const char* const kValues[] = {"1", "", "pxelinux.0", "/media/kelp/netboot", "  padded  ", "a=b", "; not a comment",
                               "[not a section]", "\"quoted\"", "240"};

struct Line {
  std::string text;
  std::string eol;
};

std::vector<Line> Lines(std::string_view text) {
  std::vector<Line> lines;
  if (text.starts_with("\xEF\xBB\xBF")) {
    lines.push_back({"\xEF\xBB\xBF", ""});
    text.remove_prefix(3);
  }
  while (!text.empty()) {
    const std::size_t nl = text.find('\n');
    if (nl == std::string_view::npos) {
      const bool cr = text.back() == '\r';
      lines.push_back({std::string(text.substr(0, text.size() - (cr ? 1 : 0))), cr ? "\r" : ""});
      break;
    }
    const bool crlf = nl > 0 && text[nl - 1] == '\r';
    lines.push_back({std::string(text.substr(0, crlf ? nl - 1 : nl)), crlf ? "\r\n" : "\n"});
    text.remove_prefix(nl + 1);
  }
  return lines;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

bool IsEntry(const std::string& text) {
  const std::string_view t = Trim(text);
  return !t.empty() && t.front() != ';' && t.front() != '[' && t.find('=') != std::string_view::npos;
}

bool Writable(const std::string& name) { return !name.empty() && name.find('\r') == std::string::npos; }

// The write calls take C strings: a name holding a NUL cannot be passed whole.
bool Nameable(const std::string& name) { return name.find('\0') == std::string::npos; }

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

std::string ReadFile(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The lines before and after a write differ only in the middle: a common head and tail, where
// a line that was last without a whole ending may have gained one.
struct Diff {
  std::vector<Line> removed;
  std::vector<Line> added;
};

Diff Compare(const std::vector<Line>& before, const std::vector<Line>& after) {
  std::size_t head = 0;
  while (head < before.size() && head < after.size() && before[head].text == after[head].text &&
         (before[head].eol == after[head].eol ||
          (head + 1 == before.size() && (before[head].eol.empty() || before[head].eol == "\r"))))
    ++head;
  std::size_t tail = 0;
  while (tail < before.size() - head && tail < after.size() - head &&
         before[before.size() - 1 - tail].text == after[after.size() - 1 - tail].text &&
         before[before.size() - 1 - tail].eol == after[after.size() - 1 - tail].eol)
    ++tail;
  return {{before.begin() + static_cast<std::ptrdiff_t>(head), before.end() - static_cast<std::ptrdiff_t>(tail)},
          {after.begin() + static_cast<std::ptrdiff_t>(head), after.end() - static_cast<std::ptrdiff_t>(tail)}};
}

// Every call parses the whole file again: a few sections and keys of each exercise the lookups,
// and a file of thousands of keys is not parsed thousands of times per input.
constexpr std::size_t kLookups = 8;

template <typename T>
std::vector<T> FirstFew(std::vector<T> items) {
  if (items.size() > kLookups) items.resize(kLookups);
  return items;
}

void ReadEverything(const fs::path& file) {
  char small[8];
  std::vector<std::string> sections = plat::GetProfileSectionNames(file);
  plat::GetPrivateProfileString(nullptr, nullptr, nullptr, small, sizeof small, file);
  for (const std::string& section : FirstFew(sections)) {
    plat::GetPrivateProfileString(section.c_str(), nullptr, "", small, sizeof small, file);
    for (const std::string& key : FirstFew(plat::GetProfileKeyNames(section, file))) {
      plat::GetProfileString(section, key, "", file);
      plat::GetPrivateProfileString(section.c_str(), key.c_str(), "x", small, sizeof small, file);
      plat::GetPrivateProfileInt(section.c_str(), key.c_str(), -1, file);
    }
  }
}

// Sets one key and checks that only its line changed (or that a line or a section was added).
void CheckSetKey(const fs::path& file, const std::string& before, const std::string& section,
                 const std::string& key, const std::string& value, bool newSection) {
  if (!Nameable(section) || !Nameable(key)) return;
  if (!plat::WritePrivateProfileString(section.c_str(), key.c_str(), value.c_str(), file)) {
    // Names the file holds are written back unless empty or holding a line break.
    FUZZ_CHECK(!Writable(section) || !Writable(key));
    FUZZ_CHECK(ReadFile(file) == before);
    return;
  }
  const std::string after = ReadFile(file);
  std::string expected(Trim(value));
  if (expected.size() >= 2 && (expected.front() == '"' || expected.front() == '\'') &&
      expected.back() == expected.front())
    expected = expected.substr(1, expected.size() - 2);
  // A buffer one longer than the value: a longer value read back shows as a mismatch.
  const auto room = static_cast<std::uint32_t>(expected.size() + 2);
  FUZZ_CHECK(plat::GetProfileString(section, key, "\x01", file, room) == expected);

  const Diff diff = Compare(Lines(before), Lines(after));
  if (diff.added.empty()) {  // the same value again
    FUZZ_CHECK(diff.removed.empty());
    return;
  }
  FUZZ_CHECK(diff.removed.size() <= 1);
  if (diff.removed.size() == 1) {
    // The key's own line: kept up to its '=' and the blanks after it.
    const std::string& old = diff.removed[0].text;
    FUZZ_CHECK(diff.added.size() == 1 && IsEntry(old) && diff.added[0].eol == diff.removed[0].eol);
    std::size_t keep = old.find('=') + 1;
    while (keep < old.size() && (old[keep] == ' ' || old[keep] == '\t')) ++keep;
    FUZZ_CHECK(diff.added[0].text == old.substr(0, keep) + value);
    return;
  }
  const std::string entry = key + "=" + value;
  if (!newSection) {
    FUZZ_CHECK(diff.added.size() == 1 && diff.added[0].text == entry);
    return;
  }
  FUZZ_CHECK(diff.added.size() >= 2 && diff.added.size() <= 3);
  FUZZ_CHECK(diff.added.back().text == entry && diff.added[diff.added.size() - 2].text == "[" + section + "]");
  FUZZ_CHECK(diff.added.size() == 2 || Trim(diff.added[0].text).empty());
}

// Replaces a section's keys (as the "mac id address" section of c:\dhcp.ini is written) and
// checks that every line outside its keys stayed, in order.
void CheckReplaceSection(const fs::path& file, const std::string& before, const std::string& section) {
  if (!Nameable(section)) return;
  const std::vector<std::string> entries = {"00-11-22-33-44-55 = 10.0.0.240", "00-11-22-33-44-56 = 10.0.0.241"};
  if (!plat::WritePrivateProfileSection(section.c_str(), entries, file)) {
    FUZZ_CHECK(!Writable(section));
    FUZZ_CHECK(ReadFile(file) == before);
    return;
  }
  FUZZ_CHECK(plat::GetProfileKeyNames(section, file) ==
        std::vector<std::string>({"00-11-22-33-44-55", "00-11-22-33-44-56"}));
  const std::vector<Line> after = Lines(ReadFile(file));
  std::vector<std::string> kept;
  for (const Line& line : after)
    if (line.text != entries[0] && line.text != entries[1]) kept.push_back(line.text);
  // Every line of the file that is not a key of the first such section is still there, in order.
  std::size_t at = 0;
  bool inside = false;
  bool seen = false;
  for (const Line& line : Lines(before)) {
    const std::string_view t = Trim(line.text);
    if (!t.empty() && t.front() == '[') {
      const std::string_view inner = t.substr(1);
      inside = !seen && Folded(Trim(inner.substr(0, inner.find(']')))) == Folded(section);
      seen = seen || inside;
    }
    if ((inside && IsEntry(line.text)) || line.text == entries[0] || line.text == entries[1]) continue;
    while (at < kept.size() && kept[at] != line.text) ++at;
    FUZZ_CHECK(at < kept.size());
    ++at;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  static const fuzz::ScratchFolder scratch("profile");
  const fs::path file = scratch.Path() / "profile.ini";
  const std::string before(reinterpret_cast<const char*>(data + 1), size - 1);
  fuzz::WriteFile(file, before);
  ReadEverything(file);

  const std::uint8_t pick = data[0];
  const std::vector<std::string> sections = plat::GetProfileSectionNames(file);
  const std::string value = kValues[(pick >> 4) % std::size(kValues)];
  switch (pick % 4) {
    case 0:  // a key the file holds
    case 1: {  // a new key in a section the file holds
      if (sections.empty()) break;
      const std::string& section = sections[(pick >> 2) % sections.size()];
      const std::vector<std::string> keys = plat::GetProfileKeyNames(section, file);
      if (pick % 4 == 0 && !keys.empty())
        CheckSetKey(file, before, section, keys[(pick >> 3) % keys.size()], value, false);
      else if (pick % 4 == 1)
        CheckSetKey(file, before, section, "KelpFuzzNewKey", value, false);
      break;
    }
    case 2:
      if (std::none_of(sections.begin(), sections.end(),
                       [](const std::string& s) { return Folded(s) == "kelpfuzznewsection"; }))
        CheckSetKey(file, before, "KelpFuzzNewSection", "Key", value, true);
      break;
    default:
      CheckReplaceSection(file, before, sections.empty() ? "mac id address" : sections[(pick >> 2) % sections.size()]);
      break;
  }
  return 0;
}
