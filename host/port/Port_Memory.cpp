#include "Port_Memory.h"

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>

namespace Port {

void* Memory::MapPresent(std::size_t bytes) {
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void* Memory::Map(std::size_t bytes) {
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void Memory::Present(void* memory, std::size_t bytes) {
  const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
  const auto first = reinterpret_cast<std::uintptr_t>(memory) / page * page;
  const auto end = reinterpret_cast<std::uintptr_t>(memory) + bytes;
#ifdef MADV_POPULATE_WRITE
  // Older systems refuse it; the pages then come as they are written.
  if (bytes != 0) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_POPULATE_WRITE);
#else
  (void)first, (void)end;
#endif
}

void Memory::PreferLargePages(void* memory, std::size_t bytes) {
#ifdef MADV_HUGEPAGE
  constexpr std::uintptr_t kLarge = std::uintptr_t{2} << 20;
  const auto begin = reinterpret_cast<std::uintptr_t>(memory);
  const std::uintptr_t first = (begin + kLarge - 1) & ~(kLarge - 1);
  const std::uintptr_t end = (begin + bytes) & ~(kLarge - 1);
  if (first < end) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
#else
  (void)memory, (void)bytes;
#endif
}

void Memory::Unmap(void* memory, std::size_t bytes) {
  if (memory != nullptr) ::munmap(memory, bytes);
}

void Memory::GiveBackFreed() {
  ::malloc_trim(0);
}

}  // namespace Port
