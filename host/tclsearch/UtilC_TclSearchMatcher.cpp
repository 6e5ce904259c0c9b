#include "UtilC_TclSearchMatcher.h"

#include <fnmatch.h>
#include <tcl.h>

#include <new>

namespace UtilC::TclSearch {

std::shared_ptr<const Matcher> Matcher::Make(const Port::StringBase& text, bool regexp, bool nocase,
                                             std::string& error) {
  std::unique_ptr<TclRegexp> compiled;
  if (regexp) {
    compiled = TclRegexp::Compile(text.str(), nocase, error);
    if (!compiled) return nullptr;
  }
  try {
    return std::make_shared<const Matcher>(text, nocase, std::move(compiled));
  } catch (const std::bad_alloc&) {
    error = "cannot prepare the pattern: out of memory";
    return nullptr;
  }
}

namespace {

bool IsAscii(const char* text) {
  for (; *text; ++text) {
    if (static_cast<unsigned char>(*text) >= 0x80) return false;
  }
  return true;
}

// No bracket set (Tcl's and the C library's sets differ: negation, reversed
// ranges, classes), nothing outside ASCII, no escape left without its
// character.
bool IsPlainGlob(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80 || c == '[' || c == ']') return false;
    if (c == '\\' && ++i == text.size()) return false;
  }
  return true;
}

}  // namespace

Matcher::Matcher(const Port::StringBase& text, bool nocase, std::unique_ptr<TclRegexp> regexp)
    : m_text(text), m_nocase(nocase), m_regexp(std::move(regexp)) {
  m_plainGlob = !m_regexp && IsPlainGlob(m_text.str());
}

bool Matcher::Matches(const char* name) const {
  if (m_regexp) return m_regexp->Matches(name);
  if (m_plainGlob && IsAscii(name)) return fnmatch(m_text.c_str(), name, m_nocase ? FNM_CASEFOLD : 0) == 0;
  return Tcl_StringCaseMatch(name, m_text.c_str(), m_nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

}  // namespace UtilC::TclSearch
