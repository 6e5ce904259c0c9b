// NetColl: the collectable of one network ("ncd_net"): its names, kind,
// terminal pins, signals, fanout, maximum delay and route status.
// Also the network helpers the pin collectable shares: the mediator
// network that stands for a network, and a network's route status.
#pragma once

#include <span>

#include "UtilC_SharedNcdCollT.h"

class XCad_CadNetwork;
class XCad_RMed;

namespace UtilC::SharedNcd {

class NetColl : public CollT<NetColl, INetData, Xdm_Network> {
 public:
  static constexpr const char* kTypeName = "ncd_net";
  static constexpr Port::XUID kDataIid = IID_INetData;
  static std::span<const PropertySpec<NetColl>> Properties();

  using CollT::CollT;

  Xdm_Network* GetNetwork() override { return LockedItem(); }
  void SetNetwork(Xdm_Network* network) override { Retarget(network); }

  // The mediators' network for `network`: the view's master power or
  // ground network for a power or ground network, the network itself when
  // it is routable, else null. Takes the NetColl class lock.
  static XCad_CadNetwork* CadNetworkOf(const Xdm_Network* network);
  // "Routed", "Partially Routed" or "Unrouted".
  static const char* RouteStatusOf(XCad_RMed* routes, const Xdm_Network* network);

 private:
  CitI::Result GetNameValue(UtilI::IPropertyValue** value);
  CitI::Result GetFullName(UtilI::IPropertyValue** value);
  CitI::Result GetColor(UtilI::IPropertyValue** value);
  CitI::Result GetSubtype(UtilI::IPropertyValue** value);
  CitI::Result GetPins(UtilI::IPropertyValue** value);
  CitI::Result GetSignals(UtilI::IPropertyValue** value);
  CitI::Result GetFanout(UtilI::IPropertyValue** value);
  CitI::Result GetMaxDelay(UtilI::IPropertyValue** value);
  CitI::Result GetStatus(UtilI::IPropertyValue** value);
  CitI::Result GetIconName(UtilI::IPropertyValue** value);
};

}  // namespace UtilC::SharedNcd
