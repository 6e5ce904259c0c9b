// The imported design as the writer emits it: a plain tree in the terms of
// the ncd-json format (docs/design-format.md). The mapping fills it; the
// writer turns it into text in the order the loader reads fastest.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "NcdImport_Device.h"
#include "NcdImport_Netlist.h"

namespace NcdImport {

// Blocks nest at most this many levels below the top block (the loader's
// limit).
inline constexpr int kMaxDepth = 256;

struct Signal {
  std::string name;
  std::string net;  // empty: a signal without a net (a link inside a comp)
};

struct Pin {
  std::string name;
  Dir dir = Dir::In;
  std::string signal;  // in the parent block
  std::string child;   // in the pin's own block
  bool pad = false;
  bool clock = false;
  bool hasDelay = false;
  std::int32_t delay = 0;
};

struct Block {
  std::string name, type;
  int level = 0;
  bool external = false;
  std::string site, config;
  Attributes modes, gcd;
  // A bel's configuration: the names of its string modes ("mode_defs"),
  // whose values are in gcd.
  std::vector<std::string> modeDefs;
  std::string ioStandard;  // an IOB's standard, for input and output alike
  std::vector<Signal> signals;
  std::vector<Pin> pins;
  std::vector<std::unique_ptr<Block>> blocks;
  // The enclosing block. Blocks are held by their parents and never move,
  // but the top moves with its design: Import() answers a design whose top's
  // children point at its top, which a later move of the design undoes.
  Block* parent = nullptr;

  // The block's signal for a net, named after the net; made on first use.
  const std::string& SignalFor(const std::string& net);
  Signal& AddSignal(std::string name, std::string net);
  // A new child; `name` made unique among the children ("x", "x$2", ...).
  Block& AddChild(const std::string& name, int level, bool* clashed = nullptr);
  Block* FindChild(const std::string& name) const;
  std::string Path() const;  // "" for the top, "u_uart/u_tx/c" below it

 private:
  std::unordered_map<std::string, std::size_t> m_signalIndex;
  std::unordered_map<std::string, Block*> m_childIndex;
  std::unordered_map<std::string, int> m_nextSuffix;  // per name asked for twice
};

struct Net {
  enum Type { kLogic, kPower, kGround };
  std::string name;
  Type type = kLogic;
  bool master = false;
  bool routable = true;
  std::string route;  // "", "full", "partial", "unrouted"
  bool hasDelay = false;
  std::int32_t delay = 0, delayMin = 0;
};

struct Shape {
  std::string name;
  std::string reference;
  std::vector<std::string> members;
};

struct CellType {
  std::string name;
  bool equation = false;  // a usage with the string mode "EQN"
};

struct DeviceCell {
  std::string name, type, region;
  int x = -1, y = -1;                  // x < 0: no position
  std::string tile, packagePin, bank;  // "" for none
};

struct Design {
  std::string part, name, tool;
  std::vector<Region> regions;
  std::vector<CellType> cellTypes;
  std::vector<DeviceCell> cells;
  std::vector<Net> nets;
  Block top;
  std::vector<Shape> shapes;
};

}  // namespace NcdImport
