#include "Port_Memory.h"

#include <malloc.h>
#include <sys/mman.h>

namespace Port {

void* Memory::MapPresent(std::size_t bytes) {
  void* memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_POPULATE, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void* Memory::Map(std::size_t bytes) {
  void* memory =
      ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  return memory == MAP_FAILED ? nullptr : memory;
}

void Memory::Unmap(void* memory, std::size_t bytes) {
  if (memory != nullptr) ::munmap(memory, bytes);
}

void Memory::GiveBackFreed() {
  ::malloc_trim(0);
}

}  // namespace Port
