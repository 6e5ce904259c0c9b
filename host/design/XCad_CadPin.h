// XCad_CadPin: the pins the loader makes. See Xdm_Pin.h for ownership and
// threading.
#pragma once

#include "Pds_PdmPin.h"

class XCad_CadPin : public Pds_PdmPin {
 private:
  template <class>
  friend class Xdm_ObjectArena;
  XCad_CadPin() = default;
};
