// A streaming reader of the SDF subset that delay back-annotation uses:
// nested lists of keywords, names and value triples. It walks the lists
// once and keeps only the interconnect delays.
#include "NcdImport_Sdf.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>

#include "NcdImport_Input.h"

namespace NcdImport {

namespace {

// An SDF real number: [sign] digits [. digits] [e [sign] digits], or with
// digits after the point only. Hexadecimal, "inf" and "nan", which strtod
// would take, are none.
bool SdfNumber(std::string_view text, double& value) {
  std::size_t at = text.empty() || (text[0] != '+' && text[0] != '-') ? 0 : 1;
  auto digits = [&] {
    const std::size_t start = at;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])))
      ++at;
    return at - start;
  };
  std::size_t mantissa = digits();
  if (at < text.size() && text[at] == '.') {
    ++at;
    mantissa += digits();
  }
  if (mantissa == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    if (++at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    if (digits() == 0) return false;
  }
  if (at != text.size()) return false;
  const char* first = text.data() + (text[0] == '+' ? 1 : 0);
  const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
  return end == text.data() + text.size() &&
         (ec == std::errc() || ec == std::errc::result_out_of_range);
}

class SdfReader {
 public:
  SdfReader(const std::string& path, std::string text, Notes& notes)
      : m_path(path), m_text(std::move(text)), m_notes(notes) {}
  Sdf Read();

 private:
  enum class Token { Open, Close, Atom, End };
  [[noreturn]] void Fail(std::uint64_t at, const std::string& cause) const {
    throw Error(m_path + ":" + Position(m_text, at) + ": " + cause);
  }
  Token Next();
  // The next token of a list that is still open: the file may not end here.
  Token NextIn();
  void Expect(Token want, const char* what);
  void Skip();  // the rest of the list whose '(' and keyword were read
  void ReadDelayFile();
  void ReadTimescale();
  void ReadCell();
  void ReadDelay();
  void ReadInterconnect();
  bool ReadValue(std::int64_t& min, std::int64_t& max);
  void SplitPath(const std::string& path, std::string& cell, std::string& port) const;
  // Counts a value the design format has no place for at the token just
  // read; the position is worked out for the first of each kind only.
  void Note(const std::string& what) {
    m_notes.Add(what, m_notes.Find(what) ? std::string()
                                         : m_path + ":" + Position(m_text, m_tokenStart));
  }

  const std::string& m_path;
  std::string m_text;
  Notes& m_notes;
  std::size_t m_pos = 0;
  std::size_t m_tokenStart = 0;
  std::string m_atom;
  char m_divider = '/';
  double m_scale = 1.0;  // picoseconds per unit
  std::string m_instance;
  Sdf m_sdf;
};

SdfReader::Token SdfReader::Next() {
  while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos]))) ++m_pos;
  m_tokenStart = m_pos;
  if (m_pos == m_text.size()) return Token::End;
  const char c = m_text[m_pos];
  if (c == '(' || c == ')') {
    ++m_pos;
    return c == '(' ? Token::Open : Token::Close;
  }
  m_atom.clear();
  if (c == '"') {
    const std::size_t end = m_text.find('"', m_pos + 1);
    if (end == std::string::npos) Fail(m_pos, "unterminated string");
    m_atom.assign(m_text, m_pos + 1, end - m_pos - 1);
    m_pos = end + 1;
    return Token::Atom;
  }
  // A name keeps its escapes ("\$gbuf/O"), so that an escaped divider stays
  // part of the name until SplitPath.
  while (m_pos < m_text.size()) {
    const char d = m_text[m_pos];
    if (std::isspace(static_cast<unsigned char>(d)) || d == '(' || d == ')') break;
    if (d == '\\' && m_pos + 1 < m_text.size()) m_atom += m_text[m_pos++];
    m_atom += m_text[m_pos++];
  }
  return Token::Atom;
}

SdfReader::Token SdfReader::NextIn() {
  const Token t = Next();
  if (t == Token::End) Fail(m_pos, "unexpected end of file");
  return t;
}

void SdfReader::Expect(Token want, const char* what) {
  if (NextIn() != want) Fail(m_tokenStart, std::string("expected ") + what);
}

void SdfReader::Skip() {
  for (int depth = 1; depth > 0;) {
    switch (Next()) {
      case Token::Open: ++depth; break;
      case Token::Close: --depth; break;
      case Token::End: Fail(m_pos, "unexpected end of file");
      case Token::Atom: break;
    }
  }
}

Sdf SdfReader::Read() {
  m_sdf.path = m_path;
  Expect(Token::Open, "'('");
  Expect(Token::Atom, "DELAYFILE");
  if (m_atom != "DELAYFILE") Fail(m_tokenStart, "expected DELAYFILE, not " + Quote(m_atom));
  ReadDelayFile();
  if (Next() != Token::End) Fail(m_tokenStart, "text after the end of DELAYFILE");
  return std::move(m_sdf);
}

void SdfReader::ReadDelayFile() {
  static const char* const kHeader[] = {"SDFVERSION", "DESIGN",  "DATE",    "VENDOR",     "PROGRAM",
                                        "VERSION",    "VOLTAGE", "PROCESS", "TEMPERATURE"};
  for (Token t; (t = NextIn()) != Token::Close;) {
    if (t != Token::Open) Fail(m_tokenStart, "expected '(' or ')'");
    Expect(Token::Atom, "a keyword");
    if (m_atom == "DIVIDER") {
      Expect(Token::Atom, "a divider");
      m_divider = m_atom.empty() ? '/' : m_atom[0];
      Expect(Token::Close, "')'");
    } else if (m_atom == "TIMESCALE") {
      ReadTimescale();
    } else if (m_atom == "CELL") {
      ReadCell();
    } else {
      if (std::find_if(std::begin(kHeader), std::end(kHeader),
                       [&](const char* k) { return m_atom == k; }) == std::end(kHeader))
        Note("SDF entry '" + m_atom + "'");
      Skip();
    }
  }
}

// "1ps", "1 ns", "100ps": the number of picoseconds in one unit. SDF's
// scales are 1, 10 or 100 of a unit.
void SdfReader::ReadTimescale() {
  std::string text;
  const std::size_t at = m_pos;
  for (Token t; (t = NextIn()) != Token::Close;) {
    if (t != Token::Atom) Fail(m_tokenStart, "expected a time scale");
    text += m_atom;
  }
  static const std::pair<std::string_view, double> kUnits[] = {
      {"ms", 1e9}, {"us", 1e6}, {"ns", 1e3}, {"ps", 1.0}, {"fs", 1e-3}, {"s", 1e12}};
  for (const auto& [name, ps] : kUnits) {
    const std::string_view all(text);
    double number = 0;
    if (all.size() > name.size() && all.ends_with(name) &&
        SdfNumber(all.substr(0, all.size() - name.size()), number) &&
        (number == 1 || number == 10 || number == 100)) {
      m_scale = number * ps;
      return;
    }
  }
  Fail(m_text.find_first_not_of(" \t\r\n", at), "unknown time scale " + Quote(text));
}

void SdfReader::ReadCell() {
  m_instance.clear();
  for (Token t; (t = NextIn()) != Token::Close;) {
    if (t != Token::Open) Fail(m_tokenStart, "expected '(' or ')'");
    Expect(Token::Atom, "a keyword");
    if (m_atom == "INSTANCE") {
      m_instance.clear();
      for (Token i; (i = NextIn()) != Token::Close;) {
        if (i != Token::Atom) Fail(m_tokenStart, "expected an instance name");
        m_instance = m_atom;
      }
    } else if (m_atom == "DELAY") {
      ReadDelay();
    } else {
      if (m_atom == "TIMINGCHECK")
        Note("SDF timing checks");
      else if (m_atom != "CELLTYPE")
        Note("SDF cell entry '" + m_atom + "'");
      Skip();
    }
  }
}

void SdfReader::ReadDelay() {
  for (Token t; (t = NextIn()) != Token::Close;) {
    if (t != Token::Open) Fail(m_tokenStart, "expected '(' or ')'");
    Expect(Token::Atom, "ABSOLUTE or INCREMENT");
    const bool absolute = m_atom == "ABSOLUTE";
    if (!absolute) Note("SDF " + m_atom + " delays");
    for (Token e; (e = NextIn()) != Token::Close;) {
      if (e != Token::Open) Fail(m_tokenStart, "expected '(' or ')'");
      Expect(Token::Atom, "a delay keyword");
      if (absolute && m_atom == "INTERCONNECT") {
        ReadInterconnect();
        continue;
      }
      if (absolute) {
        const std::string what = m_atom == "IOPATH" ? "SDF cell delays (IOPATH)"
                                                    : "SDF delay '" + m_atom + "'";
        Note(what);
      }
      Skip();
    }
  }
}

void SdfReader::ReadInterconnect() {
  SdfInterconnect ic;
  ic.offset = m_tokenStart;
  Expect(Token::Atom, "the driving port");
  std::string from = m_atom;
  Expect(Token::Atom, "the load port");
  std::string to = m_atom;
  if (!m_instance.empty()) {
    from = m_instance + m_divider + from;
    to = m_instance + m_divider + to;
  }
  SplitPath(from, ic.fromCell, ic.fromPort);
  SplitPath(to, ic.toCell, ic.toPort);
  bool any = false;
  ic.min = INT64_MAX;
  ic.max = INT64_MIN;
  for (Token t; (t = NextIn()) != Token::Close;) {
    if (t != Token::Open) Fail(m_tokenStart, "expected a delay value");
    std::int64_t lo, hi;
    if (ReadValue(lo, hi)) {
      ic.min = std::min(ic.min, lo);
      ic.max = std::max(ic.max, hi);
      any = true;
    }
  }
  if (any) m_sdf.interconnects.push_back(std::move(ic));
}

// "(1:2:3)", "(2)" or "()", the '(' read; false for an empty value.
bool SdfReader::ReadValue(std::int64_t& min, std::int64_t& max) {
  Token t = NextIn();
  if (t == Token::Close) return false;
  if (t != Token::Atom) Fail(m_tokenStart, "expected a delay value");
  const std::size_t at = m_tokenStart;
  double lo = INFINITY, hi = -INFINITY;
  std::size_t start = 0;
  const std::string text = m_atom;
  while (start <= text.size()) {
    std::size_t end = std::min(text.find(':', start), text.size());
    if (end > start) {
      double v = 0;
      if (!SdfNumber(std::string_view(text).substr(start, end - start), v))
        Fail(at, "bad delay value " + Quote(text));
      v *= m_scale;
      if (!(std::fabs(v) <= INT32_MAX)) {
        Fail(at, "delay value " + Quote(text) + " is out of range (at most " +
                     std::to_string(INT32_MAX) + " ps either way)");
      }
      lo = std::min(lo, v);
      hi = std::max(hi, v);
    }
    start = end + 1;
  }
  Expect(Token::Close, "')' after a delay value");
  if (lo > hi) return false;
  min = std::llround(lo);
  max = std::llround(hi);
  return true;
}

// "\$gbuf\$x/O" is cell "$gbuf$x", port "O": the port follows the last
// divider that no backslash escapes.
void SdfReader::SplitPath(const std::string& path, std::string& cell, std::string& port) const {
  std::size_t split = std::string::npos;
  for (std::size_t i = 0; i < path.size(); ++i) {
    if (path[i] == '\\') {
      ++i;
    } else if (path[i] == m_divider) {
      split = i;
    }
  }
  auto unescape = [](std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
      if (s[i] == '\\' && i + 1 < s.size()) ++i;
      out += s[i];
    }
    return out;
  };
  const std::string_view all(path);
  cell = split == std::string::npos ? std::string() : unescape(all.substr(0, split));
  port = unescape(split == std::string::npos ? all : all.substr(split + 1));
}

}  // namespace

Sdf ReadSdf(const std::string& path, Notes& notes, std::uint64_t limit) {
  return SdfReader(path, ReadInput(path, limit), notes).Read();
}

}  // namespace NcdImport
