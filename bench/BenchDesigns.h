// Generated designs for the benchmarks, cached between runs in
// build/bench-data (NCD_BENCH_DATA overrides the folder).
#pragma once

#include <cstdint>
#include <string>

// The design of about `blocks` blocks (seed 1), generated on first use; an
// empty path on failure, with the reason in `error`.
std::string DesignPath(std::uint64_t blocks, std::string& error);
