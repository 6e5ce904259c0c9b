// What a picture of a design shows, gathered from a loaded view: the
// device's tiles, the placed comps with their module, pins and delays, the
// RPM outlines, and the nets that touch placed comps with their routing
// status, driver and loads. The SVG (NcdPlot_Svg.h) and the page
// (NcdPlot_Html.h) draw it.
#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_set>
#include <vector>

class Xdm_View;

namespace NcdPlot {

inline constexpr std::uint32_t kNone = 0xFFFFFFFFu;

struct Tile {
  int x, y;
  std::string type;  // the type of the cell that names the tile, or of its first cell
};

struct CompPin {
  std::string name;
  char dir = 'i';             // 'i' input, 'o' output, 'b' bidirectional
  std::uint32_t net = kNone;  // index into Scene::wires
  std::int32_t delay = -1;    // to this pin from its net, in ps; -1 for none
};

struct Comp {
  std::string path, type, site;
  int module = -1;  // index into Scene::modules; -1 for a comp in no module
  bool iob = false;
  bool highlight = false;
  int x = 0, y = 0, slot = 0, slots = 1;
  std::vector<CompPin> pins;  // only when the scene was built with pins
};

struct Rpm {
  std::string name;
  bool user = false;
  std::vector<std::uint32_t> comps;  // placed members
};

enum class Route { Full, Partial, Unrouted, None };

// A net that touches a placed comp.
struct Wire {
  std::string name;  // its full name (its first signal's), as the commands name it
  Route route = Route::None;
  std::uint32_t driver = kNone;  // comp index
  std::vector<std::uint32_t> loads;
  std::int32_t delay = -1;  // the net's greatest delay, ps; -1 for none
  bool highlight = false;
};

struct SceneOptions {
  // At most this many comps and nets; the scene counts those left out.
  std::uint32_t maxObjects = std::numeric_limits<std::uint32_t>::max();
  bool pins = false;  // gather each comp's pins and delays
  // Full names of blocks and pins ("block/pin") to mark: a block marks the
  // comps it is, holds or lies in, a pin its comp; "" is the top block.
  std::unordered_set<std::string> highlight;
  // Full names of nets to mark. Kept apart from the blocks: a net and a
  // block may share a name (a port's pad net and its IOB).
  std::unordered_set<std::string> highlightNets;
};

struct Scene {
  std::string design, part;
  int width = 0, height = 0;  // grid size in tiles
  std::vector<Tile> tiles;
  std::vector<std::string> modules;
  std::vector<Comp> comps;  // placed comps only
  std::uint64_t unplaced = 0;
  std::uint64_t leftOutComps = 0, leftOutNets = 0;  // beyond SceneOptions::maxObjects
  std::uint32_t maxObjects = 0;
  std::vector<Rpm> rpms;
  std::vector<Wire> wires;
};

Scene BuildScene(Xdm_View& view, const SceneOptions& options = {});

}  // namespace NcdPlot
