#include "NcdPlot_Html.h"

#include <cstdio>
#include <map>

#include "NcdPlot_Svg.h"

namespace NcdPlot {

namespace {

// Indices of repeated texts (types, pin names), in order of first use.
class TextTable {
 public:
  std::size_t Index(const std::string& text) {
    auto [it, added] = m_index.try_emplace(text, m_texts.size());
    if (added) m_texts.push_back(text);
    return it->second;
  }
  void Write(std::ostream& out) const {
    out << '[';
    for (std::size_t i = 0; i < m_texts.size(); ++i)
      out << (i ? "," : "") << ScriptString(m_texts[i]);
    out << ']';
  }

 private:
  std::map<std::string, std::size_t> m_index;
  std::vector<std::string> m_texts;
};

long Index(std::uint32_t i) {
  return i == kNone ? -1 : static_cast<long>(i);
}

void WriteComps(const Scene& s, std::ostream& out) {
  TextTable types, pinNames;
  std::string pins = "[";
  out << ",\"comps\":[";
  for (std::size_t i = 0; i < s.comps.size(); ++i) {
    const Comp& c = s.comps[i];
    out << (i ? ",\n[" : "\n[") << ScriptString(c.path) << ',' << types.Index(c.type) << ','
        << c.module << ',' << c.x << ',' << c.y << ',' << c.slot << ',' << c.slots << ','
        << (c.iob ? 1 : 0) << ',' << ScriptString(c.site) << ',' << (c.highlight ? 1 : 0) << ']';
    pins += i ? ",[" : "[";
    for (std::size_t k = 0; k < c.pins.size(); ++k) {
      const CompPin& p = c.pins[k];
      char item[96];
      std::snprintf(item, sizeof item, "%s%zu,\"%c\",%ld,%d", k ? "," : "", pinNames.Index(p.name),
                    p.dir, Index(p.net), static_cast<int>(p.delay));
      pins += item;
    }
    pins += ']';
  }
  out << "],\n\"types\":";
  types.Write(out);
  out << ",\n\"pinNames\":";
  pinNames.Write(out);
  out << ",\n\"pins\":" << pins << ']';
}

void WriteNets(const Scene& s, std::ostream& out) {
  out << ",\n\"nets\":[";
  for (std::size_t i = 0; i < s.wires.size(); ++i) {
    const Wire& w = s.wires[i];
    out << (i ? ",\n[" : "\n[") << ScriptString(w.name) << ',' << static_cast<int>(w.route) << ','
        << Index(w.driver) << ",[";
    for (std::size_t k = 0; k < w.loads.size(); ++k)
      out << (k ? "," : "") << w.loads[k];
    out << "]," << w.delay << ',' << (w.highlight ? 1 : 0) << ']';
  }
  out << ']';
}

void WriteData(const Scene& s, std::ostream& out) {
  out << "{\"design\":" << ScriptString(s.design) << ",\"part\":" << ScriptString(s.part)
      << ",\"width\":" << s.width << ",\"height\":" << s.height << ",\"unplaced\":" << s.unplaced
      << ",\"leftOutComps\":" << s.leftOutComps << ",\"leftOutNets\":" << s.leftOutNets
      << ",\"maxObjects\":" << s.maxObjects << ",\n\"modules\":[";
  for (std::size_t i = 0; i < s.modules.size(); ++i)
    out << (i ? "," : "") << ScriptString(s.modules[i]);
  TextTable tileTypes;
  out << "],\n\"tiles\":[";
  for (std::size_t i = 0; i < s.tiles.size(); ++i)
    out << (i ? "," : "") << s.tiles[i].x << ',' << s.tiles[i].y << ','
        << tileTypes.Index(s.tiles[i].type);
  out << "],\n\"tileTypes\":";
  tileTypes.Write(out);
  WriteComps(s, out);
  WriteNets(s, out);
  out << ",\n\"rpms\":[";
  for (std::size_t i = 0; i < s.rpms.size(); ++i) {
    out << (i ? "," : "") << '[' << ScriptString(s.rpms[i].name) << ',' << (s.rpms[i].user ? 1 : 0)
        << ",[";
    for (std::size_t k = 0; k < s.rpms[i].comps.size(); ++k)
      out << (k ? "," : "") << s.rpms[i].comps[k];
    out << "]]";
  }
  out << "]}";
}

}  // namespace

std::string ScriptString(std::string_view text) {
  std::string out = "\"";
  for (std::size_t i = 0; i < text.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    // U+2028 and U+2029 (E2 80 A8/A9) end a line in older scripts.
    const bool separator = c == 0xE2 && i + 2 < text.size() &&
                           static_cast<unsigned char>(text[i + 1]) == 0x80 &&
                           (static_cast<unsigned char>(text[i + 2]) & 0xFE) == 0xA8;
    char escape[8];
    if (separator) {
      std::snprintf(escape, sizeof escape, "\\u%04x", 0x2028 + (text[i + 2] & 1));
      out += escape;
      i += 2;
    } else if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == '<' || c == '>' || c == '&') {
      std::snprintf(escape, sizeof escape, "\\u%04x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + '"';
}

void WriteHtml(const Scene& scene, std::ostream& out) {
  out << kPageHead << MarkupText(scene.design) << (scene.part.empty() ? "" : " on ")
      << MarkupText(scene.part) << kPageStyle;
  WriteData(scene, out);
  out << kPageScript;
}

}  // namespace NcdPlot
