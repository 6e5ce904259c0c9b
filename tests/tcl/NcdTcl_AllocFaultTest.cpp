// Opening and closing designs from Tcl with each C++ allocation (package,
// manager, reader, loader) failing in turn: no crash, no leak, an error
// that says it ran out of memory, and the same answers as before once
// allocation succeeds again.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>

#include "AllocFault.h"
#include "NcdTcl.h"
#include "Port_Thr.h"
#include "TestDesigns.h"

namespace {

namespace AllocFault = ncdtest::AllocFault;

// Each step's return code, result and error code.
constexpr const char* kScenario = R"tcl(
  proc step {script} {
    set code [catch {uplevel #0 $script} result options]
    list $code $result [expr {$code ? [dict get $options -errorcode] : {}}]
  }
  list [step {set h [ncd::open_design $good]}] \
       [step {ncd::design_info $h}] \
       [step {ncd::close_design $h}] \
       [step {ncd::open_design $bad}] \
       [step {set h [ncd::open_design -owner other $good]}] \
       [step {ncd::close_design $h}] \
       [step {set h [ncd::open_design -async $slow]}] \
       [step {ncd::close_design $h}] \
       [step {ncd::designs}] \
       [step {set kept [ncd::open_design $good]}] \
       [step {set pending [ncd::open_design -async -command {set done} $slow]}]
)tcl";

class TclAllocFault : public ::testing::Test {
protected:
  // The scenario's answers in a new interpreter, with the nth allocation
  // of the scenario failing (0: none). The scenario leaves a design open
  // and a load pending; the interpreter's deletion (under the same
  // failure) gives them up. Another interpreter then frees what the manager
  // keeps unused and answers the dump.
  std::string Run(std::uint64_t n) {
    Tcl_Interp* interp = Tcl_CreateInterp();
    EXPECT_EQ(Ncd_Init(interp), TCL_OK) << Tcl_GetStringResult(interp);
    Tcl_SetVar(interp, "good", good.c_str(), TCL_GLOBAL_ONLY);
    Tcl_SetVar(interp, "bad", bad.c_str(), TCL_GLOBAL_ONLY);
    Tcl_SetVar(interp, "slow", slow.c_str(), TCL_GLOBAL_ONLY);
    int code;
    Tcl_Obj* answers;
    {
      AllocFault::Scope failing(n);
      code = Tcl_Eval(interp, kScenario);
      answers = Tcl_GetObjResult(interp);
      Tcl_IncrRefCount(answers);
      Tcl_DeleteInterp(interp);
    }
    std::string result = Tcl_GetString(answers);
    Tcl_DecrRefCount(answers);
    if (code != TCL_OK) result = "scenario failed: " + result;
    Tcl_Interp* after = Tcl_CreateInterp();
    EXPECT_EQ(Ncd_Init(after), TCL_OK);
    dump = Tcl_Eval(after, "ncd::purge_unused; ncd::dump") == TCL_OK ? Tcl_GetStringResult(after) : "";
    Tcl_DeleteInterp(after);
    return result;
  }

  static bool SaysOutOfMemory(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text.find("out of memory") != std::string::npos ||
           text.find("unable to create a thread") != std::string::npos;
  }

  ncdtest::TempDir dir;
  std::string good = std::string(NCD_EXAMPLES) + "/demo.ncd.json";
  std::string bad = dir.Write("bad.ncd", "{\"format\": \"ncd-json\",");
  std::string slow = dir.Write("slow.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 600000)"));
  std::string dump;
};

TEST_F(TclAllocFault, OpenAndCloseWithEveryAllocationFailingInTurn) {
  const std::string empty = "m_refFiles{} m_loadFiles{} m_unusedFiles{}";
  const std::string reference = Run(0);
  ASSERT_EQ(Run(0), reference);  // whatever a first run keeps for good is made by now
  ASSERT_EQ(dump, empty);
  const std::uint64_t total = AllocFault::CountOf([&] { Run(0); });
  std::uint64_t differed = 0;
  for (std::uint64_t n = 1; n <= total; n += AllocFault::Stride()) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    std::string().swap(dump);
    const std::int64_t blocks = AllocFault::Live();
    {
      const std::string result = Run(n);
      if (result != reference) {
        ++differed;
        EXPECT_TRUE(SaysOutOfMemory(result)) << result;
      }
      EXPECT_EQ(dump, empty);
      std::string().swap(dump);
    }
    EXPECT_EQ(AllocFault::Live(), blocks);
    EXPECT_EQ(Run(0), reference);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(differed, 0u);
  std::printf("Tcl open and close: %llu allocations, %llu runs answered differently\n",
              (unsigned long long)total, (unsigned long long)differed);
}

// A read whose thread cannot be made fails the open at once, with the
// thread library's message, and nothing stays filed.
TEST_F(TclAllocFault, OpenFailsAtOnceWhenNoThreadCanBeMade) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  ASSERT_EQ(Ncd_Init(interp), TCL_OK);
  std::string other = dir.Write("other.ncd", ncdtest::MinimalDesign());
  Tcl_SetVar(interp, "other", other.c_str(), TCL_GLOBAL_ONLY);
  Port_ThrFaultScope faults;
  Port_ThrFault::Fail(Port_ThrFault::Op::Create, Port_ThrException::CreateFailed, 2);
  ASSERT_EQ(Tcl_Eval(interp, R"tcl(
    list [catch {ncd::open_design $other} message options] \
         [string match "$other: Unable to create a thread at UtilI_ThreadT:*" $message] \
         [dict get $options -errorcode] \
         [ncd::load_status [set h [ncd::open_design -async $other]]] [ncd::close_design $h] [ncd::dump]
  )tcl"),
            TCL_OK);
  EXPECT_EQ(std::string(Tcl_GetStringResult(interp)),
            "1 1 {NCD LOAD " + other + "} failed {} {m_refFiles{} m_loadFiles{} m_unusedFiles{}}");
  Tcl_DeleteInterp(interp);
}

}  // namespace
