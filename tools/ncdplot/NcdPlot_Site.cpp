#include "NcdPlot_Site.h"

#include <cctype>
#include <charconv>

namespace NcdPlot {

namespace {

// Reads the digits at `at` (no sign); false when there are none or they
// exceed kMaxCoordinate, so that the grid's extent (a coordinate + 1) and
// the picture's arithmetic cannot overflow.
bool Number(std::string_view text, std::size_t& at, int& value) {
  if (at >= text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) return false;
  auto [end, ec] = std::from_chars(text.data() + at, text.data() + text.size(), value);
  if (ec != std::errc() || value > kMaxCoordinate) return false;
  at = static_cast<std::size_t>(end - text.data());
  return true;
}

// The bels of an iCE40 tile: eight logic cells or two IOs share it; any
// other bel (a block RAM, a global buffer) has it to itself.
struct Kind {
  const char* prefix;
  int slots;
};
constexpr Kind kKinds[] = {{"lc", 8}, {"io", 2}};

bool Ice40Place(std::string_view name, SitePlace& place) {
  std::size_t at = 1;
  if (name.size() < 4 || name[0] != 'X' || !Number(name, at, place.x)) return false;
  if (name.substr(at, 2) != "/Y") return false;
  at += 2;
  if (!Number(name, at, place.y)) return false;
  if (at == name.size()) {
    place.tile = true;
    return true;
  }
  if (name[at] != '/') return false;
  const std::string_view bel = name.substr(at + 1);
  for (const Kind& k : kKinds) {
    std::size_t digits = std::string_view(k.prefix).size();
    int slot = 0;
    if (bel.substr(0, digits) == k.prefix && Number(bel, digits, slot) && digits == bel.size() &&
        slot < k.slots) {
      place.slot = slot;
      place.slots = k.slots;
    }
  }
  return true;
}

// "SLICE_X3Y7", "IOB_X0Y2": the last X<n>Y<n> in the name.
bool GridPlace(std::string_view name, SitePlace& place) {
  for (std::size_t start = name.rfind('X'); start != std::string_view::npos;
       start = start == 0 ? std::string_view::npos : name.rfind('X', start - 1)) {
    std::size_t at = start + 1;
    int x, y;
    if (!Number(name, at, x) || at >= name.size() || name[at] != 'Y') continue;
    ++at;
    if (!Number(name, at, y) || at != name.size()) continue;
    place.x = x;
    place.y = y;
    return true;
  }
  return false;
}

}  // namespace

bool PlaceOfSite(std::string_view name, SitePlace& place) {
  place = SitePlace();
  return Ice40Place(name, place) || GridPlace(name, place);
}

}  // namespace NcdPlot
