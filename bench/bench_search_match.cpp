// bench_search_match: the search service's match calls over 1,000,000 block
// names, each next to a bare loop of the C library's matcher over the same
// names in the same iteration (so the ratio holds on a busy machine):
//
//   SearchText     a whole search with a glob through a source that walks
//                  the names as the block search walks blocks  vs fnmatch
//   Glob           MatchText with a glob       vs fnmatch
//   GlobNoCase     the same, case-insensitive  vs fnmatch with FNM_CASEFOLD
//   PreparedGlob   MatchPattern with a pattern of MakePattern vs fnmatch
//   Regexp         MatchText with a regular expression vs POSIX regexec
//   TclGlobFloor   Tcl_StringCaseMatch alone   vs fnmatch: the part of the
//                  ratios that is Tcl's matcher itself
//
// Each match call reads the name from a probe collectable re-targeted to
// every name, as the block search does. Counters: ns_match and ns_bare are
// CPU nanoseconds per name, cpu_ratio = ns_match / ns_bare, ratio the same
// in wall time (trust cpu_ratio on a busy machine), matches the names found.
#include <benchmark/benchmark.h>
#include <fnmatch.h>
#include <regex.h>
#include <tcl.h>
#include <time.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TclSearchFakes.h"
#include "UtilI_VectorHelper.h"

namespace {

using Clock = std::chrono::steady_clock;
using CommonI::RefCountPtr;
using tclsearchtest::FakeCollectable;
using tclsearchtest::FakeItem;

constexpr std::size_t kNames = 1000000;

// Site-like block names: SLICE_X<col>Y<row>.
std::vector<FakeItem> MakeNames() {
  std::vector<FakeItem> out(kNames);
  char text[32];
  for (std::size_t i = 0; i < kNames; ++i) {
    std::snprintf(text, sizeof text, "SLICE_X%zuY%zu", i % 200, i / 200);
    out[i].name = text;
    out[i].fullName = std::string("top/") + text;
  }
  return out;
}

// A context of an owner of the benchmark's own, holding one source over
// the names, and one probe.
struct Bench {
  RefCountPtr<CitI::IInterface> owner =
      RefCountPtr<CitI::IInterface>::Adopt(new tclsearchtest::FakeOwner);
  RefCountPtr<UtilI::ITclSearch> service = tclsearchtest::SearchService();
  RefCountPtr<UtilI::ISearchRequest> context;
  tclsearchtest::FakeSource source{"implemented", owner.get(), MakeNames()};
  FakeCollectable* probe = new FakeCollectable;
  RefCountPtr<UtilI::ITclCollectable> heldProbe =
      tclsearchtest::Hold<UtilI::ITclCollectable>(probe);

  Bench() {
    if (!service || !service->OpenContext(context, owner)) return;
    context->AddSource(RefCountPtr<UtilI::ITclSearchSource>(&source));
  }
  ~Bench() {
    if (service) service->CloseContext(owner);
  }
};

Bench& TheBench() {
  static Bench bench;
  return bench;
}

const std::vector<FakeItem>& Names() {
  return TheBench().source.Items();
}

// Wall and CPU time of one loop.
struct Watch {
  Clock::time_point wall = Clock::now();
  double cpu = ThreadCpu();
  static double ThreadCpu() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
  double Wall() const { return std::chrono::duration<double>(Clock::now() - wall).count(); }
  double Cpu() const { return ThreadCpu() - cpu; }
};

// Times two passes over every name in each iteration: `matchPass` and
// `barePass` answer how many names they found.
template <class MatchPass, class BarePass>
void Compare(benchmark::State& state, const MatchPass& matchPass, const BarePass& barePass) {
  double matchWall = 0, bareWall = 0, matchCpu = 0, bareCpu = 0;
  std::size_t matches = 0, bareMatches = 0;
  for (auto _ : state) {
    Watch m;
    matches = matchPass();
    matchWall += m.Wall();
    matchCpu += m.Cpu();
    Watch b;
    bareMatches = barePass();
    bareWall += b.Wall();
    bareCpu += b.Cpu();
    state.SetIterationTime(m.Wall());
  }
  if (matches != bareMatches) state.SkipWithError("the two passes found different names");
  const double n = static_cast<double>(state.iterations() * Names().size());
  state.counters["ns_match"] = matchCpu * 1e9 / n;
  state.counters["ns_bare"] = bareCpu * 1e9 / n;
  state.counters["cpu_ratio"] = matchCpu / bareCpu;
  state.counters["ratio"] = matchWall / bareWall;
  state.counters["matches"] = static_cast<double>(matches);
}

// A pass that asks `match` about every name.
template <class Match>
auto EveryName(const Match& match) {
  return [match] {
    std::size_t found = 0;
    for (const FakeItem& item : Names())
      found += match(item) ? 1 : 0;
    return found;
  };
}

// A pass of the C library's matcher, `bare(name)` nonzero for a match.
template <class Bare>
auto BareNames(const Bare& bare) {
  return [bare] {
    std::size_t found = 0;
    for (const FakeItem& item : Names())
      found += bare(item.name.c_str()) ? 1 : 0;
    return found;
  };
}

void TextRow(benchmark::State& state, const char* pattern, bool regexp, bool nocase,
             int (*bare)(const char*)) {
  Bench& bench = TheBench();
  const Port::StringBase text = pattern;  // as a search algorithm holds it
  if (!bench.context)
    return state.SkipWithError("no search context (is libUtilC_TclSearch built?)");
  Compare(state, EveryName([&](const FakeItem& item) {
            bench.probe->Retarget(&item);
            bool matched = false;
            bench.context->MatchText(bench.probe, text, nullptr, regexp, nocase, false, matched,
                                     nullptr);
            return matched;
          }),
          BareNames(bare));
}

constexpr const char* kGlob = "SLICE_X1?Y*7";

void BM_SearchText(benchmark::State& state) {
  Bench& bench = TheBench();
  if (!bench.context)
    return state.SkipWithError("no search context (is libUtilC_TclSearch built?)");
  const auto types = UtilI::MakeStringContainer();
  types->Add("fake_item");
  const Port::StringBase text = kGlob;
  auto search = [&]() -> std::size_t {
    auto* list = new tclsearchtest::FakeList;
    const auto held = tclsearchtest::Hold<UtilI::IObjectList>(list);
    bench.context->SearchText(types, text, false, false, false, list);
    return list->GetSize();
  };
  Compare(state, search, BareNames([](const char* name) { return fnmatch(kGlob, name, 0) == 0; }));
}

void BM_Glob(benchmark::State& state) {
  TextRow(state, kGlob, false, false,
          [](const char* name) { return fnmatch(kGlob, name, 0) == 0 ? 1 : 0; });
}

void BM_GlobNoCase(benchmark::State& state) {
  TextRow(state, "slice_x1?y*7", false, true, [](const char* name) {
    return fnmatch("slice_x1?y*7", name, FNM_CASEFOLD) == 0 ? 1 : 0;
  });
}

void BM_PreparedGlob(benchmark::State& state) {
  Bench& bench = TheBench();
  RefCountPtr<CitI::IInterface> pattern;
  if (!bench.context || !bench.context->MakePattern(pattern, kGlob, false, false, false))
    return state.SkipWithError("no search context or pattern");
  Compare(state, EveryName([&](const FakeItem& item) {
            bench.probe->Retarget(&item);
            bool matched = false;
            bench.context->MatchPattern(bench.probe, pattern, nullptr, matched, nullptr);
            return matched;
          }),
          BareNames([](const char* name) { return fnmatch(kGlob, name, 0) == 0; }));
}

void BM_TclGlobFloor(benchmark::State& state) {
  Compare(state, BareNames([](const char* name) { return Tcl_StringCaseMatch(name, kGlob, 0); }),
          BareNames([](const char* name) { return fnmatch(kGlob, name, 0) == 0; }));
}

constexpr const char* kRegexp = "^SLICE_X1[0-9]Y[0-9]*7$";

void BM_Regexp(benchmark::State& state) {
  static regex_t posix;
  static const bool compiled = regcomp(&posix, kRegexp, REG_EXTENDED | REG_NOSUB) == 0;
  if (!compiled) return state.SkipWithError("regcomp failed");
  TextRow(state, kRegexp, true, false,
          [](const char* name) { return regexec(&posix, name, 0, nullptr, 0) == 0 ? 1 : 0; });
}

}  // namespace

BENCHMARK(BM_SearchText)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Glob)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GlobNoCase)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreparedGlob)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TclGlobFloor)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Regexp)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
