// A design's search source with the real search service: publishing on
// hand-out and withdrawal on hand-back, one registered source per owner,
// searches by owner, type prototypes.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "SearchTestDoubles.h"
#include "SiblingComponents.h"
#include "UtilI_VectorHelper.h"

using namespace ncdtest;
using Names = std::vector<std::string>;
using SourcePtr = CommonI::RefCountPtr<UtilI::ITclSearchSource>;

namespace {

class SearchSource : public CollTest {
 protected:
  void SetUp() override {
    owner = NewOwner();
    context = OpenContext(owner);
    ASSERT_TRUE(context);
  }
  void TearDown() override {
    SearchService()->CloseContext(owner);
    context.Reset();
    CollTest::TearDown();
  }
  static SourcePtr SourceOf(OpenDesign& design) {
    return SourcePtr(static_cast<UtilI::ITclSearchSource*>(design->QueryInterface(UtilI::IID_ITclSearchSource)));
  }
  SourcePtr Registered() {
    SourcePtr found;
    context->FindSource(found, "implemented");
    return found;
  }
  static CommonI::RefCountPtr<UtilI::IStringContainer> Types(const Names& names) {
    auto types = UtilI::MakeStringContainer();
    for (const std::string& name : names) types->Add(name);
    return types;
  }
  Names SearchText(const char* glob, const Names& types = {"ncd_block"}) {
    FakeList results;
    context->SearchText(Types(types), glob, false, false, false, &results);
    return results.Names();
  }

  CommonI::RefCountPtr<CitI::IInterface> owner;
  CommonI::RefCountPtr<UtilI::ISearchRequest> context;
};

TEST_F(SearchSource, PublishedOnHandOutWithdrawnOnHandBack) {
  {
    OpenDesign design(Demo(), owner);
    EXPECT_EQ(Registered().get(), SourceOf(design).get());
    EXPECT_EQ(SourceOf(design)->GetName().str(), "implemented");
    EXPECT_EQ(Strings(SourceOf(design)->GetSearchableTypes()), (Names{"ncd_block", "ncd_net", "ncd_rpm"}));
    EXPECT_EQ(SearchText("c*"), (Names{"clk_ibuf", "c0", "c1", "c0", "c1"}));
  }
  EXPECT_FALSE(Registered());
  EXPECT_EQ(SearchText("*"), Names{});
}

// The design cached at its hand-back is registered again when it is
// handed out again.
TEST_F(SearchSource, ReopenedDesignsAreSearchableAgain) {
  { OpenDesign first(Demo(), owner); }
  OpenDesign again(Demo(), owner);
  EXPECT_EQ(Registered().get(), SourceOf(again).get());
  EXPECT_EQ(SearchText("hm*"), Names{"hm0"});
}

TEST_F(SearchSource, OneRegisteredSourcePerOwner) {
  OpenDesign first(Demo(), owner);
  OpenDesign second(std::string(NCD_TEST_DATA) + "/blocks.ncd.json", owner);
  EXPECT_EQ(Registered().get(), SourceOf(first).get());
  // The second design is searched through its own source only.
  FakeList results;
  EXPECT_EQ(SourceOf(second)->SearchWithText(owner, "hm_*", Types({"ncd_block"}), false, false, false, &results,
                                             nullptr),
            1u);
  EXPECT_EQ(results.Names().size(), 7u);
  EXPECT_EQ(SearchText("hm*"), Names{"hm0"});
}

TEST_F(SearchSource, DesignsOfTwoOwnersHaveTwoContexts) {
  auto otherOwner = NewOwner();
  auto otherContext = OpenContext(otherOwner);
  OpenDesign mine(Demo(), owner);
  OpenDesign theirs(Demo(), otherOwner);
  SourcePtr found;
  otherContext->FindSource(found, "implemented");
  EXPECT_EQ(found.get(), SourceOf(theirs).get());
  EXPECT_NE(found.get(), Registered().get());
  // A foreign owner cannot search this design.
  FakeList results;
  EXPECT_EQ(SourceOf(mine)->SearchWithText(otherOwner, "*", Types({"ncd_block"}), false, false, false, &results,
                                           nullptr),
            0u);
  EXPECT_TRUE(results.items.empty());
  SearchService()->CloseContext(otherOwner);
}

TEST_F(SearchSource, TypesWithoutAlgorithmsAreSkipped) {
  OpenDesign design(Demo(), owner);
  FakeList results;
  EXPECT_EQ(SourceOf(design)->SearchWithText(owner, "*", Types({}), false, false, false, &results, nullptr), 1u);
  EXPECT_EQ(SourceOf(design)->SearchWithText(owner, "*", Types({"ncd_pin"}), false, false, false, &results, nullptr),
            1u);
  EXPECT_TRUE(results.items.empty());
  EXPECT_EQ(SearchText("*_pad", {"ncd_pin", "ncd_net"}).size(), 6u);
  EXPECT_EQ(SearchText("*", {"ncd_rpm"}), (Names{"rpm_cnt", "hm0_area", "stale_area"}));
}

TEST_F(SearchSource, TypePrototypes) {
  OpenDesign design(Demo(), owner);
  SourcePtr source = SourceOf(design);
  for (const char* type : {"ncd_block", "ncd_net", "ncd_rpm", "ncd_signal", "ncd_pin"}) {
    CollPtr prototype = source->MakeEmptyCollectable(type);
    ASSERT_TRUE(prototype) << type;
    EXPECT_EQ(TypeName(prototype), type);
    EXPECT_EQ(prototype->IsStale(), 1u) << type;
  }
  EXPECT_FALSE(source->MakeEmptyCollectable("ncd_path"));
}

// Designs without an owner have no context: never published, never searched.
TEST_F(SearchSource, DesignsWithoutOwnerAreNotPublished) {
  OpenDesign design(Demo(), {});
  EXPECT_EQ(Strings(SourceOf(design)->GetSearchableTypes()), Names{});
  FakeList results;
  EXPECT_EQ(SourceOf(design)->SearchWithText({}, "*", Types({"ncd_block"}), false, false, false, &results, nullptr),
            0u);
}

TEST_F(SearchSource, RegexpNoCaseAndFullNames) {
  OpenDesign design(Demo(), owner);
  FakeList results;
  context->SearchText(Types({"ncd_block"}), "U_CNT/C?", false, true, true, &results);
  EXPECT_EQ(results.Names(), (Names{"c0", "c1"}));
  results.Clear();
  context->SearchText(Types({"ncd_net"}), "^count<[01]>$", true, false, false, &results);
  EXPECT_EQ(results.Names(), (Names{"count<0>", "count<1>"}));
}

TEST_F(SearchSource, MatchLimitStopsTheWalk) {
  OpenDesign design(Demo(), owner);
  context->SetMatchLimit(3);
  EXPECT_EQ(SearchText("*").size(), 3u);
  context->SetMatchLimit(0);
  EXPECT_EQ(SearchText("*").size(), 23u);
}

}  // namespace
