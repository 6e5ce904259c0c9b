// bench_memory: what one loaded design costs in memory when the design is
// tiny, that is the fixed overhead of a design.
//
//   Loader/<file>    the host loader's view of the design: 200 loads held at
//                    once;
//   Manager/<file>   a design of the shared-design manager: 200 owners each
//                    get the design (200 designs, each read and held).
// Counter bytes_per_design: the growth of the heap in use (mallinfo2) over
// the loads, divided by the number of designs; file_bytes: the file's size.
// Goal: under 64 KB per design for tests/data/tiny.ncd.json (3 KB) and the
// example design examples/demo.ncd.json (12 KB).
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "Pds_PahDesignLoader.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcdMgr.h"
#include "XCad_CadBlock.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadPin.h"
#include "XCad_CadView.h"

namespace {

using UtilC::SharedNcd::Mgr;
using Loader = Pds_PahDesignLoaderT<XCad_CadTraits>;

constexpr int kDesigns = 200;
const Port::XUID kRequester{0x3e3012ULL, 0x1ULL};

const char* const kFiles[] = {NCD_TEST_DATA "/tiny.ncd.json", NCD_EXAMPLES "/demo.ncd.json"};

std::size_t HeapInUse() {
  malloc_trim(0);
  const struct mallinfo2 info = mallinfo2();
  return info.uordblks + info.hblkhd;  // small blocks and mapped ones
}

void Report(benchmark::State& state, const std::string& file, std::size_t before) {
  const double grown = static_cast<double>(HeapInUse()) - static_cast<double>(before);
  state.counters["bytes_per_design"] = grown / kDesigns;
  state.counters["file_bytes"] = static_cast<double>(std::filesystem::file_size(file));
}

void BM_Loader(benchmark::State& state) {
  const std::string file = kFiles[state.range(0)];
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    std::vector<std::unique_ptr<Loader>> loaders;
    for (int i = 0; i < kDesigns; ++i) {
      auto& loader = loaders.emplace_back(std::make_unique<Loader>());
      Loader::InstantiatorT<> instantiator;
      loader->LoadAndSpecializeImpl(file, "bench", Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator,
                                    nullptr);
    }
    Report(state, file, before);
  }
}

void BM_Manager(benchmark::State& state) {
  const std::string file = kFiles[state.range(0)];
  Mgr* mgr = Mgr::Instance();
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    std::vector<CommonI::RefCountPtr<UtilI::ISharedNcd>> designs;
    for (int i = 0; i < kDesigns; ++i) {
      const auto owner = ncdtest::NewOwner();
      if (mgr->Load(kRequester, file, owner, true) != 1) return state.SkipWithError("no load");
      designs.push_back(mgr->Get(kRequester, file, owner));
    }
    Report(state, file, before);
    designs.clear();
    mgr->PurgeUnused();
  }
}

}  // namespace

BENCHMARK(BM_Loader)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Manager)->Arg(0)->Arg(1)->Iterations(1)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
