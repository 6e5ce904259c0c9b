// Reading side of blocks, pins, signals, networks and views.
#include <cstring>
#include <string>
#include <type_traits>

#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"
#include "Xdm_ViewIndex.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;

// Null for an id past the table (a vector or an Xdm_ObjectIndex).
template <class Table>
auto At(const Table& table, std::uint32_t id) -> std::decay_t<decltype(table[id])> {
  return id < table.size() ? table[id] : nullptr;
}

// The full name of object `id` of `kind`, called `name`, in `block`:
// "<block path>/<name>", or the name alone inside the top block (and for
// the top block itself). `count` is the number of objects of the kind.
const char* MemberFullName(Xdm_FullNames::Kind kind, std::uint32_t id, std::size_t count,
                           const Xdm_Block* block, const char* name) {
  if (block == nullptr || block->GetParent() == nullptr) return name;
  Xdm_FullNames& names = A::Store(*block).m_fullNames;
  if (const char* kept = names.Find(kind, id)) return kept;
  std::string text = block->GetFullName();
  text += '/';
  text += name;
  return names.Store(kind, id, count, text);
}

}  // namespace

Xdm_Object::~Xdm_Object() = default;

// ---- blocks

Xdm_View* Xdm_Block::GetView() const {
  return m_f.store->m_view;
}

Xdm_Pin* Xdm_Block::GetPinByName(const char* name) const {
  if (name == nullptr) return nullptr;
  for (Xdm_Pin* pin : GetPinItr()) {
    if (std::strcmp(pin->GetName(), name) == 0) return pin;
  }
  return nullptr;
}

Xdm_Range<Xdm_Block> Xdm_Block::GetBlocks() const {
  return {
      {m_f.store->m_blockTable.data(), nullptr, m_f.store->m_childPool.data() + m_f.children.first},
      m_f.children.count};
}

Xdm_Itr<Xdm_Block> Xdm_Block::GetBlockItr() const {
  return Xdm_Itr<Xdm_Block>(GetBlocks());
}

Xdm_Range<Xdm_Signal> Xdm_Block::GetSignals() const {
  return {m_f.store->BlockSignals(m_f.signals), m_f.signals.count};
}

Xdm_Itr<Xdm_Signal> Xdm_Block::GetSignalItr() const {
  return Xdm_Itr<Xdm_Signal>(GetSignals());
}

Xdm_Itr<Xdm_Pin> Xdm_Block::GetPinItr() const {
  return {{nullptr, &m_f.store->m_pinTable, nullptr, m_f.pins.first}, m_f.pins.count};
}

const char* Xdm_Block::GetFullName() const {
  return MemberFullName(Xdm_FullNames::kBlock, m_f.bridgeId, m_f.store->m_blockTable.size(),
                        m_f.parent, m_name);
}

Xdm_Block* Xdm_Parent::GetParentObject(const Xdm_Pin* pin) {
  return pin ? pin->GetParent() : nullptr;
}

Xdm_Block* Xdm_Parent::GetParentObject(const Xdm_Signal* signal) {
  return signal ? A::F(*signal).block : nullptr;
}

// ---- pins

Xdm_Signal* Xdm_Pin::GetSignal() const {
  return At(A::Store(*this).m_signalTable, m_f.signal);
}

Xdm_Signal* Xdm_Pin::GetChildSignal() const {
  return At(A::Store(*this).m_signalTable, m_f.childSignal);
}

// Read by ids, without fetching the signals.
Xdm_Network* Xdm_Pin::GetNetwork() const {
  const Xdm_ViewStore& store = A::Store(*this);
  if (Xdm_Network* net = store.NetworkOfSignal(m_f.signal)) return net;
  return store.NetworkOfSignal(m_f.childSignal);
}

const char* Xdm_Pin::GetFullName() const {
  return MemberFullName(Xdm_FullNames::kPin, Xdm_BridgeId::GetBridgeId(this),
                        A::Store(*this).m_pinTable.size(), m_f.block, m_name);
}

// ---- signals

Xdm_Itr<Xdm_Pin> Xdm_Signal::GetPinItr() const {
  const Xdm_ViewStore& store = A::Store(*this);
  return {{nullptr, &store.m_pinTable, store.m_signalPinPool.data() + m_f.pins.first},
          m_f.pins.count};
}

Xdm_Network* Xdm_Signal::GetNetwork() const {
  const Xdm_ViewStore& store = A::Store(*this);
  return store.NetworkOfSignal(store.m_signalTable.IdOf(this));
}

const char* Xdm_Signal::GetFullName() const {
  const Xdm_ViewStore& store = A::Store(*this);
  return MemberFullName(Xdm_FullNames::kSignal, store.m_signalTable.IdOf(this),
                        store.m_signalTable.size(), m_f.block, m_name);
}

// ---- networks

Xdm_View* Xdm_Network::GetParent() const {
  return m_f.store->m_view;
}

Xdm_Itr<Xdm_Signal> Xdm_Network::GetSignalItr() const {
  return {
      {nullptr, &m_f.store->m_signalTable, m_f.store->m_netSignalPool.data() + m_f.signals.first},
      m_f.signals.count};
}

const char* Xdm_Network::GetFullName() const {
  const Xdm_Signal* first = GetSignalItr().Current();
  return first ? first->GetFullName() : m_name;
}

// ---- bridge ids

std::uint32_t Xdm_BridgeId::GetBridgeId(const Xdm_Block* b) {
  return b ? A::F(*b).bridgeId : kNone;
}
std::uint32_t Xdm_BridgeId::GetBridgeId(const Xdm_Network* n) {
  return n ? A::F(*n).bridgeId : kNone;
}
// A pin's id is its place in its block's run of the pin table. The pins
// of a block are made one after another, so they mostly lie in a row and
// the place follows from the address; the run is searched when not. A
// pin no longer in the view has no place, and no id.
std::uint32_t Xdm_BridgeId::GetBridgeId(const Xdm_Pin* p) {
  if (p == nullptr) return kNone;
  const Xdm_BlockFields& block = A::F(*p->GetParent());
  const Xdm_ObjectIndex<Xdm_Pin>& pins = block.store->m_pinTable;
  const std::uint32_t first = block.pins.first;
  if (const Xdm_Pin* head = block.pins.count != 0 ? pins[first] : nullptr) {
    const std::uintptr_t offset =
        reinterpret_cast<std::uintptr_t>(p) - reinterpret_cast<std::uintptr_t>(head);
    const std::uintptr_t k = offset / sizeof(Xdm_Pin);
    if (offset % sizeof(Xdm_Pin) == 0 && k < block.pins.count && pins[first + k] == p)
      return first + static_cast<std::uint32_t>(k);
  }
  for (std::uint32_t k = 0; k < block.pins.count; ++k) {
    if (pins[first + k] == p) return first + k;
  }
  return kNone;
}
std::uint32_t Xdm_BridgeId::GetBridgeId(const Xdm_Signal* s) {
  return s ? A::Store(*s).m_signalTable.IdOf(s) : kNone;
}
std::uint32_t Xdm_BridgeId::GetBridgeId(const Xdm_PropertyHolder* h) {
  return h ? A::F(*h).bridgeId : kNone;
}

// ---- views

Xdm_View::Xdm_View()
    : m_store(std::make_unique<Xdm_ViewStore>()), m_index(std::make_unique<Xdm_ViewIndex>(*this)) {
  m_store->m_view = this;
}
Xdm_View::~Xdm_View() = default;

void Xdm_Access::Adopt(Xdm_View& view, std::unique_ptr<Xdm_ViewStore> store) {
  store->m_view = &view;
  view.m_store = std::move(store);
}

Xdm_Block* Xdm_View::GetBlock() const {
  return m_store->m_top;
}

std::uint32_t Xdm_View::GetMaxBlocks() const {
  return static_cast<std::uint32_t>(m_store->m_blockTable.size());
}
std::uint32_t Xdm_View::GetMaxNetworks() const {
  return static_cast<std::uint32_t>(m_store->m_networkTable.size());
}
std::uint32_t Xdm_View::GetMaxPins() const {
  return static_cast<std::uint32_t>(m_store->m_pinTable.size());
}
std::uint32_t Xdm_View::GetMaxSignals() const {
  return static_cast<std::uint32_t>(m_store->m_signalTable.size());
}
std::uint32_t Xdm_View::GetMaxPropertyHolders() const {
  return static_cast<std::uint32_t>(m_store->m_holderTable.size());
}

std::span<const std::uint32_t> Xdm_View::GetSignalNetworkIds() const {
  return {m_store->m_signalNetworkIds.data(), m_store->m_signalNetworkIds.size()};
}

Xdm_Block* Xdm_View::GetBlockByBridgeId(std::uint32_t id) const {
  return At(m_store->m_blockTable, id);
}
Xdm_Network* Xdm_View::GetNetworkByBridgeId(std::uint32_t id) const {
  return At(m_store->m_networkTable, id);
}
Xdm_Pin* Xdm_View::GetPinByBridgeId(std::uint32_t id) const {
  return At(m_store->m_pinTable, id);
}
Xdm_Signal* Xdm_View::GetSignalByBridgeId(std::uint32_t id) const {
  return At(m_store->m_signalTable, id);
}
Xdm_PropertyHolder* Xdm_View::GetPropertyHolderByBridgeId(std::uint32_t id) const {
  return At(m_store->m_holderTable, id);
}

Xdm_Itr<Xdm_Network> Xdm_View::GetNetworkItr() const {
  const auto& list = m_store->NetList();
  return {list.data(), list.data() + list.size()};
}

Xdm_DesignInfo* Xdm_View::GetAppObject() const {
  return m_store->m_designInfo.get();
}

// ---- store

Xdm_ViewStore::Xdm_ViewStore() = default;
Xdm_ViewStore::~Xdm_ViewStore() = default;

void Xdm_ViewStore::SeparateLists() {
  if (m_listsSeparate) return;
  m_blockSignalPool.Assign(m_signalTable.size(), Xdm_BridgeId::kNone);
  std::uint32_t* ids = m_blockSignalPool.Edit();
  for (std::uint32_t id = 0; id < m_signalTable.size(); ++id)
    ids[id] = id;
  m_netList.clear();
  for (Xdm_Network* net : m_networkTable) {
    if (net != nullptr) m_netList.push_back(net);
  }
  m_listsSeparate = true;
}
