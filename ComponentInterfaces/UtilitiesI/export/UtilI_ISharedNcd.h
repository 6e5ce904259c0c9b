// UtilI::ISharedNcd: one shared design (one design file opened for one
// owner), as its clients see it.
//
// Clients receive it from the shared design manager (UtilI::ISharedNcdMgr)
// with a counted reference and give it back by releasing that reference;
// the manager then caches or frees the design. Until its file has been
// read, every question answers its empty result. Questions never fail on
// bad input: a null object, an object of another kind or a hidden object
// gives false, null, an empty string, 0 or 0xFFFFFFFF. The only exceptions
// that leave an operation are Port_ThrException::LockFailed (a lock could
// not be taken) and exceptions of the design database that a query does
// not handle.
//
// Threads: any client thread may ask. The view-service getters, the
// visibility and pin-count caches serialise on one process-wide design lock.
#pragma once

#include <cstdint>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_ITclCollectable.h"

class Xdm_Block;
class Xdm_DesignInfo;
class Xdm_Network;
class Xdm_Pin;
class Xdm_PropertyHolder;
class Xdm_Signal;
class Pds_PdmBlock;
class XCad_CadView;
class XCad_RMed;
class XCad_Rho;
class Tw_DlyMed;
class Xdh_ShapeMgr;

namespace UtilI {

inline constexpr Port::XUID IID_ISharedNcd{0xc6649c13771a413aULL, 0xa7edbf0f53fb8754ULL};

class ISharedNcd : public CitI::IInterface {
public:
  using ViewObject = Xdm_DesignInfo;  // what the view's associated-object accessor answers

  virtual Port::StringBase GetFileName() = 0;
  virtual CitI::Result GetViewObject(ViewObject*& out) = 0;
  virtual CitI::Result FindViewObject(ViewObject*& out) = 0;
  virtual XCad_CadView* GetView() = 0;
  virtual Port::StringBase GetPartName() = 0;
  virtual CitI::Result HasRouteMediator() = 0;
  virtual XCad_RMed* GetRouteMediator() = 0;
  virtual CitI::Result HasRelocService() = 0;
  virtual XCad_Rho* GetRelocService() = 0;
  virtual CitI::Result HasDelayMediator() = 0;
  virtual Tw_DlyMed* GetDelayMediator() = 0;
  virtual CitI::Result HasShapeMgr() = 0;
  virtual Xdh_ShapeMgr* GetShapeMgr() = 0;
  virtual std::uint32_t GetPinCount(const Xdm_Network* network) = 0;
  virtual Port::StringBase GetIoDirection(const Pds_PdmBlock* block) = 0;
  virtual CitI::Result IsDiffPairIob(const Pds_PdmBlock* block) = 0;
  virtual Port::StringBase GetIobClockName(const Pds_PdmBlock* block) = 0;
  virtual Port::StringBase GetIoStandard(const Pds_PdmBlock* block) = 0;
  virtual CommonI::RefCountPtr<CitI::IInterface> GetOwner() = 0;
  virtual Port::StringBase GetBlockSubtype(const Pds_PdmBlock* block) = 0;
  virtual CommonI::RefCountPtr<ITclCollectable> MakeCollectable(const Xdm_PropertyHolder* rpm) = 0;
  virtual CommonI::RefCountPtr<ITclCollectable> MakeCollectable(const Xdm_Signal* signal) = 0;
  virtual CommonI::RefCountPtr<ITclCollectable> MakeCollectable(const Xdm_Network* network) = 0;
  virtual CommonI::RefCountPtr<ITclCollectable> MakeCollectable(const Xdm_Pin* pin) = 0;
  virtual CommonI::RefCountPtr<ITclCollectable> MakeCollectable(const Pds_PdmBlock* block) = 0;
  virtual Pds_PdmBlock* GetBlockOf(const CommonI::RefCountPtr<ITclCollectable>& coll) = 0;
  virtual Xdm_Pin* GetPinOf(const CommonI::RefCountPtr<ITclCollectable>& coll) = 0;
  virtual Xdm_Network* GetNetworkOf(const CommonI::RefCountPtr<ITclCollectable>& coll) = 0;
  virtual Xdm_Signal* GetSignalOf(const CommonI::RefCountPtr<ITclCollectable>& coll) = 0;
  virtual Xdm_PropertyHolder* GetRpmOf(const CommonI::RefCountPtr<ITclCollectable>& coll) = 0;
  virtual std::uint32_t GetTypeCode1(const Pds_PdmBlock* block) = 0;
  virtual std::uint32_t GetTypeCode2(const Pds_PdmBlock* block) = 0;
  virtual std::uint32_t GetTypeCode3(const Pds_PdmBlock* block) = 0;
  virtual std::uint32_t GetBelTypeCode(const Pds_PdmBlock* block) = 0;
  virtual CommonI::RefCountPtr<IPropertyValue> GetRpmPropertyValue(const Xdm_PropertyHolder* rpm,
                                                                   const Port::StringBase& name) = 0;
  virtual CommonI::RefCountPtr<IPropertyValue> GetSignalPropertyValue(const Xdm_Signal* signal,
                                                                      const Port::StringBase& name) = 0;
  virtual CommonI::RefCountPtr<IPropertyValue> GetNetPropertyValue(const Xdm_Network* network,
                                                                   const Port::StringBase& name) = 0;
  virtual CommonI::RefCountPtr<IPropertyValue> GetPinPropertyValue(const Xdm_Pin* pin,
                                                                   const Port::StringBase& name) = 0;
  virtual CommonI::RefCountPtr<IPropertyValue> GetBlockPropertyValue(const Pds_PdmBlock* block,
                                                                     const Port::StringBase& name) = 0;
};

}  // namespace UtilI
