// The design object: its state before and after loading, its faces and
// owner count, the view services shared between design objects of one
// view, and the design lock.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "Port_MsgManData.h"
#include "SharedNcdTestDesign.h"
#include "Tw_DlyMed.h"
#include "UtilSharedObject.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_ShapeMgr.h"

namespace {

using namespace ncdtest;

const char* const kNets = R"({"name": "a", "delay": 800})";
const char* const kTop = R"({"name": "t", "level": 0, "signals": [{"name": "a", "net": "a"}],
  "blocks": [{"name": "c", "type": "SLICEL", "level": 3, "pins": [{"name": "A", "signal": "a"}]}]})";

class Owner : public CommonI::IRefCount {
public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddRef() override { return ++count, 1; }
  CitI::Result Release() override { return --count, 1; }
  CitI::Result GetRefCount(int* out) override { return *out = count, 1; }
  int count = 1;
};

int RefCount(SharedNcd& design) {
  int count = -1;
  static_cast<CommonI::IRefCount&>(design).GetRefCount(&count);
  return count;
}

TEST(SharedNcdObject, BeforeLoadingEveryQuestionAnswersEmpty) {
  Owner owner;
  {
    DesignPtr design = NewDesign("a.ncd.json", CommonI::RefCountPtr<CitI::IInterface>(&owner));
    EXPECT_EQ(owner.count, 3);  // the key and the owner reference
    EXPECT_EQ(RefCount(*design), 1);
    EXPECT_EQ(design->GetOwner().get(), &owner);
    EXPECT_STREQ(design->GetFileName(), "a.ncd.json");
    EXPECT_EQ(design->GetView(), nullptr);
    EXPECT_STREQ(design->GetPartName(), "");
    Xdm_DesignInfo sentinel("s", "t");
    Xdm_DesignInfo* out = &sentinel;
    EXPECT_EQ(design->GetViewObject(out), 0u);
    EXPECT_EQ(design->FindViewObject(out), 0u);
    EXPECT_EQ(out, &sentinel);
    EXPECT_EQ(design->GetRouteMediator(), nullptr);
    EXPECT_EQ(design->GetRelocService(), nullptr);
    EXPECT_EQ(design->GetDelayMediator(), nullptr);
    EXPECT_EQ(design->GetShapeMgr(), nullptr);
    EXPECT_EQ(design->HasRouteMediator() + design->HasRelocService() + design->HasDelayMediator() +
                  design->HasShapeMgr(), 0u);
    CommonI::RefCountPtr<CitI::IInterface> rf(&owner);
    EXPECT_EQ(design->GetSharedRf(rf), 0u);
    EXPECT_FALSE(rf);
    EXPECT_EQ(design->GetTypeCode1(nullptr), 0xFFFFFFFFu);
  }
  EXPECT_EQ(owner.count, 1);
  EXPECT_FALSE(NewDesign("b.ncd.json")->GetOwner());
}

TEST(SharedNcdObject, FacesAnswerWithoutCounting) {
  DesignPtr design = NewDesign("a.ncd.json");
  SharedNcd* d = design.get();
  EXPECT_EQ(d->QueryInterface(UtilI::IID_ISharedNcd), static_cast<UtilI::ISharedNcd*>(d));
  EXPECT_EQ(d->QueryInterface(CommonI::IID_IRefCount), static_cast<CommonI::IRefCount*>(d));
  EXPECT_EQ(d->QueryInterface(CitI::IID_IInterface), static_cast<CommonI::IRefCount*>(d));
  EXPECT_EQ(d->QueryInterface(UtilI::IID_ITclCollectable), nullptr);
  EXPECT_EQ(d->QueryInterface(CitI::IID_IFactory), nullptr);
  EXPECT_EQ(RefCount(*d), 1);
}

TEST(SharedNcdObject, LoadedDesignAnswersPartViewObjectAndShapeManager) {
  DesignPtr demo = LoadFile(NCD_EXAMPLES "/demo.ncd.json");
  ASSERT_NE(demo->GetView(), nullptr);
  EXPECT_STREQ(demo->GetPartName(), "xc5vlx50ff676-1");
  Xdm_DesignInfo* info = nullptr;
  EXPECT_EQ(demo->GetViewObject(info), 1u);
  ASSERT_NE(info, nullptr);
  EXPECT_STREQ(info->GetName(), "demo_counter");
  Xdm_DesignInfo* found = nullptr;
  EXPECT_EQ(demo->FindViewObject(found), 1u);
  EXPECT_EQ(found, info);
  Xdh_ShapeMgr* shapes = demo->GetShapeMgr();
  ASSERT_NE(shapes, nullptr);
  EXPECT_EQ(demo->HasShapeMgr(), 1u);
  EXPECT_EQ(demo->GetShapeMgr(), shapes);

  // Without a "design" object the view object is null: found, but not findable.
  DesignPtr bare = Load(kNets, kTop);
  EXPECT_STREQ(bare->GetPartName(), "xc5vlx30ff324-1");
  Xdm_DesignInfo sentinel("s", "t");
  info = &sentinel;
  EXPECT_EQ(bare->GetViewObject(info), 1u);
  EXPECT_EQ(info, nullptr);
  info = &sentinel;
  EXPECT_EQ(bare->FindViewObject(info), 0u);
  EXPECT_EQ(info, &sentinel);
}

// ---- view services, for each of the three

template <class S, S* (SharedNcd::*Get)(), CitI::Result (SharedNcd::*Has)()>
struct ServiceOf {
  using Service = S;
  static S* GetOf(SharedNcd& design) { return (design.*Get)(); }
  static CitI::Result HasOf(SharedNcd& design) { return (design.*Has)(); }
};
using RouteMediator = ServiceOf<XCad_RMed, &SharedNcd::GetRouteMediator, &SharedNcd::HasRouteMediator>;
using RelocService = ServiceOf<XCad_Rho, &SharedNcd::GetRelocService, &SharedNcd::HasRelocService>;
using DelayMediator = ServiceOf<Tw_DlyMed, &SharedNcd::GetDelayMediator, &SharedNcd::HasDelayMediator>;

template <class T>
class ViewServices : public ::testing::Test {};
using Services = ::testing::Types<RouteMediator, RelocService, DelayMediator>;
TYPED_TEST_SUITE(ViewServices, Services);

TYPED_TEST(ViewServices, SharedByTheDesignsOfOneViewAndFreedWithTheLast) {
  using Service = typename TypeParam::Service;
  using Registry = Util::SharedObjectT<Service, XCad_CadView>;
  const std::uint64_t made = Service::ConstructionCount();
  const std::uint64_t live = Service::LiveCount();
  DesignPtr owner = Load(kNets, kTop);
  DesignPtr other = NewDesign("other");
  other->SetView(owner->GetView());
  XCad_CadView* view = owner->GetView();

  Service* service = TypeParam::GetOf(*owner);
  ASSERT_NE(service, nullptr);
  EXPECT_EQ(TypeParam::GetOf(*other), service);
  EXPECT_EQ(TypeParam::GetOf(*owner), service);  // a design counts once
  EXPECT_EQ(TypeParam::HasOf(*other), 1u);
  EXPECT_EQ(Service::ConstructionCount(), made + 1);
  EXPECT_EQ(Registry::Find()->UseCount(view), 2);
  EXPECT_EQ(Registry::Find()->LastView(), view);

  other.reset();
  EXPECT_EQ(Service::LiveCount(), live + 1);
  EXPECT_EQ(Registry::Find()->UseCount(view), 1);
  EXPECT_EQ(TypeParam::GetOf(*owner), service);
  owner.reset();
  EXPECT_EQ(Service::LiveCount(), live);
  EXPECT_EQ(Registry::Find(), nullptr);
  EXPECT_EQ(Util::Details::SharedResourceMgr::find(Registry::Name()), nullptr);
}

// ---- the design lock

TEST(SharedNcdLock, EveryLockedOperationThrowsLockFailedWhenTheLockFails) {
  DesignPtr design = Load(kNets, kTop);
  SharedNcd& d = *design;
  Xdm_Block* top = d.GetView()->GetBlock();
  Xdm_Network* net = Net(d, "a");
  const std::vector<std::function<void()>> operations = {
      [&] { d.IsBlockVisible(top); },  [&] { d.IsNetVisible(net); },
      [&] { d.GetPinCount(net); },     [&] { d.GetRouteMediator(); },
      [&] { d.GetRelocService(); },    [&] { d.GetDelayMediator(); },
      [&] { d.GetShapeMgr(); },
  };
  Port_ThrFaultScope disarm;
  for (std::size_t i = 0; i < operations.size(); ++i) {
    Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1, &SharedNcd::DesignLock());
    try {
      operations[i]();
      ADD_FAILURE() << "operation " << i << " ran without the design lock";
    } catch (Port_ThrException::Exception code) {
      EXPECT_EQ(code, Port_ThrException::LockFailed) << "operation " << i;
    }
  }
  EXPECT_EQ(d.HasRouteMediator() + d.HasRelocService() + d.HasDelayMediator() + d.HasShapeMgr(), 0u);
  EXPECT_EQ(d.IsBlockVisible(top), 1u);
  EXPECT_NE(d.GetRouteMediator(), nullptr);
}

TEST(SharedNcdLock, TheLockIsRecursiveSoACallerMayHoldIt) {
  DesignPtr design = Load(kNets, kTop);
  Port_ThrGuard held(SharedNcd::DesignLock());
  EXPECT_NE(design->GetDelayMediator(), nullptr);
  EXPECT_EQ(design->IsNetVisible(Net(*design, "a")), 1u);
}

TEST(SharedNcdLock, DestructionWithoutTheLockReportsAndLeavesTheServicesRegistered) {
  using Registry = Util::SharedObjectT<XCad_RMed, XCad_CadView>;
  DesignPtr owner = Load(kNets, kTop);
  DesignPtr other = NewDesign("other");
  other->SetView(owner->GetView());
  XCad_RMed* service = other->GetRouteMediator();
  Port_MsgCapture capture;
  {
    Port_ThrFaultScope disarm;
    Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1, &SharedNcd::DesignLock());
    other.reset();
  }
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Design lock failed (8): view services of 'other'"), 1u);
  EXPECT_EQ(Registry::Find()->UseCount(owner->GetView()), 1);
  EXPECT_EQ(owner->GetRouteMediator(), service);
  Registry::Release(owner->GetView());  // the use the failed destruction left
  owner.reset();
  EXPECT_EQ(Registry::Find(), nullptr);
}

// ---- threads

struct Client {
  SharedNcd* design;
  XCad_RMed* mediator = nullptr;
  Xdh_ShapeMgr* shapes = nullptr;
  CitI::Result visible = 0;
  std::uint32_t pins = 0;
};

void* AskAll(void* arg) {
  auto* c = static_cast<Client*>(arg);
  Xdm_Network* net = Net(*c->design, "a");
  for (int i = 0; i < 50; ++i) {
    c->mediator = c->design->GetRouteMediator();
    c->shapes = c->design->GetShapeMgr();
    c->visible = c->design->IsNetVisible(net) + c->design->IsBlockVisible(Block(*c->design, "c"));
    c->pins = c->design->GetPinCount(net);
  }
  return nullptr;
}

TEST(SharedNcdThreads, ConcurrentClientsGetOneServiceAndTheSameAnswers) {
  DesignPtr design = Load(kNets, kTop);
  std::vector<Client> clients(4, Client{design.get()});
  {
    std::vector<std::unique_ptr<Port_ThrThread>> threads;
    for (Client& c : clients) threads.push_back(std::make_unique<Port_ThrThread>(&AskAll, &c));
    for (auto& t : threads) t->join();
  }
  for (const Client& c : clients) {
    EXPECT_EQ(c.mediator, design->GetRouteMediator());
    EXPECT_EQ(c.shapes, design->GetShapeMgr());
    EXPECT_EQ(c.visible, 2u);
    EXPECT_EQ(c.pins, 1u);
  }
}

}  // namespace
