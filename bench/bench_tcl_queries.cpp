// bench_tcl_queries: the `ncd` package's object commands from Tcl, on a
// generated design, each next to its floor measured in the same run.
//
//   GetBlocksGlob      `ncd::get_blocks -quiet *c1*` (ns per visited block): a
//                      path of one level, so the top block's children only;
//   GetBlocksHierGlob  `ncd::get_blocks -hierarchical -quiet *c1*`: the blocks
//                      named *c1* at every level (what *c1* answered before
//                      the path rules; compare with an older build's GetBlocksGlob);
//                      each pass is followed by LsearchFullNames' and
//                      BareFnmatchCFullNames' work, timed apart: times_lsearch
//                      (goal: at most 1) and times_fnmatch_c are its CPU time
//                      over theirs in the same iterations;
//   BareFnmatchBlocks  fnmatch over the same block names: the floor
//                      (goal: GetBlocksGlob within 5 times);
//   GetNetsAll         `ncd::get_nets *` (ns per net in the design; goal:
//                      under 500), a walk of the view's nets, next to
//                      GetNetsBySearch, the component's search of the same
//                      top-level nets (`-regexp {[^/]*}`), how a glob was
//                      answered before;
//   GetPropertyFullName `ncd::get_property full_name $blocks` over all
//                      blocks (ns per object; goal: under 1000);
//   FilterFanout       `ncd::get_nets -filter {fanout > 2}` (ns per net);
//   ReportDesign       `ncd::report_design` (ms per report; goal: under 2 s at a
//                      million blocks); ReportDesignHierarchy with -hierarchy;
//   HoldBlockList      the heap an object value held in a Tcl list costs
//                      (bytes_per_value: Tcl_Obj, list slot and collectable);
//   CompletePrefix     the shell's Tab on a 3-character path prefix,
//                      `ncd::complete {get_blocks u2/}` (ms per Tab; goal:
//                      under 50); it lists the children of u2 only;
//   SearchPrefix       `ncd::get_blocks -quiet u2/*`: what a Tab that
//                      searched the design would cost, the yardstick.
//   LsearchFullNames   `lsearch -all -glob $fullNames *c1*` over the blocks'
//                      full names (ns per name), and LsearchNames over their
//                      names: GetBlocksHierGlob's yardsticks (goal: at most
//                      LsearchFullNames); BareFnmatchCFullNames fnmatch over
//                      the full names in the C locale;
//   ExactBlocks        `ncd::get_blocks <path>` (us per lookup, 1000 paths;
//                      goal: under 10), next to SearchOnePath, the search of
//                      one path (`-regexp ***=<path>`, ms), what a lookup
//                      cost before the name index; ExactNets, SearchOneNet
//                      the same for nets;
//   PropertyOfNames    `ncd::get_property level <plain name>` (us per name;
//                      goal: under 10), next to PropertyOfObjects on the
//                      same blocks as object values;
//   PathBelowModule    `ncd::get_blocks u2/*` (ms), next to ModuleBySearch,
//                      the same blocks by a search of the whole design
//                      (goal: under 2%);
//   GetPinsAll         `ncd::get_pins` (ns per pin; goal: under 300), next to
//                      PinsOfBlocks, every block's "Pins" read in turn (what
//                      get_pins did before).
// Rows report wall time (ns_per_object) and the thread's CPU time
// (cpu_ns_per_object): trust the CPU figures on a busy machine.
// The design has about 100,000 blocks, or 1,000,000 with NCD_BENCH_LARGE=1.
// The package finds the component in build/lib (CIT_COMPONENT_PATH).
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <malloc.h>
#include <tcl.h>

#include <clocale>
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "BenchDesigns.h"
#include "BenchPassTimer.h"
#include "NcdTcl.h"

namespace {

using bench::Clock;
using bench::PassTimer;
constexpr const char* kBlockGlob = "*c1*";

std::uint64_t DesignBlocks() {
  const char* large = std::getenv("NCD_BENCH_LARGE");
  return large && *large && *large != '0' ? 1000000 : 100000;
}

// One interpreter with the design open and its objects listed in ::blocks
// and ::nets; the block names for the floor.
struct Subject {
  Tcl_Interp* interp = nullptr;
  std::string error;
  // The block names one after the other, each ended by a null: the floor
  // reads them as densely as a design's own name storage.
  std::string blockNames;
  std::vector<std::size_t> nameOffsets;
  std::string fullNames;  // the same for full names
  std::vector<std::size_t> fullOffsets;
  std::size_t blocks = 0;
  std::size_t nets = 0;
  std::size_t pins = 0;

  Subject() {
    const std::string path = DesignPath(DesignBlocks(), error);
    if (path.empty()) return;
    interp = Tcl_CreateInterp();
    if (Ncd_Init(interp) != TCL_OK) {
      Fail();
      return;
    }
    Tcl_SetVar(interp, "file", path.c_str(), TCL_GLOBAL_ONLY);
    if (Eval("ncd::open_design $file; set blocks [ncd::get_blocks]; set nets [ncd::get_nets]") !=
        TCL_OK) {
      Fail();
      return;
    }
    blocks = Count("blocks");
    nets = Count("nets");
    if (Eval("lmap b $blocks {ncd::get_property name $b}") != TCL_OK) {
      Fail();
      return;
    }
    int count = 0;
    Tcl_Obj** names = nullptr;
    Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(interp), &count, &names);
    for (int i = 0; i < count; ++i) {
      nameOffsets.push_back(blockNames.size());
      blockNames += Tcl_GetString(names[i]);
      blockNames += '\0';
    }
    Tcl_SetVar2Ex(interp, "names", nullptr, Tcl_GetObjResult(interp), TCL_GLOBAL_ONLY);
    if (Eval(kLists) != TCL_OK) {
      Fail();
      return;
    }
    pins = Count("pinList");
    Tcl_Obj* full = Tcl_GetVar2Ex(interp, "fullNames", nullptr, TCL_GLOBAL_ONLY);
    Tcl_ListObjGetElements(nullptr, full, &count, &names);
    for (int i = 0; i < count; ++i) {
      fullOffsets.push_back(fullNames.size());
      fullNames += Tcl_GetString(names[i]);
      fullNames += '\0';
    }
  }

  // Full names, 1000 paths of blocks and nets for the lookups (quoted as
  // exact patterns), and the pins. Names are read as properties: a string
  // operation would make the listed objects plain names. The lookups are
  // made once here: the first lookup of a kind builds its table of the
  // name index.
  static constexpr const char* kLists = R"tcl(
    set fullNames [ncd::get_property full_name $blocks]
    set half [expr {[llength $blocks] / 2}]
    set someBlocks [lrange $blocks $half [expr {$half + 999}]]
    set someNames [ncd::get_property full_name $someBlocks]
    set somePaths [lmap n $someNames {string map {* \\* ? \\?} $n}]
    set someNets [lmap n [ncd::get_property full_name [lrange $nets 0 999]] {
      string map {* \\* ? \\?} $n
    }]
    set pinList [ncd::get_pins]
    lsearch -all -glob $fullNames *c1*
    lsearch -all -glob $names *c1*
    foreach p $somePaths { ncd::get_blocks -- $p }
    foreach n $someNets { ncd::get_nets -- $n }
    foreach n $someNames { ncd::get_property level $n }
  )tcl";

  int Eval(const char* script) { return Tcl_EvalEx(interp, script, -1, TCL_EVAL_GLOBAL); }
  std::size_t Count(const char* list) {
    int length = 0;
    Tcl_ListObjLength(nullptr, Tcl_GetVar2Ex(interp, list, nullptr, TCL_GLOBAL_ONLY), &length);
    return static_cast<std::size_t>(length);
  }
  void Fail() { error = Tcl_GetStringResult(interp); }
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

double CpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Times `pass` per iteration; reports ns per object, in wall and CPU time.
template <class Pass>
void Timed(benchmark::State& state, std::size_t objects, Pass pass) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer timer;
  double cpu = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    pass(subject);
    cpu += CpuSeconds() - cpuStart;
    timer.Add(state, start);
  }
  timer.Report(state, objects);
  if (timer.passes && objects)
    state.counters["cpu_ns_per_object"] = cpu * 1e9 / static_cast<double>(timer.passes * objects);
}

void Script(benchmark::State& state, std::size_t objects, const char* script) {
  Timed(state, objects, [&state, script](Subject& s) {
    if (s.Eval(script) != TCL_OK) state.SkipWithError(Tcl_GetStringResult(s.interp));
    Tcl_ResetResult(s.interp);
  });
}

// fnmatch over the full names in the C locale, where it matches bytes.
std::size_t FnmatchFullNamesC(const Subject& s) {
  locale_t c = newlocale(LC_ALL_MASK, "C", nullptr);
  locale_t before = uselocale(c);
  std::size_t matches = 0;
  for (std::size_t offset : s.fullOffsets)
    matches += fnmatch(kBlockGlob, s.fullNames.data() + offset, 0) == 0;
  uselocale(before);
  freelocale(c);
  return matches;
}

// Each pass is followed by its yardsticks, timed apart in CPU time:
// lsearch over the full names and fnmatch over them in the C locale;
// times_lsearch and times_fnmatch_c are the search's CPU time over theirs.
void BM_GetBlocksHierGlob(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  PassTimer timer;
  double search = 0;
  double lsearch = 0;
  double fnmatchC = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    if (s.Eval("ncd::get_blocks -hierarchical -quiet *c1*") != TCL_OK)
      state.SkipWithError(Tcl_GetStringResult(s.interp));
    const double searched = CpuSeconds();
    timer.Add(state, start);
    Tcl_ResetResult(s.interp);
    const double listStart = CpuSeconds();
    s.Eval("lsearch -all -glob $fullNames *c1*");
    const double listed = CpuSeconds();
    Tcl_ResetResult(s.interp);
    benchmark::DoNotOptimize(FnmatchFullNamesC(s));
    fnmatchC += CpuSeconds() - listed;
    lsearch += listed - listStart;
    search += searched - cpuStart;
  }
  timer.Report(state, s.blocks);
  if (timer.passes && lsearch > 0 && fnmatchC > 0) {
    state.counters["cpu_ns_per_object"] =
        search * 1e9 / static_cast<double>(timer.passes * s.blocks);
    state.counters["times_lsearch"] = search / lsearch;
    state.counters["times_fnmatch_c"] = search / fnmatchC;
  }
}
void BM_BareFnmatchBlocks(benchmark::State& state) {
  Timed(state, TheSubject().blocks, [](Subject& s) {
    std::size_t matches = 0;
    const char* base = s.blockNames.data();
    for (std::size_t offset : s.nameOffsets)
      matches += fnmatch(kBlockGlob, base + offset, 0) == 0;
    benchmark::DoNotOptimize(matches);
  });
}

void BM_BareFnmatchCFullNames(benchmark::State& state) {
  Timed(state, TheSubject().blocks,
        [](Subject& s) { benchmark::DoNotOptimize(FnmatchFullNamesC(s)); });
}


// The benchmarks that time one script: per object of a kind of the design
// (`count`), else per `per` objects, in the order the header lists them.
struct ScriptRow {
  const char* name;
  std::size_t Subject::*count;
  std::size_t per;
  const char* script;
  int iterations;  // 0: as many as the library wants
};
const ScriptRow kScripts[] = {
    {"GetBlocksGlob", &Subject::blocks, 0, "ncd::get_blocks -quiet *c1*", 0},
    {"ReportDesign", nullptr, 1, "ncd::report_design", 0},
    {"ReportDesignHierarchy", nullptr, 1, "ncd::report_design -hierarchy", 0},
    {"GetNetsAll", &Subject::nets, 0, "ncd::get_nets *", 0},
    {"GetNetsBySearch", &Subject::nets, 0, "ncd::get_nets -regexp {[^/]*}", 0},
    {"GetPropertyFullName", &Subject::blocks, 0, "ncd::get_property full_name $blocks", 0},
    {"FilterFanout", &Subject::nets, 0, "ncd::get_nets -quiet -filter {fanout > 2}", 0},
    {"LsearchFullNames", &Subject::blocks, 0, "lsearch -all -glob $fullNames *c1*", 0},
    {"LsearchNames", &Subject::blocks, 0, "lsearch -all -glob $names *c1*", 0},
    {"ExactBlocks", nullptr, 1000, "foreach p $somePaths { ncd::get_blocks -- $p }", 0},
    {"SearchOnePath", nullptr, 1, "ncd::get_blocks -regexp -- ***=[lindex $someNames 0]", 2},
    {"ExactNets", nullptr, 1000, "foreach n $someNets { ncd::get_nets -- $n }", 0},
    {"SearchOneNet", nullptr, 1,
     "ncd::get_nets -regexp -- ***=[ncd::get_property full_name [lindex $nets 0]]", 2},
    {"PropertyOfNames", nullptr, 1000, "foreach n $someNames { ncd::get_property level $n }", 0},
    {"PropertyOfObjects", nullptr, 1000, "foreach b $someBlocks { ncd::get_property level $b }",
     0},
    {"PathBelowModule", nullptr, 1, "ncd::get_blocks -quiet u2/*", 0},
    {"ModuleBySearch", nullptr, 1, "ncd::get_blocks -quiet -regexp {u2/[^/]*}", 2},
    {"GetPinsAll", &Subject::pins, 0, "ncd::get_pins", 3},
    {"PinsOfBlocks", &Subject::pins, 0, "foreach b $blocks { ncd::get_property pins $b }", 1},
    // A path prefix of three characters: the children of a top-level module.
    {"CompletePrefix", nullptr, 1, "ncd::complete {get_blocks u2/}", 0},
    {"SearchPrefix", nullptr, 1, "ncd::get_blocks -quiet u2/*", 3},
};

void RegisterScripts() {
  for (const ScriptRow& row : kScripts) {
    auto* b = benchmark::RegisterBenchmark(
        ("BM_" + std::string(row.name)).c_str(), [&row](benchmark::State& state) {
          Subject& subject = TheSubject();
          Script(state, row.count ? subject.*row.count : row.per, row.script);
        });
    b->UseManualTime()->Unit(benchmark::kMillisecond);
    if (row.iterations) b->Iterations(row.iterations);
  }
}

void BM_HoldBlockList(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  double bytes = 0;
  for (auto _ : state) {
    s.Eval("unset -nocomplain held");
    const std::size_t before = mallinfo2().uordblks;
    s.Eval("set held [ncd::get_blocks]");
    Tcl_ResetResult(s.interp);
    bytes = static_cast<double>(mallinfo2().uordblks - before) / static_cast<double>(s.blocks);
    s.Eval("unset held");
  }
  state.counters["bytes_per_value"] = bytes;
}

}  // namespace

BENCHMARK(BM_BareFnmatchBlocks)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetBlocksHierGlob)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoldBlockList)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareFnmatchCFullNames)->UseManualTime()->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  Tcl_FindExecutable(argv[0]);
  RegisterScripts();
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
