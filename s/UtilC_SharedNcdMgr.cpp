#include "UtilC_SharedNcdMgr.h"

#include "CitP_Factory.h"
#include "UtilC_SharedNcdIds.h"

namespace UtilC::SharedNcd {

Mgr* Mgr::s_instance = nullptr;

Mgr* Mgr::Instance() {
  if (!s_instance) s_instance = new Mgr();
  return s_instance;
}

Mgr::Mgr() {
  if (!CitP::InstanceTable::GetInstance(CLSID_Mgr)) CitP::InstanceTable::RegisterInstance(CLSID_Mgr, this);
}

Mgr::~Mgr() {
  if (CitP::InstanceTable::GetInstance(CLSID_Mgr) == this) CitP::InstanceTable::UnRegisterInstance(this);
}

void* Mgr::QueryInterface(const Port::XUID& iid) {
  if (iid == CitI::IID_IInterface) return static_cast<CitI::IInterface*>(this);
  return nullptr;
}

}  // namespace UtilC::SharedNcd
