// The design object's side of the collectables: wrapping design objects
// (MakeCollectable, AttachCollectable), unwrapping them (Get*Of) and
// property values by object (Get*PropertyValue).
#include <new>

#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "UtilC_SharedNcdDataI.h"
#include "UtilC_SharedNcdNetColl.h"
#include "UtilC_SharedNcdPinColl.h"
#include "UtilC_SharedNcdRpmColl.h"
#include "UtilC_SharedNcdSignalColl.h"

namespace UtilC::SharedNcd {

namespace {

using CollectablePtr = SharedNcd::CollectablePtr;

// A new collectable of class C with its first reference; empty when it
// cannot be allocated.
template <class C, class Item>
CollectablePtr Make(const Item* item, SharedNcd* design) {
  C* coll = new (std::nothrow) C(item, design);
  return CollectablePtr::Adopt(coll ? static_cast<UtilI::ITclCollectable*>(coll) : nullptr);
}

// The block family class of a visible block with a parent.
CollectablePtr MakeChildBlock(const Pds_PdmBlock* block, SharedNcd* design) {
  switch (block->GetHierLevel()) {
    case Pds_PdmBlock::HIER_LEVEL_COMP:
      return block->IsExternal() ? Make<IobColl>(block, design) : Make<CompColl>(block, design);
    case Pds_PdmBlock::HIER_LEVEL_BEL: return Make<BelColl>(block, design);
    case Pds_PdmBlock::HIER_LEVEL_HARD_MACRO: return Make<HmInstColl>(block, design);
    default: return Make<BlockColl>(block, design);
  }
}

// Re-targets the collectable in `holder` through its data face, or fills
// an empty holder (or one of another kind) with a new collectable.
template <class DataI, class Retarget, class MakeNew>
void Attach(CollectablePtr& holder, const Port::XUID& iid, Retarget retarget, MakeNew makeNew) {
  if (auto* data = holder ? static_cast<DataI*>(holder->QueryInterface(iid)) : nullptr) {
    retarget(*data);
    return;
  }
  holder = makeNew();
}

// The item behind a collectable's data face; null for none, another kind
// or a stale collectable.
template <class DataI, class Get>
auto ItemOf(const CollectablePtr& coll, const Port::XUID& iid, Get get) -> decltype(get(std::declval<DataI&>())) {
  auto* data = coll ? static_cast<DataI*>(coll->QueryInterface(iid)) : nullptr;
  return data ? get(*data) : nullptr;
}

// The value of property `name` of `object`, through a temporary collectable;
// empty when the object is null, hidden or stale, has no such property,
// or its getter finds no value.
template <class Object>
SharedNcd::ValuePtr PropertyOf(SharedNcd& design, const Object* object, const Port::StringBase& name) {
  CollectablePtr temporary = design.MakeCollectable(object);
  if (!object || !temporary) return {};
  UtilI::IPropertyValue* value = nullptr;
  const CitI::Result found = temporary->GetPropertyValue(name, &value);
  SharedNcd::ValuePtr result = SharedNcd::ValuePtr::Adopt(value);
  return found ? result : SharedNcd::ValuePtr();
}

}  // namespace

// ---- blocks

CollectablePtr SharedNcd::MakeCollectable(const Pds_PdmBlock* block) {
  if (!block || !IsBlockVisible(block)) return Make<BlockColl>(static_cast<const Xdm_Block*>(nullptr), this);
  if (!block->GetParent()) return Make<TopColl>(block, this);
  return MakeChildBlock(block, this);
}

void SharedNcd::AttachCollectable(const Pds_PdmBlock* block, CollectablePtr& holder) {
  if (!block) return;
  Attach<IBlockData>(
      holder, IID_IBlockData, [block](IBlockData& d) { d.SetBlock(const_cast<Pds_PdmBlock*>(block)); },
      [this, block] { return MakeCollectable(block); });
}

Pds_PdmBlock* SharedNcd::GetBlockOf(const CollectablePtr& coll) {
  return static_cast<Pds_PdmBlock*>(
      ItemOf<IBlockData>(coll, IID_IBlockData, [](IBlockData& d) { return d.GetBlock(); }));
}

SharedNcd::ValuePtr SharedNcd::GetBlockPropertyValue(const Pds_PdmBlock* block, const Port::StringBase& name) {
  return PropertyOf(*this, block, name);
}

// ---- networks, pins, signals and RPMs

CollectablePtr SharedNcd::MakeCollectable(const Xdm_PropertyHolder* rpm) {
  return Make<RpmColl>(rpm, this);
}
CollectablePtr SharedNcd::MakeCollectable(const Xdm_Signal* signal) {
  return Make<SignalColl>(IsSignalVisible(signal) ? signal : nullptr, this);
}
CollectablePtr SharedNcd::MakeCollectable(const Xdm_Network* network) {
  return Make<NetColl>(IsNetVisible(network) ? network : nullptr, this);
}
CollectablePtr SharedNcd::MakeCollectable(const Xdm_Pin* pin) {
  return Make<PinColl>(IsPinVisible(pin) ? pin : nullptr, this);
}

void SharedNcd::AttachCollectable(const Xdm_Network* network, CollectablePtr& holder) {
  if (!network) return;
  Attach<INetData>(
      holder, IID_INetData, [network](INetData& d) { d.SetNetwork(const_cast<Xdm_Network*>(network)); },
      [this, network] { return MakeCollectable(network); });
}
void SharedNcd::AttachCollectable(const Xdm_Pin* pin, CollectablePtr& holder) {
  if (!pin) return;
  Attach<IPinData>(
      holder, IID_IPinData, [pin](IPinData& d) { d.SetPin(const_cast<Xdm_Pin*>(pin)); },
      [this, pin] { return MakeCollectable(pin); });
}
void SharedNcd::AttachCollectable(const Xdm_Signal* signal, CollectablePtr& holder) {
  if (!signal) return;
  Attach<ISignalData>(
      holder, IID_ISignalData, [signal](ISignalData& d) { d.SetSignal(const_cast<Xdm_Signal*>(signal)); },
      [this, signal] { return MakeCollectable(signal); });
}
void SharedNcd::AttachCollectable(const Xdm_PropertyHolder* rpm, CollectablePtr& holder) {
  if (!rpm) return;
  Attach<IRpmData>(
      holder, IID_IRpmData, [rpm](IRpmData& d) { d.SetRpm(const_cast<Xdm_PropertyHolder*>(rpm)); },
      [this, rpm] { return MakeCollectable(rpm); });
}

Xdm_Pin* SharedNcd::GetPinOf(const CollectablePtr& coll) {
  return ItemOf<IPinData>(coll, IID_IPinData, [](IPinData& d) { return d.GetPin(); });
}
Xdm_Network* SharedNcd::GetNetworkOf(const CollectablePtr& coll) {
  return ItemOf<INetData>(coll, IID_INetData, [](INetData& d) { return d.GetNetwork(); });
}
Xdm_Signal* SharedNcd::GetSignalOf(const CollectablePtr& coll) {
  return ItemOf<ISignalData>(coll, IID_ISignalData, [](ISignalData& d) { return d.GetSignal(); });
}
Xdm_PropertyHolder* SharedNcd::GetRpmOf(const CollectablePtr& coll) {
  return ItemOf<IRpmData>(coll, IID_IRpmData, [](IRpmData& d) { return d.GetRpm(); });
}

SharedNcd::ValuePtr SharedNcd::GetRpmPropertyValue(const Xdm_PropertyHolder* rpm, const Port::StringBase& name) {
  return PropertyOf(*this, rpm, name);
}
SharedNcd::ValuePtr SharedNcd::GetSignalPropertyValue(const Xdm_Signal* signal, const Port::StringBase& name) {
  return PropertyOf(*this, signal, name);
}
SharedNcd::ValuePtr SharedNcd::GetNetPropertyValue(const Xdm_Network* network, const Port::StringBase& name) {
  return PropertyOf(*this, network, name);
}
SharedNcd::ValuePtr SharedNcd::GetPinPropertyValue(const Xdm_Pin* pin, const Port::StringBase& name) {
  return PropertyOf(*this, pin, name);
}

}  // namespace UtilC::SharedNcd
