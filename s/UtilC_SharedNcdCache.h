// Per-bridge-id answer caches of a design object: one bit per id (with a
// second bit telling whether the answer is known) for the visibility
// questions, one 32-bit count per id for the pin counts.
//
// Threads: any thread may Peek() without a lock; Fit() and Store() run
// under the design lock. Storage never moves under a reader: growing copies
// the entries into a larger generation and keeps the older ones until the
// cache is destroyed (growth only follows the view's maxima, which grow
// rarely). A reader sees an answer only after it was completely stored: the
// value is written before the known bit (or the count) is published.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

namespace UtilC::SharedNcd {

// Fixed-size arrays of atomic words, one generation per size.
template <class Generation>
class GenerationsT {
public:
  const Generation* Current() const { return m_current.load(std::memory_order_acquire); }
  // Publishes `next` as the current generation (under the design lock).
  // Kept first, so that a failure to keep it leaves the current one in place.
  void Publish(std::unique_ptr<Generation> next) {
    const Generation* current = next.get();
    m_all.push_back(std::move(next));
    m_current.store(current, std::memory_order_release);
  }

private:
  std::atomic<const Generation*> m_current{nullptr};
  std::vector<std::unique_ptr<Generation>> m_all;
};

class BitCache {
public:
  // -1 when the answer for `id` is not known yet, else 0 or 1.
  int Peek(std::uint32_t id) const {
    const Bits* bits = m_generations.Current();
    if (bits == nullptr || id >= bits->count) return -1;
    const std::uint32_t mask = 1u << (id % 32);
    if ((bits->known[id / 32].load(std::memory_order_acquire) & mask) == 0) return -1;
    return (bits->value[id / 32].load(std::memory_order_relaxed) & mask) != 0;
  }

  // Sizes the cache for `max` ids (ceil(max / 32) words each): known answers
  // are kept, new ids are unknown, bits at or above `max` are clear.
  void Fit(std::uint32_t max) {
    const Bits* old = m_generations.Current();
    if (old != nullptr && old->count == max) return;
    auto next = std::make_unique<Bits>(max);
    const std::size_t keep = old ? std::min(old->words, next->words) : 0;
    for (std::size_t w = 0; w < keep; ++w) {
      next->value[w].store(old->value[w].load(std::memory_order_relaxed), std::memory_order_relaxed);
      next->known[w].store(old->known[w].load(std::memory_order_relaxed), std::memory_order_relaxed);
    }
    if (max % 32 != 0 && next->words > 0) {
      const std::uint32_t below = (1u << (max % 32)) - 1;
      next->value[next->words - 1].fetch_and(below, std::memory_order_relaxed);
      next->known[next->words - 1].fetch_and(below, std::memory_order_relaxed);
    }
    m_generations.Publish(std::move(next));
  }

  // Records the answer for an id below the fitted size.
  void Store(std::uint32_t id, bool answer) {
    Bits* bits = const_cast<Bits*>(m_generations.Current());
    const std::uint32_t mask = 1u << (id % 32);
    if (answer)
      bits->value[id / 32].fetch_or(mask, std::memory_order_relaxed);
    else
      bits->value[id / 32].fetch_and(~mask, std::memory_order_relaxed);
    bits->known[id / 32].fetch_or(mask, std::memory_order_release);
  }

  std::uint32_t BitCount() const {
    const Bits* bits = m_generations.Current();
    return bits ? bits->count : 0;
  }

private:
  struct Bits {
    explicit Bits(std::uint32_t max)
        : count(max), words((static_cast<std::size_t>(max) + 31) / 32),
          value(new std::atomic<std::uint32_t>[words]()), known(new std::atomic<std::uint32_t>[words]()) {}
    std::uint32_t count;
    std::size_t words;
    std::unique_ptr<std::atomic<std::uint32_t>[]> value;
    std::unique_ptr<std::atomic<std::uint32_t>[]> known;
  };
  GenerationsT<Bits> m_generations;
};

class CountCache {
public:
  static constexpr std::uint32_t kNotCounted = 0xFFFFFFFFu;

  // kNotCounted when `id` has no count yet.
  std::uint32_t Peek(std::uint32_t id) const {
    const Counts* counts = m_generations.Current();
    if (counts == nullptr || id >= counts->size) return kNotCounted;
    return counts->entries[id].load(std::memory_order_acquire);
  }

  // Sizes the cache for `max` entries: existing counts kept, new entries not
  // counted, surplus entries dropped.
  void Fit(std::uint32_t max) {
    const Counts* old = m_generations.Current();
    if (old != nullptr && old->size == max) return;
    auto next = std::make_unique<Counts>(max);
    const std::uint32_t keep = old ? std::min(old->size, max) : 0;
    for (std::uint32_t i = 0; i < keep; ++i)
      next->entries[i].store(old->entries[i].load(std::memory_order_relaxed), std::memory_order_relaxed);
    m_generations.Publish(std::move(next));
  }

  void Store(std::uint32_t id, std::uint32_t count) {
    const_cast<Counts*>(m_generations.Current())->entries[id].store(count, std::memory_order_release);
  }
  // Stores counts[id] for every id below the fitted size not counted yet.
  void StoreWhereNotCounted(const std::vector<std::uint32_t>& counts) {
    Counts* current = const_cast<Counts*>(m_generations.Current());
    const std::size_t size = current ? std::min<std::size_t>(current->size, counts.size()) : 0;
    for (std::size_t id = 0; id < size; ++id) {
      if (current->entries[id].load(std::memory_order_relaxed) == kNotCounted)
        current->entries[id].store(counts[id], std::memory_order_release);
    }
  }

  std::uint32_t Size() const {
    const Counts* counts = m_generations.Current();
    return counts ? counts->size : 0;
  }

private:
  struct Counts {
    explicit Counts(std::uint32_t n) : size(n), entries(new std::atomic<std::uint32_t>[n]) {
      for (std::uint32_t i = 0; i < n; ++i) entries[i].store(kNotCounted, std::memory_order_relaxed);
    }
    std::uint32_t size;
    std::unique_ptr<std::atomic<std::uint32_t>[]> entries;
  };
  GenerationsT<Counts> m_generations;
};

}  // namespace UtilC::SharedNcd
