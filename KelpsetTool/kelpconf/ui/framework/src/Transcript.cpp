#include "ui/Transcript.h"

#include "common/TextFormats.h"

namespace kelp::ui {

Transcript::Transcript(std::FILE* out) : m_out(out) {}

std::string Transcript::Quote(std::string_view text) {
  std::string q = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': q += "\\\""; break;
      case '\\': q += "\\\\"; break;
      case '\n': q += "\\n"; break;
      case '\r': q += "\\r"; break;
      case '\t': q += "\\t"; break;
      default: q += c; break;
    }
  }
  return q + '"';
}

void Transcript::Window(int templateId, std::string_view title) {
  Write("window " + std::to_string(templateId) + " " + Quote(title));
}

void Transcript::Title(int templateId, std::string_view title) {
  Write("title " + std::to_string(templateId) + " " + Quote(title));
}

void Transcript::Message(std::uint32_t messageId, std::string_view answer, std::string_view text, bool byDefault) {
  Write("message " + std::to_string(messageId) + " " + std::string(answer) + " " + Quote(text) +
        (byDefault ? " default" : ""));
}

void Transcript::Text(int controlId, std::string_view text) {
  Write("text " + std::to_string(controlId) + " " + Quote(text));
}

void Transcript::Enable(int controlId, bool enabled) {
  Write("enable " + std::to_string(controlId) + (enabled ? " 1" : " 0"));
}

void Transcript::Show(int controlId, bool visible) {
  Write("show " + std::to_string(controlId) + (visible ? " 1" : " 0"));
}

void Transcript::Busy(int slot, int code) {
  Write("busy " + (slot < 0 ? std::string("public") : std::to_string(slot)) + " " + std::to_string(code));
}

void Transcript::Result(int slot, std::uint32_t code, std::string_view reason) {
  Write("result " + std::to_string(slot) + " " + common::CodeText(code) + " " + Quote(reason));
}

void Transcript::Ready() { Write("ready"); }

void Transcript::Exit(int code) { Write("exit " + std::to_string(code)); }

void Transcript::ScriptError(int line, std::string_view reason) {
  Write("script-error " + std::to_string(line) + " " + std::string(reason));
}

std::vector<std::string> Transcript::Lines() const {
  std::lock_guard lock(m_mutex);
  return m_lines;
}

std::optional<std::size_t> Transcript::Find(std::size_t from,
                                            const std::function<bool(const std::string&)>& match) const {
  std::lock_guard lock(m_mutex);
  for (std::size_t i = from; i < m_lines.size(); ++i) {
    if (match(m_lines[i])) return i;
  }
  return std::nullopt;
}

void Transcript::Write(std::string line) {
  std::lock_guard lock(m_mutex);
  if (m_out != nullptr) {
    std::fprintf(m_out, "%s\n", line.c_str());
    std::fflush(m_out);
  }
  m_lines.push_back(std::move(line));
}

}  // namespace kelp::ui
