// The view description (tests/support/ViewDescription.h) is the oracle that
// compares views: two loads of one design must describe alike, and a small
// change to any field of a design must show in the description.
#include "ViewDescription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <exception>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "DesignTestSupport.h"

namespace {

using design_test::DemoPath;
using design_test::Load;
using design_test::Loaded;
using design_test::TempDir;

std::string Describe(const std::string& path) {
  const Loaded loaded = Load(path);
  return DescribeView(*loaded.cad());
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// Names with any bytes are escaped: every line is printable.
bool Printable(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); });
}

// ---- two loads of each design

struct DesignFile {
  std::string label;  // a test name
  std::string path;
};

// The demo, the test designs, the fuzz corpus, and the imported examples
// but the largest (describing a design of a million objects takes seconds).
std::vector<DesignFile> DesignFiles() {
  std::vector<DesignFile> files = {{"demo", DemoPath()}};
  const std::pair<const char*, std::string> dirs[] = {
      {"data_", NCD_TEST_DATA},
      {"corpus_", std::string(NCD_TEST_DATA) + "/../fuzz/corpus"},
      {"ice40_", std::string(NCD_EXAMPLES) + "/ice40"},
  };
  for (const auto& [prefix, dir] : dirs) {
    std::vector<DesignFile> found;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
      const std::string name = entry.path().filename().string();
      const bool design = name.ends_with(".json") || name.ends_with(".ncd.json.gz");
      if (!entry.is_regular_file() || !design || entry.file_size() > (256 << 10)) continue;
      std::string label = prefix + name;
      std::replace_if(
          label.begin(), label.end(), [](unsigned char c) { return !std::isalnum(c); }, '_');
      found.push_back({label, entry.path().string()});
    }
    std::sort(found.begin(), found.end(),
              [](const DesignFile& a, const DesignFile& b) { return a.label < b.label; });
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

void PrintTo(const DesignFile& file, std::ostream* os) {
  *os << file.path;
}

class TwoLoads : public ::testing::TestWithParam<DesignFile> {};

// Two loads describe alike, and describing a view again (its full names,
// name index and mediators now in use) answers the same text.
TEST_P(TwoLoads, DescribeAlike) {
  const std::string path = GetParam().path;
  Loaded first;
  try {
    first = Load(path);
  } catch (const std::exception& e) {
    GTEST_SKIP() << "refused: " << e.what();
  }
  const Loaded second = Load(path);
  const std::string text = DescribeView(*first.cad());
  EXPECT_EQ(text, DescribeView(*second.cad()));
  EXPECT_EQ(text, DescribeView(*first.cad()));
  EXPECT_TRUE(Printable(text));
}

INSTANTIATE_TEST_SUITE_P(ViewDescription, TwoLoads, ::testing::ValuesIn(DesignFiles()),
                         [](const auto& info) { return info.param.label; });

// ---- one edit of the demo at a time

struct Edit {
  const char* name;
  const char* from;  // occurs once in the demo
  const char* to;
};

const Edit kEdits[] = {
    {"PinDirection", R"({"name": "I", "dir": "output", "signal": "clk"})",
     R"({"name": "I", "dir": "bidir", "signal": "clk"})"},
    {"PinName", R"("DIFFI_IN")", R"("DIFFI")"},
    {"PinDelay", R"("delay": 2400)", R"("delay": 2401)"},
    {"PinDelayType", R"("delay": 900, "delay_type": 1)", R"("delay": 900, "delay_type": 0)"},
    {"PinSignal", R"({"name": "CO3", "dir": "output"})",
     R"({"name": "CO3", "dir": "output", "signal": "bd"})"},
    {"PinClock", R"({"name": "CK", "clock": true, "signal": "ck_o"})",
     R"({"name": "CK", "signal": "ck_o"})"},
    {"PinPad", R"({"name": "PAD", "dir": "bidir", "pad": true, "signal": "lvds_n_pad"})",
     R"({"name": "PAD", "dir": "bidir", "signal": "lvds_n_pad"})"},
    {"PinImplicit", R"("implicit": true, )", ""},
    {"SignalNet", R"({"name": "ad"})", R"({"name": "ad", "net": "lvds_in"})"},
    {"SignalAdded", R"({"name": "bd"},)", R"({"name": "bd"}, {"name": "spare"},)"},
    {"NetDelay", R"("delay": 2500)", R"("delay": 2501)"},
    {"NetDelayMin", R"("delay_min": 2100)", R"("delay_min": 2000)"},
    {"NetDelayType", R"("delay": 600, "delay_type": 1)", R"("delay": 600, "delay_type": 0)"},
    {"NetRoute", R"("route": "partial")", R"("route": "full")"},
    {"NetUnrouted", R"("route": "unrouted")", R"("route": "partial")"},
    {"NetRoutable", R"({"name": "clk_pad", "routable": false})", R"({"name": "clk_pad"})"},
    {"NetMaster", R"("type": "power", "master": true)", R"("type": "power")"},
    {"NetType", R"({"name": "lvds_in"})", R"({"name": "lvds_in", "type": "power"})"},
    {"BlockConfig", R"("config": "hidden")", R"("config": "hidden ")"},
    {"BlockType", R"("type": "hm_pipe")", R"("type": "hm_pipe2")"},
    {"BlockLevel", R"("level": 3, "site": "SLICE_X0Y1")", R"("level": 4, "site": "SLICE_X0Y1")"},
    {"BlockSite", R"("site": "SLICE_X0Y1")", R"("site": "SLICE_X1Y2")"},
    {"BlockName", R"({"name": "q0", "type": "IOB")", R"({"name": "q\u0001", "type": "IOB")"},
    {"BlockExternal", R"("name": "lvds_n", "type": "IOB", "level": 3, "external": true)",
     R"("name": "lvds_n", "type": "IOB", "level": 3)"},
    {"BlockPartition", R"("level": 1, "partition": true,)", R"("level": 1,)"},
    {"NetlistSecurity", R"("netlist_security": 1)", R"("netlist_security": 0)"},
    {"ConfigSecurity", R"("config_security": 2)", R"("config_security": 1)"},
    {"GcdValue", R"("gcd": {"INIT": "INIT0", "SRVAL")", R"("gcd": {"INIT": "INIT1", "SRVAL")"},
    {"GcdInvalid", R"("gcd_invalid": ["SYNC_ATTR"])", R"("gcd_invalid": ["ASYNC_ATTR"])"},
    {"ModeEquation", R"("modes": {"EQN": "O6=~A1"})", R"("modes": {"EQN": "O6=A1"})"},
    {"BlockModeDefs", R"("modes": {"EQN": "O6=~A1"},)",
     R"("modes": {"EQN": "O6=~A1"}, "mode_defs": [{"name": "EQN"}],)"},
    {"IoStandard", R"("io": {"input_standard": "LVCMOS33"})",
     R"("io": {"input_standard": "LVCMOS25"})"},
    {"IoDrive", R"("drive": "8")", R"("drive": "6")"},
    {"IoSlew", R"("slew": "SLOW")", R"("slew": "FAST")"},
    {"IoReject", R"("io": {"input_standard": "LVCMOS33"})",
     R"("io": {"input_standard": "LVCMOS33", "reject": "corrupt_database"})"},
    {"CellCoordinates", R"({"name": "SLICE_X1Y2", "type": "SLICEL"})",
     R"({"name": "SLICE_X1Y2", "type": "SLICEL", "x": 1, "y": 2})"},
    {"CellIoPlace", R"({"name": "IOB_X1Y1", "type": "IOB", "clock_region": "X1Y0"})",
     R"({"name": "IOB_X1Y1", "type": "IOB", "clock_region": "X1Y0", "tile": "T",
         "package_pin": "J3", "bank": "3"})"},
    {"CellRegion", R"("type": "SLICEL", "clock_region": "X1Y1")",
     R"("type": "SLICEL", "clock_region": "X1Y0")"},
    {"CellRegionText", R"({"name": "SLICE_X1Y2", "type": "SLICEL"})",
     R"({"name": "SLICE_X1Y2", "type": "SLICEL", "clock_region_text": "X9Y9"})"},
    {"RegionBounds", R"("clock_regions": ["X0Y0", "X0Y1", "X1Y0", "X1Y1"],)",
     R"("clock_regions": ["X0Y0", "X0Y1", "X1Y0", "X1Y1"],
        "clock_region_bounds": [{"name": "X1Y1", "x_min": 1, "y_min": 1, "x_max": 2, "y_max": 2}],)"},
    {"ModeDefHidden", R"({"name": "SRUSED", "hidden": true})", R"({"name": "SRUSED"})"},
    {"ModeDefValid", R"({"name": "PRECYINIT", "valid": false})", R"({"name": "PRECYINIT"})"},
    {"ModeDefString", R"({"name": "IOSTANDARD", "string": true})", R"({"name": "IOSTANDARD"})"},
    {"CellDefModes", R"({"name": "ILOGIC", "modes": []})",
     R"({"name": "ILOGIC", "modes": [{"name": "DDR"}]})"},
    {"ShapeMember", R"("members": ["u_cnt/c0", "u_cnt/c1"])", R"("members": ["u_cnt/c0"])"},
    {"ShapeUser", R"("name": "rpm_cnt", "user": true,)", R"("name": "rpm_cnt",)"},
    {"ShapeReference", R"("reference": "hm0/c0", "members": ["hm0/c0", "hm0/c1"])",
     R"("reference": "hm0/c1", "members": ["hm0/c0", "hm0/c1"])"},
    {"ShapeMembersUnavailable", R"(, "members_unavailable": true)", ""},
    {"RelocationReference", R"({"reference": "hm0/c0", "members": ["hm0",)",
     R"({"reference": "hm0/c1", "members": ["hm0",)"},
    {"RelocationMembers", R"("members": ["hm0", "hm0/c0", "hm0/c1"])",
     R"("members": ["hm0/c0", "hm0/c1"])"},
    {"DesignTool", R"("tool": "hand-written")", R"("tool": "by hand")"},
    {"SpareIds", R"("relocation": [)", R"("faults": {"spare_ids": {"pins": 1}}, "relocation": [)"},
    {"ShapesUnavailable", R"("relocation": [)",
     R"("faults": {"shapes_unavailable": true}, "relocation": [)"},
};

void PrintTo(const Edit& edit, std::ostream* os) {
  *os << edit.name;
}

class DemoEdit : public ::testing::TestWithParam<Edit> {};

TEST_P(DemoEdit, ChangesTheDescription) {
  static const std::string demo = ReadFile(DemoPath());
  const Edit& edit = GetParam();
  std::string text = demo;
  const std::size_t at = text.find(edit.from);
  ASSERT_NE(at, std::string::npos);
  ASSERT_EQ(text.find(edit.from, at + 1), std::string::npos) << "occurs twice";
  text.replace(at, std::string(edit.from).size(), edit.to);
  const TempDir dir;
  const std::string edited = Describe(dir.Write("edited.ncd.json", text));
  EXPECT_NE(Describe(DemoPath()), edited);
  EXPECT_TRUE(Printable(edited));
}

INSTANTIATE_TEST_SUITE_P(ViewDescription, DemoEdit, ::testing::ValuesIn(kEdits),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
