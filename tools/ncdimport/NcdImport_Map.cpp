// The mapping's frame: settings, nets, the hierarchy, the design's ports
// and the device.
#include <algorithm>
#include <cctype>

#include "NcdImport_Check.h"
#include "NcdImport_Input.h"
#include "NcdImport_Mapper.h"

namespace NcdImport {

Design Mapper::Run() {
  ReadSettings();
  NameNets();
  Connect();
  m_d.top.level = 0;
  MapPorts();
  MapCells();
  BuildDevice();
  RouteStatus();
  if (m_sdf) ApplySdf();
  CarryChains();
  if (m_pcf) {
    for (const PcfIo& io : m_pcf->ios) {
      if (!m_portNets.count(io.port))
        m_notes.Add("PCF constraint on a port the design lacks", io.port);
      else if (!m_pcfPortsOnIos.count(io.port))
        m_notes.Add("PCF constraint on a port without an SB_IO", io.port);
    }
  }
  return std::move(m_d);
}

void Mapper::ReadSettings() {
  std::string arch, package;
  for (const auto& [key, value] : m_n.settings) {
    if (key == "arch.type") {
      arch = value;
    } else if (key == "arch.package") {
      package = value;
    } else {
      m_notes.Add("flow setting", key);
    }
  }
  m_device = DeviceFor(arch, package);
  if (m_device.Known() && !package.empty() && !m_device.pinout)
    m_notes.Add("package without known pins (IO sites get no package pin)", package);
  if (!m_device.Known())
    m_notes.Add("device without a known grid (cells only for the bels used)",
                arch.empty() ? "no arch.type setting" : arch);
  m_d.part = m_device.part;
  m_d.name = m_d.top.name = m_n.moduleName;
  m_d.tool = m_n.creator.empty() ? "nextpnr-ice40" : m_n.creator;
  for (const auto& [key, value] : m_n.moduleAttributes) {
    if (key == "hdlname") {
      m_d.name = m_d.top.name = value.substr(value.rfind('\\') == 0 ? 1 : 0);
    } else if (key != "top") {
      m_notes.Add("module attribute '" + key + "'", m_n.moduleName);
    }
  }
  if (m_d.top.name.empty()) m_d.name = m_d.top.name = m_n.moduleName;
  m_d.top.name = BlockName(m_d.top.name, m_n.moduleName);
}

// Nets in the order of the file's net names; a bit with several names is
// named by the first that is not hidden, else by the first.
void Mapper::NameNets() {
  std::vector<bool> hiddenName;
  for (const NetName& nn : m_n.netNames) {
    for (std::size_t i = 0; i < nn.bits.size(); ++i) {
      const Bit bit = nn.bits[i];
      if (bit < 0) continue;  // a constant under a name: the constant nets stand for it
      std::string name = nn.BitName(i);
      auto [it, added] = m_netOfBit.try_emplace(bit, static_cast<std::uint32_t>(m_d.nets.size()));
      if (!added) {
        Net& net = m_d.nets[it->second];
        if (hiddenName[it->second] && !nn.hidden) {
          m_netNames.erase(net.name);
          m_notes.Add("net alias name", net.name);
          net.name = UniqueNetName(name, bit);
          hiddenName[it->second] = false;
        } else {
          m_notes.Add("net alias name", name);
        }
      } else {
        m_d.nets.push_back(Net{});
        m_d.nets.back().name = UniqueNetName(name, bit);
        m_info.emplace_back();
        hiddenName.push_back(nn.hidden);
      }
      if (nn.hasRouting) m_info[it->second].routing = &nn;
    }
    for (const auto& attr : nn.otherAttributes)
      m_notes.Add("net attribute '" + attr.first + "'", nn.name);
  }
}

// A name met again gets its bit's number, and further numbers while that
// too is taken.
std::string Mapper::UniqueNetName(const std::string& name, Bit bit) {
  std::string unique = name;
  if (m_netNames.count(unique)) {
    m_notes.Add("net name used twice (the second gets its bit number)", name);
    unique = name + "$" + std::to_string(bit);
    for (int n = 2; m_netNames.count(unique); ++n)
      unique = name + "$" + std::to_string(bit) + "$" + std::to_string(n);
  }
  m_netNames.insert(unique);
  return unique;
}

// `owner` and `port` name the connection in notes.
std::uint32_t Mapper::NetOf(Bit bit, const std::string& owner, const std::string& port) {
  if (bit == kConst0 || bit == kConst1) return ConstantNet(bit == kConst1);
  if (bit < 0) {
    m_notes.Add("undriven connection ('x' or 'z')", owner + " " + port);
    return kNoNet;
  }
  auto [it, added] = m_netOfBit.try_emplace(bit, static_cast<std::uint32_t>(m_d.nets.size()));
  if (added) {
    m_notes.Add("connection to a bit without a net name", owner + " " + port);
    m_d.nets.push_back(Net{});
    m_d.nets.back().name = UniqueNetName("$bit" + std::to_string(bit), bit);
    m_info.emplace_back();
  }
  return it->second;
}

std::uint32_t Mapper::NetAt(Bit bit) const {
  if (bit == kConst0 || bit == kConst1) return m_const[bit == kConst1];
  auto it = m_netOfBit.find(bit);
  return it == m_netOfBit.end() ? kNoNet : it->second;
}

// The master ground and power nets, made when a connection is a constant.
std::uint32_t Mapper::ConstantNet(bool one) {
  std::uint32_t& id = m_const[one];
  if (id != kNoNet) return id;
  id = static_cast<std::uint32_t>(m_d.nets.size());
  Net& net = m_d.nets.emplace_back();
  net.name = UniqueNetName(one ? "VCC" : "GND", one ? kConst1 : kConst0);
  net.type = one ? Net::kPower : Net::kGround;
  net.master = true;
  net.routable = false;
  m_info.emplace_back();
  return id;
}

void Mapper::Connect() {
  for (const Port& port : m_n.ports) {
    for (std::size_t i = 0; i < port.bits.size(); ++i) {
      const std::string bitName = port.BitName(i);
      const std::uint32_t id = NetOf(port.bits[i], "port", bitName);
      if (id == kNoNet) continue;
      m_info[id].ends.push_back({kTopPort, &port.name, port.dir});
      m_info[id].pad = true;
      m_portNets.emplace(bitName, id);
      m_portOfNet.emplace(id, bitName);  // the first port bit on the net names its IO
    }
  }
  for (std::uint32_t c = 0; c < m_n.cells.size(); ++c) {
    const Cell& cell = m_n.cells[c];
    for (const CellPort& port : cell.ports) {
      for (Bit bit : port.bits) {
        const std::uint32_t id = NetOf(bit, cell.name, port.name);
        if (id != kNoNet) m_info[id].ends.push_back({c, &port.name, port.dir});
      }
    }
  }
}

// One top pin per port bit, named as the PCF names it ("led[1]").
void Mapper::MapPorts() {
  for (const Port& port : m_n.ports) {
    for (std::size_t i = 0; i < port.bits.size(); ++i) {
      const std::uint32_t id = NetAt(port.bits[i]);
      if (id == kNoNet) continue;
      Pin& pin = m_d.top.pins.emplace_back();
      pin.name = port.BitName(i);
      pin.dir = port.dir;
      pin.child = m_d.top.SignalFor(m_d.nets[id].name);
    }
  }
}

// Flattening names a cell after its instance path, "u_uart.u_tx.shift_SB_DFF_Q";
// names the tools make start with '$' and may hold dots of their own, and
// memories add numbers ("mem.0.0_RAM"). So an instance is an identifier
// before a dot ahead of the first '$', followed by something that is not a
// number; a scope of a generate loop ("g[3]") joins the instance after it
// ("g[3].u_lane").
// Modules nest so that the cell's comp and its bels stay within kMaxDepth.
Block& Mapper::ParentOf(const std::string& cellName, std::string& leaf) {
  const std::size_t limit = std::min(cellName.find('$'), cellName.size());
  Block* block = &m_d.top;
  std::string scope;
  std::size_t start = 0;
  int depth = 0;
  for (std::size_t dot; (dot = cellName.find('.', start)) < limit;) {
    const std::string_view part(cellName.data() + start, dot - start);
    const char next = dot + 1 < cellName.size() ? cellName[dot + 1] : '\0';
    const bool instance =
        !part.empty() && (std::isalpha(static_cast<unsigned char>(part[0])) || part[0] == '_');
    if (!instance || next == '\0' || std::isdigit(static_cast<unsigned char>(next))) break;
    scope += part;
    start = dot + 1;
    if (part.back() == ']') {
      scope += '.';
      continue;
    }
    if (++depth >= kMaxDepth) TooDeep(cellName);
    const std::string name = BlockName(scope, cellName);
    Block* child = block->FindChild(name);
    if (!child || child->level != 1) {
      bool clashed = false;
      child = &block->AddChild(name, 1, &clashed);
      if (clashed) m_notes.Add("block name used twice (the second gets a '$' number)", scope);
    }
    block = child;
    scope.clear();
  }
  leaf = scope + cellName.substr(start);
  return *block;
}

Block& Mapper::NewComp(std::uint32_t cell, const std::string& name, Block& parent) {
  const Cell& c = m_n.cells[cell];
  bool clashed = false;
  Block& comp = parent.AddChild(BlockName(name, c.name), 3, &clashed);
  if (clashed) m_notes.Add("block name used twice (the second gets a '$' number)", c.name);
  comp.type = c.type;
  comp.site = m_bels[cell];
  comp.gcd = c.parameters;
  m_comps[cell] = &comp;
  return comp;
}

void Mapper::NoteAttributes(const Cell& cell) {
  for (const auto& [key, value] : cell.attributes) {
    if (key != "NEXTPNR_BEL") m_notes.Add("cell attribute '" + key + "'", cell.name);
  }
}

void Mapper::MapCells() {
  m_comps.assign(m_n.cells.size(), nullptr);
  m_bels.assign(m_n.cells.size(), std::string());
  for (std::uint32_t c = 0; c < m_n.cells.size(); ++c) {
    const Cell& cell = m_n.cells[c];
    if (const std::string* bel = cell.Attribute("NEXTPNR_BEL")) m_bels[c] = *bel;
    NoteAttributes(cell);
    Handler handler = HandlerFor(cell.type);
    if (!handler) {
      m_notes.Add("cell type '" + cell.type + "' (imported as a comp with one bel of that type)",
                  cell.name);
      handler = &Mapper::MapPrimitive;
    }
    std::string leaf;
    Block& parent = ParentOf(cell.name, leaf);
    (this->*handler)(c, parent, leaf);
    int depth = m_comps[c]->blocks.empty() ? 1 : 2;
    for (const Block* b = &parent; b->parent; b = b->parent)
      ++depth;
    if (depth > kMaxDepth) TooDeep(cell.name);
  }
}

void Mapper::TooDeep(const std::string& cellName) const {
  throw Error(m_n.path + ": cell " + Quote(cellName) + ": blocks nested deeper than " +
              std::to_string(kMaxDepth) + " levels");
}

// A block's name joins no path: each '/' becomes '|'.
std::string Mapper::BlockName(std::string name, const std::string& cellName) {
  if (name.find('/') == std::string::npos) return name;
  m_notes.Add("block name with '/' (each written as '|')", cellName);
  std::replace(name.begin(), name.end(), '/', '|');
  return name;
}

void Mapper::UseCellType(const std::string& name, bool equation) {
  if (m_cellTypeIndex.emplace(name, m_d.cellTypes.size()).second)
    m_d.cellTypes.push_back({name, equation});
}

void Mapper::AddDeviceCell(const std::string& name, const std::string& type) {
  if (!m_cellNames.insert(name).second) return;
  UseCellType(type, type == "ICESTORM_LC");
  DeviceCell& cell = m_d.cells.emplace_back();
  cell.name = name;
  cell.type = type;
  BelName bel;  // a tile's cell ("X1/Y2") has no bel part
  if (!ParseBel(name, bel) && !ParseTile(name + "/", bel.x, bel.y)) return;
  const int x = bel.x, y = bel.y;
  if (x >= m_device.width || y >= m_device.height) return;
  cell.region = m_device.RegionOf(x, y);
  cell.x = x;
  cell.y = y;
  cell.tile = TileName(x, y);
  if (const int z = IoSlot(bel); z >= 0) {
    cell.packagePin = m_device.PackagePin(x, y, z);
    cell.bank = m_device.Bank(x, y, z);
  }
}

// Every tile of a known grid with its bels and the chip's other bels
// (global buffers, PLLs, ...), then the bels the design uses that the grid
// does not list. An unknown device gets the bels the design uses and their
// tiles.
// The work is proportional to the bels used (and the built-in grid), never
// to the extent an unknown device's coordinates span.
void Mapper::BuildDevice() {
  for (std::uint32_t c = 0; c < m_n.cells.size(); ++c) {
    BelName b;
    if (m_device.Known() || !ParseBel(m_bels[c], b)) continue;
    if (b.x >= kMaxUnknownGrid || b.y >= kMaxUnknownGrid) {
      throw Error(m_n.path + ": cell " + Quote(m_n.cells[c].name) + ": bel " + Quote(m_bels[c]) +
                  " lies outside the largest grid of a device without a built-in grid (" +
                  std::to_string(kMaxUnknownGrid) + " tiles a side)");
    }
    m_device.Include(b.x, b.y);
  }
  m_d.regions = m_device.Regions();
  for (int x = 0; m_device.Known() && x < m_device.width; ++x) {
    for (int y = 0; y < m_device.height; ++y) {
      const Tile tile = m_device.TileAt(x, y);
      if (tile == Tile::None) continue;
      const std::string name = TileName(x, y);
      AddDeviceCell(name, TileTypeName(tile));
      for (const TileBel& bel : BelsOf(tile))
        AddDeviceCell(name + "/" + bel.local, bel.type);
    }
  }
  if (m_device.Known()) {
    for (const Ice40::ExtraBel& bel : m_device.chip->bels)
      AddDeviceCell(TileName(bel.x, bel.y) + "/" + bel.local, bel.type);
  }
  for (std::uint32_t c = 0; c < m_n.cells.size(); ++c) {
    const std::string& bel = m_bels[c];
    if (bel.empty()) continue;
    BelName b;
    if (!m_device.Known() && ParseBel(bel, b)) AddDeviceCell(TileName(b.x, b.y), "TILE");
    AddDeviceCell(bel, m_n.cells[c].type);
  }
}

Design Import(const Inputs& inputs, Notes& notes) {
  const Netlist netlist = ReadNetlist(inputs.netlist, notes, inputs.limit);
  Pcf pcf;
  Sdf sdf;
  if (!inputs.pcf.empty()) pcf = ReadPcf(inputs.pcf, notes, inputs.limit);
  if (!inputs.sdf.empty()) sdf = ReadSdf(inputs.sdf, notes, inputs.limit);
  Design design = Mapper(netlist, inputs.pcf.empty() ? nullptr : &pcf,
                         inputs.sdf.empty() ? nullptr : &sdf, notes)
                      .Run();
  for (auto& child : design.top.blocks) child->parent = &design.top;
  CheckDesign(design, inputs.netlist);
  return design;
}

}  // namespace NcdImport
