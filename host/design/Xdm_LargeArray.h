// The database's large memory (internal to host_design): the chunks of
// its arenas (Xdm_Arena.h), and Xdm_LargeArray, a vector for its large
// arrays (id pools, name index slots, pairs, the loader's per-object
// counts).
//
// An array of 128 KiB or more is mapped on its own, as an arena's chunk
// is, and unmapped when freed. The heap would keep it: the C library
// raises its threshold for mapping to the size of each large block freed,
// so a loader's arrays, grown by doubling and dropped once the view is
// built, would otherwise stay in the process's memory as free heap for as
// long as it runs.
#pragma once

#include <cstddef>
#include <new>
#include <vector>

// Memory for an arena's chunk of `bytes`. A large chunk is mapped on its
// own, its pages present at once (its arena fills it as it is had, and one
// call is far cheaper than a page fault per page), and its memory goes back
// to the system with the arena; a small one comes from the heap.
void* Xdm_AllocateChunk(std::size_t bytes, std::align_val_t align);
void Xdm_FreeChunk(void* chunk, std::size_t bytes, std::align_val_t align);
// Memory for several chunks side by side, mapped (when large) without its
// pages: Xdm_PresentChunk has each chunk's pages when it is first used.
// Xdm_FreeChunk gives it back.
void* Xdm_ReserveChunk(std::size_t bytes, std::align_val_t align);
void Xdm_PresentChunk(void* chunk, std::size_t bytes);

// An allocator of arrays of T whose memory comes from Memory::Allocate and
// goes back through Memory::Free (each given the bytes and the alignment).
// std::vector checks `n` against max_size() first, so the product cannot
// overflow.
template <class T, class Memory>
struct Xdm_ArrayAllocator {
  using value_type = T;
  Xdm_ArrayAllocator() = default;
  template <class U>
  Xdm_ArrayAllocator(const Xdm_ArrayAllocator<U, Memory>&) {}

  T* allocate(std::size_t n) {
    return static_cast<T*>(Memory::Allocate(n * sizeof(T), std::align_val_t{alignof(T)}));
  }
  void deallocate(T* array, std::size_t n) {
    Memory::Free(array, n * sizeof(T), std::align_val_t{alignof(T)});
  }
  friend bool operator==(const Xdm_ArrayAllocator&, const Xdm_ArrayAllocator&) { return true; }
};

// Large arrays are had as reserved chunks: their pages come as the vector
// writes them.
struct Xdm_ChunkMemory {
  static void* Allocate(std::size_t bytes, std::align_val_t align) {
    return Xdm_ReserveChunk(bytes, align);
  }
  static void Free(void* array, std::size_t bytes, std::align_val_t align) {
    Xdm_FreeChunk(array, bytes, align);
  }
};

template <class T>
using Xdm_LargeArray = std::vector<T, Xdm_ArrayAllocator<T, Xdm_ChunkMemory>>;
