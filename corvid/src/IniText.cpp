#include "IniText.h"

namespace corvid::detail {
namespace {

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

}  // namespace

IniText IniText::Parse(std::string_view text) {
  IniText ini;
  Section* current = nullptr;
  while (!text.empty()) {
    const std::size_t eol = text.find('\n');
    const std::string_view line = Trim(text.substr(0, eol));
    text.remove_prefix(eol == std::string_view::npos ? text.size() : eol + 1);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;
    if (line.front() == '[') {
      const std::size_t close = line.find(']');
      const std::string_view name = Trim(line.substr(1, close == std::string_view::npos ? line.size() - 1 : close - 1));
      std::size_t index = ini.IndexOf(name);
      if (index == kNone) {
        ini.m_sections.push_back(Section{std::string(name), {}});
        index = ini.m_sections.size() - 1;
      }
      current = &ini.m_sections[index];
      continue;
    }
    const std::size_t eq = line.find('=');
    if (current == nullptr || eq == std::string_view::npos) continue;
    current->entries.emplace_back(std::string(Trim(line.substr(0, eq))),
                                  std::string(Trim(line.substr(eq + 1))));
  }
  return ini;
}

std::size_t IniText::IndexOf(std::string_view name) const {
  for (std::size_t i = 0; i < m_sections.size(); ++i)
    if (SameName(m_sections[i].name, name)) return i;
  return kNone;
}

const IniText::Section* IniText::FindSection(std::string_view name) const {
  const std::size_t index = IndexOf(name);
  return index == kNone ? nullptr : &m_sections[index];
}

const std::string* IniText::Find(std::string_view section, std::string_view key) const {
  const Section* s = FindSection(section);
  if (s == nullptr) return nullptr;
  for (const auto& [k, v] : s->entries)
    if (SameName(k, key)) return &v;
  return nullptr;
}

bool IniText::HasSection(std::string_view section) const { return FindSection(section) != nullptr; }

std::vector<std::string> IniText::Sections() const {
  std::vector<std::string> names;
  for (const Section& s : m_sections) names.push_back(s.name);
  return names;
}

std::vector<std::pair<std::string, std::string>> IniText::Entries(std::string_view section) const {
  const Section* s = FindSection(section);
  return s ? s->entries : std::vector<std::pair<std::string, std::string>>{};
}

void IniText::Add(std::string_view section, std::string_view key, std::string_view value) {
  std::size_t index = IndexOf(section);
  if (index == kNone) {
    m_sections.push_back(Section{std::string(section), {}});
    index = m_sections.size() - 1;
  }
  m_sections[index].entries.emplace_back(std::string(key), std::string(value));
}

std::string IniText::Format() const {
  std::string out;
  for (const Section& s : m_sections) {
    if (!out.empty()) out += '\n';
    out += '[' + s.name + "]\n";
    for (const auto& [k, v] : s.entries) out += k + '=' + v + '\n';
  }
  return out;
}

}  // namespace corvid::detail
