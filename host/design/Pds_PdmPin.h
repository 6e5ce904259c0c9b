// Pds_PdmPin: a pin with its physical attributes. See Xdm_Pin.h for
// ownership and threading.
#pragma once

#include "Pds_Pdl.h"
#include "Xdm_Pin.h"

class Pds_PdmPin : public Xdm_Pin {
 public:
  Pds_PdlExtendedPinType GetExtendedPinType() const {
    return Pds_PdlExtendedPinType((m_f.flags & Xdm_PinFields::kPad) != 0,
                                  (m_f.flags & Xdm_PinFields::kClock) != 0);
  }
  bool IsImplicit() const { return (m_f.flags & Xdm_PinFields::kImplicit) != 0; }
  // The same as GetNetwork().
  Xdm_Network* GetPrimaryNetwork() const { return GetNetwork(); }

 protected:
  Pds_PdmPin() = default;
};
