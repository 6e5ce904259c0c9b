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

// The reach of a glob matched case-sensitively.
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
  m_reach = m_regexp ? GlobReach::None : ReachOf(m_text.str());
  // Folding case is left to Tcl for names beyond ASCII: Unicode folds some
  // of them onto ASCII letters (KELVIN SIGN to 'k').
  if (m_nocase && m_reach == GlobReach::Any) m_reach = GlobReach::Ascii;
}

bool Matcher::MatchesSlowly(const char* name) const {
  if (m_regexp) return m_regexp->Matches(name);
  return Tcl_StringCaseMatch(name, m_text.c_str(), m_nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

}  // namespace UtilC::TclSearch
