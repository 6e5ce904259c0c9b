// Collectables when a helper component refuses a class: the property that
// needed the object answers its failure, nothing else changes.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "UtilI_SharedRf.h"

using namespace ncdtest;

namespace {

class RefusedHelpers : public CollTest {};

TEST_F(RefusedHelpers, NoValueObjectMeansNoValue) {
  OpenDesign design(Demo());
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_PropertyValue);
  EXPECT_FALSE(Get(design.Coll("u_cnt/c0"), "Name").found);
  CitP::FactoryFault::Disarm();
  EXPECT_EQ(Text(design.Coll("u_cnt/c0"), "Name"), "c0");
}

TEST_F(RefusedHelpers, NoListObject) {
  OpenDesign design(Demo());
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_ObjectList);
  EXPECT_FALSE(Get(design.Coll("u_cnt/c0"), "Children").found);
  EXPECT_FALSE(Get(design->MakeCollectable(design.Net("clk")), "Pins").found);
  // The design-wide lists are delivered as null instead.
  const Value nets = Get(design.Coll(""), "Nets");
  EXPECT_TRUE(nets.found);
  EXPECT_FALSE(nets.object);
}

TEST_F(RefusedHelpers, NoInformationObject) {
  OpenDesign design(Demo());
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_PropertyInfo);
  UtilI::IPropertyInfo* info = nullptr;
  EXPECT_EQ(design.Coll("hm0")->GetPropertyInfo("Level", &info), 0u);
  EXPECT_EQ(info, nullptr);
}

TEST_F(RefusedHelpers, NoNamedValuesLeaveTheConfigurationDataOut) {
  OpenDesign design(std::string(NCD_TEST_DATA) + "/blocks.ncd.json");
  design->GetRouteMediator();
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_NamedValueFactory);
  const Value gcd = Get(design.Coll("slice/lut"), "Gcd");
  EXPECT_TRUE(gcd.found);
  EXPECT_EQ(ListNames(design.Coll("slice/lut"), "Gcd"), std::vector<std::string>{});
}

TEST_F(RefusedHelpers, NoSharedDevice) {
  OpenDesign design(Demo());
  design->GetRouteMediator();
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_SharedRfMgr);
  EXPECT_FALSE(Get(design.Coll("u_cnt/c0"), "Site").found);
  const Value region = Get(design->MakeCollectable(static_cast<const Xdm_Pin*>(design.Pin("u_cnt/c0", "CLK"))),
                           "Clock Region");
  EXPECT_TRUE(region.found);
  EXPECT_FALSE(region.object);
}

TEST_F(RefusedHelpers, NoSearchServiceMeansNoPublishing) {
  auto owner = NewOwner();
  auto context = OpenContext(owner);
  CitP::FactoryFault::RefuseClass(UtilI::CLSID_TclSearch);
  {
    OpenDesign design(Demo(), owner);
    CitP::FactoryFault::Disarm();
    CommonI::RefCountPtr<UtilI::ITclSearchSource> found;
    context->FindSource(found, "implemented");
    EXPECT_FALSE(found);
  }
  SearchService()->CloseContext(owner);
}

}  // namespace
