// Tcl's glob compiled: tokens, then a match that remembers only its last
// star (the usual wildcard walk, which accepts the same names as Tcl's
// recursive one, since every other token takes a fixed number of
// characters).
#include "UtilC_TclSearchGlob.h"

#include <tcl.h>

#include <cstring>

namespace UtilC::TclSearch {

namespace {

// The character at `s` as Tcl decodes it, when that decoding is plain
// UTF-8: ASCII, or a well-formed two- or three-byte sequence outside the
// surrogates. Its length, or 0 for anything else (Tcl reads such bytes
// its own way: one byte as one character, a cp1252 table, surrogate pairs).
int Decode(const unsigned char* s, char32_t& ch) {
  const unsigned c = s[0];
  if (c < 0x80) {
    ch = c;
    return 1;
  }
  if ((c & 0xE0) == 0xC0) {
    if ((s[1] & 0xC0) != 0x80) return 0;
    ch = ((c & 0x1F) << 6) | (s[1] & 0x3F);
    return ch >= 0x80 ? 2 : 0;
  }
  if ((c & 0xF0) == 0xE0) {
    if ((s[1] & 0xC0) != 0x80 || (s[2] & 0xC0) != 0x80) return 0;
    ch = ((c & 0x0F) << 12) | ((s[1] & 0x3F) << 6) | (s[2] & 0x3F);
    return ch >= 0x800 && (ch < 0xD800 || ch > 0xDFFF) ? 3 : 0;
  }
  return 0;
}

// Tcl folds ASCII with the C library's tolower and other characters with
// its own tables.
char32_t Fold(char32_t ch) {
  if (ch < 0x80) return ch >= 'A' && ch <= 'Z' ? ch + ('a' - 'A') : ch;
  return static_cast<char32_t>(Tcl_UniCharToLower(static_cast<int>(ch)));
}

}  // namespace

// Where a match stands in the name.
struct Glob::Cursor {
  const unsigned char* name;
  std::size_t size;
  std::size_t at = 0;

  bool AtEnd() const { return at == size; }
  // Reads the next character (folded when asked); 0 when it cannot.
  int Read(char32_t& ch, bool fold) {
    const unsigned char c = name[at];
    if (c < 0x80) {
      ch = fold ? Fold(c) : c;
      ++at;
      return 1;
    }
    const int length = Decode(name + at, ch);
    if (length == 0) return 0;
    if (fold) ch = Fold(ch);
    at += static_cast<std::size_t>(length);
    return length;
  }
};

Glob::Glob(std::string_view pattern, bool nocase) : m_nocase(nocase) {
  m_allTcl = !Compile(pattern);
  if (m_allTcl) m_tokens.clear();
}

void Glob::AddText(char32_t ch, std::string_view bytes) {
  if (m_tokens.empty() || m_tokens.back().kind != Token::kText) {
    m_tokens.push_back({Token::kText, true,
                        static_cast<std::uint32_t>(m_nocase ? m_chars.size() : m_text.size()), 0});
  }
  Token& t = m_tokens.back();
  t.ascii = t.ascii && ch < 0x80;
  if (m_nocase) {
    m_chars.push_back(Fold(ch));
    ++t.count;
  } else {
    m_text.append(bytes);
    t.count += static_cast<std::uint32_t>(bytes.size());
  }
}

// False when Tcl must read the pattern itself.
bool Glob::Compile(std::string_view pattern) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(pattern.data());
  for (std::size_t i = 0; i < pattern.size();) {
    const char c = pattern[i];
    if (c == '*') {
      if (m_tokens.empty() || m_tokens.back().kind != Token::kStar)
        m_tokens.push_back({Token::kStar});
      ++i;
      continue;
    }
    if (c == '?') {
      m_tokens.push_back({Token::kAny});
      ++i;
      continue;
    }
    if (c == '[') {
      if (!CompileSet(pattern, i)) return false;
      continue;
    }
    if (c == '\\' && ++i == pattern.size()) {
      m_never = true;  // Tcl fails at a final backslash
      return true;
    }
    char32_t ch = 0;
    const int length = Decode(bytes + i, ch);
    if (length == 0 || ch == 0) return false;
    AddText(ch, pattern.substr(i, static_cast<std::size_t>(length)));
    i += static_cast<std::size_t>(length);
  }
  return true;
}

// Tcl reads a set's items up to the first ']' that starts one; a '\' is an
// item like any other. `i` is at the '['; it ends after the ']'.
bool Glob::CompileSet(std::string_view pattern, std::size_t& i) {
  const auto* bytes = reinterpret_cast<const unsigned char*>(pattern.data());
  const auto first = static_cast<std::uint32_t>(m_ranges.size());
  auto read = [&](char32_t& ch) {
    const int length = i < pattern.size() ? Decode(bytes + i, ch) : 0;
    i += static_cast<std::size_t>(length);
    if (m_nocase) ch = Fold(ch);
    return length != 0 && ch != 0;
  };
  for (++i;;) {
    if (i == pattern.size()) return false;  // no end: Tcl's reading depends on the name
    if (pattern[i] == ']') break;
    char32_t low = 0;
    if (!read(low)) return false;
    char32_t high = low;
    if (i < pattern.size() && pattern[i] == '-') {
      ++i;
      if (i < pattern.size() && pattern[i] == ']') return false;  // a range up to ']'
      if (!read(high)) return false;
      if (high < low) std::swap(low, high);
    }
    m_ranges.push_back({low, high});
  }
  ++i;
  if (m_ranges.size() == first) m_never = true;  // "[]" matches nothing
  m_tokens.push_back(
      {Token::kSet, true, first, static_cast<std::uint32_t>(m_ranges.size()) - first});
  return true;
}

bool Glob::InSet(const Token& t, char32_t ch) const {
  for (std::uint32_t r = t.first; r < t.first + t.count; ++r) {
    if (m_ranges[r].low <= ch && ch <= m_ranges[r].high) return true;
  }
  return false;
}

Glob::Answer Glob::Text(const Token& t, Cursor& at) const {
  const char* text = m_text.data() + t.first;
  if (at.size - at.at >= t.count && std::memcmp(at.name + at.at, text, t.count) == 0) {
    at.at += t.count;
    return Answer::kYes;
  }
  if (t.ascii) return Answer::kNo;  // no other bytes read as an ASCII character
  // Bytes that differ may still be one character to Tcl when the name's
  // are not plain UTF-8: read character by character.
  const auto* pattern = reinterpret_cast<const unsigned char*>(text);
  for (std::size_t p = 0; p < t.count;) {
    char32_t want = 0;
    char32_t got = 0;
    p += static_cast<std::size_t>(Decode(pattern + p, want));
    if (at.AtEnd()) return Answer::kNo;
    if (at.Read(got, false) == 0) return Answer::kAskTcl;
    if (got != want) return Answer::kNo;
  }
  return Answer::kYes;
}

Glob::Answer Glob::TextFolded(const Token& t, Cursor& at) const {
  for (std::uint32_t p = t.first; p < t.first + t.count; ++p) {
    char32_t got = 0;
    if (at.AtEnd()) return Answer::kNo;
    if (at.Read(got, true) == 0) return Answer::kAskTcl;
    if (got != m_chars[p]) return Answer::kNo;
  }
  return Answer::kYes;
}

Glob::Answer Glob::Step(const Token& t, Cursor& at) const {
  if (t.kind == Token::kText) return m_nocase ? TextFolded(t, at) : Text(t, at);
  if (at.AtEnd()) return Answer::kNo;
  char32_t ch = 0;
  if (at.Read(ch, m_nocase && t.kind == Token::kSet) == 0) return Answer::kAskTcl;
  return t.kind == Token::kAny || InSet(t, ch) ? Answer::kYes : Answer::kNo;
}

// After a star: skips the places where `next`, a text with case whose first
// byte is ASCII, cannot start (no other bytes read as that character).
Glob::Answer Glob::Seek(const Token& next, Cursor& at) const {
  if (next.kind != Token::kText || m_nocase) return Answer::kYes;
  const char first = m_text[next.first];
  if (static_cast<unsigned char>(first) >= 0x80) return Answer::kYes;
  const void* found = std::memchr(at.name + at.at, first, at.size - at.at);
  if (found == nullptr) return Answer::kNo;
  at.at = static_cast<std::size_t>(static_cast<const unsigned char*>(found) - at.name);
  return Answer::kYes;
}

Glob::Answer Glob::Match(const char* name) const {
  if (m_allTcl) return Answer::kAskTcl;
  if (m_never) return Answer::kNo;
  Cursor at{reinterpret_cast<const unsigned char*>(name), std::strlen(name)};
  std::size_t t = 0;
  std::size_t starToken = 0;  // the token after the last star; 0: no star yet
  std::size_t starAt = 0;     // where the name resumes after that star
  while (true) {
    if (t < m_tokens.size() && m_tokens[t].kind == Token::kStar) {
      if (++t == m_tokens.size()) return Answer::kYes;  // a final star takes the rest
      if (Seek(m_tokens[t], at) == Answer::kNo) return Answer::kNo;
      starToken = t;
      starAt = at.at;
      continue;
    }
    Answer step = Answer::kNo;
    if (t < m_tokens.size()) {
      step = Step(m_tokens[t], at);
      if (step == Answer::kAskTcl) return step;
      if (step == Answer::kYes) {
        ++t;
        continue;
      }
    } else if (at.AtEnd()) {
      return Answer::kYes;
    }
    // A mismatch: the last star takes one more character, if there is one.
    if (starToken == 0) return Answer::kNo;
    at.at = starAt;
    char32_t skipped = 0;
    if (at.AtEnd()) return Answer::kNo;
    if (at.Read(skipped, false) == 0) return Answer::kAskTcl;
    if (Seek(m_tokens[starToken], at) == Answer::kNo) return Answer::kNo;
    starAt = at.at;
    t = starToken;
  }
}

}  // namespace UtilC::TclSearch
