// The per-view service registries: sharing and use counts, the registry's
// own lifetime in SharedResourceMgr, and the refusal of a second Create.
#include <gtest/gtest.h>

#include <stdexcept>

#include "UtilSharedObject.h"

namespace {

struct View {};
struct Service {
  explicit Service(View*) {
    if (failNext) throw std::runtime_error("no service");
    ++live;
  }
  ~Service() { --live; }
  static inline int live = 0;
  static inline bool failNext = false;
};
using Registry = Util::SharedObjectT<Service, View>;

bool Filed() {
  return Util::Details::SharedResourceMgr::find(Registry::Name()) != nullptr;
}

TEST(SharedObject, OneServicePerViewUntilItsLastReleaseThenNoRegistry) {
  View v1, v2;
  Service* s1 = Registry::Acquire(&v1);
  EXPECT_EQ(Registry::Acquire(&v1), s1);
  EXPECT_NE(Registry::Acquire(&v2), s1);
  EXPECT_EQ(Service::live, 2);
  EXPECT_TRUE(Filed());
  EXPECT_EQ(Registry::Find()->UseCount(&v1), 2);
  EXPECT_EQ(Registry::Find()->LastView(), &v2);
  Registry::Release(&v1);
  EXPECT_EQ(Service::live, 2);
  Registry::Release(&v1);
  Registry::Release(&v1);  // no service any more: nothing happens
  EXPECT_EQ(Service::live, 1);
  EXPECT_EQ(Registry::Find()->Size(), 1u);
  Registry::Release(&v2);
  EXPECT_EQ(Service::live, 0);
  EXPECT_EQ(Registry::Find(), nullptr);
  EXPECT_FALSE(Filed());
  Registry::Release(&v2);  // no registry: nothing happens

  Service::failNext = true;
  EXPECT_THROW(Registry::Acquire(&v1), std::runtime_error);
  Service::failNext = false;
  EXPECT_FALSE(Filed());
}

TEST(SharedObject, SecondCreateForAViewThrowsAndChangesNothing) {
  View v;
  Service* s = Registry::Acquire(&v);
  try {
    Registry::Find()->Create(&v);
    ADD_FAILURE() << "Create accepted a view that has a service";
  } catch (const Util::IllegalMethodCalledException& e) {
    EXPECT_STREQ(e.what(), "Shared Object already exists. Use Get() instead of Create().\n");
    EXPECT_EQ(e.line(), 524);
    EXPECT_EQ(e.component(), "UtilitiesC");
    EXPECT_EQ(e.source(), "GenericAlgorithms/Utilities/export/UtilSharedObject");
    EXPECT_EQ(e.revision(), "1");
  }
  EXPECT_EQ(Service::live, 1);
  EXPECT_EQ(Registry::Find()->Get(&v), s);
  EXPECT_EQ(Registry::Find()->UseCount(&v), 2);
  Registry::Release(&v);
  Registry::Release(&v);
  EXPECT_EQ(Registry::Find(), nullptr);
}

}  // namespace
