// Collectables when the helper components are missing (hidden from the
// framework before anything loads them): every answer is the empty one,
// nothing crashes. Its own program, so that nothing has loaded them yet.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "UtilI_SharedRf.h"

using namespace ncdtest;

namespace {

class NoHelpers : public ::testing::Environment {
 public:
  void SetUp() override {
    for (const char* library : {UtilI::kTcltaskHelpersLibrary, UtilI::kTclSearchLibrary, UtilI::kSharedRfLibrary})
      CitP::FactoryFault::HideLibrary(library);
  }
};

const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new NoHelpers);

TEST(WithoutHelpers, EveryAnswerIsEmpty) {
  Port_MsgCapture capture;  // the framework reports each missing library
  {
    OpenDesign design(std::string(NCD_EXAMPLES) + "/demo.ncd.json");
    ASSERT_TRUE(design.get());
    CollPtr comp = design.Coll("u_cnt/c0");
    EXPECT_EQ(comp->IsStale(), 0u);
    EXPECT_EQ(NameOf(comp), "c0");
    UtilI::IPropertyValue* value = nullptr;
    EXPECT_EQ(comp->GetPropertyValue("Name", &value), 0u);
    EXPECT_EQ(value, nullptr);
    UtilI::IPropertyInfo* info = nullptr;
    EXPECT_EQ(comp->GetPropertyInfo("Name", &info), 0u);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(PropertyNames(comp).size(), 13u);  // names need no helper
    EXPECT_FALSE(design->GetBlockPropertyValue(design.Block("u_cnt/c0"), "Name"));
    CommonI::RefCountPtr<CitI::IInterface> device;
    EXPECT_EQ(design->GetSharedRf(device), 0u);
    EXPECT_FALSE(device);
    auto* source = static_cast<UtilI::ITclSearchSource*>(design->QueryInterface(UtilI::IID_ITclSearchSource));
    EXPECT_EQ(source->GetSearchableTypes()->GetSize(), 0u);
  }
  UtilC::SharedNcd::Mgr::Instance()->PurgeUnused();
  EXPECT_EQ(UtilC::SharedNcd::Coll::LiveCount(), 0);
  EXPECT_GE(capture.count(Port_MsgKind::Error, "not found"), 2u);
}

}  // namespace
