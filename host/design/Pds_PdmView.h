// Pds_PdmView: a view with its master supply networks. See Xdm_View.h for
// ownership and threading.
#pragma once

#include "Xdm_View.h"

class Pds_PdmView : public Xdm_View {
 public:
  // Null when the design has none.
  Xdm_Network* GetMasterVccNetwork() const;
  Xdm_Network* GetMasterGndNetwork() const;

 protected:
  Pds_PdmView() = default;
};
