// bench_shared: the shared design manager and the design object's caches.
//
//   CachedCycle      Load/Get/release of a design that waits in the manager's
//                    cache; the "reads" counter must stay 0 (no second read).
//   *FirstPass       a question over every object of a generated design, on a
//                    design object whose caches are empty;
//   *SecondPass      the same question again, answered from the caches;
//   BareBitLoop      a loop that reads one bit per object by bridge id: the
//                    floor the second passes are measured against.
// The ns_per_object counters are the figures to compare. The design has
// about 100,000 blocks, or 1,000,000 with NCD_BENCH_LARGE=1.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "BenchDesigns.h"
#include "BenchPassTimer.h"
#include "Pds_PahDesignLoader.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "XCad_CadView.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Object.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace {

using UtilC::SharedNcd::Key;
using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;
using DesignRef = CommonI::RefCountPtr<UtilI::ISharedNcd>;
using bench::Clock;
using bench::PassTimer;

const Port::XUID kRequester{0xbe4c4ULL, 0x1ULL};

std::uint64_t DesignBlocks() {
  const char* large = std::getenv("NCD_BENCH_LARGE");
  return large && *large && *large != '0' ? 1000000 : 100000;
}

// One loaded design, held for the whole run, with every block and network.
struct Subject {
  std::string file;
  DesignRef design;
  std::vector<Xdm_Block*> blocks;
  std::vector<Xdm_Network*> networks;
  std::string error;

  Subject() {
    file = DesignPath(DesignBlocks(), error);
    if (file.empty()) return;
    Mgr* mgr = Mgr::Instance();
    if (mgr->Load(kRequester, file, {}, true) != 1) {
      error = "cannot load " + file;
      return;
    }
    design = mgr->Get(kRequester, file, {});
    Xdm_View* view = design->GetView();
    std::vector<Xdm_Block*> pending{view->GetBlock()};
    while (!pending.empty()) {
      Xdm_Block* block = pending.back();
      pending.pop_back();
      blocks.push_back(block);
      for (Xdm_Block* child : block->GetBlocks())
        pending.push_back(child);
    }
    for (Xdm_Network* net : view->GetNetworkItr())
      networks.push_back(net);
  }
  // A second design object over the same view, with empty caches.
  SharedNcd* FreshDesign() {
    auto* fresh = new SharedNcd(Key(file + "#fresh", {}));
    fresh->SetView(design->GetView());
    return fresh;
  }
};

Subject& TheSubject() {
  static Subject subject;
  return subject;
}

// A first pass asks a design object with empty caches (a new one for every
// pass); a second pass asks one design object whose caches a first pass filled.
template <class Object, class Ask>
void Pass(benchmark::State& state, const std::vector<Object*>& objects, bool warm, Ask ask) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer timer;
  SharedNcd* design = warm ? subject.FreshDesign() : nullptr;
  if (warm)
    for (Object* object : objects)
      ask(*design, object);
  for (auto _ : state) {
    if (!warm) design = subject.FreshDesign();
    auto start = Clock::now();
    for (Object* object : objects)
      benchmark::DoNotOptimize(ask(*design, object));
    timer.Add(state, start);
    if (!warm) static_cast<CommonI::IRefCount*>(design)->Release();
  }
  if (warm) static_cast<CommonI::IRefCount*>(design)->Release();
  timer.Report(state, objects.size());
}

auto IsBlockVisible = [](SharedNcd& d, Xdm_Block* b) { return d.IsBlockVisible(b); };
auto IsNetVisible = [](SharedNcd& d, Xdm_Network* n) { return d.IsNetVisible(n); };
auto PinCount = [](SharedNcd& d, Xdm_Network* n) { return d.GetPinCount(n); };

void BM_IsBlockVisible_FirstPass(benchmark::State& s) {
  Pass(s, TheSubject().blocks, false, IsBlockVisible);
}
void BM_IsBlockVisible_SecondPass(benchmark::State& s) {
  Pass(s, TheSubject().blocks, true, IsBlockVisible);
}
void BM_IsNetVisible_FirstPass(benchmark::State& s) {
  Pass(s, TheSubject().networks, false, IsNetVisible);
}
void BM_IsNetVisible_SecondPass(benchmark::State& s) {
  Pass(s, TheSubject().networks, true, IsNetVisible);
}
void BM_GetPinCount_FirstPass(benchmark::State& s) {
  Pass(s, TheSubject().networks, false, PinCount);
}
void BM_GetPinCount_SecondPass(benchmark::State& s) {
  Pass(s, TheSubject().networks, true, PinCount);
}

// Reads one bit per object, found by the object's bridge id.
template <class Object>
void BareBitLoop(benchmark::State& state, const std::vector<Object*>& objects, std::uint32_t max) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  std::vector<std::uint32_t> bits(max / 32 + 1, 0x55555555u);
  PassTimer timer;
  for (auto _ : state) {
    auto start = Clock::now();
    for (Object* object : objects) {
      std::uint32_t id = Xdm_BridgeId::GetBridgeId(object);
      benchmark::DoNotOptimize((bits[id / 32] >> (id % 32)) & 1u);
    }
    timer.Add(state, start);
  }
  timer.Report(state, objects.size());
}

void BM_BareBitLoop_Blocks(benchmark::State& s) {
  BareBitLoop(s, TheSubject().blocks, TheSubject().design->GetView()->GetMaxBlocks());
}
void BM_BareBitLoop_Nets(benchmark::State& s) {
  BareBitLoop(s, TheSubject().networks, TheSubject().design->GetView()->GetMaxNetworks());
}

// The floor of a pin count's first pass: reads every pin's direction, block
// by block, and the network of each input's signal (per network).
void BM_PinWalkFloor(benchmark::State& state) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  PassTimer timer;
  for (auto _ : state) {
    auto start = Clock::now();
    std::uint64_t inputs = 0;
    for (Xdm_Block* block : subject.blocks) {
      for (Xdm_Pin* pin : block->GetPinItr()) {
        if (!pin->IsBlockInput()) continue;
        const Xdm_Signal* signal = pin->GetSignal();
        inputs += signal && signal->GetNetwork();
      }
    }
    benchmark::DoNotOptimize(inputs);
    timer.Add(state, start);
  }
  timer.Report(state, subject.networks.size());
}

// The floor of the first pass as it counts now, on one thread: every pin's
// direction and signal id, in the view's order of pins (by bridge id, where
// they lie), per network.
void BM_PinTableFloor(benchmark::State& state) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  const Xdm_View* view = subject.design->GetView();
  PassTimer timer;
  for (auto _ : state) {
    auto start = Clock::now();
    std::uint64_t inputs = 0;
    for (std::uint32_t p = 0, pins = view->GetMaxPins(); p < pins; ++p) {
      const Xdm_Pin* pin = view->GetPinByBridgeId(p);
      inputs += pin && pin->IsBlockInput() ? pin->GetSignalId() : 0;
    }
    benchmark::DoNotOptimize(inputs);
    timer.Add(state, start);
  }
  timer.Report(state, subject.networks.size());
}

// Load/Get/release of the cached small design: no read after the first.
void BM_CachedCycle(benchmark::State& state) {
  Subject& subject = TheSubject();
  if (!subject.error.empty()) return state.SkipWithError(subject.error.c_str());
  Mgr* mgr = Mgr::Instance();
  const std::string& file = subject.file;
  subject.design.Reset();  // now the cached design
  std::uint64_t reads = Pds_PahDesignLoader::LoadCount();
  for (auto _ : state) {
    benchmark::DoNotOptimize(mgr->Load(kRequester, file, {}, false));
    DesignRef design = mgr->Get(kRequester, file, {});
    benchmark::DoNotOptimize(design.get());
  }
  state.counters["reads"] = static_cast<double>(Pds_PahDesignLoader::LoadCount() - reads);
  subject.design = mgr->Get(kRequester, file, {});
}

}  // namespace

BENCHMARK(BM_BareBitLoop_Blocks)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BareBitLoop_Nets)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsBlockVisible_FirstPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsBlockVisible_SecondPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsNetVisible_FirstPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsNetVisible_SecondPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetPinCount_FirstPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetPinCount_SecondPass)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PinWalkFloor)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PinTableFloor)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CachedCycle)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
