// Where a device cell lies on the drawing's grid, from its name: iCE40
// names ("X11/Y15/lc5": tile X11/Y15, slot 5 of the tile's 8 logic cells)
// and the family names of our hand-written designs ("SLICE_X0Y1"). A cell
// the design gives a column and row ("x", "y") lies there whatever its name
// (the scene's part).
#pragma once

#include <string_view>

namespace NcdPlot {

struct SitePlace {
  int x = 0, y = 0;
  int slot = 0;   // position inside the tile
  int slots = 1;  // how many such positions the tile has
  bool tile = false;  // the name is a whole tile ("X11/Y15")
};

// The largest coordinate a site may have to be drawn: far beyond any
// device's grid, and small enough for the picture's arithmetic.
inline constexpr int kMaxCoordinate = 1 << 20;

// False when the name gives no position (a site beyond kMaxCoordinate
// counts as having none: its comp is drawn as unplaced).
bool PlaceOfSite(std::string_view name, SitePlace& place);

}  // namespace NcdPlot
