// The iCE40 devices the importer knows: each part's tile grid, the kind of
// each tile, and the bels nextpnr-ice40 names in it ("X<x>/Y<y>/lc<z>").
// Clock regions are the four quadrants of the grid: the global networks
// reach the fabric through the chip's centre column buffers, symmetrically
// about the middle row and column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace NcdImport {

enum class Tile { None, Logic, Io, RamBottom, RamTop };

struct BelName {
  int x = 0, y = 0;
  std::string local;  // "lc5", "io0", "ram", "gb"
};

// "X11/Y15/lc5"; false for any other form.
bool ParseBel(std::string_view text, BelName& bel);
// The tile of a bel or wire name "X11/Y15/..."; false for any other form.
bool ParseTile(std::string_view text, int& x, int& y);

struct Device {
  std::string arch;     // "hx8k"
  std::string package;  // "ct256"
  std::string part;     // "iCE40HX8K-CT256"
  int width = 0, height = 0;
  std::vector<int> ramColumns;
  bool known = false;  // a grid from the table; else grown from the bels used

  Tile TileAt(int x, int y) const;
  // "X0Y0" (left, bottom) .. "X1Y1" (right, top).
  std::string RegionOf(int x, int y) const;
  // Widens an unknown device's grid to hold a bel at x, y.
  void Include(int x, int y);
};

// The type name of a tile's cell ("LOGIC", "IO", "RAMB", "RAMT").
const char* TileTypeName(Tile tile);
// The bels every tile of a kind holds, with the cell type of each.
struct TileBel {
  const char* local;
  const char* type;
};
std::vector<TileBel> BelsOf(Tile tile);

Device DeviceFor(const std::string& arch, const std::string& package);

}  // namespace NcdImport
