// The placed-and-routed netlist as nextpnr writes it (--write): the top
// module's ports, cells with their bel, parameters, attributes and port
// connections, and net names with their routing. The reader keeps the
// file's order everywhere; it checks the structure it relies on and
// leaves meaning to the mapping (NcdImport_Map.h).
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "NcdImport_Notes.h"

namespace NcdImport {

enum class Dir { In, Out, InOut };

// A net bit: a non-negative id, or one of the constants a connection may
// hold instead ("0", "1", "x", "z").
using Bit = std::int64_t;
inline constexpr Bit kConst0 = -1, kConst1 = -2, kConstX = -3, kConstZ = -4;

using Attributes = std::vector<std::pair<std::string, std::string>>;

struct CellPort {
  std::string name;
  Dir dir = Dir::In;
  std::vector<Bit> bits;
};

struct Cell {
  std::string name;
  std::string type;
  Attributes parameters;  // values as written; numbers become decimal text
  std::vector<std::string> numberParameters;  // the keys whose value was a JSON number
  Attributes attributes;  // NEXTPNR_BEL among them
  std::vector<CellPort> ports;

  const std::string* Parameter(const std::string& key) const;
  // A number's decimal text, not the binary digits nextpnr writes.
  bool IsNumber(const std::string& key) const;
  const std::string* Attribute(const std::string& key) const;
  const CellPort* Port(const std::string& port) const;
};

// A vector of bits with the name of each: "q[3]", or "q" for a single bit.
struct BitVector {
  std::string name;
  std::vector<Bit> bits;
  std::int64_t offset = 0;
  bool upto = false;
  std::string BitName(std::size_t i) const;
};

struct Port : BitVector {
  Dir dir = Dir::In;
};

struct NetName : BitVector {
  bool hidden = false;
  bool hasRouting = false;
  std::string routing;  // "wire;pip;strength;..." as nextpnr writes it
  Attributes otherAttributes;
};

struct Netlist {
  std::string path;  // the file, for messages
  std::string creator;
  std::string moduleName;  // the top module's key
  Attributes settings;
  Attributes moduleAttributes;
  std::vector<Port> ports;
  std::vector<Cell> cells;
  std::vector<NetName> netNames;
};

// Reads the file (plain or gzip). Throws Error for unreadable or malformed
// JSON ("<file>:<line>:<column>: <cause>") and for a structure it cannot
// use ("<file>: cell 'x': 'type' must be a string"). Modules other than the
// top go to `notes`.
Netlist ReadNetlist(const std::string& path, Notes& notes, std::uint64_t limit);

}  // namespace NcdImport
