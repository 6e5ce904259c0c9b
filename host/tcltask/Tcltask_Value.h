// Tcltask::Value: one typed value as a plain C++ value, the contents of a
// property-value object and what information objects and named values keep
// as their copies. Object and list values hold a counted reference to their
// object; copying the Value takes another.
//
// Kinds and text forms are those of UtilI::IPropertyValue
// (UtilI_TcltaskHelpers.h). Not guarded: one thread at a time.
#pragma once

#include <cstdint>
#include <variant>
#include <vector>

#include "UtilI_TcltaskHelpers.h"

namespace Tcltask {

class Value {
 public:
  using Object = CommonI::RefCountPtr<CitI::IInterface>;
  using Strings = std::vector<Port::StringBase>;
  // Object and list values differ only by kind, hence two wrappers.
  struct ObjectRef {
    Object ptr;
    friend bool operator==(const ObjectRef& a, const ObjectRef& b);
  };
  struct ListRef {
    Object ptr;
    friend bool operator==(const ListRef& a, const ListRef& b);
  };

  Value() = default;

  std::uint32_t GetKind() const;
  const char* GetKindName() const;
  bool IsEmpty() const { return m_data.index() == 0; }
  void Clear() { m_data = std::monostate(); }

  void Set(std::int32_t v) { m_data = v; }
  void Set(double v) { m_data = v; }
  void Set(const Port::StringBase& v) { m_data = v; }
  void Set(const char* v) { m_data = Port::StringBase(v); }  // not a bool
  void Set(bool v) { m_data = v; }
  void Set(std::int64_t v) { m_data = v; }
  void Set(std::uint32_t v) { m_data = v; }
  void Set(Strings v) { m_data = std::move(v); }
  // A list (an object answering IID_IObjectList) or one object; null is an
  // object value without an object.
  void SetObject(CitI::IInterface* object);
  void SetStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& container);

  // False, and `out` untouched, when the value holds another kind.
  template <class T>
  bool Get(T& out) const {
    const T* held = std::get_if<T>(&m_data);
    if (held) out = *held;
    return held != nullptr;
  }
  bool GetObject(Object& out) const;
  // A new container with copies of the strings; false for another kind.
  bool GetStrings(CommonI::RefCountPtr<UtilI::IStringContainer>& out) const;

  // The text form; false for an empty value.
  bool GetText(Port::StringBase& out) const;
  // Same kind and same value; objects are the same when they are one
  // object (compared through their counting faces).
  bool operator==(const Value& other) const;

  // A copy of any implementation's value, read through its getters.
  static Value From(UtilI::IPropertyValue& source);
  // Stores this value into any implementation's value through its setters;
  // the setter's answer (1 for an empty value after Clear).
  CitI::Result StoreInto(UtilI::IPropertyValue& target) const;

 private:
  using Data = std::variant<std::monostate, std::int32_t, double, Port::StringBase, bool, ObjectRef,
                            ListRef, std::int64_t, std::uint32_t, Strings>;
  Data m_data;
};

// Copies of the strings of a container (none for an empty reference), and
// a new container holding copies (empty when it cannot be made).
Value::Strings CopyStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& container);
CommonI::RefCountPtr<UtilI::IStringContainer> MakeContainer(const Value::Strings& strings);

}  // namespace Tcltask
