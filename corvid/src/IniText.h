// A small ini document held in memory: "[Section]" headers and "Key=Value" lines. Section and key
// names match case-insensitively; names and values lose surrounding blanks; lines starting with
// ';' or '#' are comments; the first of duplicate keys counts. Formatting writes the sections and
// keys in the order they were added. Values must not hold line breaks (see TextCodec's Escape).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvid::detail {

class IniText {
 public:
  static IniText Parse(std::string_view text);

  // The value of section/key, or null when either is missing.
  const std::string* Find(std::string_view section, std::string_view key) const;
  bool HasSection(std::string_view section) const;
  // Section names in file order.
  std::vector<std::string> Sections() const;
  // Keys of one section in file order.
  std::vector<std::pair<std::string, std::string>> Entries(std::string_view section) const;

  // Appends key=value to the section (created at the end when new).
  void Add(std::string_view section, std::string_view key, std::string_view value);
  std::string Format() const;

 private:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> entries;
  };
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  // Index of the section in m_sections, or kNone.
  std::size_t IndexOf(std::string_view name) const;
  const Section* FindSection(std::string_view name) const;

  std::vector<Section> m_sections;
};

}  // namespace corvid::detail
