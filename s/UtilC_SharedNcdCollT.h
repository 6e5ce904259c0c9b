// CollT and DerivedCollT: the collectable classes' shared implementation.
//
// CollT<Self, DataI, Item> is the four-face object of UtilC_SharedNcdColl.h
// for one kind of item: counting, identity, staleness, names, the property
// operations over Self's table, and the data face's get and re-target.
// Self (BlockColl, NetColl, ...) adds its type name, its data-face
// identifier, its property table and its getters.
//
// DerivedCollT<Self, Base> is a class that adds properties to a base class
// (BelColl to BlockColl, IobColl to CompColl, ...): its own class lock and
// registry answer first; a name it does not know, or a getter that finds
// nothing, falls back to the base. It lists its own names, then those of
// the family's root class. Everything else (counting, identity, the data
// face) is the root's and runs under the root's lock.
#pragma once

#include <atomic>
#include <utility>

#include "Port_Atomic.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilC_SharedNcdCollAlive.h"
#include "UtilC_SharedNcdDataI.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdPropertyTable.h"
#include "XCad_CadView.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace UtilC::SharedNcd {

// The object a view numbers `id` among objects of the item's kind.
inline Xdm_Block* LookupItem(const Xdm_View* view, std::uint32_t id, const Xdm_Block*) {
  return view->GetBlockByBridgeId(id);
}
inline Xdm_Network* LookupItem(const Xdm_View* view, std::uint32_t id, const Xdm_Network*) {
  return view->GetNetworkByBridgeId(id);
}
inline Xdm_Pin* LookupItem(const Xdm_View* view, std::uint32_t id, const Xdm_Pin*) {
  return view->GetPinByBridgeId(id);
}
inline Xdm_Signal* LookupItem(const Xdm_View* view, std::uint32_t id, const Xdm_Signal*) {
  return view->GetSignalByBridgeId(id);
}
inline Xdm_PropertyHolder* LookupItem(const Xdm_View* view, std::uint32_t id,
                                      const Xdm_PropertyHolder*) {
  return view->GetPropertyHolderByBridgeId(id);
}

// A collectable's CitI::IInterface face (null for none).
inline CitI::IInterface* AsInterface(const CommonI::RefCountPtr<UtilI::ITclCollectable>& coll) {
  return coll ? static_cast<CitI::IInterface*>(coll->QueryInterface(CitI::IID_IInterface))
              : nullptr;
}

template <class Self, class DataI, class Item>
class CollT : public CommonI::IRefCount, public UtilI::ITclCollectable, public DataI, public Coll {
 public:
  using Root = Self;
  using ItemType = Item;

  CollT(const Item* item, SharedNcd* design)
      : Coll(design),
        m_item(const_cast<Item*>(item)),
        m_idSource(CaptureId()),
        m_bridgeId(Xdm_BridgeId::GetBridgeId(item)) {}

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == CommonI::IID_IRefCount) return static_cast<CommonI::IRefCount*>(this);
    if (iid == UtilI::IID_ITclCollectable) return static_cast<UtilI::ITclCollectable*>(this);
    if (iid == Self::kDataIid) return static_cast<DataI*>(this);
    if (iid == CitI::IID_IInterface) return static_cast<CommonI::IRefCount*>(this);
    return nullptr;
  }

  CitI::Result AddRef() override {
    Port::SafeIncr(m_refCount);
    return 1;
  }
  // The decrement is atomic; the Release that takes the count below 1
  // destroys the object under the class lock.
  CitI::Result Release() override {
    if (Port::SafeDecr(m_refCount) < 1) {
      Port_ThrGuard guard(RootLock());
      delete this;
    }
    return 1;
  }
  CitI::Result GetRefCount(int* count) override {
    if (!count) return 0;
    Port_ThrGuard guard(RootLock());
    *count = Port::SafeRead(m_refCount);
    return 1;
  }

  // Staleness is the root class's own (derived classes keep it), so it is
  // asked for without a virtual call: a search asks a probe's name for
  // every object it visits.
  CitI::Result GetName(Port::StringBase& out) override {
    DesignUse use(design);
    if (static_cast<Self*>(this)->Self::IsStale()) return 0;
    out = Current()->GetName();
    return 1;
  }
  CitI::Result GetTypeName(Port::StringBase& out) override {
    out = Self::kTypeName;
    return 1;
  }
  // Formatted on the first request after the identity was built: a probe
  // re-targeted for every object of a search never formats one.
  Port::StringBase GetId() override {
    Port_ThrGuard guard(RootLock());
    if (m_id.IsEmpty())
      FormatId(Self::kTypeName, m_bridgeId.load(std::memory_order_relaxed), m_idSource, m_id);
    return m_id;
  }
  CitI::Result ReservedPredicate() override { return 0; }
  void* ReservedQuery() override { return nullptr; }

  // Stale once the design has left client hands or lost its view, or the
  // view no longer numbers the item as it did; the item is never touched.
  CitI::Result IsStale() override {
    DesignUse use(design);
    if (!IsDesignAlive()) return 1;
    const Xdm_View* view = design->View();
    const std::uint32_t id = m_bridgeId.load(std::memory_order_relaxed);
    if (!view || id == Xdm_BridgeId::kNone) return 1;
    return LookupItem(view, id, static_cast<const Item*>(nullptr)) != Current() ? 1 : 0;
  }

  CitI::Result GetPropertyValue(const Port::StringBase& name,
                                UtilI::IPropertyValue** value) override {
    if (!value) return 0;
    DesignUse use(design);
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    if (IsStale()) return 0;
    return PropertyTableT<Self>::GetValue(static_cast<Self*>(this), name, value);
  }
  CitI::Result GetPropertyNames(UtilI::IStringIterator** out) override {
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    return PropertyTableT<Self>::NameIterator(
        out, [](UtilI::IStringContainer& names) { PropertyTableT<Self>::AddNames(names); });
  }
  CitI::Result GetPropertyInfo(const Port::StringBase& name, UtilI::IPropertyInfo** info) override {
    if (!info) return 0;
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    return PropertyTableT<Self>::GetInfo(name, info);
  }

 protected:
  static Port_ThrRecursiveLock& RootLock() { return ClassStatics<Self>::Get().lock; }

  // The wrapped item (getters run under the class lock, after IsStale).
  Item* Current() const { return m_item.load(std::memory_order_relaxed); }

  // The data face's operations.
  Item* LockedItem() {
    DesignUse use(design);
    Port_ThrGuard guard(RootLock());
    return IsStale() ? nullptr : Current();
  }
  void Retarget(Item* item) {
    Port_ThrGuard guard(RootLock());
    m_item.store(item, std::memory_order_relaxed);
    m_bridgeId.store(Xdm_BridgeId::GetBridgeId(item), std::memory_order_relaxed);
    // What the identity is made of changes only when the design leaves
    // client hands: a probe re-targeted along a search keeps it while no
    // design has left since it was taken.
    const bool same = item && m_idSource.alive &&
                      m_idSource.generation == static_cast<std::uint32_t>(Mgr::LiveGeneration());
    if (!same) m_idSource = item ? CaptureId() : IdSource();
    m_id.Empty();
  }

  // Getter helpers: deliver one collectable (null allowed), or a list of
  // the collectables `make` gives for the items of `range` (empty ones are
  // left out). A list that cannot be made delivers nothing (false).
  static CitI::Result DeliverObject(UtilI::IPropertyValue** value,
                                    const CommonI::RefCountPtr<UtilI::ITclCollectable>& coll) {
    return (*value)->SetObject(AsInterface(coll));
  }
  template <class Owner, class Range, class Make>
  static CitI::Result DeliverList(UtilI::IPropertyValue** value, Range&& range, Make make) {
    return DeliverFilledList<Owner>(value, [&](UtilI::IObjectList& list) {
      for (auto* item : range)
        AppendTo(list, make(item));
    });
  }
  // The same with a list that `fill` fills (with AppendTo). When no list
  // can be made, nothing is delivered (false), or null when `nullForNoList`.
  template <class Owner, class Fill>
  static CitI::Result DeliverFilledList(UtilI::IPropertyValue** value, Fill fill,
                                        bool nullForNoList = false) {
    CommonI::RefCountPtr<UtilI::IObjectList> list =
        CreateService<UtilI::IObjectList>(ClassStatics<Owner>::Get().services);
    if (!list) return nullForNoList ? (*value)->SetObject(nullptr) : 0;
    fill(*list);
    return (*value)->SetObject(
        static_cast<CitI::IInterface*>(list->QueryInterface(CitI::IID_IInterface)));
  }
  static void AppendTo(UtilI::IObjectList& list,
                       const CommonI::RefCountPtr<UtilI::ITclCollectable>& coll) {
    if (coll) list.Append(coll.get());
  }

 private:
  std::atomic<Item*> m_item;
  IdSource m_idSource;    // what the identity is made of
  Port::StringBase m_id;  // its text, once asked for
  std::atomic<std::uint32_t> m_bridgeId;
  int m_refCount = 1;
};

template <class Self, class Base>
class DerivedCollT : public Base {
 public:
  using Base::Base;

  CitI::Result GetPropertyValue(const Port::StringBase& name,
                                UtilI::IPropertyValue** value) override {
    if (!value) return 0;
    DesignUse use(this->design);
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    if (!this->IsStale() && PropertyTableT<Self>::GetValue(static_cast<Self*>(this), name, value))
      return 1;
    return Base::GetPropertyValue(name, value);
  }
  CitI::Result GetPropertyNames(UtilI::IStringIterator** out) override {
    using Root = typename Base::Root;
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    return PropertyTableT<Self>::NameIterator(out, [](UtilI::IStringContainer& names) {
      PropertyTableT<Self>::AddNames(names);
      Port_ThrGuard rootGuard(ClassStatics<Root>::Get().lock);
      PropertyTableT<Root>::AddNames(names);
    });
  }
  CitI::Result GetPropertyInfo(const Port::StringBase& name, UtilI::IPropertyInfo** info) override {
    if (!info) return 0;
    Port_ThrGuard guard(ClassStatics<Self>::Get().lock);
    if (PropertyTableT<Self>::GetInfo(name, info)) return 1;
    return Base::GetPropertyInfo(name, info);
  }
};

}  // namespace UtilC::SharedNcd
