// PassTimer: the manual time of benchmark passes, reported as nanoseconds
// per object over every pass of a row.
#pragma once

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstddef>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

struct PassTimer {
  double seconds = 0;
  std::size_t passes = 0;
  // One pass that began at `start`: the iteration's manual time.
  void Add(benchmark::State& state, Clock::time_point start) {
    const double s = Seconds(start);
    state.SetIterationTime(s);
    seconds += s;
    ++passes;
  }
  // Counters "objects" and "ns_per_object".
  void Report(benchmark::State& state, std::size_t objects) const {
    state.counters["objects"] = static_cast<double>(objects);
    if (passes && objects)
      state.counters["ns_per_object"] = seconds * 1e9 / static_cast<double>(passes * objects);
  }
};

}  // namespace bench
