// Helpers of the CAD layer. Stateless; any thread may use them.
#pragma once

class Xdm_Network;

// Accepts the networks a router would route: logic networks not marked
// unroutable. Power and ground networks never pass; nor does null.
class XCad_CadHelpersRoutableNetworkFilter {
 public:
  bool operator()(const Xdm_Network* network) const;
};
