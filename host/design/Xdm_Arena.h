// Storage helpers of the design database (internal to host_design).
//
// Xdm_StringArena and Xdm_ObjectArena hand out memory that never moves and
// lives as long as the arena: objects and names of a view keep their
// addresses until the view is freed, which is what lets callers hold plain
// pointers. Xdm_NameIndex is the loader's name lookup: small sets are
// searched in place, larger ones through a hash table, so that one index can
// be reused for millions of small blocks without paying for its largest use.
// None of these classes locks; their owners serialise access.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

class Xdm_StringArena {
 public:
  Xdm_StringArena() = default;
  Xdm_StringArena(const Xdm_StringArena&) = delete;
  Xdm_StringArena& operator=(const Xdm_StringArena&) = delete;

  // A NUL-terminated copy of `text`; the empty text answers a shared "".
  const char* Copy(std::string_view text);
  std::size_t BytesReserved() const { return m_reserved; }

 private:
  static constexpr std::size_t kChunk = std::size_t{1} << 20;
  std::vector<std::unique_ptr<char[]>> m_chunks;
  char* m_next = nullptr;
  std::size_t m_left = 0;
  std::size_t m_reserved = 0;
};

// Objects of one type in chunks of kChunk; destroyed with the arena, in
// reverse order of creation. T's constructor may be private if T befriends
// the arena.
template <class T>
class Xdm_ObjectArena {
 public:
  Xdm_ObjectArena() = default;
  Xdm_ObjectArena(const Xdm_ObjectArena&) = delete;
  Xdm_ObjectArena& operator=(const Xdm_ObjectArena&) = delete;
  ~Xdm_ObjectArena() {
    for (std::size_t i = m_count; i-- > 0;)
      At(i)->~T();
    for (T* chunk : m_chunks)
      ::operator delete (chunk, std::align_val_t{alignof(T)});
  }

  template <class... Args>
  T* Create(Args&&... args) {
    if (m_count == m_chunks.size() * kChunk) {
      m_chunks.push_back(
          static_cast<T*>(::operator new (sizeof(T) * kChunk, std::align_val_t{alignof(T)})));
    }
    T* slot = At(m_count);
    new (slot) T(std::forward<Args>(args)...);
    ++m_count;
    return slot;
  }
  std::size_t Size() const { return m_count; }
  // The i-th object made (i < Size()).
  T* At(std::size_t i) const { return m_chunks[i / kChunk] + i % kChunk; }

 private:
  static constexpr std::size_t kChunk = 4096;
  std::vector<T*> m_chunks;
  std::size_t m_count = 0;
};

// Name to pointer. Keys are views of strings owned elsewhere that must
// outlive their entries.
class Xdm_NameIndex {
 public:
  // Answers false (and keeps the first entry) when `name` is present.
  bool Insert(std::string_view name, void* value);
  void* Find(std::string_view name) const;
  std::size_t Size() const { return m_items.size(); }
  // Forgets every entry; memory of a large table is given back.
  void Clear();

 private:
  static constexpr std::size_t kLinearLimit = 12;
  void Rehash(std::size_t slots);
  // The slot holding `name`, or the empty slot where it would go.
  std::size_t Probe(std::string_view name, std::uint64_t hash) const;
  std::vector<std::pair<std::string_view, void*>> m_items;
  // Upper half: the name's hash, so that most mismatches are seen without
  // touching the item; lower half: item index + 1 (0: empty).
  std::vector<std::uint64_t> m_slots;
};
