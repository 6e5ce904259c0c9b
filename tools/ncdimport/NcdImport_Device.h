// The iCE40 devices the importer knows (NcdImport_Ice40Data.h): each part's
// tile grid, the kind of each tile, the bels nextpnr-ice40 names in it
// ("X<x>/Y<y>/lc<z>"), and the package pin and IO bank of each IO bel.
// Clock regions are the four quadrants of the grid: the global networks
// reach the fabric through the chip's centre column buffers, symmetrically
// about the middle row and column.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "NcdImport_Ice40Data.h"

namespace NcdImport {

enum class Tile { None, Logic, Io, RamBottom, RamTop, Dsp0, Dsp1, Dsp2, Dsp3, Ipcon };

struct BelName {
  int x = 0, y = 0;
  std::string local;  // "lc5", "io0", "ram", "gb"
};

// "X11/Y15/lc5"; false for any other form.
bool ParseBel(std::string_view text, BelName& bel);
// The slot of an IO bel ("io1": 1), or -1 for a bel of any other kind.
int IoSlot(const BelName& bel);
// The tile of a bel or wire name "X11/Y15/..."; false for any other form.
bool ParseTile(std::string_view text, int& x, int& y);
// "X11/Y15".
std::string TileName(int x, int y);

struct Region {
  std::string name;
  int xMin, yMin, xMax, yMax;
};

struct Device {
  std::string arch;     // "hx8k"
  std::string package;  // "ct256"
  std::string part;     // "iCE40HX8K-CT256"
  int width = 0, height = 0;
  const Ice40::Chip* chip = nullptr;       // null: a grid grown from the bels used
  const Ice40::Package* pinout = nullptr;  // null: the chip has no such package

  bool Known() const { return chip != nullptr; }
  Tile TileAt(int x, int y) const;
  // "X0Y0" (left, bottom) .. "X1Y1" (right, top).
  std::string RegionOf(int x, int y) const;
  // The quadrants, sorted by name.
  std::vector<Region> Regions() const;
  // Widens an unknown device's grid to hold a bel at x, y (each below
  // kMaxUnknownGrid).
  void Include(int x, int y);
  // The package pin bonded to IO bel z of tile x, y; "" for none.
  std::string PackagePin(int x, int y, int z) const;
  // The IO bank of IO bel z of tile x, y; "" where the family's banks are
  // not known.
  std::string Bank(int x, int y, int z) const;
  // The tiles a bel's ports are wired in: its own, the one above for a
  // block RAM, and those of the chip's database for the bels beyond the
  // tiles (PLLs, DSPs, ...).
  std::vector<Ice40::TileXY> PortTiles(const BelName& bel) const;
};

// The most tiles a side of the grid of a device without a built-in grid
// may have: a bound far above every iCE40 part (34).
inline constexpr int kMaxUnknownGrid = 1024;

// The type name of a tile's cell ("LOGIC", "IO", "RAMB", "RAMT", "DSP0",
// ..., "IPCON").
const char* TileTypeName(Tile tile);
// The bels every tile of a kind holds, with the cell type of each.
struct TileBel {
  const char* local;
  const char* type;
};
std::vector<TileBel> BelsOf(Tile tile);

Device DeviceFor(const std::string& arch, const std::string& package);

}  // namespace NcdImport
