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
// Words follow Tcl's quoting rules, as `list` writes them: a braced word
// is taken as it is, a quoted or bare word has its backslash sequences
// substituted, and nothing is ever evaluated. A bare property name ends at
// an operator character (Is_Placed, level==Comp); a bare value ends at a
// blank, and inside parentheses also at ")". Property names are matched
// as the component matches them (case and separators aside).
//
// == and != compare numbers as numbers, bools as bools, the words of
// word-valued properties (Level, Direction, IO Direction, Status, Subtype,
// Type) without regard to case, anything else as text; =~ and !~ match a
// glob (Tcl's string match); <, <=, >, >= compare numbers. A property
// alone is true when its value is true (or a non-empty text that is no
// boolean). An object value compares by the name it prints as.
//
// Logic has three values: a test of a property that the object's class
// does not have, or that has no value for the object, is unknown, and so
// is `!` of it; `&&` is false when a side is false, `||` true when a side
// is true, and unknown otherwise where a side is unknown; an object is kept
// only when the whole filter is true. `p == ""` alone holds for a property
// without a value (and for an empty text), so that -filter tells a
// property the object has without a value from one it does not have.
// Parentheses and `!` nest at most kMaxNesting levels.
#pragma once

#include <tcl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "UtilI_ITclCollectable.h"

namespace NcdTcl {

class Filter {
 public:
  static constexpr int kMaxNesting = 100;

  // Parses `text`; throws FILTER naming the position of the first error.
  explicit Filter(const std::string& text);
  ~Filter();
  Filter(const Filter&) = delete;
  Filter& operator=(const Filter&) = delete;

  // Whether the object passes.
  bool Accepts(UtilI::ITclCollectable* coll);
  // Throws PROPERTY when a property the filter names is unknown to every
  // object of `objects`.
  void CheckProperties(const std::vector<UtilI::ITclCollectable*>& objects) const;
  // One line per == or != of a word-valued property whose value no object
  // asked had: "no block has Level "4"; they have: Top, Module, ...".
  std::vector<std::string> UnknownValues(const char* kindWord) const;
  // Whether the filter reads a property named `name` (any spelling).
  bool Reads(const char* name) const;

  struct Term;
  struct Node;

 private:
  std::string m_text;
  std::vector<std::unique_ptr<Term>> m_terms;
  std::vector<Node> m_nodes;  // m_nodes[0] is the root
};

}  // namespace NcdTcl
