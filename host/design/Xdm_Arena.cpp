#include "Xdm_Arena.h"

#include <emmintrin.h>

#include <algorithm>
#include <bit>
#include <cstring>

#include "Port_Memory.h"
#include "Xdm_LargeArray.h"

namespace {

// From this size on a chunk (or a large array) is mapped. The address sanitizer watches heap
// memory only: its builds take every chunk from the heap.
#if defined(__SANITIZE_ADDRESS__)
constexpr std::size_t kMappedChunk = SIZE_MAX;
#else
constexpr std::size_t kMappedChunk = std::size_t{128} << 10;
#endif

}  // namespace

void* Xdm_AllocateChunk(std::size_t bytes, std::align_val_t align) {
  if (bytes < kMappedChunk) return ::operator new(bytes, align);
  void* chunk = Port::Memory::MapPresent(bytes);
  if (chunk == nullptr) throw std::bad_alloc();
  return chunk;
}

void* Xdm_ReserveChunk(std::size_t bytes, std::align_val_t align) {
  if (bytes < kMappedChunk) return ::operator new(bytes, align);
  void* chunk = Port::Memory::Map(bytes);
  if (chunk == nullptr) throw std::bad_alloc();
  return chunk;
}

void Xdm_PresentChunk(void* chunk, std::size_t bytes) {
  Port::Memory::Present(chunk, bytes);
}

void Xdm_FreeChunk(void* chunk, std::size_t bytes, std::align_val_t align) {
  if (bytes < kMappedChunk) {
    ::operator delete(chunk, align);
  } else {
    Port::Memory::Unmap(chunk, bytes);
  }
}

const char* Xdm_StringArena::Copy(std::string_view text) {
  if (text.empty()) return "";
  const std::size_t need = text.size() + 1;
  char* out = nullptr;
  if (need > kLastChunk / 8) {
    // Long texts get a chunk of their own so that the shared chunk is not cut short.
    m_chunks.push_back({std::make_unique_for_overwrite<char[]>(need), need});
    m_reserved += need;
    out = m_chunks.back().data.get();
  } else {
    if (need > m_left) {
      m_chunk = std::min(kLastChunk, std::max(2 * m_chunk, std::bit_ceil(need)));
      m_chunks.push_back({std::make_unique_for_overwrite<char[]>(m_chunk), 0});
      m_reserved += m_chunk;
      m_shared = m_chunks.size() - 1;
      m_next = m_chunks.back().data.get();
      m_left = m_chunk;
    }
    m_chunks[m_shared].used += need;
    out = m_next;
    m_next += need;
    m_left -= need;
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out;
}

namespace {

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;

std::uint64_t Load8(const char* p) {
  std::uint64_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

std::uint64_t Load4(const char* p) {
  std::uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

// Up to 8 bytes as one word, the first byte lowest, zero-padded; two
// overlapping loads stand in for a byte loop from 4 bytes on.
std::uint64_t Pack(const char* p, std::size_t n) {
  if (n >= 4) return Load4(p) | (Load4(p + n - 4) << (8 * (n - 4)));
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < n; ++i)
    word |= std::uint64_t{static_cast<unsigned char>(p[i])} << (8 * i);
  return word;
}

// Spreads every input bit over the whole word (MurmurHash3's finaliser).
std::uint64_t Finish(std::uint64_t h) {
  h ^= h >> 33;
  h *= 0xFF51AFD7ED558CCDu;
  h ^= h >> 33;
  h *= 0xC4CEB9FE1A85EC53u;
  return h ^ (h >> 33);
}

std::uint64_t HashWord(std::uint64_t word, std::size_t n) {
  return Finish(word ^ (n * kMultiplier));
}

std::uint64_t HashLong(const char* p, std::size_t n) {
  std::uint64_t h = n * kMultiplier;
  for (; n > 8; n -= 8, p += 8) {
    h = (h ^ Load8(p)) * kMultiplier;
    h ^= h >> 32;
  }
  return Finish(h ^ Load8(p + n - 8));
}

}  // namespace

std::uint64_t Xdm_NameIndex::KeyOf(std::string_view name) {
  if (name.size() <= kShort) return Pack(name.data(), name.size());
  return reinterpret_cast<std::uintptr_t>(name.data());
}

std::uint64_t Xdm_NameIndex::HashOf(std::string_view name, std::uint64_t key) {
  if (name.size() <= kShort) return HashWord(key, name.size());
  return HashLong(name.data(), name.size());
}

std::uint64_t Xdm_NameIndex::Hash(std::string_view name) {
  return HashOf(name, KeyOf(name));
}

std::uint8_t Xdm_NameIndex::ListTag(std::string_view name, std::uint64_t key) {
  const std::size_t n = name.size();
  const std::uint64_t word = n <= kShort ? key : Load8(name.data()) ^ Load8(name.data() + n - 8);
  return static_cast<std::uint8_t>(((word ^ n) * kMultiplier) >> 56);
}

// The tags of a list are compared sixteen at a time.
std::size_t Xdm_NameIndex::Search(std::string_view name, std::uint64_t key,
                                  std::uint8_t tag) const {
  static_assert(kLinearLimit == 16, "one 16-byte compare covers a list");
  const __m128i tags = _mm_loadu_si128(reinterpret_cast<const __m128i*>(m_tags));
  const __m128i wanted = _mm_set1_epi8(static_cast<char>(tag));
  auto candidates = static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(tags, wanted)));
  candidates &= (std::uint32_t{1} << m_size) - 1;
  for (; candidates != 0; candidates &= candidates - 1) {
    const auto i = static_cast<std::size_t>(std::countr_zero(candidates));
    if (Same(m_entries[i], name, key)) return i;
  }
  return m_size;
}

std::size_t Xdm_NameIndex::Probe(std::string_view name, std::uint64_t key,
                                 std::uint64_t hash) const {
  const std::uint32_t tag = TagOf(hash);
  for (std::size_t s = hash & m_mask;; s = (s + 1) & m_mask) {
    const Entry& e = m_entries[s];
    if (e.tag == 0 || (e.tag == tag && Same(e, name, key))) return s;
  }
}

void Xdm_NameIndex::Rehash(std::size_t slots) {
  const bool wasList = m_mask == 0;
  Table old(slots);
  old.swap(m_entries);
  m_mask = slots - 1;
  for (Entry e : old) {
    if (!wasList && e.tag == 0) continue;
    const std::uint64_t hash = e.size <= kShort
                                   ? HashWord(e.key, e.size)
                                   : HashLong(reinterpret_cast<const char*>(e.key), e.size);
    e.tag = TagOf(hash);
    std::size_t s = hash & m_mask;
    while (m_entries[s].tag != 0)
      s = (s + 1) & m_mask;
    m_entries[s] = e;
  }
}

void* Xdm_NameIndex::Find(std::string_view name) const {
  const std::uint64_t key = KeyOf(name);
  if (m_mask == 0) {
    const std::size_t i = Search(name, key, ListTag(name, key));
    return i < m_size ? m_entries[i].value : nullptr;
  }
  return m_entries[Probe(name, key, HashOf(name, key))].value;
}

void* Xdm_NameIndex::Find(std::string_view name, std::uint64_t hash) const {
  const std::uint64_t key = KeyOf(name);
  if (m_mask == 0) {
    const std::size_t i = Search(name, key, ListTag(name, key));
    return i < m_size ? m_entries[i].value : nullptr;
  }
  return m_entries[Probe(name, key, hash)].value;
}

bool Xdm_NameIndex::Insert(std::string_view name, void* value) {
  return Insert(name, value, m_mask == 0 ? 0 : Hash(name));
}

bool Xdm_NameIndex::Insert(std::string_view name, void* value, std::uint64_t hash) {
  const std::uint64_t key = KeyOf(name);
  const auto size = static_cast<std::uint32_t>(name.size());
  if (m_mask == 0) {
    const std::uint8_t tag = ListTag(name, key);
    if (Search(name, key, tag) < m_size) return false;
    m_entries.push_back({key, size, 0, value});
    if (m_size < kLinearLimit) m_tags[m_size] = tag;
    if (++m_size > kLinearLimit) Rehash(4 * kLinearLimit);
    return true;
  }
  Entry& slot = m_entries[Probe(name, key, hash)];
  if (slot.tag != 0) return false;
  slot = {key, size, TagOf(hash), value};
  if (++m_size * 2 > m_entries.size()) Rehash(m_entries.size() * 2);
  return true;
}

void Xdm_NameIndex::Reserve(std::size_t names) {
  if (names <= kLinearLimit) return;
  const std::size_t slots = std::max(4 * kLinearLimit, std::bit_ceil(2 * names));
  if (slots > m_entries.size() || m_mask == 0) Rehash(slots);
}

void Xdm_NameIndex::Clear() {
  if (m_entries.size() > 4096) {
    Table().swap(m_entries);
  } else {
    m_entries.clear();
  }
  m_size = 0;
  m_mask = 0;
}

void* Xdm_NameIndex::TableMemory::Allocate(std::size_t bytes, std::align_val_t align) {
  if (bytes < kLargeTable) return ::operator new(bytes, align);
  void* table = Xdm_ReserveChunk(bytes, align);
  Port::Memory::PreferLargePages(table, bytes);
  return table;
}

void Xdm_NameIndex::TableMemory::Free(void* table, std::size_t bytes, std::align_val_t align) {
  if (bytes < kLargeTable) return ::operator delete(table, align);
  Xdm_FreeChunk(table, bytes, align);
}

void Xdm_StringArena::Adopt(Xdm_StringArena&& other) {
  m_chunks.reserve(m_chunks.size() + other.m_chunks.size());
  for (Chunk& chunk : other.m_chunks)
    m_chunks.push_back(std::move(chunk));
  m_reserved += other.m_reserved;
  other.m_chunks.clear();
  other.m_reserved = 0;
  other.m_left = 0;
  other.m_next = nullptr;
}
