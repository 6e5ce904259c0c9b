// SignalColl: the collectable of one signal ("ncd_signal"): its names, its
// net, its visible pins and the block it lies in.
#pragma once

#include <span>

#include "UtilC_SharedNcdCollT.h"

namespace UtilC::SharedNcd {

class SignalColl : public CollT<SignalColl, ISignalData, Xdm_Signal> {
 public:
  static constexpr const char* kTypeName = "ncd_signal";
  static constexpr Port::XUID kDataIid = IID_ISignalData;
  static std::span<const PropertySpec<SignalColl>> Properties();

  using CollT::CollT;

  Xdm_Signal* GetSignal() override { return LockedItem(); }
  void SetSignal(Xdm_Signal* signal) override { Retarget(signal); }

 private:
  CitI::Result GetNameValue(UtilI::IPropertyValue** value);
  CitI::Result GetFullName(UtilI::IPropertyValue** value);
  CitI::Result GetColor(UtilI::IPropertyValue** value);
  CitI::Result GetNet(UtilI::IPropertyValue** value);
  CitI::Result GetPins(UtilI::IPropertyValue** value);
  CitI::Result GetParent(UtilI::IPropertyValue** value);
  CitI::Result GetIconName(UtilI::IPropertyValue** value);
};

}  // namespace UtilC::SharedNcd
