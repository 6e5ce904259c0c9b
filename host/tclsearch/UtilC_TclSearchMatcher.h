// UtilC::TclSearch::Matcher: a pattern compiled for matching names, shared
// read-only by the patterns and contexts that use it: a glob (Tcl's
// `string match`) or a regular expression (Tcl's `regexp`), either one
// optionally case-insensitive. Globs are matched by Glob, which answers as
// Tcl does, and by Tcl's own matcher where Glob leaves a name to it.
#pragma once

#include <memory>
#include <string>

#include "Port_StringBase.h"
#include "UtilC_TclSearchGlob.h"
#include "UtilC_TclSearchRegexp.h"

namespace UtilC::TclSearch {

class Matcher {
 public:
  // The compiled pattern, or null with the reason in `error` (an invalid
  // regular expression).
  static std::shared_ptr<const Matcher> Make(const Port::StringBase& text, bool regexp, bool nocase,
                                             std::string& error);

  // Whether `name` (UTF-8) matches. Any thread.
  bool Matches(const char* name) const {
    if (!m_regexp) {
      const Glob::Answer answer = m_glob.Match(name);
      if (answer != Glob::Answer::kAskTcl) return answer == Glob::Answer::kYes;
    }
    return MatchesSlowly(name);
  }

  const Port::StringBase& Text() const { return m_text; }
  bool IsRegexp() const { return m_regexp != nullptr; }
  bool IsNoCase() const { return m_nocase; }
  bool Is(const Port::StringBase& text, bool regexp, bool nocase) const {
    return IsRegexp() == regexp && m_nocase == nocase && m_text == text;
  }

  Matcher(const Port::StringBase& text, bool nocase, std::unique_ptr<TclRegexp> regexp);

 private:
  Port::StringBase m_text;
  bool m_nocase;
  bool MatchesSlowly(const char* name) const;  // by Tcl

  std::unique_ptr<TclRegexp> m_regexp;  // null for a glob
  Glob m_glob;                          // answers globs where it can (empty for a regexp)
};

}  // namespace UtilC::TclSearch
