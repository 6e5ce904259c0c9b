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

// What the C library's fnmatch can match of a glob as Tcl does.
enum class GlobReach {
  None,   // a bracket set (Tcl's and the C library's differ: negation,
          // reversed ranges, classes), a character beyond ASCII, or an
          // escape left without its character
  Ascii,  // ASCII names
  Any,    // every name: no unescaped '?', so stars and characters that
          // match bytes as they match characters, however UTF-8 is cut
};

GlobReach ReachOf(const std::string& text) {
  GlobReach reach = GlobReach::Any;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    if (c >= 0x80 || c == '[' || c == ']') return GlobReach::None;
    if (c == '\\' && ++i == text.size()) return GlobReach::None;
    if (c == '?') reach = GlobReach::Ascii;
  }
  return reach;
}

}  // namespace

Matcher::Matcher(const Port::StringBase& text, bool nocase, std::unique_ptr<TclRegexp> regexp)
    : m_text(text), m_nocase(nocase), m_regexp(std::move(regexp)) {
  const GlobReach reach = m_regexp ? GlobReach::None : ReachOf(m_text.str());
  m_plainGlob = reach != GlobReach::None;
  // Folding case is left to Tcl for other names: Unicode folds some of them
  // onto ASCII letters (KELVIN SIGN to 'k').
  m_anyName = reach == GlobReach::Any && !m_nocase;
  m_fnmatchFlags = m_nocase ? FNM_CASEFOLD : 0;
}

bool Matcher::MatchesSlowly(const char* name) const {
  if (m_regexp) return m_regexp->Matches(name);
  return Tcl_StringCaseMatch(name, m_text.c_str(), m_nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

}  // namespace UtilC::TclSearch
