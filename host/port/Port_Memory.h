// Anonymous memory in large pieces, for storage that is filled as soon as
// it is had (the design database's arenas). Any thread may call these.
#pragma once

#include <cstddef>

namespace Port {

class Memory {
 public:
  // `bytes` of zeroed, writable memory, page-aligned, whose pages are all
  // present at once: one call instead of a page fault per page. Null when
  // the memory cannot be had.
  static void* MapPresent(std::size_t bytes);
  // `bytes` of zeroed, writable memory, page-aligned, whose pages come as
  // they are first written. Null when the memory cannot be had.
  static void* Map(std::size_t bytes);
  // Has the pages of [memory, memory + bytes) of writable memory present
  // now, in one call rather than a fault per page, where the system can.
  static void Present(void* memory, std::size_t bytes);
  // Asks for the pages of [memory, memory + bytes) not yet present to come
  // as large pages (2 MiB on x86-64) where the system offers them: for a
  // table read at random places, whose every small page would otherwise
  // cost its own translation. Only whole large pages inside the range are
  // affected. A hint: nothing changes where the system declines.
  static void PreferLargePages(void* memory, std::size_t bytes);
  // Gives back what MapPresent or Map answered, with the same size.
  static void Unmap(void* memory, std::size_t bytes);
  // Gives the system back the pages of heap memory that is free. Memory a
  // finished thread freed stays with that thread's heap otherwise, and
  // counts in the process's size while other threads take new pages.
  static void GiveBackFreed();
};

}  // namespace Port
