// Tcltask::HelperFactory: the counted UtilI::INamedValueFactory of the Tcl
// helper component, which makes every kind of helper object and reports how
// many are alive.
#pragma once

#include "Tcltask_CountedT.h"
#include "UtilI_ITclCollectable.h"

namespace Tcltask {

class HelperFactory final : public CountedT<UtilI::INamedValueFactory> {
 public:
  static CommonI::RefCountPtr<UtilI::INamedValueFactory> Create();

  CitI::Result MakeValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out) override;
  CitI::Result MakeList(CommonI::RefCountPtr<UtilI::IObjectList>& out) override;
  CitI::Result MakeInfo(CommonI::RefCountPtr<UtilI::IPropertyInfo>& out) override;
  CitI::Result MakeStringValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                               const Port::StringBase& value) override;
  CitI::Result MakeIntValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                            std::int32_t value) override;
  CitI::Result MakeDoubleValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                               double value) override;
  CitI::Result MakeBoolValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out, bool value) override;
  CitI::Result MakeObjectValue(CommonI::RefCountPtr<UtilI::IPropertyValue>& out,
                               CitI::IInterface* object) override;
  std::uint64_t GetLiveCount(std::uint32_t kind) override;
  CommonI::RefCountPtr<UtilI::ITclCollectable> MakeNamedValue(
      const Port::StringBase& name, UtilI::IPropertyValue* value) override;

 private:
  void* FindFace(const Port::XUID& iid) override;
};

}  // namespace Tcltask
