// UtilC::SharedRf::Mgr: the shared-device manager (UtilI::ISharedRfMgr),
// the object the framework makes for UtilI::CLSID_SharedRfMgr. Managers are
// cheap counted objects; what they hand out lives in one process-wide
// registry of device objects by part name, which keeps one reference on
// each device until the process ends, so that a part has one device object.
//
// Threads: any. The registry's mutex is held only to find or file a device;
// the device catalogue is asked before it is taken, and nothing is called
// while it is held. It is a standard-library mutex, as the framework's
// registries use, so that tests injecting Port_Thr lock faults into their
// own code never reach it.
#pragma once

#include "Tcltask_CountedT.h"
#include "UtilI_SharedRf.h"

namespace UtilC::SharedRf {

class Mgr final : public Tcltask::CountedT<UtilI::ISharedRfMgr> {
 public:
  static CommonI::RefCountPtr<UtilI::ISharedRfMgr> Create();

  Mgr();

  CitI::Result Load(const Port::XUID& requester, const Port::StringBase& partName,
                    const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) override;
  CitI::Result Get(CommonI::RefCountPtr<CitI::IInterface>& out, const Port::XUID& requester,
                   const Port::StringBase& partName,
                   const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  CitI::Result GetPartNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  std::uint64_t GetLiveCount(std::uint32_t kind) override;

 private:
  void* FindFace(const Port::XUID& iid) override;

  Tcltask::LiveToken m_live;
};

}  // namespace UtilC::SharedRf
