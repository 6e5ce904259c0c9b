#include "Port_XUID.h"

#include <cstdio>

namespace Port {
namespace {

// Positions of the dashes in the 36-character text.
constexpr bool IsDashAt(std::size_t i) {
  return i == 8 || i == 13 || i == 18 || i == 23;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<XUID> XUID::Parse(std::string_view text) {
  if (text.size() != 36) return std::nullopt;
  std::uint64_t words[2] = {0, 0};
  int digits = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (IsDashAt(i)) {
      if (text[i] != '-') return std::nullopt;
      continue;
    }
    const int v = HexValue(text[i]);
    if (v < 0) return std::nullopt;
    std::uint64_t& w = words[digits / 16];
    w = (w << 4) | static_cast<std::uint64_t>(v);
    ++digits;
  }
  return XUID(words[0], words[1]);
}

StringBase XUID::GetValue() const {
  if (IsNull()) return StringBase();
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-%04x-%04x-%012llx",
                static_cast<unsigned>(m_first >> 32),
                static_cast<unsigned>((m_first >> 16) & 0xffff),
                static_cast<unsigned>(m_first & 0xffff), static_cast<unsigned>(m_second >> 48),
                static_cast<unsigned long long>(m_second & 0xffffffffffffULL));
  return StringBase(text);
}

}  // namespace Port
