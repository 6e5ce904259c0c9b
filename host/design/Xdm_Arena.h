// Storage helpers of the design database (internal to host_design).
//
// Xdm_StringArena and Xdm_ObjectArena hand out memory that never moves and
// lives as long as the arena: objects and names of a view keep their
// addresses until the view is freed, which is what lets callers hold plain
// pointers. Both start with a small chunk and double the next one up to a
// limit, so that a tiny design costs little and a large one is made of
// large chunks (an object arena's mapped on their own: Xdm_AllocateChunk).
// Xdm_NameIndex is the loader's name lookup: small sets are searched in
// place, larger ones through a hash table, so that one index can be reused
// for millions of small blocks without paying for its largest use. None of
// these classes locks; their owners serialise access.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <stdexcept>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include "Xdm_LargeArray.h"

class Xdm_StringArena {
 public:
  Xdm_StringArena() = default;
  Xdm_StringArena(const Xdm_StringArena&) = delete;
  Xdm_StringArena& operator=(const Xdm_StringArena&) = delete;

  // A NUL-terminated copy of `text`; the empty text answers a shared "".
  const char* Copy(std::string_view text);
  std::size_t BytesReserved() const { return m_reserved; }
  // Calls fn(first, bytes) for each chunk, in the order made, with the
  // bytes its texts (and their NULs) take; the texts lie back to back.
  template <class Fn>
  void ForEachChunk(Fn fn) const {
    for (const Chunk& chunk : m_chunks)
      fn(static_cast<const char*>(chunk.data.get()), chunk.used);
  }

  // Takes `other`'s chunks; their texts keep their addresses.
  void Adopt(Xdm_StringArena&& other);

  static constexpr std::size_t kFirstChunk = 256;
  static constexpr std::size_t kLastChunk = std::size_t{1} << 20;

 private:
  struct Chunk {
    std::unique_ptr<char[]> data;
    std::size_t used = 0;
  };
  std::vector<Chunk> m_chunks;
  std::size_t m_shared = 0;  // the chunk texts are cut from (when m_left > 0)
  char* m_next = nullptr;
  std::size_t m_left = 0;
  std::size_t m_reserved = 0;
  std::size_t m_chunk = kFirstChunk / 2;  // the size of the last shared chunk
};

// Whether an arena of T calls its objects' destructors. A type whose
// destructor has no effect may say no (see Xdm_ViewStore.h): freeing
// millions of objects then touches none of them.
template <class T>
inline constexpr bool Xdm_ArenaDestroys = !std::is_trivially_destructible_v<T>;

// Objects of one type; destroyed with the arena, in reverse order of
// creation. Chunk k holds kFirst << k objects up to kLast, then kLast each.
// T's constructor may be private if T befriends the arena.
template <class T>
class Xdm_ObjectArena {
 public:
  static constexpr std::size_t kFirst = 16;
  static constexpr std::size_t kLast = 4096;

  Xdm_ObjectArena() = default;
  Xdm_ObjectArena(const Xdm_ObjectArena&) = delete;
  Xdm_ObjectArena& operator=(const Xdm_ObjectArena&) = delete;
  ~Xdm_ObjectArena() {
    if constexpr (Xdm_ArenaDestroys<T>) {
      for (std::size_t i = m_count; i-- > 0;)
        Own(i)->~T();
    }
    for (std::size_t k = 0; k < FirstRunChunk(); ++k)
      Xdm_FreeChunk(m_chunks[k], sizeof(T) * ChunkSize(k), std::align_val_t{alignof(T)});
    for (const Run& run : m_runs)
      Xdm_FreeChunk(m_chunks[run.firstChunk], sizeof(T) * run.objects,
                    std::align_val_t{alignof(T)});
  }

  // Makes room for the first `objects` objects of an arena that has none
  // yet, in one run (see AddChunks).
  void Reserve(std::size_t objects) {
    if (!m_chunks.empty() || !m_adopted.empty() || objects == 0) return;
    std::size_t chunks = 0, capacity = 0;
    while (capacity < objects)
      capacity += ChunkSize(chunks++);
    AddRun(chunks);
  }

  template <class... Args>
  T* Create(Args&&... args) {
    if (m_count == m_present) {
      if (m_presentChunks == m_chunks.size()) AddChunks();
      const std::size_t size = ChunkSize(m_presentChunks);
      if (m_presentChunks >= FirstRunChunk())
        Xdm_PresentChunk(m_chunks[m_presentChunks], sizeof(T) * size);
      ++m_presentChunks;
      m_present += size;
    }
    T* slot = Own(m_count);
    new (slot) T(std::forward<Args>(args)...);
    ++m_count;
    return slot;
  }
  std::size_t Size() const { return m_count + m_adoptedCount; }
  std::size_t BytesReserved() const {
    std::size_t bytes = m_capacity * sizeof(T);
    for (const auto& adopted : m_adopted)
      bytes += adopted->BytesReserved();
    return bytes;
  }
  // The i-th object made (i < Size()).
  T* At(std::size_t i) const {
    if (!m_adopted.empty() && i >= m_adoptedAt) [[unlikely]] {
      std::size_t j = i - m_adoptedAt;
      for (const auto& adopted : m_adopted) {
        if (j < adopted->m_count) return adopted->Own(j);
        j -= adopted->m_count;
      }
      i -= m_adoptedCount;
    }
    return Own(i);
  }
  // Calls fn(first, count) for the objects in the order they were made,
  // one call per chunk (or part of one) they fill: the objects of a call
  // lie in a row.
  template <class Fn>
  void ForEachRow(Fn fn) const {
    OwnRows(0, m_adoptedAt, fn);
    for (const auto& adopted : m_adopted)
      adopted->OwnRows(0, adopted->m_count, fn);
    OwnRows(m_adoptedAt, m_count, fn);
  }
  // Makes `other`'s objects this arena's next ones, in their order: they
  // keep their addresses, and objects made later follow them. Arenas
  // adopted one after another lie side by side; only an arena that has
  // adopted none itself can be adopted, and none once objects have been
  // made after an adoption.
  void Adopt(Xdm_ObjectArena&& other) {
    if (!other.m_adopted.empty() || (!m_adopted.empty() && m_count != m_adoptedAt)) {
      throw std::logic_error("Xdm_ObjectArena: adoptions apart");
    }
    m_adopted.reserve(m_adopted.size() + 1);
    auto& adopted = m_adopted.emplace_back(std::make_unique<Xdm_ObjectArena>());
    adopted->m_chunks.swap(other.m_chunks);
    std::swap(adopted->m_count, other.m_count);
    std::swap(adopted->m_capacity, other.m_capacity);
    std::swap(adopted->m_present, other.m_present);
    std::swap(adopted->m_presentChunks, other.m_presentChunks);
    adopted->m_runs.swap(other.m_runs);
    m_adoptedAt = m_count;
    m_adoptedCount += adopted->m_count;
  }

 private:
  // The i-th object made here (not adopted).
  T* Own(std::size_t i) const {
    if (i < kGrown) {  // in the growing chunks: chunk k starts at kFirst * (2^k - 1)
      const std::size_t shifted = i + kFirst;
      const int chunk = std::bit_width(shifted) - 1 - kFirstShift;
      return m_chunks[chunk] + (shifted - (kFirst << chunk));
    }
    return m_chunks[kGrowing + (i - kGrown) / kLast] + (i - kGrown) % kLast;
  }
  template <class Fn>
  void OwnRows(std::size_t from, std::size_t to, Fn& fn) const {
    std::size_t start = 0;
    for (std::size_t k = 0; start < to; start += ChunkSize(k++)) {
      const std::size_t end = std::min(to, start + ChunkSize(k));
      if (end > from) {
        const std::size_t begin = std::max(from, start);
        fn(m_chunks[k] + (begin - start), end - begin);
      }
    }
  }
  static constexpr int kFirstShift = std::countr_zero(kFirst);
  // The chunks that grow (kFirst up to kLast / 2 objects) and what they hold.
  static constexpr std::size_t kGrowing = std::countr_zero(kLast) - kFirstShift;
  static constexpr std::size_t kGrown = kFirst * ((std::size_t{1} << kGrowing) - 1);
  static_assert(std::has_single_bit(kFirst) && std::has_single_bit(kLast) && kFirst < kLast);
  static std::size_t ChunkSize(std::size_t chunk) {
    return chunk < kGrowing ? kFirst << chunk : kLast;
  }

  std::vector<T*> m_chunks;
  std::size_t m_count = 0;
  std::size_t m_capacity = 0;
  // Chunks that lie side by side in one piece of memory, had and freed as
  // one: every chunk from the first run's on.
  struct Run {
    std::size_t firstChunk = 0;
    std::size_t objects = 0;
  };
  std::size_t FirstRunChunk() const {
    return m_runs.empty() ? m_chunks.size() : m_runs[0].firstChunk;
  }
  // The growing chunks come one by one from Xdm_AllocateChunk, pages and
  // all: a small arena costs little. Later chunks come in runs, more at a
  // time as the arena grows, their pages had chunk by chunk as they are
  // first used: taking the process's memory map once per run rather than
  // once per chunk keeps another thread that is building its own arenas
  // from waiting on it.
  void AddChunks() {
    const std::size_t k = m_chunks.size();
    if (k < kGrowing && m_runs.empty()) {
      const std::size_t size = ChunkSize(k);
      // Room first: a chunk allocated before a failing push_back would leak.
      if (m_chunks.size() == m_chunks.capacity()) m_chunks.reserve(2 * m_chunks.size() + 8);
      m_chunks.push_back(
          static_cast<T*>(Xdm_AllocateChunk(sizeof(T) * size, std::align_val_t{alignof(T)})));
      m_capacity += size;
      return;
    }
    AddRun(std::min<std::size_t>(kLongestRun, std::max<std::size_t>(1, k - kGrowing)));
  }
  void AddRun(std::size_t chunks) {
    const std::size_t k = m_chunks.size();
    std::size_t objects = 0;
    for (std::size_t i = k; i < k + chunks; ++i)
      objects += ChunkSize(i);
    m_runs.reserve(m_runs.size() + 1);
    m_chunks.reserve(k + chunks);
    T* first = static_cast<T*>(Xdm_ReserveChunk(sizeof(T) * objects, std::align_val_t{alignof(T)}));
    m_runs.push_back({k, objects});
    for (std::size_t i = k, at = 0; i < k + chunks; at += ChunkSize(i++))
      m_chunks.push_back(first + at);
    m_capacity += objects;
  }
  static constexpr std::size_t kLongestRun = 64;  // chunks

  // Objects [0, m_present), chunks [0, m_presentChunks), have their pages.
  std::size_t m_present = 0;
  std::size_t m_presentChunks = 0;
  std::vector<Run> m_runs;
  // Objects m_adoptedAt... of this arena, m_adoptedCount in all.
  std::vector<std::unique_ptr<Xdm_ObjectArena>> m_adopted;
  std::size_t m_adoptedAt = 0;
  std::size_t m_adoptedCount = 0;
};

// Name to pointer. Keys are views of strings owned elsewhere that must
// outlive their entries. Find may run on several threads at once.
class Xdm_NameIndex {
 public:
  // The hash of `name` in a large index. A caller that will look a name up
  // a little later may hash it and Prefetch its slot now.
  static std::uint64_t Hash(std::string_view name);

  // Answers false (and keeps the first entry) when `name` is present.
  bool Insert(std::string_view name, void* value);
  // The same for a name whose Hash is known.
  bool Insert(std::string_view name, void* value, std::uint64_t hash);
  void* Find(std::string_view name) const;
  // The same for a name whose Hash is known.
  void* Find(std::string_view name, std::uint64_t hash) const;
  // Starts fetching the slot a name of this hash lands on, so that a Find
  // with it a little later need not wait for memory.
  void Prefetch(std::uint64_t hash) const {
    __builtin_prefetch(m_entries.data() + (hash & m_mask));
  }
  std::size_t Size() const { return m_size; }
  // Whether lookups go through the hash table (more than a few names): the
  // index is large enough for a Prefetch to be worth its while.
  bool IsLarge() const { return m_mask != 0; }
  // Makes room for `names` names in all, so that inserting them never
  // grows the table on the way.
  void Reserve(std::size_t names);
  // Forgets every entry; memory of a large table is given back.
  void Clear();

 private:
  // A name of up to kShort bytes is kept in its entry, as one word, so that
  // comparing it reads no other memory; a longer one is kept by address.
  struct Entry {
    std::uint64_t key = 0;
    std::uint32_t size = 0;
    std::uint32_t tag = 0;  // in the table: part of the hash, never 0; 0 marks a free slot
    void* value = nullptr;
  };
  static constexpr std::size_t kShort = 8;
  static constexpr std::size_t kLinearLimit = 16;
  // The memory of a table. Below kLargeTable it comes from the heap: the
  // loader clears a block's indexes and grows them again for the next
  // block, which then reuses what the last one freed rather than taking
  // fresh pages from the system each time. From kLargeTable on it is
  // mapped on its own (given back when freed) and asks for large pages: it
  // is probed at random across more small pages than the processor keeps
  // translations for (the nets and the cells of a million-block design:
  // 5% of its load).
  static constexpr std::size_t kLargeTable = std::size_t{4} << 20;
  struct TableMemory {
    static void* Allocate(std::size_t bytes, std::align_val_t align);
    static void Free(void* table, std::size_t bytes, std::align_val_t align);
  };
  using Table = std::vector<Entry, Xdm_ArrayAllocator<Entry, TableMemory>>;
  static std::uint64_t KeyOf(std::string_view name);
  static std::uint64_t HashOf(std::string_view name, std::uint64_t key);
  static std::uint32_t TagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32) | 1;
  }
  static bool Same(const Entry& e, std::string_view name, std::uint64_t key) {
    if (e.size != name.size()) return false;
    if (e.size <= kShort) return e.key == key;
    return std::memcmp(reinterpret_cast<const char*>(e.key), name.data(), e.size) == 0;
  }
  // The entry holding `name` (whose ListTag is `tag`) while the entries
  // are a list; m_size if none.
  std::size_t Search(std::string_view name, std::uint64_t key, std::uint8_t tag) const;
  // A byte of `name`'s that a list keeps per entry (m_tags), so that a
  // search reads only the entries whose byte is the same.
  static std::uint8_t ListTag(std::string_view name, std::uint64_t key);
  // The slot holding `name` in the table, or the free slot where it would go.
  std::size_t Probe(std::string_view name, std::uint64_t key, std::uint64_t hash) const;
  void Rehash(std::size_t slots);

  // Up to kLinearLimit names: the entries in insertion order, searched in
  // turn. Beyond: an open-addressing table, at most half full, whose size
  // less one is m_mask (0 while the entries are a list).
  Table m_entries;
  std::size_t m_size = 0;
  std::size_t m_mask = 0;
  std::uint8_t m_tags[kLinearLimit] = {};  // while a list: entry i's ListTag, for i < m_size
};
