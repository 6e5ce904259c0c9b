#include "UtilC_TclSearchLive.h"

namespace UtilC::TclSearch {

namespace {
constexpr std::uint32_t kKinds = UtilI::kSearchAll;
std::atomic<std::uint64_t> g_live[kKinds];
}  // namespace

std::atomic<std::uint64_t>& LiveCounter(UtilI::SearchObjectKind kind) {
  return g_live[kind];
}

std::uint64_t LiveCount(std::uint32_t kind) {
  if (kind < kKinds) return g_live[kind].load(std::memory_order_relaxed);
  if (kind != UtilI::kSearchAll) return 0;
  std::uint64_t sum = 0;
  for (const auto& count : g_live)
    sum += count.load(std::memory_order_relaxed);
  return sum;
}

}  // namespace UtilC::TclSearch
