// bench_index: the design database's name index (Xdm_ViewIndex) on a
// generated design, each row next to its floor measured in the same run.
//
//   Build/<kind>      building one kind's table on a fresh index (blocks,
//                     pins, signals, networks): ns_per_object and
//                     bytes_per_object (the table's memory per entry);
//   NameFloor/<kind>  reading every object's name and parent by bridge id,
//                     as the build does: the floor of a build;
//   FindBlocks        a block looked up by its full name (ns per lookup),
//                     next to WalkFloor, one depth-first walk over the
//                     blocks (what a search of one name costs at least).
// The design has about 100,000 blocks, or 1,000,000 with NCD_BENCH_LARGE=1.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchDesigns.h"
#include "BenchPassTimer.h"
#include "Pds_PahDesignLoader.h"
#include "XCad_CadView.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_ViewIndex.h"

namespace {

using bench::Clock;
using bench::PassTimer;
using Kind = Xdm_ViewIndex::Kind;

std::uint64_t DesignBlocks() {
  const char* large = std::getenv("NCD_BENCH_LARGE");
  return large && *large && *large != '0' ? 1000000 : 100000;
}

struct Subject {
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Xdm_View* view = nullptr;
  std::vector<std::string> paths;  // every 97th block's full name
  std::string error;

  Subject() {
    const std::string path = DesignPath(DesignBlocks(), error);
    if (path.empty()) return;
    try {
      Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> make;
      view = loader.LoadAndSpecializeImpl(Port::StringBase(path), Port::StringBase("bench"),
                                          Xdm_Txn::XDM_TXN_READ_ONLY, &make, nullptr);
    } catch (const std::exception& e) {
      error = e.what();
      return;
    }
    for (std::uint32_t id = 1; id < view->GetMaxBlocks(); id += 97)
      paths.push_back(view->GetBlockByBridgeId(id)->GetFullName());
  }
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

std::uint32_t Objects(const Xdm_View& view, Kind kind) {
  switch (kind) {
    case Xdm_ViewIndex::kChildren: return view.GetMaxBlocks();
    case Xdm_ViewIndex::kPins: return view.GetMaxPins();
    case Xdm_ViewIndex::kSignals: return view.GetMaxSignals();
    default: return view.GetMaxNetworks();
  }
}

// One lookup that builds `kind`'s table.
void Touch(const Xdm_ViewIndex& index, const Xdm_View& view, Kind kind) {
  const Xdm_Block* top = view.GetBlock();
  switch (kind) {
    case Xdm_ViewIndex::kChildren: benchmark::DoNotOptimize(index.FindChild(top, "x")); break;
    case Xdm_ViewIndex::kPins: benchmark::DoNotOptimize(index.FindPin(top, "x")); break;
    case Xdm_ViewIndex::kSignals: benchmark::DoNotOptimize(index.FindSignal(top, "x")); break;
    default: benchmark::DoNotOptimize(index.FindNetwork("x")); break;
  }
}

void BM_Build(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  const auto kind = static_cast<Kind>(state.range(0));
  PassTimer timer;
  double bytes = 0;
  for (auto _ : state) {
    auto index = std::make_unique<Xdm_ViewIndex>(*s.view);
    const auto start = Clock::now();
    Touch(*index, *s.view, kind);
    timer.Add(state, start);
    bytes = static_cast<double>(index->GetUsage().bytes);
  }
  const std::uint32_t objects = Objects(*s.view, kind);
  timer.Report(state, objects);
  state.counters["bytes_per_object"] = bytes / objects;
}

// Reads what a build reads: each object's name and its parent's id.
template <class Object, class Get>
std::size_t ReadNames(const Xdm_View& view, std::uint32_t max, Get get) {
  std::size_t bytes = 0;
  for (std::uint32_t id = 0; id < max; ++id) {
    if (const Object* object = get(view, id)) {
      bytes += static_cast<unsigned char>(object->GetName()[0]);
      bytes += Xdm_BridgeId::GetBridgeId(Xdm_Parent::GetParentObject(object));
    }
  }
  return bytes;
}

void BM_NameFloor(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  const auto kind = static_cast<Kind>(state.range(0));
  const Xdm_View& v = *s.view;
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    if (kind == Xdm_ViewIndex::kPins) {
      benchmark::DoNotOptimize(ReadNames<Xdm_Pin>(
          v, v.GetMaxPins(), [](const Xdm_View& w, std::uint32_t i) { return w.GetPinByBridgeId(i); }));
    } else if (kind == Xdm_ViewIndex::kSignals) {
      benchmark::DoNotOptimize(ReadNames<Xdm_Signal>(v, v.GetMaxSignals(),
                                                     [](const Xdm_View& w, std::uint32_t i) {
                                                       return w.GetSignalByBridgeId(i);
                                                     }));
    } else {
      std::size_t bytes = 0;
      for (std::uint32_t id = 0; id < v.GetMaxBlocks(); ++id) {
        const Xdm_Block* block = v.GetBlockByBridgeId(id);
        bytes += static_cast<unsigned char>(block->GetName()[0]) +
                 Xdm_BridgeId::GetBridgeId(block->GetParent());
      }
      benchmark::DoNotOptimize(bytes);
    }
    timer.Add(state, start);
  }
  timer.Report(state, Objects(v, kind));
}

void BM_FindBlocks(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  const Xdm_ViewIndex& index = s.view->GetNameIndex();
  std::vector<Xdm_Block*> found;
  index.FindBlocks(s.paths.front(), found);
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    for (const std::string& path : s.paths) {
      found.clear();
      index.FindBlocks(path, found);
      benchmark::DoNotOptimize(found.data());
    }
    timer.Add(state, start);
  }
  timer.Report(state, s.paths.size());
}

void BM_WalkFloor(benchmark::State& state) {
  Subject& s = TheSubject();
  if (!s.error.empty()) return state.SkipWithError(s.error.c_str());
  PassTimer timer;
  for (auto _ : state) {
    const auto start = Clock::now();
    std::size_t visited = 0;
    std::vector<const Xdm_Block*> pending{s.view->GetBlock()};
    while (!pending.empty()) {
      const Xdm_Block* block = pending.back();
      pending.pop_back();
      visited += block->GetName()[0] == '#';
      for (const Xdm_Block* child : block->GetBlocks())
        pending.push_back(child);
    }
    benchmark::DoNotOptimize(visited);
    timer.Add(state, start);
  }
  timer.Report(state, 1);
}

}  // namespace

BENCHMARK(BM_NameFloor)
    ->Arg(Xdm_ViewIndex::kChildren)
    ->Arg(Xdm_ViewIndex::kPins)
    ->Arg(Xdm_ViewIndex::kSignals)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Build)
    ->Arg(Xdm_ViewIndex::kChildren)
    ->Arg(Xdm_ViewIndex::kPins)
    ->Arg(Xdm_ViewIndex::kSignals)
    ->Arg(Xdm_ViewIndex::kNetworks)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FindBlocks)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WalkFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
