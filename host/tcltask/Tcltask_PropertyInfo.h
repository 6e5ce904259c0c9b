// Tcltask::PropertyInfo: the counted UtilI::IPropertyInfo of the Tcl helper
// component. It keeps copies of what it is given and hands out copies.
#pragma once

#include <optional>

#include "Tcltask_CountedT.h"
#include "Tcltask_Value.h"

namespace Tcltask {

class PropertyInfo final : public CountedT<UtilI::IPropertyInfo> {
 public:
  // A new information object; empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::IPropertyInfo> Create();

  PropertyInfo();

  CitI::Result SetName(const Port::StringBase& name) override { return Keep(m_name, name); }
  CitI::Result SetKind(std::uint32_t kind) override { return Keep(m_kind, kind); }
  CitI::Result SetReadOnly(bool readOnly) override { return Keep(m_readOnly, readOnly); }
  CitI::Result SetRanges(const CommonI::RefCountPtr<UtilI::IStringContainer>& ranges) override;
  CitI::Result SetDefault(UtilI::IPropertyValue* value) override;
  CitI::Result SetAuxText(const Port::StringBase& text) override { return Keep(m_auxText, text); }
  CitI::Result SetChoices(const CommonI::RefCountPtr<UtilI::IStringContainer>& choices) override;
  CitI::Result SetDescription(const Port::StringBase& text) override {
    return Keep(m_description, text);
  }
  CitI::Result GetName(Port::StringBase& out) override { return Give(out, m_name); }
  std::uint32_t GetKind() override { return m_kind; }
  CitI::Result IsReadOnly() override { return m_readOnly ? 1 : 0; }
  CitI::Result GetRanges(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  CitI::Result GetDefault(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) override;
  CitI::Result GetAuxText(Port::StringBase& out) override { return Give(out, m_auxText); }
  CitI::Result GetChoices(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  CitI::Result GetDescription(Port::StringBase& out) override { return Give(out, m_description); }

 private:
  using Strings = std::optional<Value::Strings>;
  void* FindFace(const Port::XUID& iid) override;
  template <class T>
  static CitI::Result Keep(T& field, const T& value) {
    field = value;
    return 1;
  }
  static CitI::Result Give(Port::StringBase& out, const Port::StringBase& field) {
    out = field;
    return 1;
  }
  static void KeepStrings(Strings& field, const CommonI::RefCountPtr<UtilI::IStringContainer>& c);
  static CitI::Result GiveStrings(const Strings& field,
                                  CommonI::RefCountPtr<UtilI::IStringContainer>& out);

  LiveToken m_live;
  Port::StringBase m_name;
  std::uint32_t m_kind = 0;
  bool m_readOnly = true;
  Strings m_ranges;
  std::optional<Value> m_default;
  Port::StringBase m_auxText;
  Strings m_choices;
  Port::StringBase m_description;
};

}  // namespace Tcltask
