// NcdTcl::ChildMatcher: a regular expression matched in a child process,
// so that Ctrl-C can stop a single match that would run for hours.
//
// Tcl's engine runs an expression with back-references by trying every
// way to split the subject among its groups, which grows exponentially
// with the groups and the subject's length (eight groups on a name of 60
// characters run for hours), and nothing inside the engine can be asked to
// stop. Such expressions are therefore matched in a child forked from the
// command's thread: the command sends each subject and waits for the
// answer, checking for a stop (CheckStop, NcdTcl_Interrupt.h) every
// kWaitMs; when asked to stop, it kills the child and fails with NCD
// STOPPED. The child only matches: it reads subjects, runs the expression
// compiled before the fork, and writes one byte per subject; it never
// returns into Tcl or the component, and ends with its pipe.
//
// Expressions without back-references run in linear time (Tcl's engine
// runs them as automata) and are matched in the process as before.
//
// Threads: the thread that made it, which waits for each answer.
#pragma once

#include <sys/types.h>
#include <tcl.h>

#include <string_view>

namespace NcdTcl {

// Whether a regular expression has back-references (\1 ... \9): then Tcl's
// engine may take exponential time.
bool HasBackReference(std::string_view expression);

class ChildMatcher {
 public:
  static constexpr int kWaitMs = 50;

  // Forks the child; throws INTERNAL when no child can be made.
  explicit ChildMatcher(Tcl_RegExp program);
  // Kills the child if it still runs, and waits for its end.
  ~ChildMatcher();
  ChildMatcher(const ChildMatcher&) = delete;
  ChildMatcher& operator=(const ChildMatcher&) = delete;

  // Whether the expression matches `subject`; throws STOPPED when a stop
  // is asked meanwhile, INTERNAL when the child is gone.
  bool Matches(std::string_view subject);

 private:
  pid_t m_child = -1;
  int m_socket = -1;  // ours of a connected pair; the child has the other
};

}  // namespace NcdTcl
