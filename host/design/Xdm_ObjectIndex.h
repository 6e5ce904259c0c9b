// Xdm_ObjectIndex: the pins or the signals of a view by bridge id, without
// a table of pointers (internal to host_design; lists read it inline).
//
// Pins and signals are the most numerous objects, and the loader numbers
// them in the order it makes them, so id i is the i-th object of its arena.
// The index keeps one address per page of kPage ids: the object of the
// page's first id, the page's others following it in memory. That is a
// sixteenth of a table. A page whose objects do not lie in a row (it spans
// two arena chunks, or the place where an arena took in another's objects)
// keeps every address, in a side list.
//
// Ids past the objects (a file's spare ids) and ids an editor removed
// answer null. The other way, IdOf finds an object's id from its address,
// among the few stretches of ids whose objects lie in a row (one per run
// of arena chunks, more or less), so that an object need not keep its id. Reading is safe from any
// number of threads; Build and Remove are the loader's and the editor's, with no reader running.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

template <class T>
class Xdm_ObjectIndex {
 public:
  static constexpr unsigned kPageShift = 4;
  static constexpr std::size_t kPage = std::size_t{1} << kPageShift;

  // Indexes `objects` objects as ids 0 ..., among `slots` ids in all
  // (slots >= objects; the rest are spare). rows(fn) calls fn(first,
  // count) for the objects in id order, one call per stretch of them that
  // lies in a row (an arena's ForEachRow): the work is one step per page
  // and per stretch, not per object.
  template <class Rows>
  void Build(std::size_t objects, std::size_t slots, Rows rows) {
    m_objects = objects;
    m_slots = slots;
    m_stride = sizeof(T);
    m_pages.assign((objects + kPage - 1) >> kPageShift, 0);
    m_scattered.clear();
    m_removed.clear();
    m_stretches.clear();
    std::size_t id = 0;
    rows([&](T* first, std::size_t count) {
      const auto address = reinterpret_cast<std::uintptr_t>(first);
      if (m_stretches.empty() || address != m_stretches.back().end)
        m_stretches.push_back({address, address, id});
      m_stretches.back().end = address + count * m_stride;
      id += count;
    });
    // The stretches are in id order until sorted below.
    std::size_t s = 0;
    for (std::size_t page = 0; page < m_pages.size(); ++page) {
      const std::size_t first = page << kPageShift;
      const std::size_t count = std::min(kPage, objects - first);
      while (s + 1 < m_stretches.size() && m_stretches[s + 1].firstId <= first)
        ++s;
      if (first + count <= End(s)) {
        m_pages[page] = At(s, first);
        continue;
      }
      m_pages[page] = m_scattered.size() << 1 | 1;
      for (std::size_t k = 0, t = s; k < kPage; ++k) {
        while (k < count && first + k >= End(t))
          ++t;
        m_scattered.push_back(k < count ? reinterpret_cast<T*>(At(t, first + k)) : nullptr);
      }
    }
    std::sort(m_stretches.begin(), m_stretches.end(),
              [](const Stretch& a, const Stretch& b) { return a.begin < b.begin; });
  }
  // Grows the ids by `more` spare ones.
  void AddSpare(std::size_t more) { m_slots += more; }

  // Null for a spare or removed id; id < size().
  T* operator[](std::size_t id) const {
    if (id >= m_objects) [[unlikely]]
      return nullptr;
    if (IsRemoved(id)) [[unlikely]]
      return nullptr;
    const std::uintptr_t page = m_pages[id >> kPageShift];
    const std::size_t k = id & (kPage - 1);
    if ((page & 1) != 0) [[unlikely]]
      return m_scattered[(page >> 1) + k];
    return reinterpret_cast<T*>(page + k * m_stride);
  }
  // The id of `object`: kNone when it is no object of the index, or one
  // an editor removed.
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  std::uint32_t IdOf(const T* object) const {
    const auto at = reinterpret_cast<std::uintptr_t>(object);
    auto it = std::upper_bound(m_stretches.begin(), m_stretches.end(), at,
                               [](std::uintptr_t a, const Stretch& s) { return a < s.begin; });
    if (it == m_stretches.begin()) return kNone;
    --it;
    const std::uintptr_t offset = at - it->begin;
    if (at >= it->end || offset % m_stride != 0) return kNone;
    const std::size_t id = it->firstId + offset / m_stride;
    if (IsRemoved(id)) return kNone;
    return static_cast<std::uint32_t>(id);
  }
  // The number of ids, spare ones included.
  std::size_t size() const { return m_slots; }
  // The number of objects made (ids [0, Objects()) name one until removed).
  std::size_t Objects() const { return m_objects; }
  // From now on, `id` answers null.
  void Remove(std::size_t id) {
    if (id >= m_objects) return;
    if (m_removed.empty()) m_removed.assign((m_objects + 63) / 64, 0);
    m_removed[id >> 6] |= std::uint64_t{1} << (id & 63);
  }
  bool IsRemoved(std::size_t id) const {
    return !m_removed.empty() && (m_removed[id >> 6] >> (id & 63) & 1) != 0;
  }
  std::size_t Bytes() const {
    return m_pages.capacity() * sizeof(std::uintptr_t) + m_scattered.capacity() * sizeof(T*) +
           m_removed.capacity() * sizeof(std::uint64_t) + m_stretches.capacity() * sizeof(Stretch);
  }

 private:
  // Per page: the address of its first object, or (the place of its
  // addresses in m_scattered) << 1 | 1.
  std::vector<std::uintptr_t> m_pages;
  std::vector<T*> m_scattered;
  std::vector<std::uint64_t> m_removed;  // a bit per id; empty until a removal
  // Ids [firstId, ...) whose objects fill addresses [begin, end), by begin.
  struct Stretch {
    std::uintptr_t begin = 0;
    std::uintptr_t end = 0;
    std::size_t firstId = 0;
  };
  std::vector<Stretch> m_stretches;
  // While building, with the stretches in id order: stretch s's end id,
  // and the address of its object `id`.
  std::size_t End(std::size_t s) const {
    return m_stretches[s].firstId + (m_stretches[s].end - m_stretches[s].begin) / m_stride;
  }
  std::uintptr_t At(std::size_t s, std::size_t id) const {
    return m_stretches[s].begin + (id - m_stretches[s].firstId) * m_stride;
  }
  std::size_t m_stride = 0;  // sizeof(T), kept so that readers need not see T
  std::size_t m_objects = 0;
  std::size_t m_slots = 0;
};
