// bench_tcl_queries: the `ncd` package's object commands from Tcl, on a
// generated design, each next to its floor measured in the same run.
//
//   GetBlocksGlob      `ncd::get_blocks -quiet *c1*` (ns per visited block): a
//                      path of one level, so the top block's children only;
//   GetBlocksHierGlob  `ncd::get_blocks -hierarchical -quiet *c1*`: the blocks
//                      named *c1* at every level (what *c1* answered before
//                      the path rules; compare with an older build's GetBlocksGlob);
//   BareFnmatchBlocks  fnmatch over the same block names: the floor
//                      (goal: GetBlocksGlob within 5 times);
//   GetNetsAll         `ncd::get_nets *` (ns per net; goal: under 500);
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
// The design has about 100,000 blocks, or 1,000,000 with NCD_BENCH_LARGE=1.
// The package finds the component in build/lib (CIT_COMPONENT_PATH).
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <malloc.h>
#include <tcl.h>

#include <chrono>
#include <cstdlib>
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
  std::size_t blocks = 0;
  std::size_t nets = 0;

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
  }

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

// Times `pass` per iteration; reports ns per object.
template <class Pass>
void Timed(benchmark::State& state, std::size_t objects, Pass pass) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    pass(subject);
    timer.Add(state, start);
  }
  timer.Report(state, objects);
}

void Script(benchmark::State& state, std::size_t objects, const char* script) {
  Timed(state, objects, [&state, script](Subject& s) {
    if (s.Eval(script) != TCL_OK) state.SkipWithError(Tcl_GetStringResult(s.interp));
    Tcl_ResetResult(s.interp);
  });
}

void BM_GetBlocksGlob(benchmark::State& state) {
  Script(state, TheSubject().blocks, "ncd::get_blocks -quiet *c1*");
}
void BM_GetBlocksHierGlob(benchmark::State& state) {
  Script(state, TheSubject().blocks, "ncd::get_blocks -hierarchical -quiet *c1*");
}
void BM_ReportDesign(benchmark::State& state) {
  Script(state, 1, "ncd::report_design");
}
void BM_ReportDesignHierarchy(benchmark::State& state) {
  Script(state, 1, "ncd::report_design -hierarchy");
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
void BM_GetNetsAll(benchmark::State& state) {
  Script(state, TheSubject().nets, "ncd::get_nets *");
}
void BM_GetPropertyFullName(benchmark::State& state) {
  Script(state, TheSubject().blocks, "ncd::get_property full_name $blocks");
}
void BM_FilterFanout(benchmark::State& state) {
  Script(state, TheSubject().nets, "ncd::get_nets -quiet -filter {fanout > 2}");
}

// A path prefix of three characters: the children of a top-level module.
constexpr const char* kPrefix = "u2/";

void BM_CompletePrefix(benchmark::State& state) {
  Script(state, 1, (std::string("ncd::complete {get_blocks ") + kPrefix + "}").c_str());
}
void BM_SearchPrefix(benchmark::State& state) {
  Script(state, 1, (std::string("ncd::get_blocks -quiet ") + kPrefix + "*").c_str());
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
BENCHMARK(BM_GetBlocksGlob)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetBlocksHierGlob)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportDesign)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReportDesignHierarchy)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetNetsAll)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetPropertyFullName)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FilterFanout)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_HoldBlockList)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CompletePrefix)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchPrefix)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
  Tcl_FindExecutable(argv[0]);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
