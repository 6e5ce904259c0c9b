#include "UtilC_SharedNcdPinColl.h"

#include "Pds_PdmBlock.h"
#include "Pds_PdmPin.h"
#include "Tw_DlyMed.h"
#include "UtilC_SharedNcdNetColl.h"
#include "UtilI_SharedRf.h"
#include "XCad_CadNetwork.h"
#include "XCad_RMed.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {

using P = PinColl;
using CollectablePtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;

constexpr double kNoDelay = -1.0;

bool IsUsable(Tw_DlyMed::DELAYTYPE type) {
  return type == Tw_DlyMed::DELAYTYPE_ROUTED || type == Tw_DlyMed::DELAYTYPE_ESTIMATED;
}

// A property of a collectable as text: "name" and "type" are its name and
// type name; any other its property value's text form; `fallback` when it
// has none.
Port::StringBase PropertyText(const CollectablePtr& coll, const char* name, const Port::StringBase& fallback) {
  Port::StringBase text = fallback;
  if (!coll) return text;
  const Port::StringBase property(name);
  if (property.Compare("name", Port::StringBase::Exact) == 0) {
    coll->GetName(text);
  } else if (property.Compare("type", Port::StringBase::Exact) == 0) {
    coll->GetTypeName(text);
  } else {
    UtilI::IPropertyValue* raw = nullptr;
    const CitI::Result found = coll->GetPropertyValue(property, &raw);
    const auto value = CommonI::RefCountPtr<UtilI::IPropertyValue>::Adopt(raw);
    Port::StringBase valueText;
    if (found && value && value->GetText(valueText) == 1) text = valueText;
  }
  return text;
}

}  // namespace

std::span<const PropertySpec<P>> PinColl::Properties() {
  static constexpr PropertySpec<P> kTable[] = {
      {"Name", kKindString, "This property specifies the name of the block pin.\n", &P::GetNameValue},
      {"Full Name", kKindString, "This property specifies the full hierarchy name of the block pin.\n",
       &P::GetFullName},
      {"Direction", kKindString, "This property specifies the direction of flow of the block pin.\n",
       &P::GetDirection},
      {"Signal", kKindObject, "This property specifies the connected external signal of the block pin.\n",
       &P::GetSignalValue},
      {"Child Signal", kKindObject, "This property specifies the connected internal signal of the block pin.\n",
       &P::GetChildSignal},
      {"Net", kKindObject, "This property specifies the connected net of the block pin.\n", &P::GetNet},
      {"Block", kKindObject, "This property specifies the block where the block pin resides.\n", &P::GetBlock},
      {"Max Delay", kKindDouble, "This property specifies the maximum delay from source pin to the current pin.\n",
       &P::GetMaxDelay},
      {"Status", kKindString, "This property specifies the route status of the block pin.\n", &P::GetStatus},
      {"Is Clock", kKindBool, "This property is true if the block pin is a clock pin; false otherwise.\n",
       &P::GetIsClock},
      {"Icon Name", kKindString, "This property specifies the icon file name for theblock pin.\n",
       &P::GetIconName},
      {"Skew Value", kKindDouble, "This property specifies the skew value for theblock pin.\n", &P::GetSkewValue},
      {"Clock Region", kKindObject, "This property specifies the clock region for theblock pin.\n",
       &P::GetClockRegion},
  };
  return kTable;
}

bool PinColl::IsVisibleCompPin(const Xdm_Pin* pin) {
  const auto* block = static_cast<const Pds_PdmBlock*>(Xdm_Parent::GetParentObject(pin));
  return block && block->GetHierLevel() == Pds_PdmBlock::HIER_LEVEL_COMP && design->IsPinVisible(pin);
}

const Xdm_Pin* PinColl::TimingPinOf(const Xdm_Pin* pin) {
  if (IsVisibleCompPin(pin)) return pin;
  const auto* block = static_cast<const Pds_PdmBlock*>(Xdm_Parent::GetParentObject(pin));
  const Xdm_Signal* signal = pin->GetSignal();
  if (!block || !block->IsBel() || !signal) return nullptr;
  for (const Xdm_Pin* candidate : signal->GetPinItr()) {
    if (IsVisibleCompPin(candidate)) return candidate;
  }
  return nullptr;
}

CitI::Result PinColl::GetNameValue(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetName());
}

CitI::Result PinColl::GetFullName(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetFullName());
}

// A pin that is neither bidirectional nor an output counts as an input.
CitI::Result PinColl::GetDirection(UtilI::IPropertyValue** value) {
  const Xdm_Pin* pin = Current();
  return (*value)->SetString(pin->IsBlockBidir() ? "InOut" : pin->IsBlockOutput() ? "Output" : "Input");
}

CitI::Result PinColl::DeliverSignal(UtilI::IPropertyValue** value, const Xdm_Signal* signal) {
  if (!signal || !design->IsSignalVisible(signal)) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(signal));
}

CitI::Result PinColl::GetSignalValue(UtilI::IPropertyValue** value) {
  return DeliverSignal(value, Current()->GetSignal());
}

CitI::Result PinColl::GetChildSignal(UtilI::IPropertyValue** value) {
  return DeliverSignal(value, Current()->GetChildSignal());
}

CitI::Result PinColl::GetNet(UtilI::IPropertyValue** value) {
  const Xdm_Signal* signal = Current()->GetSignal();
  const Xdm_Network* network = signal ? signal->GetNetwork() : nullptr;
  if (!network || !design->IsNetVisible(network)) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(network));
}

CitI::Result PinColl::GetBlock(UtilI::IPropertyValue** value) {
  const auto* block = static_cast<const Pds_PdmBlock*>(Current()->GetParent());
  if (!block) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(block));
}

CitI::Result PinColl::GetMaxDelay(UtilI::IPropertyValue** value) {
  double delay = kNoDelay;
  const Xdm_Pin* timing = design->HasDelayMediator() && design->IsPinVisible(Current()) ? TimingPinOf(Current()) : nullptr;
  const Xdm_Network* network = timing ? static_cast<const Pds_PdmPin*>(timing)->GetPrimaryNetwork() : nullptr;
  const XCad_CadNetwork* cad = network ? NetColl::CadNetworkOf(network) : nullptr;
  if (cad && timing->IsSignalLoad()) {
    int first = 0;
    int second = 0;
    if (IsUsable(design->GetDelayMediator()->GetDelay(cad, timing, &first, &second))) delay = first / 1000.0;
  }
  return (*value)->SetDouble(delay);
}

// The net's delay less the delay to the timing pin; both are asked for.
CitI::Result PinColl::GetSkewValue(UtilI::IPropertyValue** value) {
  double skew = kNoDelay;
  const Xdm_Pin* pin = Current();
  const Xdm_Pin* timing = design->HasDelayMediator() && design->IsPinVisible(pin) ? TimingPinOf(pin) : nullptr;
  const Xdm_Network* network = timing ? static_cast<const Pds_PdmPin*>(pin)->GetPrimaryNetwork() : nullptr;
  const XCad_CadNetwork* cad = network ? NetColl::CadNetworkOf(network) : nullptr;
  if (cad && pin->IsSignalLoad()) {
    Tw_DlyMed* delays = design->GetDelayMediator();
    int netDelay = 0;
    int pinDelay = 0;
    int unused = 0;
    const Tw_DlyMed::DELAYTYPE netType = delays->GetDelay(cad, &netDelay, &unused);
    const Tw_DlyMed::DELAYTYPE pinType = delays->GetDelay(cad, timing, &pinDelay, &unused);
    if (IsUsable(netType) && IsUsable(pinType)) {
      const auto difference = static_cast<std::int32_t>(static_cast<std::uint32_t>(netDelay) -
                                                        static_cast<std::uint32_t>(pinDelay));
      skew = difference / 1000.0;
    }
  }
  return (*value)->SetDouble(skew);
}

CitI::Result PinColl::GetStatus(UtilI::IPropertyValue** value) {
  const Xdm_Network* network = static_cast<const Pds_PdmPin*>(Current())->GetPrimaryNetwork();
  const bool visible = network && design->IsNetVisible(network);
  return (*value)->SetString(visible ? NetColl::RouteStatusOf(design->GetRouteMediator(), network) : "");
}

CitI::Result PinColl::GetIsClock(UtilI::IPropertyValue** value) {
  return (*value)->SetBool(static_cast<const Pds_PdmPin*>(Current())->GetExtendedPinType().IsClock());
}

CitI::Result PinColl::GetIconName(UtilI::IPropertyValue** value) {
  return (*value)->SetString("utilc-ncdpin");
}

// The clock region named by the "Clock Region" property of the site the
// pin's block is placed on, from the shared device of the design's part.
CitI::Result PinColl::GetClockRegion(UtilI::IPropertyValue** value) {
  CollectablePtr region;
  XCad_RMed* routes = design->HasRouteMediator() ? design->GetRouteMediator() : nullptr;
  if (routes) {
    const Rf_Cell cell = routes->GetPlacement(Current()->GetParent());
    CommonI::RefCountPtr<CitI::IInterface> device;
    design->GetSharedRf(device);
    auto* sites = device ? static_cast<UtilI::IDeviceSites*>(device->QueryInterface(UtilI::IID_IDeviceSites)) : nullptr;
    CollectablePtr site;
    if (cell && sites) sites->GetSite(cell, site);
    const Port::StringBase text = PropertyText(site, "Clock Region", Port::StringBase());
    auto* shared = device ? static_cast<UtilI::ISharedRf*>(device->QueryInterface(UtilI::IID_ISharedRf)) : nullptr;
    if (shared && !text.IsEmpty() && text.Compare("None", Port::StringBase::Exact) != 0)
      shared->FindClockRegion(region, text);
  }
  return DeliverObject(value, region);
}

}  // namespace UtilC::SharedNcd
