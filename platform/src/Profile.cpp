#include "plat/Profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>

#include "plat/Socket.h"

namespace plat {
namespace {

constexpr std::string_view kBom = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Folded(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = Lower(c);
  return out;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (Lower(a[i]) != Lower(b[i])) return false;
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front())
    return value.substr(1, value.size() - 2);
  return value;
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

enum class LineKind { Other, Section, Entry };

struct Line {
  std::string text;  // without its line ending
  std::string eol;   // "\r\n", "\n", or for a last line "\r" or "" (none)
  LineKind kind = LineKind::Other;
  std::string name;   // section name or key, trimmed
  std::string value;  // entry value, trimmed
};

void Classify(Line& line) {
  const std::string_view t = Trim(line.text);
  line.kind = LineKind::Other;
  if (t.empty() || t.front() == ';') return;
  if (t.front() == '[') {
    const std::string_view inner = t.substr(1);
    line.kind = LineKind::Section;
    line.name = Trim(inner.substr(0, inner.find(']')));
    return;
  }
  const std::size_t eq = t.find('=');
  if (eq == std::string_view::npos) return;
  line.kind = LineKind::Entry;
  line.name = Trim(t.substr(0, eq));
  line.value = Trim(t.substr(eq + 1));
}

// A section: its header line and the lines up to the next header.
struct Range {
  std::size_t header;
  std::size_t end;
};

struct Document {
  std::string bom;
  std::vector<Line> lines;
  std::string eol = "\n";  // for lines this code adds: the file's own first line ending

  static Document Parse(std::string_view content) {
    Document doc;
    if (content.substr(0, kBom.size()) == kBom) {
      doc.bom = kBom;
      content.remove_prefix(kBom.size());
    }
    bool eolKnown = false;
    while (!content.empty()) {
      const std::size_t nl = content.find('\n');
      Line line;
      if (nl == std::string_view::npos) {
        // A last line ending in a lone CR is a CRLF line that lost its LF: the CR is its ending,
        // not part of its value, and gets its LF back once another line follows.
        const bool cr = content.back() == '\r';
        line.text = content.substr(0, content.size() - (cr ? 1 : 0));
        line.eol = cr ? "\r" : "";
        content = {};
      } else {
        const bool crlf = nl > 0 && content[nl - 1] == '\r';
        line.text = content.substr(0, crlf ? nl - 1 : nl);
        line.eol = crlf ? "\r\n" : "\n";
        content.remove_prefix(nl + 1);
        if (!eolKnown) doc.eol = line.eol;
        eolKnown = true;
      }
      Classify(line);
      doc.lines.push_back(std::move(line));
    }
    return doc;
  }

  std::string Text() const {
    std::string out = bom;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      out += lines[i].text;
      // A line that lost its place at the end of the file needs a whole ending now.
      std::string_view ending = lines[i].eol;
      if (i + 1 < lines.size() && ending.empty()) ending = eol;
      if (i + 1 < lines.size() && ending == "\r") ending = "\r\n";
      out += ending;
    }
    return out;
  }

  Line NewLine(std::string text) const {
    Line line;
    line.text = std::move(text);
    line.eol = eol;
    Classify(line);
    return line;
  }

  std::size_t RangeEnd(std::size_t header) const {
    std::size_t end = header + 1;
    while (end < lines.size() && lines[end].kind != LineKind::Section) ++end;
    return end;
  }

  std::optional<Range> FindSection(std::string_view name) const {
    for (std::size_t i = 0; i < lines.size(); ++i)
      if (lines[i].kind == LineKind::Section && EqualsNoCase(lines[i].name, name))
        return Range{i, RangeEnd(i)};
    return std::nullopt;
  }

  const Line* FindEntry(const Range& range, std::string_view key) const {
    for (std::size_t i = range.header + 1; i < range.end; ++i)
      if (lines[i].kind == LineKind::Entry && EqualsNoCase(lines[i].name, key)) return &lines[i];
    return nullptr;
  }

  std::vector<std::string_view> SectionNames() const {
    return Names(0, lines.size(), LineKind::Section);
  }

  std::vector<std::string_view> KeyNames(const Range& range) const {
    return Names(range.header + 1, range.end, LineKind::Entry);
  }

  // Each name once (the first spelling), in file order.
  std::vector<std::string_view> Names(std::size_t from, std::size_t to, LineKind kind) const {
    std::vector<std::string_view> names;
    std::set<std::string> seen;
    for (std::size_t i = from; i < to; ++i)
      if (lines[i].kind == kind && seen.insert(Folded(lines[i].name)).second)
        names.push_back(lines[i].name);
    return names;
  }

  void EraseMarked(const std::vector<bool>& drop) {
    const Line* first = lines.data();
    std::erase_if(lines,
                  [&](const Line& line) { return drop[static_cast<std::size_t>(&line - first)]; });
  }

  void AppendSection(std::string_view name, const std::vector<std::string>& entries) {
    if (!lines.empty() && !Trim(lines.back().text).empty()) lines.push_back(NewLine(""));
    lines.push_back(NewLine("[" + std::string(name) + "]"));
    for (const std::string& entry : entries) lines.push_back(NewLine(entry));
  }

  void SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const std::optional<Range> range = FindSection(section);
    if (!range) {
      AppendSection(section, {std::string(key) + "=" + std::string(value)});
      return;
    }
    std::size_t insertAt = range->header + 1;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
      Line& line = lines[i];
      if (line.kind != LineKind::Entry) continue;
      if (EqualsNoCase(line.name, key)) {
        // Keep the key's spelling and the blanks around '=' as the file had them.
        std::size_t keep = line.text.find('=') + 1;
        while (keep < line.text.size() && IsBlank(line.text[keep])) ++keep;
        line.text = line.text.substr(0, keep) + std::string(value);
        Classify(line);
        return;
      }
      insertAt = i + 1;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt),
                 NewLine(std::string(key) + "=" + std::string(value)));
  }

  void DeleteKey(std::string_view section, std::string_view key) {
    const std::optional<Range> range = FindSection(section);
    if (!range) return;
    std::vector<bool> drop(lines.size(), false);
    for (std::size_t i = range->header + 1; i < range->end; ++i)
      drop[i] = lines[i].kind == LineKind::Entry && EqualsNoCase(lines[i].name, key);
    EraseMarked(drop);
  }

  // Every section of that name goes, so no later duplicate shows through.
  void DeleteSection(std::string_view section) {
    std::vector<bool> drop(lines.size(), false);
    bool inside = false;
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].kind == LineKind::Section) inside = EqualsNoCase(lines[i].name, section);
      drop[i] = inside;
    }
    EraseMarked(drop);
  }

  void ReplaceSection(std::string_view section, const std::vector<std::string>& entries) {
    const std::optional<Range> range = FindSection(section);
    if (!range) {
      AppendSection(section, entries);
      return;
    }
    std::vector<Line> body;
    std::optional<std::size_t> firstEntry;
    for (std::size_t i = range->header + 1; i < range->end; ++i) {
      if (lines[i].kind == LineKind::Entry) {
        if (!firstEntry) firstEntry = body.size();
        continue;
      }
      body.push_back(std::move(lines[i]));
    }
    std::vector<Line> added;
    for (const std::string& entry : entries) added.push_back(NewLine(entry));
    body.insert(body.begin() + static_cast<std::ptrdiff_t>(firstEntry.value_or(0)),
                std::make_move_iterator(added.begin()), std::make_move_iterator(added.end()));
    lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1),
                lines.begin() + static_cast<std::ptrdiff_t>(range->end));
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1),
                 std::make_move_iterator(body.begin()), std::make_move_iterator(body.end()));
  }
};

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus ReadWhole(const std::filesystem::path& file, std::string& out) {
  out.clear();
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return errno == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
  char chunk[8192];
  for (;;) {
    const ssize_t n = ::read(fd.Get(), chunk, sizeof chunk);
    if (n == 0) return ReadStatus::Ok;
    if (n < 0) {
      if (errno == EINTR) continue;
      return ReadStatus::Failed;
    }
    out.append(chunk, static_cast<std::size_t>(n));
  }
}

Document Load(const std::filesystem::path& file) {
  std::string content;
  if (file.empty() || ReadWhole(file, content) != ReadStatus::Ok) return {};
  return Document::Parse(content);
}

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Writes a sibling temporary file and renames it over the target, so readers and a crash only
// ever see the old or the new content.
bool ReplaceAtomically(const std::filesystem::path& file, std::string_view content) {
  static std::atomic<unsigned> sequence{0};
  const std::filesystem::path dir = file.has_parent_path() ? file.parent_path() : ".";
  const std::string stem = "." + file.filename().string() + "." + std::to_string(::getpid()) + ".";

  std::filesystem::path temp;
  UniqueFd fd;
  for (int attempt = 0; attempt < 100 && !fd; ++attempt) {
    temp = dir / (stem + std::to_string(sequence++) + ".tmp");
    fd.Reset(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (!fd && errno != EEXIST) return false;
  }
  if (!fd) return false;

  struct stat st {};
  bool ok = true;
  if (::stat(file.c_str(), &st) == 0) ok = ::fchmod(fd.Get(), st.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd.Get(), content) && ::fsync(fd.Get()) == 0;
  ok = ::close(fd.Release()) == 0 && ok;  // a failed close can lose written data
  ok = ok && ::rename(temp.c_str(), file.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Makes the rename itself durable; the new content is in place either way.
  UniqueFd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd) ::fsync(dirFd.Get());
  return true;
}

std::mutex& InProcessLock(const std::filesystem::path& file) {
  static std::mutex guard;
  // One entry per file ever written by this process: a handful of settings files.
  static std::map<std::string, std::unique_ptr<std::mutex>> locks;
  std::error_code ec;
  std::filesystem::path key = std::filesystem::absolute(file, ec);
  if (ec) key = file;
  std::lock_guard<std::mutex> lock(guard);
  std::unique_ptr<std::mutex>& entry = locks[key.lexically_normal().string()];
  if (!entry) entry = std::make_unique<std::mutex>();
  return *entry;
}

// Reads, edits and rewrites the file under both locks; an unchanged text is not rewritten.
template <typename Edit>
bool Modify(const std::filesystem::path& file, Edit edit) {
  if (file.empty()) return false;
  std::lock_guard<std::mutex> threadLock(InProcessLock(file));
  const std::string lockPath = file.string() + ".lock";
  UniqueFd lockFd(::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666));
  if (!lockFd) return false;
  while (::flock(lockFd.Get(), LOCK_EX) != 0)
    if (errno != EINTR) return false;

  std::string content;
  // An existing file we cannot read must not be replaced by a rewrite from nothing.
  if (ReadWhole(file, content) == ReadStatus::Failed) return false;
  Document doc = Document::Parse(content);
  edit(doc);
  const std::string text = doc.Text();
  return text == content || ReplaceAtomically(file, text);
}

bool ValidSection(std::string_view name) {
  return !name.empty() && !HasLineBreak(name) && name.find(']') == std::string_view::npos;
}

bool ValidKey(std::string_view key) {
  return !key.empty() && !HasLineBreak(key) && key.find('=') == std::string_view::npos &&
         key.front() != ';' && key.front() != '[';
}

std::uint32_t CopyString(std::string_view value, char* buffer, std::uint32_t size) {
  const std::size_t n = std::min<std::size_t>(value.size(), size - 1);
  std::memcpy(buffer, value.data(), n);
  buffer[n] = '\0';
  return static_cast<std::uint32_t>(n);
}

std::uint32_t CopyList(const std::vector<std::string_view>& names, char* buffer,
                       std::uint32_t size) {
  std::string joined;
  for (std::string_view name : names) {
    joined += name;
    joined += '\0';
  }
  if (joined.size() < size) {
    std::memcpy(buffer, joined.data(), joined.size());
    buffer[joined.size()] = '\0';
    if (joined.empty() && size >= 2) buffer[1] = '\0';
    return static_cast<std::uint32_t>(joined.size());
  }
  if (size < 2) {
    buffer[0] = '\0';
    return 0;
  }
  std::memcpy(buffer, joined.data(), size - 2);
  buffer[size - 2] = '\0';
  buffer[size - 1] = '\0';
  return size - 2;
}

std::vector<std::string> SplitList(const char* entries) {
  std::vector<std::string> out;
  for (const char* p = entries; *p != '\0'; p += std::strlen(p) + 1) out.emplace_back(p);
  return out;
}

std::vector<std::string> ToStrings(const std::vector<std::string_view>& views) {
  return {views.begin(), views.end()};
}

}  // namespace

std::uint32_t GetPrivateProfileString(const char* section, const char* key,
                                      const char* defaultValue, char* buffer, std::uint32_t size,
                                      const std::filesystem::path& file) {
  if (buffer == nullptr || size == 0) return 0;
  const Document doc = Load(file);
  if (section == nullptr) return CopyList(doc.SectionNames(), buffer, size);
  const std::optional<Range> range = doc.FindSection(Trim(section));
  if (key == nullptr)
    return CopyList(range ? doc.KeyNames(*range) : std::vector<std::string_view>{}, buffer, size);
  const Line* entry = range ? doc.FindEntry(*range, Trim(key)) : nullptr;
  if (entry != nullptr) return CopyString(Unquote(entry->value), buffer, size);
  return CopyString(TrimRight(defaultValue != nullptr ? defaultValue : ""), buffer, size);
}

unsigned int GetPrivateProfileInt(const char* section, const char* key, int defaultValue,
                                  const std::filesystem::path& file) {
  const auto fallback = static_cast<unsigned int>(defaultValue);
  if (section == nullptr || key == nullptr) return fallback;
  const Document doc = Load(file);
  const std::optional<Range> range = doc.FindSection(Trim(section));
  const Line* entry = range ? doc.FindEntry(*range, Trim(key)) : nullptr;
  if (entry == nullptr) return fallback;

  std::string_view text = Trim(Unquote(entry->value));
  const bool negative = !text.empty() && text.front() == '-';
  if (!text.empty() && (text.front() == '-' || text.front() == '+')) text.remove_prefix(1);
  unsigned int value = 0;  // wraps modulo 2^32 like the C conversions
  for (char c : text) {
    if (c < '0' || c > '9') break;
    value = value * 10u + static_cast<unsigned int>(c - '0');
  }
  return negative ? 0u - value : value;
}

bool WritePrivateProfileString(const char* section, const char* key, const char* value,
                               const std::filesystem::path& file) {
  if (section == nullptr) return false;
  const std::string_view name = Trim(section);
  if (!ValidSection(name)) return false;
  if (key == nullptr) return Modify(file, [&](Document& doc) { doc.DeleteSection(name); });
  const std::string_view keyName = Trim(key);
  if (!ValidKey(keyName)) return false;
  if (value == nullptr) return Modify(file, [&](Document& doc) { doc.DeleteKey(name, keyName); });
  if (HasLineBreak(value)) return false;
  return Modify(file, [&](Document& doc) { doc.SetValue(name, keyName, value); });
}

bool WritePrivateProfileSection(const char* section, const char* entries,
                                const std::filesystem::path& file) {
  if (entries == nullptr) return WritePrivateProfileString(section, nullptr, nullptr, file);
  return WritePrivateProfileSection(section, SplitList(entries), file);
}

bool WritePrivateProfileSection(const char* section, const std::vector<std::string>& entries,
                                const std::filesystem::path& file) {
  if (section == nullptr) return false;
  const std::string_view name = Trim(section);
  if (!ValidSection(name)) return false;
  std::vector<std::string> kept;
  for (const std::string& entry : entries) {
    if (HasLineBreak(entry)) return false;
    // An empty string ends a Win32 list; the vector form drops it the same way.
    if (!entry.empty()) kept.push_back(entry);
  }
  return Modify(file, [&](Document& doc) { doc.ReplaceSection(name, kept); });
}

bool WritePrivateProfileChanges(const std::vector<ProfileChange>& changes,
                                const std::filesystem::path& file) {
  for (const ProfileChange& change : changes) {
    if (!ValidSection(Trim(change.section))) return false;
    if (change.key.empty()) {
      for (const std::string& entry : change.entries)
        if (HasLineBreak(entry)) return false;
    } else if (!ValidKey(Trim(change.key)) || HasLineBreak(change.value)) {
      return false;
    }
  }
  return Modify(file, [&](Document& doc) {
    for (const ProfileChange& change : changes) {
      if (!change.key.empty()) {
        doc.SetValue(Trim(change.section), Trim(change.key), change.value);
        continue;
      }
      std::vector<std::string> kept;
      for (const std::string& entry : change.entries)
        if (!entry.empty()) kept.push_back(entry);
      doc.ReplaceSection(Trim(change.section), kept);
    }
  });
}

std::string GetProfileString(const std::string& section, const std::string& key,
                             const std::string& defaultValue, const std::filesystem::path& file,
                             std::uint32_t maxChars) {
  if (maxChars == 0) return {};
  std::string buffer(maxChars, '\0');
  buffer.resize(GetPrivateProfileString(section.c_str(), key.c_str(), defaultValue.c_str(),
                                        buffer.data(), maxChars, file));
  return buffer;
}

std::vector<std::string> GetProfileSectionNames(const std::filesystem::path& file) {
  return ToStrings(Load(file).SectionNames());
}

std::vector<std::string> GetProfileKeyNames(const std::string& section,
                                            const std::filesystem::path& file) {
  const Document doc = Load(file);
  const std::optional<Range> range = doc.FindSection(Trim(section));
  return range ? ToStrings(doc.KeyNames(*range)) : std::vector<std::string>{};
}

}  // namespace plat
