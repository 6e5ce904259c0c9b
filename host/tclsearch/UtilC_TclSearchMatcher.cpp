#include "UtilC_TclSearchMatcher.h"

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

// No unescaped '?': a glob of stars and characters that matches bytes as
// it matches characters, however the name's UTF-8 is cut.
bool HasNoSingleCharacter(const std::string& text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\')
      ++i;
    else if (text[i] == '?')
      return false;
  }
  return true;
}

}  // namespace

Matcher::Matcher(const Port::StringBase& text, bool nocase, std::unique_ptr<TclRegexp> regexp)
    : m_text(text), m_nocase(nocase), m_regexp(std::move(regexp)) {
  m_plainGlob = !m_regexp && IsPlainGlob(m_text.str());
  // Folding case is left to Tcl for other names: Unicode folds some of them
  // onto ASCII letters (KELVIN SIGN to 'k').
  m_anyName = m_plainGlob && !m_nocase && HasNoSingleCharacter(m_text.str());
  m_fnmatchFlags = m_nocase ? FNM_CASEFOLD : 0;
}

bool Matcher::MatchesSlowly(const char* name) const {
  if (m_regexp) return m_regexp->Matches(name);
  return Tcl_StringCaseMatch(name, m_text.c_str(), m_nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

}  // namespace UtilC::TclSearch
