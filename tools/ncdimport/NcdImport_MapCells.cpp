// One handler per cell type nextpnr-ice40 places: logic cells with their
// LUT, flip-flop and carry bels, IOs, block RAMs, and every other type as a
// comp with its pins and parameters.
#include <algorithm>
#include <array>

#include "NcdImport_Lut.h"
#include "NcdImport_Mapper.h"

namespace NcdImport {

namespace {

// Ports whose pin is marked as a clock.
bool IsClockPort(const std::string& port) {
  static const char* const kClocks[] = {"CLK", "RCLK", "WCLK", "INPUT_CLK", "OUTPUT_CLK"};
  return std::any_of(std::begin(kClocks), std::end(kClocks),
                     [&](const char* c) { return port == c; });
}

// nextpnr writes flags as binary text ("1", or 32 digits).
bool Flag(const Cell& cell, const char* name) {
  const std::string* value = cell.Parameter(name);
  return value && value->find('1') != std::string::npos;
}

// The flip-flop primitive the flags stand for: SB_DFF, SB_DFFNE, SB_DFFESR...
std::string DffType(const Cell& cell, bool enable, bool setReset) {
  std::string type = "SB_DFF";
  if (Flag(cell, "NEG_CLK")) type += 'N';
  if (enable) type += 'E';
  if (setReset) {
    const bool set = Flag(cell, "SET_NORESET");
    type += Flag(cell, "ASYNC_SR") ? (set ? "S" : "R") : (set ? "SS" : "SR");
  }
  return type;
}

bool HasSignal(const Block& block, const std::string& name) {
  return std::any_of(block.signals.begin(), block.signals.end(),
                     [&](const Signal& s) { return s.name == name; });
}

}  // namespace

Mapper::Handler Mapper::HandlerFor(const std::string& type) {
  static const std::pair<const char*, Handler> kHandlers[] = {
      {"ICESTORM_LC", &Mapper::MapLogicCell},
      {"SB_IO", &Mapper::MapIo},
      {"ICESTORM_RAM", &Mapper::MapRam},
      {"SB_GB", &Mapper::MapOther},
  };
  for (const auto& [name, handler] : kHandlers) {
    if (type == name) return handler;
  }
  return nullptr;
}

void Mapper::CompPins(std::uint32_t cell, Block& comp, bool inside) {
  const Cell& c = m_n.cells[cell];
  for (const CellPort& port : c.ports) {
    for (std::size_t k = 0; k < port.bits.size(); ++k) {
      const std::uint32_t id = NetAt(port.bits[k]);
      if (id == kNoNet) continue;
      const std::string& net = m_d.nets[id].name;
      Pin& pin = comp.pins.emplace_back();
      pin.name = port.bits.size() == 1 ? port.name : port.name + "[" + std::to_string(k) + "]";
      pin.dir = port.dir;
      pin.clock = IsClockPort(port.name);
      pin.signal = comp.parent->SignalFor(net);
      if (inside) pin.child = comp.AddSignal(pin.name, net).name;
      m_pinOf[c.name + '\0' + pin.name] = {&comp, comp.pins.size() - 1, id};
    }
  }
}

void Mapper::AddBel(Block& comp, const std::string& name, const std::string& type,
                    std::vector<std::pair<std::string, std::string>> pins,
                    const std::vector<std::string>& outputs) {
  Block& bel = comp.AddChild(name, 4);
  bel.type = type;
  for (auto& [pinName, signal] : pins) {
    if (signal.empty()) continue;
    Pin& pin = bel.pins.emplace_back();
    pin.dir = std::find(outputs.begin(), outputs.end(), pinName) != outputs.end() ? Dir::Out : Dir::In;
    pin.clock = pinName == "C";
    pin.name = std::move(pinName);
    pin.signal = std::move(signal);
  }
}

// An ICESTORM_LC: the LUT feeds the flip-flop (through a link without a net
// unless LO brings it out) or drives O itself; the carry adds I1 and I2.
void Mapper::MapLogicCell(std::uint32_t cell, Block& parent, const std::string& leaf) {
  const Cell& c = m_n.cells[cell];
  Block& comp = NewComp(cell, leaf, parent);
  CompPins(cell, comp, true);
  auto port = [&](const char* name) { return HasSignal(comp, name) ? std::string(name) : ""; };
  const bool dff = Flag(c, "DFF_ENABLE"), carry = Flag(c, "CARRY_ENABLE");
  const bool lo = HasSignal(comp, "LO");
  std::string lutOut = lo ? "LO" : dff ? "LUT_O" : port("O");
  if (dff && !lo) comp.AddSignal("LUT_O", "");

  std::uint16_t table = 0;
  const std::string* init = c.Parameter("LUT_INIT");
  const bool lutUsed = dff || !lutOut.empty() || !port("I0").empty() || !port("I3").empty();
  if (lutUsed) {
    AddBel(comp, "LUT", "SB_LUT4",
           {{"I0", port("I0")}, {"I1", port("I1")}, {"I2", port("I2")}, {"I3", port("I3")},
            {"O", lutOut}},
           {"O"});
    Block& lut = *comp.blocks.back();
    if (init && ParseLutInit(*init, table)) {
      lut.modes.emplace_back("EQN", LutEquation(table));
    } else {
      m_notes.Add("LUT_INIT that is not a 16-bit table", c.name);
    }
    comp.config = "LUT:#LUT:" + (lut.modes.empty() ? std::string() : lut.modes[0].second);
  }
  if (dff) {
    const std::string type = DffType(c, HasSignal(comp, "CEN"), HasSignal(comp, "SR"));
    AddBel(comp, "DFF", type,
           {{"D", lutOut}, {"C", port("CLK")}, {"E", port("CEN")},
            {Flag(c, "SET_NORESET") ? "S" : "R", port("SR")}, {"Q", port("O")}},
           {"Q"});
    comp.config += (comp.config.empty() ? "" : " ") + std::string("DFF:#") + type;
  }
  if (carry) {
    AddBel(comp, "CARRY", "SB_CARRY",
           {{"I0", port("I1")}, {"I1", port("I2")}, {"CI", port("CIN")}, {"CO", port("COUT")}},
           {"CO"});
    comp.config += (comp.config.empty() ? "" : " ") + std::string("CARRY:#SB_CARRY");
  }
}

// An SB_IO is an IOB named after its port, so that its direction and
// standard can be asked; the PCF gives its package pin.
void Mapper::MapIo(std::uint32_t cell, Block& parent, const std::string& leaf) {
  const Cell& c = m_n.cells[cell];
  std::string name = leaf;
  const CellPort* pad = c.Port("PACKAGE_PIN");
  const std::uint32_t padNet = pad && pad->bits.size() == 1 ? NetAt(pad->bits[0]) : kNoNet;
  auto port = m_portOfNet.find(padNet);
  const std::string portBit = port == m_portOfNet.end() ? std::string() : port->second;
  if (!portBit.empty()) name = portBit;
  Block& comp = NewComp(cell, name, parent);
  comp.external = true;
  if (const std::string* standard = c.Parameter("IO_STANDARD")) comp.ioStandard = *standard;
  CompPins(cell, comp, false);
  for (Pin& pin : comp.pins) {
    if (pin.name == "PACKAGE_PIN") {
      pin.pad = true;
      pin.dir = Dir::InOut;
    }
  }
  if (m_pcf && !portBit.empty()) {
    if (const PcfIo* io = m_pcf->Find(portBit)) comp.gcd.emplace_back("PACKAGE_PIN", io->pin);
  }
}

// An ICESTORM_RAM holds one SB_RAM40_4K bel with the comp's pins.
void Mapper::MapRam(std::uint32_t cell, Block& parent, const std::string& leaf) {
  Block& comp = NewComp(cell, leaf, parent);
  CompPins(cell, comp, true);
  std::vector<std::pair<std::string, std::string>> pins;
  std::vector<std::string> outputs;
  for (const Pin& pin : comp.pins) {
    pins.emplace_back(pin.name, pin.child);
    if (pin.dir == Dir::Out) outputs.push_back(pin.name);
  }
  AddBel(comp, "RAM", "SB_RAM40_4K", std::move(pins), outputs);
}

void Mapper::MapOther(std::uint32_t cell, Block& parent, const std::string& leaf) {
  CompPins(cell, NewComp(cell, leaf, parent), false);
}

}  // namespace NcdImport
