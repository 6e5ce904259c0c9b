#include "Tcltask_PropertyValue.h"

#include <cstdio>

#include "Tcltask_LiveCount.h"

namespace Tcltask {

CommonI::RefCountPtr<UtilI::IPropertyValue> PropertyValue::Create(const Value& value) {
  return MakeCounted<UtilI::IPropertyValue, PropertyValue>(value);
}

PropertyValue::PropertyValue(const Value& value)
    : m_live(LiveCounter(UtilI::kHelperValues)), m_value(value) {}

void* PropertyValue::FindFace(const Port::XUID& iid) {
  return iid == UtilI::IID_IPropertyValue ? static_cast<UtilI::IPropertyValue*>(this) : nullptr;
}

CitI::Result PropertyValue::Clear() {
  m_value.Clear();
  return 1;
}

Value PropertyValue::ContentsOf(UtilI::IPropertyValue& other) {
  if (auto* mine = dynamic_cast<PropertyValue*>(&other)) return mine->m_value;
  return Value::From(other);
}

CitI::Result PropertyValue::CopyFrom(UtilI::IPropertyValue* other) {
  if (!other) return 0;
  m_value = ContentsOf(*other);
  return 1;
}

CitI::Result PropertyValue::SetObject(CitI::IInterface* object) {
  m_value.SetObject(object);
  return 1;
}

CitI::Result PropertyValue::GetObject(CommonI::RefCountPtr<CitI::IInterface>& out) {
  return m_value.GetObject(out) ? 1 : 0;
}

CitI::Result PropertyValue::SetStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& value) {
  m_value.SetStrings(value);
  return 1;
}

CitI::Result PropertyValue::GetStrings(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  return m_value.GetStrings(out) ? 1 : 0;
}

CitI::Result PropertyValue::Equals(UtilI::IPropertyValue* other) {
  return other && ContentsOf(*other) == m_value ? 1 : 0;
}

int PropertyValue::Dump() {
  Port::StringBase text;
  m_value.GetText(text);
  std::printf("PropertyValue (%s) %s\n", m_value.GetKindName(), text.c_str());
  return 0;
}

}  // namespace Tcltask
