// The replaced global allocation functions (see AllocFault.h). They are
// built into the test program, which puts them before the C++ library's
// for every shared library of the process.
#include "AllocFault.h"

#include <execinfo.h>

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

namespace {

std::atomic<std::uint64_t> g_count{0};
std::atomic<std::uint64_t> g_failAt{0};  // the count that fails; 0 for none
std::atomic<bool> g_failed{false};
std::atomic<bool> g_trace{false};  // print the stack of the failing allocation
std::atomic<std::int64_t> g_live{0};

// Counts one allocation; answers false when it is the one that fails.
bool Admit() {
  const std::uint64_t n = g_count.fetch_add(1, std::memory_order_relaxed) + 1;
  if (n != g_failAt.load(std::memory_order_relaxed)) return true;
  g_failed.store(true);
  if (g_trace) {
    void* frames[48];
    backtrace_symbols_fd(frames, backtrace(frames, 48), 2);
  }
  return false;
}

void* Allocate(std::size_t size, std::size_t alignment) noexcept {
  if (!Admit()) return nullptr;
  if (size == 0) size = 1;
  void* block = nullptr;
  if (alignment <= alignof(std::max_align_t)) {
    block = std::malloc(size);
  } else if (::posix_memalign(&block, alignment, size) != 0) {
    block = nullptr;
  }
  if (block) g_live.fetch_add(1, std::memory_order_relaxed);
  return block;
}

void Free(void* block) noexcept {
  if (!block) return;
  g_live.fetch_sub(1, std::memory_order_relaxed);
  std::free(block);
}

void* AllocateOrThrow(std::size_t size, std::size_t alignment) {
  void* block = Allocate(size, alignment);
  if (!block) throw std::bad_alloc();
  return block;
}

constexpr std::size_t kPlain = alignof(std::max_align_t);

}  // namespace

namespace ncdtest::AllocFault {

std::uint64_t Count() { return g_count.load(); }
std::int64_t Live() { return g_live.load(); }

void FailAt(std::uint64_t n) {
  g_failed.store(false);
  static const char* const trace = std::getenv("NCD_ALLOC_FAULT_TRACE");
  g_trace.store(trace && std::strtoull(trace, nullptr, 10) == n);
  g_failAt.store(n == 0 ? 0 : g_count.load() + n);
}

std::uint64_t Stride() {
  const char* text = std::getenv("NCD_ALLOC_FAULT_STRIDE");
  const std::uint64_t stride = text ? std::strtoull(text, nullptr, 10) : 1;
  return stride > 0 ? stride : 1;
}

bool Disarm() {
  g_failAt.store(0);
  return g_failed.exchange(false);
}

}  // namespace ncdtest::AllocFault

void* operator new(std::size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new[](std::size_t size) { return AllocateOrThrow(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, std::size_t(a)); }
void* operator new[](std::size_t size, std::align_val_t a) { return AllocateOrThrow(size, std::size_t(a)); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size, kPlain); }
void* operator new(std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, std::size_t(a));
}
void* operator new[](std::size_t size, std::align_val_t a, const std::nothrow_t&) noexcept {
  return Allocate(size, std::size_t(a));
}

void operator delete(void* block) noexcept { Free(block); }
void operator delete[](void* block) noexcept { Free(block); }
void operator delete(void* block, std::size_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete[](void* block, std::size_t, std::align_val_t) noexcept { Free(block); }
void operator delete(void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, const std::nothrow_t&) noexcept { Free(block); }
void operator delete(void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
void operator delete[](void* block, std::align_val_t, const std::nothrow_t&) noexcept { Free(block); }
