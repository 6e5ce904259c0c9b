#include "NcdPlot_Svg.h"

#include <algorithm>
#include <cstdio>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "NcdTool_Utf8.h"

namespace NcdPlot {

namespace {

constexpr double kTile = 24, kMargin = 16, kHeader = 44, kLegend = 270;
constexpr std::size_t kLegendModules = 24;

constexpr const char* kPalette[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728", "#9467bd",
                                    "#8c564b", "#e377c2", "#17becf", "#bcbd22", "#3b3eac",
                                    "#b82e2e", "#316395"};
constexpr const char* kTopColour = "#9e9e9e";

struct TileStyle {
  const char* type;
  const char* fill;
};
constexpr TileStyle kTileStyles[] = {{"LOGIC", "#ececec"}, {"IO", "#dce7f5"}, {"RAMB", "#f6edc8"},
                                     {"RAMT", "#f6edc8"}, {"IOB", "#dce7f5"}};

const char* TileFill(const std::string& type) {
  for (const TileStyle& s : kTileStyles) {
    if (type == s.type) return s.fill;
  }
  return "#f3f3f3";
}

const char* ModuleColour(int module) {
  return module < 0 ? kTopColour : kPalette[module % std::size(kPalette)];
}

const char* kRouteClass[] = {"full", "partial", "unrouted"};


std::string Num(double v) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", v);
  return text;
}

struct Box {
  double x, y, w, h;
};

class Painter {
 public:
  Painter(const Scene& s, std::ostream& out, std::uint32_t maxFanout)
      : m_s(s), m_out(out), m_maxFanout(maxFanout) {}
  void Run();

 private:
  double Left(int x) const { return kMargin + x * kTile; }
  double Top(int y) const { return kHeader + (m_s.height - 1 - y) * kTile; }
  Box CompBox(const Comp& c) const;
  void Header();
  void Tiles();
  void Comps();
  void Rpms();
  void Wires();
  void Legend();
  // A legend line: a small rectangle with `attributes`, and its label.
  void Swatch(double y, const std::string& attributes, const std::string& label);

  // A net drawn: routed, partially routed or unrouted, with a driver and
  // loads, and not too many of them.
  bool Drawn(const Wire& w) const {
    return w.route != Route::None && w.driver != kNone && !w.loads.empty() &&
           w.loads.size() <= m_maxFanout;
  }
  bool Skipped(const Wire& w) const {
    return w.route != Route::None && w.driver != kNone && w.loads.size() > m_maxFanout;
  }

  const Scene& m_s;
  std::ostream& m_out;
  std::uint32_t m_maxFanout;
};

// Slot 0 at the bottom of the tile, as the grid's y grows upwards.
Box Painter::CompBox(const Comp& c) const {
  const double inner = kTile - 4, h = inner / c.slots;
  return {Left(c.x) + 2, Top(c.y) + 2 + (c.slots - 1 - c.slot) * h, inner, std::max(h - 0.4, 0.6)};
}

void Painter::Run() {
  const double width = 2 * kMargin + m_s.width * kTile + kLegend;
  const double height = std::max(kHeader + m_s.height * kTile + kMargin, kHeader + 420.0);
  m_out << R"(<?xml version="1.0" encoding="UTF-8"?>)" << '\n'
        << R"(<svg xmlns="http://www.w3.org/2000/svg" width=")" << Num(width) << R"(" height=")"
        << Num(height) << R"(" viewBox="0 0 )" << Num(width) << ' ' << Num(height) << R"(">)"
        << '\n'
        << "<style>text{font-family:sans-serif;font-size:12px}"
           ".tile{stroke:#cfcfcf;stroke-width:.5}.comp{stroke:#444;stroke-width:.2}"
           ".iob{fill:#fff;stroke:#0b3d91;stroke-width:1.4}"
           ".rpm{fill:none;stroke:#222;stroke-width:.8;stroke-dasharray:3 2}"
           ".rpm.user{stroke-dasharray:none;stroke-width:1.2}"
           ".net{fill:none}.full{stroke:#4a6fa5;stroke-width:.6;stroke-opacity:.5}"
           ".partial{stroke:#e08a00;stroke-width:1.1;stroke-dasharray:4 2}"
           ".unrouted{stroke:#d62728;stroke-width:1.1;stroke-dasharray:1.5 2}"
           ".hl{stroke:#e6007e;stroke-width:1.6;stroke-opacity:1}</style>\n";
  Header();
  Tiles();
  Comps();
  Rpms();
  Wires();
  Legend();
  m_out << "</svg>\n";
}

void Painter::Header() {
  const auto drawn = std::count_if(m_s.wires.begin(), m_s.wires.end(),
                                   [&](const Wire& w) { return Drawn(w); });
  m_out << R"(<text x=")" << Num(kMargin) << R"(" y="22" style="font-size:16px;font-weight:bold">)"
        << MarkupText(m_s.design) << (m_s.part.empty() ? "" : " on " + MarkupText(m_s.part))
        << "</text>\n"
        << R"(<text x=")" << Num(kMargin) << R"(" y="38">)" << m_s.comps.size()
        << " placed comps, " << m_s.unplaced << " unplaced, " << m_s.rpms.size() << " RPMs, "
        << drawn << " nets drawn</text>\n";
}

void Painter::Tiles() {
  m_out << "<g id=\"tiles\">\n";
  for (const Tile& t : m_s.tiles) {
    m_out << R"(<rect class="tile" x=")" << Num(Left(t.x)) << R"(" y=")" << Num(Top(t.y))
          << R"(" width=")" << Num(kTile) << R"(" height=")" << Num(kTile) << R"(" fill=")"
          << TileFill(t.type) << R"("><title>X)" << t.x << "/Y" << t.y << ' ' << MarkupText(t.type)
          << "</title></rect>\n";
  }
  m_out << "</g>\n";
}

void Painter::Comps() {
  m_out << "<g id=\"comps\">\n";
  for (const Comp& c : m_s.comps) {
    const Box b = CompBox(c);
    m_out << R"(<rect class="comp)" << (c.iob ? " iob" : "") << (c.highlight ? " hl" : "")
          << R"(" x=")" << Num(b.x)
          << R"(" y=")" << Num(b.y) << R"(" width=")" << Num(b.w) << R"(" height=")" << Num(b.h)
          << '"';
    if (!c.iob) m_out << R"( fill=")" << ModuleColour(c.module) << '"';
    m_out << "><title>" << MarkupText(c.path) << " (" << MarkupText(c.type) << ") at " << MarkupText(c.site)
          << (c.module >= 0 ? " in " + MarkupText(m_s.modules[c.module]) : "") << "</title></rect>\n";
  }
  m_out << "</g>\n";
}

void Painter::Rpms() {
  m_out << "<g id=\"rpms\">\n";
  for (const Rpm& r : m_s.rpms) {
    Box box = CompBox(m_s.comps[r.comps.front()]);
    double x1 = box.x + box.w, y1 = box.y + box.h;
    for (std::uint32_t i : r.comps) {
      const Box b = CompBox(m_s.comps[i]);
      box.x = std::min(box.x, b.x);
      box.y = std::min(box.y, b.y);
      x1 = std::max(x1, b.x + b.w);
      y1 = std::max(y1, b.y + b.h);
    }
    m_out << R"(<rect class="rpm)" << (r.user ? " user" : "") << R"(" x=")" << Num(box.x - 1)
          << R"(" y=")" << Num(box.y - 1) << R"(" width=")" << Num(x1 - box.x + 2)
          << R"(" height=")" << Num(y1 - box.y + 2) << R"("><title>RPM )" << MarkupText(r.name)
          << " (" << r.comps.size() << " comps)</title></rect>\n";
  }
  m_out << "</g>\n";
}

void Painter::Wires() {
  m_out << "<g id=\"nets\">\n";
  for (const Wire& w : m_s.wires) {
    if (!Drawn(w)) continue;
    const Box from = CompBox(m_s.comps[w.driver]);
    const std::string start = "M" + Num(from.x + from.w / 2) + " " + Num(from.y + from.h / 2);
    m_out << R"(<path class="net )" << kRouteClass[static_cast<int>(w.route)]
          << (w.highlight ? " hl" : "") << R"(" d=")";
    for (std::uint32_t load : w.loads) {
      const Box to = CompBox(m_s.comps[load]);
      m_out << start << "L" << Num(to.x + to.w / 2) << " " << Num(to.y + to.h / 2);
    }
    m_out << R"("><title>net )" << MarkupText(w.name) << " (" << kRouteClass[static_cast<int>(w.route)]
          << ", " << w.loads.size() << " loads)</title></path>\n";
  }
  m_out << "</g>\n";
}

void Painter::Swatch(double y, const std::string& attributes, const std::string& label) {
  const double x = 2 * kMargin + m_s.width * kTile;
  m_out << R"(<g><rect x=")" << Num(x) << R"(" y=")" << Num(y - 9)
        << R"(" width="14" height="10" )" << attributes << "/><text x=\"" << Num(x + 20)
        << "\" y=\"" << Num(y) << "\">" << MarkupText(label) << "</text></g>\n";
}

void Painter::Legend() {
  m_out << "<g id=\"legend\">\n";
  double y = kHeader + 10;
  // The modules whose colour some comp shows: IOBs are white whatever
  // their module.
  std::vector<std::size_t> used;
  for (const Comp& c : m_s.comps) {
    if (!c.iob && c.module >= 0) used.push_back(static_cast<std::size_t>(c.module));
  }
  std::sort(used.begin(), used.end());
  used.erase(std::unique(used.begin(), used.end()), used.end());
  const std::size_t shown = std::min(used.size(), kLegendModules);
  for (std::size_t i = 0; i < shown; ++i, y += 16)
    Swatch(y, std::string("fill=\"") + ModuleColour(static_cast<int>(used[i])) + "\"",
           m_s.modules[used[i]]);
  if (used.size() > shown) {
    Swatch(y, "fill=\"none\"", "... and " + std::to_string(used.size() - shown) + " more modules");
    y += 16;
  }
  Swatch(y, std::string("fill=\"") + kTopColour + "\"", "comps in no module");
  Swatch(y += 16, "class=\"iob\"", "IOB");
  Swatch(y += 16, "class=\"rpm\"", "RPM (tool shape, e.g. a carry chain)");
  Swatch(y += 16, "class=\"rpm user\"", "RPM (user shape)");
  std::size_t count[3] = {0, 0, 0}, skipped = 0;
  for (const Wire& w : m_s.wires) {
    if (Drawn(w)) ++count[static_cast<int>(w.route)];
    skipped += Skipped(w);
  }
  static const char* const kNames[] = {"fully routed", "partially routed", "unrouted"};
  for (int r = 0; r < 3; ++r) {
    Swatch(y += 16, std::string("class=\"net ") + kRouteClass[r] + "\" style=\"fill:none\"",
           std::string(kNames[r]) + " nets: " + std::to_string(count[r]));
  }
  if (skipped) {
    Swatch(y += 16, "fill=\"none\"", std::to_string(skipped) + " high-fanout nets not drawn");
  }
  if (m_s.leftOutComps + m_s.leftOutNets) {
    Swatch(y += 16, "fill=\"none\"",
           std::to_string(m_s.leftOutComps) + " comps and " + std::to_string(m_s.leftOutNets) +
               " nets left out (more than " + std::to_string(m_s.maxObjects) + ")");
  }
  m_out << "</g>\n";
}

}  // namespace

// Text for an element or an attribute value. XML's markup characters
// become references; characters XML forbids (the controls but tab, line
// feed and carriage return, U+FFFE, U+FFFF), which would make the picture
// fail to open, and the other controls (names seldom hold them on
// purpose) are shown as escapes ("\u0001"); bytes that are not UTF-8 as
// U+FFFD.
std::string MarkupText(std::string_view text) {
  static constexpr std::pair<char, const char*> kMarkup[] = {
      {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};
  std::string out;
  for (std::size_t at = 0; at < text.size();) {
    char32_t code;
    const std::size_t length = NcdTool::Utf8At(text, at, code);
    const auto markup = std::find_if(std::begin(kMarkup), std::end(kMarkup),
                                     [&](const auto& m) { return code == char32_t(m.first); });
    if (length == 0) {
      out += "\xEF\xBF\xBD";
    } else if (markup != std::end(kMarkup)) {
      out += markup->second;
    } else if (code < 0x20 || (code >= 0x7F && code < 0xA0) || code == 0xFFFE || code == 0xFFFF) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(code));
      out += escape;
    } else {
      out.append(text, at, length);
    }
    at += length ? length : 1;
  }
  return out;
}

void WriteSvg(const Scene& scene, std::ostream& out, std::uint32_t maxFanout) {
  Painter(scene, out, maxFanout).Run();
}

}  // namespace NcdPlot
