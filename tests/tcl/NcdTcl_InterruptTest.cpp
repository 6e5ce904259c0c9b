// Ctrl-C while a command of the package runs: the command stops (searches
// at their next object, the loops of matching, filtering, relations and
// device objects at their next object, a blocking open while it waits for
// the read), fails with NCD STOPPED, and the
// interpreter goes on working.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <tcl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <sstream>
#include <thread>

#include "NcdGen.h"
#include "NcdTcl.h"
#include "TestDesigns.h"

namespace {

std::string Eval(Tcl_Interp* interp, const std::string& script, int* code = nullptr) {
  const int result = Tcl_EvalEx(interp, script.c_str(), -1, TCL_EVAL_GLOBAL);
  if (code) *code = result;
  return Tcl_GetStringResult(interp);
}

// Sends SIGINT to the process every 300 us while it lives. Its end waits a
// while with no command running, so that a signal still on its way (the
// thread sanitizer holds signals back until the thread next calls into
// it) is handled while idle, not by the next command.
class Interrupter {
 public:
  Interrupter()
      : m_thread([this] {
          while (!m_done.load()) {
            kill(getpid(), SIGINT);
            std::this_thread::sleep_for(std::chrono::microseconds(300));
          }
        }) {}
  ~Interrupter() {
    m_done.store(true);
    m_thread.join();
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }

 private:
  std::atomic<bool> m_done{false};
  std::thread m_thread;
};

class TclInterrupt : public ::testing::TestWithParam<const char*> {
 protected:
  static void SetUpTestSuite() {
    s_dir = new ncdtest::TempDir();
    std::ostringstream text;
    NcdGen::WriteDesign(NcdGen::Options{8000, 3}, text);
    s_file = s_dir->Write("big.ncd.json", text.str());
    Ncd_InstallInterruptHandler(1);  // a signal between commands is ignored
  }
  static void TearDownTestSuite() { delete s_dir; }

  static ncdtest::TempDir* s_dir;
  static std::string s_file;
};

ncdtest::TempDir* TclInterrupt::s_dir = nullptr;
std::string TclInterrupt::s_file;

// Each long command is stopped within a bounded number of tries, and runs
// to its full answer again once the interrupts end.
TEST_P(TclInterrupt, CtrlCStopsTheCommandAndTheInterpreterGoesOn) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  ASSERT_EQ(Ncd_Init(interp), TCL_OK);
  Tcl_SetVar(interp, "file", s_file.c_str(), TCL_GLOBAL_ONLY);
  Eval(interp, "ncd::open_design $file");
  const std::string command = std::string("llength [") + GetParam() + "]";
  int code = TCL_OK;
  const std::string whole = Eval(interp, command, &code);
  ASSERT_EQ(code, TCL_OK) << whole;

  constexpr int kTries = 200;
  int tries = 0;
  std::string message, errorCode;
  {
    Interrupter interrupts;
    for (; tries < kTries && code != TCL_ERROR; ++tries)
      message = Eval(interp, command, &code);
    errorCode = Eval(interp, "set ::errorCode");
  }
  ASSERT_EQ(code, TCL_ERROR) << GetParam() << " was not stopped in " << kTries << " tries";
  EXPECT_EQ(message, "command stopped");
  EXPECT_EQ(errorCode, "NCD STOPPED stopped");
  // The stop went with the command: the next one runs to its end.
  EXPECT_EQ(Eval(interp, command, &code), whole);
  Tcl_DeleteInterp(interp);
}

INSTANTIATE_TEST_SUITE_P(LongCommands, TclInterrupt,
                         ::testing::Values(
                             // the search service's walk
                             "ncd::get_blocks -quiet -hierarchical -regexp {^.*x.*y$}",
                             // several patterns, matched by the package
                             "ncd::get_blocks -quiet -hierarchical {*x*y *y*x}",
                             // -filter evaluation
                             "ncd::get_blocks -quiet -filter {name =~ *x*y || level == Bel}",
                             // the matching phases of pins and signals
                             "ncd::get_pins -quiet -hierarchical -regexp {x.*y}",
                             "ncd::get_signals -quiet -hierarchical *x*y",
                             "ncd::get_sites -quiet -regexp {.*X1.*Y2.*}",
                             // relations
                             "ncd::get_pins -quiet -of_objects [ncd::get_blocks]",
                             "ncd::get_blocks -quiet -of_objects [ncd::get_nets]",
                             // reports
                             "ncd::report_design -hierarchy",
                             "ncd::report_net [ncd::get_nets -limit 2000]"));

// A blocking open of a file whose read would last a minute is stopped; its
// request goes with it and no handle is left.
TEST(TclInterruptOpen, CtrlCStopsABlockingOpen) {
  ncdtest::TempDir dir;
  const std::string file =
      dir.Write("held.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1",
                            "faults": {"load_delay_ms": 60000}, "top": {"name": "t", "level": 0}})");
  Ncd_InstallInterruptHandler(1);
  Tcl_Interp* interp = Tcl_CreateInterp();
  ASSERT_EQ(Ncd_Init(interp), TCL_OK);
  Tcl_SetVar(interp, "file", file.c_str(), TCL_GLOBAL_ONLY);
  int code = TCL_OK;
  std::string message;
  {
    Interrupter interrupts;
    message = Eval(interp, "ncd::open_design $file", &code);
  }
  EXPECT_EQ(code, TCL_ERROR);
  EXPECT_EQ(message, "command stopped");
  EXPECT_EQ(Eval(interp, "ncd::designs"), "");
  std::string registries;
  for (int i = 0; i < 200 && registries.find("m_loadFiles{}") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    registries = Eval(interp, "ncd::dump");
  }
  EXPECT_NE(registries.find("m_loadFiles{}"), std::string::npos) << registries;
  Tcl_DeleteInterp(interp);
}

// A regular expression with back-references can take hours on one name
// (Tcl's engine tries every split among the groups; nothing inside it can
// be stopped): the match runs in a child process, which Ctrl-C ends.
TEST(TclInterruptSlowMatch, CtrlCStopsOneMatchThatWouldRunForHours) {
  ncdtest::TempDir dir;
  const std::string file = dir.Write(
      "long.ncd.json",
      R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1", "top": {"name": "t",
          "level": 0, "blocks": [{"name": ")" +
          std::string(41, 'a') + R"(b", "level": 3}, {"name": "abab", "level": 3}]}})");
  Ncd_InstallInterruptHandler(1);
  auto run = std::async(std::launch::async, [&file] {
    Tcl_Interp* interp = Tcl_CreateInterp();
    std::string answers = Ncd_Init(interp) == TCL_OK ? "" : "no package";
    Tcl_SetVar(interp, "file", file.c_str(), TCL_GLOBAL_ONLY);
    Eval(interp, "ncd::open_design $file");
    int code = TCL_OK;
    {
      Interrupter interrupts;
      const char* slow =
          "ncd::get_blocks -regexp {(.*)(.*)(.*)(.*)(.*)(.*)(.*)(.*)\\1\\2\\3\\4\\5\\6\\7\\8b}";
      answers += Eval(interp, slow, &code);
      answers += " " + Eval(interp, "set ::errorCode");
    }
    // The shell goes on, with back-references too.
    answers += " " + Eval(interp, "ncd::get_blocks -regexp {(ab)\\1}");
    Tcl_DeleteInterp(interp);
    Tcl_FinalizeThread();  // Tcl's data of this thread goes with it
    return answers;
  });
  if (run.wait_for(std::chrono::seconds(120)) != std::future_status::ready) {
    std::fprintf(stderr, "FAILED: a slow -regexp match was not stopped by Ctrl-C within 120 s\n");
    std::_Exit(1);  // the match cannot be ended from here
  }
  EXPECT_EQ(run.get(), "command stopped NCD STOPPED stopped abab");
  EXPECT_EQ(waitpid(-1, nullptr, WNOHANG), -1) << "a matching process was left behind";
}

}  // namespace
