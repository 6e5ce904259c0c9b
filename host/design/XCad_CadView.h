// XCad_CadView: the view of a CAD model, with its device. Made by
// XCad_CadModel, which owns it; see Xdm_View.h for threading.
#pragma once

#include "Pds_PdmView.h"

class Rf_Device;

class XCad_CadView : public Pds_PdmView {
 public:
  // Present once the view is loaded (null before, and for a design loaded
  // with the test hook "no_device").
  Rf_Device* GetDevice() const;

 private:
  friend class XCad_CadModel;
  XCad_CadView() = default;
};
