// Pictures: site names give grid places; the SVG of an imported example is
// well-formed XML (parsed with expat) with one element per placed comp,
// one outline per RPM, and nets styled by their routing.
#include <expat.h>
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "NcdImport.h"
#include "NcdImportTestInput.h"
#include "NcdPlot_Scene.h"
#include "NcdPlot_Site.h"
#include "NcdPlot_Svg.h"
#include "Pds_PahDesignLoader.h"
#include "TestDesigns.h"
#include "XCad_CadModel.h"

namespace {

TEST(NcdPlotSite, NamesGivePlaces) {
  NcdPlot::SitePlace p;
  ASSERT_TRUE(NcdPlot::PlaceOfSite("X11/Y15/lc5", p));
  EXPECT_EQ(p.x * 1000 + p.y * 10 + p.slot, 11155);
  EXPECT_EQ(p.slots, 8);
  ASSERT_TRUE(NcdPlot::PlaceOfSite("X0/Y3/io1", p));
  EXPECT_EQ(p.slot * 10 + p.slots, 12);
  ASSERT_TRUE(NcdPlot::PlaceOfSite("X8/Y13/ram", p));
  EXPECT_EQ(p.slots, 1);
  ASSERT_TRUE(NcdPlot::PlaceOfSite("X8/Y14", p));
  EXPECT_TRUE(p.tile);
  ASSERT_TRUE(NcdPlot::PlaceOfSite("SLICE_X3Y17", p));
  EXPECT_EQ(p.x * 100 + p.y, 317);
  EXPECT_FALSE(NcdPlot::PlaceOfSite("X3/Yq/lc0", p));
  EXPECT_FALSE(NcdPlot::PlaceOfSite("PLL", p));
  EXPECT_FALSE(NcdPlot::PlaceOfSite("SLICE_X3", p));
}

// Counts the SVG's elements by class, inside each top-level group.
struct SvgCount {
  std::map<std::string, int> byClass;  // "<group id> <class>"
  std::vector<std::string> groups;
  std::vector<std::string> titles;
  bool inTitle = false;
  std::string text;
};

void XMLCALL Start(void* data, const XML_Char* name, const XML_Char** attrs) {
  auto& c = *static_cast<SvgCount*>(data);
  std::string id, cls;
  for (int i = 0; attrs[i]; i += 2) {
    if (std::string(attrs[i]) == "id") id = attrs[i + 1];
    if (std::string(attrs[i]) == "class") cls = attrs[i + 1];
  }
  if (std::string(name) == "g") c.groups.push_back(id);
  if (!cls.empty()) ++c.byClass[(c.groups.empty() ? "" : c.groups.back()) + " " + cls];
  c.inTitle = std::string(name) == "title";
  c.text.clear();
}
void XMLCALL End(void* data, const XML_Char* name) {
  auto& c = *static_cast<SvgCount*>(data);
  if (std::string(name) == "g") c.groups.pop_back();
  if (std::string(name) == "title") c.titles.push_back(c.text);
  c.inTitle = false;
}
void XMLCALL Text(void* data, const XML_Char* s, int len) {
  auto& c = *static_cast<SvgCount*>(data);
  if (c.inTitle) c.text.append(s, static_cast<std::size_t>(len));
}

// Parses the SVG; a parse error fails the test.
SvgCount Parse(const std::string& svg) {
  SvgCount count;
  XML_Parser parser = XML_ParserCreate(nullptr);
  XML_SetUserData(parser, &count);
  XML_SetElementHandler(parser, Start, End);
  XML_SetCharacterDataHandler(parser, Text);
  if (XML_Parse(parser, svg.data(), static_cast<int>(svg.size()), 1) == XML_STATUS_ERROR) {
    ADD_FAILURE() << "not well-formed: " << XML_ErrorString(XML_GetErrorCode(parser)) << " at line "
                  << XML_GetCurrentLineNumber(parser);
  }
  XML_ParserFree(parser);
  return count;
}

std::string Plot(const std::string& path, NcdPlot::Scene* sceneOut = nullptr) {
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> make;
  Xdm_View* view = loader.LoadAndSpecializeImpl(path.c_str(), "test", Xdm_Txn::XDM_TXN_READ_ONLY, &make, nullptr);
  NcdPlot::Scene scene = NcdPlot::BuildScene(*view, 40);
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

// Names with XML's special characters stay well-formed.
TEST(NcdPlot, NamesAreEscaped) {
  ncdtest::TempDir dir;
  const std::string path = dir.Write("x.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p<&>",
    "device": {"cell_types": [{"name": "T\"<"}], "cells": [{"name": "SLICE_X1Y1", "type": "T\"<"}]},
    "top": {"name": "a&b", "level": 0, "blocks": [{"name": "c<1>", "type": "x&y", "level": 3, "site": "SLICE_X1Y1"}]}})");
  SvgCount svg = Parse(Plot(path));
  EXPECT_EQ(svg.byClass["comps comp"], 1);
  EXPECT_NE(std::find(svg.titles.begin(), svg.titles.end(), "c<1> (x&y) at SLICE_X1Y1"), svg.titles.end());
}

}  // namespace
