// The demo design (examples/demo.ncd.json) answers every query with the
// values written in the file.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "PM_PIC.h"
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmPin.h"
#include "Pds_PihDeviceUsage.h"
#include "Rf_Device.h"
#include "Tw_DlyMed.h"
#include "XCad_CadHelpers.h"
#include "XCad_CadPin.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_Partition.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_PropertyHolder.h"

namespace {

using namespace design_test;

class DemoDesign : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_demo = new Loaded(Load(DemoPath())); }
  static void TearDownTestSuite() {
    delete s_demo;
    s_demo = nullptr;
  }
  static Xdm_View* view() { return s_demo->view; }
  static XCad_CadView* cad() { return s_demo->cad(); }
  static Pds_PdmBlock* block(const std::string& path) {
    return dynamic_cast<Pds_PdmBlock*>(BlockAt(view(), path));
  }
  static Xdm_Pin* pin(const std::string& path, const char* name) {
    return BlockAt(view(), path)->GetPinByName(name);
  }
  static XCad_CadNetwork* net(const char* name) {
    return dynamic_cast<XCad_CadNetwork*>(NetNamed(view(), name));
  }
  static Xdm_Signal* signal(const std::string& path, const char* name) {
    for (Xdm_Signal* s : BlockAt(view(), path)->GetSignals()) {
      if (std::string(s->GetName()) == name) return s;
    }
    return nullptr;
  }
  static inline Loaded* s_demo = nullptr;
};

TEST_F(DemoDesign, CountsAndDenseBridgeIdsRoundTrip) {
  EXPECT_EQ(view()->GetMaxBlocks(), 24u);
  EXPECT_EQ(view()->GetMaxNetworks(), 17u);
  EXPECT_EQ(view()->GetMaxPins(), 56u);
  EXPECT_EQ(view()->GetMaxSignals(), 35u);
  EXPECT_EQ(view()->GetMaxPropertyHolders(), 3u);
  for (std::uint32_t id = 0; id < view()->GetMaxBlocks(); ++id) {
    EXPECT_EQ(Xdm_BridgeId::GetBridgeId(view()->GetBlockByBridgeId(id)), id);
  }
  for (std::uint32_t id = 0; id < view()->GetMaxPins(); ++id) {
    EXPECT_EQ(Xdm_BridgeId::GetBridgeId(view()->GetPinByBridgeId(id)), id);
  }
  for (std::uint32_t id = 0; id < view()->GetMaxSignals(); ++id) {
    EXPECT_EQ(Xdm_BridgeId::GetBridgeId(view()->GetSignalByBridgeId(id)), id);
  }
  for (std::uint32_t id = 0; id < view()->GetMaxNetworks(); ++id) {
    EXPECT_EQ(Xdm_BridgeId::GetBridgeId(view()->GetNetworkByBridgeId(id)), id);
  }
  for (std::uint32_t id = 0; id < view()->GetMaxPropertyHolders(); ++id) {
    EXPECT_EQ(Xdm_BridgeId::GetBridgeId(view()->GetPropertyHolderByBridgeId(id)), id);
  }
  EXPECT_EQ(view()->GetBlockByBridgeId(24), nullptr);
  EXPECT_EQ(view()->GetPinByBridgeId(0xFFFFFFFFu), nullptr);
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(static_cast<const Xdm_Block*>(nullptr)), 0xFFFFFFFFu);
  // File order: blocks depth first, each before its children.
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(block("u_cnt/c0/CARRY4")), 8u);
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(block("u_cnt/c1")), 9u);
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(net("GLOBAL_LOGIC0")), 11u);
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(pin("u_cnt", "CLK")), 8u);
}

TEST_F(DemoDesign, HierarchyLevelsAndClasses) {
  Xdm_Block* top = view()->GetBlock();
  ASSERT_NE(top, nullptr);
  EXPECT_STREQ(top->GetName(), "demo_counter");
  EXPECT_EQ(top->GetParent(), nullptr);
  EXPECT_EQ(top->GetView(), view());
  EXPECT_EQ(Names(top->GetBlocks()),
            "clk_ibuf u_cnt din din_ilogic dout_ologic dout q0 lvds_p lvds_n hm0 ip_secure");
  EXPECT_EQ(Names(top->GetBlockItr()), Names(top->GetBlocks()));
  EXPECT_EQ(Names(block("u_cnt/c0")->GetBlocks()), "A6LUT AFF B6LUT BFF CARRY4");
  EXPECT_TRUE(block("u_cnt/c1")->GetBlocks().empty());
  EXPECT_EQ(block("u_cnt/c0/AFF")->GetParent(), block("u_cnt/c0"));

  EXPECT_NE(dynamic_cast<XCad_CadBlock*>(top), nullptr);
  EXPECT_NE(dynamic_cast<XCad_CadNetwork*>(NetNamed(view(), "clk")), nullptr);
  EXPECT_NE(dynamic_cast<XCad_CadPin*>(pin("", "clk")), nullptr);
  EXPECT_NE(cad(), nullptr);

  EXPECT_EQ(block("")->GetHierLevel(), Pds_PdmBlock::HIER_LEVEL_TOP);
  EXPECT_EQ(block("u_cnt")->GetHierLevel(), Pds_PdmBlock::HIER_LEVEL_MODULE);
  EXPECT_EQ(block("hm0")->GetHierLevel(), Pds_PdmBlock::HIER_LEVEL_HARD_MACRO);
  EXPECT_TRUE(block("u_cnt/c0")->IsComp());
  EXPECT_FALSE(block("u_cnt/c0")->IsBel());
  EXPECT_TRUE(block("u_cnt/c0/AFF")->IsBel());
  EXPECT_TRUE(block("clk_ibuf")->IsExternal());
  EXPECT_FALSE(block("din_ilogic")->IsExternal());
}

TEST_F(DemoDesign, TypesConfigSecurityAndPartitions) {
  EXPECT_EQ(block("u_cnt")->GetTypeBlock(), nullptr);
  ASSERT_NE(block("u_cnt/c0")->GetTypeBlock(), nullptr);
  EXPECT_STREQ(block("u_cnt/c0")->GetTypeBlock()->GetTypeName(), "SLICEL");
  EXPECT_EQ(block("u_cnt/c0")->GetTypeBlock(), block("hm0/c1")->GetTypeBlock());
  EXPECT_STREQ(block("hm0")->GetTypeBlock()->GetTypeName(), "hm_pipe");

  auto* c0 = dynamic_cast<XCad_CadBlock*>(block("u_cnt/c0"));
  EXPECT_STREQ(c0->GetCmConfigStr(),
               "A6LUT:c0.A:#LUT:O6=~A1 B6LUT:c0.B:#LUT:O6=A1@A2 AFF:c0.AQ:#FF BFF:c0.BQ:#FF");
  EXPECT_STREQ(dynamic_cast<XCad_CadBlock*>(block("u_cnt/c1"))->GetCmConfigStr(), "");

  EXPECT_EQ(block("ip_secure")->GetNetlistSecurity(), 1);
  EXPECT_EQ(block("ip_secure")->GetConfigSecurity(), 0);
  EXPECT_EQ(block("ip_secure/core")->GetConfigSecurity(), 2);
  EXPECT_EQ(block("u_cnt")->GetNetlistSecurity(), 0);

  EXPECT_TRUE(Xdh_Partition::IsPartition(block("u_cnt")));
  EXPECT_FALSE(Xdh_Partition::IsPartition(block("hm0")));
  EXPECT_FALSE(Xdh_Partition::IsPartition(nullptr));
}

TEST_F(DemoDesign, FullNamesFollowPaths) {
  EXPECT_STREQ(view()->GetBlock()->GetFullName(), "demo_counter");
  EXPECT_STREQ(block("u_cnt")->GetFullName(), "u_cnt");
  EXPECT_STREQ(block("u_cnt/c0/AFF")->GetFullName(), "u_cnt/c0/AFF");
  EXPECT_STREQ(pin("u_cnt/c0/AFF", "CK")->GetFullName(), "u_cnt/c0/AFF/CK");
  EXPECT_STREQ(pin("", "clk")->GetFullName(), "clk");
  EXPECT_STREQ(signal("", "count<0>")->GetFullName(), "count<0>");
  EXPECT_STREQ(signal("u_cnt/c0", "aq")->GetFullName(), "u_cnt/c0/aq");
  // A network is named after its first signal.
  EXPECT_STREQ(net("hm_link")->GetFullName(), "hm0/link");
  EXPECT_STREQ(net("GLOBAL_LOGIC1")->GetFullName(), "u_cnt/c0/vcc_c");
  // The cached name is the same pointer every time.
  EXPECT_EQ(pin("u_cnt/c0/AFF", "CK")->GetFullName(), pin("u_cnt/c0/AFF", "CK")->GetFullName());
}

TEST_F(DemoDesign, PinsDirectionsLoadsAndExtendedTypes) {
  Xdm_Pin* ck = pin("u_cnt/c0/AFF", "CK");
  Xdm_Pin* q = pin("u_cnt/c0/AFF", "Q");
  Xdm_Pin* pad = pin("clk_ibuf", "PAD");
  EXPECT_EQ(pin("u_cnt/c0/AFF", "NOPE"), nullptr);
  EXPECT_EQ(Names(block("u_cnt/c0/AFF")->GetPinItr()), "D CK CE Q");
  EXPECT_EQ(Xdm_Parent::GetParentObject(ck), block("u_cnt/c0/AFF"));

  EXPECT_TRUE(ck->IsBlockInput());
  EXPECT_TRUE(ck->IsSignalLoad());
  EXPECT_TRUE(q->IsBlockOutput());
  EXPECT_FALSE(q->IsSignalLoad());
  EXPECT_TRUE(pad->IsBlockBidir());
  EXPECT_TRUE(pad->IsSignalLoad());

  auto pdm = [](Xdm_Pin* p) { return dynamic_cast<Pds_PdmPin*>(p); };
  EXPECT_TRUE(pdm(ck)->GetExtendedPinType().IsClock());
  EXPECT_FALSE(pdm(ck)->GetExtendedPinType().IsPad());
  EXPECT_TRUE(pdm(pad)->GetExtendedPinType().IsPad());
  EXPECT_TRUE(pdm(pin("u_cnt/c0/CARRY4", "CYINIT"))->IsImplicit());
  EXPECT_FALSE(pdm(ck)->IsImplicit());
}

TEST_F(DemoDesign, PinsSignalsAndNetworks) {
  Xdm_Pin* aq = pin("u_cnt/c0", "AQ");
  EXPECT_EQ(aq->GetSignal(), signal("u_cnt", "q0_i"));
  EXPECT_EQ(aq->GetChildSignal(), signal("u_cnt/c0", "aq"));
  EXPECT_EQ(aq->GetNetwork(), net("count<0>"));
  EXPECT_EQ(dynamic_cast<Pds_PdmPin*>(aq)->GetPrimaryNetwork(), net("count<0>"));
  // Without a signal, the child signal's network counts.
  EXPECT_EQ(pin("", "clk")->GetNetwork(), net("clk_pad"));
  EXPECT_EQ(pin("", "clk")->GetSignal(), nullptr);
  // Pins on signals without networks, and pins without signals.
  Xdm_Pin* onSignalWithoutNet = *signal("u_cnt/c0", "ad")->GetPinItr();
  ASSERT_NE(onSignalWithoutNet, nullptr);
  EXPECT_EQ(onSignalWithoutNet->GetNetwork(), nullptr);
  EXPECT_EQ(pin("", "din")->GetNetwork(), net("din_pad"));
  EXPECT_EQ(pin("u_cnt/c0/CARRY4", "CO3")->GetSignal(), nullptr);
  EXPECT_EQ(pin("u_cnt/c0/CARRY4", "CO3")->GetNetwork(), nullptr);

  EXPECT_EQ(FullNames(signal("u_cnt/c0", "aq")->GetPinItr()),
            "u_cnt/c0/AQ u_cnt/c0/A6LUT/A1 u_cnt/c0/AFF/Q u_cnt/c0/B6LUT/A1");
  EXPECT_EQ(FullNames(signal("", "clk")->GetPinItr()),
            "clk_ibuf/I u_cnt/CLK din_ilogic/CLK dout_ologic/CLK");
  EXPECT_EQ(Xdm_Parent::GetParentObject(signal("u_cnt", "q0_i")), block("u_cnt"));
  EXPECT_EQ(signal("u_cnt/c0", "ad")->GetNetwork(), nullptr);
  EXPECT_EQ(Names(block("u_cnt/c0")->GetSignals()), "clk_c aq bq ad bd vcc_c gnd_c");
  EXPECT_EQ(Names(block("u_cnt/c0")->GetSignalItr()), Names(block("u_cnt/c0")->GetSignals()));

  EXPECT_EQ(Names(view()->GetNetworkItr()),
            "clk count<0> count<1> din din_q dout lvds_diff lvds_in clk_pad hm_link "
            "GLOBAL_LOGIC1 GLOBAL_LOGIC0 din_pad dout_pad q0_pad lvds_p_pad lvds_n_pad");
  EXPECT_EQ(FullNames(net("clk")->GetSignalItr()),
            "clk u_cnt/clk_i u_cnt/c0/clk_c din_ilogic/ck_i dout_ologic/ck_o");
  EXPECT_EQ(net("clk")->GetParent(), view());
}

TEST_F(DemoDesign, NetworkTypesMastersAndRoutableFilter) {
  EXPECT_EQ(net("clk")->GetType(), 2);
  EXPECT_EQ(net("GLOBAL_LOGIC1")->GetType(), 1);
  EXPECT_EQ(net("GLOBAL_LOGIC0")->GetType(), 0);
  EXPECT_EQ(cad()->GetMasterVccNetwork(), net("GLOBAL_LOGIC1"));
  EXPECT_EQ(cad()->GetMasterGndNetwork(), net("GLOBAL_LOGIC0"));

  const XCad_CadHelpersRoutableNetworkFilter routable;
  EXPECT_TRUE(routable(net("clk")));
  EXPECT_FALSE(routable(net("clk_pad")));
  EXPECT_FALSE(routable(net("GLOBAL_LOGIC1")));
  EXPECT_FALSE(routable(nullptr));
}

TEST_F(DemoDesign, DevicePartCellsAndModeDefinitions) {
  Rf_Device* device = cad()->GetDevice();
  ASSERT_NE(device, nullptr);
  std::unique_ptr<char[]> part(device->GetPmPic()->get_partname());
  EXPECT_STREQ(part.get(), "xc5vlx50ff676-1");
  EXPECT_STREQ(device->GetName(), "xc5vlx50ff676-1");
  EXPECT_EQ(device->GetCells().size(), 19u);
  EXPECT_EQ(Names(device->GetClockRegions()), "X0Y0 X0Y1 X1Y0 X1Y1");
  EXPECT_EQ(device->GetCellDefs().size(), 9u);

  const Rf_Cell cell = device->FindCell("SLICE_X1Y1");
  ASSERT_TRUE(cell);
  EXPECT_STREQ(cell.GetName(), "SLICE_X1Y1");
  EXPECT_EQ(cell.GetIndex(), 17u);
  EXPECT_STREQ(cell.GetClockRegion()->GetName(), "X1Y1");
  EXPECT_EQ(device->FindCell("SLICE_X1Y2").GetClockRegion(), nullptr);
  EXPECT_FALSE(device->FindCell("SLICE_X9Y9"));
  EXPECT_FALSE(device->FindCell("SLICE_X9Y9").IsValid());

  Rf_UsageDef* usage = cell.GetCellDef()->GetUsageDef();
  EXPECT_STREQ(cell.GetCellDef()->GetName(), "SLICEL");
  ASSERT_EQ(usage->GetModeDefs().size(), 3u);
  EXPECT_TRUE(usage->GetModeDef("CLKINV").IsString());
  EXPECT_FALSE(usage->GetModeDef("CLKINV").IsHidden());
  EXPECT_TRUE(usage->GetModeDef("SRUSED").IsHidden());
  EXPECT_TRUE(usage->GetModeDef("SRUSED").IsValid());
  EXPECT_FALSE(usage->GetModeDef("PRECYINIT").IsValid());
  EXPECT_STREQ(usage->GetModeDefs()[2].GetName(), "PRECYINIT");
  EXPECT_FALSE(usage->GetModeDef("NOPE").IsValid());
}

TEST_F(DemoDesign, PlacementAndRoutingRecords) {
  XCad_RMed rmed(cad());
  EXPECT_STREQ(rmed.GetPlacement(block("u_cnt/c0")).GetName(), "SLICE_X0Y0");
  EXPECT_EQ(rmed.GetPlacement(block("u_cnt/c0/AFF")),
            cad()->GetDevice()->FindCell("SLICE_X0Y0.AFF"));
  EXPECT_STREQ(rmed.GetPlacement(block("din")).GetClockRegion()->GetName(), "X0Y1");
  EXPECT_FALSE(rmed.GetPlacement(block("u_cnt/c0/CARRY4")));
  EXPECT_FALSE(rmed.GetPlacement(block("u_cnt")));

  XCad_RMedRug* full = rmed.GetRug(net("clk"));
  ASSERT_NE(full, nullptr);
  EXPECT_TRUE(rmed.IsFullyRouted(full));
  EXPECT_EQ(full->GetNetwork(), net("clk"));
  EXPECT_EQ(full->GetFirstRugNode()->GetDriver(), pin("clk_ibuf", "I"));
  EXPECT_EQ(full->GetFirstRugNode()->GetNextRugNode(), nullptr);

  XCad_RMedRug* partial = rmed.GetRug(net("count<1>"));
  ASSERT_NE(partial, nullptr);
  EXPECT_FALSE(rmed.IsFullyRouted(partial));
  EXPECT_EQ(partial->GetFirstRugNode()->GetDriver(), pin("u_cnt", "Q1"));
  ASSERT_NE(partial->GetFirstRugNode()->GetNextRugNode(), nullptr);
  EXPECT_EQ(partial->GetFirstRugNode()->GetNextRugNode()->GetDriver(), nullptr);

  XCad_RMedRug* unrouted = rmed.GetRug(net("din_q"));
  ASSERT_NE(unrouted, nullptr);
  EXPECT_FALSE(rmed.IsFullyRouted(unrouted));
  EXPECT_EQ(unrouted->GetFirstRugNode()->GetDriver(), nullptr);
  EXPECT_EQ(unrouted->GetFirstRugNode()->GetNextRugNode(), nullptr);

  EXPECT_EQ(rmed.GetRug(net("lvds_in")), nullptr);
  EXPECT_FALSE(rmed.IsFullyRouted(nullptr));
}

TEST_F(DemoDesign, DelaysOfNetworksAndPins) {
  Tw_DlyMed delays(cad());
  int first = -1, second = -1;
  EXPECT_EQ(delays.GetDelay(net("clk"), &first, &second), Tw_DlyMed::DELAYTYPE_ROUTED);
  EXPECT_EQ(first, 2500);
  EXPECT_EQ(second, 2100);
  EXPECT_EQ(delays.GetDelay(net("din"), &first, &second), Tw_DlyMed::DELAYTYPE_ESTIMATED);
  EXPECT_EQ(first, 600);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(delays.GetDelay(net("count<1>"), &first, &second), Tw_DlyMed::DELAYTYPE_NONE);
  EXPECT_EQ(first, 0);

  EXPECT_EQ(delays.GetDelay(net("clk"), pin("u_cnt/c0", "CLK"), &first, &second),
            Tw_DlyMed::DELAYTYPE_ROUTED);
  EXPECT_EQ(first, 2400);
  EXPECT_EQ(delays.GetDelay(net("count<0>"), pin("q0", "O"), &first, &second),
            Tw_DlyMed::DELAYTYPE_ESTIMATED);
  EXPECT_EQ(first, 900);
  // A pin on another network, and a pin without a delay.
  EXPECT_EQ(delays.GetDelay(net("din"), pin("q0", "O"), &first, &second),
            Tw_DlyMed::DELAYTYPE_NONE);
  EXPECT_EQ(first, 0);
  EXPECT_EQ(delays.GetDelay(net("clk"), pin("u_cnt/c0/AFF", "CK"), &first, &second),
            Tw_DlyMed::DELAYTYPE_NONE);
  // The pin's child signal puts it on the network too.
  EXPECT_EQ(delays.GetDelay(net("din"), pin("din_ilogic", "D"), &first, &second),
            Tw_DlyMed::DELAYTYPE_ROUTED);
  EXPECT_EQ(first, 350);
}

TEST_F(DemoDesign, IoStandardsDriveAndSlew) {
  bool found = false;
  EXPECT_EQ(Pds_PahIoUsage::GetInputStandard(block("clk_ibuf"), found), "LVCMOS25");
  EXPECT_TRUE(found);
  EXPECT_EQ(Pds_PahIoUsage::GetOutputStandard(block("clk_ibuf"), found), "");
  EXPECT_FALSE(found);
  EXPECT_EQ(Pds_PahIoUsage::GetOutputStandard(block("dout"), found), "LVCMOS33");
  EXPECT_EQ(Pds_PahIoUsage::GetDriveStrength(block("dout"), found), "8");
  EXPECT_TRUE(found);
  EXPECT_EQ(Pds_PahIoUsage::GetSlew(block("q0"), found), "SLOW");
  EXPECT_EQ(Pds_PahIoUsage::GetInputStandard(block("lvds_n"), found), "LVDS_25");
  found = true;
  EXPECT_EQ(Pds_PahIoUsage::GetInputStandard(block("u_cnt/c0"), found), "");
  EXPECT_FALSE(found);
  found = true;
  EXPECT_EQ(Pds_PahIoUsage::GetSlew(nullptr, found), "");
  EXPECT_FALSE(found);
}

TEST_F(DemoDesign, GeneralConfigDataAndModes) {
  Pds_PdmUsage* aff = block("u_cnt/c0/AFF")->GetUsage();
  ASSERT_NE(aff, nullptr);
  EXPECT_TRUE(aff->SupportsGeneralConfigData());
  EXPECT_STREQ(aff->GetGeneralConfigData("SRVAL").GetValue(), "SRINIT0");
  EXPECT_STREQ(aff->GetGeneralConfigData("NOPE").GetValue(), "");
  EXPECT_THROW(aff->GetGeneralConfigData("SYNC_ATTR"), Pds_ExceptionInvalidConfig);
  EXPECT_STREQ(block("u_cnt/c0/A6LUT")->GetUsage()->GetGeneralConfigData("INIT").GetValue(),
               "64'h5555555555555555");
  EXPECT_EQ(block("u_cnt/c0/B6LUT")->GetUsage(), nullptr);

  const Rf_Usage lut = Pds_PihDeviceUsage::GetRfUsage(block("u_cnt/c0/A6LUT"), cad()->GetDevice());
  EXPECT_TRUE(lut.GetMode("EQN").IsValid());
  EXPECT_STREQ(lut.GetMode("EQN").GetEquation(), "O6=~A1");
  EXPECT_FALSE(lut.GetMode("INIT").IsValid());
  EXPECT_STREQ(
      Pds_PihDeviceUsage::GetRfUsage(block("u_cnt/c0/B6LUT"), nullptr).GetMode("EQN").GetEquation(),
      "O6=A1@A2");
  EXPECT_FALSE(
      Pds_PihDeviceUsage::GetRfUsage(block("u_cnt/c0/AFF"), nullptr).GetMode("EQN").IsValid());
}

TEST_F(DemoDesign, ShapesAndRelocation) {
  std::vector<Xdh_Shape> shapes;
  ASSERT_TRUE(Xdh_ShapeMgr::CreateShapeMgr(*view()).GetShapes(shapes));
  ASSERT_EQ(shapes.size(), 3u);
  std::vector<Xdm_Block*> blocks;
  EXPECT_TRUE(shapes[0].IsUserShape());
  EXPECT_EQ(shapes[0].GetReferenceBlock(), block("u_cnt/c0"));
  EXPECT_TRUE(shapes[0].GetBlocks(blocks));
  EXPECT_EQ(FullNames(blocks), "u_cnt/c0 u_cnt/c1");
  EXPECT_STREQ(shapes[0].GetNativeXdmObject()->GetName(), "rpm_cnt");
  EXPECT_EQ(shapes[0].GetNativeXdmObject(), view()->GetPropertyHolderByBridgeId(0));
  EXPECT_FALSE(shapes[1].IsUserShape());
  EXPECT_EQ(Xdm_BridgeId::GetBridgeId(shapes[1].GetNativeXdmObject()), 1u);
  EXPECT_EQ(shapes[2].GetReferenceBlock(), nullptr);
  EXPECT_FALSE(shapes[2].GetBlocks(blocks));
  EXPECT_TRUE(blocks.empty());

  XCad_Rho rho(cad());
  XCad_RhoNode* node = rho.GetRelocIsetNodeForBlock(block("hm0/c1"));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(rho.GetRelocIsetNodeForBlock(block("hm0")), node);
  EXPECT_EQ(rho.GetReferenceBlock(node), block("hm0/c0"));
  EXPECT_EQ(rho.GetRelocIsetNodeForBlock(block("u_cnt")), nullptr);
  EXPECT_EQ(rho.GetReferenceBlock(nullptr), nullptr);
}

TEST_F(DemoDesign, DesignInfoAndServiceCounters) {
  ASSERT_NE(view()->GetAppObject(), nullptr);
  EXPECT_STREQ(view()->GetAppObject()->GetName(), "demo_counter");
  EXPECT_STREQ(view()->GetAppObject()->GetTool(), "hand-written");

  const auto made = XCad_RMed::ConstructionCount();
  const auto live = XCad_RMed::LiveCount();
  {
    XCad_RMed a(cad());
    XCad_RMed b(cad());
    EXPECT_EQ(XCad_RMed::LiveCount(), live + 2);
    auto dly = std::make_unique<Tw_DlyMed>(cad());
    auto rho = std::make_unique<XCad_Rho>(cad());
    EXPECT_GE(Tw_DlyMed::LiveCount(), 1u);
    EXPECT_GE(XCad_Rho::ConstructionCount(), 1u);
  }
  EXPECT_EQ(XCad_RMed::ConstructionCount(), made + 2);
  EXPECT_EQ(XCad_RMed::LiveCount(), live);
}

}  // namespace
