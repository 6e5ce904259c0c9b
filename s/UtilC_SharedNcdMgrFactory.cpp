#include "UtilC_SharedNcdMgrFactory.h"

#include "CitP_Factory.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMgr.h"

namespace UtilC::SharedNcd {

void* MgrFactory::QueryInterface(const Port::XUID& iid) {
  if (iid == CitI::IID_IFactory || iid == CitI::IID_IInterface) return static_cast<CitI::IFactory*>(this);
  return nullptr;
}

CitI::IInterface* MgrFactory::CreateInstance(const Port::XUID& classId) {
  if (classId != CLSID_Mgr) return nullptr;
  return Mgr::Instance();
}

}  // namespace UtilC::SharedNcd

extern "C" void InstFactoryEntry() {
  CitP::Factory::RegisterFactory(UtilC::SharedNcd::CLSID_Mgr, new UtilC::SharedNcd::MgrFactory());
}
