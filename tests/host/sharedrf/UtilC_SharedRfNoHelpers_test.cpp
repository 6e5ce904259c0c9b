// The shared device component when the Tcl helper component cannot be
// loaded: it is hidden before anything in this program asks for it, so
// this is a program of its own.
#include <gtest/gtest.h>

#include "SharedRfTestSupport.h"

namespace {

TEST(SharedRfWithoutHelpers, PropertiesAnswerFalseAndTheRestWorks) {
  CitP::FactoryFault::HideLibrary(UtilI::kTcltaskHelpersLibrary);
  ASSERT_TRUE(CitP::Factory::LoadLibraryFactory(UtilI::kSharedRfLibrary));
  design_test::TempDir dir;
  sharedrf_test::LoadDevice(dir, "lonely.ncd.json", "rf-lonely", {"R0"}, {{"C0", "T", "R0"}});
  CommonI::RefCountPtr<UtilI::ISharedRfMgr> mgr = sharedrf_test::NewManager();
  CommonI::RefCountPtr<CitI::IInterface> device = sharedrf_test::DeviceOf(*mgr, "rf-lonely");
  ASSERT_TRUE(device);
  CommonI::RefCountPtr<UtilI::ITclCollectable> site, region;
  ASSERT_EQ(sharedrf_test::Sites(device)->FindSite(site, "C0"), 1u);
  ASSERT_EQ(sharedrf_test::Rf(device)->FindClockRegion(region, "R0"), 1u);

  ncdtest::OutRef<UtilI::IPropertyValue> value;
  ncdtest::OutRef<UtilI::IPropertyInfo> info;
  EXPECT_EQ(site->GetPropertyValue("Name", &value), 0u);
  EXPECT_EQ(region->GetPropertyValue("Sites", &value), 0u);
  EXPECT_EQ(site->GetPropertyInfo("Name", &info), 0u);
  EXPECT_FALSE(value);
  EXPECT_FALSE(info);
  EXPECT_EQ(sharedrf_test::NameOf(site.get()), "C0");
  EXPECT_EQ(ncdtest::PropertyNames(region.get()),
            (std::vector<std::string>{"Name", "Sites", "X Max", "X Min", "Y Max", "Y Min"}));

  // The component asked for the library once; it does not ask again.
  CitP::FactoryFault::Disarm();
  EXPECT_EQ(site->GetPropertyValue("Name", &value), 0u);
  site.Reset();
  region.Reset();
  EXPECT_EQ(
      mgr->GetLiveCount(UtilI::kSharedRfSites) + mgr->GetLiveCount(UtilI::kSharedRfClockRegions),
      0u);
}

}  // namespace
