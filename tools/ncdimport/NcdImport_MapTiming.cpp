// What placement and routing add to the netlist: each net's routing status
// from its ROUTING wires, delays from the SDF, and carry chains as the
// relatively placed shapes they are.
#include <algorithm>
#include <climits>
#include <set>

#include "NcdImport_Mapper.h"

namespace NcdImport {

namespace {

std::int32_t Clamp(std::int64_t ps) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(ps, INT32_MIN, INT32_MAX));
}

// The tiles the routed wires pass: ROUTING is "wire;pip;strength;" repeated.
std::set<std::pair<int, int>> RoutedTiles(const std::string& routing) {
  std::set<std::pair<int, int>> tiles;
  std::size_t field = 0;
  for (std::size_t start = 0; start < routing.size(); ++field) {
    const std::size_t end = std::min(routing.find(';', start), routing.size());
    int x, y;
    if (field % 3 == 0 && ParseTile(std::string_view(routing).substr(start, end - start), x, y))
      tiles.emplace(x, y);
    start = end + 1;
  }
  return tiles;
}

}  // namespace

// A net with a driving cell and loading cells is routed in full when a
// routed wire reaches a tile of every load's bel (the chip database that
// would name each load pin's wire is not at hand; the tiles are in the
// names, and a bel's ports lie in the tiles Device::PortTiles lists),
// partially when it reaches some, unrouted without wires. Pad nets join a port to its IO inside the
// pad and need no routing.
void Mapper::RouteStatus() {
  for (std::uint32_t id = 0; id < m_d.nets.size(); ++id) {
    Net& net = m_d.nets[id];
    const NetInfo& info = m_info[id];
    if (info.pad) net.routable = false;
    if (info.pad || net.type != Net::kLogic) continue;
    bool driven = false;
    std::vector<std::uint32_t> loads;
    for (const Endpoint& e : info.ends) {
      if (e.cell == kTopPort) continue;
      if (e.dir == Dir::Out) {
        driven = true;
      } else {
        loads.push_back(e.cell);
      }
    }
    if (!driven || loads.empty()) continue;
    const std::string routing = info.routing ? info.routing->routing : std::string();
    if (routing.find_first_not_of(" ;") == std::string::npos) {
      net.route = "unrouted";
      continue;
    }
    const auto tiles = RoutedTiles(routing);
    const bool all = std::all_of(loads.begin(), loads.end(), [&](std::uint32_t cell) {
      BelName bel;
      if (!ParseBel(m_bels[cell], bel)) return false;
      const auto ports = m_device.PortTiles(bel);
      return std::any_of(ports.begin(), ports.end(), [&](const Ice40::TileXY& t) {
        return tiles.count({t.x, t.y}) > 0;
      });
    });
    net.route = all ? "full" : "partial";
  }
}

// Each interconnect delay goes to the load's comp pin (the greatest of its
// values); a net's delay is the greatest over its loads, its second value
// the least.
void Mapper::ApplySdf() {
  for (const SdfInterconnect& ic : m_sdf->interconnects) {
    auto it = m_pinOf.find(ic.toCell + '\0' + ic.toPort);
    if (it == m_pinOf.end()) {
      m_notes.Add("SDF interconnect to a pin the netlist lacks", ic.toCell + "/" + ic.toPort);
      continue;
    }
    Pin& pin = it->second.block->pins[it->second.pin];
    const std::int32_t max = Clamp(ic.max), min = Clamp(ic.min);
    pin.delay = pin.hasDelay ? std::max(pin.delay, max) : max;
    pin.hasDelay = true;
    Net& net = m_d.nets[it->second.net];
    net.delay = net.hasDelay ? std::max(net.delay, max) : max;
    net.delayMin = net.hasDelay ? std::min(net.delayMin, min) : min;
    net.hasDelay = true;
  }
}

// Logic cells whose COUT feeds the next one's CIN form a chain; chains of
// two cells or more become tool shapes "carry<n>", their first comp the
// reference.
void Mapper::CarryChains() {
  const std::size_t count = m_n.cells.size();
  std::vector<std::uint32_t> next(count, kTopPort);
  std::vector<bool> hasPrevious(count, false);
  for (std::uint32_t c = 0; c < count; ++c) {
    const Cell& cell = m_n.cells[c];
    const CellPort* cout = cell.Port("COUT");
    if (cell.type != "ICESTORM_LC" || !cout || cout->bits.size() != 1) continue;
    const std::uint32_t id = NetAt(cout->bits[0]);
    if (id == kNoNet) continue;
    for (const Endpoint& e : m_info[id].ends) {
      if (e.cell != kTopPort && e.cell != c && *e.port == "CIN" && !hasPrevious[e.cell] &&
          m_n.cells[e.cell].type == "ICESTORM_LC") {
        next[c] = e.cell;
        hasPrevious[e.cell] = true;
        break;
      }
    }
  }
  for (std::uint32_t c = 0; c < count; ++c) {
    if (hasPrevious[c] || next[c] == kTopPort) continue;
    Shape shape;
    shape.name = "carry" + std::to_string(m_d.shapes.size());
    for (std::uint32_t at = c; at != kTopPort && shape.members.size() <= count; at = next[at])
      shape.members.push_back(m_comps[at]->Path());
    shape.reference = shape.members.front();
    m_d.shapes.push_back(std::move(shape));
  }
}

}  // namespace NcdImport
