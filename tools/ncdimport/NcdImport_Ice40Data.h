// The iCE40 chips the importer knows, as Project IceStorm's chip databases
// describe them (NcdImport_Ice40Data.cpp, written by gen-ice40-devices.py):
// each chip's tile grid, the bels beyond the logic cells, IOs and block
// RAMs of its tiles, and the pins of each of its packages. Constant data:
// any thread may read it.
#pragma once

#include <span>

namespace NcdImport::Ice40 {

struct TileXY {
  int x, y;
};

// A bel nextpnr names "X<x>/Y<y>/<local>" that no tile kind implies.
struct ExtraBel {
  int x, y;
  const char* local;  // "gb", "pll_3", "mac16_0", "spram_1", ...
  const char* type;   // the cell type nextpnr places there
  // The tiles its ports are wired in (a DSP's span four tiles); empty
  // for a bel whose port is in its own tile.
  std::span<const TileXY> tiles;
};

// A package pin and the IO bel ("X<x>/Y<y>/io<z>") bonded to it.
struct PackagePin {
  const char* pin;
  int x, y, z;
};

struct Package {
  const char* name;  // "tq144"; a 4k part's variant of an 8k package: "tq144:4k"
  std::span<const PackagePin> pins;
};

struct Chip {
  const char* name;  // the chip database's: "1k", "8k", "384", "5k", "u4k"
  int width, height;
  // width * height tile kinds, row by row from y = 0: 'L' logic, 'I' IO,
  // 'B' and 'T' the bottom and top halves of a block RAM, '0'..'3' DSP,
  // 'P' IP connection, '.' no tile.
  const char* grid;
  std::span<const ExtraBel> bels;
  std::span<const Package> packages;
};

std::span<const Chip> Chips();

}  // namespace NcdImport::Ice40
