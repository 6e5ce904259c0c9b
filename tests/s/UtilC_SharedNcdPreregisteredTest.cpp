// When the instance table already holds an object for the manager's class,
// the component's manager leaves it there and still serves its own clients.
#include <gtest/gtest.h>

#include "CitP_Factory.h"

namespace {

constexpr Port::XUID kMgrClass{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

class Squatter : public CitI::IInterface {
public:
  void* QueryInterface(const Port::XUID& iid) override { return iid == CitI::IID_IInterface ? this : nullptr; }
};

TEST(PreregisteredInstance, ManagerDoesNotReplaceIt) {
  Squatter squatter;
  ASSERT_TRUE(CitP::InstanceTable::RegisterInstance(kMgrClass, &squatter));
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd"));

  CommonI::RefCountPtr<CitI::IInterface> mgr = CitP::Factory::CreateInstanceRef(kMgrClass);
  ASSERT_TRUE(mgr);
  EXPECT_NE(mgr.get(), static_cast<CitI::IInterface*>(&squatter));
  EXPECT_EQ(CitP::InstanceTable::GetInstance(kMgrClass), &squatter);
  EXPECT_EQ(CitP::Factory::CreateInstanceRef(kMgrClass).get(), mgr.get());
  CitP::InstanceTable::UnRegisterInstance(&squatter);
}

}  // namespace
