#include "UtilC_SharedNcdSignalColl.h"

#include "Pds_PdmBlock.h"
#include "Xdm_Block.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {
using S = SignalColl;
}

std::span<const PropertySpec<S>> SignalColl::Properties() {
  static constexpr PropertySpec<S> kTable[] = {
      {"Name", kKindString, "This property specifies the name of the signal.\n", &S::GetNameValue},
      {"Full Name", kKindString, "This property specifies the full hierarchy name of the signal.\n",
       &S::GetFullName},
      {"Color", kKindString, "This property specifies the color of the signal.\n", &S::GetColor},
      {"Net", kKindObject, "This property specifies the net that the signal belong to.\n", &S::GetNet},
      {"Pins", kKindList, "This property contains all pins of the signal.\n", &S::GetPins},
      {"Parent", kKindObject, "This property specifies the block that the signal resides.\n", &S::GetParent},
      {"Icon Name", kKindString, "This property specifies the icon file name for thesignal.\n", &S::GetIconName},
  };
  return kTable;
}

CitI::Result SignalColl::GetNameValue(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetName());
}

CitI::Result SignalColl::GetFullName(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetFullName());
}

CitI::Result SignalColl::GetColor(UtilI::IPropertyValue** value) {
  return (*value)->SetString("TBD");
}

CitI::Result SignalColl::GetNet(UtilI::IPropertyValue** value) {
  const Xdm_Network* network = Current()->GetNetwork();
  if (!network || !design->IsNetVisible(network)) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(network));
}

CitI::Result SignalColl::GetPins(UtilI::IPropertyValue** value) {
  return DeliverList<S>(value, Current()->GetPinItr(), [this](const Xdm_Pin* pin) {
    return design->IsPinVisible(pin) ? design->MakeCollectable(pin) : SharedNcd::CollectablePtr();
  });
}

CitI::Result SignalColl::GetParent(UtilI::IPropertyValue** value) {
  const auto* block = static_cast<const Pds_PdmBlock*>(Xdm_Parent::GetParentObject(Current()));
  if (!block) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(block));
}

CitI::Result SignalColl::GetIconName(UtilI::IPropertyValue** value) {
  return (*value)->SetString("utilc-ncdsignal");
}

}  // namespace UtilC::SharedNcd
