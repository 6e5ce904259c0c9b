// Interpreters on several threads query one shared design at once: designs
// opened without an owner are shared by the whole process and searched
// through one search context, whose searches take turns; designs of named
// owners are searched in parallel. Every thread sees the same answers, and
// nothing stays alive afterwards.
#include <gtest/gtest.h>
#include <tcl.h>

#include <string>
#include <thread>
#include <vector>

#include "NcdTcl.h"

namespace {

constexpr const char* kQueries = R"tcl(
  set h [ncd::open_design {*}$owner $file]
  set answers {}
  for {set i 0} {$i < 40} {incr i} {
    set blocks [ncd::get_blocks -limit 20]
    set nets [ncd::get_nets -filter {fanout > 1}]
    set answers [list [llength [ncd::get_blocks]] [ncd::get_property full_name [lrange $blocks 0 3]] \
        $nets [ncd::get_property fanout $nets] [ncd::get_pins -of_objects [lindex $nets 0]] \
        [ncd::get_property level u_cnt/c0]]
  }
  ncd::close_design $h
  unset blocks nets
  set answers
)tcl";

std::string Query(const std::string& file, const std::string& owner,
                  const char* script = kQueries) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  std::string answer;
  if (Ncd_Init(interp) == TCL_OK) {
    Tcl_SetVar(interp, "file", file.c_str(), TCL_GLOBAL_ONLY);
    Tcl_SetVar(interp, "owner", owner.c_str(), TCL_GLOBAL_ONLY);
    Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL);
  }
  answer = Tcl_GetStringResult(interp);
  Tcl_DeleteInterp(interp);
  return answer;
}

// `script` on six threads at once, each in an interpreter of its own (half
// under the process's owner, the others under one each): every thread
// answers `expected`, and nothing stays alive afterwards.
void ExpectAlikeOnThreads(const std::string& file, const char* script,
                          const std::string& expected) {
  std::vector<std::string> answers(6);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < answers.size(); ++i) {
    const std::string owner = i % 2 ? "-owner t" + std::to_string(i) : "";
    threads.emplace_back([&answers, i, file, owner, script] {
      answers[i] = Query(file, owner, script);
      Tcl_FinalizeThread();  // Tcl's data of this thread
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (const std::string& answer : answers)
    EXPECT_EQ(answer, expected);
  Tcl_Interp* interp = Tcl_CreateInterp();
  ASSERT_EQ(Ncd_Init(interp), TCL_OK);
  ASSERT_EQ(Tcl_Eval(interp, "ncd::purge_unused; list [ncd::dump] [ncd::live_objects]"), TCL_OK);
  EXPECT_EQ(std::string(Tcl_GetStringResult(interp)),
            "{m_refFiles{} m_loadFiles{} m_unusedFiles{}} {collectables 0 values 0 helpers 0 "
            "patterns 0 device 0}");
  Tcl_DeleteInterp(interp);
}

TEST(TclThreads, InterpretersOnSeveralThreadsQueryOneDesign) {
  const std::string file = std::string(NCD_EXAMPLES) + "/demo.ncd.json";
  const std::string reference = Query(file, "");
  ASSERT_NE(reference.find("u_cnt/c0"), std::string::npos) << reference;
  ExpectAlikeOnThreads(file, kQueries, reference);
}

// Asynchronous opens on several threads, of one design and of a file that
// fails, given up (cancel_load, close_design) or waited for as their reads
// end on the reader threads: each callback runs once, none for a handle
// closed before, and every interpreter's deletion leaves nothing behind.
constexpr const char* kAsyncOpens = R"tcl(
  proc heard {h state} { incr ::calls($h); if {[info exists ::closed($h)]} { lappend ::late $h } }
  set late {}
  set waited {}
  for {set i 0} {$i < 24} {incr i} {
    set h [ncd::open_design {*}$owner -command heard [expr {$i % 4 ? $file : "$file.missing"}]]
    switch [expr {$i % 3}] {
      0 { if {[catch {ncd::cancel_load $h}]} { ncd::close_design $h } }
      1 { ncd::close_design $h }
      2 {
        while {![info exists calls($h)]} { vwait calls($h) }
        lappend waited [ncd::load_status $h]
        ncd::close_design $h
      }
    }
    set closed($h) 1
  }
  after 20 {set settled 1}
  vwait settled
  set many {}
  foreach {h n} [array get calls] { if {$n != 1} { lappend many $h } }
  list [lsort -unique $waited] $many $late
)tcl";

TEST(TclThreads, AsynchronousOpensEndAsTheirInterpretersComeAndGo) {
  const std::string file = std::string(NCD_EXAMPLES) + "/demo.ncd.json";
  const std::string expected = "{failed ready} {} {}";
  ASSERT_EQ(Query(file, "", kAsyncOpens), expected);
  ExpectAlikeOnThreads(file, kAsyncOpens, expected);
}

}  // namespace
