// UtilC::TclSearch::TclRegexp: one regular expression compiled by Tcl's own
// engine (advanced syntax, as Tcl's `regexp`), owned by this object alone.
//
// Why the care: Tcl keeps a per-thread cache of compiled expressions that
// shares one compiled program between every user of the same text on that
// thread, counts those users without atomics, and keeps the state of the
// last match inside the program. So an expression is compiled on a short
// thread of its own, whose Tcl data (the cache with it) is freed before
// it ends: the program is then referenced by this object only. Matching
// from several threads takes turns on the object's lock.
//
// Tcl also keeps data per thread for running the engine. A thread that
// matched or freed an expression here frees that data when it ends (the
// process's main thread excepted: its data stays reachable until exit, and
// the interpreter of a Tcl shell may still need it).
#pragma once

#include <memory>
#include <string>

#include "Port_Thr.h"

struct Tcl_Obj;
struct Tcl_RegExp_;

namespace UtilC::TclSearch {

class TclRegexp {
 public:
  // The compiled expression, or null with Tcl's message in `error` when
  // `text` is not a valid expression (or no thread could compile it).
  static std::unique_ptr<TclRegexp> Compile(const std::string& text, bool nocase,
                                            std::string& error);
  ~TclRegexp();
  TclRegexp(const TclRegexp&) = delete;
  TclRegexp& operator=(const TclRegexp&) = delete;

  // Whether the expression matches somewhere in `text` (UTF-8). Any thread.
  bool Matches(const char* text) const;

 private:
  TclRegexp(Tcl_Obj* holder, Tcl_RegExp_* program) : m_holder(holder), m_program(program) {}

  Tcl_Obj* m_holder;  // holds the only reference on the program
  Tcl_RegExp_* m_program;
  mutable Port_ThrMutex m_lock;  // a leaf lock: the program keeps its match state
};

}  // namespace UtilC::TclSearch
