// Reaching the sibling component libraries from tests exactly as a client
// does: load the library by name through the framework, create an object
// by class id, ask it for a face.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CitP_Factory.h"
#include "UtilI_ITclCollectable.h"

namespace ncdtest {

// A new object of `classId` asked for `iid`, holding one reference (the
// instance's own first reference is dropped); empty when either fails.
template <class I>
CommonI::RefCountPtr<I> CreateAs(const Port::XUID& classId, const Port::XUID& iid) {
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(classId);
  if (!instance) return {};
  return CommonI::RefCountPtr<I>(static_cast<I*>(instance->QueryInterface(iid)));
}

inline int RefCountOf(CitI::IInterface* object) {
  int n = -1;
  CommonI::IRefCount* counter = CommonI::RefCountOf(object);
  if (counter) counter->GetRefCount(&n);
  return n;
}

// The strings an iterator walks, from its position on.
inline std::vector<std::string> Walk(UtilI::IStringIterator* it) {
  std::vector<std::string> items;
  for (; it && !it->IsDone(); it->Next())
    items.push_back(it->GetCurrent().str());
  return items;
}

inline std::vector<std::string> Strings(const CommonI::RefCountPtr<UtilI::IStringContainer>& c) {
  CommonI::RefCountPtr<UtilI::IStringIterator> it;
  if (!c || !c->CreateIterator(it)) return {};
  return Walk(it.get());
}

// Holds the reference a collectable hands out through a T** parameter.
template <class T>
class OutRef {
 public:
  OutRef() = default;
  OutRef(const OutRef&) = delete;
  OutRef& operator=(const OutRef&) = delete;
  ~OutRef() { Reset(); }
  T** operator&() { return &m_ptr; }
  T* operator->() const { return m_ptr; }
  T* get() const { return m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }
  void Reset() {
    if (CommonI::IRefCount* counter = CommonI::RefCountOf(m_ptr)) counter->Release();
    m_ptr = nullptr;
  }

 private:
  T* m_ptr = nullptr;
};

// The text form of a collectable's property; "<none>" when it answers none.
inline std::string PropertyText(UtilI::ITclCollectable* object, const char* name) {
  OutRef<UtilI::IPropertyValue> value;
  if (!object->GetPropertyValue(name, &value) || !value) return "<none>";
  Port::StringBase text;
  return value->GetText(text) ? text.str() : "<none>";
}

inline std::vector<std::string> PropertyNames(UtilI::ITclCollectable* object) {
  OutRef<UtilI::IStringIterator> it;
  if (!object->GetPropertyNames(&it)) return {};
  return Walk(it.get());
}

}  // namespace ncdtest
