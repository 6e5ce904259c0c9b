// NcdTcl::PathPattern: a name pattern of the get commands, under the
// pattern and path rules of the timing shells (docs/tcl.md, "Patterns").
//
// Globs: `*` matches any run of characters and `?` one character, both
// within one level of a path (never a "/"); a backslash quotes the
// character after it; every other character, `[` and `]` included, is
// itself. An object's path is the name it prints as: a block's, signal's or
// net's full name ("u_cnt/c0"), a pin's "block/pin", a site's, clock
// region's or RPM's name; the top block and the blocks, pins and signals
// directly in it are paths of one level. Without -hierarchical the
// pattern's levels match the path's from the top, level for level; with
// -hierarchical they match its last levels (the path below any level).
//
// Regular expressions (-regexp) are Tcl's, anchored at both ends, and match
// the whole path (without -hierarchical) or the path below any level
// (with it), "/" included: `^(?:.*/)?(?:re)$`.
//
// The search service matches Tcl's own globs (where brackets are sets and
// `*` crosses "/"): ServiceGlob() gives one that every match of this
// pattern passes, so that a search through the service followed by
// Matches() answers exactly the objects of the rules.
//
// Exact patterns, which name one path, are looked up by name (FindByName
// in NcdTcl_Query.h) rather than searched: IsExact() and Literal().
#pragma once

#include <tcl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "NcdTcl_ChildMatch.h"
#include "UtilC_TclSearchGlob.h"

namespace NcdTcl {

struct MatchMode {
  bool regexp = false;
  bool nocase = false;
  bool hierarchical = false;
};

// Whether a glob has a wildcard under the rules (an unquoted `*` or `?`).
bool HasWildcard(std::string_view glob);
// The text a glob without wildcards matches: its backslashes removed.
std::string Unquoted(std::string_view glob);

// How many names this thread has matched against one level of a glob
// (LevelMatches): what the matching of a command cost, for tests.
std::uint64_t LevelMatchCount();

class PathPattern {
 public:
  // Throws OPTION for an invalid regular expression.
  PathPattern(Tcl_Interp* interp, std::string_view text, MatchMode mode);
  ~PathPattern();
  PathPattern(const PathPattern&) = delete;
  PathPattern& operator=(const PathPattern&) = delete;

  const std::string& Text() const { return m_text; }
  const MatchMode& Mode() const { return m_mode; }
  // A case-sensitive glob without wildcards and without -hierarchical:
  // it matches one path only, Literal().
  bool IsExact() const { return m_exact; }
  const std::string& Literal() const { return m_literal; }
  // The number of levels of a glob (1 for a regular expression).
  std::size_t Levels() const { return m_levels.size(); }

  // Whether the expression may take exponential time: such a pattern is
  // matched by the package, never by the search service.
  bool IsSlow() const { return m_slow; }

  // Whether an object whose path is `path` matches; throws STOPPED when a
  // slow match is stopped.
  bool Matches(std::string_view path) const;
  // The same for a glob and a path ended by a null, matched in place: no
  // copy of the path's last level, none of the others once they fit the
  // pattern's buffer (a walk over every net asks this for each).
  bool PathMatches(const char* path) const;
  // Whether the last level alone (an object's name) matches (globs only).
  bool LastLevelMatches(std::string_view name) const;
  // Whether level `level` of a glob matches one level of a path (a name).
  bool LevelMatches(std::size_t level, std::string_view text) const;
  // The same for a name ended by a null: no copy (a walk over every block
  // asks this for each).
  bool LevelMatches(std::size_t level, const char* name) const;
  // The number of leading levels of a glob with case that have no
  // wildcard (each matches one name: LevelLiteral()).
  std::size_t LiteralLevels() const;
  std::string LevelLiteral(std::size_t level) const { return Unquoted(m_levels[level]); }

  // For the search service: the text and flags that select a superset of
  // the matches (all of them with NeedsCheck() false), on the objects' full
  // names, or (`lastLevel`, globs only) on their names.
  std::string ServiceText(bool lastLevel) const;
  // Whether the service's answer on names (`lastLevel`) or full names must
  // still be checked with Matches().
  bool NeedsCheck(bool lastLevel) const;

 private:
  std::string m_text;
  MatchMode m_mode;
  std::vector<std::string> m_levels;  // a glob: each level as a Tcl glob
  // Each level compiled (the search service's matcher, which answers as
  // Tcl's own or defers to it).
  std::vector<UtilC::TclSearch::Glob> m_compiled;
  mutable std::string m_level;        // PathMatches(): one level, ended by a null
  mutable std::string m_path;         // Matches(): the path, ended by a null
  std::string m_anchored;             // a regular expression: anchored
  Tcl_Interp* m_interp;
  Tcl_Obj* m_regexpObj = nullptr;  // counted; holds the compiled expression
  Tcl_RegExp m_regexp = nullptr;
  // An expression with back-references is matched in a child process, made
  // on the first match, so that Ctrl-C stops it (NcdTcl_ChildMatch.h).
  mutable std::unique_ptr<ChildMatcher> m_child;
  bool m_slow = false;
  bool m_exact = false;
  std::string m_literal;
};

}  // namespace NcdTcl
