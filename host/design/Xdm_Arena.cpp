#include "Xdm_Arena.h"

#include <functional>

const char* Xdm_StringArena::Copy(std::string_view text) {
  if (text.empty()) return "";
  const std::size_t need = text.size() + 1;
  char* out = nullptr;
  if (need > kChunk / 8) {
    // Long texts get a chunk of their own so that the shared chunk is not cut short.
    m_chunks.push_back(std::make_unique<char[]>(need));
    m_reserved += need;
    out = m_chunks.back().get();
  } else {
    if (need > m_left) {
      m_chunks.push_back(std::make_unique<char[]>(kChunk));
      m_reserved += kChunk;
      m_next = m_chunks.back().get();
      m_left = kChunk;
    }
    out = m_next;
    m_next += need;
    m_left -= need;
  }
  std::memcpy(out, text.data(), text.size());
  out[text.size()] = '\0';
  return out;
}

namespace {

constexpr std::uint64_t kIndexMask = 0xFFFFFFFFu;

std::uint64_t HashOf(std::string_view name) {
  return std::hash<std::string_view>{}(name) | (std::uint64_t{1} << 63);  // never 0
}

}  // namespace

std::size_t Xdm_NameIndex::Probe(std::string_view name, std::uint64_t hash) const {
  const std::size_t mask = m_slots.size() - 1;
  const std::uint64_t tag = hash & ~kIndexMask;
  for (std::size_t s = hash & mask;; s = (s + 1) & mask) {
    const std::uint64_t slot = m_slots[s];
    if (slot == 0) return s;
    if ((slot & ~kIndexMask) == tag && m_items[(slot & kIndexMask) - 1].first == name) return s;
  }
}

void Xdm_NameIndex::Rehash(std::size_t slots) {
  m_slots.assign(slots, 0);
  for (std::size_t i = 0; i < m_items.size(); ++i) {
    const std::uint64_t hash = HashOf(m_items[i].first);
    std::size_t s = hash & (slots - 1);
    while (m_slots[s] != 0)
      s = (s + 1) & (slots - 1);
    m_slots[s] = (hash & ~kIndexMask) | (i + 1);
  }
}

void* Xdm_NameIndex::Find(std::string_view name) const {
  if (m_slots.empty()) {
    for (const auto& item : m_items) {
      if (item.first == name) return item.second;
    }
    return nullptr;
  }
  const std::uint64_t slot = m_slots[Probe(name, HashOf(name))];
  return slot == 0 ? nullptr : m_items[(slot & kIndexMask) - 1].second;
}

bool Xdm_NameIndex::Insert(std::string_view name, void* value) {
  if (m_slots.empty()) {
    if (Find(name) != nullptr) return false;
    m_items.emplace_back(name, value);
    if (m_items.size() > kLinearLimit) Rehash(64);
    return true;
  }
  const std::uint64_t hash = HashOf(name);
  const std::size_t s = Probe(name, hash);
  if (m_slots[s] != 0) return false;
  m_items.emplace_back(name, value);
  m_slots[s] = (hash & ~kIndexMask) | m_items.size();
  if (m_items.size() * 2 > m_slots.size()) Rehash(m_slots.size() * 2);
  return true;
}

void Xdm_NameIndex::Clear() {
  if (m_items.size() > 4096) {
    std::vector<std::pair<std::string_view, void*>>().swap(m_items);
    std::vector<std::uint64_t>().swap(m_slots);
    return;
  }
  m_items.clear();
  m_slots.clear();
}
