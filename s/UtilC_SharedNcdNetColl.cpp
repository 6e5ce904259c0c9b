#include "UtilC_SharedNcdNetColl.h"

#include "Pds_PdmNetwork.h"
#include "Pds_PdmView.h"
#include "Tw_DlyMed.h"
#include "XCad_CadHelpers.h"
#include "XCad_CadNetwork.h"
#include "XCad_RMed.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {

using N = NetColl;

constexpr int kPowerNetwork = 1;
constexpr int kGroundNetwork = 0;

// The direction word of the last signal's pin on a block without parent
// (a top-level port); null when no signal has one.
const char* PortDirection(const Xdm_Network* network) {
  const Xdm_Pin* port = nullptr;
  for (const Xdm_Signal* signal : network->GetSignalItr()) {
    for (const Xdm_Pin* pin : signal->GetPinItr()) {
      const Xdm_Block* block = Xdm_Parent::GetParentObject(pin);
      if (block && !block->GetParent()) {
        port = pin;
        break;
      }
    }
  }
  if (!port) return nullptr;
  if (port->IsBlockBidir()) return "InOut";
  if (port->IsBlockInput()) return "Input";
  if (port->IsBlockOutput()) return "Output";
  return "";
}

}  // namespace

std::span<const PropertySpec<N>> NetColl::Properties() {
  static constexpr PropertySpec<N> kTable[] = {
      {"Name", kKindString,
       "This property specifies the name of the net.  This value is the same as the name of the top signal.\n",
       &N::GetNameValue},
      {"Full Name", kKindString,
       "This property specifies the full hierarchy name of the net. This value is the same as the full "
       "hierarchy name of the top signal.\n",
       &N::GetFullName},
      {"Color", kKindString, "This property specifies the color of the net.\n", &N::GetColor},
      {"Subtype", kKindString, "This property specifies the subtype name of the net.\n", &N::GetSubtype},
      {"Pins", kKindList, "This property contains all terminal pins of the net.\n", &N::GetPins},
      {"Signals", kKindList, "This property contains all signals of the net.\n", &N::GetSignals},
      {"Fanout", kKindInt, "This property specifies the number of terminal pins of the net.\n", &N::GetFanout},
      {"Max Delay", kKindDouble,
       "This property specifies the maximum delay from any source pin to any load pin of the net.\n",
       &N::GetMaxDelay},
      {"Status", kKindString, "This property specifies the route status of the net.\n", &N::GetStatus},
      {"Icon Name", kKindString, "This property specifies the icon file name for thenet.\n", &N::GetIconName},
  };
  return kTable;
}

XCad_CadNetwork* NetColl::CadNetworkOf(const Xdm_Network* network) {
  Port_ThrGuard guard(ClassStatics<N>::Get().lock);
  const int type = static_cast<const Pds_PdmNetwork*>(network)->GetType();
  if (type == kPowerNetwork || type == kGroundNetwork) {
    const auto* view = dynamic_cast<const Pds_PdmView*>(network->GetParent());
    if (!view) return nullptr;
    Xdm_Network* master = type == kPowerNetwork ? view->GetMasterVccNetwork() : view->GetMasterGndNetwork();
    return dynamic_cast<XCad_CadNetwork*>(master);
  }
  if (!XCad_CadHelpersRoutableNetworkFilter()(network)) return nullptr;
  return dynamic_cast<XCad_CadNetwork*>(const_cast<Xdm_Network*>(network));
}

const char* NetColl::RouteStatusOf(XCad_RMed* routes, const Xdm_Network* network) {
  const XCad_CadNetwork* cad = routes ? CadNetworkOf(network) : nullptr;
  const XCad_RMedRug* rug = cad ? routes->GetRug(cad) : nullptr;
  if (!rug) return "Unrouted";
  if (routes->IsFullyRouted(rug)) return "Routed";
  for (const XCad_RMedRugNode* node = rug->GetFirstRugNode(); node; node = node->GetNextRugNode()) {
    if (node->GetDriver()) return "Partially Routed";
  }
  return "Unrouted";
}

CitI::Result NetColl::GetNameValue(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetName());
}

CitI::Result NetColl::GetFullName(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetFullName());
}

CitI::Result NetColl::GetColor(UtilI::IPropertyValue** value) {
  return (*value)->SetString("TBD");
}

CitI::Result NetColl::GetSubtype(UtilI::IPropertyValue** value) {
  const int type = static_cast<const Pds_PdmNetwork*>(Current())->GetType();
  if (type == kPowerNetwork) return (*value)->SetString("Vcc");
  if (type == kGroundNetwork) return (*value)->SetString("Ground");
  const char* direction = PortDirection(Current());
  return (*value)->SetString(direction ? direction : "Logic");
}

// Every terminal pin of every signal, in signal and pin order (a pin is
// not checked for repeats).
CitI::Result NetColl::GetPins(UtilI::IPropertyValue** value) {
  return DeliverFilledList<N>(value, [this](UtilI::IObjectList& list) {
    for (const Xdm_Signal* signal : Current()->GetSignalItr()) {
      for (const Xdm_Pin* pin : signal->GetPinItr()) {
        if (design->IsTerminalPin(pin)) AppendTo(list, design->MakeCollectable(pin));
      }
    }
  });
}

CitI::Result NetColl::GetSignals(UtilI::IPropertyValue** value) {
  return DeliverList<N>(value, Current()->GetSignalItr(), [this](const Xdm_Signal* signal) {
    return design->IsSignalVisible(signal) ? design->MakeCollectable(signal) : SharedNcd::CollectablePtr();
  });
}

CitI::Result NetColl::GetFanout(UtilI::IPropertyValue** value) {
  return (*value)->SetInt(static_cast<std::int32_t>(design->GetPinCount(Current())));
}

CitI::Result NetColl::GetMaxDelay(UtilI::IPropertyValue** value) {
  double delay = -1.0;
  const XCad_CadNetwork* cad = design->HasDelayMediator() ? CadNetworkOf(Current()) : nullptr;
  int first = 0;
  int second = 0;
  if (cad) {
    const Tw_DlyMed::DELAYTYPE type = design->GetDelayMediator()->GetDelay(cad, &first, &second);
    if (type == Tw_DlyMed::DELAYTYPE_ROUTED || type == Tw_DlyMed::DELAYTYPE_ESTIMATED) delay = first / 1000.0;
  }
  return (*value)->SetDouble(delay);
}

CitI::Result NetColl::GetStatus(UtilI::IPropertyValue** value) {
  const char* status = CadNetworkOf(Current()) ? RouteStatusOf(design->GetRouteMediator(), Current()) : "";
  return (*value)->SetString(status);
}

CitI::Result NetColl::GetIconName(UtilI::IPropertyValue** value) {
  return (*value)->SetString("utilc-ncdnet");
}

}  // namespace UtilC::SharedNcd
