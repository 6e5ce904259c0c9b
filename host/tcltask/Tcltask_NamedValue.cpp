#include "Tcltask_NamedValue.h"

#include <atomic>

#include "Tcltask_LiveCount.h"

namespace Tcltask {
namespace {

std::atomic<std::uint64_t> g_serial{0};

}  // namespace

const NamedValue::Property NamedValue::kProperties[2] = {
    {"Name", UtilI::kValueString, "This property specifies the name of the named value.\n",
     &NamedValue::NameProperty},
    {"Value", UtilI::kValueNone, "This property specifies the value of the named value.\n",
     &NamedValue::ValueProperty},
};

CommonI::RefCountPtr<UtilI::ITclCollectable> NamedValue::Create(const Port::StringBase& name,
                                                                UtilI::IPropertyValue* value) {
  try {
    return MakeCounted<UtilI::ITclCollectable, NamedValue>(name,
                                                           value ? Value::From(*value) : Value());
  } catch (const std::bad_alloc&) {
    return {};  // copying the value
  }
}

NamedValue::NamedValue(const Port::StringBase& name, Value value)
    : m_live(LiveCounter(UtilI::kHelperNamedValues)),
      m_name(name),
      m_value(std::move(value)),
      m_serial(g_serial.fetch_add(1, std::memory_order_relaxed) + 1) {}

void* NamedValue::FindFace(const Port::XUID& iid) {
  if (iid == UtilI::IID_INamedValue) return static_cast<UtilI::INamedValue*>(this);
  return CollectableT::FindFace(iid);
}

CitI::Result NamedValue::GetValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) {
  out = PropertyValue::Create(m_value);
  return out ? 1 : 0;
}

Port::StringBase NamedValue::Id() const {
  return Port::StringBase::doFormat("%s#%llu", kTypeName,
                                    static_cast<unsigned long long>(m_serial));
}

std::uint32_t NamedValue::KindOf(const Property& property) const {
  return &property == &kProperties[1] ? m_value.GetKind() : property.kind;
}

CitI::Result NamedValue::NameProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_name);
}

// A named value without a value has none to deliver.
CitI::Result NamedValue::ValueProperty(UtilI::IPropertyValue& value) const {
  return m_value.IsEmpty() ? 0 : m_value.StoreInto(value);
}

}  // namespace Tcltask
