#include "Tcltask_LiveCount.h"

namespace Tcltask {
namespace {

std::atomic<std::int64_t> g_live[UtilI::kHelperAll];

std::uint64_t Read(std::uint32_t kind) {
  const std::int64_t n = g_live[kind].load(std::memory_order_relaxed);
  return n > 0 ? static_cast<std::uint64_t>(n) : 0;
}

}  // namespace

std::atomic<std::int64_t>& LiveCounter(UtilI::HelperObjectKind kind) {
  return g_live[kind];
}

std::uint64_t LiveCount(std::uint32_t kind) {
  if (kind < UtilI::kHelperAll) return Read(kind);
  if (kind > UtilI::kHelperAll) return 0;
  std::uint64_t all = 0;
  for (std::uint32_t k = 0; k < UtilI::kHelperAll; ++k)
    all += Read(k);
  return all;
}

}  // namespace Tcltask
