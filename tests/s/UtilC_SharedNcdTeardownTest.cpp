// A framework that deletes the manager gets every design back: those in
// client hands lose the manager's reference, pending reads are stopped, and
// the cached design is freed; designs still in client hands live on alone
// and are freed by their last release, which makes no new manager. The
// test deletes the process's manager, so it has a program of its own.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

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

// Clients whose threads race to the first use of the manager all get one
// manager, the one filed in the instance table.
TEST(MgrTeardown, ThreadsRacingToTheFirstUseShareOneManager) {
  delete Mgr::Instance();  // the first use is yet to come
  std::atomic<bool> go{false};
  std::vector<Mgr*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] {
      while (!go.load()) std::this_thread::yield();
      seen[i] = Mgr::Instance();
    });
  }
  go = true;
  for (std::thread& t : threads) t.join();
  for (Mgr* mgr : seen) EXPECT_EQ(mgr, seen[0]);
  EXPECT_EQ(CitP::InstanceTable::GetInstance(UtilC::SharedNcd::CLSID_Mgr), static_cast<CitI::IInterface*>(seen[0]));
}
