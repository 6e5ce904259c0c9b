#include "NcdTcl_Pattern.h"

#include <cstring>

#include "NcdTcl_Error.h"

namespace NcdTcl {

namespace {

// Each level of a glob as a Tcl glob: brackets quoted, so that they are
// themselves; quoted characters stay quoted. A backslash at the end quotes
// nothing and is itself.
std::vector<std::string> GlobLevels(std::string_view text) {
  std::vector<std::string> levels(1);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size()) {
      const char quoted = text[++i];
      if (quoted == '/')
        levels.emplace_back();
      else
        levels.back() += std::string{'\\', quoted};
    } else if (c == '/') {
      levels.emplace_back();
    } else if (c == '[' || c == ']' || c == '\\') {
      levels.back() += std::string{'\\', c};
    } else {
      levels.back() += c;
    }
  }
  return levels;
}

std::string Join(const std::vector<std::string>& levels) {
  std::string joined = levels.front();
  for (std::size_t i = 1; i < levels.size(); ++i)
    joined += "/" + levels[i];
  return joined;
}

// Every character of `text` quoted for a regular expression.
std::string RegexpQuoted(std::string_view text) {
  std::string quoted;
  for (char c : text) {
    if (std::strchr("\\^$.|?*+()[]{}", c)) quoted += '\\';
    quoted += c;
  }
  return quoted;
}

// The expression anchored at both ends, as the path below any level
// (`hierarchical`) or from the top. A leading director (***= or ***:) or
// embedded options ((?i)) must stay in front; a literal one (***=, or the
// option q) is quoted instead.
std::string Anchored(std::string_view re, bool hierarchical) {
  std::string front;
  bool literal = false;
  if (re.substr(0, 4) == "***=") {
    literal = true;
    re.remove_prefix(4);
  } else if (re.substr(0, 4) == "***:") {
    re.remove_prefix(4);
  }
  if (!literal && re.substr(0, 2) == "(?") {
    const std::size_t end = re.find(')');
    const std::string_view flags = end == std::string_view::npos ? "" : re.substr(2, end - 2);
    if (!flags.empty() && flags.find_first_not_of("bceimnpqstwx") == std::string_view::npos) {
      literal = flags.find('q') != std::string_view::npos;
      std::string kept(flags);
      if (literal) kept.erase(kept.find('q'), 1);
      if (!kept.empty()) front = "(?" + kept + ")";
      re.remove_prefix(end + 1);
    }
  }
  const std::string body = literal ? RegexpQuoted(re) : std::string(re);
  return front + (hierarchical ? "^(?:.*/)?(?:" : "^(?:") + body + ")$";
}

thread_local std::uint64_t t_levelMatches = 0;

}  // namespace

std::uint64_t LevelMatchCount() {
  return t_levelMatches;
}

bool HasWildcard(std::string_view glob) {
  for (std::size_t i = 0; i < glob.size(); ++i) {
    if (glob[i] == '\\')
      ++i;
    else if (glob[i] == '*' || glob[i] == '?')
      return true;
  }
  return false;
}

std::string Unquoted(std::string_view glob) {
  std::string text;
  for (std::size_t i = 0; i < glob.size(); ++i) {
    if (glob[i] == '\\' && i + 1 < glob.size()) ++i;
    text += glob[i];
  }
  return text;
}

PathPattern::PathPattern(Tcl_Interp* interp, std::string_view text, MatchMode mode)
    : m_text(text), m_mode(mode), m_interp(interp) {
  if (!mode.regexp) {
    m_levels = GlobLevels(text);
    m_compiled.reserve(m_levels.size());
    for (const std::string& level : m_levels)
      m_compiled.emplace_back(level, mode.nocase);
    m_exact = !mode.nocase && !mode.hierarchical && !HasWildcard(text);
    if (m_exact) m_literal = Unquoted(text);
    return;
  }
  // The expression alone first: inside the anchoring group, a ")" of its
  // own would close that group and a "(" open one it never closes.
  const int flags = TCL_REG_ADVANCED | (mode.nocase ? TCL_REG_NOCASE : 0);
  Tcl_Obj* alone = Tcl_NewStringObj(m_text.data(), static_cast<int>(m_text.size()));
  Tcl_IncrRefCount(alone);
  const bool valid = Tcl_GetRegExpFromObj(interp, alone, flags) != nullptr;
  Tcl_DecrRefCount(alone);
  if (valid) {
    m_anchored = Anchored(text, mode.hierarchical);
    m_regexpObj = Tcl_NewStringObj(m_anchored.c_str(), static_cast<int>(m_anchored.size()));
    Tcl_IncrRefCount(m_regexpObj);
    m_regexp = Tcl_GetRegExpFromObj(interp, m_regexpObj, flags);
  }
  if (!m_regexp) {
    const std::string message = Tcl_GetString(Tcl_GetObjResult(interp));
    if (m_regexpObj) Tcl_DecrRefCount(m_regexpObj);
    m_regexpObj = nullptr;
    throw Error(ErrorClass::Option, "bad pattern \"" + Clipped(m_text) + "\": " + message);
  }
  m_slow = HasBackReference(text);
}

PathPattern::~PathPattern() {
  if (m_regexpObj) Tcl_DecrRefCount(m_regexpObj);
}

bool PathPattern::LevelMatches(std::size_t level, std::string_view text) const {
  return LevelMatches(level, std::string(text).c_str());  // matchers want a terminated string
}

bool PathPattern::LevelMatches(std::size_t level, const char* name) const {
  using Answer = UtilC::TclSearch::Glob::Answer;
  ++t_levelMatches;
  const Answer answer = m_compiled[level].Match(name);
  if (answer != Answer::kAskTcl) return answer == Answer::kYes;
  return Tcl_StringCaseMatch(name, m_levels[level].c_str(), m_mode.nocase ? TCL_MATCH_NOCASE : 0) !=
         0;
}

std::size_t PathPattern::LiteralLevels() const {
  std::size_t literal = 0;
  if (m_mode.regexp || m_mode.nocase) return 0;
  while (literal < m_levels.size() && !HasWildcard(m_levels[literal]))
    ++literal;
  return literal;
}

bool PathPattern::LastLevelMatches(std::string_view name) const {
  return !m_mode.regexp && LevelMatches(m_levels.size() - 1, name);
}

bool PathPattern::Matches(std::string_view path) const {
  if (m_slow) {
    if (!m_child) m_child = std::make_unique<ChildMatcher>(m_regexp);
    return m_child->Matches(path);
  }
  if (m_mode.regexp) {
    Tcl_Obj* subject = Tcl_NewStringObj(path.data(), static_cast<int>(path.size()));
    Tcl_IncrRefCount(subject);
    const int matched = Tcl_RegExpExecObj(m_interp, m_regexp, subject, 0, 0, 0);
    Tcl_DecrRefCount(subject);
    return matched == 1;
  }
  // Paths hold no null (names cannot), so the copy ends where the path does.
  m_path.assign(path);
  return PathMatches(m_path.c_str());
}

bool PathPattern::PathMatches(const char* path) const {
  const std::size_t k = m_levels.size();
  std::size_t levels = 1;
  for (const char* c = path; *c; ++c)
    levels += *c == '/';
  if (levels < k || (!m_mode.hierarchical && levels != k)) return false;
  // The last level first: it is matched where it lies.
  const char* last = std::strrchr(path, '/');
  if (!LevelMatches(k - 1, last ? last + 1 : path)) return false;
  const char* level = path;
  for (std::size_t skip = levels - k; skip > 0; --skip)
    level = std::strchr(level, '/') + 1;
  for (std::size_t i = 0; i + 1 < k; ++i) {
    const char* slash = std::strchr(level, '/');
    m_level.assign(level, slash);
    if (!LevelMatches(i, m_level.c_str())) return false;
    level = slash + 1;
  }
  return true;
}

std::string PathPattern::ServiceText(bool lastLevel) const {
  if (m_mode.regexp) return m_anchored;
  if (lastLevel) return m_levels.back();
  const std::string joined = Join(m_levels);
  return m_mode.hierarchical && joined.rfind('*', 0) != 0 ? "*" + joined : joined;
}

bool PathPattern::NeedsCheck(bool lastLevel) const {
  if (m_mode.regexp) return false;
  if (lastLevel) return !(m_mode.hierarchical && m_levels.size() == 1);
  return m_mode.hierarchical || HasWildcard(m_text);
}

}  // namespace NcdTcl
