// What a picture of a design shows, gathered from a loaded view: the
// device's tiles, the placed comps with their module, the RPM outlines and
// the routed, partially routed and unrouted nets between comps.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Xdm_View;

namespace NcdPlot {

struct Tile {
  int x, y;
  std::string type;  // the type of the cell that names the tile, or of its first cell
};

struct Comp {
  std::string path, type, site;
  int module = -1;  // index into Scene::modules; -1 for a comp of the top block
  bool iob = false;
  int x = 0, y = 0, slot = 0, slots = 1;
};

struct Rpm {
  std::string name;
  bool user = false;
  std::vector<std::uint32_t> comps;  // placed members
};

enum class Route { Full, Partial, Unrouted };

struct Wire {
  std::string name;
  Route route = Route::Full;
  std::uint32_t driver = 0;  // comp index
  std::vector<std::uint32_t> loads;
};

struct Scene {
  std::string design, part;
  int width = 0, height = 0;  // grid size in tiles
  std::vector<Tile> tiles;
  std::vector<std::string> modules;
  std::vector<Comp> comps;  // placed comps only
  std::uint64_t unplaced = 0;
  std::vector<Rpm> rpms;
  std::vector<Wire> wires;  // nets between placed comps, at most maxFanout loads
  std::uint64_t skippedNets = 0;  // routed nets left out for their fanout
};

Scene BuildScene(Xdm_View& view, std::uint32_t maxFanout);

}  // namespace NcdPlot
