// XCad_CadNetwork: the networks the loader makes. See Xdm_Network.h for
// ownership and threading.
#pragma once

#include "Pds_PdmNetwork.h"

class XCad_CadNetwork : public Pds_PdmNetwork {
 private:
  template <class>
  friend class Xdm_ObjectArena;
  XCad_CadNetwork() = default;
};
