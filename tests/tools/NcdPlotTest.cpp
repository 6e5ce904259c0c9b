// Pictures: site names give grid places; the SVG of an imported example is
// well-formed XML (parsed with expat) with one element per placed comp,
// one outline per RPM, and nets styled by their routing.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "NcdImport.h"
#include "NcdImportTestInput.h"
#include "NcdPlotSvgParse.h"
#include "NcdPlot_Html.h"
#include "NcdPlot_Scene.h"
#include "NcdPlot_Site.h"
#include "NcdPlot_Svg.h"
#include "Pds_PahDesignLoader.h"
#include "TestDesigns.h"
#include "XCad_CadModel.h"

namespace {

using ncdplot_test::Parse;
using ncdplot_test::SvgCount;

// Each name's place as x, y, slot, slots and whether it is a whole tile;
// names without one, numbers with a sign or beyond kMaxCoordinate give none.
TEST(NcdPlotSite, NamesGivePlaces) {
  const std::pair<const char*, const char*> cases[] = {
      {"X11/Y15/lc5", "11 15 5/8"}, {"X0/Y3/io1", "0 3 1/2"},
      {"X8/Y13/ram", "8 13 0/1"},   {"X8/Y14", "8 14 0/1 tile"},
      {"SLICE_X3Y17", "3 17 0/1"},  {"SLICE_X1048576Y1048576", "1048576 1048576 0/1"},
      {"X3/Yq/lc0", "none"},        {"PLL", "none"},
      {"SLICE_X3", "none"},         {"SLICE_X2147483647Y0", "none"},
      {"SLICE_X1048577Y0", "none"}, {"X99999999999/Y0/lc0", "none"},
      {"SLICE_X-5Y0", "none"},      {"X+1/Y0", "none"}};
  for (const auto& [name, place] : cases) {
    NcdPlot::SitePlace p;
    const std::string got = !NcdPlot::PlaceOfSite(name, p)
                                ? "none"
                                : std::to_string(p.x) + " " + std::to_string(p.y) + " " +
                                      std::to_string(p.slot) + "/" + std::to_string(p.slots) +
                                      (p.tile ? " tile" : "");
    EXPECT_EQ(got, place) << name;
  }
}

std::string Plot(const std::string& path, NcdPlot::Scene* sceneOut = nullptr) {
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> make;
  Xdm_View* view = loader.LoadAndSpecializeImpl(path.c_str(), "test", Xdm_Txn::XDM_TXN_READ_ONLY, &make, nullptr);
  NcdPlot::Scene scene = NcdPlot::BuildScene(*view);
  std::ostringstream svg;
  NcdPlot::WriteSvg(scene, svg);
  if (sceneOut) *sceneOut = scene;
  return svg.str();
}

TEST(NcdPlot, OneElementPerPlacedCompAndPerRpm) {
  const std::string path = std::string(NCD_EXAMPLES) + "/ice40/counter.ncd.json.gz";
  NcdPlot::Scene scene;
  SvgCount svg = Parse(Plot(path, &scene));
  // The counter places 57 comps, 16 of them IOBs, and has two carry chains.
  EXPECT_EQ(svg.byClass["comps comp"] + svg.byClass["comps comp iob"], 57);
  EXPECT_EQ(svg.byClass["comps comp iob"], 16);
  EXPECT_EQ(svg.byClass["rpms rpm"], 2);
  EXPECT_EQ(svg.byClass["tiles tile"], 14 * 18 - 3);  // of the corners, one holds a bel (warm boot)
  EXPECT_EQ(scene.modules, (std::vector<std::string>{"u_pre", "u_cnt"}));
  EXPECT_EQ(scene.unplaced, 0u);
  const auto named = [&](const std::string& start) {
    for (const std::string& t : svg.titles) {
      if (t.rfind(start, 0) == 0) return t;
    }
    return std::string("(none)");
  };
  EXPECT_EQ(named("u_cnt/count_SB_LUT4_I3_LC"), "u_cnt/count_SB_LUT4_I3_LC (ICESTORM_LC) at X12/Y16/lc5 in u_cnt");
  EXPECT_EQ(named("led[0] "), "led[0] (SB_IO) at X13/Y12/io1");
  EXPECT_EQ(named("RPM carry0"), "RPM carry0 (7 comps)");
}

TEST(NcdPlot, NetsAreDrawnAsTheirRoutingIs) {
  using namespace ncdimport_test;
  ncdtest::TempDir dir;
  CellDesc a = Lc("a", "X1/Y1/lc0", false, false), b = Lc("b", "X2/Y1/lc0", false, false),
           c = Lc("c", "X5/Y5/lc0", false, false);
  a.outputs = {{"O", 10}, {"LO", 11}};
  b.inputs = {{"I0", 10}, {"I1", 11}};
  b.outputs = {{"O", 12}};
  c.inputs = {{"I0", 10}, {"I1", 11}, {"I2", 12}};
  NcdImport::Inputs in;
  in.netlist = dir.Write("n.json", Netlist({}, {a, b, c},
                                           {{"full", 10, "X1/Y1/o;;1;X2/Y1/i;;1;X5/Y5/i;;1"},
                                            {"part", 11, "X1/Y1/o;;1;X2/Y1/i;;1"},
                                            {"none", 12, " "}}));
  NcdImport::Notes notes;
  std::ostringstream text;
  NcdImport::WriteDesign(NcdImport::Import(in, notes), text);
  SvgCount svg = Parse(Plot(dir.Write("n.ncd.json", text.str())));
  EXPECT_EQ(svg.byClass["nets net full"], 1);
  EXPECT_EQ(svg.byClass["nets net partial"], 1);
  EXPECT_EQ(svg.byClass["nets net unrouted"], 1);
  EXPECT_NE(std::find(svg.titles.begin(), svg.titles.end(), "net part (partial, 2 loads)"), svg.titles.end());
  EXPECT_NE(std::find(svg.titles.begin(), svg.titles.end(), "net none (unrouted, 1 loads)"), svg.titles.end());
}

// Names with XML's markup characters and with characters XML forbids give
// a picture that opens, the forbidden ones shown as escapes; a site far
// off the grid leaves its comp unplaced.
TEST(NcdPlot, NamesAreEscapedAndSitesBounded) {
  ncdtest::TempDir dir;
  const std::string path =
      dir.Write("x.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p<&>",
    "device": {"cell_types": [{"name": "T\"<"}], "cells": [{"name": "SLICE_X1Y1", "type": "T\"<"},
                                                          {"name": "SLICE_X2147483647Y0", "type": "T\"<"}]},
    "top": {"name": "a&b\u0001", "level": 0, "blocks": [
      {"name": "c<1>\u001b[0m\ufffe\uffff\u007f\t", "type": "x&y", "level": 3, "site": "SLICE_X1Y1"},
      {"name": "far", "type": "x", "level": 3, "site": "SLICE_X2147483647Y0"}]}})");
  NcdPlot::Scene scene;
  SvgCount svg = Parse(Plot(path, &scene));
  EXPECT_EQ(svg.byClass["comps comp"], 1);
  EXPECT_EQ(scene.unplaced, 1u);
  EXPECT_EQ(svg.titles[1], "c<1>\\u001B[0m\\uFFFE\\uFFFF\\u007F\\u0009 (x&y) at SLICE_X1Y1");
}

// A site the design gives a column and row lies there, whatever its name
// says (or when it says nothing); the name still gives the slot in a tile.
// Comps whose sites give one whole tile share it.
TEST(NcdPlot, SitesLieWhereTheDesignPutsThem) {
  ncdtest::TempDir dir;
  const std::string path =
      dir.Write("p.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p",
    "device": {"cell_types": [{"name": "T"}], "cells": [
      {"name": "SLICE_X1Y1", "type": "T", "x": 5, "y": 6}, {"name": "PLL", "type": "T", "x": 2, "y": 2},
      {"name": "X7/Y3/lc2", "type": "T", "x": 7, "y": 3}, {"name": "SLICE_X4Y4", "type": "T"},
      {"name": "IOB_X4Y4", "type": "T"}]},
    "top": {"name": "t", "level": 0, "blocks": [
      {"name": "a", "type": "T", "level": 3, "site": "SLICE_X1Y1"},
      {"name": "b", "type": "T", "level": 3, "site": "PLL"},
      {"name": "c", "type": "T", "level": 3, "site": "X7/Y3/lc2"},
      {"name": "d", "type": "T", "level": 3, "site": "SLICE_X4Y4"},
      {"name": "e", "type": "T", "level": 3, "site": "IOB_X4Y4"}]}})");
  NcdPlot::Scene scene;
  Parse(Plot(path, &scene));
  std::string places;
  for (const NcdPlot::Comp& c : scene.comps) {
    places += c.path + ":" + std::to_string(c.x) + "," + std::to_string(c.y) + "," +
              std::to_string(c.slot) + "/" + std::to_string(c.slots) + " ";
  }
  EXPECT_EQ(places, "a:5,6,0/1 b:2,2,0/1 c:7,3,2/8 d:4,4,0/2 e:4,4,1/2 ");
  EXPECT_EQ(scene.unplaced, 0u);
  EXPECT_EQ(scene.tiles.size(), 4u);
  EXPECT_EQ(scene.width * 100 + scene.height, 807);
}

// A secured block's contents stay hidden, as the commands hide them: its
// comps, and the nets and loads that only its pins give. A secured comp is
// drawn, without what its bels tell.
TEST(NcdPlot, SecuredContentsStayHidden) {
  ncdtest::TempDir dir;
  const std::string path =
      dir.Write("s.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p",
    "device": {"cell_types": [{"name": "T"}], "cells": [{"name": "SLICE_X1Y1", "type": "T"},
      {"name": "SLICE_X2Y1", "type": "T"}, {"name": "SLICE_X3Y1", "type": "T"}, {"name": "SLICE_X4Y1", "type": "T"}]},
    "nets": [{"name": "inner", "route": "full"}, {"name": "clk", "route": "full"}, {"name": "d", "route": "full"}],
    "top": {"name": "t", "level": 0, "signals": [{"name": "clk", "net": "clk"}, {"name": "d", "net": "d"}], "blocks": [
      {"name": "m", "level": 1, "netlist_security": 1, "signals": [{"name": "s", "net": "inner"}],
       "pins": [{"name": "CK", "signal": "clk"}], "blocks": [
        {"name": "a", "type": "T", "level": 3, "site": "SLICE_X1Y1", "pins": [{"name": "O", "dir": "output", "signal": "s"}]},
        {"name": "b", "type": "T", "level": 3, "site": "SLICE_X2Y1", "pins": [{"name": "I", "signal": "s"}]}]},
      {"name": "drv", "type": "T", "level": 3, "site": "SLICE_X3Y1",
       "pins": [{"name": "O", "dir": "output", "signal": "clk"}, {"name": "D", "dir": "output", "signal": "d"}]},
      {"name": "sec", "type": "T", "level": 3, "site": "SLICE_X4Y1", "config_security": 1,
       "signals": [{"name": "ci", "net": "d"}],
       "blocks": [{"name": "bel", "level": 4, "pins": [{"name": "I", "signal": "ci"}]}]}]}})");
  NcdPlot::Scene scene;
  Parse(Plot(path, &scene));
  std::string seen;
  for (const NcdPlot::Comp& c : scene.comps)
    seen += c.path + " ";
  for (const NcdPlot::Wire& w : scene.wires)
    seen += w.name + ":" + std::to_string(w.loads.size()) + " ";
  EXPECT_EQ(seen, "drv sec clk:0 d:0 ");
}

// The legend gives a module a colour when some comp shows it: a module
// that holds only IOBs, which are drawn white, gets none.
TEST(NcdPlot, LegendShowsTheColoursDrawn) {
  ncdtest::TempDir dir;
  const std::string path =
      dir.Write("l.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p",
    "device": {"cell_types": [{"name": "T"}], "cells": [{"name": "SLICE_X1Y1", "type": "T"},
      {"name": "IOB_X0Y1", "type": "T"}]},
    "top": {"name": "t", "level": 0, "blocks": [
      {"name": "pads", "level": 1, "blocks": [
        {"name": "p", "type": "T", "level": 3, "external": true, "site": "IOB_X0Y1"}]},
      {"name": "logic", "level": 1, "blocks": [
        {"name": "l", "type": "T", "level": 3, "site": "SLICE_X1Y1"}]}]}})");
  NcdPlot::Scene scene;
  const std::string svg = Plot(path, &scene);
  Parse(svg);
  EXPECT_EQ(scene.modules, (std::vector<std::string>{"pads", "logic"}));
  EXPECT_EQ(svg.find(">pads</text>"), std::string::npos);
  EXPECT_NE(svg.find("fill=\"#ff7f0e\"/><text x=\"100.0\" y=\"54.0\">logic</text>"),
            std::string::npos);
}

}  // namespace

namespace {

// Text from the design goes into the page's script as JSON that no name
// can end early.
TEST(NcdPlotHtml, ScriptStringsCannotEndTheScript) {
  const std::pair<std::string, std::string> cases[] = {
      {"u_cnt/c0", "\"u_cnt/c0\""},
      {"a\"b\\c", "\"a\\\"b\\\\c\""},
      {"</script><b>&", "\"\\u003c/script\\u003e\\u003cb\\u003e\\u0026\""},
      {"tab\there\n", "\"tab\\u0009here\\u000a\""},
      {"x\xE2\x80\xA8y\xE2\x80\xA9", "\"x\\u2028y\\u2029\""},
      {"caf\xC3\xA9 \xE2\x80\x94", "\"caf\xC3\xA9 \xE2\x80\x94\""},  // other UTF-8 stays
  };
  for (const auto& [text, json] : cases) EXPECT_EQ(NcdPlot::ScriptString(text), json) << text;
}

NcdPlot::Scene SceneOf(const std::string& path, const NcdPlot::SceneOptions& options) {
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> make;
  Xdm_View* view = loader.LoadAndSpecializeImpl(path.c_str(), "test", Xdm_Txn::XDM_TXN_READ_ONLY,
                                                &make, nullptr);
  NcdPlot::Scene scene = NcdPlot::BuildScene(*view, options);
  loader.GetTxn()->Abort();
  return scene;
}

// A highlighted block marks the comps it is, holds or lies in; a net marks
// itself. Pins come with their nets and delays; a limit counts what it
// leaves out.
TEST(NcdPlotHtml, HighlightsPinsAndLimits) {
  const std::string counter = std::string(NCD_EXAMPLES) + "/ice40/counter.ncd.json.gz";
  const struct {
    std::unordered_set<std::string> blocks, nets;
    int comps, marked;
  } cases[] = {{{"u_cnt"}, {}, 8, 0},
               {{"u_cnt/count_SB_LUT4_I3_LC/LUT"}, {}, 1, 0},
               {{"u_cnt/count_SB_LUT4_I3_LC/LUT/I0"}, {"count[0]"}, 1, 1},
               {{"clk", "u_c"}, {}, 1, 0},  // a port's IOB, not its pad net; no prefix of a name
               {{}, {"clk"}, 0, 1}};        // the pad net, not the IOB of its name
  for (const auto& c : cases) {
    NcdPlot::SceneOptions options;
    options.highlight = c.blocks;
    options.highlightNets = c.nets;
    const NcdPlot::Scene s = SceneOf(counter, options);
    EXPECT_EQ(std::count_if(s.comps.begin(), s.comps.end(), [](auto& x) { return x.highlight; }),
              c.comps);
    EXPECT_EQ(std::count_if(s.wires.begin(), s.wires.end(), [](auto& w) { return w.highlight; }),
              c.marked);
  }
  NcdPlot::SceneOptions options;
  options.pins = true;
  const NcdPlot::Scene s = SceneOf(counter, options);
  const auto lc = std::find_if(s.comps.begin(), s.comps.end(),
                               [](auto& x) { return x.path == "u_cnt/count_SB_LUT4_I3_LC"; });
  ASSERT_NE(lc, s.comps.end());
  std::string pins;
  for (const NcdPlot::CompPin& p : lc->pins)
    pins += p.name + ":" + p.dir + ":" + s.wires[p.net].name + ":" + std::to_string(p.delay) + " ";
  EXPECT_EQ(pins,
            "O:o:count[0]:-1 SR:i:rst$SB_IO_IN_$glb_sr:462 CEN:i:run_SB_LUT4_I3_O_SB_LUT4_I1_O:932 "
            "CLK:i:clk$SB_IO_IN_$glb_clk:308 I3:i:count[0]:588 ");
  EXPECT_EQ(s.comps.size() + s.unplaced, 57u);
  EXPECT_EQ(s.wires.size(), 79u);
  options.maxObjects = 10;
  const NcdPlot::Scene limited = SceneOf(counter, options);
  EXPECT_EQ(limited.comps.size(), 10u);
  EXPECT_EQ(limited.leftOutComps, 47u);
  EXPECT_EQ(limited.wires.size() + limited.leftOutNets, 22u);  // the nets the ten comps touch
}

}  // namespace
