// Editing a loaded view: what removal and replacement do to bridge ids,
// lists and the objects that refer to the edited ones. Each case runs on a
// parsed view and on one reopened from its snapshot, whose lists are read
// from the mapped snapshot until the first edit copies them.
#include "Xdm_ViewEditor.h"

#include <gtest/gtest.h>

#include <vector>

#include "DesignTestSupport.h"
#include "Pds_PahSnapshotCache.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Exception.h"
#include "Xdm_PropertyHolder.h"

namespace {

using namespace design_test;

class ViewEditor : public ::testing::TestWithParam<bool> {
 protected:
  ViewEditor() : m_cache(GetParam() ? "all" : "off"), m_demo(LoadDemo()), m_edit(*m_demo.view) {}
  // The second load of a cached design reads its snapshot.
  static Loaded LoadDemo() {
    if (GetParam()) Load(DemoPath());
    const auto opened = Pds_PahSnapshotCache::GetCounts().opened;
    Loaded loaded = Load(DemoPath());
    EXPECT_EQ(Pds_PahSnapshotCache::GetCounts().opened, opened + GetParam());
    return loaded;
  }
  Xdm_View* view() { return m_demo.view; }
  Xdm_Block* block(const char* path) { return BlockAt(view(), path); }
  std::vector<Xdh_Shape> Shapes(bool* available = nullptr) {
    std::vector<Xdh_Shape> shapes;
    const bool ok = Xdh_ShapeMgr::CreateShapeMgr(*view()).GetShapes(shapes);
    if (available) *available = ok;
    return shapes;
  }

  // The view's table of the signals' network ids agrees with the signals.
  void ExpectSignalNetworkIds() {
    const auto ids = view()->GetSignalNetworkIds();
    ASSERT_EQ(ids.size(), view()->GetMaxSignals());
    for (std::uint32_t id = 0; id < ids.size(); ++id) {
      const Xdm_Signal* signal = view()->GetSignalByBridgeId(id);
      const Xdm_Network* net = signal ? signal->GetNetwork() : nullptr;
      EXPECT_EQ(ids[id], net ? Xdm_BridgeId::GetBridgeId(net) : Xdm_BridgeId::kNone) << id;
    }
  }

  CacheScope m_cache;
  Loaded m_demo;
  Xdm_ViewEditor m_edit;
};
INSTANTIATE_TEST_SUITE_P(ParsedOrReopened, ViewEditor, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "Reopened" : "Parsed"; });

TEST_P(ViewEditor, RemoveBlockTakesItsSubtreeOutOfTheView) {
  Xdm_Block* c0 = block("u_cnt/c0");
  Xdm_Block* aff = block("u_cnt/c0/AFF");
  Xdm_Pin* ck = aff->GetPinByName("CK");
  const std::uint32_t pinId = Xdm_BridgeId::GetBridgeId(ck);
  m_edit.RemoveBlock(c0);

  EXPECT_EQ(view()->GetBlockByBridgeId(3), nullptr);
  EXPECT_EQ(view()->GetBlockByBridgeId(5), nullptr);
  EXPECT_EQ(view()->GetPinByBridgeId(pinId), nullptr);
  EXPECT_EQ(Names(block("u_cnt")->GetBlocks()), "c1");
  // Signals of the removed blocks left their networks; the parent's
  // signals lost the removed pins.
  EXPECT_EQ(FullNames(NetNamed(view(), "clk")->GetSignalItr()),
            "clk u_cnt/clk_i din_ilogic/ck_i dout_ologic/ck_o");
  EXPECT_EQ(FullNames(block("u_cnt")->GetSignals()[0]->GetPinItr()), "u_cnt/CLK");
  // The rest of the view is unchanged; stale objects still answer.
  EXPECT_EQ(view()->GetMaxBlocks(), 24u);
  EXPECT_STREQ(aff->GetName(), "AFF");
  EXPECT_STREQ(ck->GetFullName(), "u_cnt/c0/AFF/CK");
  // Shapes drop the removed block.
  std::vector<Xdm_Block*> members;
  EXPECT_TRUE(Shapes()[0].GetBlocks(members));
  EXPECT_EQ(FullNames(members), "u_cnt/c1");
  EXPECT_EQ(Shapes()[0].GetReferenceBlock(), nullptr);

  EXPECT_THROW(m_edit.RemoveBlock(c0), Xdm_Exception::Base);
  EXPECT_THROW(m_edit.RemoveBlock(view()->GetBlock()), Xdm_Exception::Base);
}

TEST_P(ViewEditor, ReplaceBlockKeepsIdPlaceAndLinks) {
  Xdm_Block* old = block("hm0/c0");
  Xdm_Pin* a1 = old->GetPinByName("A1");
  Xdm_Block* fresh = m_edit.ReplaceBlock(old);
  ASSERT_NE(fresh, old);
  EXPECT_EQ(view()->GetBlockByBridgeId(20), fresh);
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(fresh), 20u);
  EXPECT_STREQ(fresh->GetFullName(), "hm0/c0");
  EXPECT_EQ(block("hm0")->GetBlocks()[0], fresh);
  EXPECT_EQ(a1->GetParent(), fresh);
  EXPECT_EQ(fresh->GetPinByName("A1"), a1);
  EXPECT_EQ(Xdm_Parent::GetParentObject(fresh->GetSignals()[0]), fresh);
  // Placement travels with the block; shapes and relocation follow it.
  XCad_RMed rmed(m_demo.cad());
  EXPECT_STREQ(rmed.GetPlacement(fresh).GetName(), "SLICE_X1Y0");
  EXPECT_EQ(Shapes()[1].GetReferenceBlock(), fresh);
  XCad_Rho rho(m_demo.cad());
  EXPECT_EQ(rho.GetRelocIsetNodeForBlock(old), nullptr);
  EXPECT_EQ(rho.GetReferenceBlock(rho.GetRelocIsetNodeForBlock(fresh)), fresh);
  EXPECT_EQ(rho.GetReferenceBlock(rho.GetRelocIsetNodeForBlock(block("hm0/c1"))), fresh);
  // The old object stays readable but is no longer the view's.
  EXPECT_STREQ(old->GetName(), "c0");
  EXPECT_THROW(m_edit.ReplaceBlock(old), Xdm_Exception::Base);

  Xdm_Block* top = m_edit.ReplaceBlock(view()->GetBlock());
  EXPECT_EQ(view()->GetBlock(), top);
  EXPECT_EQ(block("u_cnt")->GetParent(), top);
}

TEST_P(ViewEditor, NetworksRemoveAndReplace) {
  ExpectSignalNetworkIds();
  Xdm_Network* clk = NetNamed(view(), "clk");
  Xdm_Signal* clkSignal = clk->GetSignalItr().Current();
  Xdm_Network* fresh = m_edit.ReplaceNetwork(clk);
  EXPECT_EQ(view()->GetNetworkByBridgeId(0), fresh);
  EXPECT_EQ(clkSignal->GetNetwork(), fresh);
  EXPECT_EQ(Names(view()->GetNetworkItr()).substr(0, 13), "clk count<0> ");
  EXPECT_EQ(view()->GetNetworkItr().Current(), fresh);
  XCad_RMed rmed(m_demo.cad());
  EXPECT_TRUE(rmed.IsFullyRouted(rmed.GetRug(dynamic_cast<XCad_CadNetwork*>(fresh))));

  Xdm_Network* vcc = NetNamed(view(), "GLOBAL_LOGIC1");
  m_edit.RemoveNetwork(vcc);
  EXPECT_EQ(view()->GetNetworkByBridgeId(10), nullptr);
  EXPECT_EQ(m_demo.cad()->GetMasterVccNetwork(), nullptr);
  EXPECT_EQ(view()->GetNetworkItr().Count(), 16u);
  EXPECT_EQ(BlockAt(view(), "u_cnt/c0/AFF")->GetPinByName("CE")->GetNetwork(), nullptr);
  ExpectSignalNetworkIds();
  EXPECT_THROW(m_edit.RemoveNetwork(vcc), Xdm_Exception::Base);
}

TEST_P(ViewEditor, PinsAndSignalsRemove) {
  Xdm_Block* aff = block("u_cnt/c0/AFF");
  Xdm_Pin* q = aff->GetPinByName("Q");
  m_edit.RemovePin(q);
  EXPECT_EQ(Names(aff->GetPinItr()), "D CK CE");
  EXPECT_EQ(aff->GetPinByName("Q"), nullptr);
  EXPECT_EQ(FullNames(q->GetSignal()->GetPinItr()),
            "u_cnt/c0/AQ u_cnt/c0/A6LUT/A1 u_cnt/c0/B6LUT/A1");

  // Removing a net's driver leaves its routing record without that driver.
  Xdm_Pin* driver = block("clk_ibuf")->GetPinByName("I");
  m_edit.RemovePin(driver);
  XCad_RMed rmed(m_demo.cad());
  auto* clk = dynamic_cast<XCad_CadNetwork*>(NetNamed(view(), "clk"));
  EXPECT_EQ(rmed.GetRug(clk)->GetFirstRugNode()->GetDriver(), nullptr);

  Xdm_Signal* aq = block("u_cnt/c0")->GetSignals()[1];
  Xdm_Pin* a1 = block("u_cnt/c0/A6LUT")->GetPinByName("A1");
  m_edit.RemoveSignal(aq);
  EXPECT_EQ(view()->GetSignalByBridgeId(Xdm_BridgeId::GetBridgeId(aq)), nullptr);
  EXPECT_EQ(Names(block("u_cnt/c0")->GetSignals()), "clk_c bq ad bd vcc_c gnd_c");
  EXPECT_EQ(a1->GetSignal(), nullptr);
  EXPECT_EQ(a1->GetSignalId(), Xdm_BridgeId::kNone);
  EXPECT_EQ(aq->GetNetwork(), nullptr);  // it is no longer the view's
  ExpectSignalNetworkIds();
  EXPECT_EQ(FullNames(NetNamed(view(), "count<0>")->GetSignalItr()), "count<0> u_cnt/q0_i");
  EXPECT_THROW(m_edit.RemoveSignal(aq), Xdm_Exception::Base);
  EXPECT_THROW(m_edit.RemovePin(q), Xdm_Exception::Base);

  // A net's full name is its first signal's, whichever that is now.
  Xdm_Network* clkNet = NetNamed(view(), "clk");
  EXPECT_STREQ(clkNet->GetFullName(), "clk");
  m_edit.RemoveSignal(clkNet->GetSignalItr().Current());
  EXPECT_STREQ(clkNet->GetFullName(), "u_cnt/clk_i");
}

TEST_P(ViewEditor, ShapesAddRemoveAndAvailability) {
  Xdm_PropertyHolder* added =
      m_edit.AddShape("rpm_hm", true, block("hm0/c0"), {block("hm0/c0"), block("hm0/c1")});
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(added), 3u);
  EXPECT_EQ(view()->GetPropertyHolderByBridgeId(3), added);
  ASSERT_EQ(Shapes().size(), 4u);
  EXPECT_TRUE(Shapes()[3].IsUserShape());
  EXPECT_THROW(m_edit.AddShape("rpm_hm", false, nullptr, {}), Xdm_Exception::Base);
  EXPECT_THROW(m_edit.AddShape("", false, nullptr, {}), Xdm_Exception::Base);

  Xdm_PropertyHolder* first = view()->GetPropertyHolderByBridgeId(0);
  m_edit.RemoveShape(first);
  EXPECT_EQ(view()->GetPropertyHolderByBridgeId(0), nullptr);
  ASSERT_EQ(Shapes().size(), 3u);
  EXPECT_STREQ(Shapes()[0].GetNativeXdmObject()->GetName(), "hm0_area");
  EXPECT_THROW(m_edit.RemoveShape(first), Xdm_Exception::Base);
  // HasShape answers what the list holds.
  const Xdh_ShapeMgr shapes = Xdh_ShapeMgr::CreateShapeMgr(*view());
  for (const Xdh_Shape& shape : Shapes())
    EXPECT_TRUE(shapes.HasShape(shape.GetNativeXdmObject()));
  EXPECT_TRUE(shapes.HasShape(added));
  EXPECT_FALSE(shapes.HasShape(first));
  EXPECT_FALSE(shapes.HasShape(nullptr));

  bool available = true;
  m_edit.SetShapesAvailable(false);
  EXPECT_TRUE(Shapes(&available).empty());
  EXPECT_FALSE(available);
  EXPECT_FALSE(shapes.HasShape(added));
  m_edit.SetShapesAvailable(true);
  EXPECT_EQ(Shapes(&available).size(), 3u);
  EXPECT_TRUE(available);
  EXPECT_TRUE(shapes.HasShape(added));
}

TEST_P(ViewEditor, MaximaOnlyGrow) {
  m_edit.GrowMaxBlocks(30);
  m_edit.GrowMaxNetworks(25);
  EXPECT_EQ(view()->GetMaxBlocks(), 30u);
  EXPECT_EQ(view()->GetMaxNetworks(), 25u);
  EXPECT_EQ(view()->GetBlockByBridgeId(29), nullptr);
  EXPECT_EQ(view()->GetNetworkByBridgeId(17), nullptr);
  EXPECT_NE(view()->GetBlockByBridgeId(23), nullptr);
  m_edit.GrowMaxBlocks(5);
  EXPECT_EQ(view()->GetMaxBlocks(), 30u);
}

TEST(ViewEditorAcrossViews, ObjectsOfAnotherViewAreRefused) {
  Loaded a = Load(DemoPath());
  Loaded b = Load(DemoPath());
  Xdm_ViewEditor edit(*a.view);
  EXPECT_THROW(edit.RemoveBlock(BlockAt(b.view, "u_cnt")), Xdm_Exception::Base);
  EXPECT_THROW(edit.RemovePin(nullptr), Xdm_Exception::Base);
  EXPECT_THROW(edit.AddShape("s", false, BlockAt(b.view, "u_cnt"), {}), Xdm_Exception::Base);
  EXPECT_NE(BlockAt(b.view, "u_cnt"), nullptr);
}

}  // namespace
