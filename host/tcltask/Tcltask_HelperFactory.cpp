#include "Tcltask_HelperFactory.h"

#include "Tcltask_LiveCount.h"
#include "Tcltask_NamedValue.h"
#include "Tcltask_ObjectList.h"

namespace Tcltask {
namespace {

template <class I>
CitI::Result Give(CommonI::RefCountPtr<I>& out, CommonI::RefCountPtr<I> made) {
  out = std::move(made);
  return out ? 1 : 0;
}

template <class T>
CitI::Result GiveValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out, const T& v) {
  Value value;
  value.Set(v);
  return Give(out, PropertyValue::Create(value));
}

}  // namespace

CommonI::RefCountPtr<UtilI::INamedValueFactory> HelperFactory::Create() {
  return MakeCounted<UtilI::INamedValueFactory, HelperFactory>();
}

void* HelperFactory::FindFace(const Port::XUID& iid) {
  return iid == UtilI::IID_INamedValueFactory ? static_cast<UtilI::INamedValueFactory*>(this)
                                              : nullptr;
}

CitI::Result HelperFactory::MakeValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) {
  return Give(out, PropertyValue::Create());
}

CitI::Result HelperFactory::MakeList(CommonI::RefCountPtr<UtilI::IObjectList>& out) {
  return Give(out, ObjectList::Create());
}

CitI::Result HelperFactory::MakeInfo(CommonI::RefCountPtr<UtilI::IPropertyInfo>& out) {
  return Give(out, PropertyInfo::Create());
}

CitI::Result HelperFactory::MakeStringValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                                            const Port::StringBase& value) {
  return GiveValue(out, value);
}

CitI::Result HelperFactory::MakeIntValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                                         std::int32_t value) {
  return GiveValue(out, value);
}

CitI::Result HelperFactory::MakeDoubleValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                                            double value) {
  return GiveValue(out, value);
}

CitI::Result HelperFactory::MakeBoolValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                                          bool value) {
  return GiveValue(out, value);
}

CitI::Result HelperFactory::MakeObjectValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                                            CitI::IInterface* object) {
  Value value;
  value.SetObject(object);
  return Give(out, PropertyValue::Create(value));
}

std::uint64_t HelperFactory::GetLiveCount(std::uint32_t kind) {
  return LiveCount(kind);
}

CommonI::RefCountPtr<UtilI::ITclCollectable> HelperFactory::MakeNamedValue(
    const Port::StringBase& name, UtilI::IPropertyValue* value) {
  return NamedValue::Create(name, value);
}

}  // namespace Tcltask
