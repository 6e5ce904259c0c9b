// Editing a loaded view (tests and tools).
#include "Xdm_ViewEditor.h"

#include <algorithm>
#include <cstring>

#include "Xdm_Exception.h"
#include "Xdm_ViewIndex.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;
constexpr std::uint32_t kNone = 0xFFFFFFFFu;

[[noreturn]] void Refuse(const std::string& why) {
  throw Xdm_Exception::Base("Xdm_ViewEditor", __LINE__, why);
}

// The object must be the live object of its id in this view.
template <class Table, class T>
void CheckLive(const Table& table, const T* object, std::uint32_t id, const char* kind) {
  if (object == nullptr) Refuse(std::string("null ") + kind);
  if (id >= table.size() || table[id] != object) {
    Refuse(std::string(kind) + " '" + object->GetName() + "' is not a live object of this view");
  }
}

// Drops `value` from run `slice` of `pool`, keeping the order of the rest.
template <class T>
void EraseFrom(T* pool, Xdm_Slice& slice, T value) {
  T* first = pool + slice.first;
  T* last = first + slice.count;
  T* found = std::find(first, last, value);
  if (found == last) return;
  std::copy(found + 1, last, found);
  --slice.count;
}

}  // namespace

Xdm_ViewEditor::Xdm_ViewEditor(Xdm_View& view) : m_store(A::Store(view)) {
  m_store.SeparateLists();
}

// ---- pins and signals

void Xdm_ViewEditor::UnlinkPin(Xdm_Pin* pin) {
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(pin);
  Xdm_PinFields& f = A::F(*pin);
  if (const Xdm_Network* net = pin->GetNetwork()) {
    if (XCad_RMedRug* rug = A::F(*net).rug) {
      for (XCad_RMedRugNode* n = rug->GetFirstRugNode(); n; n = n->GetNextRugNode()) {
        if (n->GetDriver() == pin) A::Driver(*n) = nullptr;
      }
    }
  }
  for (std::uint32_t signal : {f.signal, f.childSignal}) {
    if (signal == kNone || m_store.m_signalTable[signal] == nullptr) continue;
    EraseFrom(m_store.m_signalPinPool.Edit(), A::F(*m_store.m_signalTable[signal]).pins, id);
  }
  m_store.m_pinTable.Remove(id);
}

void Xdm_ViewEditor::RemovePin(Xdm_Pin* pin) {
  CheckLive(m_store.m_pinTable, static_cast<const Xdm_Pin*>(pin), Xdm_BridgeId::GetBridgeId(pin),
            "pin");
  UnlinkPin(pin);
}

void Xdm_ViewEditor::UnlinkSignal(Xdm_Signal* signal) {
  Xdm_SignalFields& f = A::F(*signal);
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(signal);
  for (Xdm_Pin* pin : signal->GetPinItr()) {
    Xdm_PinFields& p = A::F(*pin);
    if (p.signal == id) p.signal = kNone;
    if (p.childSignal == id) p.childSignal = kNone;
  }
  EraseFrom(m_store.m_blockSignalPool.Edit(), A::F(*f.block).signals, id);
  if (const Xdm_Network* net = signal->GetNetwork()) {
    EraseFrom(m_store.m_netSignalPool.Edit(), A::F(*net).signals, id);
  }
  m_store.m_signalTable.Remove(id);
  m_store.m_signalNetworkIds.Edit()[id] = kNone;
}

void Xdm_ViewEditor::RemoveSignal(Xdm_Signal* signal) {
  CheckLive(m_store.m_signalTable, static_cast<const Xdm_Signal*>(signal),
            Xdm_BridgeId::GetBridgeId(signal), "signal");
  UnlinkSignal(signal);
}

// ---- blocks

void Xdm_ViewEditor::RemoveBlockTree(Xdm_Block* block) {
  for (Xdm_Block* child : block->GetBlocks())
    RemoveBlockTree(child);
  for (Xdm_Pin* pin : block->GetPinItr())
    UnlinkPin(pin);
  const auto signals = block->GetSignals();
  const std::vector<Xdm_Signal*> copy(signals.begin(), signals.end());
  for (Xdm_Signal* signal : copy)
    UnlinkSignal(signal);
  for (Xdm_PropertyHolder* shape : m_store.m_shapeList) {
    if (!shape) continue;
    auto& f = A::F(*shape);
    if (f.reference == block) f.reference = nullptr;
    std::erase(f.members, block);
  }
  m_store.m_rho.erase(block);
  m_store.m_blockTable[A::F(*block).bridgeId] = nullptr;
}

void Xdm_ViewEditor::RemoveBlock(Xdm_Block* block) {
  CheckLive(m_store.m_blockTable, static_cast<const Xdm_Block*>(block),
            Xdm_BridgeId::GetBridgeId(block), "block");
  Xdm_Block* parent = block->GetParent();
  if (parent == nullptr) Refuse("the top block cannot be removed");
  EraseFrom(m_store.m_childPool.Edit(), A::F(*parent).children, A::F(*block).bridgeId);
  RemoveBlockTree(block);
}

Xdm_Block* Xdm_ViewEditor::ReplaceBlock(Xdm_Block* old) {
  CheckLive(m_store.m_blockTable, static_cast<const Xdm_Block*>(old),
            Xdm_BridgeId::GetBridgeId(old), "block");
  XCad_CadBlock* block = m_store.m_blocks.Create();
  A::SetName(*block, old->GetName());
  Xdm_BlockFields& f = A::F(*block);
  f = A::F(*old);
  m_store.m_blockTable[f.bridgeId] = block;
  // Its parent lists it by id: the table's new slot is all it takes.
  if (!f.parent) m_store.m_top = block;
  for (Xdm_Block* child : block->GetBlocks())
    A::F(*child).parent = block;
  for (Xdm_Pin* pin : block->GetPinItr())
    A::F(*pin).block = block;
  for (Xdm_Signal* signal : block->GetSignals())
    A::F(*signal).block = block;
  for (Xdm_PropertyHolder* shape : m_store.m_shapeList) {
    if (!shape) continue;
    auto& s = A::F(*shape);
    if (s.reference == old) s.reference = block;
    std::replace(s.members.begin(), s.members.end(), old, static_cast<Xdm_Block*>(block));
  }
  if (auto found = m_store.m_rho.find(old); found != m_store.m_rho.end()) {
    XCad_RhoNode* node = found->second;
    m_store.m_rho.erase(found);
    m_store.m_rho.emplace(block, node);
  }
  for (auto& entry : m_store.m_rho) {
    if (entry.second->GetReferenceBlock() == old) A::Reference(*entry.second) = block;
  }
  return block;
}

// A full name is computed again on its next read; the old text stays
// with whoever holds it.
void Xdm_ViewEditor::ForgetFullNames(const Xdm_Block* block) {
  Xdm_FullNames& names = m_store.m_fullNames;
  names.Forget(Xdm_FullNames::kBlock, A::F(*block).bridgeId);
  for (const Xdm_Pin* pin : block->GetPinItr())
    names.Forget(Xdm_FullNames::kPin, Xdm_BridgeId::GetBridgeId(pin));
  for (const Xdm_Signal* signal : block->GetSignals())
    names.Forget(Xdm_FullNames::kSignal, Xdm_BridgeId::GetBridgeId(signal));
  for (const Xdm_Block* child : block->GetBlocks())
    ForgetFullNames(child);
}

void Xdm_ViewEditor::RenameBlock(Xdm_Block* block, const char* name) {
  CheckLive(m_store.m_blockTable, static_cast<const Xdm_Block*>(block),
            Xdm_BridgeId::GetBridgeId(block), "block");
  if (name == nullptr || name[0] == '\0' || std::strchr(name, '/'))
    Refuse("a block name must be non-empty and without '/'");
  if (const Xdm_Block* parent = block->GetParent()) {
    for (const Xdm_Block* sibling : parent->GetBlocks()) {
      if (sibling != block && std::strcmp(sibling->GetName(), name) == 0)
        Refuse(std::string("duplicate block name '") + name + "'");
    }
  }
  A::SetName(*block, m_store.m_strings.Copy(name));
  ForgetFullNames(block);
  A::Index(*m_store.m_view).Renamed(block);
}

// ---- networks

void Xdm_ViewEditor::RenameNetwork(Xdm_Network* net, const char* name) {
  CheckLive(m_store.m_networkTable, static_cast<const Xdm_Network*>(net),
            Xdm_BridgeId::GetBridgeId(net), "network");
  if (name == nullptr || name[0] == '\0') Refuse("a network name must be non-empty");
  for (const Xdm_Network* other : m_store.m_netList) {
    if (other != net && std::strcmp(other->GetName(), name) == 0)
      Refuse(std::string("duplicate net name '") + name + "'");
  }
  A::SetName(*net, m_store.m_strings.Copy(name));
  A::Index(*m_store.m_view).Renamed(net);
}

void Xdm_ViewEditor::RemoveNetwork(Xdm_Network* net) {
  CheckLive(m_store.m_networkTable, static_cast<const Xdm_Network*>(net),
            Xdm_BridgeId::GetBridgeId(net), "network");
  for (Xdm_Signal* signal : net->GetSignalItr())
    m_store.m_signalNetworkIds.Edit()[Xdm_BridgeId::GetBridgeId(signal)] = kNone;
  A::F(*net).signals.count = 0;
  std::erase(m_store.m_netList, net);
  if (m_store.m_masterVcc == net) m_store.m_masterVcc = nullptr;
  if (m_store.m_masterGnd == net) m_store.m_masterGnd = nullptr;
  m_store.m_networkTable[A::F(*net).bridgeId] = nullptr;
}

Xdm_Network* Xdm_ViewEditor::ReplaceNetwork(Xdm_Network* old) {
  CheckLive(m_store.m_networkTable, static_cast<const Xdm_Network*>(old),
            Xdm_BridgeId::GetBridgeId(old), "network");
  XCad_CadNetwork* net = m_store.m_networks.Create();
  A::SetName(*net, old->GetName());
  Xdm_NetworkFields& f = A::F(*net);
  f = A::F(*old);
  m_store.m_networkTable[f.bridgeId] = net;
  std::replace(m_store.m_netList.begin(), m_store.m_netList.end(), old,
               static_cast<Xdm_Network*>(net));
  if (m_store.m_masterVcc == old) m_store.m_masterVcc = net;
  if (m_store.m_masterGnd == old) m_store.m_masterGnd = net;
  if (f.rug) A::Network(*f.rug) = net;
  return net;
}

// ---- shapes and maxima

Xdm_PropertyHolder* Xdm_ViewEditor::AddShape(const char* name, bool user, Xdm_Block* reference,
                                             const std::vector<Xdm_Block*>& members) {
  if (name == nullptr || name[0] == '\0') Refuse("a shape needs a name");
  for (const Xdm_PropertyHolder* shape : m_store.m_shapeList) {
    if (shape && std::strcmp(shape->GetName(), name) == 0) {
      Refuse(std::string("duplicate shape name '") + name + "'");
    }
  }
  std::vector<Xdm_Block*> blocks = members;
  if (reference) blocks.push_back(reference);
  for (const Xdm_Block* block : blocks) {
    CheckLive(m_store.m_blockTable, block, Xdm_BridgeId::GetBridgeId(block), "block");
  }
  Xdm_PropertyHolder* shape = m_store.m_holders.Create();
  A::SetName(*shape, m_store.m_strings.Copy(name));
  Xdm_PropertyHolderFields& f = A::F(*shape);
  f.store = &m_store;
  f.bridgeId = static_cast<std::uint32_t>(m_store.m_holderTable.size());
  f.user = user;
  f.reference = reference;
  f.members = members;
  m_store.m_holderTable.push_back(shape);
  m_store.m_shapeList.push_back(shape);
  A::Index(*m_store.m_view).Added(shape);
  return shape;
}

void Xdm_ViewEditor::RemoveShape(Xdm_PropertyHolder* shape) {
  CheckLive(m_store.m_holderTable, static_cast<const Xdm_PropertyHolder*>(shape),
            Xdm_BridgeId::GetBridgeId(shape), "shape");
  std::erase(m_store.m_shapeList, shape);
  m_store.m_holderTable[A::F(*shape).bridgeId] = nullptr;
}

void Xdm_ViewEditor::InsertShapeWithoutObject(std::size_t position) {
  position = std::min(position, m_store.m_shapeList.size());
  m_store.m_shapeList.insert(m_store.m_shapeList.begin() + static_cast<std::ptrdiff_t>(position),
                             nullptr);
}

void Xdm_ViewEditor::SetShapesAvailable(bool available) {
  m_store.m_shapesAvailable = available;
}

void Xdm_ViewEditor::GrowMaxBlocks(std::uint32_t count) {
  if (count > m_store.m_blockTable.size()) m_store.m_blockTable.resize(count, nullptr);
}

void Xdm_ViewEditor::GrowMaxNetworks(std::uint32_t count) {
  if (count > m_store.m_networkTable.size()) m_store.m_networkTable.resize(count, nullptr);
}
