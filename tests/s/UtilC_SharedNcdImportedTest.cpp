// Designs imported from the open iCE40 flow answer the shared design's
// questions as docs/import.md says: IOB directions and standards,
// visibility, pin counts and the classification of the imported types.
#include <gtest/gtest.h>

#include <string>

#include "SharedNcdTestDesign.h"

namespace {

using namespace ncdtest;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

DesignPtr Example(const char* name) {
  return LoadFile(std::string(NCD_EXAMPLES) + "/ice40/" + name + ".ncd.json.gz");
}

TEST(ImportedDesign, IobsAnswerTheirPortsDirectionAndStandard) {
  DesignPtr d = Example("alu");
  const std::pair<const char*, const char*> directions[] = {
      {"a[0]", "Input"}, {"op[2]", "Input"}, {"y[7]", "Output"}, {"zero", "Output"},
      {"sda", "InOut"},  {"seen", "Output"}, {"clk", "Input"}};
  for (const auto& [iob, direction] : directions) {
    Pds_PdmBlock* block = Block(*d, iob);
    ASSERT_NE(block, nullptr) << iob;
    EXPECT_STREQ(d->GetIoDirection(block), direction) << iob;
    EXPECT_STREQ(d->GetIoStandard(block), "SB_LVCMOS") << iob;
    EXPECT_FALSE(d->IsDiffPairIob(block)) << iob;
  }
  // A logic cell is no IOB.
  Pds_PdmBlock* lc = nullptr;
  for (Xdm_Block* b : d->GetView()->GetBlock()->GetBlockItr()) {
    if (auto* p = static_cast<Pds_PdmBlock*>(b); p->IsComp() && !p->IsExternal()) lc = p;
  }
  ASSERT_NE(lc, nullptr);
  EXPECT_STREQ(d->GetIoDirection(lc), "");
}

TEST(ImportedDesign, ClassificationOfTheImportedTypes) {
  DesignPtr d = Example("counter");
  const std::string lc = "u_cnt/count_SB_LUT4_I2_5_LC";
  const struct {
    std::string path;
    std::uint32_t code;
    const char* subtype;
  } cases[] = {{lc, kNone, "ICESTORM_LC"},
               {lc + "/LUT", kNone, "SB_LUT4"},
               {lc + "/DFF", kNone, "SB_DFFESR"},
               {lc + "/CARRY", 32, "CARRY"},
               {"led[0]", kNone, "SB_IO"},
               {"$gbuf_clk$SB_IO_IN_$glb_clk", kNone, "SB_GB"},
               {"u_cnt", kNone, ""}};
  for (const auto& c : cases) {
    Pds_PdmBlock* block = Block(*d, c.path);
    ASSERT_NE(block, nullptr) << c.path;
    EXPECT_EQ(d->GetBelTypeCode(block), c.code) << c.path;
    EXPECT_STREQ(d->GetBlockSubtype(block), c.subtype) << c.path;
  }
  DesignPtr fill = Example("fill");
  Pds_PdmBlock* ram = Block(*fill, "u_ram/mem.0.0_RAM/RAM");
  ASSERT_NE(ram, nullptr);
  EXPECT_STREQ(fill->GetBlockSubtype(ram), "SB_RAM40_4K");
}

// Pin counts count the bel pins a net loads: the counter's clock reaches
// the flip-flops of its 16-bit prescaler and 8-bit counter.
TEST(ImportedDesign, PinCountsAndVisibility) {
  DesignPtr d = Example("counter");
  EXPECT_EQ(d->GetPinCount(Net(*d, "clk$SB_IO_IN_$glb_clk")), 24u);
  EXPECT_EQ(d->GetPinCount(Net(*d, "rst$SB_IO_IN_$glb_sr")), 24u);
  EXPECT_EQ(d->GetPinCount(Net(*d, "clk$SB_IO_IN")), 1u);  // the global buffer's input
  // A pad net: the IO's bidirectional pad counts, the output port does not.
  EXPECT_EQ(d->GetPinCount(Net(*d, "q[7]")), 1u);
  EXPECT_EQ(d->GetPinCount(Net(*d, "run")), 2u);  // the pad and the input port
  std::uint32_t visible = 0, nets = 0;
  for (Xdm_Network* net : d->GetView()->GetNetworkItr()) {
    ++nets;
    visible += d->IsNetVisible(net) ? 1 : 0;
  }
  EXPECT_EQ(nets, 79u);
  EXPECT_EQ(visible, nets);  // nothing is secured, every net has pins
  EXPECT_EQ(d->IsBlockVisible(Block(*d, "u_cnt/count_SB_LUT4_I2_5_LC/DFF")), 1u);
  EXPECT_EQ(d->IsPinVisible(Pin(*d, "led[0]", "PACKAGE_PIN")), 1u);
}

}  // namespace
