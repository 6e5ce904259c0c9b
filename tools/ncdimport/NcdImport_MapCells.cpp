// One handler per cell type nextpnr-ice40 places: logic cells with their
// LUT, flip-flop and carry bels, IOs, and every other type (block RAMs,
// global buffers, PLLs, DSPs, oscillators, ... and types the importer does
// not know) as a comp with one bel of the primitive, which has the comp's
// pins and its configuration as string modes.
#include <algorithm>
#include <array>
#include <cstring>

#include "NcdImport_Lut.h"
#include "NcdImport_Mapper.h"

namespace NcdImport {

namespace {

// Ports whose pin is marked as a clock. A flip-flop's clock is its C,
// which on other primitives is data (SB_MAC16's C input).
bool IsClockPort(const std::string& port, const std::string& primitive = {}) {
  static const char* const kClocks[] = {"CLK",        "RCLK",  "WCLK",        "INPUT_CLK",
                                        "OUTPUT_CLK", "CLOCK", "REFERENCECLK"};
  if (port == "C") return primitive.rfind("SB_DFF", 0) == 0;
  return std::any_of(std::begin(kClocks), std::end(kClocks),
                     [&](const char* c) { return port == c; });
}

// nextpnr writes flags as binary text ("1", or 32 digits); a JSON number
// is decimal.
bool Flag(const Cell& cell, const char* name) {
  const std::string* value = cell.Parameter(name);
  if (value && cell.IsNumber(name)) return *value != "0";
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

// The primitives placed as a comp with one bel: the bel's name and type.
struct Primitive {
  const char* cellType;
  const char* bel;
  const char* belType;
};

constexpr Primitive kPrimitives[] = {
    {"ICESTORM_RAM", "RAM", "SB_RAM40_4K"},
    {"ICESTORM_PLL", "PLL", "SB_PLL40"},
    {"ICESTORM_DSP", "MAC16", "SB_MAC16"},
    {"ICESTORM_SPRAM", "SPRAM", "SB_SPRAM256KA"},
    {"ICESTORM_HFOSC", "HFOSC", "SB_HFOSC"},
    {"ICESTORM_LFOSC", "LFOSC", "SB_LFOSC"},
    {"SB_RGBA_DRV", "RGBA_DRV", "SB_RGBA_DRV"},
    {"SB_GB", "GB", "SB_GB"},
    {"SB_WARMBOOT", "WARMBOOT", "SB_WARMBOOT"},
    {"SB_LEDDA_IP", "LEDDA_IP", "SB_LEDDA_IP"},
    {"SB_I2C", "I2C", "SB_I2C"},
    {"SB_SPI", "SPI", "SB_SPI"},
};

const Primitive* PrimitiveOf(const std::string& type) {
  for (const Primitive& p : kPrimitives) {
    if (type == p.cellType) return &p;
  }
  return nullptr;
}

// The PLL primitive a packed PLL came from, by its PLLTYPE (the variants
// nextpnr writes for the cores and pads the examples use); the family name
// for the others.
std::string PllType(const Cell& cell) {
  const std::string* type = cell.Parameter("PLLTYPE");
  const int base = cell.IsNumber("PLLTYPE") ? 10 : 2;
  const std::size_t value = type ? std::strtoul(type->c_str(), nullptr, base) : 0;
  return value == 2 ? "SB_PLL40_PAD" : value == 3 ? "SB_PLL40_CORE" : "SB_PLL40";
}

// A parameter that is the bel's contents, not its configuration: a block
// RAM's initial data.
bool IsContents(const std::string& parameter) {
  return parameter.compare(0, 5, "INIT_") == 0;
}

}  // namespace

Mapper::Handler Mapper::HandlerFor(const std::string& type) {
  if (type == "ICESTORM_LC") return &Mapper::MapLogicCell;
  if (type == "SB_IO") return &Mapper::MapIo;
  return PrimitiveOf(type) ? &Mapper::MapPrimitive : nullptr;
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

Block& Mapper::AddBel(Block& comp, const std::string& name, const std::string& type,
                      std::vector<std::pair<std::string, std::string>> pins,
                      const std::vector<std::string>& outputs) {
  Block& bel = comp.AddChild(name, 4);
  bel.type = type;
  bel.site = comp.site;
  for (auto& [pinName, signal] : pins) {
    if (signal.empty()) continue;
    Pin& pin = bel.pins.emplace_back();
    pin.dir =
        std::find(outputs.begin(), outputs.end(), pinName) != outputs.end() ? Dir::Out : Dir::In;
    pin.clock = IsClockPort(pinName, type);
    pin.name = std::move(pinName);
    pin.signal = std::move(signal);
  }
  return bel;
}

// The bel gets each named parameter the cell sets as a string mode.
void Mapper::Configure(Block& bel, const Cell& cell, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    if (const std::string* value = cell.Parameter(name)) {
      bel.modeDefs.emplace_back(name);
      bel.gcd.emplace_back(name, *value);
    }
  }
}

// A bel with every pin of its comp (the comp's inside signals), for the
// primitives that are one bel.
Block& Mapper::AddWholeBel(Block& comp, const std::string& name, const std::string& type) {
  std::vector<std::pair<std::string, std::string>> pins;
  std::vector<std::string> outputs;
  for (const Pin& pin : comp.pins) {
    pins.emplace_back(pin.name, pin.child);
    if (pin.dir == Dir::Out) outputs.push_back(pin.name);
  }
  Block& bel = AddBel(comp, name, type, std::move(pins), outputs);
  for (Pin& pin : bel.pins) {
    if (pin.name == "PACKAGE_PIN") pin.dir = Dir::InOut;
  }
  comp.config = name + ":#" + type;
  return bel;
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
    Block& lut = AddBel(comp, "LUT", "SB_LUT4",
                        {{"I0", port("I0")},
                         {"I1", port("I1")},
                         {"I2", port("I2")},
                         {"I3", port("I3")},
                         {"O", lutOut}},
                        {"O"});
    if (init && ParseLutInit(*init, table, c.IsNumber("LUT_INIT"))) {
      lut.modes.emplace_back("EQN", LutEquation(table));
      lut.modeDefs.emplace_back("EQN");
      lut.gcd.emplace_back("EQN", lut.modes[0].second);
    } else {
      m_notes.Add("LUT_INIT that is not a 16-bit table", c.name);
    }
    Configure(lut, c, {"LUT_INIT"});
    comp.config = "LUT:#LUT:" + (lut.modes.empty() ? std::string() : lut.modes[0].second);
  }
  if (dff) {
    const std::string type = DffType(c, HasSignal(comp, "CEN"), HasSignal(comp, "SR"));
    Block& ff = AddBel(comp, "DFF", type,
                       {{"D", lutOut},
                        {"C", port("CLK")},
                        {"E", port("CEN")},
                        {Flag(c, "SET_NORESET") ? "S" : "R", port("SR")},
                        {"Q", port("O")}},
                       {"Q"});
    Configure(ff, c, {"NEG_CLK", "SET_NORESET", "ASYNC_SR"});
    comp.config += (comp.config.empty() ? "" : " ") + std::string("DFF:#") + type;
  }
  if (carry) {
    Block& co =
        AddBel(comp, "CARRY", "SB_CARRY",
               {{"I0", port("I1")}, {"I1", port("I2")}, {"CI", port("CIN")}, {"CO", port("COUT")}},
               {"CO"});
    Configure(co, c, {"CIN_CONST", "CIN_SET"});
    comp.config += (comp.config.empty() ? "" : " ") + std::string("CARRY:#SB_CARRY");
  }
}

// An SB_IO is an IOB named after its port, so that its direction and
// standard can be asked; the PCF gives its package pin. Its bel IO has the
// comp's pins and the IO's parameters.
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
  CompPins(cell, comp, true);
  for (Pin& pin : comp.pins) {
    if (pin.name == "PACKAGE_PIN") {
      pin.pad = true;
      pin.dir = Dir::InOut;
    }
  }
  Block& bel = AddWholeBel(comp, "IO", "SB_IO");
  for (const auto& [parameter, value] : c.parameters) {
    bel.modeDefs.push_back(parameter);
    bel.gcd.emplace_back(parameter, value);
  }
  const PcfIo* io = m_pcf && !portBit.empty() ? m_pcf->Find(portBit) : nullptr;
  if (!io) return;
  m_pcfPortsOnIos.insert(portBit);
  // The placement is what the flow did: a PCF pin that is not the placed
  // IO's pin (a PCF of another run, a pin the package lacks) is dropped.
  // An IO site of a package whose pins are known but that no pin is
  // bonded to takes no pin either.
  const std::string placed = PlacedPackagePin(cell);
  BelName site;
  const bool unbonded =
      placed.empty() && m_device.pinout && ParseBel(m_bels[cell], site) && IoSlot(site) >= 0;
  if (!unbonded && (placed.empty() || placed == io->pin)) {
    comp.gcd.emplace_back("PACKAGE_PIN", io->pin);
  } else {
    m_notes.Add("PCF pin other than the package pin of the placed IO",
                portBit + " (PCF line " + std::to_string(io->line) + ": " + io->pin +
                    ", placed on " + (unbonded ? m_bels[cell] + ", which has no pin" : placed) +
                    ")");
  }
}

// The package pin bonded to the IO bel the cell is placed on; "" when the
// cell is unplaced, not on an IO bel, or the package's pins are unknown.
std::string Mapper::PlacedPackagePin(std::uint32_t cell) const {
  BelName bel;
  const int z = ParseBel(m_bels[cell], bel) ? IoSlot(bel) : -1;
  return z < 0 ? std::string() : m_device.PackagePin(bel.x, bel.y, z);
}

// Block RAMs, global buffers, PLLs, DSPs, oscillators and the others of the
// table, and any type the importer does not know (noted once per type): a
// comp with one bel of the primitive, configured by the cell's parameters
// (a block RAM's initial data stays with the comp).
void Mapper::MapPrimitive(std::uint32_t cell, Block& parent, const std::string& leaf) {
  const Cell& c = m_n.cells[cell];
  const Primitive* primitive = PrimitiveOf(c.type);
  Block& comp = NewComp(cell, leaf, parent);
  CompPins(cell, comp, true);
  const std::string belType = !primitive                 ? c.type
                              : c.type == "ICESTORM_PLL" ? PllType(c)
                                                         : primitive->belType;
  Block& bel = AddWholeBel(comp, primitive ? primitive->bel : c.type, belType);
  for (const auto& [parameter, value] : c.parameters) {
    if (IsContents(parameter) && primitive) continue;
    bel.modeDefs.push_back(parameter);
    bel.gcd.emplace_back(parameter, value);
  }
}

}  // namespace NcdImport
