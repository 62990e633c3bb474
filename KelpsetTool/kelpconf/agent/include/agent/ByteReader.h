// A cursor over received bytes that refuses every read past their end. Words are read directly
// rather than through Unpack, so a reply of many records costs no trace line per field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace agent {

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}

  // An unsigned 32-bit big-endian word.
  bool Word(std::uint32_t* pValue) {
    if (Left() < 4) return false;
    const std::uint8_t* p = m_bytes.data() + m_used;
    *pValue = (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
    m_used += 4;
    return true;
  }
  bool Text(std::size_t n, std::string* pText) {
    if (n > Left()) return false;
    pText->assign(reinterpret_cast<const char*>(m_bytes.data() + m_used), n);
    m_used += n;
    return true;
  }
  std::size_t Used() const { return m_used; }
  std::size_t Left() const { return m_bytes.size() - m_used; }

 private:
  std::span<const std::uint8_t> m_bytes;
  std::size_t m_used = 0;
};

}  // namespace agent
