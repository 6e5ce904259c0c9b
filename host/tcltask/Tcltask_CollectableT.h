// Tcltask::CollectableT: the UtilI::ITclCollectable side of the small
// collectables that belong to no design (the named values of the Tcl helper
// component, the sites and clock regions of the shared device component).
//
// Such an object is made whole and never changes: it is never stale, its
// name and id are fixed, and any number of threads may read it at once.
// Its properties are a fixed table of read-only entries, listed in name
// order; names match as they do for every collectable of the tool family
// (ComparePropertyNames).
//
// Out-parameters (IPropertyValue**, IStringIterator**, IPropertyInfo**)
// hold references: the object they held before is released when a new one
// is stored, so callers pass null or a reference they own.
//
// Derived supplies:
//   static constexpr const char* kTypeName;
//   static const PropertyT<Derived> kProperties[N];
//   Port::StringBase Name() const;  Port::StringBase Id() const;
//   and may hide KindOf to give a property's kind from its contents.
// Services supplies static NewValue() and NewInfo(): new counted value and
// information objects, or empty references when none can be made.
#pragma once

#include <cstdint>

#include "Tcltask_CountedT.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_VectorHelper.h"

namespace Tcltask {

// Compares property names regardless of case and punctuation: ASCII
// letters fold to lower case, letters and digits stand for themselves, and
// each run of any other bytes counts as one separator ('_', which sorts
// after the digits and before the letters); a run at the end counts as
// nothing. Negative, zero or positive.
inline int ComparePropertyNames(const char* a, const char* b) {
  auto isWord = [](unsigned char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
  };
  auto next = [&isWord](const unsigned char*& p) -> int {
    if (*p == 0) return 0;
    if (isWord(*p)) {
      const unsigned char c = *p++;
      return c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c;
    }
    while (*p != 0 && !isWord(*p))
      ++p;
    return *p != 0 ? '_' : 0;
  };
  const auto* pa = reinterpret_cast<const unsigned char*>(a ? a : "");
  const auto* pb = reinterpret_cast<const unsigned char*>(b ? b : "");
  for (;;) {
    const int ca = next(pa);
    const int cb = next(pb);
    if (ca != cb || ca == 0) return ca - cb;
  }
}

template <class Derived>
struct PropertyT {
  const char* name;
  std::uint32_t kind;  // a UtilI::ValueKind
  const char* description;
  // Delivers the property's value; 0 when there is none to deliver.
  CitI::Result (Derived::*getter)(UtilI::IPropertyValue& value) const;
};

template <class Derived, class Services, class... Faces>
class CollectableT : public CountedT<UtilI::ITclCollectable, Faces...> {
 public:
  using Property = PropertyT<Derived>;

  CitI::Result GetName(Port::StringBase& out) override {
    out = Self().Name();
    return 1;
  }
  CitI::Result GetTypeName(Port::StringBase& out) override {
    out = Derived::kTypeName;
    return 1;
  }
  Port::StringBase GetId() override { return Self().Id(); }
  CitI::Result ReservedPredicate() override { return 0; }
  CitI::Result IsStale() override { return 0; }
  void* ReservedQuery() override { return nullptr; }

  CitI::Result GetPropertyValue(const Port::StringBase& name,
                                UtilI::IPropertyValue** value) override {
    const Property* property = Find(name);
    if (!value || !property) return 0;
    CommonI::RefCountPtr<UtilI::IPropertyValue> made = Services::NewValue();
    const CitI::Result delivered = made ? (Self().*(property->getter))(*made) : 0;
    HandOut(value, std::move(made));
    return delivered;
  }

  CitI::Result GetPropertyNames(UtilI::IStringIterator** out) override {
    if (!out) return 0;
    CommonI::RefCountPtr<UtilI::IStringContainer> names = UtilI::MakeStringContainer();
    CommonI::RefCountPtr<UtilI::IStringIterator> it;
    for (const Property& property : Derived::kProperties) {
      if (names) names->Add(property.name);
    }
    if (!names || !names->CreateIterator(it)) return 0;
    HandOut(out, std::move(it));
    return 1;
  }

  // A new information object per request; *info is left alone when the
  // name is unknown or no object can be made.
  CitI::Result GetPropertyInfo(const Port::StringBase& name, UtilI::IPropertyInfo** info) override {
    const Property* property = Find(name);
    if (!info || !property) return 0;
    CommonI::RefCountPtr<UtilI::IPropertyInfo> made = Services::NewInfo();
    if (!made) return 0;
    made->SetName(property->name);
    made->SetKind(Self().KindOf(*property));
    made->SetReadOnly(true);
    made->SetDescription(property->description);
    HandOut(info, std::move(made));
    return 1;
  }

  std::uint32_t KindOf(const Property& property) const { return property.kind; }

 protected:
  void* FindFace(const Port::XUID& iid) override {
    return iid == UtilI::IID_ITclCollectable ? static_cast<UtilI::ITclCollectable*>(this) : nullptr;
  }

 private:
  Derived& Self() { return static_cast<Derived&>(*this); }

  static const Property* Find(const Port::StringBase& name) {
    for (const Property& property : Derived::kProperties) {
      if (ComparePropertyNames(property.name, name.c_str()) == 0) return &property;
    }
    return nullptr;
  }

  template <class I>
  static void HandOut(I** slot, CommonI::RefCountPtr<I> object) {
    if (CommonI::IRefCount* old = CommonI::RefCountOf(*slot)) old->Release();
    *slot = object.Detach();
  }
};

}  // namespace Tcltask
