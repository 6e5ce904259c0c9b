#include "UtilC_SharedNcdMgrFactory.h"

#include <new>

#include "CitP_Factory.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMsg.h"

namespace UtilC::SharedNcd {

void* MgrFactory::QueryInterface(const Port::XUID& iid) {
  if (iid == CitI::IID_IFactory || iid == CitI::IID_IInterface)
    return static_cast<CitI::IFactory*>(this);
  if (iid == UtilI::IID_ISharedNcdLiveCount) return static_cast<UtilI::ISharedNcdLiveCount*>(this);
  return nullptr;
}

std::uint64_t MgrFactory::GetLiveCollectables() {
  const long live = Coll::LiveCount();
  return live > 0 ? static_cast<std::uint64_t>(live) : 0;
}

// No memory for the manager: reported, and no instance.
CitI::IInterface* MgrFactory::CreateInstance(const Port::XUID& classId) {
  if (classId != CLSID_Mgr) return nullptr;
  try {
    return Mgr::Instance();
  } catch (const std::bad_alloc&) {
    Msg::ReportOutOfMemory("UtilC_SharedNcdMgrFactory", __LINE__);
    return nullptr;
  }
}

}  // namespace UtilC::SharedNcd

extern "C" void InstFactoryEntry() {
  CitP::Factory::RegisterFactory(UtilC::SharedNcd::CLSID_Mgr, new UtilC::SharedNcd::MgrFactory());
}
