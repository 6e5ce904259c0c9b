// Writes the imported design as ncd-json: device and nets before the top
// block, each block's signals before its pins and children, so that the
// loader resolves every name as it reads.
#include <ostream>

#include "NcdGen_Json.h"
#include "NcdImport.h"

namespace NcdImport {

namespace {

class Writer {
 public:
  Writer(const Design& d, NcdGen::Sink& sink) : m_d(d), m_sink(sink), m_j(sink) {}
  std::uint64_t Run();

 private:
  void Device();
  void Nets();
  void Block(const NcdImport::Block& b);
  void Pins(const std::vector<Pin>& pins);
  void Strings(const char* key, const Attributes& map);
  void Shapes();

  const Design& m_d;
  NcdGen::Sink& m_sink;
  NcdGen::Json m_j;
};

const char* DirName(Dir dir) {
  return dir == Dir::In ? "input" : dir == Dir::Out ? "output" : "bidir";
}

std::uint64_t Writer::Run() {
  m_j.BeginObject();
  m_j.Str("format", "ncd-json");
  m_j.Int("version", 1);
  m_j.Txt("part", m_d.part);
  m_j.Key("design");
  m_j.BeginObject();
  m_j.Txt("name", m_d.name);
  m_j.Txt("tool", m_d.tool);
  m_j.EndObject();
  Device();
  Nets();
  m_j.Newline();
  m_j.Key("top");
  Block(m_d.top);
  Shapes();
  m_j.EndObject();
  m_sink.Put('\n');
  m_sink.Flush();
  return m_sink.Bytes();
}

void Writer::Device() {
  m_j.Newline();
  m_j.Key("device");
  m_j.BeginObject();
  m_j.Key("clock_regions");
  m_j.BeginArray();
  for (const Region& r : m_d.regions)
    m_j.Text(r.name);
  m_j.EndArray();
  m_j.Key("clock_region_bounds");
  m_j.BeginArray();
  for (const Region& r : m_d.regions) {
    m_j.BeginObject();
    m_j.Txt("name", r.name);
    m_j.Int("x_min", static_cast<std::uint64_t>(r.xMin));
    m_j.Int("y_min", static_cast<std::uint64_t>(r.yMin));
    m_j.Int("x_max", static_cast<std::uint64_t>(r.xMax));
    m_j.Int("y_max", static_cast<std::uint64_t>(r.yMax));
    m_j.EndObject();
  }
  m_j.EndArray();
  m_j.Key("cell_types");
  m_j.BeginArray();
  for (const CellType& t : m_d.cellTypes) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Txt("name", t.name);
    m_j.Key("modes");
    m_j.BeginArray();
    if (t.equation) m_j.Raw(R"({"name":"EQN","string":true})");
    m_j.EndArray();
    m_j.EndObject();
  }
  m_j.EndArray();
  m_j.Key("cells");
  m_j.BeginArray();
  for (const DeviceCell& c : m_d.cells) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Txt("name", c.name);
    m_j.Txt("type", c.type);
    if (!c.region.empty()) m_j.Txt("clock_region", c.region);
    if (c.x >= 0) {
      m_j.Int("x", static_cast<std::uint64_t>(c.x));
      m_j.Int("y", static_cast<std::uint64_t>(c.y));
    }
    if (!c.tile.empty()) m_j.Txt("tile", c.tile);
    if (!c.packagePin.empty()) m_j.Txt("package_pin", c.packagePin);
    if (!c.bank.empty()) m_j.Txt("bank", c.bank);
    m_j.EndObject();
  }
  m_j.EndArray();
  m_j.EndObject();
}

void Writer::Nets() {
  static const char* const kTypes[] = {"logic", "power", "ground"};
  m_j.Newline();
  m_j.Key("nets");
  m_j.BeginArray();
  for (const Net& n : m_d.nets) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Txt("name", n.name);
    if (n.type != Net::kLogic) m_j.Str("type", kTypes[n.type]);
    if (n.master) m_j.True("master");
    if (!n.routable && n.type == Net::kLogic) m_j.Flag("routable", false);
    if (!n.route.empty()) m_j.Str("route", n.route);
    if (n.hasDelay) {
      m_j.Int("delay", static_cast<std::uint64_t>(std::max(n.delay, 0)));
      m_j.Int("delay_min", static_cast<std::uint64_t>(std::max(n.delayMin, 0)));
    }
    m_j.EndObject();
  }
  m_j.EndArray();
}

void Writer::Strings(const char* key, const Attributes& map) {
  if (map.empty()) return;
  m_j.Key(key);
  m_j.BeginObject();
  for (const auto& [name, value] : map)
    m_j.Txt(name, value);
  m_j.EndObject();
}

void Writer::Block(const NcdImport::Block& b) {
  m_j.BeginObject();
  m_j.Txt("name", b.name);
  if (!b.type.empty()) m_j.Txt("type", b.type);
  m_j.Int("level", static_cast<std::uint64_t>(b.level));
  if (b.external) m_j.True("external");
  if (!b.site.empty()) m_j.Txt("site", b.site);
  if (!b.config.empty()) m_j.Txt("config", b.config);
  Strings("modes", b.modes);
  Strings("gcd", b.gcd);
  if (!b.modeDefs.empty() && !b.site.empty()) {  // mode definitions need a placement
    m_j.Key("mode_defs");
    m_j.BeginArray();
    for (const std::string& mode : b.modeDefs) {
      m_j.BeginObject();
      m_j.Txt("name", mode);
      m_j.True("string");
      m_j.EndObject();
    }
    m_j.EndArray();
  }
  if (b.external && !b.ioStandard.empty())
    Strings("io", {{"input_standard", b.ioStandard}, {"output_standard", b.ioStandard}});
  if (!b.signals.empty()) {
    m_j.Key("signals");
    m_j.BeginArray();
    for (const Signal& s : b.signals) {
      m_j.BeginObject();
      m_j.Txt("name", s.name);
      if (!s.net.empty()) m_j.Txt("net", s.net);
      m_j.EndObject();
    }
    m_j.EndArray();
  }
  Pins(b.pins);
  if (!b.blocks.empty()) {
    m_j.Key("blocks");
    m_j.BeginArray();
    for (const auto& child : b.blocks) {
      if (child->level < 4) m_j.Newline();
      Block(*child);
    }
    m_j.EndArray();
  }
  m_j.EndObject();
}

void Writer::Pins(const std::vector<Pin>& pins) {
  if (pins.empty()) return;
  m_j.Key("pins");
  m_j.BeginArray();
  for (const Pin& p : pins) {
    m_j.BeginObject();
    m_j.Txt("name", p.name);
    if (p.dir != Dir::In) m_j.Str("dir", DirName(p.dir));
    if (!p.signal.empty()) m_j.Txt("signal", p.signal);
    if (!p.child.empty()) m_j.Txt("child_signal", p.child);
    if (p.pad) m_j.True("pad");
    if (p.clock) m_j.True("clock");
    if (p.hasDelay) m_j.Int("delay", static_cast<std::uint64_t>(std::max(p.delay, 0)));
    m_j.EndObject();
  }
  m_j.EndArray();
}

void Writer::Shapes() {
  if (m_d.shapes.empty()) return;
  m_j.Newline();
  m_j.Key("shapes");
  m_j.BeginArray();
  for (const Shape& s : m_d.shapes) {
    m_j.Newline();
    m_j.BeginObject();
    m_j.Txt("name", s.name);
    m_j.Txt("reference", s.reference);
    m_j.Key("members");
    m_j.BeginArray();
    for (const std::string& m : s.members)
      m_j.Text(m);
    m_j.EndArray();
    m_j.EndObject();
  }
  m_j.EndArray();
}

}  // namespace

std::uint64_t WriteDesign(const Design& design, std::ostream& out) {
  NcdGen::Sink sink(out);
  return Writer(design, sink).Run();
}

}  // namespace NcdImport
