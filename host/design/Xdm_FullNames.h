// Xdm_FullNames: the full names a view has been asked for (internal to
// host_design).
//
// Full names are composed on first use and kept for the view's life, so
// that the pointer a reader was given stays valid. They are kept here,
// per kind of object and bridge id, rather than in each object: most
// objects of a large view are never asked for theirs, and a slot in each
// would cost every one of them. The slots of a kind are had on the first
// request for that kind, all at once (pages of them that are never written
// cost nothing), and grow when an editor numbers objects past them.
//
// Find runs on any number of threads without a lock. Store takes the
// cache's lock, held briefly and taken last. Forget is for editors, which
// do not run concurrently with readers.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Port_Thr.h"
#include "Xdm_Arena.h"
#include "Xdm_Object.h"

class Xdm_FullNames {
 public:
  enum Kind : int { kBlock, kPin, kSignal, kKinds };

  Xdm_FullNames();
  ~Xdm_FullNames();
  Xdm_FullNames(const Xdm_FullNames&) = delete;
  Xdm_FullNames& operator=(const Xdm_FullNames&) = delete;

  // The name kept for object `id` of `kind`, or null.
  const char* Find(Kind kind, std::uint32_t id) const {
    const Slots* slots = m_current[kind].load(std::memory_order_acquire);
    if (slots == nullptr || id >= slots->size) return nullptr;
    return std::atomic_ref<const char*>(slots->names[id]).load(std::memory_order_acquire);
  }
  // Keeps a copy of `text` for the object unless a name is kept for it
  // already (another thread was first); answers the name kept. `count`,
  // the number of objects of the kind, sizes the kind's first slots. An
  // object without an id (Xdm_BridgeId::kNone: one no longer in the view)
  // gets a copy of its own each time.
  const char* Store(Kind kind, std::uint32_t id, std::size_t count, std::string_view text);
  // Forgets the object's name: it is composed again on its next request.
  // The old text stays with whoever holds it.
  void Forget(Kind kind, std::uint32_t id);

 private:
  struct Slots {
    std::size_t size = 0;
    const char** names = nullptr;  // zeroed, `size` of them; read through atomic_ref
  };
  Slots* SlotsFor(Kind kind, std::uint32_t id, std::size_t count);  // under m_lock

  std::atomic<Slots*> m_current[kKinds] = {};
  Port_ThrMutex m_lock;  // guards what follows and every store into the slots
  // Every kind's slots, the ones outgrown too: a reader may still be
  // looking at them (it then finds null there, and asks Store).
  std::vector<std::unique_ptr<Slots>> m_slots;
  Xdm_StringArena m_texts;
};
