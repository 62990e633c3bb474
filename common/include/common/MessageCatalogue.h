// The message catalogue of one program: the message table (id, kind, style) and the string
// resources. Two catalogues exist, kelpconf's (188 rows) and kelpftpd's (157 rows); both are
// built once from the same tables.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/TraceLevels.h"

inline constexpr std::uint32_t MSG_KIND_INFO = 1;
inline constexpr std::uint32_t MSG_KIND_WARNING = 2;
inline constexpr std::uint32_t MSG_KIND_ERROR = 3;

// The id of the terminating row, which also answers every id the table lacks.
inline constexpr std::uint32_t MSG_ID_END = 0xFFFFFFFF;

struct MessageRow {
  std::uint32_t id;
  std::uint32_t kind;
  std::uint32_t style;
};

class MessageCatalogue {
 public:
  // The rows, the terminating row last.
  const std::vector<MessageRow>& Rows() const { return m_rows; }
  // Index of the first row with this id, else of the terminating row.
  std::size_t Find(std::uint32_t id) const;
  // The string resource, cut to 511 bytes; empty when missing.
  std::string LoadString(std::uint32_t id) const;
  // The box title ("" for a program without title string).
  std::string Title() const;
  TraceProgram Program() const { return m_program; }

  static const MessageCatalogue& Of(TraceProgram program);

 private:
  MessageCatalogue(TraceProgram program, std::vector<MessageRow> rows);

  TraceProgram m_program;
  std::vector<MessageRow> m_rows;
};

// Letter of a kind: "I", "W", "E", or "" for other values.
const char* MessageKindLetter(std::uint32_t kind);
// Icon flag of a kind: 0x40, 0x30, 0x10, or 0.
std::uint32_t MessageKindIcon(std::uint32_t kind);

// Fills a format with text arguments the way the message texts are written: every conversion
// ("%s", and any other "%..." with flags, width or precision) takes the next argument as plain
// text, a missing argument is empty, "%%" is a percent sign. A '%' inside an argument is never
// interpreted.
std::string FormatWithTextArgs(std::string_view format, const std::vector<std::string>& args);
