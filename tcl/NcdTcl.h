// The `ncd` Tcl package: shared designs for Tcl scripts.
//
// Ncd_Init loads the package into one interpreter: the commands of
// namespace ::ncd (see docs/tcl.md), backed by the process-wide shared
// design manager, which it reaches through the host's component framework
// (library libUtilC_SharedNcd). Each interpreter has its own handles and
// owners; designs are shared by the whole process. The interpreter must be
// used from the thread that called Ncd_Init, as every Tcl interpreter is.
//
// Built against the Tcl 8.6 stubs: any Tcl 8.6 shell can `load` it; ncdsh
// calls Ncd_Init itself.
#pragma once

#include <tcl.h>

#define NCD_EXPORT __attribute__((visibility("default")))

extern "C" {
// TCL_OK, or TCL_ERROR with a message in the interpreter's result when the
// Tcl version is too old or the shared design component cannot be loaded.
NCD_EXPORT int Ncd_Init(Tcl_Interp* interp);
// Makes Ctrl-C (SIGINT) stop the searches running in the process (their
// commands fail with NCD STOPPED). When no search runs it acts as before,
// or, with `ignoreWhenIdle`, does nothing.
NCD_EXPORT void Ncd_InstallInterruptHandler(int ignoreWhenIdle);
// Asks every command of the package running in the process to stop (they
// fail with NCD STOPPED); answers how many were running. Safe in a signal
// handler: a shell with a SIGINT handler of its own calls it there.
NCD_EXPORT int Ncd_StopCommands(void);
}

// The characters that end the word ncd::complete completes (a shell's line
// editor breaks words at the same ones).
#define NCD_COMPLETION_BREAKS " \t\n[{\";(!"
