// Live-object counters of the search component, one per kind of object
// (UtilI::SearchObjectKind), so that tests can see every object go.
#pragma once

#include <atomic>
#include <cstdint>

#include "UtilI_TclSearch.h"

namespace UtilC::TclSearch {

std::atomic<std::uint64_t>& LiveCounter(UtilI::SearchObjectKind kind);
// The count of one kind, or the sum of all for kSearchAll (0 for an unknown kind).
std::uint64_t LiveCount(std::uint32_t kind);

// Base of a counted class: counts its instances under `Kind`.
template <UtilI::SearchObjectKind Kind>
class LiveT {
 protected:
  LiveT() { LiveCounter(Kind).fetch_add(1, std::memory_order_relaxed); }
  LiveT(const LiveT&) = delete;
  LiveT& operator=(const LiveT&) = delete;
  ~LiveT() { LiveCounter(Kind).fetch_sub(1, std::memory_order_relaxed); }
};

}  // namespace UtilC::TclSearch
