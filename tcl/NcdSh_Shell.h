// NcdSh::Shell: the interactive ncdsh on a terminal.
//
// Lines are read with libedit (its own interface, a key at a time) from
// Tcl's event loop, so that -command callbacks and other events run
// while the prompt waits. The shell keeps a history in ~/.ncdsh_history
// (written after every command and at exit), completes words on Tab
// through ncd::complete, and evaluates each complete command (lines are
// gathered until Tcl says the command is complete) in the global
// namespace, printing its result or its error.
//
// Ctrl-C while a command of the package runs stops that command (it fails
// with NCD STOPPED) and the script around it; while another script runs,
// also one the event loop runs while the prompt waits, it stops the script
// at its next command (vwait and update included, through Tcl's
// cancellation); at the prompt, it clears the line. Ctrl-D on an empty
// line, or `exit`, ends the shell. The terminal is put back as it was on
// every way out.
//
// When the terminal changes size (SIGWINCH) the line being edited is
// drawn again for the new size; after a script the event loop ran while
// the prompt waited, below whatever it wrote.
//
// Threads: the thread that made the interpreter, plus one thread that
// only turns SIGINT and SIGWINCH into Tcl async marks.
#pragma once

#include <tcl.h>

namespace NcdSh {

class Shell {
 public:
  // Runs the shell on `interp` until the user leaves; answers the exit
  // status (Tcl's exit command ends the process itself).
  static int Run(Tcl_Interp* interp);
};

}  // namespace NcdSh
