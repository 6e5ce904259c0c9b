// bench_cancel: how long CancelLoad takes to return while a large design is
// being read, against the time the whole read takes in the same run.
//
//   FullLoad           Load with wait: the whole read (the baseline).
//   CancelLoad/<p>     Load without wait, CancelLoad after p% of the full
//                      load's time, timed until it returns (the reading
//                      thread has ended and freed what it had read).
//                      "completed" counts reads that ended before the
//                      cancel came (the machine was faster than before).
// Counters: cancel_ms (mean), worst_ms, and ratio = cancel_ms / the full
// load's time (FullLoad runs first). Goal: cancel_ms under 100 on the
// 1,000,000-block design (the default; NCD_BENCH_SMALL=1 takes 100,000).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "BenchDesigns.h"
#include "Pds_PahDesignLoader.h"
#include "UtilC_SharedNcdMgr.h"

namespace {

using UtilC::SharedNcd::Mgr;
using Clock = std::chrono::steady_clock;

const Port::XUID kRequester{0xca9ce1ULL, 0x1ULL};

std::uint64_t DesignBlocks() {
  const char* small = std::getenv("NCD_BENCH_SMALL");
  return small && *small && *small != '0' ? 100000 : 1000000;
}

double g_fullLoadMs = 0;

std::string Design(benchmark::State& state) {
  std::string error;
  std::string file = DesignPath(DesignBlocks(), error);
  if (file.empty()) state.SkipWithError(error.c_str());
  return file;
}

double MsSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

void BM_FullLoad(benchmark::State& state) {
  const std::string file = Design(state);
  if (file.empty()) return;
  Mgr* mgr = Mgr::Instance();
  double total = 0;
  for (auto _ : state) {
    const auto start = Clock::now();
    const auto status = mgr->Load(kRequester, file, {}, true);
    const double ms = MsSince(start);
    state.SetIterationTime(ms / 1000);
    total += ms;
    if (status != 1) return state.SkipWithError("the design did not load");
    mgr->Get(kRequester, file, {}).Reset();  // hands it back to the cache
    mgr->PurgeUnused();
  }
  g_fullLoadMs = total / static_cast<double>(state.iterations());
  state.counters["load_ms"] = g_fullLoadMs;
}

void BM_CancelLoad(benchmark::State& state) {
  const std::string file = Design(state);
  if (file.empty()) return;
  Mgr* mgr = Mgr::Instance();
  // Without a FullLoad run before, a guess at it.
  const double loadMs = g_fullLoadMs > 0 ? g_fullLoadMs : 3000;
  const auto delay = std::chrono::duration<double, std::milli>(loadMs * state.range(0) / 100);
  double total = 0;
  double worst = 0;
  const std::uint64_t reads = Pds_PahDesignLoader::LoadCount();
  for (auto _ : state) {
    mgr->PurgeUnused();  // a read that completed must not answer the next Load
    if (mgr->Load(kRequester, file, {}, false) != 2) return state.SkipWithError("not loading");
    std::this_thread::sleep_for(delay);
    const auto start = Clock::now();
    mgr->CancelLoad(kRequester, file, {});
    const double ms = MsSince(start);
    state.SetIterationTime(ms / 1000);
    total += ms;
    worst = std::max(worst, ms);
  }
  const double mean = total / static_cast<double>(state.iterations());
  state.counters["cancel_ms"] = mean;
  state.counters["worst_ms"] = worst;
  state.counters["completed"] = static_cast<double>(Pds_PahDesignLoader::LoadCount() - reads);
  if (g_fullLoadMs > 0) state.counters["ratio"] = mean / g_fullLoadMs;
}

}  // namespace

BENCHMARK(BM_FullLoad)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CancelLoad)
    ->Arg(1)
    ->Arg(30)
    ->Arg(60)
    ->Arg(90)
    ->Arg(97)
    ->UseManualTime()
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
