// A framework that deletes the manager gets every design back: those in
// client hands lose the manager's reference, pending reads are stopped, and
// the cached design is freed; designs still in client hands live on alone
// and are freed by their last release, which makes no new manager. The
// test deletes the process's manager, so it has a program of its own.
#include <gtest/gtest.h>

#include "CitP_Factory.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"

using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;

TEST(MgrTeardown, DeletingTheManagerFreesEveryDesignItHolds) {
  ncdtest::TempDir dir;
  const Port::XUID requester{0x7ea4ULL, 0x1ULL};
  std::string cached = dir.Write("cached.ncd", ncdtest::MinimalDesign());
  std::string held = dir.Write("held.ncd", ncdtest::MinimalDesign());
  std::string slow = dir.Write("slow.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 30000)"));
  Mgr* mgr = Mgr::Instance();
  ASSERT_EQ(mgr->Load(requester, cached, {}, true), 1u);
  mgr->CancelLoad(requester, cached, {});  // now in the cache
  ASSERT_EQ(mgr->Load(requester, held, {}, true), 1u);
  CommonI::RefCountPtr<UtilI::ISharedNcd> client = mgr->Get(requester, held, {});
  EXPECT_EQ(mgr->Load(requester, slow, {}, false), 2u);
  EXPECT_EQ(SharedNcd::LiveCount(), 3);

  delete mgr;
  EXPECT_EQ(SharedNcd::LiveCount(), 1);  // the client's design outlives the manager
  EXPECT_EQ(CitP::InstanceTable::GetInstance(UtilC::SharedNcd::CLSID_Mgr), nullptr);
  int count = 0;
  CommonI::RefCountOf(client.get())->GetRefCount(&count);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(client->GetFileName().str(), held);  // still usable
  client.Reset();
  EXPECT_EQ(SharedNcd::LiveCount(), 0);
  EXPECT_EQ(CitP::InstanceTable::GetInstance(UtilC::SharedNcd::CLSID_Mgr), nullptr);  // no new manager
}
