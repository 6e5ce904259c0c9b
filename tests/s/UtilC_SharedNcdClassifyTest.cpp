// Block classification: bel type codes and subtypes, including the names
// that match several rows (the first row wins) and names that almost match.
#include <gtest/gtest.h>

#include <string>

#include "SharedNcdTestDesign.h"

namespace {

using namespace ncdtest;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Case {
  const char* type;
  std::uint32_t code;
  const char* subtype;  // of a bel of this type
};

const Case kCases[] = {
    {"A6LUT", 12, "LUT"},         {"LUT", 12, "LUT"},         {"BUFG_LUT", 12, "LUT"},
    {"SLICEL_AFF", 13, "FF"},     {"AFF", kNone, "AFF"},      {"SLICE", kNone, "SLICE"},
    {"RAMB36_PAD", 14, "PAD"},    {"RAMB36", 15, "RAMB"},     {"DSP48E", 16, "DSP48"},
    {"BUFGCTRL", 17, "BUFG"},     {"GTX_CARRY", 18, "GT"},    {"DCM_ADV", 19, "DCM"},
    {"PLL_ADV", 20, "PLL"},       {"BUFR", 21, "BUFR"},       {"IOBUF", 22, "BUF"},
    {"IOB", kNone, "IOB"},        {"IOBM", kNone, "IOBM"},    {"CARRY4", 32, "CARRY"},
    {"VCC_CARRY", 32, "CARRY"},   {"GND_VCC", 34, "GND"},     {"TIEVCC", 33, "VCC"},
    {"IODELAY", 23, "IODELAY"},   {"ISERDES", 24, "SERDES"},  {"BSCAN_VIRTEX5", 25, "BSCAN"},
    {"STARTUP", 26, "STARTUP"},   {"ICAP", 27, "ICAP"},       {"EMAC", 28, "EMAC"},
    {"CAPTURE", 29, "CAPTURE"},   {"USR_ACCESS_SITE", 30, "USRACCESS"},
    {"USRACCESS", kNone, "USRACCESS"},                        {"BUFDS", 31, "BUFDS"},
    {"BUFIO", kNone, "BUFIO"},    {"lut6", kNone, "lut6"},
};

// One comp "c" holding bel "b<i>" of kCases[i]'s type, an untyped bel, and
// a comp "lutcomp" whose type would match a row.
DesignPtr ClassifiedDesign() {
  std::string bels;
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    bels += R"({"name": "b)" + std::to_string(i) + R"(", "level": 4, "type": ")" + kCases[i].type + R"("},)";
  }
  return Load("", R"({"name": "t", "level": 0, "blocks": [
      {"name": "c", "type": "SLICEL", "level": 3, "blocks": [)" + bels +
                      R"({"name": "untyped", "level": 4}]},
      {"name": "lutcomp", "type": "A6LUT", "level": 3}]})");
}

TEST(SharedNcdClassify, BelsTakeTheFirstMatchingRow) {
  DesignPtr design = ClassifiedDesign();
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Pds_PdmBlock* bel = Block(*design, "c/b" + std::to_string(i));
    ASSERT_NE(bel, nullptr);
    EXPECT_EQ(design->GetBelTypeCode(bel), kCases[i].code) << kCases[i].type;
    EXPECT_STREQ(design->GetBlockSubtype(bel), kCases[i].subtype) << kCases[i].type;
  }
}

TEST(SharedNcdClassify, OtherBlocksShowTheirTypeName) {
  DesignPtr design = ClassifiedDesign();
  const Pds_PdmBlock* comp = Block(*design, "lutcomp");
  EXPECT_STREQ(design->GetBlockSubtype(comp), "A6LUT");
  EXPECT_EQ(design->GetBelTypeCode(comp), 12u);
  EXPECT_STREQ(design->GetBlockSubtype(Block(*design, "c")), "SLICEL");
  EXPECT_STREQ(design->GetBlockSubtype(Block(*design, "")), "");
  const Pds_PdmBlock* untyped = Block(*design, "c/untyped");
  EXPECT_STREQ(design->GetBlockSubtype(untyped), "");
  EXPECT_EQ(design->GetBelTypeCode(untyped), kNone);
  EXPECT_STREQ(design->GetBlockSubtype(nullptr), "");
  EXPECT_EQ(design->GetBelTypeCode(nullptr), kNone);
}

// A derived design that classifies every block as a RAMB: the subtype
// follows the code its object answers.
class RambDesign : public SharedNcd {
public:
  using SharedNcd::SharedNcd;
  std::uint32_t GetBelTypeCode(const Pds_PdmBlock*) override { return 15; }
};

TEST(SharedNcdClassify, SubtypeAsksTheObjectForTheCode) {
  DesignPtr design = ClassifiedDesign();
  DesignPtr ramb(new RambDesign(UtilC::SharedNcd::Key("ramb", {})));
  EXPECT_STREQ(ramb->GetBlockSubtype(Block(*design, "c/b0")), "RAMB");
  EXPECT_STREQ(ramb->GetBlockSubtype(Block(*design, "lutcomp")), "A6LUT");
}

}  // namespace
