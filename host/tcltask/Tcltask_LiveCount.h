// The live-object counters of the Tcl helper component, one per
// UtilI::HelperObjectKind.
#pragma once

#include <atomic>
#include <cstdint>

#include "UtilI_TcltaskHelpers.h"

namespace Tcltask {

// kind < kHelperAll.
std::atomic<std::int64_t>& LiveCounter(UtilI::HelperObjectKind kind);
// As INamedValueFactory::GetLiveCount.
std::uint64_t LiveCount(std::uint32_t kind);

}  // namespace Tcltask
