// The shared design manager: registration, the load protocol through every
// state of a design's life, the one-design cache, listeners and the dump.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "CitP_Factory.h"
#include "Pds_PahDesignLoader.h"
#include "Port_MsgManData.h"
#include "Port_Thr.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilC_SharedNcdMgrFactory.h"
#include "UtilI_Event.h"

using UtilC::SharedNcd::CLSID_Mgr;
using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;
using DesignRef = CommonI::RefCountPtr<UtilI::ISharedNcd>;
using OwnerRef = CommonI::RefCountPtr<CitI::IInterface>;

namespace {

const Port::XUID R1{0x1111111111111111ULL, 0x1ULL};
const Port::XUID R2{0x2222222222222222ULL, 0x2ULL};
const std::string kEmpty = "m_refFiles{} m_loadFiles{} m_unusedFiles{}";

class MgrProtocol : public ::testing::Test {
protected:
  void SetUp() override {
    a = dir.Write("a.ncd", ncdtest::MinimalDesign());
    b = dir.Write("b.ncd", ncdtest::MinimalDesign());
    slow = dir.Write("slow.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 30000)"));
    bad = dir.Write("bad.ncd", "{\"format\": \"ncd-json\",");
    mgr->AddListener(&listener);
    liveDesigns = SharedNcd::LiveCount();
  }
  void TearDown() override {
    mgr->RemoveListener(&listener);
    mgr->PurgeUnused();
    EXPECT_EQ(Dump(), kEmpty);
    EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
  }
  std::string Dump() { return mgr->Dump("").str(); }
  // Polls until the load of `file` has ended (bounded).
  int WaitLoaded(const Port::XUID& requester, const std::string& file, const OwnerRef& owner = {}) {
    int status = 2;
    for (int i = 0; i < 2000 && status == 2; ++i) {
      status = static_cast<int>(mgr->Load(requester, file, owner, false));
      if (status == 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return status;
  }
  std::string Entry(const std::string& file, int count) { return "'" + file + " " + std::to_string(count) + "'"; }

  Mgr* mgr = Mgr::Instance();
  ncdtest::TempDir dir;
  ncdtest::RecordingListener listener;
  std::string a, b, slow, bad;
  int liveDesigns = 0;
};

TEST(MgrRegistration, SingletonRegistersAndSecondManagerLeavesTableAlone) {
  Mgr* mgr = Mgr::Instance();
  EXPECT_EQ(Mgr::Instance(), mgr);
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);
  {
    Mgr other;  // a framework may create and delete managers of its own
    EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);
  }
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), mgr);

  CitP::InstanceTable::UnRegisterInstance(mgr);
  {
    Mgr own;
    EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), &own);
  }
  EXPECT_EQ(CitP::InstanceTable::GetInstance(CLSID_Mgr), nullptr);
  CitP::InstanceTable::RegisterInstance(CLSID_Mgr, mgr);
}

TEST(MgrRegistration, ManagerAnswersItsInterfaces) {
  Mgr* mgr = Mgr::Instance();
  EXPECT_EQ(mgr->QueryInterface(CitI::IID_IInterface), static_cast<UtilI::ISharedNcdMgr*>(mgr));
  EXPECT_EQ(mgr->QueryInterface(UtilI::IID_ISharedNcdMgr), static_cast<UtilI::ISharedNcdMgr*>(mgr));
  EXPECT_EQ(mgr->QueryInterface(CommonI::IID_IRefCount), nullptr);
  UtilC::SharedNcd::MgrFactory factory;
  EXPECT_EQ(factory.CreateInstance(CLSID_Mgr), static_cast<CitI::IInterface*>(mgr));
}

TEST_F(MgrProtocol, DumpOfAnEmptyManagerHasOnlyTheLabels) {
  EXPECT_EQ(Dump(), kEmpty);
  EXPECT_EQ(mgr->Dump("P: ").str(), "P: " + kEmpty);
}

TEST_F(MgrProtocol, LoadGetReleaseCachesAndReloadsWithoutReading) {
  std::uint64_t reads = Pds_PahDesignLoader::LoadCount();
  EXPECT_EQ(mgr->Load(R1, a, {}, true), 1u);
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{" + std::string("'") + a + " 1 {'" + R1.GetValue().str() +
                        "'}'} m_unusedFiles{}");
  DesignRef design = mgr->Get(R1, a, {});
  ASSERT_TRUE(design);
  EXPECT_EQ(design->GetFileName().str(), a);
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(a, 2) + "} m_loadFiles{} m_unusedFiles{}");
  UtilI::ISharedNcd* first = design.get();
  design.Reset();
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");

  // Answered from the cache: ready at once, no second read, no event.
  EXPECT_EQ(mgr->Load(R1, a, {}, false), 1u);
  design = mgr->Get(R1, a, {});
  EXPECT_EQ(design.get(), first);
  EXPECT_EQ(Pds_PahDesignLoader::LoadCount(), reads + 1);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 1u);
}

TEST_F(MgrProtocol, ReleasingAnotherDesignEvictsTheCachedOne) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  ASSERT_EQ(mgr->Load(R1, b, {}, true), 1u);
  DesignRef da = mgr->Get(R1, a, {}), db = mgr->Get(R1, b, {});
  da.Reset();
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns + 2);
  db.Reset();
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns + 1);
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(b, 1) + "}");
}

TEST_F(MgrProtocol, TwoRequestersShareOneDesignUntilBothLeave) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  EXPECT_EQ(mgr->Load(R2, a, {}, false), 1u);
  EXPECT_EQ(mgr->Load(R2, a, {}, false), 1u);  // filed once
  DesignRef design = mgr->Get(R1, a, {});
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(a, 2) + "} m_loadFiles{'" + a + " 2 {'" + R2.GetValue().str() +
                        "'}'} m_unusedFiles{}");
  // The last client release leaves the design with the waiting requester.
  design.Reset();
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{'" + a + " 1 {'" + R2.GetValue().str() + "'}'} m_unusedFiles{}");
  EXPECT_TRUE(mgr->CancelLoad(R2, a, {}));
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 1u);
}

TEST_F(MgrProtocol, DumpListsEveryRequesterOfARecordInOrder) {
  std::string quick = dir.Write("quick.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 100)"));
  EXPECT_EQ(mgr->Load(R2, quick, {}, false), 2u);
  EXPECT_EQ(mgr->Load(R1, quick, {}, false), 2u);
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{'" + quick + " 1 {'" + R1.GetValue().str() + "','" +
                        R2.GetValue().str() + "'}'} m_unusedFiles{}");
  EXPECT_EQ(WaitLoaded(R1, quick), 1);
  DesignRef design = mgr->Get(R2, quick, {});
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(quick, 2) + "} m_loadFiles{'" + quick + " 2 {'" +
                        R1.GetValue().str() + "'}'} m_unusedFiles{}");
  EXPECT_TRUE(mgr->CancelLoad(R1, quick, {}));
}

TEST_F(MgrProtocol, LoadOfAReferencedDesignIsReadyAndStartsNoReader) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  DesignRef held = mgr->Get(R1, a, {});
  std::uint64_t reads = Pds_PahDesignLoader::LoadCount();
  EXPECT_EQ(mgr->Load(R2, a, {}, true), 1u);
  DesignRef second = mgr->Get(R2, a, {});
  EXPECT_EQ(second.get(), held.get());
  int count = 0;
  CommonI::RefCountOf(held.get())->GetRefCount(&count);
  EXPECT_EQ(count, 3);
  second.Reset();  // 3 -> 2: still in client hands
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(a, 2) + "} m_loadFiles{} m_unusedFiles{}");
  EXPECT_EQ(Pds_PahDesignLoader::LoadCount(), reads);
}

TEST_F(MgrProtocol, GetWithoutLoadServesReferencedAndCachedDesignsOnly) {
  EXPECT_FALSE(mgr->Get(R1, a, {}));
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  DesignRef design = mgr->Get(R1, a, {});
  EXPECT_EQ(mgr->Get(R2, a, {}).get(), design.get());
  design.Reset();
  design = mgr->Get(R2, a, {});  // from the cache
  EXPECT_TRUE(design);
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(a, 2) + "} m_loadFiles{} m_unusedFiles{}");
}

TEST_F(MgrProtocol, TwoOwnersOfOneFileGetTwoDesigns) {
  OwnerRef one = ncdtest::NewOwner(), two = ncdtest::NewOwner();
  ASSERT_EQ(mgr->Load(R1, a, one, true), 1u);
  ASSERT_EQ(mgr->Load(R1, a, two, true), 1u);
  DesignRef d1 = mgr->Get(R1, a, one), d2 = mgr->Get(R1, a, two);
  ASSERT_TRUE(d1 && d2);
  EXPECT_NE(d1.get(), d2.get());
  EXPECT_EQ(d1->GetOwner().get(), one.get());
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 2u);
}

TEST_F(MgrProtocol, GetBeforeTheReadEndsAnswersNullAndKeepsTheRequester) {
  std::string quick = dir.Write("quick.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 150)"));
  EXPECT_EQ(mgr->Load(R1, quick, {}, false), 2u);
  EXPECT_FALSE(mgr->Get(R1, quick, {}));
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{'" + quick + " 1 {'" + R1.GetValue().str() + "'}'} m_unusedFiles{}");
  EXPECT_EQ(WaitLoaded(R1, quick), 1);
  EXPECT_TRUE(mgr->Get(R1, quick, {}));
}

// The read stops when it is cancelled (the file's delay ends early and the
// load fails): a read stopped by its cancellation reports and announces
// nothing.
TEST_F(MgrProtocol, CancelWhileLoadingStopsTheReadAndFreesTheDesign) {
  std::string stops = dir.Write("stops.ncd", ncdtest::MinimalDesign(
      R"("load_delay_ms": 30000, "throw": "pds", "message": "late failure")"));
  Port_MsgCapture capture;
  EXPECT_EQ(mgr->Load(R1, stops, {}, false), 2u);
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns + 1);
  EXPECT_TRUE(mgr->CancelLoad(R1, stops, {}));
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
  EXPECT_EQ(Dump(), kEmpty);
  EXPECT_EQ(listener.heard().size(), 0u);
  EXPECT_EQ(capture.count("late failure"), 0u);
}

TEST_F(MgrProtocol, FailedReadIsAnnouncedAndFreedWhenItsRequesterLeaves) {
  EXPECT_EQ(mgr->Load(R1, bad, {}, true), 0u);
  auto heard = listener.heard();
  ASSERT_EQ(heard.size(), 1u);
  EXPECT_EQ(heard[0].type, UtilI::SharedNcdLoadFailedID);
  EXPECT_EQ(heard[0].source, static_cast<UtilI::ISharedNcdMgr*>(mgr));
  EXPECT_NE(heard[0].data, nullptr);
  EXPECT_FALSE(mgr->Get(R1, bad, {}));
  EXPECT_EQ(mgr->Load(R1, bad, {}, false), 0u);
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{'" + bad + " 1 {'" + R1.GetValue().str() + "'}'} m_unusedFiles{}");
  EXPECT_TRUE(mgr->CancelLoad(R1, bad, {}));
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
  EXPECT_EQ(Dump(), kEmpty);
}

TEST_F(MgrProtocol, LastCancelOfALoadedDesignCachesIt) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  EXPECT_TRUE(mgr->CancelLoad(R1, a, {}));
  EXPECT_TRUE(mgr->CancelLoad(R1, a, {}));  // nothing filed: still true
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");
}

TEST_F(MgrProtocol, LivenessFollowsClientHands) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  DesignRef design = mgr->Get(R1, a, {});
  auto* object = dynamic_cast<SharedNcd*>(design.get());
  EXPECT_TRUE(mgr->IsLive(object));
  EXPECT_TRUE(mgr->IsLive(object));  // confirmed again from the last answer
  EXPECT_FALSE(mgr->IsLive(nullptr));
  design.Reset();
  EXPECT_FALSE(mgr->IsLive(object));  // handed back, though confirmed before
}

TEST_F(MgrProtocol, ListenersAreAddedAndRemovedOnce) {
  ncdtest::RecordingListener other;
  EXPECT_FALSE(mgr->AddListener(nullptr));
  EXPECT_TRUE(mgr->AddListener(&other));
  EXPECT_FALSE(mgr->AddListener(&other));
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  EXPECT_TRUE(mgr->RemoveListener(&other));
  EXPECT_FALSE(mgr->RemoveListener(&other));
  EXPECT_FALSE(mgr->RemoveListener(nullptr));
  EXPECT_EQ(other.count(UtilI::SharedNcdLoadedID), 1u);
  EXPECT_TRUE(mgr->CancelLoad(R1, a, {}));
}

TEST_F(MgrProtocol, PurgeUnusedFreesTheCache) {
  EXPECT_TRUE(mgr->PurgeUnused());
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  EXPECT_TRUE(mgr->CancelLoad(R1, a, {}));
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns + 1);
  EXPECT_TRUE(mgr->PurgeUnused());
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
}

// A client's hand-back waits for the manager as a whole: while it waits,
// other clients may take the design again, release it and evict it, and
// the waiting hand-back must still find a live design.
TEST_F(MgrProtocol, HandBackIsAtomicWithRespectToOtherClients) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  DesignRef design = mgr->Get(R1, a, {});
  ASSERT_EQ(mgr->Load(R1, b, {}, true), 1u);
  mgr->RegistryLock().lock();
  std::thread client([&] { design.Reset(); });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));  // let the client reach the manager
  // This thread holds the manager: take the design again, give it back,
  // and push it out of the cache with another design.
  DesignRef again = mgr->Get(R2, a, {});
  again.Reset();
  DesignRef other = mgr->Get(R1, b, {});
  other.Reset();
  mgr->RegistryLock().unlock();
  client.join();
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");
}

// Listeners run on the reader thread. One that takes the design it hears
// of, or gives up its request, ends the load record on that very thread
// (nobody else holds the record: the loads do not wait): the record must
// outlive the announcement, and the design lands where the call files it.
TEST_F(MgrProtocol, ListenersMayTakeOrGiveUpTheDesignTheyHearOf) {
  std::atomic<int> calls{0};
  auto loadAndHear = [&](const std::string& file) {
    int before = calls;
    EXPECT_EQ(mgr->Load(R1, file, {}, false), 2u);
    for (int i = 0; i < 2000 && calls == before; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(5));
  };
  DesignRef taken;
  ncdtest::CallbackListener takes([&](CommonI::IEvent&) {
    taken = mgr->Get(R1, a, {});
    ++calls;
  });
  mgr->AddListener(&takes);
  loadAndHear(a);
  mgr->RemoveListener(&takes);
  ASSERT_TRUE(taken);
  EXPECT_EQ(Dump(), "m_refFiles{" + Entry(a, 2) + "} m_loadFiles{} m_unusedFiles{}");
  taken.Reset();
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");

  ncdtest::CallbackListener leaves([&](CommonI::IEvent&) {
    mgr->CancelLoad(R1, b, {});
    mgr->CancelLoad(R1, bad, {});
    ++calls;
  });
  mgr->AddListener(&leaves);
  loadAndHear(b);    // loaded: cached, evicting a
  loadAndHear(bad);  // failed: freed once its reader thread has ended
  mgr->RemoveListener(&leaves);
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(b, 1) + "}");
  for (int i = 0; i < 2000 && SharedNcd::LiveCount() != liveDesigns + 1; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns + 1);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 2u);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadFailedID), 1u);
}

// A client frees its listener once RemoveListener has returned: a reader
// thread still announcing to it is waited for, never left to call it after.
TEST_F(MgrProtocol, RemovedListenerIsNotCalledAfterTheRemovalReturns) {
  std::atomic<bool> inside{false}, removed{false}, calledAfterRemoval{false};
  ncdtest::CallbackListener lingering([&](CommonI::IEvent&) {
    inside = true;
    for (int i = 0; i < 40 && !removed; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    calledAfterRemoval = calledAfterRemoval || removed;
    inside = false;
  });
  mgr->AddListener(&lingering);
  EXPECT_EQ(mgr->Load(R1, a, {}, false), 2u);
  for (int i = 0; i < 2000 && !inside; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  ASSERT_TRUE(inside);
  mgr->RemoveListener(&lingering);
  removed = true;
  EXPECT_FALSE(inside);
  for (int i = 0; i < 2000 && inside; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  EXPECT_FALSE(calledAfterRemoval);
  EXPECT_EQ(WaitLoaded(R1, a), 1);
  mgr->CancelLoad(R1, a, {});
}

// A release from a destructor while the registry lock fails: the reference
// goes, nothing is thrown, and the next operation hands the design back.
TEST_F(MgrProtocol, ReleaseThatCannotLockDropsItsReferenceAndTheHandBackFollows) {
  ASSERT_EQ(mgr->Load(R1, a, {}, true), 1u);
  DesignRef design = mgr->Get(R1, a, {});
  {
    Port_ThrFaultScope faults;
    Port_MsgCapture capture;
    Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1, &mgr->RegistryLock());
    { DesignRef last = std::move(design); }
    EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Unable to lock at line UtilC_SharedNcdMgr:"), 1u);
  }
  EXPECT_EQ(Dump(), "m_refFiles{} m_loadFiles{} m_unusedFiles{" + Entry(a, 1) + "}");
}

// While the registry lock fails the read still ends, is announced and
// counts as loaded.
TEST_F(MgrProtocol, ReadEndsAndIsAnnouncedWhileTheRegistryLockFails) {
  std::string quick = dir.Write("quick.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 100)"));
  EXPECT_EQ(mgr->Load(R1, quick, {}, false), 2u);
  {
    Port_ThrFaultScope faults;
    Port_MsgCapture capture;
    Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1000, &mgr->RegistryLock());
    for (int i = 0; i < 1000 && listener.heard().empty(); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 1u);
  EXPECT_EQ(WaitLoaded(R1, quick), 1);
  EXPECT_TRUE(mgr->Get(R1, quick, {}));
}

TEST(Event, FieldsAreSetOnlyFromRealValues) {
  UtilI::Event event;
  CitI::IInterface* out = nullptr;
  Port::XUID type;
  EXPECT_FALSE(event.GetSource(&out));
  EXPECT_FALSE(event.GetData(&out));
  EXPECT_FALSE(event.GetType(type));
  EXPECT_FALSE(event.SetSource(nullptr));
  EXPECT_FALSE(event.SetData(nullptr));
  EXPECT_FALSE(event.SetType(Port::XUID()));
  EXPECT_TRUE(event.SetSource(&event));
  EXPECT_TRUE(event.SetType(UtilI::SharedNcdLoadedID));
  EXPECT_FALSE(event.SetSource(nullptr));  // leaves the source as it was
  ASSERT_TRUE(event.GetSource(&out));
  EXPECT_EQ(out, static_cast<CitI::IInterface*>(&event));
  ASSERT_TRUE(event.GetType(type));
  EXPECT_EQ(type, UtilI::SharedNcdLoadedID);
  EXPECT_EQ(event.QueryInterface(CommonI::IID_IEvent), static_cast<CommonI::IEvent*>(&event));
  EXPECT_EQ(event.QueryInterface(CommonI::IID_IRefCount), nullptr);
}

}  // namespace
