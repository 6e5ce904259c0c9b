#include "NcdImport_Device.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstring>

namespace NcdImport {

namespace {

// nextpnr's part options and the chip database each stands on.
struct Arch {
  const char* arch;
  const char* chip;
  bool fourK;  // an HX4K/LP4K: an 8k chip whose packages have variants of their own
};

constexpr Arch kArchs[] = {
    {"lp384", "384", false}, {"lp1k", "1k", false}, {"hx1k", "1k", false}, {"lp4k", "8k", true},
    {"hx4k", "8k", true},    {"lp8k", "8k", false}, {"hx8k", "8k", false}, {"up3k", "5k", false},
    {"up5k", "5k", false},   {"u1k", "u4k", false}, {"u2k", "u4k", false}, {"u4k", "u4k", false},
};

struct TileKind {
  char code;
  Tile tile;
  const char* name;
};

constexpr TileKind kTileKinds[] = {
    {'L', Tile::Logic, "LOGIC"}, {'I', Tile::Io, "IO"},     {'B', Tile::RamBottom, "RAMB"},
    {'T', Tile::RamTop, "RAMT"}, {'0', Tile::Dsp0, "DSP0"}, {'1', Tile::Dsp1, "DSP1"},
    {'2', Tile::Dsp2, "DSP2"},   {'3', Tile::Dsp3, "DSP3"}, {'P', Tile::Ipcon, "IPCON"},
};

bool ReadNumber(std::string_view& text, char prefix, int& value) {
  if (text.empty() || text[0] != prefix) return false;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data() + 1 || value < 0) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return !text.empty() && text[0] == '/';
}

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

const Ice40::Chip* ChipNamed(const char* name) {
  for (const Ice40::Chip& chip : Ice40::Chips()) {
    if (std::strcmp(chip.name, name) == 0) return &chip;
  }
  return nullptr;
}

const Ice40::Package* PackageNamed(const Ice40::Chip& chip, const std::string& name) {
  for (const Ice40::Package& package : chip.packages) {
    if (name == package.name) return &package;
  }
  return nullptr;
}

}  // namespace

bool ParseTile(std::string_view text, int& x, int& y) {
  if (!ReadNumber(text, 'X', x)) return false;
  text.remove_prefix(1);
  return ReadNumber(text, 'Y', y);
}

bool ParseBel(std::string_view text, BelName& bel) {
  if (!ParseTile(text, bel.x, bel.y)) return false;
  text.remove_prefix(text.find('/', text.find('/') + 1) + 1);
  if (text.empty() || text.find('/') != std::string_view::npos) return false;
  bel.local = text;
  return true;
}

int IoSlot(const BelName& bel) {
  const std::string& local = bel.local;
  if (local.size() != 3 || local.compare(0, 2, "io") != 0 || local[2] < '0' || local[2] > '9')
    return -1;
  return local[2] - '0';
}

std::string TileName(int x, int y) {
  return "X" + std::to_string(x) + "/Y" + std::to_string(y);
}

Tile Device::TileAt(int x, int y) const {
  if (!chip || x < 0 || y < 0 || x >= width || y >= height) return Tile::None;
  const char code = chip->grid[static_cast<std::size_t>(y * width + x)];
  for (const TileKind& kind : kTileKinds) {
    if (kind.code == code) return kind.tile;
  }
  return Tile::None;
}

std::string Device::RegionOf(int x, int y) const {
  return std::string("X") + (x * 2 >= width ? '1' : '0') + "Y" + (y * 2 >= height ? '1' : '0');
}

std::vector<Region> Device::Regions() const {
  const int xSplit = (width + 1) / 2, ySplit = (height + 1) / 2;  // first column/row of X1/Y1
  std::vector<Region> regions;
  for (int qx = 0; qx < 2; ++qx) {
    for (int qy = 0; qy < 2; ++qy) {
      const int xMin = qx ? xSplit : 0, xMax = qx ? width - 1 : xSplit - 1;
      const int yMin = qy ? ySplit : 0, yMax = qy ? height - 1 : ySplit - 1;
      if (xMin <= xMax && yMin <= yMax)
        regions.push_back({RegionOf(xMin, yMin), xMin, yMin, xMax, yMax});
    }
  }
  return regions;
}

void Device::Include(int x, int y) {
  if (Known()) return;
  width = std::max(width, x + 1);
  height = std::max(height, y + 1);
}

std::string Device::PackagePin(int x, int y, int z) const {
  if (!pinout) return "";
  for (const Ice40::PackagePin& pin : pinout->pins) {
    if (pin.x == x && pin.y == y && pin.z == z) return pin.pin;
  }
  return "";
}

// The older families number their banks by side: 0 top, 1 right, 2
// bottom, 3 left, as their packages' PIO<bank> pin names say. The
// UltraPlus has IO on top (bank 0) and bottom only; its bottom edge is two
// banks, split where the SG48's supply pins split it: IOB_0a..IOB_22a
// (bank 2) up to the first IO of tile 18, IOB_23b.. (bank 1, with the SPI
// pins) from its second.
std::string Device::Bank(int x, int y, int z) const {
  if (!chip || TileAt(x, y) != Tile::Io) return "";
  const std::string_view name = chip->name;
  if (name == "u4k") return "";
  if (y == height - 1) return "0";
  if (name == "5k") return y == 0 ? (x > 18 || (x == 18 && z == 1) ? "1" : "2") : "";
  if (x == width - 1) return "1";
  if (y == 0) return "2";
  return x == 0 ? "3" : "";
}

std::vector<Ice40::TileXY> Device::PortTiles(const BelName& bel) const {
  std::vector<Ice40::TileXY> tiles{{bel.x, bel.y}};
  if (bel.local == "ram") tiles.push_back({bel.x, bel.y + 1});
  for (const Ice40::ExtraBel& extra : chip ? chip->bels : std::span<const Ice40::ExtraBel>()) {
    if (extra.x == bel.x && extra.y == bel.y && bel.local == extra.local)
      tiles.insert(tiles.end(), extra.tiles.begin(), extra.tiles.end());
  }
  return tiles;
}

const char* TileTypeName(Tile tile) {
  for (const TileKind& kind : kTileKinds) {
    if (kind.tile == tile) return kind.name;
  }
  return "";
}

std::vector<TileBel> BelsOf(Tile tile) {
  switch (tile) {
    case Tile::Logic: {
      static const char* const kLc[] = {"lc0", "lc1", "lc2", "lc3", "lc4", "lc5", "lc6", "lc7"};
      std::vector<TileBel> bels;
      for (const char* lc : kLc)
        bels.push_back({lc, "ICESTORM_LC"});
      return bels;
    }
    case Tile::Io:
      return {{"io0", "SB_IO"}, {"io1", "SB_IO"}};
    case Tile::RamBottom:
      return {{"ram", "ICESTORM_RAM"}};
    default:
      break;
  }
  return {};
}

Device DeviceFor(const std::string& arch, const std::string& package) {
  Device d;
  d.arch = arch;
  d.package = package;
  d.part = "iCE40" + Upper(arch) + (package.empty() ? "" : "-" + Upper(package));
  for (const Arch& a : kArchs) {
    if (arch != a.arch) continue;
    d.chip = ChipNamed(a.chip);
    if (!d.chip) break;
    d.width = d.chip->width;
    d.height = d.chip->height;
    if (a.fourK) d.pinout = PackageNamed(*d.chip, package + ":4k");
    if (!d.pinout) d.pinout = PackageNamed(*d.chip, package);
  }
  return d;
}

}  // namespace NcdImport
