// The three design searches, driven by a request double: walk order, what
// an answer of 0 does in each, stop requests, hidden objects, and the
// matches being collectables of their own.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "SearchTestDoubles.h"
#include "UtilC_SharedNcdSearchAlgs.h"
#include "Xdm_ViewEditor.h"

using namespace ncdtest;
using Names = std::vector<std::string>;
using UtilC::SharedNcd::BlockSearchAlg;
using UtilC::SharedNcd::NetSearchAlg;
using UtilC::SharedNcd::RpmSearchAlg;

namespace {

const Names kDemoBlocks = {
    "demo_counter", "clk_ibuf", "u_cnt",  "c0",         "A6LUT", "AFF",         "B6LUT",    "BFF",
    "CARRY4",       "c1",       "din",    "din_ilogic", "IFF",   "dout_ologic", "OUTFF",    "dout",
    "q0",           "lvds_p",   "lvds_n", "hm0",        "c0",    "c1",          "ip_secure"};

class Searches : public CollTest {
 protected:
  template <class Algorithm>
  CitI::Result Run(Algorithm& algorithm, FakeRequest& request, FakeList& results) {
    return algorithm.Search(CommonI::RefCountPtr<UtilI::ISearchRequest>(&request), {}, "*", false,
                            false, false, &results, nullptr);
  }
};

TEST_F(Searches, BlocksDepthFirstSkippingHiddenOnes) {
  OpenDesign design(Demo());
  BlockSearchAlg search("ncd_block", design.get());
  FakeRequest request;
  FakeList results;
  EXPECT_EQ(Run(search, request, results), 1u);
  EXPECT_EQ(request.shown, kDemoBlocks);
  EXPECT_EQ(results.Names(), kDemoBlocks);
  // One probe served the whole walk, held during each call beyond its
  // holder's reference; every match is a collectable of its own.
  for (UtilI::ITclCollectable* probe : request.probes)
    EXPECT_EQ(probe, request.probes.front());
  EXPECT_EQ(request.probeCounts, std::vector<int>(kDemoBlocks.size(), 2));
  for (const CollPtr& match : results.items)
    EXPECT_NE(match.get(), request.probes.front());
  FakeList again;
  Run(search, request, again);
  EXPECT_EQ(again.Names(), kDemoBlocks);
}

TEST_F(Searches, BlockAnsweredZeroSkipsItsSubtreeOnly) {
  OpenDesign design(Demo());
  BlockSearchAlg search("ncd_block", design.get());
  FakeRequest request;
  request.decide = [](const std::string& name) {
    return FakeRequest::Answer{name == "u_cnt" ? 0u : 1u, name != "din"};
  };
  FakeList results;
  EXPECT_EQ(Run(search, request, results), 1u);
  Names expected = kDemoBlocks;
  expected.erase(expected.begin() + 2, expected.begin() + 10);  // u_cnt and below
  expected.erase(std::find(expected.begin(), expected.end(), "din"));
  EXPECT_EQ(results.Names(), expected);
}

TEST_F(Searches, StopRequestsEndTheWalk) {
  OpenDesign design(Demo());
  BlockSearchAlg blocks("ncd_block", design.get());
  FakeRequest atOnce;
  atOnce.stopAfter = 0;
  FakeList none;
  EXPECT_EQ(Run(blocks, atOnce, none), 1u);
  EXPECT_TRUE(none.items.empty());
  FakeRequest afterThree;
  afterThree.stopAfter = 3;
  FakeList three;
  Run(blocks, afterThree, three);
  EXPECT_EQ(three.Names(), (Names{"demo_counter", "clk_ibuf", "u_cnt"}));

  NetSearchAlg nets("ncd_net", design.get());
  RpmSearchAlg rpms("ncd_rpm", design.get());
  FakeRequest stopped;
  stopped.stopAfter = 0;
  EXPECT_EQ(Run(nets, stopped, none), 1u);
  stopped.stopQuestions = 0;
  EXPECT_EQ(Run(rpms, stopped, none), 1u);
  EXPECT_TRUE(none.items.empty());
  EXPECT_TRUE(stopped.shown.empty());
}

TEST_F(Searches, NetsAreAllVisitedWhateverTheAnswers) {
  OpenDesign design(Demo());
  NetSearchAlg search("ncd_net", design.get());
  FakeRequest request;
  request.decide = [](const std::string& name) {
    return FakeRequest::Answer{name == "clk" ? 0u : 1u, true};
  };
  FakeList results;
  EXPECT_EQ(Run(search, request, results), 1u);  // the last answer
  EXPECT_EQ(results.items.size(), 17u);
  EXPECT_EQ(results.Names().front(), "clk");
  EXPECT_EQ(results.Names().back(), "lvds_n_pad");
  EXPECT_EQ(request.probeCounts, std::vector<int>(17, 2));
}

TEST_F(Searches, HiddenNetsAreMatchedAndDeliveredAsNothing) {
  OpenDesign design(std::string(NCD_TEST_DATA) + "/blocks.ncd.json");
  NetSearchAlg search("ncd_net", design.get());
  FakeRequest request;
  FakeList results;
  Run(search, request, results);
  // "hidden_partial" has only an implicit pin: it is shown to the request
  // under its own name, and its match wraps nothing.
  EXPECT_EQ(request.shown, (Names{"routed", "partial", "norug", "hidden_partial"}));
  EXPECT_EQ(results.Names(), (Names{"routed", "partial", "norug", "<stale>"}));
}

TEST_F(Searches, RpmSearchEndsAtAnAnswerOfZero) {
  OpenDesign design(Demo());
  RpmSearchAlg search("ncd_rpm", design.get());
  FakeRequest request;
  FakeList all;
  EXPECT_EQ(Run(search, request, all), 1u);
  EXPECT_EQ(all.Names(), (Names{"rpm_cnt", "hm0_area", "stale_area"}));
  request.decide = [](const std::string& name) {
    return FakeRequest::Answer{name == "hm0_area" ? 0u : 1u, true};
  };
  FakeList first;
  EXPECT_EQ(Run(search, request, first), 0u);
  EXPECT_EQ(first.Names(), Names{"rpm_cnt"});
}

// A shape without a native object stands for no RPM: it is not presented
// and nothing is appended for it (the shape before it is not matched twice).
TEST_F(Searches, RpmSearchSkipsShapesWithoutObject) {
  OpenDesign design(Demo());
  Xdm_ViewEditor(*design->GetView()).InsertShapeWithoutObject(1);
  RpmSearchAlg search("ncd_rpm", design.get());
  FakeRequest request;
  FakeList results;
  EXPECT_EQ(Run(search, request, results), 1u);
  EXPECT_EQ(request.shown, (Names{"rpm_cnt", "hm0_area", "stale_area"}));
  EXPECT_EQ(results.Names(), (Names{"rpm_cnt", "hm0_area", "stale_area"}));
}

TEST_F(Searches, RpmSearchWithoutShapesChangesNothing) {
  OpenDesign design(std::string(NCD_TEST_DATA) + "/blocks.ncd.json");
  RpmSearchAlg search("ncd_rpm", design.get());
  FakeRequest request;
  FakeList results;
  EXPECT_EQ(Run(search, request, results), 1u);
  EXPECT_TRUE(request.shown.empty());
  Xdm_ViewEditor(*design->GetView()).SetShapesAvailable(false);
  EXPECT_EQ(Run(search, request, results), 1u);
  EXPECT_TRUE(results.items.empty());
}

}  // namespace
