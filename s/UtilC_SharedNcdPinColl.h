// PinColl: the collectable of one block pin ("ncd_pin"): its names and
// direction, the signals, net and block it connects, its delay and skew,
// route status, whether it is a clock pin and the clock region of the
// site its block is placed on.
#pragma once

#include <span>

#include "UtilC_SharedNcdCollT.h"

namespace UtilC::SharedNcd {

class PinColl : public CollT<PinColl, IPinData, Xdm_Pin> {
 public:
  static constexpr const char* kTypeName = "ncd_pin";
  static constexpr Port::XUID kDataIid = IID_IPinData;
  static std::span<const PropertySpec<PinColl>> Properties();

  using CollT::CollT;

  Xdm_Pin* GetPin() override { return LockedItem(); }
  void SetPin(Xdm_Pin* pin) override { Retarget(pin); }

 private:
  // The pin whose delay stands for `pin`: the pin itself on a comp, or for
  // a bel pin the first comp pin of its signal; null when none.
  const Xdm_Pin* TimingPinOf(const Xdm_Pin* pin);
  bool IsVisibleCompPin(const Xdm_Pin* pin);
  CitI::Result DeliverSignal(UtilI::IPropertyValue** value, const Xdm_Signal* signal);

  CitI::Result GetNameValue(UtilI::IPropertyValue** value);
  CitI::Result GetFullName(UtilI::IPropertyValue** value);
  CitI::Result GetDirection(UtilI::IPropertyValue** value);
  CitI::Result GetSignalValue(UtilI::IPropertyValue** value);
  CitI::Result GetChildSignal(UtilI::IPropertyValue** value);
  CitI::Result GetNet(UtilI::IPropertyValue** value);
  CitI::Result GetBlock(UtilI::IPropertyValue** value);
  CitI::Result GetMaxDelay(UtilI::IPropertyValue** value);
  CitI::Result GetStatus(UtilI::IPropertyValue** value);
  CitI::Result GetIsClock(UtilI::IPropertyValue** value);
  CitI::Result GetIconName(UtilI::IPropertyValue** value);
  CitI::Result GetSkewValue(UtilI::IPropertyValue** value);
  CitI::Result GetClockRegion(UtilI::IPropertyValue** value);
};

}  // namespace UtilC::SharedNcd
