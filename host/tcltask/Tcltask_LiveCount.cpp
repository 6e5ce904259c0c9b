#include "Tcltask_LiveCount.h"

#include "Tcltask_CountedT.h"

namespace Tcltask {
namespace {

LiveCountersT<UtilI::kHelperAll> g_live;

}  // namespace

std::atomic<std::int64_t>& LiveCounter(UtilI::HelperObjectKind kind) {
  return g_live[kind];
}

std::uint64_t LiveCount(std::uint32_t kind) {
  if (kind != UtilI::kHelperAll) return g_live.Read(kind);
  std::uint64_t all = 0;
  for (std::uint32_t k = 0; k < UtilI::kHelperAll; ++k)
    all += g_live.Read(k);
  return all;
}

}  // namespace Tcltask
