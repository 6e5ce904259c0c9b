// Xdm_LargeArray: a vector for the database's large arrays (id pools, name
// index slots, pairs, the loader's per-object counts), internal to
// host_design.
//
// An array of 128 KiB or more is mapped on its own and unmapped when
// freed. The heap would keep it: the C library raises its threshold for
// mapping to the size of each large block freed, so a loader's arrays,
// grown by doubling and dropped once the view is built, would otherwise
// stay in the process's memory as free heap for as long as it runs.
#pragma once

#include <cstddef>
#include <vector>

void* Xdm_AllocateArray(std::size_t bytes);
void Xdm_FreeArray(void* array, std::size_t bytes);

template <class T>
struct Xdm_LargeAllocator {
  using value_type = T;
  static_assert(alignof(T) <= alignof(std::max_align_t));

  Xdm_LargeAllocator() = default;
  template <class U>
  Xdm_LargeAllocator(const Xdm_LargeAllocator<U>&) {}

  // std::vector checks `n` against max_size() first, so the product cannot
  // overflow.
  T* allocate(std::size_t n) { return static_cast<T*>(Xdm_AllocateArray(n * sizeof(T))); }
  void deallocate(T* array, std::size_t n) { Xdm_FreeArray(array, n * sizeof(T)); }
  friend bool operator==(const Xdm_LargeAllocator&, const Xdm_LargeAllocator&) { return true; }
};

template <class T>
using Xdm_LargeArray = std::vector<T, Xdm_LargeAllocator<T>>;
