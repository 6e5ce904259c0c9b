// Port::XUID: a 128-bit class or interface identifier, held as two 64-bit
// words. The first word holds the first sixteen hexadecimal digits of the
// UUID text, the second word the last sixteen. The all-zero identifier is
// "no identifier": its text is empty.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "Port_StringBase.h"

namespace Port {

class XUID {
public:
  constexpr XUID() = default;
  constexpr XUID(std::uint64_t first, std::uint64_t second) : m_first(first), m_second(second) {}

  // Parses "xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx" (either case); nothing on
  // any other text.
  static std::optional<XUID> Parse(std::string_view text);

  // The UUID text in lower case, or an empty string for the null identifier.
  StringBase GetValue() const;

  constexpr std::uint64_t First() const { return m_first; }
  constexpr std::uint64_t Second() const { return m_second; }
  constexpr bool IsNull() const { return m_first == 0 && m_second == 0; }

  constexpr bool operator==(const XUID& o) const { return m_first == o.m_first && m_second == o.m_second; }
  constexpr bool operator!=(const XUID& o) const { return !(*this == o); }
  constexpr bool operator<(const XUID& o) const {
    return m_first != o.m_first ? m_first < o.m_first : m_second < o.m_second;
  }

private:
  std::uint64_t m_first = 0;
  std::uint64_t m_second = 0;
};

}  // namespace Port
