#include "NcdTcl_Filter.h"

#include <cstring>

#include "NcdTcl_Error.h"
#include "NcdTcl_Property.h"

namespace NcdTcl {

enum class Op { Truth, Eq, Ne, Match, NoMatch, Lt, Le, Gt, Ge };

struct Filter::Term {
  std::string property;
  Op op = Op::Truth;
  Tcl_Obj* literal = nullptr;  // counted; null for Truth
  bool known = false;          // some object had the property
};

namespace {

thread_local Filter* t_active = nullptr;  // the filter being evaluated on this thread

struct OpWord {
  const char* text;
  Op op;
};
// Longest first, so that "<=" is not read as "<".
const OpWord kOps[] = {{"==", Op::Eq}, {"!=", Op::Ne}, {"=~", Op::Match}, {"!~", Op::NoMatch},
                       {"<=", Op::Le}, {">=", Op::Ge}, {"<", Op::Lt},     {">", Op::Gt}};

// Recursive descent over the filter text; builds the Tcl expression.
class Parser {
 public:
  Parser(const std::string& text, std::vector<std::unique_ptr<Filter::Term>>& terms)
      : m_text(text), m_terms(terms) {}

  std::string Parse() {
    std::string expr = Or();
    Skip();
    if (m_pos < m_text.size()) Fail("unexpected \"" + m_text.substr(m_pos, 8) + "\"");
    return expr;
  }

 private:
  std::string Or() {
    std::string expr = And();
    while (Accept("||"))
      expr += " || " + And();
    return expr;
  }
  std::string And() {
    std::string expr = Unary();
    while (Accept("&&"))
      expr += " && " + Unary();
    return expr;
  }
  std::string Unary() {
    Skip();
    if (Peek("!") && !Peek("!=") && !Peek("!~")) {
      Accept("!");
      return "!" + Unary();
    }
    if (Accept("(")) {
      std::string inner = Or();
      if (!Accept(")")) Fail("expected \")\"");
      return "(" + inner + ")";
    }
    return Comparison();
  }
  std::string Comparison() {
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
    m_terms.push_back(std::move(term));
    return "ncd_filter_term(" + std::to_string(m_terms.size() - 1) + ")";
  }

  // A bare, quoted or braced word. Bare names stop at operator characters;
  // bare values at a blank or ")".
  std::string Word(bool name, const std::string& what) {
    Skip();
    if (m_pos >= m_text.size()) Fail("expected " + what);
    const char c = m_text[m_pos];
    if (c == '"') return Quoted();
    if (c == '{') return Braced();
    const std::size_t start = m_pos;
    const char* stops = name ? " \t\n()!=<>~&|\"{}" : " \t\n()";
    while (m_pos < m_text.size() && !std::strchr(stops, m_text[m_pos]) && !Peek("&&") &&
           !Peek("||"))
      ++m_pos;
    if (m_pos == start) Fail("expected " + what);
    return m_text.substr(start, m_pos - start);
  }
  std::string Quoted() {
    const std::size_t start = m_pos++;
    std::string word;
    while (m_pos < m_text.size() && m_text[m_pos] != '"') {
      if (m_text[m_pos] == '\\' && m_pos + 1 < m_text.size()) ++m_pos;
      word += m_text[m_pos++];
    }
    if (m_pos >= m_text.size()) FailAt(start, "unterminated quote");
    ++m_pos;
    return word;
  }
  std::string Braced() {
    const std::size_t start = m_pos++;
    int depth = 1;
    std::string word;
    for (; m_pos < m_text.size(); ++m_pos) {
      const char c = m_text[m_pos];
      depth += c == '{' ? 1 : c == '}' ? -1 : 0;
      if (depth == 0) break;
      word += c;
    }
    if (m_pos >= m_text.size()) FailAt(start, "unterminated brace");
    ++m_pos;
    return word;
  }

  void Skip() {
    while (m_pos < m_text.size() && std::strchr(" \t\n", m_text[m_pos]))
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
    throw Error(
        ErrorClass::Filter,
        "malformed filter \"" + m_text + "\": " + what + " at position " + std::to_string(position),
        {std::to_string(position)});
  }

  const std::string& m_text;
  std::vector<std::unique_ptr<Filter::Term>>& m_terms;
  std::size_t m_pos = 0;
};

bool IsNumber(Tcl_Obj* value, double& out) {
  return Tcl_GetDoubleFromObj(nullptr, value, &out) == TCL_OK;
}

bool Equal(Tcl_Obj* actual, Tcl_Obj* literal, std::uint32_t kind) {
  double a = 0, b = 0;
  if (IsNumber(actual, a) && IsNumber(literal, b)) return a == b;
  int x = 0, y = 0;
  if (kind == UtilI::kValueBool && Tcl_GetBooleanFromObj(nullptr, actual, &x) == TCL_OK &&
      Tcl_GetBooleanFromObj(nullptr, literal, &y) == TCL_OK)
    return x == y;
  return !std::strcmp(Tcl_GetString(actual), Tcl_GetString(literal));
}

bool Compare(Op op, Tcl_Obj* actual, Tcl_Obj* literal, std::uint32_t kind) {
  double a = 0, b = 0;
  int truth = 0;
  switch (op) {
    case Op::Truth:
      if (Tcl_GetBooleanFromObj(nullptr, actual, &truth) == TCL_OK) return truth != 0;
      return *Tcl_GetString(actual) != '\0';
    case Op::Eq:
      return Equal(actual, literal, kind);
    case Op::Ne:
      return !Equal(actual, literal, kind);
    case Op::Match:
      return Tcl_StringCaseMatch(Tcl_GetString(actual), Tcl_GetString(literal), 0) != 0;
    case Op::NoMatch:
      return Tcl_StringCaseMatch(Tcl_GetString(actual), Tcl_GetString(literal), 0) == 0;
    default:
      break;
  }
  if (!IsNumber(actual, a) || !IsNumber(literal, b)) return false;
  switch (op) {
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

}  // namespace

Filter::Filter(Tcl_Interp* interp, const std::string& text) : m_interp(interp), m_text(text) {
  std::string expr = Parser(text, m_terms).Parse();
  m_expr = Tcl_NewStringObj(expr.c_str(), static_cast<int>(expr.size()));
  Tcl_IncrRefCount(m_expr);
}

Filter::~Filter() {
  Tcl_DecrRefCount(m_expr);
  for (const auto& term : m_terms)
    if (term->literal) Tcl_DecrRefCount(term->literal);
}

bool Filter::Accepts(UtilI::ITclCollectable* coll) {
  Filter* outer = t_active;
  t_active = this;
  m_current = coll;
  int result = 0;
  const int code = Tcl_ExprBooleanObj(m_interp, m_expr, &result);
  t_active = outer;
  if (code != TCL_OK) throw Error(ErrorClass::Filter, Tcl_GetString(Tcl_GetObjResult(m_interp)));
  return result != 0;
}

bool Filter::EvaluateTerm(int index) {
  Term& term = *m_terms[index];
  ValueRef value = ReadValue(m_current, term.property.c_str());
  if (!value) {
    term.known = term.known || HasProperty(m_current, term.property.c_str());
    return false;
  }
  term.known = true;
  Tcl_Obj* actual = ToTcl(value.get());
  Tcl_IncrRefCount(actual);
  const bool passes = Compare(term.op, actual, term.literal, value->GetKind());
  Tcl_DecrRefCount(actual);
  return passes;
}

void Filter::CheckProperties(const std::vector<UtilI::ITclCollectable*>& objects) const {
  if (objects.empty()) return;
  for (const auto& term : m_terms) {
    bool known = term->known;
    for (std::size_t i = 0; i < objects.size() && !known; ++i)
      known = HasProperty(objects[i], term->property.c_str());
    if (known) continue;
    throw Error(ErrorClass::Property,
                "unknown property \"" + term->property + "\" in filter \"" + m_text +
                    "\"; the objects have: " + JoinedPropertyNames(objects.front()),
                {term->property});
  }
}

int Filter::TermCommand(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  int index = -1;
  Filter* filter = t_active;
  if (objc != 2 || !filter || Tcl_GetIntFromObj(nullptr, objv[1], &index) != TCL_OK || index < 0 ||
      index >= static_cast<int>(filter->m_terms.size())) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("ncd_filter_term is used by -filter only", -1));
    return TCL_ERROR;
  }
  try {
    Tcl_SetObjResult(interp, Tcl_NewBooleanObj(filter->EvaluateTerm(index)));
    return TCL_OK;
  } catch (...) {
    return Error::ReportCaught(interp);
  }
}

void InstallFilterFunction(Tcl_Interp* interp) {
  Tcl_CreateObjCommand(interp, "::tcl::mathfunc::ncd_filter_term", Filter::TermCommand, nullptr,
                       nullptr);
}

}  // namespace NcdTcl
