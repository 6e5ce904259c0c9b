#include "Port_StringBase.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace Port {
namespace {

unsigned char Fold(unsigned char c, StringBase::CompareType type) {
  if (type == StringBase::NoCase && c >= 'A' && c <= 'Z')
    return static_cast<unsigned char>(c - 'A' + 'a');
  return c;
}

int CompareBytes(std::string_view a, std::string_view b, StringBase::CompareType type) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char x = Fold(static_cast<unsigned char>(a[i]), type);
    const unsigned char y = Fold(static_cast<unsigned char>(b[i]), type);
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

// The C library does not know %U; it is %u with the same flags and width.
// Only the conversion letter of a directive changes, so the argument list
// still matches the rewritten format.
std::string TranslateFormat(const char* format) {
  std::string out(format);
  std::size_t i = 0;
  while (i < out.size()) {
    if (out[i] != '%') {
      ++i;
      continue;
    }
    std::size_t j = i + 1;
    if (j < out.size() && out[j] == '%') {
      i = j + 1;
      continue;
    }
    // Skip flags, width, precision and length modifiers up to the conversion.
    while (j < out.size() && std::strchr("-+ #0123456789.*'hlLqjzt", out[j]) != nullptr)
      ++j;
    if (j < out.size() && out[j] == 'U') out[j] = 'u';
    i = j + 1;
  }
  return out;
}

std::string VFormat(const char* format, va_list args) {
  if (!format) return {};
  const std::string fmt = TranslateFormat(format);
  char small[256];
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(small, sizeof small, fmt.c_str(), copy);
  va_end(copy);
  if (needed < 0) return {};
  if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, needed);
  std::vector<char> big(static_cast<std::size_t>(needed) + 1);
  std::vsnprintf(big.data(), big.size(), fmt.c_str(), args);
  return std::string(big.data(), needed);
}

}  // namespace

int StringBase::Compare(const StringBase& other, CompareType type) const {
  return CompareBytes(m_text, other.m_text, type);
}

int StringBase::Compare(const char* other, CompareType type) const {
  return CompareBytes(m_text, other ? std::string_view(other) : std::string_view(), type);
}

int StringBase::FormatV(const char* format, va_list args) {
  m_text = VFormat(format, args);
  return static_cast<int>(m_text.size());
}

int StringBase::Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int n = FormatV(format, args);
  va_end(args);
  return n;
}

StringBase StringBase::doFormat(const char* format, ...) {
  StringBase s;
  va_list args;
  va_start(args, format);
  s.FormatV(format, args);
  va_end(args);
  return s;
}

const char* strstr(const char* haystack, const char* needle) {
  if (!haystack || !needle) return nullptr;
  return std::strstr(haystack, needle);
}

}  // namespace Port
