#include "Xdm_FullNames.h"

#include <algorithm>
#include <cstdlib>
#include <new>

Xdm_FullNames::Xdm_FullNames() = default;

Xdm_FullNames::~Xdm_FullNames() {
  for (const auto& slots : m_slots)
    std::free(slots->names);
}

Xdm_FullNames::Slots* Xdm_FullNames::SlotsFor(Kind kind, std::uint32_t id, std::size_t count) {
  Slots* current = m_current[kind].load(std::memory_order_relaxed);
  if (current != nullptr && id < current->size) return current;
  const std::size_t had = current ? current->size : 0;
  const std::size_t size = std::max({count, std::size_t{id} + 1, 2 * had});
  if (m_slots.size() == m_slots.capacity()) m_slots.reserve(2 * m_slots.size() + kKinds);
  // calloc: a large block comes from the system already zeroed, and its
  // pages are had only as names are stored in them.
  auto slots = std::make_unique<Slots>();
  slots->names = static_cast<const char**>(std::calloc(size, sizeof(const char*)));
  if (slots->names == nullptr) throw std::bad_alloc();
  slots->size = size;
  for (std::size_t i = 0; i < had; ++i)
    slots->names[i] =
        std::atomic_ref<const char*>(current->names[i]).load(std::memory_order_relaxed);
  m_slots.push_back(std::move(slots));
  m_current[kind].store(m_slots.back().get(), std::memory_order_release);
  return m_slots.back().get();
}

const char* Xdm_FullNames::Store(Kind kind, std::uint32_t id, std::size_t count,
                                 std::string_view text) {
  Port_ThrGuard guard(m_lock);
  if (id == Xdm_BridgeId::kNone) return m_texts.Copy(text);
  Slots* slots = SlotsFor(kind, id, count);
  std::atomic_ref<const char*> slot(slots->names[id]);
  if (const char* name = slot.load(std::memory_order_relaxed)) return name;
  const char* copy = m_texts.Copy(text);  // never null, "" for an empty text
  slot.store(copy, std::memory_order_release);
  return copy;
}

void Xdm_FullNames::Forget(Kind kind, std::uint32_t id) {
  Port_ThrGuard guard(m_lock);
  Slots* slots = m_current[kind].load(std::memory_order_relaxed);
  if (slots != nullptr && id < slots->size)
    std::atomic_ref<const char*>(slots->names[id]).store(nullptr, std::memory_order_relaxed);
}
