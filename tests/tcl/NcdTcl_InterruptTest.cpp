// Ctrl-C while a search runs: the search stops at its next object, its
// command fails with NCD STOPPED, and the interpreter goes on working.
#include <gtest/gtest.h>
#include <signal.h>
#include <tcl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <thread>

#include "NcdGen.h"
#include "NcdTcl.h"
#include "TestDesigns.h"

namespace {

std::string Eval(Tcl_Interp* interp, const char* script, int* code = nullptr) {
  const int result = Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL);
  if (code) *code = result;
  return Tcl_GetStringResult(interp);
}

TEST(TclInterrupt, CtrlCStopsARunningSearchAndTheInterpreterGoesOn) {
  ncdtest::TempDir dir;
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{20000, 3}, text);
  const std::string file = dir.Write("big.ncd.json", text.str());
  Ncd_InstallInterruptHandler(1);  // a signal between searches is ignored
  Tcl_Interp* interp = Tcl_CreateInterp();
  ASSERT_EQ(Ncd_Init(interp), TCL_OK);
  Tcl_SetVar(interp, "file", file.c_str(), TCL_GLOBAL_ONLY);
  const std::string all = Eval(interp, "ncd::open_design $file; llength [ncd::get_blocks]");

  // Signals keep coming while the searches run, until one was stopped.
  std::atomic<bool> done{false};
  std::thread sender([&done] {
    while (!done.load()) {
      kill(getpid(), SIGINT);
      std::this_thread::sleep_for(std::chrono::microseconds(300));
    }
  });
  int stopped = 0;
  std::string message, errorCode;
  for (int attempt = 0; attempt < 200 && !stopped; ++attempt) {
    int code = TCL_OK;
    message = Eval(interp, "ncd::get_blocks -quiet -hierarchical -regexp {^.*x.*y$}", &code);
    if (code != TCL_ERROR) continue;
    ++stopped;
    errorCode = Eval(interp, "set ::errorCode");
  }
  done.store(true);
  sender.join();
  ASSERT_EQ(stopped, 1) << message;
  EXPECT_EQ(message, "search stopped");
  EXPECT_EQ(errorCode, "NCD STOPPED stopped");
  // The stop flag is gone with the search: the next one runs to its end.
  EXPECT_EQ(Eval(interp, "llength [ncd::get_blocks]"), all);
  EXPECT_NE(all, "0");
  Tcl_DeleteInterp(interp);
}

}  // namespace
