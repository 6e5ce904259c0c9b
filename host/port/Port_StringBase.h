// Port::StringBase: the 8-bit string passed across every interface of the
// tool family. It owns its bytes (UTF-8 or plain ASCII; no encoding is
// assumed) and is a value: copies are independent.
//
// Compare() takes a CompareType. On this platform file names are
// case-sensitive, so Exact (1) is a plain byte-wise comparison; NoCase (0)
// folds ASCII letters. Callers that compare names and file names use Exact.
//
// Format()/doFormat() take printf formats. Besides the C conversions they
// accept %U, an unsigned 32-bit decimal, used in identity strings (with the
// flags and width of %u). Because of %U the compiler cannot check these
// formats, so they carry no printf format attribute.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace Port {

class StringBase {
 public:
  enum CompareType { NoCase = 0, Exact = 1 };

  StringBase() = default;
  StringBase(const char* text) : m_text(text ? text : "") {}  // NOLINT: implicit by design
  StringBase(std::string_view text) : m_text(text) {}         // NOLINT
  StringBase(std::string text) : m_text(std::move(text)) {}   // NOLINT
  StringBase(const StringBase&) = default;
  StringBase(StringBase&&) noexcept = default;
  StringBase& operator=(const StringBase&) = default;
  StringBase& operator=(StringBase&&) noexcept = default;
  // Names are copied into one string over and over (a search asks a probe
  // for the name of every object it visits): text from elsewhere is
  // appended to the cleared string, which keeps its buffer and skips the
  // overlap checks of a general assignment.
  StringBase& operator=(const char* text) {
    if (!text) text = "";
    const std::less_equal<const char*> notAfter;
    if (notAfter(m_text.data(), text) && notAfter(text, m_text.data() + m_text.size())) {
      m_text.assign(text);  // a part of this string
      return *this;
    }
    m_text.clear();
    m_text.append(text);
    return *this;
  }

  StringBase& operator+=(const StringBase& more) {
    m_text += more.m_text;
    return *this;
  }
  StringBase& operator+=(const char* more) {
    if (more) m_text += more;
    return *this;
  }
  StringBase& operator+=(char c) {
    m_text += c;
    return *this;
  }

  // Clears the string (it does not test for emptiness; use IsEmpty()).
  void Empty() { m_text.clear(); }
  bool IsEmpty() const { return m_text.empty(); }
  std::size_t Length() const { return m_text.size(); }

  const char* c_str() const { return m_text.c_str(); }
  const char* GetString() const { return m_text.c_str(); }
  operator const char*() const { return m_text.c_str(); }  // NOLINT: implicit by design
  std::string_view view() const { return m_text; }
  const std::string& str() const { return m_text; }

  // <0, 0 or >0 as this string sorts before, equal to or after `other`.
  int Compare(const StringBase& other, CompareType type = Exact) const;
  int Compare(const char* other, CompareType type = Exact) const;

  // Replaces the contents with the formatted text; answers the new length.
  int Format(const char* format, ...);
  int FormatV(const char* format, va_list args);
  static StringBase doFormat(const char* format, ...);

  bool operator==(const StringBase& other) const { return m_text == other.m_text; }
  bool operator<(const StringBase& other) const { return m_text < other.m_text; }

 private:
  std::string m_text;
};

// strstr() that accepts null arguments (null never contains or is contained).
const char* strstr(const char* haystack, const char* needle);

}  // namespace Port
