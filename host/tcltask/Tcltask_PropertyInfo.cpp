#include "Tcltask_PropertyInfo.h"

#include "Tcltask_LiveCount.h"
#include "Tcltask_PropertyValue.h"

namespace Tcltask {

CommonI::RefCountPtr<UtilI::IPropertyInfo> PropertyInfo::Create() {
  return MakeCounted<UtilI::IPropertyInfo, PropertyInfo>();
}

PropertyInfo::PropertyInfo() : m_live(LiveCounter(UtilI::kHelperInfos)) {}

void* PropertyInfo::FindFace(const Port::XUID& iid) {
  return iid == UtilI::IID_IPropertyInfo ? static_cast<UtilI::IPropertyInfo*>(this) : nullptr;
}

// An empty reference forgets what was set.
void PropertyInfo::KeepStrings(Strings& field,
                               const CommonI::RefCountPtr<UtilI::IStringContainer>& container) {
  if (container) {
    field = CopyStrings(container);
  } else {
    field.reset();
  }
}

CitI::Result PropertyInfo::GiveStrings(const Strings& field,
                                       CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  out = field ? MakeContainer(*field) : CommonI::RefCountPtr<UtilI::IStringContainer>();
  return out ? 1 : 0;
}

CitI::Result PropertyInfo::SetRanges(const CommonI::RefCountPtr<UtilI::IStringContainer>& ranges) {
  KeepStrings(m_ranges, ranges);
  return 1;
}

CitI::Result PropertyInfo::SetChoices(
    const CommonI::RefCountPtr<UtilI::IStringContainer>& choices) {
  KeepStrings(m_choices, choices);
  return 1;
}

CitI::Result PropertyInfo::GetRanges(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  return GiveStrings(m_ranges, out);
}

CitI::Result PropertyInfo::GetChoices(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  return GiveStrings(m_choices, out);
}

// Null forgets the default.
CitI::Result PropertyInfo::SetDefault(UtilI::IPropertyValue* value) {
  if (value) {
    m_default = Value::From(*value);
  } else {
    m_default.reset();
  }
  return 1;
}

CitI::Result PropertyInfo::GetDefault(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) {
  out =
      m_default ? PropertyValue::Create(*m_default) : CommonI::RefCountPtr<UtilI::IPropertyValue>();
  return out ? 1 : 0;
}

}  // namespace Tcltask
