// Allocation-failure injection for tests. A test program that links
// AllocFault.cpp replaces the global operator new and delete of the whole
// process (its own code, the component and the host libraries) with
// versions that count every allocation and can make one of them fail.
//
//   std::uint64_t total = ncdtest::AllocFault::CountOf([&] { scenario(); });
//   for (std::uint64_t n = 1; n <= total; ++n) {
//     ncdtest::AllocFault::Scope failing(n);  // the nth allocation from here fails
//     scenario();
//   }
//
// The failing allocation throws std::bad_alloc (the nothrow forms answer
// null); every other allocation succeeds, on every thread. Live() counts
// the blocks allocated and not yet freed, so that a test can see that a
// failed operation left nothing behind.
//
// To see where a failing run went wrong, set NCD_ALLOC_FAULT_TRACE=n: the
// stack of the allocation made to fail by FailAt(n) goes to standard error.
// NCD_ALLOC_FAULT_STRIDE=k makes the tests try every kth allocation only
// (slow builds: the thread sanitizer's).
#pragma once

#include <cstdint>

namespace ncdtest::AllocFault {

// Allocations so far in the process, on every thread.
std::uint64_t Count();
// Blocks allocated and not freed yet.
std::int64_t Live();
// The `n`th allocation from now (1: the next one) fails; 0 arms nothing.
void FailAt(std::uint64_t n);
// No allocation fails any more. Answers whether the armed one did.
bool Disarm();

// The step between the allocations a test makes fail: 1 (every one) unless
// NCD_ALLOC_FAULT_STRIDE says otherwise.
std::uint64_t Stride();

// How many allocations `body` makes.
template <class Body>
std::uint64_t CountOf(Body&& body) {
  const std::uint64_t before = Count();
  body();
  return Count() - before;
}

// Arms one failure for the life of a scope.
class Scope {
public:
  explicit Scope(std::uint64_t n) { FailAt(n); }
  ~Scope() { Disarm(); }
  Scope(const Scope&) = delete;
  Scope& operator=(const Scope&) = delete;
};

}  // namespace ncdtest::AllocFault
