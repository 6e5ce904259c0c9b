// The design object: its state before and after loading, its faces and
// owner count, the view services shared by the design objects of one view,
// and the design lock.
#include <gtest/gtest.h>

#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "FinishesWithin.h"
#include "Port_MsgManData.h"
#include "SharedNcdTestDesign.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "Tw_DlyMed.h"
#include "UtilSharedObject.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"

namespace {

using namespace ncdtest;

const char* const kNets = R"({"name": "a"})";
const char* const kTop = R"({"name": "t", "level": 0, "signals": [{"name": "a", "net": "a"}],
  "blocks": [{"name": "c", "level": 3, "pins": [{"name": "A", "signal": "a"}]}]})";

struct Owner : CommonI::IRefCount {
  void* QueryInterface(const Port::XUID&) override { return this; }
  CitI::Result AddRef() override { return ++count, 1; }
  CitI::Result Release() override { return --count, 1; }
  CitI::Result GetRefCount(int* out) override { return *out = count, 1; }
  int count = 1;
};

TEST(SharedNcdObject, BeforeLoadingEveryQuestionAnswersEmptyAndFacesDoNotCount) {
  Owner owner;
  DesignPtr d = NewDesign("a.ncd.json", CommonI::RefCountPtr<CitI::IInterface>(&owner));
  EXPECT_EQ(owner.count, 3);  // the key and the owner reference
  EXPECT_EQ(d->GetOwner().get(), &owner);
  EXPECT_STREQ(d->GetFileName(), "a.ncd.json");
  EXPECT_EQ(d->GetView(), nullptr);
  EXPECT_STREQ(d->GetPartName(), "");
  Xdm_DesignInfo sentinel("s", "t");
  Xdm_DesignInfo* out = &sentinel;
  EXPECT_EQ(d->GetViewObject(out) + d->FindViewObject(out), 0u);
  EXPECT_EQ(out, &sentinel);
  EXPECT_TRUE(!d->GetRouteMediator() && !d->GetRelocService() && !d->GetDelayMediator() &&
              !d->GetShapeMgr());
  EXPECT_EQ(d->HasRouteMediator() + d->HasRelocService() + d->HasDelayMediator() + d->HasShapeMgr(),
            0u);
  CommonI::RefCountPtr<CitI::IInterface> rf(&owner);
  EXPECT_EQ(d->GetSharedRf(rf), 0u);
  EXPECT_FALSE(rf);

  SharedNcd* p = d.get();
  EXPECT_EQ(p->QueryInterface(UtilI::IID_ISharedNcd), static_cast<UtilI::ISharedNcd*>(p));
  EXPECT_EQ(p->QueryInterface(CommonI::IID_IRefCount), static_cast<CommonI::IRefCount*>(p));
  EXPECT_EQ(p->QueryInterface(CitI::IID_IInterface), static_cast<CommonI::IRefCount*>(p));
  EXPECT_EQ(p->QueryInterface(UtilI::IID_ITclCollectable), nullptr);
  int count = 0;
  static_cast<CommonI::IRefCount*>(p)->GetRefCount(&count);
  EXPECT_EQ(count, 1);
  d.reset();
  EXPECT_EQ(owner.count, 1);
}

TEST(SharedNcdObject, LoadedDesignAnswersPartViewObjectAndOneShapeManager) {
  DesignPtr demo = LoadFile(NCD_EXAMPLES "/demo.ncd.json");
  EXPECT_STREQ(demo->GetPartName(), "xc5vlx50ff676-1");
  Xdm_DesignInfo *info = nullptr, *found = nullptr;
  EXPECT_EQ(demo->GetViewObject(info) + demo->FindViewObject(found), 2u);
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->GetName(), "demo_counter");
  EXPECT_EQ(found, info);
  Xdh_ShapeMgr* shapes = demo->GetShapeMgr();
  EXPECT_NE(shapes, nullptr);
  EXPECT_EQ(demo->HasShapeMgr(), 1u);
  EXPECT_EQ(demo->GetShapeMgr(), shapes);

  DesignPtr bare = Load(kNets, kTop);  // no "design" object: a null view object
  Xdm_DesignInfo sentinel("s", "t");
  info = found = &sentinel;
  EXPECT_EQ(bare->GetViewObject(info), 1u);
  EXPECT_EQ(info, nullptr);
  EXPECT_EQ(bare->FindViewObject(found), 0u);
  EXPECT_EQ(found, &sentinel);
}

template <class S, S* (SharedNcd::*Get)()>
struct ServiceOf {
  using Service = S;
  static S* Of(SharedNcd& design) { return (design.*Get)(); }
};
using Services = ::testing::Types<ServiceOf<XCad_RMed, &SharedNcd::GetRouteMediator>,
                                  ServiceOf<XCad_Rho, &SharedNcd::GetRelocService>,
                                  ServiceOf<Tw_DlyMed, &SharedNcd::GetDelayMediator>>;
template <class T>
class ViewServices : public ::testing::Test {};
TYPED_TEST_SUITE(ViewServices, Services);

TYPED_TEST(ViewServices, SharedByTheDesignsOfOneViewAndFreedWithTheLast) {
  using Service = typename TypeParam::Service;
  using Registry = Util::SharedObjectT<Service, XCad_CadView>;
  const std::uint64_t made = Service::ConstructionCount(), live = Service::LiveCount();
  DesignPtr owner = Load(kNets, kTop), other = NewDesign("other");
  other->SetView(owner->GetView());
  Service* service = TypeParam::Of(*owner);
  EXPECT_NE(service, nullptr);
  EXPECT_EQ(TypeParam::Of(*other), service);
  EXPECT_EQ(TypeParam::Of(*owner), service);  // a design holds one use
  EXPECT_EQ(Service::ConstructionCount(), made + 1);
  EXPECT_EQ(Registry::Find()->UseCount(owner->GetView()), 2);
  other.reset();
  EXPECT_EQ(Service::LiveCount(), live + 1);
  EXPECT_EQ(TypeParam::Of(*owner), service);
  owner.reset();
  EXPECT_EQ(Service::LiveCount(), live);
  EXPECT_EQ(Util::Details::SharedResourceMgr::find(Registry::Name()), nullptr);
}

TEST(SharedNcdLock, EveryLockedOperationThrowsLockFailedWhenTheLockFails) {
  DesignPtr design = Load(kNets, kTop);
  SharedNcd& d = *design;
  Xdm_Network* net = Net(d, "a");
  const std::vector<std::function<void()>> operations = {[&] { d.IsBlockVisible(Block(d, "c")); },
                                                         [&] { d.IsNetVisible(net); },
                                                         [&] { d.GetPinCount(net); },
                                                         [&] { d.GetRouteMediator(); },
                                                         [&] { d.GetRelocService(); },
                                                         [&] { d.GetDelayMediator(); },
                                                         [&] { d.GetShapeMgr(); }};
  Port_ThrFaultScope disarm;
  for (std::size_t i = 0; i < operations.size(); ++i) {
    Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1,
                        &SharedNcd::DesignLock());
    try {
      operations[i]();
      ADD_FAILURE() << "operation " << i << " ran without the design lock";
    } catch (Port_ThrException::Exception code) {
      EXPECT_EQ(code, Port_ThrException::LockFailed);
    }
  }
  EXPECT_EQ(d.HasRouteMediator() + d.HasRelocService() + d.HasDelayMediator() + d.HasShapeMgr(),
            0u);
  EXPECT_EQ(d.IsBlockVisible(Block(d, "c")), 1u);
}

// A destructor cannot throw: the services stay registered and it reports.
TEST(SharedNcdLock, DestructionWithoutTheLockReportsAndLeavesTheServicesRegistered) {
  using Registry = Util::SharedObjectT<XCad_RMed, XCad_CadView>;
  DesignPtr owner = Load(kNets, kTop), other = NewDesign("other");
  other->SetView(owner->GetView());
  other->GetRouteMediator();
  Port_MsgCapture capture;
  Port_ThrFaultScope disarm;
  Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1,
                      &SharedNcd::DesignLock());
  other.reset();
  EXPECT_EQ(
      capture.count(Port_MsgKind::Internal, "Design lock failed (8): view services of 'other'"),
      1u);
  ASSERT_NE(Registry::Find(), nullptr);
  EXPECT_EQ(Registry::Find()->UseCount(owner->GetView()), 1);
  Registry::Release(owner->GetView());
}

struct Client {
  SharedNcd* design;
  void* answers[3] = {};
  std::uint32_t pins = 0;
};

void* AskAll(void* arg) {
  auto* c = static_cast<Client*>(arg);
  for (int i = 0; i < 50; ++i) {
    c->answers[0] = c->design->GetRouteMediator();
    c->answers[1] = c->design->GetShapeMgr();
    c->answers[2] = c->design->GetDelayMediator();
    c->pins = c->design->GetPinCount(Net(*c->design, "a")) +
              c->design->IsNetVisible(Net(*c->design, "a")) +
              c->design->IsBlockVisible(Block(*c->design, "c"));
  }
  return nullptr;
}

// Uses of designs announced and withdrawn on another thread (nested, two
// designs, one announced twice) leave nothing that a design's destructor
// waits for, while that thread still runs.
TEST(SharedNcdThreads, WithdrawnUsesLeaveNothingToWaitFor) {
  DesignPtr a = NewDesign("a");
  DesignPtr b = NewDesign("b");
  std::promise<void> withdrawn;
  std::promise<void> checked;
  std::thread user([&] {
    {
      UtilC::SharedNcd::DesignUse outer(a.get());
      {
        UtilC::SharedNcd::DesignUse inner(b.get());
        UtilC::SharedNcd::DesignUse again(a.get());
      }
      UtilC::SharedNcd::DesignUse other(b.get());
    }
    withdrawn.set_value();
    checked.get_future().wait();
  });
  withdrawn.get_future().wait();
  ncdtest::FinishesWithin("The designs' destructors finding every use withdrawn", [&] {
    UtilC::SharedNcd::DesignUse::AwaitUnused(a.get());
    UtilC::SharedNcd::DesignUse::AwaitUnused(b.get());
  });
  checked.set_value();
  user.join();
}

TEST(SharedNcdThreads, ConcurrentClientsGetOneServiceAndTheSameAnswers) {
  DesignPtr design = Load(kNets, kTop);
  std::vector<Client> clients(4, Client{design.get()});
  std::vector<std::unique_ptr<Port_ThrThread>> threads;
  for (Client& c : clients)
    threads.push_back(std::make_unique<Port_ThrThread>(&AskAll, &c));
  ncdtest::FinishesWithin("Every client getting the services and answers", [&] {
    for (auto& t : threads)
      t->join();
  });
  for (const Client& c : clients) {
    EXPECT_EQ(c.answers[0], design->GetRouteMediator());
    EXPECT_EQ(c.answers[1], design->GetShapeMgr());
    EXPECT_EQ(c.answers[2], design->GetDelayMediator());
    EXPECT_EQ(c.pins, 3u);  // one load, visible net, visible comp
  }
}

}  // namespace
