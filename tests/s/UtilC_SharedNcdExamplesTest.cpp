// Every imported example answers through the component what the flow wrote
// (examples/ice40/flow: nextpnr's netlist, its SDF and the PCF), read here
// independently of the importer: each comp's type and placement, each bel's
// equation and configuration, each IOB's standard, direction and package
// pin, the clock region of every pin on a placed bel, and the delay of
// every routed load pin.
#include <gtest/gtest.h>
#include <rapidjson/document.h>

#include <fstream>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>

#include "CollTestSupport.h"
#include "LutEquation.h"
#include "NcdImport_Input.h"
#include "Xdm_Pin.h"

namespace {

using namespace ncdtest;

const std::string kDir = std::string(NCD_EXAMPLES) + "/ice40/";

// What the flow wrote for one design, by the names the flow uses.
struct Flow {
  rapidjson::Document netlist;
  std::map<std::string, const rapidjson::Value*> cellAtBel;  // NEXTPNR_BEL -> cell
  std::map<std::string, std::string> cellNameAtBel;
  std::map<std::string, int> delay;        // "cell/port" -> greatest interconnect delay, ps
  std::map<std::string, std::string> pin;  // port bit -> package pin (PCF)
  std::map<int, std::string> portDir;      // net bit -> direction of the top port on it
};

std::string Unescape(const std::string& sdfName) {
  std::string out;
  for (std::size_t i = 0; i < sdfName.size(); ++i) {
    if (sdfName[i] == '\\' && i + 1 < sdfName.size()) ++i;
    out += sdfName[i];
  }
  return out;
}

int Greatest(const std::string& triples) {
  int best = -1;
  std::stringstream in(triples);
  for (std::string value; std::getline(in, value, ':');)
    best = std::max(best, std::stoi(value));
  return best;
}

void ReadSdf(const std::string& text, Flow& flow) {
  ASSERT_NE(text.find("(TIMESCALE 1ps)"), std::string::npos);
  static const std::regex kInterconnect(
      R"(\(INTERCONNECT (\S+) (\S+) \(([0-9:]+)\) \(([0-9:]+)\)\))");
  for (std::sregex_iterator it(text.begin(), text.end(), kInterconnect), end; it != end; ++it) {
    int& d = flow.delay.try_emplace(Unescape((*it)[2]), -1).first->second;
    d = std::max({d, Greatest((*it)[3]), Greatest((*it)[4])});
  }
}

void ReadPcf(const std::string& path, Flow& flow) {
  std::ifstream in(path);
  for (std::string line; std::getline(in, line);) {
    std::istringstream words(line);
    std::vector<std::string> w{std::istream_iterator<std::string>(words), {}};
    if (w.size() >= 3 && w[0] == "set_io") flow.pin[w[w.size() - 2]] = w.back();
  }
}

Flow ReadFlow(const std::string& design) {
  Flow flow;
  const std::string json = NcdImport::ReadInput(kDir + "flow/" + design + ".pnr.json.gz");
  flow.netlist.Parse(json.c_str());
  EXPECT_FALSE(flow.netlist.HasParseError());
  for (const auto& module : std::as_const(flow.netlist)["modules"].GetObject()) {
    for (const auto& cell : module.value["cells"].GetObject()) {
      const std::string bel = cell.value["attributes"]["NEXTPNR_BEL"].GetString();
      flow.cellAtBel[bel] = &cell.value;
      flow.cellNameAtBel[bel] = cell.name.GetString();
    }
    for (const auto& port : module.value["ports"].GetObject()) {
      for (const auto& bit : port.value["bits"].GetArray())
        if (bit.IsInt()) flow.portDir[bit.GetInt()] = port.value["direction"].GetString();
    }
  }
  ReadSdf(NcdImport::ReadInput(kDir + "flow/" + design + ".sdf.gz"), flow);
  ReadPcf(kDir + design + ".pcf", flow);
  return flow;
}

std::string Parameter(const rapidjson::Value& cell, const std::string& name) {
  const auto& params = cell["parameters"];
  return params.HasMember(name.c_str()) ? params[name.c_str()].GetString() : "<none>";
}

// The configuration each bel of a logic cell carries; other bels carry
// every parameter of their cell but a block RAM's initial data.
const std::map<std::string, std::vector<std::string>> kLogicCellModes = {
    {"LUT", {"EQN", "LUT_INIT"}},
    {"DFF", {"NEG_CLK", "SET_NORESET", "ASYNC_SR"}},
    {"CARRY", {"CIN_CONST", "CIN_SET"}}};

std::vector<std::string> ExpectedModes(const std::string& bel, const rapidjson::Value& cell) {
  if (std::string(cell["type"].GetString()) == "ICESTORM_LC") return kLogicCellModes.at(bel);
  std::vector<std::string> names;
  for (const auto& p : cell["parameters"].GetObject())
    if (std::string(p.name.GetString()).rfind("INIT_", 0) != 0)
      names.emplace_back(p.name.GetString());
  return names;
}

// Each example, with what it holds, so that a change of the flow or of the
// mapping shows.
struct Example {
  const char* name;
  const char* counts;
};

void PrintTo(const Example& example, std::ostream* out) {
  *out << example.name;
}

class Examples : public CollTest, public ::testing::WithParamInterface<Example> {
 protected:
  struct Counts {
    int comps = 0, bels = 0, equations = 0, iobs = 0, pinned = 0, belPins = 0, loads = 0;
  };

  void Comp(const CollPtr& comp, const Pds_PdmBlock& block, const Flow& flow, Counts& n);
  void Bel(const CollPtr& bel, const CollPtr& site, const rapidjson::Value& cell, Counts& n);
  void Iob(const CollPtr& comp, const CollPtr& site, const rapidjson::Value& cell, const Flow& flow,
           Counts& n);
  void Delays(const Xdm_Block& block, const std::string& cell, const Flow& flow, Counts& n);

  OpenDesign* m_design = nullptr;
};

void Examples::Comp(const CollPtr& comp, const Pds_PdmBlock& block, const Flow& flow, Counts& n) {
  ++n.comps;
  const CollPtr site = Get(comp, "Site").AsColl();
  const std::string bel = NameOf(site);
  ASSERT_EQ(flow.cellAtBel.count(bel), 1u) << NameOf(comp) << " at " << bel;
  const rapidjson::Value& cell = *flow.cellAtBel.at(bel);
  EXPECT_EQ(Text(comp, "Subtype"), cell["type"].GetString()) << bel;
  for (const CollPtr& child : ListItems(comp, "Children"))
    Bel(child, site, cell, n);
  if (block.IsExternal()) Iob(comp, site, cell, flow, n);
  Delays(block, flow.cellNameAtBel.at(bel), flow, n);
}

void Examples::Bel(const CollPtr& bel, const CollPtr& site, const rapidjson::Value& cell,
                   Counts& n) {
  ++n.bels;
  const std::string name = NameOf(bel);
  std::vector<std::string> modes;
  for (const CollPtr& named : ListItems(bel, "Gcd")) {
    modes.push_back(NameOf(named));
    if (modes.back() != "EQN") {
      EXPECT_EQ(Text(named, "Value"), Parameter(cell, modes.back())) << name << " " << modes.back();
    }
  }
  EXPECT_EQ(modes, ExpectedModes(name, cell)) << name;
  if (Text(bel, "Subtype") == "SB_LUT4") {
    ++n.equations;
    const std::string eq = Text(bel, "Equation");
    const std::string table = Parameter(cell, "LUT_INIT");  // bit 15 first
    for (unsigned m = 0; m < 16; ++m)
      ASSERT_EQ(EvaluateLut(eq, m), table[15 - m] == '1') << name << " " << eq << " " << table;
  }
  // Every pin of a placed bel lies in the clock region that holds its site.
  const std::int32_t x = Get(site, "X").integer, y = Get(site, "Y").integer;
  for (const CollPtr& pin : ListItems(bel, "Pins")) {
    ++n.belPins;
    const CollPtr region = Get(pin, "Clock Region").AsColl();
    ASSERT_TRUE(region) << NameOf(pin);
    EXPECT_TRUE(Get(region, "X Min").integer <= x && x <= Get(region, "X Max").integer &&
                Get(region, "Y Min").integer <= y && y <= Get(region, "Y Max").integer)
        << NameOf(pin) << " in " << NameOf(region);
  }
}

void Examples::Iob(const CollPtr& comp, const CollPtr& site, const rapidjson::Value& cell,
                   const Flow& flow, Counts& n) {
  ++n.iobs;
  EXPECT_EQ(Text(comp, "IO Standard"), Parameter(cell, "IO_STANDARD"));
  const auto& pad = cell["connections"]["PACKAGE_PIN"].GetArray();
  const auto port = flow.portDir.find(pad[0].GetInt());
  ASSERT_NE(port, flow.portDir.end()) << NameOf(comp);
  const std::map<std::string, std::string> kDirections = {
      {"input", "Input"}, {"output", "Output"}, {"inout", "InOut"}};
  EXPECT_EQ(Text(comp, "IO Direction"), kDirections.at(port->second)) << NameOf(comp);
  // The IOB is named after its port bit, as the PCF names it.
  const auto constrained = flow.pin.find(NameOf(comp));
  if (constrained == flow.pin.end()) return;
  ++n.pinned;
  EXPECT_EQ(Text(site, "Package Pin"), constrained->second) << NameOf(comp);
}

// The comp's load pins on routed nets carry the SDF's delay, and so do the
// bel pins behind them (on the comp's inside signal).
void Examples::Delays(const Xdm_Block& block, const std::string& cell, const Flow& flow,
                      Counts& n) {
  for (Xdm_Pin* pin : block.GetPinItr()) {
    const CollPtr coll = (*m_design)->MakeCollectable(pin);
    if (Text(coll, "Direction") != "Input" || Text(coll, "Status") != "Routed") continue;
    ++n.loads;
    const auto sdf = flow.delay.find(cell + "/" + pin->GetName());
    ASSERT_NE(sdf, flow.delay.end()) << cell << "/" << pin->GetName();
    const double expected = sdf->second / 1000.0;
    EXPECT_DOUBLE_EQ(Get(coll, "Max Delay").number, expected) << cell << "/" << pin->GetName();
    const CollPtr inside = Get(coll, "Child Signal").AsColl();
    for (const CollPtr& belPin : ListItems(inside, "Pins")) {
      if (NameOf(Get(belPin, "Block").AsColl()) == block.GetName()) continue;  // the comp's own
      EXPECT_DOUBLE_EQ(Get(belPin, "Max Delay").number, expected) << NameOf(belPin);
    }
  }
}

TEST_P(Examples, AnswerWhatTheFlowWrote) {
  const Flow flow = ReadFlow(GetParam().name);
  OpenDesign design(kDir + GetParam().name + ".ncd.json.gz");
  m_design = &design;
  ASSERT_NE(design->GetRouteMediator(), nullptr);
  ASSERT_NE(design->GetDelayMediator(), nullptr);
  Counts n;
  std::vector<Xdm_Block*> pending{design->GetView()->GetBlock()};
  while (!pending.empty()) {
    auto* block = static_cast<Pds_PdmBlock*>(pending.back());
    pending.pop_back();
    if (block->IsComp()) {
      Comp(design->MakeCollectable(block), *block, flow, n);
      continue;
    }
    for (Xdm_Block* child : block->GetBlockItr())
      pending.push_back(child);
  }
  EXPECT_EQ(n.comps, static_cast<int>(flow.cellAtBel.size()));
  EXPECT_EQ(n.loads, static_cast<int>(flow.delay.size()));  // every interconnect found its pin
  std::ostringstream counts;
  counts << n.comps << " comps, " << n.bels << " bels, " << n.equations << " equations, " << n.iobs
         << " IOBs (" << n.pinned << " pinned), " << n.belPins << " bel pins, " << n.loads
         << " loads";
  EXPECT_EQ(counts.str(), GetParam().counts);
}

INSTANTIATE_TEST_SUITE_P(
    Ice40, Examples,
    ::testing::Values(
        Example{"counter",
                "57 comps, 100 bels, 36 equations, 16 IOBs (16 pinned), 317 bel pins, 171 loads"},
        Example{"uart",
                "124 comps, 212 bels, 103 equations, 4 IOBs (4 pinned), 714 bel pins, 403 loads"},
        Example{"alu",
                "156 comps, 211 bels, 122 equations, 32 IOBs (31 pinned), 697 bel pins, 393 loads"},
        Example{"fill",
                "6802 comps, 14047 bels, 6621 equations, 28 IOBs (11 pinned), 54007 bel pins, "
                "31041 loads"},
        Example{
            "sampler",
            "183 comps, 325 bels, 155 equations, 14 IOBs (14 pinned), 1247 bel pins, 677 loads"},
        Example{"glow",
                "132 comps, 248 bels, 102 equations, 7 IOBs (7 pinned), 1092 bel pins, 490 loads"}),
    [](const ::testing::TestParamInfo<Example>& info) { return std::string(info.param.name); });

}  // namespace
