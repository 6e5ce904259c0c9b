#include "NcdTcl_Filter.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>

#include "NcdTcl_Error.h"
#include "NcdTcl_Property.h"

namespace NcdTcl {

enum class Op { Truth, Eq, Ne, Match, NoMatch, Lt, Le, Gt, Ge };
enum class Tri : std::uint8_t { False, True, Unknown };

struct Filter::Term {
  Term() = default;
  Term(const Term&) = delete;
  Term& operator=(const Term&) = delete;
  ~Term() {
    if (literal) Tcl_DecrRefCount(literal);
  }

  std::string property;
  Op op = Op::Truth;
  Tcl_Obj* literal = nullptr;    // counted; null for Truth
  bool words = false;            // a word-valued property: == and != ignore case
  bool known = false;            // some object's class has the property
  bool literalSeen = false;      // some object had the literal (== and != of words)
  std::set<std::string> values;  // the first values seen (== and != of words)
};

struct Filter::Node {
  enum Type { And, Or, Not, Leaf } type = Leaf;
  std::vector<int> children;  // And, Or: the operands; Not: one
  int term = -1;              // Leaf
};

namespace {

// The properties whose values are words of a small set.
const char* const kWordProperties[] = {"level",  "direction", "iodirection",
                                       "status", "subtype",   "type"};
constexpr std::size_t kValuesShown = 10;

struct OpWord {
  const char* text;
  Op op;
};
// Longest first, so that "<=" is not read as "<".
const OpWord kOps[] = {{"==", Op::Eq}, {"!=", Op::Ne}, {"=~", Op::Match}, {"!~", Op::NoMatch},
                       {"<=", Op::Le}, {">=", Op::Ge}, {"<", Op::Lt},     {">", Op::Gt}};

// Recursive descent over the filter text, building the tree.
class Parser {
 public:
  Parser(const std::string& text, std::vector<std::unique_ptr<Filter::Term>>& terms,
         std::vector<Filter::Node>& nodes)
      : m_text(text), m_terms(terms), m_nodes(nodes) {}

  void Parse() {
    m_nodes.emplace_back();  // the root, filled in below
    const int root = Or();
    Skip();
    if (m_pos < m_text.size()) Fail("unexpected \"" + m_text.substr(m_pos, 8) + "\"");
    m_nodes[0] = m_nodes[root];
  }

 private:
  int Combined(Filter::Node::Type type, int (Parser::*operand)(), const char* token) {
    std::vector<int> operands{(this->*operand)()};
    while (Accept(token))
      operands.push_back((this->*operand)());
    if (operands.size() == 1) return operands.front();
    return Add({type, operands, -1});
  }
  int Or() { return Combined(Filter::Node::Or, &Parser::And, "||"); }
  int And() { return Combined(Filter::Node::And, &Parser::Unary, "&&"); }
  int Unary() {
    Skip();
    const bool negated = Peek("!") && !Peek("!=") && !Peek("!~");
    const bool open = !negated && Peek("(");
    if (!negated && !open) return Comparison();
    if (m_depth >= Filter::kMaxNesting)
      Fail("more than " + std::to_string(Filter::kMaxNesting) + " levels of ( and !");
    ++m_depth;
    ++m_pos;
    int node = 0;
    if (negated) {
      node = Add({Filter::Node::Not, {Unary()}, -1});
    } else {
      node = Or();
      if (!Accept(")")) Fail("expected \")\"");
    }
    --m_depth;
    return node;
  }
  int Comparison() {
    auto term = std::make_unique<Filter::Term>();
    term->property = Word(true, "a property name");
    Skip();
    for (const OpWord& op : kOps) {
      if (!Accept(op.text)) continue;
      term->op = op.op;
      const std::string value = Word(false, std::string("a value after \"") + op.text + "\"");
      term->literal = Tcl_NewStringObj(value.c_str(), static_cast<int>(value.size()));
      Tcl_IncrRefCount(term->literal);
      break;
    }
    const std::string normal = NormalName(term->property);
    term->words = std::any_of(std::begin(kWordProperties), std::end(kWordProperties),
                              [&](const char* word) { return normal == word; });
    m_terms.push_back(std::move(term));
    return Add({Filter::Node::Leaf, {}, static_cast<int>(m_terms.size() - 1)});
  }
  int Add(Filter::Node node) {
    m_nodes.push_back(std::move(node));
    return static_cast<int>(m_nodes.size() - 1);
  }

  // A word, quoted, braced or bare (see the header).
  std::string Word(bool name, const std::string& what) {
    Skip();
    if (m_pos >= m_text.size()) Fail("expected " + what);
    if (m_text[m_pos] == '"') return QuotedWord();
    if (m_text[m_pos] == '{') return BracedWord();
    const std::size_t start = m_pos;
    std::string word;
    while (m_pos < m_text.size() && !EndsBareWord(name)) {
      if (m_text[m_pos] == '\\')
        word += Backslash();
      else
        word += m_text[m_pos++];
    }
    if (m_pos == start) Fail("expected " + what);
    return word;
  }
  bool EndsBareWord(bool name) const {
    const char c = m_text[m_pos];
    if (std::isspace(static_cast<unsigned char>(c))) return true;
    if (name) return std::strchr("()!=<>~&|\"{}", c) != nullptr;
    return c == ')' && m_depth > 0;
  }
  // A backslash sequence, substituted as Tcl does.
  std::string Backslash() {
    char out[8];
    int read = 0;
    const int written = Tcl_UtfBackslash(m_text.c_str() + m_pos, &read, out);
    m_pos += static_cast<std::size_t>(std::max(read, 1));
    return std::string(out, static_cast<std::size_t>(written));
  }
  std::string QuotedWord() {
    const std::size_t start = m_pos++;
    std::string word;
    while (m_pos < m_text.size() && m_text[m_pos] != '"') {
      if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size())
        word += Backslash();
      else
        word += m_text[m_pos++];
    }
    if (m_pos >= m_text.size()) FailAt(start, "unterminated quote");
    ++m_pos;
    return word;
  }
  // Braces nest; a backslash keeps the character after it from counting,
  // and both stay in the word.
  std::string BracedWord() {
    const std::size_t start = m_pos++;
    int depth = 1;
    std::string word;
    for (; m_pos < m_text.size(); ++m_pos) {
      const char c = m_text[m_pos];
      if (c == '\\' && m_pos + 1 < m_text.size()) {
        word += c;
        word += m_text[++m_pos];
        continue;
      }
      depth += c == '{' ? 1 : c == '}' ? -1 : 0;
      if (depth == 0) break;
      word += c;
    }
    if (m_pos >= m_text.size()) FailAt(start, "unterminated brace");
    ++m_pos;
    return word;
  }

  void Skip() {
    while (m_pos < m_text.size() && std::isspace(static_cast<unsigned char>(m_text[m_pos])))
      ++m_pos;
  }
  bool Peek(const char* token) const {
    return m_text.compare(m_pos, std::strlen(token), token) == 0;
  }
  bool Accept(const char* token) {
    Skip();
    if (!Peek(token)) return false;
    m_pos += std::strlen(token);
    return true;
  }
  [[noreturn]] void Fail(const std::string& what) {
    Skip();
    FailAt(m_pos, what);
  }
  [[noreturn]] void FailAt(std::size_t position, const std::string& what) {
    throw Error(ErrorClass::Filter,
                "malformed filter \"" + Clipped(m_text) + "\": " + what + " at position " +
                    std::to_string(position),
                {std::to_string(position)});
  }

  const std::string& m_text;
  std::vector<std::unique_ptr<Filter::Term>>& m_terms;
  std::vector<Filter::Node>& m_nodes;
  std::size_t m_pos = 0;
  int m_depth = 0;
};

bool IsNumber(Tcl_Obj* value, double& out) {
  return Tcl_GetDoubleFromObj(nullptr, value, &out) == TCL_OK;
}

bool Equal(Tcl_Obj* actual, Tcl_Obj* literal, std::uint32_t kind, bool words) {
  double a = 0, b = 0;
  if (IsNumber(actual, a) && IsNumber(literal, b)) return a == b;
  int x = 0, y = 0;
  if (kind == UtilI::kValueBool && Tcl_GetBooleanFromObj(nullptr, actual, &x) == TCL_OK &&
      Tcl_GetBooleanFromObj(nullptr, literal, &y) == TCL_OK)
    return x == y;
  const char* text = Tcl_GetString(actual);
  const char* other = Tcl_GetString(literal);
  if (!words) return !std::strcmp(text, other);
  return Tcl_NumUtfChars(text, -1) == Tcl_NumUtfChars(other, -1) &&
         !Tcl_UtfNcasecmp(text, other, static_cast<unsigned long>(Tcl_NumUtfChars(text, -1)));
}

bool Compare(const Filter::Term& term, Tcl_Obj* actual, std::uint32_t kind) {
  double a = 0, b = 0;
  int truth = 0;
  switch (term.op) {
    case Op::Truth:
      if (Tcl_GetBooleanFromObj(nullptr, actual, &truth) == TCL_OK) return truth != 0;
      return *Tcl_GetString(actual) != '\0';
    case Op::Eq:
      return Equal(actual, term.literal, kind, term.words);
    case Op::Ne:
      return !Equal(actual, term.literal, kind, term.words);
    case Op::Match:
      return Tcl_StringCaseMatch(Tcl_GetString(actual), Tcl_GetString(term.literal), 0) != 0;
    case Op::NoMatch:
      return Tcl_StringCaseMatch(Tcl_GetString(actual), Tcl_GetString(term.literal), 0) == 0;
    default:
      break;
  }
  if (!IsNumber(actual, a) || !IsNumber(term.literal, b)) return false;
  switch (term.op) {
    case Op::Lt:
      return a < b;
    case Op::Le:
      return a <= b;
    case Op::Gt:
      return a > b;
    default:
      return a >= b;
  }
}

// Remembers, for == and != of words, whether the literal was seen and the
// first values.
void Note(Filter::Term& term, Tcl_Obj* actual, std::uint32_t kind) {
  if (!term.words || (term.op != Op::Eq && term.op != Op::Ne) || term.literalSeen) return;
  term.literalSeen = Equal(actual, term.literal, kind, true);
  if (term.values.size() <= kValuesShown) term.values.insert(Tcl_GetString(actual));
}

// A value that holds nothing: none, or an object property without its object.
bool Holds(const ValueRef& value) {
  CommonI::RefCountPtr<CitI::IInterface> object;
  return value && (value->GetKind() != UtilI::kValueObject || (value->GetObject(object) && object));
}

// A term for one object.
Tri Evaluate(Filter::Term& term, UtilI::ITclCollectable* coll) {
  ValueRef value = ReadValue(coll, term.property.c_str());
  if (!Holds(value)) {
    if (!HasProperty(coll, term.property.c_str())) return Tri::Unknown;
    term.known = true;
    const bool empty = term.literal && !*Tcl_GetString(term.literal);
    if (empty && term.op == Op::Eq) return Tri::True;  // no value: the empty text
    if (empty && term.op == Op::Ne) return Tri::False;
    return Tri::Unknown;
  }
  term.known = true;
  Tcl_Obj* actual = ToTcl(value.get());
  Tcl_IncrRefCount(actual);
  const bool passes = Compare(term, actual, value->GetKind());
  Note(term, actual, value->GetKind());
  Tcl_DecrRefCount(actual);
  return passes ? Tri::True : Tri::False;
}

Tri Combine(const std::vector<Filter::Node>& nodes, int index, const std::vector<Tri>& terms) {
  const Filter::Node& node = nodes[index];
  switch (node.type) {
    case Filter::Node::Leaf:
      return terms[node.term];
    case Filter::Node::Not: {
      const Tri inner = Combine(nodes, node.children.front(), terms);
      return inner == Tri::Unknown ? inner : inner == Tri::True ? Tri::False : Tri::True;
    }
    default:
      break;
  }
  const Tri decisive = node.type == Filter::Node::And ? Tri::False : Tri::True;
  Tri result = node.type == Filter::Node::And ? Tri::True : Tri::False;
  for (int child : node.children) {
    const Tri value = Combine(nodes, child, terms);
    if (value == decisive) return decisive;
    if (value == Tri::Unknown) result = Tri::Unknown;
  }
  return result;
}

}  // namespace

Filter::Filter(const std::string& text) : m_text(text) {
  Parser(text, m_terms, m_nodes).Parse();
}

// The terms release their literals, also when parsing failed half way.
Filter::~Filter() = default;

// Every term is asked for every object, so that the property checks and
// the values seen do not depend on which side of && or || decided.
bool Filter::Accepts(UtilI::ITclCollectable* coll) {
  std::vector<Tri> results;
  results.reserve(m_terms.size());
  for (const auto& term : m_terms)
    results.push_back(Evaluate(*term, coll));
  return Combine(m_nodes, 0, results) == Tri::True;
}

void Filter::CheckProperties(const std::vector<UtilI::ITclCollectable*>& objects) const {
  if (objects.empty()) return;
  for (const auto& term : m_terms) {
    bool known = term->known;
    for (std::size_t i = 0; i < objects.size() && !known; ++i)
      known = HasProperty(objects[i], term->property.c_str());
    if (known) continue;
    throw Error(ErrorClass::Property,
                "unknown property \"" + Clipped(term->property) + "\" in filter \"" +
                    Clipped(m_text) + "\"; the objects have: " + JoinedPropertyNames(objects),
                {term->property});
  }
}

std::vector<std::string> Filter::UnknownValues(const char* kindWord) const {
  std::vector<std::string> lines;
  for (const auto& term : m_terms) {
    if (!term->words || term->literalSeen || term->values.empty()) continue;
    std::string had;
    std::size_t shown = 0;
    for (const std::string& value : term->values) {
      if (shown++ == kValuesShown) break;
      had += (had.empty() ? "" : ", ") + value;
    }
    if (term->values.size() > kValuesShown) had += ", ...";
    lines.push_back(std::string("no ") + kindWord + " has " + term->property + " \"" +
                    Clipped(Tcl_GetString(term->literal)) + "\"; they have: " + had);
  }
  return lines;
}

bool Filter::Reads(const char* name) const {
  const std::string wanted = NormalName(name);
  return std::any_of(m_terms.begin(), m_terms.end(),
                     [&](const auto& term) { return NormalName(term->property) == wanted; });
}

}  // namespace NcdTcl
