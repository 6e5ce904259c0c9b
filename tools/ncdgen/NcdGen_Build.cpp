// Builds the structure of a generated design: modules, hard macros, comps
// with their bels, ports, and the nets between bel pins. All choices come
// from one random stream in a fixed order, so the seed fixes the design.
#include <algorithm>
#include <cmath>
#include <string>

#include "NcdGen_Design.h"
#include "NcdGen_Rng.h"

namespace NcdGen {

int SlotCount(BelKind kind) {
  switch (kind) {
    case BelKind::Lut:
      return 7;
    case BelKind::Ff:
      return 5;
    case BelKind::Carry:
      return 3;
  }
  return 0;
}

bool IsOutputSlot(BelKind kind, int slot) {
  switch (kind) {
    case BelKind::Lut:
      return slot == kLutOut;
    case BelKind::Ff:
      return slot == kFfQ;
    case BelKind::Carry:
      return slot == kCarryOut;
  }
  return false;
}

namespace {

// The bel mixes a slice may hold, and how often each is drawn.
struct Pattern {
  uint32_t weight;
  uint8_t count;
  BelKind kind[4];
  uint8_t letter[4];
};

using K = BelKind;
constexpr Pattern kPatterns[] = {
    {30, 2, {K::Lut, K::Ff}, {0, 0}},
    {10, 2, {K::Lut, K::Lut}, {0, 1}},
    {15, 3, {K::Lut, K::Ff, K::Lut}, {0, 0, 1}},
    {31, 4, {K::Lut, K::Ff, K::Lut, K::Ff}, {0, 0, 1, 1}},
    {6, 3, {K::Lut, K::Lut, K::Lut}, {0, 1, 2}},
    {4, 3, {K::Lut, K::Lut, K::Carry}, {0, 1, 0}},
    {4, 4, {K::Lut, K::Lut, K::Lut, K::Carry}, {0, 1, 2, 0}},
};
constexpr uint32_t kFirstCarryPattern = 5;

// Loads of an ordinary net: mostly one to three.
constexpr uint32_t kFanoutWeight[] = {50, 25, 12, 8, 5};

constexpr uint32_t kMinMacroComps = 4, kMaxMacroComps = 12;

class Builder {
 public:
  explicit Builder(const Options& options) : m_rng(options.seed), m_want(options.blocks) {
    m_d.seed = options.seed;
    m_d.requested = options.blocks;
  }
  Design Build();

 private:
  void Plan();
  uint32_t NewNet(std::string name = {});
  void MakePorts();
  void AddPort(std::string name, IobDir dir, uint8_t pair);
  void MakeModules();
  void FillModule(uint32_t module, uint32_t macros, uint64_t blockEnd);
  void AddMacro(uint32_t module, uint32_t local);
  void AddComp(uint32_t node, uint32_t local);
  const Pattern& DrawPattern();
  void LinkAndClock(uint32_t comp);
  void ChainCarry(uint32_t comp);
  void MakeShapes(const Node& module);
  void DriveNets();
  uint32_t DrawFanout();
  void AddLoads(uint32_t net, uint32_t module, uint32_t loads, uint32_t avoidBel);
  bool AddLoad(uint32_t net, uint32_t module, uint32_t avoidBel);
  bool TakeInput(Bel& bel, uint32_t net);
  void DrivePorts();
  void FeedIdleInputs();
  void Place();
  uint32_t ModuleOf(const Comp& comp) const;

  Rng m_rng;
  uint64_t m_want;
  Design m_d;
  uint32_t m_modules = 0, m_macros = 0, m_ports = 0;
  uint64_t m_compBlocks = 0;  // blocks of comps and bels made so far
  uint32_t m_chainLeft = 0;   // carry comps still to add to the current chain
  uint32_t m_lastCarry = kNone;
  uint32_t m_firstLogicNet = 0;
  std::vector<uint32_t> m_moduleNetBegin, m_moduleNetEnd;
};

uint32_t Clamp(double v, uint32_t lo, uint32_t hi) {
  return static_cast<uint32_t>(std::clamp<long long>(std::llround(v), lo, hi));
}

// Sizes grow with the square root of the request, as the port and module
// counts of real designs do.
void Builder::Plan() {
  double root = std::sqrt(static_cast<double>(m_want));
  m_modules = Clamp(root / 8, 2, 250);
  m_ports = Clamp(root / 2, 8, 1200);
  m_macros = Clamp(static_cast<double>(m_want) / 25000, 1, 40);
  m_d.nodes.push_back(Node{});  // the top
}

// Named nets (globals and ports) are all made before the first unnamed one,
// so that a net's id indexes netNames.
uint32_t Builder::NewNet(std::string name) {
  if (!name.empty()) m_d.netNames.push_back(std::move(name));
  return m_d.netCount++;
}

Design Builder::Build() {
  Plan();
  m_d.gnd = NewNet("GLOBAL_LOGIC0");
  m_d.vcc = NewNet("GLOBAL_LOGIC1");
  MakePorts();
  m_firstLogicNet = m_d.netCount;
  MakeModules();
  DriveNets();
  DrivePorts();
  FeedIdleInputs();
  Place();
  ResolveHierarchy(m_d);
  return std::move(m_d);
}

void Builder::AddPort(std::string name, IobDir dir, uint8_t pair) {
  Iob iob;
  iob.dir = dir;
  iob.pair = pair;
  iob.standard = pair ? 0 : static_cast<uint8_t>(1 + m_rng.Below(4));
  iob.pad = NewNet(name);
  // The N side of a pair passes its data through the P side.
  if (dir != IobDir::Out && pair != 2) iob.in = NewNet(name + "_IBUF");
  iob.name = std::move(name);
  m_d.iobs.push_back(std::move(iob));
}

// The clock and reset come first: ports 0 and 1 (and 2 for a second clock
// when there are modules enough to share them).
void Builder::MakePorts() {
  AddPort("clk", IobDir::In, 0);
  AddPort("rst", IobDir::In, 0);
  m_d.clockNets.push_back(m_d.iobs[0].in);
  if (m_modules >= 6) {
    AddPort("clk2", IobDir::In, 0);
    m_d.clockNets.push_back(m_d.iobs[2].in);
  }
  uint32_t pairs = std::max<uint32_t>(1, m_ports / 40);
  for (uint32_t k = 0; k < pairs; ++k) {
    AddPort("d" + std::to_string(k) + "_p", IobDir::In, 1);
    AddPort("d" + std::to_string(k) + "_n", IobDir::In, 2);
  }
  for (uint32_t k = 0; m_d.iobs.size() < m_ports; ++k) {
    uint32_t r = m_rng.Below(100);
    IobDir dir = r < 45 ? IobDir::In : r < 90 ? IobDir::Out : IobDir::Bidir;
    const char* prefix = dir == IobDir::In ? "i" : dir == IobDir::Out ? "o" : "b";
    AddPort(prefix + std::to_string(k), dir, 0);
  }
}

// Modules get random shares of the comp budget; each fills up to its
// cumulative share, so the total lands a few blocks above the request.
void Builder::MakeModules() {
  std::vector<uint32_t> weight(m_modules), macros(m_modules, 0);
  uint64_t total = 0;
  for (auto& w : weight)
    total += (w = m_rng.Between(1, 8));
  for (uint32_t h = 0; h < m_macros; ++h)
    ++macros[m_rng.Below(m_modules)];
  for (uint32_t m = 0; m < m_modules; ++m) {
    Node n;
    n.kind = NodeKind::Module;
    n.depth = 1;
    n.parent = 0;
    n.local = m;
    n.partition = m % 8 == 1;
    n.clock = m_d.clockNets.size() > 1 && m % 6 == 5 ? m_d.clockNets[1] : m_d.clockNets[0];
    m_d.nodes.push_back(n);
  }
  uint64_t fixed = 1 + m_modules + m_macros + m_ports;
  uint64_t budget = m_want > fixed ? m_want - fixed : 0;
  uint64_t cumulative = 0;
  for (uint32_t m = 0; m < m_modules; ++m) {
    cumulative += weight[m];
    FillModule(1 + m, macros[m], budget * cumulative / total);
  }
}

void Builder::FillModule(uint32_t module, uint32_t macros, uint64_t blockEnd) {
  m_d.nodes[module].firstComp = static_cast<uint32_t>(m_d.comps.size());
  m_d.nodes[module].firstMacro = static_cast<uint32_t>(m_d.nodes.size());
  for (uint32_t h = 0; h < macros; ++h)
    AddMacro(module, h);
  m_d.nodes[module].endMacro = static_cast<uint32_t>(m_d.nodes.size());
  m_d.nodes[module].ownComp = static_cast<uint32_t>(m_d.comps.size());
  m_chainLeft = 0;
  m_lastCarry = kNone;
  uint32_t local = 0;
  do {
    AddComp(module, local++);
  } while (m_compBlocks < blockEnd);
  m_d.nodes[module].endComp = static_cast<uint32_t>(m_d.comps.size());
  MakeShapes(m_d.nodes[module]);
}

void Builder::AddMacro(uint32_t module, uint32_t local) {
  uint32_t id = static_cast<uint32_t>(m_d.nodes.size());
  Node n;
  n.kind = NodeKind::Macro;
  n.depth = 2;
  n.parent = module;
  n.local = local;
  n.macroType = static_cast<uint8_t>(m_rng.Below(3));
  n.clock = m_d.nodes[module].clock;
  n.firstComp = n.ownComp = static_cast<uint32_t>(m_d.comps.size());
  m_d.nodes.push_back(n);
  m_chainLeft = 0;
  m_lastCarry = kNone;
  uint32_t count = m_rng.Between(kMinMacroComps, kMaxMacroComps);
  for (uint32_t i = 0; i < count; ++i)
    AddComp(id, i);
  m_d.nodes[id].endComp = static_cast<uint32_t>(m_d.comps.size());
}

// Carry patterns come in chains of one to four comps in a row.
const Pattern& Builder::DrawPattern() {
  if (m_chainLeft > 0) {
    --m_chainLeft;
    return kPatterns[kFirstCarryPattern + m_rng.Below(2)];
  }
  uint32_t r = m_rng.Below(100);
  uint32_t i = 0;
  while (r >= kPatterns[i].weight)
    r -= kPatterns[i++].weight;
  if (i >= kFirstCarryPattern) m_chainLeft = m_rng.Below(4);
  return kPatterns[i];
}

void Builder::AddComp(uint32_t node, uint32_t local) {
  const Pattern& p = DrawPattern();
  Comp c;
  c.node = node;
  c.local = local;
  c.firstBel = static_cast<uint32_t>(m_d.bels.size());
  c.bels = p.count;
  c.slicem = m_rng.Percent(25);
  c.secure = m_rng.Below(500) == 0;
  for (uint32_t i = 0; i < p.count; ++i) {
    Bel b;
    b.kind = p.kind[i];
    b.letter = p.letter[i];
    b.pin.fill(kNone);
    m_d.bels.push_back(b);
  }
  m_d.comps.push_back(c);
  m_compBlocks += 1 + p.count;
  LinkAndClock(static_cast<uint32_t>(m_d.comps.size() - 1));
}

// Flip-flops share the comp's clock, reset and enable; most take their D
// from the LUT of the same letter inside the comp, and a carry always takes
// S0 from the A LUT (those links are not nets).
void Builder::LinkAndClock(uint32_t ci) {
  const Comp& c = m_d.comps[ci];
  uint32_t clock = m_d.nodes[c.node].clock;
  bool reset = m_rng.Percent(50), enable = m_rng.Percent(20);
  bool carry = false;
  for (uint32_t i = 0; i < c.bels; ++i) {
    Bel& b = m_d.bels[c.firstBel + i];
    if (b.kind == BelKind::Ff) {
      b.pin[kFfCk] = clock;
      if (reset) b.pin[kFfSr] = m_d.iobs[1].in;
      if (enable) b.pin[kFfCe] = m_d.vcc;
      Bel& lut = m_d.bels[c.firstBel + i - 1];  // patterns put a LUT before each flip-flop
      if (lut.kind == BelKind::Lut && lut.letter == b.letter && m_rng.Percent(85))
        lut.pin[kLutOut] = b.pin[kFfD] = kLink | (i - 1);
    } else if (b.kind == BelKind::Carry) {
      m_d.bels[c.firstBel].pin[kLutOut] = b.pin[kCarryS0] = kLink;
      ChainCarry(ci);
      carry = true;
    }
  }
  m_lastCarry = carry ? ci : kNone;
}

// A carry continues the chain of the comp just before it, else starts one
// from ground.
void Builder::ChainCarry(uint32_t ci) {
  const Comp& c = m_d.comps[ci];
  Bel& carry = m_d.bels[c.firstBel + c.bels - 1];
  if (m_lastCarry != kNone && m_lastCarry + 1 == ci) {
    const Comp& prev = m_d.comps[m_lastCarry];
    uint32_t net = NewNet();
    m_d.bels[prev.firstBel + prev.bels - 1].pin[kCarryOut] = net;
    carry.pin[kCarryIn] = net;
  } else {
    carry.pin[kCarryIn] = m_d.gnd;
  }
}

// About one comp in thirty starts an RPM of two to six comps in a row.
void Builder::MakeShapes(const Node& module) {
  for (uint32_t c = module.ownComp; c < module.endComp;) {
    if (m_rng.Below(30) != 0) {
      ++c;
      continue;
    }
    uint32_t count = std::min(m_rng.Between(2, 6), module.endComp - c);
    if (count >= 2) m_d.shapes.push_back(Shape{c, count, m_rng.Below(3) == 0});
    c += std::max<uint32_t>(count, 1);
  }
}

uint32_t Builder::ModuleOf(const Comp& comp) const {
  const Node& n = m_d.nodes[comp.node];
  return n.kind == NodeKind::Macro ? n.parent : comp.node;
}

// Every bel output not yet used drives a net of its own; most loads stay
// in the driver's module.
void Builder::DriveNets() {
  m_moduleNetBegin.assign(m_d.nodes.size(), m_d.netCount);
  m_moduleNetEnd.assign(m_d.nodes.size(), m_d.netCount);
  for (uint32_t ci = 0; ci < m_d.comps.size(); ++ci) {
    const Comp& c = m_d.comps[ci];
    uint32_t module = ModuleOf(c);
    if (ci == m_d.nodes[module].firstComp) m_moduleNetBegin[module] = m_d.netCount;
    for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b) {
      BelKind kind = m_d.bels[b].kind;
      for (int slot = 0; slot < SlotCount(kind); ++slot) {
        if (!IsOutputSlot(kind, slot) || m_d.bels[b].pin[slot] != kNone) continue;
        uint32_t net = NewNet();
        m_d.bels[b].pin[slot] = net;
        AddLoads(net, module, DrawFanout(), b);
      }
    }
    m_moduleNetEnd[module] = m_d.netCount;
  }
}

// One net in two hundred is a medium-fanout net (enables, selects).
uint32_t Builder::DrawFanout() {
  if (m_rng.Below(200) == 0) return m_rng.Between(10, 60);
  uint32_t r = m_rng.Below(100);
  uint32_t i = 0;
  while (r >= kFanoutWeight[i])
    r -= kFanoutWeight[i++];
  return i + 1;
}

void Builder::AddLoads(uint32_t net, uint32_t module, uint32_t loads, uint32_t avoidBel) {
  for (uint32_t i = 0; i < loads; ++i) {
    uint32_t target = m_rng.Percent(85) ? module : 1 + m_rng.Below(m_modules);
    AddLoad(net, target, avoidBel);
  }
}

// Tries a few comps of the module for a free input; a net may end up with
// fewer loads than drawn when they are full.
bool Builder::AddLoad(uint32_t net, uint32_t module, uint32_t avoidBel) {
  const Node& m = m_d.nodes[module];
  for (int tries = 0; tries < 3; ++tries) {
    const Comp& c = m_d.comps[m.firstComp + m_rng.Below(m.endComp - m.firstComp)];
    uint32_t start = m_rng.Below(c.bels);
    for (uint32_t k = 0; k < c.bels; ++k) {
      uint32_t b = c.firstBel + (start + k) % c.bels;
      if (b != avoidBel && TakeInput(m_d.bels[b], net)) return true;
    }
  }
  return false;
}

bool Builder::TakeInput(Bel& bel, uint32_t net) {
  if (bel.kind == BelKind::Ff) {
    if (bel.pin[kFfD] != kNone) return false;
    bel.pin[kFfD] = net;
    return true;
  }
  if (bel.kind != BelKind::Lut || bel.inputs == 6) return false;
  for (int i = 0; i < bel.inputs; ++i)
    if (bel.pin[i] == net) return false;
  bel.pin[bel.inputs++] = net;
  return true;
}

// Input ports feed a few loads anywhere; output ports take an existing
// net as one more load.
void Builder::DrivePorts() {
  uint32_t special = static_cast<uint32_t>(m_d.clockNets.size()) + 1;  // clocks and reset
  for (uint32_t i = 0; i < m_d.iobs.size(); ++i) {
    Iob& iob = m_d.iobs[i];
    if (iob.in != kNone && i >= special) {
      uint32_t loads = DrawFanout();
      for (uint32_t k = 0; k < loads; ++k)
        AddLoad(iob.in, 1 + m_rng.Below(m_modules), kNone);
    }
    if (iob.dir != IobDir::In)
      iob.out = m_firstLogicNet + m_rng.Below(m_d.netCount - m_firstLogicNet);
  }
}

// A LUT with no input or a flip-flop with no D left is given a net of its
// module, so that no bel floats.
void Builder::FeedIdleInputs() {
  for (const Comp& c : m_d.comps) {
    uint32_t module = ModuleOf(c);
    uint32_t begin = m_moduleNetBegin[module], end = m_moduleNetEnd[module];
    for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b) {
      Bel& bel = m_d.bels[b];
      bool idle = bel.kind == BelKind::Lut ? bel.inputs == 0
                                           : bel.kind == BelKind::Ff && bel.pin[kFfD] == kNone;
      uint32_t own = bel.pin[bel.kind == BelKind::Lut ? kLutOut : kFfQ];
      for (int tries = 0; idle && tries < 4 && begin < end; ++tries) {
        uint32_t net = begin + m_rng.Below(end - begin);
        idle = net == own || !TakeInput(bel, net);
      }
      if (idle) TakeInput(bel, m_d.vcc);
    }
  }
}

// Three comps in a hundred stay unplaced; the others fill a square of
// sites row by row. Clock regions are two columns of twenty site rows.
void Builder::Place() {
  uint32_t placed = 0;
  for (Comp& c : m_d.comps)
    if (m_rng.Below(100) >= 3) c.site = placed++;
  uint32_t columns = static_cast<uint32_t>(std::ceil(std::sqrt(static_cast<double>(placed))));
  m_d.siteColumns = std::max<uint32_t>(8, (columns + 1) & ~1u);
  uint32_t rows = (placed + m_d.siteColumns - 1) / m_d.siteColumns;
  m_d.regionRows = std::max<uint32_t>(1, (rows + 19) / 20);
  for (uint32_t i = 0; i < m_d.iobs.size(); ++i)
    m_d.iobs[i].site = i;
  bool secure = false;
  for (const Comp& c : m_d.comps)
    secure = secure || c.secure;
  if (!secure) m_d.comps[m_d.comps.size() / 2].secure = true;
}

}  // namespace

Design BuildDesign(const Options& options) {
  return Builder(options).Build();
}

}  // namespace NcdGen
