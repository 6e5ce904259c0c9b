// Helpers of the CAD layer. Stateless; any thread may use them.
#pragma once

class Xdm_Network;

// Accepts the networks a router would route: those the file marks routable
// (logic networks unless marked unroutable; power and ground networks only
// when marked routable). Null never passes.
class XCad_CadHelpersRoutableNetworkFilter {
 public:
  bool operator()(const Xdm_Network* network) const;
};
