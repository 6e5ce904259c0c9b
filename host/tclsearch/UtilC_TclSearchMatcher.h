// UtilC::TclSearch::Matcher: a pattern compiled for matching names, shared
// read-only by the patterns and contexts that use it: a glob (Tcl's
// `string match`) or a regular expression (Tcl's `regexp`), either one
// optionally case-insensitive.
#pragma once

#include <fnmatch.h>

#include <memory>
#include <string>

#include "Port_StringBase.h"
#include "UtilC_TclSearchRegexp.h"

namespace UtilC::TclSearch {

// Which names the C library's fnmatch matches with a glob as Tcl does
// (several times faster); the others go to Tcl.
enum class GlobReach {
  None,   // no name: a regular expression, a bracket set (Tcl's and the C
          // library's differ: negation, reversed ranges, classes), a
          // character beyond ASCII, or an escape left without its character
  Ascii,  // ASCII names
  Any,    // every name: a case-sensitive glob without an unescaped '?', so
          // stars and characters that match bytes as they match characters,
          // however UTF-8 is cut
};

class Matcher {
 public:
  // The compiled pattern, or null with the reason in `error` (an invalid
  // regular expression).
  static std::shared_ptr<const Matcher> Make(const Port::StringBase& text, bool regexp, bool nocase,
                                             std::string& error);

  // Whether `name` (UTF-8) matches. Any thread.
  bool Matches(const char* name) const {
    if (m_reach == GlobReach::Any || (m_reach == GlobReach::Ascii && IsAscii(name)))
      return fnmatch(m_text.c_str(), name, m_nocase ? FNM_CASEFOLD : 0) == 0;
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
  static bool IsAscii(const char* text) {
    for (; *text; ++text) {
      if (static_cast<unsigned char>(*text) >= 0x80) return false;
    }
    return true;
  }
  bool MatchesSlowly(const char* name) const;  // by Tcl

  GlobReach m_reach = GlobReach::None;
  std::unique_ptr<TclRegexp> m_regexp;  // null for a glob
};

}  // namespace UtilC::TclSearch
