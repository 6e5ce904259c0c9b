#include "NcdImport_Device.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace NcdImport {

namespace {

struct Family {
  const char* archs[4];
  int width, height;
  std::vector<int> ramColumns;
};

const Family kFamilies[] = {
    {{"hx1k", "lp1k"}, 14, 18, {3, 10}},
    {{"hx8k", "lp8k", "hx4k", "lp4k"}, 34, 34, {8, 25}},
    {{"lp384"}, 8, 10, {}},
};

bool ReadNumber(std::string_view& text, char prefix, int& value) {
  if (text.empty() || text[0] != prefix) return false;
  auto [end, ec] = std::from_chars(text.data() + 1, text.data() + text.size(), value);
  if (ec != std::errc() || end == text.data() + 1 || value < 0) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return !text.empty() && text[0] == '/';
}

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
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

Tile Device::TileAt(int x, int y) const {
  if (x < 0 || y < 0 || x >= width || y >= height) return Tile::None;
  const bool edgeX = x == 0 || x == width - 1, edgeY = y == 0 || y == height - 1;
  if (edgeX && edgeY) return Tile::None;
  if (edgeX || edgeY) return Tile::Io;
  if (std::find(ramColumns.begin(), ramColumns.end(), x) != ramColumns.end())
    return y % 2 ? Tile::RamBottom : Tile::RamTop;
  return Tile::Logic;
}

std::string Device::RegionOf(int x, int y) const {
  return std::string("X") + (x * 2 >= width ? '1' : '0') + "Y" + (y * 2 >= height ? '1' : '0');
}

void Device::Include(int x, int y) {
  if (known) return;
  width = std::max(width, x + 1);
  height = std::max(height, y + 1);
}

const char* TileTypeName(Tile tile) {
  switch (tile) {
    case Tile::Logic: return "LOGIC";
    case Tile::Io: return "IO";
    case Tile::RamBottom: return "RAMB";
    case Tile::RamTop: return "RAMT";
    case Tile::None: break;
  }
  return "";
}

std::vector<TileBel> BelsOf(Tile tile) {
  switch (tile) {
    case Tile::Logic: {
      static const char* const kLc[] = {"lc0", "lc1", "lc2", "lc3", "lc4", "lc5", "lc6", "lc7"};
      std::vector<TileBel> bels;
      for (const char* lc : kLc) bels.push_back({lc, "ICESTORM_LC"});
      return bels;
    }
    case Tile::Io: return {{"io0", "SB_IO"}, {"io1", "SB_IO"}};
    case Tile::RamBottom: return {{"ram", "ICESTORM_RAM"}};
    case Tile::RamTop:
    case Tile::None: break;
  }
  return {};
}

Device DeviceFor(const std::string& arch, const std::string& package) {
  Device d;
  d.arch = arch;
  d.package = package;
  d.part = "iCE40" + Upper(arch) + (package.empty() ? "" : "-" + Upper(package));
  for (const Family& f : kFamilies) {
    for (const char* a : f.archs) {
      if (a && arch == a) {
        d.width = f.width;
        d.height = f.height;
        d.ramColumns = f.ramColumns;
        d.known = true;
      }
    }
  }
  return d;
}

}  // namespace NcdImport
