// Writes the block tree: the top with its ports, the IOBs, modules, hard
// macros, comps and bels, with the signals and pins the hierarchy needs.
#include <string>

#include "NcdGen_Emitter.h"
#include "NcdGen_Rng.h"

namespace NcdGen {

namespace {

constexpr const char* kMacroTypes[] = {"HM_ADD16", "HM_MUL8", "HM_FIFO"};

void CompPinName(const Bel& bel, int slot, char* out) {
  char letter = static_cast<char>('A' + bel.letter);
  static constexpr const char* kFf[] = {"X", "CE", "CLK", "SR", "Q"};
  static constexpr const char* kCarry[] = {"CIN", "S0", "COUT"};
  std::string text;
  if (bel.kind == BelKind::Lut) {
    text = slot == kLutOut ? std::string(1, letter) : std::string{letter, char('1' + slot)};
  } else if (bel.kind == BelKind::Ff) {
    text = (slot == kFfD || slot == kFfQ) ? letter + std::string(kFf[slot]) : kFf[slot];
  } else {
    text = kCarry[slot];
  }
  text.copy(out, 4);
  out[text.size()] = '\0';
}

std::string_view BelPinName(BelKind kind, int slot) {
  static constexpr std::string_view kLut[] = {"A1", "A2", "A3", "A4", "A5", "A6", "O6"};
  static constexpr std::string_view kFf[] = {"D", "CE", "CK", "SR", "Q"};
  static constexpr std::string_view kCarry[] = {"CIN", "S0", "CO3"};
  if (kind == BelKind::Lut) return kLut[slot];
  return kind == BelKind::Ff ? kFf[slot] : kCarry[slot];
}
}  // namespace

void Emitter::Top() {
  m_j.BeginObject();
  m_j.Str("name", "top");
  m_j.Int("level", 0);
  NodeSignals(0);
  m_j.Key("pins");
  m_j.BeginArray();
  for (const Iob& iob : m_d.iobs) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Str("name", iob.name);
    m_j.Str("dir", kDirs[static_cast<int>(iob.dir)]);
    // The pad net flows from an input port to its IOB and from an IOB to
    // its output port, against the default load flags of top pins.
    if (iob.dir != IobDir::Bidir) m_j.Flag("load", iob.dir == IobDir::Out);
    m_j.Str("child_signal", iob.name);
    m_j.EndObject();
    ++m_s.pins;
  }
  m_j.EndArray();
  m_j.Key("blocks");
  m_j.BeginArray();
  for (const Iob& iob : m_d.iobs)
    IobBlock(iob);
  for (uint32_t n = 1; n < m_d.nodes.size(); ++n)
    if (m_d.nodes[n].kind == NodeKind::Module) ModuleBlock(n);
  m_j.EndArray();
  m_j.EndObject();
  ++m_s.blocks;
}

// A node's signals carry their net's name; so do its pins.
void Emitter::NodeSignals(uint32_t node) {
  uint32_t begin = m_d.nodeSignalBegin[node], end = m_d.nodeSignalBegin[node + 1];
  if (begin == end) return;
  m_j.Key("signals");
  m_j.BeginArray();
  for (uint32_t i = begin; i < end; ++i) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Key("name");
    NetName(m_d.nodeSignals[i].net);
    m_j.Key("net");
    NetName(m_d.nodeSignals[i].net);
    m_j.EndObject();
  }
  m_j.EndArray();
  m_s.signals += end - begin;
}

void Emitter::NodePins(uint32_t node) {
  uint32_t begin = m_d.nodeSignalBegin[node], end = m_d.nodeSignalBegin[node + 1];
  bool any = false;
  for (uint32_t i = begin; i < end; ++i) {
    const NodeSignal& s = m_d.nodeSignals[i];
    if (!s.pin) continue;
    if (!any) {
      m_j.Key("pins");
      m_j.BeginArray();
      any = true;
    }
    bool out = false;
    for (uint32_t n = m_d.driverNode[s.net]; n != kNone && !out; n = m_d.nodes[n].parent)
      out = n == node;
    m_j.Newline();
    m_j.BeginObject();
    m_j.Key("name");
    NetName(s.net);
    if (out) m_j.Str("dir", "output");
    if (IsClock(s.net)) m_j.True("clock");
    m_j.Key("signal");
    NetName(s.net);
    m_j.Key("child_signal");
    NetName(s.net);
    m_j.EndObject();
    ++m_s.pins;
  }
  if (any) m_j.EndArray();
}

void Emitter::IobBlock(const Iob& iob) {
  m_j.Newline();
  m_j.BeginObject();
  m_j.Str("name", iob.name);
  m_j.Str("type", "IOB");
  m_j.Int("level", 3);
  m_j.True("external");
  m_j.Str("site", "IOB_X" + std::to_string(iob.site % 2) + "Y" + std::to_string(iob.site / 2));
  if (iob.pair) {
    std::string other = iob.name.substr(0, iob.name.size() - 1) + (iob.pair == 1 ? "n" : "p");
    m_j.Str("config", "INBUF:#IBUFDS PAIR:" + other);
  } else {
    static constexpr const char* kConfig[] = {"INBUF:#IBUF", "OUTBUF:#OBUF", "IOBUF:#IOBUF"};
    m_j.Str("config", kConfig[static_cast<int>(iob.dir)]);
  }
  IobIo(iob);
  IobPins(iob);
  m_j.EndObject();
  ++m_s.blocks;
  ++m_s.comps;
}

// PAD on the port's pad net; I drives the port's data net, O loads a net
// of the logic.
void Emitter::IobPins(const Iob& iob) {
  m_j.Key("pins");
  m_j.BeginArray();
  m_j.BeginObject();
  m_j.Str("name", "PAD");
  m_j.Str("dir", kDirs[static_cast<int>(iob.dir)]);
  m_j.True("pad");
  m_j.Str("signal", iob.name);
  m_j.EndObject();
  if (iob.in != kNone) {
    m_j.BeginObject();
    m_j.Str("name", "I");
    m_j.Str("dir", "output");
    m_j.Key("signal");
    NetName(iob.in);
    m_j.EndObject();
  }
  if (iob.out != kNone) {
    m_j.BeginObject();
    m_j.Str("name", "O");
    m_j.Key("signal");
    NetName(iob.out);
    // Counted down from the top so as not to meet a comp number.
    if (uint32_t d = PinDelay(iob.out, ~uint64_t{0} - iob.site)) m_j.Int("delay", d);
    m_j.EndObject();
  }
  m_j.EndArray();
  m_s.pins += 1 + (iob.in != kNone) + (iob.out != kNone);
}

void Emitter::IobIo(const Iob& iob) {
  uint64_t h = Hash(m_d.seed, iob.site, 2);
  m_j.Key("io");
  m_j.BeginObject();
  if (iob.dir != IobDir::Out) m_j.Str("input_standard", kStandards[iob.standard]);
  if (iob.dir != IobDir::In) {
    static constexpr const char* kDrive[] = {"4", "8", "12", "16"};
    m_j.Str("output_standard", kStandards[iob.standard]);
    m_j.Str("drive", kDrive[h % 4]);
    m_j.Str("slew", (h >> 8) % 3 == 0 ? "FAST" : "SLOW");
  }
  m_j.EndObject();
}
void Emitter::ModuleBlock(uint32_t node) {
  const Node& m = m_d.nodes[node];
  m_j.Newline();
  m_j.BeginObject();
  m_j.Str("name", "u", m.local);
  m_j.Int("level", 1);
  if (m.partition) m_j.True("partition");
  NodeSignals(node);
  NodePins(node);
  m_j.Key("blocks");
  m_j.BeginArray();
  for (uint32_t h = m.firstMacro; h < m.endMacro; ++h)
    MacroBlock(h);
  for (uint32_t c = m.ownComp; c < m.endComp; ++c)
    CompBlock(c);
  m_j.EndArray();
  m_j.EndObject();
  ++m_s.blocks;
}

void Emitter::MacroBlock(uint32_t node) {
  const Node& h = m_d.nodes[node];
  m_j.Newline();
  m_j.BeginObject();
  m_j.Str("name", "hm", h.local);
  m_j.Str("type", kMacroTypes[h.macroType]);
  m_j.Int("level", 2);
  NodeSignals(node);
  NodePins(node);
  m_j.Key("blocks");
  m_j.BeginArray();
  for (uint32_t c = h.firstComp; c < h.endComp; ++c)
    CompBlock(c);
  m_j.EndArray();
  m_j.EndObject();
  ++m_s.blocks;
}

void Emitter::CompBlock(uint32_t ci) {
  const Comp& c = m_d.comps[ci];
  Locals locals = LocalsOf(c);
  m_j.Newline();
  m_j.BeginObject();
  m_j.Str("name", "c", c.local);
  m_j.Str("type", c.slicem ? "SLICEM" : "SLICEL");
  m_j.Int("level", 3);
  if (c.site != kNone) {
    m_tmp = "SLICE_X";
    Append(m_tmp, c.site % m_d.siteColumns);
    m_tmp += 'Y';
    Append(m_tmp, c.site / m_d.siteColumns);
    m_j.Str("site", m_tmp);
  }
  CompConfig(c);
  if (c.secure) m_j.Int("netlist_security", 1);
  CompSignals(locals);
  CompPins(ci, locals);
  m_j.Key("blocks");
  m_j.BeginArray();
  for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b)
    BelBlock(c, b, locals);
  m_j.EndArray();
  m_j.EndObject();
  ++m_s.blocks;
  ++m_s.comps;
}

Locals Emitter::LocalsOf(const Comp& c) const {
  Locals locals;
  for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b) {
    const Bel& bel = m_d.bels[b];
    for (int slot = 0; slot < SlotCount(bel.kind); ++slot) {
      uint32_t conn = bel.pin[slot];
      if (conn == kNone) continue;
      uint32_t i = 0;
      while (i < locals.size && locals.items[i].conn != conn)
        ++i;
      Local& l = locals.items[i];
      if (i == locals.size) {
        ++locals.size;
        l.conn = conn;
        CompPinName(bel, slot, l.name);
      }
      l.driver = l.driver || IsOutputSlot(bel.kind, slot);
      l.clock = l.clock || (bel.kind == BelKind::Ff && slot == kFfCk);
    }
  }
  return locals;
}

void Emitter::CompConfig(const Comp& c) {
  m_tmp.clear();
  for (uint32_t b = c.firstBel; b < c.firstBel + c.bels; ++b) {
    const Bel& bel = m_d.bels[b];
    if (!m_tmp.empty()) m_tmp += ' ';
    if (bel.kind == BelKind::Lut) m_tmp += {char('A' + bel.letter), '6', 'L', 'U', 'T'};
    if (bel.kind == BelKind::Ff) m_tmp += {char('A' + bel.letter), 'F', 'F'};
    m_tmp += bel.kind == BelKind::Lut  ? ":#LUT"
             : bel.kind == BelKind::Ff ? ":#FF"
                                       : "CARRY4:#CARRY";
  }
  m_j.Str("config", m_tmp);
}

void Emitter::CompSignals(const Locals& locals) {
  m_j.Key("signals");
  m_j.BeginArray();
  for (uint32_t i = 0; i < locals.size; ++i) {
    const Local& l = locals.items[i];
    m_j.BeginObject();
    m_j.Str("name", l.name);
    if (!(l.conn & kLink)) {
      m_j.Key("net");
      NetName(l.conn);
    }
    m_j.EndObject();
  }
  m_j.EndArray();
  m_s.signals += locals.size;
}

// A comp has a pin for each net that leaves it; load pins of timed nets
// carry their delay.
void Emitter::CompPins(uint32_t ci, const Locals& locals) {
  bool any = false;
  for (uint32_t i = 0; i < locals.size; ++i) {
    const Local& l = locals.items[i];
    if ((l.conn & kLink) || !m_d.crossesComp[l.conn]) continue;
    if (!any) {
      m_j.Key("pins");
      m_j.BeginArray();
      any = true;
    }
    m_j.BeginObject();
    m_j.Str("name", l.name);
    if (l.driver) m_j.Str("dir", "output");
    if (l.clock) m_j.True("clock");
    m_j.Key("signal");
    NetName(l.conn);
    m_j.Str("child_signal", l.name);
    if (uint32_t d = l.driver ? 0 : PinDelay(l.conn, ci)) m_j.Int("delay", d);
    m_j.EndObject();
    ++m_s.pins;
  }
  if (any) m_j.EndArray();
}
void Emitter::BelBlock(const Comp& c, uint32_t b, const Locals& locals) {
  const Bel& bel = m_d.bels[b];
  char letter = static_cast<char>('A' + bel.letter);
  m_j.BeginObject();
  if (bel.kind == BelKind::Lut) {
    m_tmp = {letter, '6', 'L', 'U', 'T'};
    m_j.Str("name", m_tmp);
    m_j.Str("type", m_tmp);
  } else if (bel.kind == BelKind::Ff) {
    m_j.Str("name", std::string{letter, 'F', 'F'});
    m_j.Str("type", std::string(c.slicem ? "SLICEM_" : "SLICEL_") + letter + "FF");
  } else {
    m_j.Str("name", "CARRY4");
    m_j.Str("type", "CARRY4");
  }
  m_j.Int("level", 4);
  if (bel.kind == BelKind::Lut) LutEquation(bel, b);
  m_j.Key("pins");
  m_j.BeginArray();
  for (int slot = 0; slot < SlotCount(bel.kind); ++slot) {
    if (bel.pin[slot] == kNone) continue;
    m_j.BeginObject();
    m_j.Str("name", BelPinName(bel.kind, slot));
    if (IsOutputSlot(bel.kind, slot)) m_j.Str("dir", "output");
    if (bel.kind == BelKind::Ff && slot == kFfCk) m_j.True("clock");
    m_j.Str("signal", locals.Of(bel.pin[slot]).name);
    m_j.EndObject();
    ++m_s.pins;
  }
  m_j.EndArray();
  m_j.EndObject();
  ++m_s.blocks;
}

// An equation over the inputs in use, e.g. "O6=A1*~A2+A3".
void Emitter::LutEquation(const Bel& bel, uint32_t b) {
  uint64_t h = Hash(m_d.seed, b, 3);
  m_tmp = "O6=";
  if (bel.inputs == 0) m_tmp += (h & 1) ? '1' : '0';
  for (int i = 0; i < bel.inputs; ++i, h >>= 3) {
    if (i > 0) m_tmp += "*+@"[h % 3];
    if (h & 4) m_tmp += '~';
    m_tmp += {'A', char('1' + i)};
  }
  m_j.Key("modes");
  m_j.BeginObject();
  m_j.Str("EQN", m_tmp);
  m_j.EndObject();
}
}  // namespace NcdGen
