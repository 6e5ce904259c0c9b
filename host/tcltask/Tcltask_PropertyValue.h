// Tcltask::PropertyValue: the counted UtilI::IPropertyValue object of the
// Tcl helper component, a Tcltask::Value behind the interface.
#pragma once

#include "Tcltask_CountedT.h"
#include "Tcltask_Value.h"

namespace Tcltask {

class PropertyValue final : public CountedT<UtilI::IPropertyValue> {
 public:
  // A new value object holding a copy of `value`; empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::IPropertyValue> Create(const Value& value = Value());

  explicit PropertyValue(const Value& value);

  std::uint32_t GetKind() override { return m_value.GetKind(); }
  CitI::Result IsEmpty() override { return m_value.IsEmpty() ? 1 : 0; }
  CitI::Result Clear() override;
  CitI::Result CopyFrom(UtilI::IPropertyValue* other) override;
  CitI::Result SetInt(std::int32_t value) override { return Store(value); }
  CitI::Result GetInt(std::int32_t& out) override { return m_value.Get(out); }
  CitI::Result SetDouble(double value) override { return Store(value); }
  CitI::Result GetDouble(double& out) override { return m_value.Get(out); }
  CitI::Result SetString(const Port::StringBase& value) override { return Store(value); }
  CitI::Result GetString(Port::StringBase& out) override { return m_value.Get(out); }
  CitI::Result SetBool(bool value) override { return Store(value); }
  CitI::Result GetBool(bool& out) override { return m_value.Get(out); }
  CitI::Result SetObject(CitI::IInterface* object) override;
  CitI::Result GetObject(CommonI::RefCountPtr<CitI::IInterface>& out) override;
  CitI::Result SetInt64(std::int64_t value) override { return Store(value); }
  CitI::Result GetInt64(std::int64_t& out) override { return m_value.Get(out); }
  CitI::Result SetUInt(std::uint32_t value) override { return Store(value); }
  CitI::Result GetUInt(std::uint32_t& out) override { return m_value.Get(out); }
  CitI::Result SetStrings(const CommonI::RefCountPtr<UtilI::IStringContainer>& value) override;
  CitI::Result GetStrings(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  Port::StringBase GetKindName() override { return m_value.GetKindName(); }
  CitI::Result Equals(UtilI::IPropertyValue* other) override;
  int Dump() override;
  CitI::Result GetText(Port::StringBase& out) override { return m_value.GetText(out) ? 1 : 0; }

 private:
  void* FindFace(const Port::XUID& iid) override;
  template <class T>
  CitI::Result Store(const T& value) {
    m_value.Set(value);
    return 1;
  }
  // The value of any implementation, read through its getters unless it is one of ours.
  static Value ContentsOf(UtilI::IPropertyValue& other);

  LiveToken m_live;
  Value m_value;
};

}  // namespace Tcltask
