// The in-memory form of a generated design: the block tree above the comps,
// the comps with their bels and what each bel pin connects to, the ports,
// and the signals the hierarchy needs. BuildDesign() makes it; the writer
// turns it into ncd-json. Everything is indexed by 32-bit ids in creation
// order, which is also the order of the file.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "NcdGen.h"

namespace NcdGen {

inline constexpr uint32_t kNone = 0xFFFFFFFFu;
// A bel pin joined to another bel pin of the same comp without a net (a LUT
// feeding the flip-flop or carry next to it). The low bits tell such links
// apart within the comp.
inline constexpr uint32_t kLink = 0x80000000u;

enum class BelKind : uint8_t { Lut, Ff, Carry };

// Pin slots of each bel kind; a LUT's inputs A1..A6 are slots 0..5.
inline constexpr int kLutOut = 6;
inline constexpr int kFfD = 0, kFfCe = 1, kFfCk = 2, kFfSr = 3, kFfQ = 4;
inline constexpr int kCarryIn = 0, kCarryS0 = 1, kCarryOut = 2;
inline constexpr int kSlots = 7;

int SlotCount(BelKind kind);
bool IsOutputSlot(BelKind kind, int slot);

struct Bel {
  BelKind kind = BelKind::Lut;
  uint8_t letter = 0;                // 0 for the A bel, 1 for B, ...
  uint8_t inputs = 0;                // LUT inputs in use; they fill A1 upwards
  std::array<uint32_t, kSlots> pin;  // a net id, kLink|n, or kNone
};

struct Comp {
  uint32_t node = 0;   // the module or hard macro holding the comp
  uint32_t local = 0;  // its name is "c<local>"
  uint32_t firstBel = 0;
  uint8_t bels = 0;
  bool slicem = false;
  bool secure = false;    // netlist_security set
  uint32_t site = kNone;  // site number, kNone when unplaced
};

enum class NodeKind : uint8_t { Top, Module, Macro };

// A block above the comps: the top, a module or a hard-macro instance.
struct Node {
  NodeKind kind = NodeKind::Top;
  uint8_t depth = 0;
  bool partition = false;
  uint8_t macroType = 0;
  uint32_t parent = kNone;
  uint32_t local = 0;  // a module is "u<local>", a hard macro "hm<local>"
  uint32_t firstComp = 0, ownComp = 0, endComp = 0;  // subtree comps; own ones from ownComp
  uint32_t firstMacro = 0, endMacro = 0;             // a module's hard macros (node ids)
  uint32_t clock = kNone;                            // the clock net of a module's flip-flops
};

enum class IobDir : uint8_t { In, Out, Bidir };

struct Iob {
  std::string name;  // the port, the IOB comp and the pad net share it
  IobDir dir = IobDir::In;
  uint8_t pair = 0;  // 1 for the P side of a differential pair, 2 for the N side
  uint8_t standard = 0;
  uint32_t pad = kNone;  // the pad net
  uint32_t in = kNone;   // the net the I pin drives
  uint32_t out = kNone;  // the net the O pin loads
  uint32_t site = 0;
};

struct Shape {
  uint32_t firstComp = 0;
  uint32_t count = 0;
  bool user = false;
};

// A net's signal inside a module, hard macro or the top, and whether the
// block has a pin for it (the net also reaches outside the block).
struct NodeSignal {
  uint32_t node = 0;
  uint32_t net = 0;
  bool pin = false;
  bool operator<(const NodeSignal& o) const { return node != o.node ? node < o.node : net < o.net; }
};

struct Design {
  uint64_t seed = 0;
  uint64_t requested = 0;   // the block count asked for
  std::vector<Node> nodes;  // 0 is the top, then the modules, then the hard macros
  std::vector<Comp> comps;
  std::vector<Bel> bels;
  std::vector<Iob> iobs;
  std::vector<Shape> shapes;
  std::vector<std::string> netNames;  // nets below netNames.size() are named here
  uint32_t netCount = 0;              // the others are "n<id>"
  uint32_t gnd = kNone, vcc = kNone;
  std::vector<uint32_t> clockNets;
  uint32_t siteColumns = 1;
  uint32_t regionRows = 1;

  // Filled by ResolveHierarchy().
  std::vector<uint32_t> driverNode;       // per net: the node holding its driver, or kNone
  std::vector<uint8_t> crossesComp;       // per net: reaches beyond a single comp
  std::vector<NodeSignal> nodeSignals;    // ordered by node, then net
  std::vector<uint32_t> nodeSignalBegin;  // per node, plus one end entry
};

Design BuildDesign(const Options& options);
void ResolveHierarchy(Design& design);

}  // namespace NcdGen
