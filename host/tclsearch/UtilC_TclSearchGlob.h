// UtilC::TclSearch::Glob: Tcl's glob matching (`string match`, that is
// Tcl_StringCaseMatch: `*`, `?`, bracket sets with ranges, `\` quoting,
// optionally without regard to case) compiled once, so that matching a name
// costs what reading it costs.
//
// It answers exactly what Tcl answers, or says that it cannot: a name with a
// character it does not decode (beyond U+FFFF, a surrogate, bytes that are
// not UTF-8) where the answer depends on that character, and patterns whose
// reading in Tcl depends on the name (a bracket set without its end, a
// range up to ']') or whose text is not such UTF-8, are left to Tcl's own
// matcher (kAskTcl, AllTcl()). Case is folded with Tcl's own tables.
//
// Immutable once made: any number of threads may match with one glob.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace UtilC::TclSearch {

class Glob {
 public:
  enum class Answer { kNo, kYes, kAskTcl };

  Glob(std::string_view pattern, bool nocase);

  // The pattern is one only Tcl's matcher may read: Match always asks Tcl.
  bool AllTcl() const { return m_allTcl; }
  // The pattern matches every name (only stars).
  bool MatchesAll() const { return m_tokens.size() == 1 && m_tokens[0].kind == Token::kStar; }
  // `name` is UTF-8, ended by a null.
  Answer Match(const char* name) const;

 private:
  struct Token {
    enum Kind : std::uint8_t { kStar, kAny, kSet, kText };
    Kind kind;
    bool ascii = true;        // kText: only ASCII characters
    std::uint32_t first = 0;  // kText: into m_text (or m_chars); kSet: into m_ranges
    std::uint32_t count = 0;
  };
  // A set's item: one character (low == high) or a range, bounds folded
  // when the glob is without case.
  struct Range {
    char32_t low;
    char32_t high;
  };
  struct Cursor;

  bool Compile(std::string_view pattern);
  bool CompileSet(std::string_view pattern, std::size_t& i);
  void AddText(char32_t ch, std::string_view bytes);

  // Whether token `t` matches at the cursor (advancing it); kAskTcl when
  // the answer needs a character the cursor cannot read.
  Answer Step(const Token& t, Cursor& at) const;
  Answer Text(const Token& t, Cursor& at) const;
  Answer TextFolded(const Token& t, Cursor& at) const;
  bool InSet(const Token& t, char32_t ch) const;
  // Moves `at` to the next place where the token after a star could match.
  Answer Seek(const Token& next, Cursor& at) const;

  bool m_nocase;
  bool m_allTcl = false;
  bool m_never = false;  // a set of nothing or a final `\`: nothing matches
  std::vector<Token> m_tokens;
  std::string m_text;             // literal bytes (with case)
  std::vector<char32_t> m_chars;  // literal characters, folded (without case)
  std::vector<Range> m_ranges;
};

}  // namespace UtilC::TclSearch
