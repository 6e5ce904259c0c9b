// The importer's mapping, rule by rule, on small netlists written for each
// rule; and the LUT equations, checked against every table.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>

#include "LutEquation.h"
#include "NcdImport.h"
#include "NcdImportTestInput.h"
#include "NcdImport_Input.h"
#include "NcdImport_Lut.h"
#include "TestDesigns.h"

namespace {

using namespace ncdimport_test;
using NcdImport::Block;
using NcdImport::Design;
using NcdImport::Pin;

struct Imported {
  Design design;
  NcdImport::Notes notes;
  std::uint64_t Count(const std::string& kind) const {
    const auto* k = notes.Find(kind);
    return k ? k->count : 0;
  }
};

class Import : public ::testing::Test {
 protected:
  Imported Run(const std::string& netlist, const std::string& pcf = {},
               const std::string& sdf = {}) {
    NcdImport::Inputs in;
    in.netlist = m_dir.Write("design.pnr.json", netlist);
    if (!pcf.empty()) in.pcf = m_dir.Write("design.pcf", pcf);
    if (!sdf.empty()) in.sdf = m_dir.Write("design.sdf", sdf);
    Imported out;
    out.design = NcdImport::Import(in, out.notes);
    std::string refusal;
    WriteAndLoad(out.design, m_dir, refusal);
    EXPECT_EQ(refusal, "") << "the loader refuses what the importer wrote";
    return out;
  }
  ncdtest::TempDir m_dir;
};

const Block* Find(const Block& top, const std::string& path) {
  const Block* b = &top;
  for (std::size_t start = 0; b && start < path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, end - start);
    const Block* next = nullptr;
    for (const auto& child : b->blocks) {
      if (child->name == name) next = child.get();
    }
    b = next;
    start = end + 1;
  }
  return b;
}

const Pin* PinOf(const Block* block, const std::string& name) {
  if (!block) return nullptr;
  for (const Pin& p : block->pins) {
    if (p.name == name) return &p;
  }
  return nullptr;
}

std::string Gcd(const Block* block, const std::string& key) {
  for (const auto& [k, v] : block->gcd) {
    if (k == key) return v;
  }
  return "(none)";
}

const NcdImport::Net* NetNamed(const Design& d, const std::string& name) {
  for (const auto& n : d.nets) {
    if (n.name == name) return &n;
  }
  return nullptr;
}

std::vector<NetDesc> Nets(std::initializer_list<int> bits,
                          const std::string& routing = "X1/Y1/w;;1") {
  std::vector<NetDesc> nets;
  for (int b : bits)
    nets.push_back({"n" + std::to_string(b), b, routing});
  return nets;
}

TEST_F(Import, LogicCellHasItsLutFlipFlopAndCarryBels) {
  CellDesc lc = Lc("u_core.sum_LC", "X1/Y1/lc2", true, true);
  lc.inputs = {{"I1", 11}, {"I2", 12}, {"CIN", 13}, {"CLK", 14}, {"CEN", 15}, {"SR", 16}};
  lc.outputs = {{"O", 17}, {"COUT", 18}};
  const Imported r = Run(Netlist({}, {lc}, Nets({11, 12, 13, 14, 15, 16, 17, 18})));
  const Block* comp = Find(r.design.top, "u_core/sum_LC");
  ASSERT_NE(comp, nullptr);
  EXPECT_EQ(comp->parent->level, 1);
  EXPECT_EQ(comp->level, 3);
  EXPECT_EQ(comp->type, "ICESTORM_LC");
  EXPECT_EQ(comp->site, "X1/Y1/lc2");
  EXPECT_EQ(comp->config, "LUT:#LUT:O=I0@I1@I2@I3 DFF:#SB_DFFESR CARRY:#SB_CARRY");
  EXPECT_EQ(Gcd(comp, "LUT_INIT"), "0110100110010110");
  ASSERT_EQ(comp->blocks.size(), 3u);
  const Block& lut = *comp->blocks[0];
  const Block& dff = *comp->blocks[1];
  const Block& carry = *comp->blocks[2];
  EXPECT_EQ(lut.type + " " + dff.type + " " + carry.type, "SB_LUT4 SB_DFFESR SB_CARRY");
  EXPECT_EQ(lut.level, 4);
  ASSERT_EQ(lut.modes.size(), 1u);
  EXPECT_EQ(lut.modes[0].second, "O=I0@I1@I2@I3");
  // The LUT feeds the flip-flop through a signal without a net.
  EXPECT_EQ(PinOf(&lut, "O")->signal, "LUT_O");
  EXPECT_EQ(PinOf(&dff, "D")->signal, "LUT_O");
  const auto link = std::find_if(comp->signals.begin(), comp->signals.end(),
                                 [](const NcdImport::Signal& s) { return s.name == "LUT_O"; });
  ASSERT_NE(link, comp->signals.end());
  EXPECT_EQ(link->net, "");
  EXPECT_EQ(PinOf(&dff, "Q")->signal, "O");
  EXPECT_EQ(PinOf(&dff, "R")->signal, "SR");
  EXPECT_TRUE(PinOf(&dff, "C")->clock);
  EXPECT_EQ(PinOf(&carry, "I0")->signal, "I1");
  EXPECT_EQ(PinOf(&carry, "I1")->signal, "I2");
  EXPECT_EQ(PinOf(&carry, "CO")->dir, NcdImport::Dir::Out);
  // The comp's pins join the module's signals to the comp's own.
  const Pin* clk = PinOf(comp, "CLK");
  EXPECT_EQ(clk->signal, "n14");
  EXPECT_EQ(clk->child, "CLK");
  EXPECT_TRUE(clk->clock);
  EXPECT_EQ(comp->pins.size(), 8u);
}

TEST_F(Import, FlipFlopTypeFollowsItsFlags) {
  struct Case {
    const char *neg, *async, *set;
    bool cen, sr;
    const char *type, *srPin;
  };
  const Case cases[] = {{"0", "0", "0", false, false, "SB_DFF", ""},
                        {"1", "0", "0", true, false, "SB_DFFNE", ""},
                        {"0", "1", "0", false, true, "SB_DFFR", "R"},
                        {"0", "1", "1", true, true, "SB_DFFES", "S"},
                        {"1", "0", "1", false, true, "SB_DFFNSS", "S"},
                        {"0", "0", "0", true, true, "SB_DFFESR", "R"}};
  for (const Case& c : cases) {
    CellDesc lc = Lc("ff", "X1/Y1/lc0", true, false);
    lc.params["NEG_CLK"] = c.neg;
    lc.params["ASYNC_SR"] = c.async;
    lc.params["SET_NORESET"] = c.set;
    lc.inputs = {{"I0", 2}, {"CLK", 3}};
    if (c.cen) lc.inputs.push_back({"CEN", 4});
    if (c.sr) lc.inputs.push_back({"SR", 5});
    lc.outputs = {{"O", 6}};
    const Imported r = Run(Netlist({}, {lc}, Nets({2, 3, 4, 5, 6})));
    const Block* dff = Find(r.design.top, "ff/DFF");
    ASSERT_NE(dff, nullptr) << c.type;
    EXPECT_EQ(dff->type, c.type);
    EXPECT_EQ(PinOf(dff, "E") != nullptr, c.cen) << c.type;
    if (c.sr) {
      EXPECT_NE(PinOf(dff, c.srPin), nullptr) << c.type;
    }
  }
}

// A pin is a clock where its primitive clocks on it: C is the flip-flop's
// clock but one of SB_MAC16's data inputs.
TEST_F(Import, ClockPinsAreThoseEachPrimitiveClocksOn) {
  CellDesc lc = Lc("ff", "X1/Y1/lc0", true, false);
  lc.inputs = {{"I0", 2}, {"CLK", 3}};
  lc.outputs = {{"O", 4}};
  CellDesc dsp{
      "mac", "ICESTORM_DSP", "X0/Y5/mac16_0", {}, {{"O", 5}}, {{"CLK", 3}, {"C", 2}, {"A", 4}}, {},
      {}};
  const Imported r = Run(Netlist({}, {lc, dsp}, Nets({2, 3, 4, 5}), "up5k", "sg48"));
  std::vector<std::string> clocks;
  for (const char* path : {"ff", "ff/DFF", "ff/LUT", "mac", "mac/MAC16"}) {
    for (const Pin& pin : Find(r.design.top, path)->pins)
      if (pin.clock) clocks.push_back(std::string(path) + ":" + pin.name);
  }
  EXPECT_EQ(clocks, (std::vector<std::string>{"ff:CLK", "ff/DFF:C", "mac:CLK", "mac/MAC16:CLK"}));
}

// The design and its top block take the top module's hdlname, else the
// module's name.
TEST_F(Import, TheDesignIsNamedAfterTheTopModule) {
  const std::pair<std::string, std::string> cases[] = {
      {R"("\\chip")", "chip"}, {R"("core")", "core"}, {R"("")", "top"}, {R"("\\")", "top"}};
  for (const auto& [hdlname, name] : cases) {
    std::string netlist = Netlist({}, {}, {});
    const std::string given = R"("hdlname": "\\chip")";
    netlist.replace(netlist.find(given), given.size(), R"("hdlname": )" + hdlname);
    const Imported r = Run(netlist);
    EXPECT_EQ(r.design.name, name) << hdlname;
    EXPECT_EQ(r.design.top.name, name) << hdlname;
  }
}

// Parameters that are JSON numbers (yosys -compat-int) are decimal, not
// the binary digits nextpnr writes.
TEST_F(Import, ParametersThatAreJsonNumbersAreDecimal) {
  CellDesc lc = Lc("ff", "X1/Y1/lc0", false, false, "1000");
  lc.params["DFF_ENABLE"] = "2";
  lc.inputs = {{"I0", 2}, {"CLK", 3}};
  lc.outputs = {{"O", 6}};
  std::string netlist = Netlist({}, {lc}, Nets({2, 3, 6}));
  for (const std::string key : {"LUT_INIT", "DFF_ENABLE"}) {
    const std::string quoted = "\"" + key + "\": \"";
    const std::size_t value = netlist.find(quoted) + quoted.size();
    netlist.erase(netlist.find('"', value), 1);
    netlist.erase(value - 1, 1);
  }
  const Imported r = Run(netlist);
  EXPECT_EQ(Gcd(Find(r.design.top, "ff"), "LUT_INIT"), "1000");
  EXPECT_EQ(Gcd(Find(r.design.top, "ff/LUT"), "EQN"), NcdImport::LutEquation(1000));
  EXPECT_NE(Find(r.design.top, "ff/DFF"), nullptr);
}

TEST_F(Import, EveryKindOfBelAndTheDeviceGrid) {
  CellDesc lc = Lc("lc", "X1/Y1/lc0", false, false);
  lc.inputs = {{"I0", 2}};
  lc.outputs = {{"O", 3}};
  CellDesc io{"io", "SB_IO", "X0/Y1/io0", {{"IO_STANDARD", "SB_LVCMOS"}}, {{"D_IN_0", 2}},
              {},   {},      {}};
  CellDesc ram{"mem",
               "ICESTORM_RAM",
               "X3/Y1/ram",
               {{"READ_MODE", "0"}},
               {{"RDATA_0", 4}},
               {{"RADDR_0", 3}, {"RCLK", 5}},
               {},
               {}};
  CellDesc gb{"gb",
              "SB_GB",
              "X0/Y8/gb",
              {},
              {{"GLOBAL_BUFFER_OUTPUT", 5}},
              {{"USER_SIGNAL_TO_GLOBAL_BUFFER", 6}},
              {},
              {}};
  const Imported r = Run(Netlist({}, {lc, io, ram, gb}, Nets({2, 3, 4, 5, 6})));
  const Design& d = r.design;
  EXPECT_EQ(d.part, "iCE40HX1K-TQ144");
  EXPECT_EQ(d.name, "chip");
  EXPECT_EQ(d.tool, "test flow");
  std::map<std::string, int> byType;
  for (const auto& cell : d.cells)
    ++byType[cell.type];
  const std::map<std::string, int> expected = {
      {"LOGIC", 160},      {"ICESTORM_LC", 1280}, {"IO", 56},           {"SB_IO", 112},
      {"RAMB", 8 * 2},     {"RAMT", 8 * 2},       {"ICESTORM_RAM", 16}, {"SB_GB", 8},
      {"ICESTORM_PLL", 1}, {"SB_WARMBOOT", 1}};
  EXPECT_EQ(byType, expected);
  std::vector<std::string> regions;
  for (const NcdImport::Region& r : d.regions)
    regions.push_back(r.name + " " + std::to_string(r.xMin) + "," + std::to_string(r.yMin) + ".." +
                      std::to_string(r.xMax) + "," + std::to_string(r.yMax));
  EXPECT_EQ(regions, (std::vector<std::string>{"X0Y0 0,0..6,8", "X0Y1 0,9..6,17", "X1Y0 7,0..13,8",
                                               "X1Y1 7,9..13,17"}));
  // Where each cell lies; IO cells have the package's pin and their bank.
  std::map<std::string, std::string> where;
  for (const auto& c : d.cells)
    where[c.name] = c.region + " " + std::to_string(c.x) + " " + std::to_string(c.y) + " " +
                    c.tile + " " + c.packagePin + " " + c.bank;
  EXPECT_EQ(where["X1/Y1/lc0"], "X0Y0 1 1 X1/Y1  ");
  EXPECT_EQ(where["X12/Y16/lc7"], "X1Y1 12 16 X12/Y16  ");
  EXPECT_EQ(where["X0/Y8/gb"], "X0Y0 0 8 X0/Y8  ");
  EXPECT_EQ(where["X0/Y8/io1"], "X0Y0 0 8 X0/Y8 21 3");        // the iCEstick's clock pin, left
  EXPECT_EQ(where["X13/Y12/io1"], "X1Y1 13 12 X13/Y12 99 1");  // its first LED, right
  EXPECT_EQ(where["X7/Y17/io0"], "X1Y1 7 17 X7/Y17 128 0");
  EXPECT_EQ(where["X4/Y0/io1"], "X0Y0 4 0 X4/Y0 45 2");
  EXPECT_EQ(where["X0/Y1/io0"], "X0Y0 0 1 X0/Y1  3");  // bonded to no pin of the TQ144
  EXPECT_EQ(where["X6/Y0/pll_3"], "X0Y0 6 0 X6/Y0  ");
  EXPECT_EQ(Find(d.top, "lc")->type, "ICESTORM_LC");
  EXPECT_TRUE(Find(d.top, "io")->external);
  const Block* mem = Find(d.top, "mem");
  ASSERT_EQ(mem->blocks.size(), 1u);
  EXPECT_EQ(mem->blocks[0]->type, "SB_RAM40_4K");
  EXPECT_EQ(PinOf(mem->blocks[0].get(), "RDATA_0")->dir, NcdImport::Dir::Out);
  EXPECT_TRUE(PinOf(mem, "RCLK")->clock);
  // Every bel is placed where its comp is, with its configuration as modes.
  for (const char* path : {"lc/LUT", "io/IO", "mem/RAM", "gb/GB"})
    EXPECT_EQ(Find(d.top, path)->site, Find(d.top, path)->parent->site) << path;
  EXPECT_EQ(Find(d.top, "io/IO")->modeDefs, (std::vector<std::string>{"IO_STANDARD"}));
  EXPECT_EQ(Find(d.top, "mem/RAM")->modeDefs, (std::vector<std::string>{"READ_MODE"}));
  const Block* buffer = Find(d.top, "gb");
  EXPECT_EQ(buffer->site, "X0/Y8/gb");
  ASSERT_EQ(buffer->blocks.size(), 1u);
  EXPECT_EQ(buffer->blocks[0]->type, "SB_GB");
  EXPECT_EQ(PinOf(buffer, "GLOBAL_BUFFER_OUTPUT")->child, "GLOBAL_BUFFER_OUTPUT");
  for (const auto& kind : r.notes.Kinds())
    EXPECT_NE(kind.what.rfind("cell type", 0), 0u) << kind.what;
}

// Each family's grid, the bels beyond its tiles, and where its IO cells
// are bonded: pins checked against where nextpnr placed the examples' IOs
// for their PCF pins, every pin of the package on one IO cell.
TEST_F(Import, EachFamilysGridPackagePinsAndBanks) {
  struct Case {
    const char *arch, *package, *part;
    int ios, bonded;
    std::vector<std::pair<const char*, const char*>> where;  // cell: "type pin bank"
  };
  const Case cases[] = {
      {"hx8k",
       "ct256",
       "iCE40HX8K-CT256",
       256,
       206,
       {{"X0/Y16/io1", "SB_IO J3 3"},
        {"X24/Y33/io1", "SB_IO B12 0"},
        {"X16/Y0/pll_3", "ICESTORM_PLL  "}}},
      {"hx4k", "tq144", "iCE40HX4K-TQ144", 256, 107, {{"X33/Y16/gb", "SB_GB  "}}},
      {"up5k",
       "sg48",
       "iCE40UP5K-SG48",
       96,
       39,
       {{"X12/Y31/io1", "SB_IO 35 0"},
        {"X18/Y0/io0", "SB_IO 12 2"},
        {"X18/Y0/io1", "SB_IO 21 1"},
        {"X23/Y0/io0", "SB_IO 14 1"},
        {"X0/Y5/mac16_0", "ICESTORM_DSP  "},
        {"X0/Y0/spram_1", "ICESTORM_SPRAM  "},
        {"X0/Y31/hfosc_1", "ICESTORM_HFOSC  "},
        {"X0/Y30/rgba_drv_0", "SB_RGBA_DRV  "},
        {"X0/Y5", "DSP0  "}}},
      {"lp384", "qn32", "iCE40LP384-QN32", 56, 21, {{"X0/Y0/warmboot_0", "SB_WARMBOOT  "}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.part);
    const Imported r = Run(Netlist({}, {}, {}, c.arch, c.package));
    EXPECT_EQ(r.design.part, c.part);
    int ios = 0, bonded = 0;
    std::map<std::string, std::string> where;
    for (const auto& cell : r.design.cells) {
      ios += cell.type == "SB_IO";
      bonded += !cell.packagePin.empty();
      where[cell.name] = cell.type + " " + cell.packagePin + " " + cell.bank;
    }
    EXPECT_EQ(ios, c.ios);
    EXPECT_EQ(bonded, c.bonded);
    for (const auto& [cell, text] : c.where)
      EXPECT_EQ(where[cell], text) << cell;
    EXPECT_EQ(r.Count("package without known pins (IO sites get no package pin)"), 0u);
  }
  const Imported unknown = Run(Netlist({}, {}, {}, "hx1k", "zz99"));
  EXPECT_EQ(unknown.Count("package without known pins (IO sites get no package pin)"), 1u);
}

TEST_F(Import, IosTakeTheirPortsNameAndTheirPinFromThePcf) {
  auto io = [](const std::string& name, const char* bel, int pad, bool out, int data) {
    CellDesc c{name, "SB_IO", bel, {{"IO_STANDARD", "SB_LVCMOS"}, {"PULLUP", "0"}}, {}, {}, {}, {}};
    c.inouts = {{"PACKAGE_PIN", pad}};
    (out ? c.inputs : c.outputs).push_back({out ? "D_OUT_0" : "D_IN_0", data});
    return c;
  };
  const std::string pcf =
      "# pins\nset_io led[0] 99\nset_io -pullup yes btn 10\nset_io ghost 11\nset_frequency clk "
      "12\nset_io rgb 39\n";
  const std::string netlist =
      Netlist({{"led", "output", {2, 3}}, {"btn", "input", {4}}, {"rgb", "output", {8}}},
              {io("led[0]$sb_io", "X13/Y12/io1", 2, true, 5),  // pin 99
               io("led[1]$sb_io", "X13/Y12/io0", 3, true, 6),
               io("btn$sb_io", "X0/Y11/io0", 4, false, 7)},  // pin 10
              {{"led", 2, " "},
               {"led_hi", 3, " "},
               {"btn", 4, " "},
               {"d5", 5, "-"},
               {"d6", 6, "-"},
               {"d7", 7, "-"}});
  const Imported r = Run(netlist, pcf);
  const Design& d = r.design;
  const Block* led0 = Find(d.top, "led[0]");
  const Block* led1 = Find(d.top, "led[1]");
  const Block* btn = Find(d.top, "btn");
  ASSERT_TRUE(led0 && led1 && btn);
  EXPECT_TRUE(led0->external);
  EXPECT_EQ(led0->ioStandard, "SB_LVCMOS");
  EXPECT_EQ(Gcd(led0, "PACKAGE_PIN"), "99");
  EXPECT_EQ(Gcd(btn, "PACKAGE_PIN"), "10");
  EXPECT_EQ(Gcd(led1, "PACKAGE_PIN"), "(none)");
  const Pin* pad = PinOf(led1, "PACKAGE_PIN");
  EXPECT_TRUE(pad->pad);
  EXPECT_EQ(pad->dir, NcdImport::Dir::InOut);
  // The port bits are the top's pins, on the nets the pads are on.
  EXPECT_EQ(PinOf(&d.top, "led[1]")->dir, NcdImport::Dir::Out);
  EXPECT_EQ(PinOf(&d.top, "led[1]")->child, pad->signal);
  EXPECT_EQ(PinOf(&d.top, "btn")->dir, NcdImport::Dir::In);
  EXPECT_FALSE(NetNamed(d, "led_hi")->routable);
  EXPECT_EQ(NetNamed(d, "led_hi")->route, "");
  EXPECT_EQ(r.Count("PCF constraint on a port the design lacks"), 1u);
  // A port on a pad that is no SB_IO's (the RGB driver's) keeps no pin.
  EXPECT_EQ(r.Count("PCF constraint on a port without an SB_IO"), 1u);
  EXPECT_EQ(r.Count("PCF command 'set_frequency'"), 1u);
  EXPECT_EQ(r.Count("PCF pin other than the package pin of the placed IO"), 0u);
  // A PCF of another run: the placement holds, the pins it contradicts are
  // dropped and noted (a pin the package lacks among them).
  const Imported other = Run(netlist, "set_io led[0] 98\nset_io btn 10x\n");
  EXPECT_EQ(Gcd(Find(other.design.top, "led[0]"), "PACKAGE_PIN"), "(none)");
  EXPECT_EQ(Gcd(Find(other.design.top, "btn"), "PACKAGE_PIN"), "(none)");
  const auto* note = other.notes.Find("PCF pin other than the package pin of the placed IO");
  ASSERT_TRUE(note);
  EXPECT_EQ(note->count, 2u);
  EXPECT_EQ(note->first, "led[0] (PCF line 1: 98, placed on 99)");
  // A PCF saved with a byte-order mark, as some editors save text, keeps
  // its first constraint.
  const Imported marked = Run(netlist, "\xEF\xBB\xBFset_io led[0] 99\n");
  EXPECT_EQ(Gcd(Find(marked.design.top, "led[0]"), "PACKAGE_PIN"), "99");
  EXPECT_EQ(marked.notes.Find("PCF command '\xEF\xBB\xBFset_io'"), nullptr);
  // An IO site no pin of the package is bonded to (TQ144's X0/Y1/io0) has
  // none to match.
  std::string unbonded = netlist;
  unbonded.replace(unbonded.find("X0/Y11/io0"), 10, "X0/Y1/io0");
  const Imported third = Run(unbonded, pcf);
  EXPECT_EQ(Gcd(Find(third.design.top, "btn"), "PACKAGE_PIN"), "(none)");
  note = third.notes.Find("PCF pin other than the package pin of the placed IO");
  ASSERT_TRUE(note);
  EXPECT_EQ(note->first, "btn (PCF line 3: 10, placed on X0/Y1/io0, which has no pin)");
}

TEST_F(Import, RoutingDecidesFullPartialAndUnroutedNets) {
  CellDesc a = Lc("a", "X1/Y1/lc0", false, false), b = Lc("b", "X2/Y1/lc0", false, false),
           c = Lc("c", "X5/Y5/lc0", false, false);
  a.inputs = {{"I0", 9}};
  a.outputs = {{"O", 10}, {"LO", 11}};
  b.inputs = {{"I0", 10}, {"I1", 11}, {"I2", 12}};
  b.outputs = {{"O", 13}};
  c.inputs = {{"I0", 10}, {"I1", 11}, {"I3", 14}};
  c.outputs = {{"O", 12}, {"LO", 14}};
  const Imported r = Run(Netlist({}, {a, b, c},
                                 {{"in", 9, "-"},
                                  {"full", 10, "X1/Y1/o;;1;X2/Y1/i;X2/Y1/p;1;X5/Y5/i;X5/Y5/p;1"},
                                  {"partial", 11, "X1/Y1/o;;1;X2/Y1/i;X2/Y1/p;1"},
                                  {"unrouted", 12, " "},
                                  {"dangling", 13, "X2/Y1/o;;1"},
                                  {"no_routing", 14, "-"}}));
  EXPECT_EQ(NetNamed(r.design, "full")->route, "full");
  EXPECT_EQ(NetNamed(r.design, "partial")->route, "partial");
  EXPECT_EQ(NetNamed(r.design, "unrouted")->route, "unrouted");
  EXPECT_EQ(NetNamed(r.design, "no_routing")->route, "unrouted");
  EXPECT_EQ(NetNamed(r.design, "dangling")->route, "");  // nothing to route to
  EXPECT_EQ(NetNamed(r.design, "in")->route, "");        // no driver
}

TEST_F(Import, CarryChainsBecomeToolShapesInChainOrder) {
  CellDesc a = Lc("u_add.a", "X1/Y1/lc0", false, true), b = Lc("u_add.b", "X1/Y1/lc1", false, true),
           c = Lc("u_add.c", "X1/Y1/lc2", false, true), lone = Lc("lone", "X4/Y4/lc0", false, true);
  c.inputs = {{"CIN", 21}, {"I1", 2}};
  a.outputs = {{"COUT", 20}};
  b.inputs = {{"CIN", 20}, {"I3", 20}};
  b.outputs = {{"COUT", 21}};
  lone.inputs = {{"I1", 2}};
  lone.outputs = {{"COUT", 22}};
  // Listed out of chain order: the chain follows the connections.
  const Imported r = Run(Netlist({}, {c, lone, b, a}, Nets({2, 20, 21, 22})));
  ASSERT_EQ(r.design.shapes.size(), 1u);
  const NcdImport::Shape& s = r.design.shapes[0];
  EXPECT_EQ(s.name, "carry0");
  EXPECT_EQ(s.reference, "u_add/a");
  EXPECT_EQ(s.members, (std::vector<std::string>{"u_add/a", "u_add/b", "u_add/c"}));
}

// A type the importer does not know is a comp of that type with one bel of
// it, configured by the cell's parameters; one note per type.
TEST_F(Import, WhatCannotBeMappedIsReportedOncePerKind) {
  CellDesc w1{"boot1",       "SB_MYSTERY", "X12/Y0/mystery",  {{"X", "1"}, {"INIT_0", "0"}}, {},
              {{"BOOT", 2}}, {},           {{"src", "a.v:1"}}};
  CellDesc w2 = w1;
  w2.name = "boot2";
  w2.bel = "";  // not placed
  CellDesc w3 = w1;
  w3.name = "other";
  w3.type = "SB_ODDITY";
  w3.bel = "X12/Y0/oddity";
  CellDesc lc = Lc("lc", "X1/Y1/lc0", false, false);
  lc.outputs = {{"O", 2}};
  lc.attributes = {{"src", "b.v:2"}, {"BEL_STRENGTH", "1"}};
  const Imported r = Run(Netlist({}, {w1, w2, w3, lc}, Nets({2})));
  EXPECT_EQ(r.Count("cell type 'SB_MYSTERY' (imported as a comp with one bel of that type)"), 2u);
  EXPECT_EQ(r.Count("cell type 'SB_ODDITY' (imported as a comp with one bel of that type)"), 1u);
  EXPECT_EQ(r.Count("cell attribute 'src'"), 4u);
  EXPECT_EQ(r.Count("cell attribute 'BEL_STRENGTH'"), 1u);
  EXPECT_EQ(r.notes.Find("cell attribute 'src'")->first, "boot1");
  const Block* boot = Find(r.design.top, "boot1");
  EXPECT_EQ(boot->type, "SB_MYSTERY");
  EXPECT_EQ(Gcd(boot, "X"), "1");
  const Block* bel = Find(r.design.top, "boot1/SB_MYSTERY");
  ASSERT_NE(bel, nullptr);
  EXPECT_EQ(bel->type, "SB_MYSTERY");
  EXPECT_EQ(bel->site, "X12/Y0/mystery");
  EXPECT_EQ(bel->modeDefs, (std::vector<std::string>{"INIT_0", "X"}));
  EXPECT_EQ(Gcd(bel, "INIT_0"), "0");
  EXPECT_EQ(PinOf(bel, "BOOT")->signal, "BOOT");
  EXPECT_EQ(Find(r.design.top, "boot2")->site, "");
  // A bel the grid does not list still becomes a cell of the device.
  EXPECT_EQ(std::count_if(r.design.cells.begin(), r.design.cells.end(),
                          [](const auto& c) { return c.name == "X12/Y0/mystery"; }),
            1);
  EXPECT_EQ(r.Count("flow setting"), 0u);
}

TEST_F(Import, CellNamesGiveTheModuleHierarchy) {
  const std::pair<const char*, const char*> cases[] = {
      {"u_uart.u_tx.shift_LC", "u_uart/u_tx/shift_LC"},
      {"g[3].u_lane.acc_LC", "g[3].u_lane/acc_LC"},
      {"$abc$12$auto$blifparse.cc:396$7", "$abc$12$auto$blifparse.cc:396$7"},
      {"u_a.$abc$3$x.y", "u_a/$abc$3$x.y"},
      {"trailing.", "trailing."},
      {"u_ram.mem.0.0_RAM", "u_ram/mem.0.0_RAM"},
      {"7seg.x", "7seg.x"}};
  std::vector<CellDesc> cells;
  for (const auto& [name, path] : cases)
    cells.push_back(Lc(name, "", false, false));
  const Imported r = Run(Netlist({}, cells, {}));
  for (const auto& [name, path] : cases)
    EXPECT_NE(Find(r.design.top, path), nullptr) << name;
  EXPECT_EQ(Find(r.design.top, "u_uart/u_tx")->level, 1);
}

TEST_F(Import, SdfDelaysGoToLoadPinsAndNets) {
  CellDesc drv = Lc("$drv", "X1/Y1/lc0", false, false), l1 = Lc("l1", "X2/Y1/lc0", false, false),
           l2 = Lc("u.l2", "X3/Y1/lc0", false, false);
  drv.outputs = {{"O", 2}};
  l1.inputs = {{"I0", 2}};
  l2.inputs = {{"I1", 2}};
  const std::string sdf = R"((DELAYFILE (SDFVERSION "3.0") (DIVIDER /) (TIMESCALE 1 ns)
  (CELL (CELLTYPE "top") (INSTANCE )
    (DELAY (ABSOLUTE
      (INTERCONNECT \$drv/O l1/I0 (0.5:0.6:0.7) (0.4:0.5:0.6))
      (INTERCONNECT \$drv/O u.l2/I1 (1.2) ())
      (INTERCONNECT \$drv/O ghost/I0 (1))
      (IOPATH I0 O (1:1:1) (1:1:1)))))
  (CELL (CELLTYPE "LC") (INSTANCE l1) (TIMINGCHECK (SETUP I0 (posedge CLK) (1)))))
)";
  const Imported r = Run(Netlist({}, {drv, l1, l2}, Nets({2})), "", sdf);
  EXPECT_EQ(PinOf(Find(r.design.top, "l1"), "I0")->delay, 700);
  EXPECT_EQ(PinOf(Find(r.design.top, "u/l2"), "I1")->delay, 1200);
  const NcdImport::Net* net = NetNamed(r.design, "n2");
  EXPECT_TRUE(net->hasDelay);
  EXPECT_EQ(net->delay, 1200);
  EXPECT_EQ(net->delayMin, 400);
  EXPECT_EQ(r.Count("SDF cell delays (IOPATH)"), 1u);
  EXPECT_EQ(r.Count("SDF timing checks"), 1u);
  EXPECT_EQ(r.Count("SDF interconnect to a pin the netlist lacks"), 1u);
}

TEST(LutEquation, ReadableFormsAndEveryTableRoundTrips) {
  const std::pair<std::uint16_t, const char*> known[] = {
      {0x0000, "O=0"},
      {0xFFFF, "O=1"},
      {0x6996, "O=I0@I1@I2@I3"},
      {0x9669, "O=~I0@I1@I2@I3"},
      {0x00FF, "O=~I3"},
      {0x8888, "O=I0*I1"},
      {0xEEEE, "O=I0+I1"},
      {0x6666, "O=I0@I1"},
      // The fewest products, where taking the largest first takes one too many.
      {0x0035, "O=~I0*~I2*~I3+~I1*I2*~I3"},
      {0x007E, "O=I0*~I1*~I3+I1*~I2*~I3+~I0*I2*~I3"}};
  for (const auto& [table, text] : known)
    EXPECT_EQ(NcdImport::LutEquation(table), text) << table;
  for (unsigned table = 0; table < 0x10000; ++table) {
    const std::string eq = NcdImport::LutEquation(static_cast<std::uint16_t>(table));
    for (unsigned m = 0; m < 16; ++m) {
      ASSERT_EQ(ncdtest::EvaluateLut(eq, m), ((table >> m) & 1) != 0) << table << " " << eq;
    }
  }
  std::uint16_t t = 0;
  EXPECT_TRUE(NcdImport::ParseLutInit("0000000011111111", t));
  EXPECT_EQ(t, 0x00FF);
  EXPECT_TRUE(NcdImport::ParseLutInit("43690", t));
  EXPECT_EQ(t, 0xAAAA);
  EXPECT_FALSE(NcdImport::ParseLutInit("11111111111111111", t));  // 17 bits
  EXPECT_FALSE(NcdImport::ParseLutInit("12a", t));
}

}  // namespace
