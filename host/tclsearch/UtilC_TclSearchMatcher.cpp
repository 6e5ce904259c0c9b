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

Matcher::Matcher(const Port::StringBase& text, bool nocase, std::unique_ptr<TclRegexp> regexp)
    : m_text(text),
      m_nocase(nocase),
      m_regexp(std::move(regexp)),
      m_glob(m_regexp ? std::string_view() : std::string_view(m_text.c_str()), nocase) {}

bool Matcher::MatchesSlowly(const char* name) const {
  if (m_regexp) return m_regexp->Matches(name);
  return Tcl_StringCaseMatch(name, m_text.c_str(), m_nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

}  // namespace UtilC::TclSearch
