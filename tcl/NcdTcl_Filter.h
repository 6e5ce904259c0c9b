// -filter expressions: comparisons of object properties, combined with
// &&, ||, ! and parentheses.
//
//   filter     := or
//   or         := and { "||" and }
//   and        := unary { "&&" unary }
//   unary      := "!" unary | "(" or ")" | comparison
//   comparison := property [ op value ]
//   op         := "==" | "!=" | "=~" | "!~" | "<" | "<=" | ">" | ">="
//
// A property is a bare name (full_name, Is_Placed) or a braced or quoted
// one ({Full Name}); the component matches it without regard to case or
// separators. A value is a bare word (up to a blank or ")"), or quoted or
// braced. == and != compare numbers as numbers when both sides are
// numbers, bools as bools, anything else as text; =~ and !~ match a glob
// (Tcl's string match); <, <=, >, >= compare numbers, and are false when a
// side is not a number. A property alone is true when its value is true
// (or a non-empty text that is no boolean). An object value compares by
// its name as it prints. A comparison on a property that the object's
// class does not have is false (a filter over blocks of several classes
// asks each with its own properties); a property that no filtered object
// has is an error.
//
// The parser checks the syntax and reports the position of the first
// error; the combination of the comparisons is then a Tcl expression,
// compiled once and evaluated by Tcl for each object, whose comparisons
// call back here (::tcl::mathfunc::ncd_filter_term, installed with the
// package).
#pragma once

#include <tcl.h>

#include <memory>
#include <string>
#include <vector>

#include "UtilI_ITclCollectable.h"

namespace NcdTcl {

class Filter {
 public:
  // Parses `text`; throws FILTER naming the position of the first error.
  Filter(Tcl_Interp* interp, const std::string& text);
  ~Filter();
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  // Whether the object passes.
  bool Accepts(UtilI::ITclCollectable* coll);
  // Throws PROPERTY when a property the filter names is unknown to every
  // object of `objects` (also where && or || skipped its comparison).
  void CheckProperties(const std::vector<UtilI::ITclCollectable*>& objects) const;

  // The math function's implementation.
  static int TermCommand(ClientData, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);

  struct Term;

 private:
  bool EvaluateTerm(int index);

  Tcl_Interp* m_interp;
  std::string m_text;
  std::vector<std::unique_ptr<Term>> m_terms;
  Tcl_Obj* m_expr;  // the combination, as a Tcl expression
  UtilI::ITclCollectable* m_current = nullptr;
};

// Installs the math function in an interpreter.
void InstallFilterFunction(Tcl_Interp* interp);

}  // namespace NcdTcl
