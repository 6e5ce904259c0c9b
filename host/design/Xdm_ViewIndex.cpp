// The name index of a view: one open-addressing table of bridge ids per kind
// of key, built from the view's reading interface.
#include "Xdm_ViewIndex.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

#include "Xdm_Arena.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace {

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

// The hash of a name within its parent (kNone: the view itself). The
// parent's id is mixed in after the name's hash, so that the children of
// one block spread over the whole table.
std::uint64_t KeyHash(std::uint32_t parent, std::string_view name) {
  std::uint64_t h = Xdm_NameIndex::Hash(name) + (std::uint64_t{parent} + 1) * 0x9E3779B97F4A7C15u;
  h ^= h >> 32;
  h *= 0xD6E8FEB86659FD93u;
  return h ^ (h >> 32);
}

std::uint32_t IdOf(const Xdm_Block* block) {
  return Xdm_BridgeId::GetBridgeId(block);
}

bool Named(const Xdm_Object* object, std::string_view name) {
  return object != nullptr && name == object->GetName();
}

// The key of the object of `id`, if the object is live: its parent's id
// and its name; and the number of ids. One row per kind of table.
struct KeyOfId {
  bool (*key)(const Xdm_View& view, std::uint32_t id, std::uint32_t& parent, const char*& name);
  std::uint32_t (*max)(const Xdm_View& view);
};

// The row of objects of type T, numbered up to (view.*Max)() and found by
// (view.*Get)(id). Blocks, pins and signals are keyed within their block
// (the top block has no key: it is no one's child); networks and shapes
// within the view.
template <class T, T* (Xdm_View::*Get)(std::uint32_t) const, std::uint32_t (Xdm_View::*Max)() const>
constexpr KeyOfId Row() {
  return {[](const Xdm_View& view, std::uint32_t id, std::uint32_t& parent, const char*& name) {
            const T* object = (view.*Get)(id);
            if (object == nullptr) return false;
            if constexpr (std::is_same_v<T, Xdm_Block>) {
              if (object->GetParent() == nullptr) return false;
              parent = IdOf(object->GetParent());
            } else if constexpr (std::is_same_v<T, Xdm_Pin> || std::is_same_v<T, Xdm_Signal>) {
              parent = IdOf(Xdm_Parent::GetParentObject(object));
            } else {
              parent = kNone;
            }
            name = object->GetName();
            return true;
          },
          [](const Xdm_View& view) { return (view.*Max)(); }};
}

const KeyOfId kKeys[Xdm_ViewIndex::kKinds] = {
    Row<Xdm_Block, &Xdm_View::GetBlockByBridgeId, &Xdm_View::GetMaxBlocks>(),
    Row<Xdm_Pin, &Xdm_View::GetPinByBridgeId, &Xdm_View::GetMaxPins>(),
    Row<Xdm_Signal, &Xdm_View::GetSignalByBridgeId, &Xdm_View::GetMaxSignals>(),
    Row<Xdm_Network, &Xdm_View::GetNetworkByBridgeId, &Xdm_View::GetMaxNetworks>(),
    Row<Xdm_PropertyHolder, &Xdm_View::GetPropertyHolderByBridgeId,
        &Xdm_View::GetMaxPropertyHolders>(),
};

}  // namespace

// Slots of an id and a tag (part of the key's hash, never 0; 0 marks a
// free slot), at most three quarters full, probed linearly. Entries are
// never removed: an entry whose object was removed or renamed fails the
// check against the view and is passed over.
class Xdm_ViewIndex::Table {
 public:
  Table(const Xdm_View& view, Kind kind) : m_view(view), m_kind(kind) {}

  void Build() {
    const std::uint32_t max = kKeys[m_kind].max(m_view);
    Resize(max);
    // Hash a batch, fetch its slots, then insert: the slots of a large
    // table are far apart, and the fetches of a batch overlap.
    constexpr std::uint32_t kBatch = 16;
    std::uint64_t hashes[kBatch];
    std::uint32_t ids[kBatch];
    for (std::uint32_t first = 0; first < max; first += kBatch) {
      std::uint32_t count = 0;
      for (std::uint32_t id = first; id < max && id < first + kBatch; ++id) {
        const char* name = nullptr;
        if (!HashOf(id, hashes[count], &name)) continue;
        m_slashed += std::strchr(name, '/') != nullptr;
        __builtin_prefetch(m_slots.data() + (hashes[count] & m_mask), 1);
        ids[count++] = id;
      }
      for (std::uint32_t i = 0; i < count; ++i)
        Place(hashes[i], ids[i]);
    }
  }

  void Insert(std::uint32_t id) {
    std::uint64_t hash = 0;
    if (!HashOf(id, hash)) return;
    if ((m_size + 1) * 4 > m_slots.size() * 3) Rehash(m_slots.size() * 2);
    Place(hash, id);
  }

  // Calls `visit(id)` for each entry of this hash until it answers true.
  template <class Visit>
  void Probe(std::uint64_t hash, Visit visit) const {
    const std::uint32_t tag = TagOf(hash);
    for (std::size_t s = hash & m_mask;; s = (s + 1) & m_mask) {
      const Slot slot = m_slots[s];
      if (slot.tag == 0) return;
      if (slot.tag == tag && visit(slot.id)) return;
    }
  }

  Usage GetUsage() const { return {m_size, m_slots.size() * sizeof(Slot)}; }
  std::size_t NamesWithSlash() const { return m_slashed; }

 private:
  struct Slot {
    std::uint32_t id = 0;
    std::uint32_t tag = 0;
  };
  static std::uint32_t TagOf(std::uint64_t hash) {
    return static_cast<std::uint32_t>(hash >> 32) | 1;
  }

  // The hash of the key of the object of `id` (and its name), if it is live.
  bool HashOf(std::uint32_t id, std::uint64_t& hash, const char** named = nullptr) const {
    std::uint32_t parent = kNone;
    const char* name = nullptr;
    if (!kKeys[m_kind].key(m_view, id, parent, name)) return false;
    hash = KeyHash(parent, name);
    if (named) *named = name;
    return true;
  }

  // Room for `count` entries at most three quarters full (16 slots at least).
  void Resize(std::size_t count) {
    std::size_t slots = 16;
    while (slots * 3 < count * 4)
      slots *= 2;
    m_slots.assign(slots, Slot{});
    m_mask = slots - 1;
    m_size = 0;
  }

  void Place(std::uint64_t hash, std::uint32_t id) {
    std::size_t s = hash & m_mask;
    while (m_slots[s].tag != 0)
      s = (s + 1) & m_mask;
    m_slots[s] = {id, TagOf(hash)};
    ++m_size;
  }

  void Rehash(std::size_t slots) {
    std::vector<Slot> old;
    old.swap(m_slots);
    m_slots.assign(slots, Slot{});
    m_mask = slots - 1;
    m_size = 0;
    std::uint64_t hash = 0;
    for (const Slot& slot : old)
      if (slot.tag != 0 && HashOf(slot.id, hash)) Place(hash, slot.id);
  }

  const Xdm_View& m_view;
  const Kind m_kind;
  std::vector<Slot> m_slots;
  std::size_t m_mask = 0;
  std::size_t m_size = 0;
  std::size_t m_slashed = 0;  // names with a '/' when built
};

Xdm_ViewIndex::Xdm_ViewIndex(const Xdm_View& view) : m_view(view) {}
Xdm_ViewIndex::~Xdm_ViewIndex() = default;

const Xdm_ViewIndex::Table& Xdm_ViewIndex::Built(Kind kind) const {
  if (const Table* table = m_built[kind].load(std::memory_order_acquire)) return *table;
  Port_ThrGuard guard(m_lock);
  if (!m_tables[kind]) {
    auto table = std::make_unique<Table>(m_view, kind);
    table->Build();
    m_tables[kind] = std::move(table);
    m_built[kind].store(m_tables[kind].get(), std::memory_order_release);
  }
  return *m_tables[kind];
}

void Xdm_ViewIndex::BuildAll() const {
  for (int kind = 0; kind < kKinds; ++kind)
    Built(static_cast<Kind>(kind));
}

template <class Object, class Same>
Object* Xdm_ViewIndex::Lookup(Kind kind, std::uint64_t hash, Same same) const {
  Object* found = nullptr;
  Built(kind).Probe(hash, [&](std::uint32_t id) {
    Object* object = nullptr;
    if constexpr (std::is_same_v<Object, Xdm_Block>) object = m_view.GetBlockByBridgeId(id);
    if constexpr (std::is_same_v<Object, Xdm_Pin>) object = m_view.GetPinByBridgeId(id);
    if constexpr (std::is_same_v<Object, Xdm_Signal>) object = m_view.GetSignalByBridgeId(id);
    if constexpr (std::is_same_v<Object, Xdm_Network>) object = m_view.GetNetworkByBridgeId(id);
    if constexpr (std::is_same_v<Object, Xdm_PropertyHolder>)
      object = m_view.GetPropertyHolderByBridgeId(id);
    if (object == nullptr || !same(object)) return false;
    found = object;
    return true;
  });
  return found;
}

Xdm_Block* Xdm_ViewIndex::FindChild(const Xdm_Block* parent, std::string_view name) const {
  if (parent == nullptr) return nullptr;
  return Lookup<Xdm_Block>(kChildren, KeyHash(IdOf(parent), name), [&](const Xdm_Block* b) {
    return b->GetParent() == parent && Named(b, name);
  });
}

Xdm_Pin* Xdm_ViewIndex::FindPin(const Xdm_Block* block, std::string_view name) const {
  if (block == nullptr) return nullptr;
  return Lookup<Xdm_Pin>(kPins, KeyHash(IdOf(block), name), [&](const Xdm_Pin* p) {
    return p->GetParent() == block && Named(p, name);
  });
}

Xdm_Signal* Xdm_ViewIndex::FindSignal(const Xdm_Block* block, std::string_view name) const {
  if (block == nullptr) return nullptr;
  return Lookup<Xdm_Signal>(kSignals, KeyHash(IdOf(block), name), [&](const Xdm_Signal* s) {
    return Xdm_Parent::GetParentObject(s) == block && Named(s, name);
  });
}

Xdm_Network* Xdm_ViewIndex::FindNetwork(std::string_view name) const {
  return Lookup<Xdm_Network>(kNetworks, KeyHash(kNone, name),
                             [&](const Xdm_Network* n) { return Named(n, name); });
}

Xdm_PropertyHolder* Xdm_ViewIndex::FindShape(std::string_view name) const {
  return Lookup<Xdm_PropertyHolder>(kShapes, KeyHash(kNone, name),
                                    [&](const Xdm_PropertyHolder* h) { return Named(h, name); });
}

Xdm_Block* Xdm_ViewIndex::FindPath(std::string_view path) const {
  Xdm_Block* block = m_view.GetBlock();
  if (path.empty()) return block;
  for (std::size_t start = 0; block != nullptr;) {
    const std::size_t slash = path.find('/', start);
    block = FindChild(block, path.substr(start, slash - start));
    if (slash == std::string_view::npos) return block;
    start = slash + 1;
  }
  return nullptr;
}

template <class Member>
void Xdm_ViewIndex::AlongPath(std::string_view fullName, Kind kind, Member member) const {
  Xdm_Block* block = m_view.GetBlock();
  if (block == nullptr) return;
  if (NamesWithSlash(kind) == 0) {
    const std::size_t last = fullName.rfind('/');
    if (last == std::string_view::npos) return member(block, fullName);
    if (last == 0) return;  // no block below the top has an empty path
    if (Xdm_Block* parent = FindPath(fullName.substr(0, last)))
      member(parent, fullName.substr(last + 1));
    return;
  }
  member(block, fullName);
  for (std::size_t start = 0;;) {
    const std::size_t slash = fullName.find('/', start);
    if (slash == std::string_view::npos) return;
    block = FindChild(block, fullName.substr(start, slash - start));
    if (block == nullptr) return;
    member(block, fullName.substr(slash + 1));
    start = slash + 1;
  }
}

void Xdm_ViewIndex::FindBlocks(std::string_view fullName, std::vector<Xdm_Block*>& out) const {
  Xdm_Block* top = m_view.GetBlock();
  if (Named(top, fullName)) out.push_back(top);
  if (fullName.empty()) return;
  if (Xdm_Block* block = FindPath(fullName); block != nullptr && block != top) out.push_back(block);
}

void Xdm_ViewIndex::FindPins(std::string_view fullName, std::vector<Xdm_Pin*>& out) const {
  AlongPath(fullName, kPins, [&](const Xdm_Block* block, std::string_view name) {
    if (Xdm_Pin* pin = FindPin(block, name)) out.push_back(pin);
  });
}

void Xdm_ViewIndex::FindSignals(std::string_view fullName, std::vector<Xdm_Signal*>& out) const {
  AlongPath(fullName, kSignals, [&](const Xdm_Block* block, std::string_view name) {
    if (Xdm_Signal* signal = FindSignal(block, name)) out.push_back(signal);
  });
}

// A network's full name is that of its first signal, or its name when it
// has none.
void Xdm_ViewIndex::FindNetworks(std::string_view fullName, std::vector<Xdm_Network*>& out) const {
  const std::size_t first = out.size();
  std::vector<Xdm_Signal*> signals;
  FindSignals(fullName, signals);
  for (const Xdm_Signal* signal : signals) {
    Xdm_Network* network = signal->GetNetwork();
    if (network != nullptr && network->GetSignalItr().Current() == signal &&
        m_view.GetNetworkByBridgeId(Xdm_BridgeId::GetBridgeId(network)) == network)
      out.push_back(network);
  }
  if (Xdm_Network* network = FindNetwork(fullName); network && network->GetSignalItr().IsDone())
    out.push_back(network);
  const auto byId = [](const Xdm_Network* a, const Xdm_Network* b) {
    return Xdm_BridgeId::GetBridgeId(a) < Xdm_BridgeId::GetBridgeId(b);
  };
  std::sort(out.begin() + static_cast<std::ptrdiff_t>(first), out.end(), byId);
  out.erase(std::unique(out.begin() + static_cast<std::ptrdiff_t>(first), out.end()), out.end());
}

std::size_t Xdm_ViewIndex::NamesWithSlash(Kind kind) const {
  return Built(kind).NamesWithSlash();
}

Xdm_ViewIndex::Usage Xdm_ViewIndex::GetUsage() const {
  Usage total;
  for (const auto& built : m_built) {
    if (const Table* table = built.load(std::memory_order_acquire)) {
      const Usage usage = table->GetUsage();
      total.entries += usage.entries;
      total.bytes += usage.bytes;
    }
  }
  return total;
}

// Editing runs alone, so the tables are changed in place. An entry under the
// old name stays behind; the check against the view passes over it.
void Xdm_ViewIndex::Renamed(const Xdm_Block* block) {
  if (m_tables[kChildren]) m_tables[kChildren]->Insert(IdOf(block));
}

void Xdm_ViewIndex::Renamed(const Xdm_Network* network) {
  if (m_tables[kNetworks]) m_tables[kNetworks]->Insert(Xdm_BridgeId::GetBridgeId(network));
}

void Xdm_ViewIndex::Added(const Xdm_PropertyHolder* shape) {
  if (m_tables[kShapes]) m_tables[kShapes]->Insert(Xdm_BridgeId::GetBridgeId(shape));
}
