// ncdsh: tclsh with the `ncd` package loaded. Without arguments it is an
// interactive shell; otherwise it runs the script file named first, with
// the other arguments in ::argv, as tclsh does. Ctrl-C stops a running
// search (its command fails with NCD STOPPED); at other times it ends the
// shell, as in tclsh.
#include "NcdTcl.h"

namespace {

int AppInit(Tcl_Interp* interp) {
  if (Tcl_Init(interp) == TCL_ERROR) return TCL_ERROR;
  if (Ncd_Init(interp) == TCL_ERROR) return TCL_ERROR;
  Ncd_InstallInterruptHandler(0);  // Ctrl-C stops a running search
  // Lets `load {} Ncd` bring the package into other interpreters.
  Tcl_StaticPackage(interp, "Ncd", Ncd_Init, nullptr);
  Tcl_SetVar(interp, "tcl_rcFileName", "~/.ncdshrc", TCL_GLOBAL_ONLY);
  return TCL_OK;
}

}  // namespace

int main(int argc, char** argv) {
  Tcl_Main(argc, argv, AppInit);
  return 0;  // Tcl_Main exits itself
}
