// Pds_PdmNetwork: a network with its physical type. See Xdm_Network.h for
// ownership and threading.
#pragma once

#include "Xdm_Network.h"

class Pds_PdmNetwork : public Xdm_Network {
 public:
  enum NET_TYPE : int { NET_TYPE_GROUND = 0, NET_TYPE_POWER = 1, NET_TYPE_LOGIC = 2 };
  // 1 power, 0 ground, 2 logic.
  int GetType() const { return m_f.type; }

 protected:
  Pds_PdmNetwork() = default;
};
