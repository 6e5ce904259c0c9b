// Small nextpnr-ice40 netlists for the importer's tests, written as the
// placer writes them: cells with their bel, parameters and connections,
// net names with their routing; and the check every imported design must
// pass: the design loader reads it.
#pragma once

#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "NcdImport.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "TestDesigns.h"

namespace ncdimport_test {

// Writes the design into `dir` and loads it with the design loader;
// answers the text written. `refusal` gets the loader's message, if any.
inline std::string WriteAndLoad(const NcdImport::Design& design, const ncdtest::TempDir& dir,
                                std::string& refusal) {
  std::ostringstream text;
  NcdImport::WriteDesign(design, text);
  try {
    Pds_PahJsonLoader(dir.Write("imported.ncd.json", text.str())).Load();
  } catch (const Pds_Exception& e) {
    refusal = e.what();
  }
  return text.str();
}

struct CellDesc {
  std::string name, type, bel;
  std::map<std::string, std::string> params;
  std::vector<std::pair<std::string, int>> outputs;  // port, net bit
  std::vector<std::pair<std::string, int>> inputs;
  std::vector<std::pair<std::string, int>> inouts;
  std::map<std::string, std::string> attributes;
};

struct NetDesc {
  std::string name;
  int bit;
  std::string routing;  // "-" for no ROUTING attribute
  bool hidden = false;
};

struct PortDesc {
  std::string name, dir;
  std::vector<int> bits;
};

inline std::string Quote(const std::string& s) {
  return "\"" + s + "\"";
}

inline std::string Cell(const CellDesc& c) {
  std::string params, attrs = R"("NEXTPNR_BEL": )" + Quote(c.bel), dirs, conns;
  if (c.bel.empty()) attrs.clear();
  for (const auto& [k, v] : c.params) params += (params.empty() ? "" : ", ") + Quote(k) + ": " + Quote(v);
  for (const auto& [k, v] : c.attributes) attrs += (attrs.empty() ? "" : ", ") + Quote(k) + ": " + Quote(v);
  auto add = [&](const std::vector<std::pair<std::string, int>>& list, const char* dir) {
    for (const auto& [port, bit] : list) {
      dirs += (dirs.empty() ? "" : ", ") + Quote(port) + ": " + Quote(dir);
      conns += (conns.empty() ? "" : ", ") + Quote(port) + ": [" +
               (bit < 0 ? std::string("\"0\"") : std::to_string(bit)) + "]";
    }
  };
  add(c.outputs, "output");
  add(c.inputs, "input");
  add(c.inouts, "inout");
  return Quote(c.name) + R"(: {"hide_name": 0, "type": )" + Quote(c.type) + R"(, "parameters": {)" +
         params + R"(}, "attributes": {)" + attrs + R"(}, "port_directions": {)" + dirs +
         R"(}, "connections": {)" + conns + "}}";
}

inline std::string Netlist(const std::vector<PortDesc>& ports, const std::vector<CellDesc>& cells,
                           const std::vector<NetDesc>& nets, const std::string& arch = "hx1k",
                           const std::string& package = "tq144") {
  std::string text = R"({"creator": "test flow", "modules": {"top": {"settings": {"arch.type": )" +
                     Quote(arch) + R"(, "arch.package": )" + Quote(package) + R"(}, "attributes": {"top": "1", "hdlname": "\\chip"}, "ports": {)";
  for (std::size_t i = 0; i < ports.size(); ++i) {
    std::string bits;
    for (int b : ports[i].bits) bits += (bits.empty() ? "" : ", ") + std::to_string(b);
    text += (i ? ", " : "") + Quote(ports[i].name) + R"(: {"direction": )" + Quote(ports[i].dir) +
            R"(, "bits": [)" + bits + "]}";
  }
  text += R"(}, "cells": {)";
  for (std::size_t i = 0; i < cells.size(); ++i) text += (i ? ",\n" : "\n") + Cell(cells[i]);
  text += R"(}, "netnames": {)";
  for (std::size_t i = 0; i < nets.size(); ++i) {
    const NetDesc& n = nets[i];
    text += (i ? ",\n" : "\n") + Quote(n.name) + R"(: {"hide_name": )" + (n.hidden ? "1" : "0") +
            R"(, "bits": [)" + std::to_string(n.bit) + R"(], "attributes": {)" +
            (n.routing == "-" ? "" : R"("ROUTING": )" + Quote(n.routing)) + "}}";
  }
  return text + "}}}}\n";
}

// A logic cell with the flags set and ports joined to bits.
inline CellDesc Lc(const std::string& name, const std::string& bel, bool dff, bool carry,
                   const std::string& lutInit = "0110100110010110") {
  CellDesc c{name, "ICESTORM_LC", bel, {}, {}, {}, {}, {}};
  c.params = {{"LUT_INIT", lutInit},
              {"DFF_ENABLE", dff ? "1" : "0"},
              {"CARRY_ENABLE", carry ? "1" : "0"},
              {"NEG_CLK", "0"},
              {"ASYNC_SR", "0"},
              {"SET_NORESET", "0"},
              {"CIN_CONST", "0"},
              {"CIN_SET", "0"}};
  return c;
}

}  // namespace ncdimport_test
