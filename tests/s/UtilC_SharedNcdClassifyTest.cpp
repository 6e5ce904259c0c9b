// Block classification: bel type codes and subtypes, including names that
// match several rows (the first row wins) and names that almost match.
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
    {"A6LUT", 12, "LUT"},
    {"LUT", 12, "LUT"},
    {"BUFG_LUT", 12, "LUT"},
    {"SLICEL_AFF", 13, "FF"},
    {"AFF", kNone, "AFF"},
    {"RAMB36_PAD", 14, "PAD"},
    {"RAMB36", 15, "RAMB"},
    {"DSP48E", 16, "DSP48"},
    {"BUFGCTRL", 17, "BUFG"},
    {"GTX_CARRY", 18, "GT"},
    {"DCM_ADV", 19, "DCM"},
    {"PLL_ADV", 20, "PLL"},
    {"BUFR", 21, "BUFR"},
    {"IOBUF", 22, "BUF"},
    {"IOB", kNone, "IOB"},
    {"IOBM", kNone, "IOBM"},
    {"CARRY4", 32, "CARRY"},
    {"VCC_CARRY", 32, "CARRY"},
    {"GND_VCC", 34, "GND"},
    {"TIEVCC", 33, "VCC"},
    {"IODELAY", 23, "IODELAY"},
    {"ISERDES", 24, "SERDES"},
    {"BSCAN", 25, "BSCAN"},
    {"STARTUP", 26, "STARTUP"},
    {"ICAP", 27, "ICAP"},
    {"EMAC", 28, "EMAC"},
    {"CAPTURE", 29, "CAPTURE"},
    {"USR_ACCESS_SITE", 30, "USRACCESS"},
    {"USRACCESS", kNone, "USRACCESS"},
    {"BUFDS", 31, "BUFDS"},
    {"BUFIO", kNone, "BUFIO"},
    {"lut6", kNone, "lut6"},
};

TEST(SharedNcdClassify, BelsTakeTheFirstMatchingRowOtherBlocksShowTheirTypeName) {
  std::string bels;
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    bels += R"({"name": "b)" + std::to_string(i) + R"(", "level": 4, "type": ")" + kCases[i].type +
            R"("}, )";
  }
  DesignPtr d = Load(
      "",
      R"({"name": "t", "level": 0, "blocks": [{"name": "c", "type": "SLICEL", "level": 3,
      "blocks": [)" +
          bels +
          R"({"name": "untyped", "level": 4}]}, {"name": "lc", "type": "A6LUT", "level": 3}]})");
  for (std::size_t i = 0; i < std::size(kCases); ++i) {
    const Pds_PdmBlock* bel = Block(*d, "c/b" + std::to_string(i));
    EXPECT_EQ(d->GetBelTypeCode(bel), kCases[i].code) << kCases[i].type;
    EXPECT_STREQ(d->GetBlockSubtype(bel), kCases[i].subtype) << kCases[i].type;
  }
  EXPECT_STREQ(d->GetBlockSubtype(Block(*d, "lc")), "A6LUT");  // a comp, though its type matches
  EXPECT_EQ(d->GetBelTypeCode(Block(*d, "lc")), 12u);
  EXPECT_STREQ(d->GetBlockSubtype(Block(*d, "c")), "SLICEL");
  EXPECT_STREQ(d->GetBlockSubtype(Block(*d, "c/untyped")), "");
  EXPECT_EQ(d->GetBelTypeCode(Block(*d, "c/untyped")), kNone);
  EXPECT_STREQ(d->GetBlockSubtype(nullptr), "");
  EXPECT_EQ(d->GetBelTypeCode(nullptr), kNone);
}

}  // namespace
