#include "UtilC_SharedNcdDesignUse.h"

#include <atomic>
#include <new>

#include "Port_Thr.h"

namespace UtilC::SharedNcd {

namespace {

// One thread's announcements: the designs it uses now, innermost last.
// Slots are linked into one list for the life of the process; a thread
// that ends frees its slot for the next thread.
struct alignas(64) Slot {
  static constexpr int kDepth = 4;
  std::atomic<const SharedNcd*> designs[kDepth] = {};
  std::atomic<bool> taken{true};
  Slot* next = nullptr;
  int depth = 0;  // this thread's own
};

std::atomic<Slot*> g_slots{nullptr};

Slot* TakeSlot() {
  for (Slot* slot = g_slots.load(std::memory_order_acquire); slot; slot = slot->next) {
    bool expected = false;
    if (slot->taken.compare_exchange_strong(expected, true)) return slot;
  }
  Slot* slot = new (std::nothrow) Slot;
  if (!slot) return nullptr;
  slot->next = g_slots.load(std::memory_order_relaxed);
  while (!g_slots.compare_exchange_weak(slot->next, slot, std::memory_order_acq_rel)) {
  }
  return slot;
}

struct ThreadSlot {
  Slot* slot = TakeSlot();
  ~ThreadSlot();
};

// The slot pointer is a plain thread-local (no initialisation guard) that
// the first use fills; ThreadSlot only hands the slot back at thread end.
[[gnu::tls_model("initial-exec")]] thread_local Slot* t_slot = nullptr;

ThreadSlot::~ThreadSlot() {
  if (slot) slot->taken.store(false, std::memory_order_release);
  slot = nullptr;  // uses in later thread-exit code announce nothing
  t_slot = nullptr;
}

Slot* MySlot() {
  if (t_slot) return t_slot;
  thread_local ThreadSlot mine;
  t_slot = mine.slot;
  return t_slot;
}

bool Announced(const Slot& slot, const SharedNcd* design) {
  for (int i = 0; i < slot.depth; ++i) {
    if (slot.designs[i].load(std::memory_order_relaxed) == design) return true;
  }
  return false;
}

}  // namespace

[[gnu::tls_model("initial-exec")]] constinit thread_local const SharedNcd* DesignUse::t_innermost =
    nullptr;

bool DesignUse::Announce(const SharedNcd* design) {
  Slot* slot = MySlot();
  if (!slot || slot->depth == Slot::kDepth || Announced(*slot, design)) return false;
  slot->designs[slot->depth++].store(design, std::memory_order_seq_cst);
  t_innermost = design;
  return true;
}

void DesignUse::Withdraw() {
  Slot* slot = MySlot();
  slot->designs[--slot->depth].store(nullptr, std::memory_order_release);
  t_innermost =
      slot->depth ? slot->designs[slot->depth - 1].load(std::memory_order_relaxed) : nullptr;
}

void DesignUse::AwaitUnused(const SharedNcd* design) {
  const Slot* mine = MySlot();
  for (const Slot* slot = g_slots.load(std::memory_order_acquire); slot; slot = slot->next) {
    if (slot == mine) continue;
    for (const auto& announced : slot->designs) {
      while (announced.load(std::memory_order_seq_cst) == design)
        Port_ThrThread::yield();
    }
  }
}

}  // namespace UtilC::SharedNcd
