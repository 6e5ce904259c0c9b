// The string container and iterator of UtilI_IStringContainer.h, as class
// templates any component can instantiate.
//
//   VectorHelperT<IStringContainer>  one heap object: the container face
//                                    (VectorHelper<...>) and its counting
//                                    face (CommonI::TRefCountHelper<...>);
//   VectorIteratorHelper<...>        one heap object: the iterator face, a
//                                    counted reference to its container,
//                                    and its counting face.
//
// MakeStringContainer() hands out a new container with its first
// reference (empty when it cannot be allocated). Counting is atomic; the
// strings themselves are not guarded (see UtilI_IStringContainer.h).
#pragma once

#include <cxxabi.h>

#include <cstdio>
#include <cstdlib>
#include <new>
#include <string>
#include <typeinfo>
#include <vector>

#include "CommonI_TRefCountHelper.h"
#include "UtilI_IStringContainer.h"

namespace UtilI {

namespace Details {

// The readable name of a type, as the platform's type information gives it.
inline std::string TypeName(const std::type_info& type) {
  int status = 0;
  char* readable = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
  std::string name = status == 0 && readable ? readable : type.name();
  std::free(readable);
  return name;
}

}  // namespace Details

template <class STLCollection, class IIterator>
class VectorIteratorHelper : public IIterator {
 public:
  using Self = VectorIteratorHelper<STLCollection, IIterator>;

  // A new iterator with its first reference; empty when out of memory.
  static CommonI::RefCountPtr<IIterator> Create(const STLCollection* items,
                                                const CommonI::RefCountPtr<CitI::IInterface>& owner) {
    Self* self = new (std::nothrow) Self(items, owner);
    return CommonI::RefCountPtr<IIterator>::Adopt(self);
  }

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == IID_IStringIterator) return static_cast<IIterator*>(this);
    if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return &m_counter;
    return nullptr;
  }
  Port::StringBase GetCurrent() override {
    return m_index < m_items->size() ? (*m_items)[m_index] : Port::StringBase();
  }
  CitI::Result Reset() override {
    m_index = 0;
    return 1;
  }
  CitI::Result Next() override {
    if (IsDone()) return 0;
    ++m_index;
    return 1;
  }
  CitI::Result IsDone() override { return m_index >= m_items->size() ? 1 : 0; }
  int Dump() override {
    std::string line = "VectorIteratorHelper<STLCollection> (" + Details::TypeName(typeid(*this)) + "): ";
    line += IsDone() ? std::string("At End") : "Current item is \"" + GetCurrent().str() + "\"";
    std::printf("%s\n", line.c_str());
    return 0;
  }

  // What the container's Remove needs to know of one of its iterators.
  const STLCollection* Items() const { return m_items; }
  std::uint64_t Index() const { return m_index; }

 private:
  VectorIteratorHelper(const STLCollection* items, const CommonI::RefCountPtr<CitI::IInterface>& owner)
      : m_items(items), m_owner(owner) {}

  const STLCollection* m_items;
  CommonI::RefCountPtr<CitI::IInterface> m_owner;  // keeps the strings alive
  std::uint64_t m_index = 0;
  CommonI::TRefCountHelper<Self, 0> m_counter{this};
};

// The container face; CHost is the heap object that also holds the
// counting face (VectorHelperT).
template <class CHost, class IContainer>
class VectorHelper : public IContainer {
 public:
  using Strings = std::vector<Port::StringBase>;
  using Iterator = VectorIteratorHelper<Strings, IStringIterator>;

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == IID_IStringContainer) return static_cast<IContainer*>(this);
    if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return m_counter;
    return nullptr;
  }
  CitI::Result Add(const Port::StringBase& text) override {
    m_strings.push_back(text);
    return 1;
  }
  CitI::Result Append(const Port::StringBase& text) override { return Add(text); }
  CitI::Result Remove(const CommonI::RefCountPtr<IStringIterator>& iterator) override {
    if (!iterator || iterator->IsDone()) return 1;
    auto* mine = dynamic_cast<Iterator*>(iterator.get());
    // Only an iterator over these very strings designates one of them.
    if (!mine || mine->Items() != &m_strings) return 0;
    m_strings.erase(m_strings.begin() + static_cast<std::ptrdiff_t>(mine->Index()));
    return 1;
  }
  CitI::Result CreateIterator(CommonI::RefCountPtr<IStringIterator>& out) override {
    out = Iterator::Create(&m_strings, CommonI::RefCountPtr<CitI::IInterface>(this));
    return out ? 1 : 0;
  }
  std::uint64_t GetSize() override { return m_strings.size(); }
  CitI::Result Clear() override {
    m_strings.clear();
    return 1;
  }
  int Dump() override {
    std::printf("VectorHelper<CHost,IContainer> ( %s ).\n", Details::TypeName(typeid(*this)).c_str());
    for (std::size_t i = 0; i < m_strings.size(); ++i)
      std::printf(" element[%zu] == %s\n", i, m_strings[i].c_str());
    return 0;
  }

  const Strings& Items() const { return m_strings; }

 protected:
  explicit VectorHelper(CommonI::IRefCount* counter) : m_counter(counter) {}

 private:
  Strings m_strings;
  CommonI::IRefCount* m_counter;
};

template <class IContainer>
class VectorHelperT : public VectorHelper<VectorHelperT<IContainer>, IContainer> {
 public:
  using Base = VectorHelper<VectorHelperT<IContainer>, IContainer>;

  // A new empty container with its first reference; empty when out of memory.
  static CommonI::RefCountPtr<IContainer> Create() {
    return CommonI::RefCountPtr<IContainer>::Adopt(new (std::nothrow) VectorHelperT());
  }

 private:
  VectorHelperT() : Base(&m_counter) {}
  CommonI::TRefCountHelper<VectorHelperT<IContainer>, 0> m_counter{this};
};

inline CommonI::RefCountPtr<IStringContainer> MakeStringContainer() {
  return VectorHelperT<IStringContainer>::Create();
}

}  // namespace UtilI
