// The data faces of the collectables: what a collectable wraps, for the
// design object that turns a collectable handed back by the Tcl layer into
// its design-database object, and for the searches that re-target one probe
// collectable from object to object.
//
// Get* answers null while the collectable is stale. Set* re-targets it to
// another object of the same design (null empties it), without a
// visibility test. Both run under the collectable's class lock.
#pragma once

#include "CitI_IInterface.h"
#include "UtilC_SharedNcdIds.h"

class Xdm_Block;
class Xdm_Network;
class Xdm_Pin;
class Xdm_PropertyHolder;
class Xdm_Signal;

namespace UtilC::SharedNcd {

class IBlockData : public CitI::IInterface {
 public:
  virtual Xdm_Block* GetBlock() = 0;
  virtual void SetBlock(Xdm_Block* block) = 0;
};

class INetData : public CitI::IInterface {
 public:
  virtual Xdm_Network* GetNetwork() = 0;
  virtual void SetNetwork(Xdm_Network* network) = 0;
};

class IPinData : public CitI::IInterface {
 public:
  virtual Xdm_Pin* GetPin() = 0;
  virtual void SetPin(Xdm_Pin* pin) = 0;
};

class ISignalData : public CitI::IInterface {
 public:
  virtual Xdm_Signal* GetSignal() = 0;
  virtual void SetSignal(Xdm_Signal* signal) = 0;
};

// An RPM is the property holder that stands for a shape of the design.
class IRpmData : public CitI::IInterface {
 public:
  virtual Xdm_PropertyHolder* GetRpm() = 0;
  virtual void SetRpm(Xdm_PropertyHolder* rpm) = 0;
};

}  // namespace UtilC::SharedNcd
