// ncdsh: tclsh with the `ncd` package loaded and its commands imported
// into the global namespace (get_blocks works as typed; the package stays
// in ::ncd). On a terminal without arguments it is an interactive shell
// with line editing, history and completion (NcdSh_Shell.h); `-c script`
// runs a script; otherwise it runs the script file named first, with the
// other arguments in ::argv, or reads commands from standard input, as
// tclsh does. Ctrl-C stops a running command of the package (it fails with
// NCD STOPPED); at other times in a script it ends the shell, as in tclsh.
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "NcdSh_Shell.h"
#include "NcdTcl.h"

namespace {

constexpr const char* kUsage =
    "usage: ncdsh ?file? ?arg ...?\n"
    "       ncdsh -c script ?arg ...?\n"
    "       ncdsh --help\n"
    "A Tcl shell with the ncd package loaded and its commands imported (get_blocks,\n"
    "get_property, help, ...). Without a file, on a terminal, an interactive shell:\n"
    "line editing, history in ~/.ncdsh_history, Tab completes commands, options,\n"
    "property and object names; Ctrl-C stops a command or clears the line; Ctrl-D\n"
    "leaves. Without a terminal it reads commands from standard input. With a file\n"
    "it runs that script, with the arguments in ::argv; -c runs the script given.\n"
    "~/.ncdshrc is sourced by the interactive shell.\n";

int AppInit(Tcl_Interp* interp) {
  if (Tcl_Init(interp) == TCL_ERROR) return TCL_ERROR;
  if (Ncd_Init(interp) == TCL_ERROR) return TCL_ERROR;
  if (Tcl_Eval(interp, "namespace eval :: {namespace import ::ncd::*}") == TCL_ERROR)
    return TCL_ERROR;
  Ncd_InstallInterruptHandler(0);  // Ctrl-C stops a running command
  // Lets `load {} Ncd` bring the package into other interpreters.
  Tcl_StaticPackage(interp, "Ncd", Ncd_Init, nullptr);
  Tcl_SetVar(interp, "tcl_rcFileName", "~/.ncdshrc", TCL_GLOBAL_ONLY);
  return TCL_OK;
}

// An interpreter set up as Tcl_Main sets it up, with `args` in ::argv.
Tcl_Interp* MakeInterp(const char* argv0, int argc, char** args, bool interactive) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  Tcl_Obj* argv = Tcl_NewListObj(0, nullptr);
  for (int i = 0; i < argc; ++i)
    Tcl_ListObjAppendElement(nullptr, argv, Tcl_NewStringObj(args[i], -1));
  Tcl_SetVar2Ex(interp, "argv", nullptr, argv, TCL_GLOBAL_ONLY);
  Tcl_SetVar2Ex(interp, "argc", nullptr, Tcl_NewIntObj(argc), TCL_GLOBAL_ONLY);
  Tcl_SetVar(interp, "argv0", argv0, TCL_GLOBAL_ONLY);
  Tcl_SetVar(interp, "tcl_interactive", interactive ? "1" : "0", TCL_GLOBAL_ONLY);
  if (AppInit(interp) != TCL_OK) {
    std::fprintf(stderr, "ncdsh: %s\n", Tcl_GetStringResult(interp));
    Tcl_Exit(1);
  }
  return interp;
}

// ncdsh -c script ?arg ...?: the script's result, if any, on standard output.
int RunScript(const char* argv0, const char* script, int argc, char** args) {
  Tcl_Interp* interp = MakeInterp(argv0, argc, args, false);
  if (Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL) != TCL_OK) {
    std::fprintf(stderr, "%s\n",
                 Tcl_GetVar2(interp, "errorInfo", nullptr, TCL_GLOBAL_ONLY) ?: "error");
    return 1;
  }
  if (*Tcl_GetStringResult(interp)) std::printf("%s\n", Tcl_GetStringResult(interp));
  return 0;
}

int RunInteractive(const char* argv0) {
  Tcl_Interp* interp = MakeInterp(argv0, 0, nullptr, true);
  Tcl_SourceRCFile(interp);
  return NcdSh::Shell::Run(interp);
}

}  // namespace

int main(int argc, char** argv) {
  Tcl_FindExecutable(argv[0]);
  if (argc > 1 && (!std::strcmp(argv[1], "--help") || !std::strcmp(argv[1], "-help"))) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 1 && !std::strcmp(argv[1], "-c")) {
    if (argc < 3) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    Tcl_Exit(RunScript(argv[0], argv[2], argc - 3, argv + 3));
  }
  if (argc == 1 && isatty(STDIN_FILENO) && isatty(STDOUT_FILENO)) Tcl_Exit(RunInteractive(argv[0]));
  Tcl_Main(argc, argv, AppInit);
  return 0;  // Tcl_Main exits itself
}
