// Tcltask::NamedValue: a name with a copy of a value, as a collectable of
// type "tcltask_named_value" (properties "Name" and "Value"), so that it
// can stand in an IObjectList. Immutable once made.
#pragma once

#include "Tcltask_CollectableT.h"
#include "Tcltask_PropertyInfo.h"
#include "Tcltask_PropertyValue.h"

namespace Tcltask {

// The component makes its own value and information objects directly.
struct LocalServices {
  static CommonI::RefCountPtr<UtilI::IPropertyValue> NewValue() { return PropertyValue::Create(); }
  static CommonI::RefCountPtr<UtilI::IPropertyInfo> NewInfo() { return PropertyInfo::Create(); }
};

class NamedValue final : public CollectableT<NamedValue, LocalServices, UtilI::INamedValue> {
 public:
  static constexpr const char* kTypeName = "tcltask_named_value";
  static const Property kProperties[2];

  // Null `value`: an empty value. Empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::ITclCollectable> Create(const Port::StringBase& name,
                                                             UtilI::IPropertyValue* value);

  NamedValue(const Port::StringBase& name, Value value);

  Port::StringBase GetValueName() override { return m_name; }
  CitI::Result GetValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) override;

  Port::StringBase Name() const { return m_name; }
  // "tcltask_named_value#<n>", n unique in the process.
  Port::StringBase Id() const;
  // "Value" has the kind of what it holds.
  std::uint32_t KindOf(const Property& property) const;

  CitI::Result NameProperty(UtilI::IPropertyValue& value) const;
  CitI::Result ValueProperty(UtilI::IPropertyValue& value) const;

 private:
  void* FindFace(const Port::XUID& iid) override;

  LiveToken m_live;
  const Port::StringBase m_name;
  const Value m_value;
  const std::uint64_t m_serial;
};

}  // namespace Tcltask
