// The situations the design format describes for the tests of its users:
// tests/data/format_cases.ncd.json and no_device.ncd.json, one case each,
// read back through the operations the shared designs use.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmPin.h"
#include "Pds_PihDeviceUsage.h"
#include "Rf_Device.h"
#include "Rf_Usage.h"
#include "XCad_CadHelpers.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_PropertyHolder.h"

namespace {

using namespace design_test;

class FormatCases : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { s_loaded = new Loaded(Load(DataPath("format_cases.ncd.json"))); }
  static void TearDownTestSuite() {
    delete s_loaded;
    s_loaded = nullptr;
  }
  static Xdm_View* View() { return s_loaded->view; }
  static Pds_PdmBlock* Block(const char* path) {
    return dynamic_cast<Pds_PdmBlock*>(BlockAt(View(), path));
  }
  static Loaded* s_loaded;
};
Loaded* FormatCases::s_loaded = nullptr;

TEST_F(FormatCases, PinWithoutDirectionIsNeitherInputOutputNorBidir) {
  const Xdm_Pin* pad = Block("io_drive_fails")->GetPinByName("PAD");
  ASSERT_NE(pad, nullptr);
  EXPECT_FALSE(pad->IsBlockInput());
  EXPECT_FALSE(pad->IsBlockOutput());
  EXPECT_FALSE(pad->IsBlockBidir());
  EXPECT_FALSE(pad->IsSignalLoad());
  EXPECT_EQ(pad->GetNetwork(), NetNamed(View(), "d"));
}

TEST_F(FormatCases, IoUsageRejectsChosenQueriesOrWithAForeignException) {
  bool found = false;
  const Pds_PdmBlock* some = Block("io_drive_fails");
  EXPECT_EQ(Pds_PahIoUsage::GetInputStandard(some, found), "LVDS_25");
  EXPECT_TRUE(found);
  EXPECT_EQ(Pds_PahIoUsage::GetSlew(some, found), "FAST");
  EXPECT_EQ(Pds_PahIoUsage::GetOutputStandard(some, found), "");
  EXPECT_FALSE(found);
  EXPECT_THROW(Pds_PahIoUsage::GetDriveStrength(some, found), Pds_ExceptionCorruptDatabase);

  const Pds_PdmBlock* other = Block("io_other");
  try {
    Pds_PahIoUsage::GetInputStandard(other, found);
    ADD_FAILURE() << "nothing thrown";
  } catch (const Port::Exception&) {
    ADD_FAILURE() << "an exception of the design library";
  } catch (const std::runtime_error& e) {
    EXPECT_STREQ(e.what(), "IO usage of block 'io_other' failed");
  }
}

TEST_F(FormatCases, SpareIdsRaiseTheMaximaAboveTheCounts) {
  Xdm_View* v = View();
  EXPECT_EQ(v->GetMaxBlocks(), 8u + 2u);
  EXPECT_EQ(v->GetMaxNetworks(), 4u + 1u);
  EXPECT_EQ(v->GetMaxPins(), 1u + 3u);
  EXPECT_EQ(v->GetMaxSignals(), 1u + 4u);
  EXPECT_EQ(v->GetMaxPropertyHolders(), 0u + 5u);
  EXPECT_NE(v->GetBlockByBridgeId(7), nullptr);
  EXPECT_EQ(v->GetBlockByBridgeId(8), nullptr);
  EXPECT_EQ(v->GetBlockByBridgeId(9), nullptr);
  EXPECT_EQ(v->GetNetworkByBridgeId(4), nullptr);
  EXPECT_EQ(v->GetPinByBridgeId(3), nullptr);
  // Lists hold the objects only.
  EXPECT_EQ(Names(v->GetNetworkItr()), "d vcc gnd vcc_fixed");
  EXPECT_EQ(Names(v->GetBlock()->GetBlocks()), "typeless io_drive_fails io_other slice hm");
}

TEST_F(FormatCases, EmptyTypeNameIsATypeAllTheSame) {
  const Pds_PdlBlock* type = Block("typeless")->GetTypeBlock();
  ASSERT_NE(type, nullptr);
  EXPECT_STREQ(type->GetTypeName(), "");
  EXPECT_EQ(Block("")->GetTypeBlock(), nullptr);
}

TEST_F(FormatCases, ClockRegionTextMayNameNoDeclaredRegion) {
  const Rf_Device* device = s_loaded->cad()->GetDevice();
  const Rf_Cell undeclared = device->FindCell("SLICE_X0Y1");
  EXPECT_STREQ(undeclared.GetClockRegionText(), "X9Y9");
  EXPECT_EQ(undeclared.GetClockRegion(), nullptr);
  EXPECT_EQ(device->FindClockRegion("X9Y9"), nullptr);
  const Rf_Cell none = device->FindCell("SLICE_X0Y2");
  EXPECT_STREQ(none.GetClockRegionText(), "None");
  EXPECT_STREQ(none.GetClockRegion()->GetName(), "X0Y0");
  EXPECT_STREQ(device->FindCell("SLICE_X0Y0").GetClockRegionText(), "X0Y0");
  EXPECT_STREQ(device->FindCell("IOB_X0Y0").GetClockRegionText(), "");
  EXPECT_STREQ(Rf_Cell().GetClockRegionText(), "");
}

// Two bels on one cell: the one with mode definitions of its own sees them
// through its placement, the other the cell type's.
TEST_F(FormatCases, BlockModeDefinitionsOverrideTheCellTypesForThatBlock) {
  XCad_RMed rmed(s_loaded->cad());
  const Rf_Cell own = rmed.GetPlacement(Block("slice/own_modes"));
  const Rf_Cell typed = rmed.GetPlacement(Block("slice/type_modes"));
  EXPECT_TRUE(own == typed);
  EXPECT_STREQ(own.GetName(), "SLICE_X0Y0");
  ASSERT_NE(own.GetCellDef(), typed.GetCellDef());
  EXPECT_STREQ(own.GetCellDef()->GetName(), "SLICEL");
  EXPECT_EQ(typed.GetCellDef(), s_loaded->cad()->GetDevice()->FindCellDef("SLICEL"));

  const Rf_UsageDef* ownDefs = own.GetCellDef()->GetUsageDef();
  EXPECT_EQ(ownDefs->GetModeDefs().size(), 2u);
  EXPECT_TRUE(ownDefs->GetModeDef("EQN").IsHidden());
  EXPECT_FALSE(ownDefs->GetModeDef("A6").IsValid());
  EXPECT_FALSE(ownDefs->GetModeDef("INIT").IsValid());
  EXPECT_FALSE(typed.GetCellDef()->GetUsageDef()->GetModeDef("EQN").IsHidden());
  // The comp on that cell has no definitions of its own.
  EXPECT_EQ(rmed.GetPlacement(Block("slice")).GetCellDef(), typed.GetCellDef());
  EXPECT_STREQ(Pds_PihDeviceUsage::GetRfUsage(Block("slice/own_modes"), nullptr)
                   .GetMode("EQN")
                   .GetEquation(),
               "O6=A1");
}

TEST_F(FormatCases, RelocationNodeWithoutReferenceBlock) {
  XCad_Rho rho(s_loaded->cad());
  const XCad_RhoNode* node = rho.GetRelocIsetNodeForBlock(Block("hm"));
  ASSERT_NE(node, nullptr);
  EXPECT_EQ(rho.GetReferenceBlock(node), nullptr);
}

TEST_F(FormatCases, PowerAndGroundNetsAreRoutableOnlyWhenMarked) {
  const XCad_CadHelpersRoutableNetworkFilter routable;
  EXPECT_TRUE(routable(NetNamed(View(), "d")));
  EXPECT_TRUE(routable(NetNamed(View(), "vcc")));
  EXPECT_FALSE(routable(NetNamed(View(), "gnd")));
  EXPECT_FALSE(routable(NetNamed(View(), "vcc_fixed")));
}

TEST(FormatCasesNoDevice, ViewWithoutDeviceAndWithoutShapes) {
  Loaded loaded = Load(DataPath("no_device.ncd.json"));
  EXPECT_EQ(loaded.cad()->GetDevice(), nullptr);
  XCad_RMed rmed(loaded.cad());
  EXPECT_FALSE(rmed.GetPlacement(BlockAt(loaded.view, "c")).IsValid());

  std::vector<Xdh_Shape> shapes{Xdh_Shape()};
  EXPECT_FALSE(Xdh_ShapeMgr::CreateShapeMgr(*loaded.view).GetShapes(shapes));
  EXPECT_TRUE(shapes.empty());
  // The shape is there all the same, under its bridge id.
  EXPECT_STREQ(loaded.view->GetPropertyHolderByBridgeId(0)->GetName(), "rpm");
}

}  // namespace
