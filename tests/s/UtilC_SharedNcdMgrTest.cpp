// Instance-table bookkeeping of the manager's constructor and destructor.
#include <gtest/gtest.h>

#include "CitP_Factory.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMgrFactory.h"

using UtilC::SharedNcd::CLSID_Mgr;
using UtilC::SharedNcd::Mgr;

TEST(MgrRegistration, SingletonRegistersAndSecondManagerLeavesTableAlone) {
  Mgr* mgr = Mgr::Instance();
  EXPECT_EQ(Mgr::Instance(), mgr);
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);
  {
    Mgr other;  // a framework may create and delete managers of its own
    EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);
  }
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);
}

TEST(MgrRegistration, DestroyingTheRegisteredManagerUnregistersIt) {
  CitP::InstanceTable::UnRegisterInstance(Mgr::Instance());
  {
    Mgr own;
    EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), &own);
  }
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), nullptr);
  CitP::InstanceTable::RegisterInstance(CLSID_Mgr, Mgr::Instance());
}

TEST(MgrRegistration, ManagerAnswersOnlyItsOwnInterfaces) {
  Mgr* mgr = Mgr::Instance();
  EXPECT_EQ(mgr->QueryInterface(CitI::IID_IInterface), static_cast<void*>(mgr));
  EXPECT_EQ(mgr->QueryInterface(CitI::IID_IFactory), nullptr);
  UtilC::SharedNcd::MgrFactory factory;
  EXPECT_EQ(factory.CreateInstance(CLSID_Mgr), mgr);
}
