// The per-view service registries: sharing, use counts, the registry's own
// lifetime in SharedResourceMgr, and the refusal of a second Create.
#include <gtest/gtest.h>

#include <stdexcept>

#include "UtilSharedObject.h"

namespace {

struct View {};

// Counts live instances; failNext makes construction throw.
template <int Kind>
struct Service {
  explicit Service(View* v) : view(v) {
    if (failNext) throw std::runtime_error("no service");
    ++live;
  }
  ~Service() { --live; }
  View* view;
  static inline int live = 0;
  static inline bool failNext = false;
};

using RegA = Util::SharedObjectT<Service<0>, View>;
using RegB = Util::SharedObjectT<Service<1>, View>;

bool Filed(const Port::StringBase& name) { return Util::Details::SharedResourceMgr::find(name) != nullptr; }

TEST(SharedObject, OneServicePerViewSharedUntilItsLastRelease) {
  View v1, v2;
  EXPECT_EQ(RegA::Find(), nullptr);
  Service<0>* s1 = RegA::Acquire(&v1);
  EXPECT_EQ(RegA::Acquire(&v1), s1);
  Service<0>* s2 = RegA::Acquire(&v2);
  EXPECT_NE(s2, s1);
  EXPECT_EQ(s1->view, &v1);
  EXPECT_EQ(Service<0>::live, 2);
  ASSERT_NE(RegA::Find(), nullptr);
  EXPECT_TRUE(Filed(RegA::Name()));
  EXPECT_EQ(RegA::Find()->Size(), 2u);
  EXPECT_EQ(RegA::Find()->UseCount(&v1), 2);

  RegA::Release(&v1);
  EXPECT_EQ(Service<0>::live, 2);
  RegA::Release(&v1);
  EXPECT_EQ(Service<0>::live, 1);
  EXPECT_EQ(RegA::Find()->UseCount(&v1), 0);
  RegA::Release(&v1);  // no service: nothing happens
  EXPECT_EQ(RegA::Find()->UseCount(&v2), 1);
  RegA::Release(&v2);
  EXPECT_EQ(Service<0>::live, 0);
  EXPECT_EQ(RegA::Find(), nullptr);
  EXPECT_FALSE(Filed(RegA::Name()));
  RegA::Release(&v2);  // no registry: nothing happens
}

TEST(SharedObject, RegistriesAreKeyedByServiceAndViewTypeNames) {
  EXPECT_EQ(RegA::Name().str(), std::string(typeid(Service<0>).name()) + typeid(View*).name());
  View v;
  RegA::Acquire(&v);
  RegB::Acquire(&v);
  EXPECT_NE(static_cast<void*>(RegA::Find()), static_cast<void*>(RegB::Find()));
  EXPECT_EQ(RegA::Find()->Size(), 1u);
  EXPECT_EQ(RegB::Find()->Size(), 1u);
  RegA::Release(&v);
  EXPECT_EQ(RegA::Find(), nullptr);
  EXPECT_EQ(RegB::Find()->UseCount(&v), 1);
  RegB::Release(&v);
  EXPECT_EQ(RegB::Find(), nullptr);
}

TEST(SharedObject, GetRemembersTheViewAndLeavesCreationToTheCaller) {
  View v1, v2;
  RegA* registry = RegA::Instance();
  EXPECT_EQ(registry->Get(&v1), nullptr);
  EXPECT_EQ(registry->LastView(), &v1);
  Service<0>* s = registry->Create(&v1);
  EXPECT_EQ(registry->Get(&v1), s);
  EXPECT_EQ(registry->UseCount(&v1), 2);
  EXPECT_EQ(registry->Get(&v2), nullptr);
  EXPECT_EQ(registry->LastView(), &v2);
  RegA::Release(&v1);
  RegA::Release(&v1);
  EXPECT_EQ(RegA::Find(), nullptr);
}

TEST(SharedObject, SecondCreateForAViewThrowsAndChangesNothing) {
  View v;
  Service<0>* s = RegA::Acquire(&v);
  try {
    RegA::Find()->Create(&v);
    FAIL() << "Create accepted a view that has a service";
  } catch (const Util::IllegalMethodCalledException& e) {
    EXPECT_STREQ(e.what(), "Shared Object already exists. Use Get() instead of Create().\n");
    EXPECT_EQ(e.line(), 524);
    EXPECT_EQ(e.component(), "UtilitiesC");
    EXPECT_EQ(e.source(), "GenericAlgorithms/Utilities/export/UtilSharedObject");
    EXPECT_EQ(e.revision(), "1");
  }
  EXPECT_EQ(Service<0>::live, 1);
  EXPECT_EQ(RegA::Find()->UseCount(&v), 1);
  EXPECT_EQ(RegA::Acquire(&v), s);
  RegA::Release(&v);
  RegA::Release(&v);
  EXPECT_EQ(RegA::Find(), nullptr);
}

TEST(SharedObject, FailedConstructionLeavesNoRegistryBehind) {
  View v;
  Service<0>::failNext = true;
  EXPECT_THROW(RegA::Acquire(&v), std::runtime_error);
  Service<0>::failNext = false;
  EXPECT_EQ(RegA::Find(), nullptr);
  EXPECT_FALSE(Filed(RegA::Name()));
  EXPECT_EQ(Service<0>::live, 0);
}

}  // namespace
