// UtilC::SharedNcd::MgrFactory: the one factory the component registers.
// It creates nothing but the process-wide manager, holds no data, and is
// never deleted by the component. Its second face answers the number of
// live collectables (UtilI::ISharedNcdLiveCount).
#pragma once

#include "CitI_IInterface.h"
#include "UtilI_ISharedNcdMgr.h"

namespace UtilC::SharedNcd {

class MgrFactory : public CitI::IFactory, public UtilI::ISharedNcdLiveCount {
 public:
  void* QueryInterface(const Port::XUID& iid) override;
  std::uint64_t GetLiveCollectables() override;
  // The manager (created on first use) for the manager's class; null for
  // any other class.
  CitI::IInterface* CreateInstance(const Port::XUID& classId) override;
};

}  // namespace UtilC::SharedNcd

// The component library's entry: registers MgrFactory under the manager's
// class identifier.
extern "C" __attribute__((visibility("default"))) void InstFactoryEntry();
