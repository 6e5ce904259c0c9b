// Writes a built design as ncd-json: header, device, nets, the block tree,
// shapes and relocation groups, one net, cell or comp per line. Attributes
// that need no structure (delays, route states, equations, IO settings) are
// drawn here from a hash of the seed and the object, so they need no memory.
#include <ostream>
#include <stdexcept>
#include <string>

#include "NcdGen_Emitter.h"
#include "NcdGen_Rng.h"

namespace NcdGen {

namespace {

constexpr std::string_view kPart = "xc5vlx330ff1760-2";
constexpr uint32_t kRegionRowSites = 20;

// The cell types never change with the design; the bel types are listed
// though only slices and IOBs have cells, as a device lists every type.
constexpr std::string_view kCellTypes =
    R"([{"name":"SLICEL","modes":[]},)"
    R"({"name":"SLICEM","modes":[{"name":"RAMMODE","hidden":true}]},)"
    R"({"name":"IOB","modes":[{"name":"IOSTANDARD","string":true},)"
    R"({"name":"DRIVE","string":true},{"name":"DIFF_TERM","valid":false}]},)"
    R"({"name":"A6LUT","modes":[{"name":"EQN","string":true}]},)"
    R"({"name":"B6LUT","modes":[{"name":"EQN","string":true}]},)"
    R"({"name":"C6LUT","modes":[{"name":"EQN","string":true}]},)"
    R"({"name":"D6LUT","modes":[{"name":"EQN","string":true}]},)"
    R"({"name":"SLICEL_AFF","modes":[{"name":"INIT"},{"name":"SRVAL"}]},)"
    R"({"name":"SLICEL_BFF","modes":[{"name":"INIT"},{"name":"SRVAL"}]},)"
    R"({"name":"SLICEM_AFF","modes":[{"name":"INIT"},{"name":"SRVAL"}]},)"
    R"({"name":"SLICEM_BFF","modes":[{"name":"INIT"},{"name":"SRVAL"}]},)"
    R"({"name":"CARRY4","modes":[{"name":"CYINIT"}]}])";
}  // namespace

Stats Emitter::Run() {
  m_j.BeginObject();
  Header();
  Device();
  Nets();
  m_j.Newline();
  m_j.Key("top");
  Top();
  Shapes();
  Relocation();
  m_j.EndObject();
  m_sink.Put('\n');
  m_sink.Flush();
  m_s.nets = m_d.netCount;
  m_s.shapes = m_d.shapes.size();
  m_s.bytes = m_sink.Bytes();
  return m_s;
}

void Emitter::Header() {
  m_j.Str("format", "ncd-json");
  m_j.Int("version", 1);
  m_j.Str("part", kPart);
  m_j.Key("design");
  m_j.BeginObject();
  m_tmp = "gen" + std::to_string(m_d.requested) + "_s" + std::to_string(m_d.seed);
  m_j.Str("name", m_tmp);
  m_j.Str("tool", "ncdgen 1");
  m_j.EndObject();
}
void Emitter::Device() {
  m_j.Newline();
  m_j.Key("device");
  m_j.BeginObject();
  m_j.Key("clock_regions");
  m_j.BeginArray();
  for (uint32_t y = 0; y < m_d.regionRows; ++y) {
    for (uint32_t x = 0; x < 2; ++x) {
      m_tmp = "X" + std::to_string(x) + "Y" + std::to_string(y);
      m_j.String(m_tmp);
    }
  }
  m_j.EndArray();
  m_j.Newline();
  m_j.Key("cell_types");
  m_j.Raw(kCellTypes);
  Cells();
  m_j.EndObject();
}

void Emitter::Cells() {
  m_j.Newline();
  m_j.Key("cells");
  m_j.BeginArray();
  for (const Comp& c : m_d.comps)
    if (c.site != kNone) SiteCell(c.site, c.slicem);
  for (const Iob& iob : m_d.iobs)
    IobCell(iob);
  m_j.EndArray();
}

// Sites fill rows of siteColumns; a clock region is half a row span wide
// and kRegionRowSites rows high.
void Emitter::SiteCell(uint32_t site, bool slicem) {
  uint32_t x = site % m_d.siteColumns, y = site / m_d.siteColumns;
  m_j.Newline();
  m_j.BeginObject();
  m_tmp = "SLICE_X";
  Append(m_tmp, x);
  m_tmp += 'Y';
  Append(m_tmp, y);
  m_j.Str("name", m_tmp);
  m_j.Str("type", slicem ? "SLICEM" : "SLICEL");
  m_tmp = "X";
  Append(m_tmp, x * 2 / m_d.siteColumns);
  m_tmp += 'Y';
  Append(m_tmp, y / kRegionRowSites);
  m_j.Str("clock_region", m_tmp);
  m_j.EndObject();
  ++m_s.cells;
}

// IOBs stand in two columns, left and right, spread over the region rows.
void Emitter::IobCell(const Iob& iob) {
  uint32_t x = iob.site % 2, y = iob.site / 2;
  uint32_t perRow = static_cast<uint32_t>((m_d.iobs.size() + 1) / 2);
  m_j.Newline();
  m_j.BeginObject();
  m_tmp = "IOB_X" + std::to_string(x) + "Y" + std::to_string(y);
  m_j.Str("name", m_tmp);
  m_j.Str("type", "IOB");
  m_tmp = "X" + std::to_string(x) + "Y" + std::to_string(uint64_t{y} * m_d.regionRows / perRow);
  m_j.Str("clock_region", m_tmp);
  m_j.EndObject();
  ++m_s.cells;
}

void Emitter::NetName(uint32_t net) {
  if (net < m_d.netNames.size())
    m_j.String(m_d.netNames[net]);
  else
    m_j.String("n", net);
}

bool Emitter::IsClock(uint32_t net) const {
  for (uint32_t c : m_d.clockNets)
    if (c == net) return true;
  return false;
}

// Most nets are fully routed; clocks always are, with a delay; the master
// nets are routed without one.
Timing Emitter::TimingOf(uint32_t net) const {
  Timing t;
  if (net == m_d.gnd || net == m_d.vcc) {
    t.route = Route::Full;
    return t;
  }
  uint64_t h = Hash(m_d.seed, net, 1);
  uint32_t r = h % 100;
  if (IsClock(net)) r = 0;
  t.route = r < 84 ? Route::Full : r < 90 ? Route::Partial : r < 94 ? Route::Unrouted : Route::None;
  if (t.route == Route::Full || t.route == Route::Partial) t.delay = 150 + (h >> 16) % 3850;
  if (t.delay && (h >> 32) % 10 == 0) t.delayMin = t.delay / 3;
  t.unroutable = t.route == Route::None && (h >> 40) % 4 == 0;
  return t;
}

// A load pin's delay lies between a quarter of its net's delay and all of it.
uint32_t Emitter::PinDelay(uint32_t net, uint64_t where) const {
  uint32_t delay = TimingOf(net).delay;
  if (delay == 0) return 0;
  return delay / 4 + Hash(m_d.seed, net, where) % (delay * 3 / 4 + 1);
}

void Emitter::Nets() {
  static constexpr const char* kRoutes[] = {"", "full", "partial", "unrouted"};
  m_j.Newline();
  m_j.Key("nets");
  m_j.BeginArray();
  for (uint32_t n = 0; n < m_d.netCount; ++n) {
    Timing t = TimingOf(n);
    m_j.Newline();
    m_j.BeginObject();
    m_j.Key("name");
    NetName(n);
    if (n == m_d.gnd || n == m_d.vcc) {
      m_j.Str("type", n == m_d.gnd ? "ground" : "power");
      m_j.True("master");
    }
    if (t.unroutable) m_j.Flag("routable", false);
    if (t.route != Route::None) m_j.Str("route", kRoutes[static_cast<int>(t.route)]);
    if (t.delay) m_j.Int("delay", t.delay);
    if (t.delayMin) m_j.Int("delay_min", t.delayMin);
    m_j.EndObject();
  }
  m_j.EndArray();
}
// "u3/c7" or "u3/hm0/c2".
const std::string& Emitter::CompPath(uint32_t ci) {
  const Comp& c = m_d.comps[ci];
  const Node& n = m_d.nodes[c.node];
  m_path = "u";
  if (n.kind == NodeKind::Macro) {
    Append(m_path, m_d.nodes[n.parent].local);
    m_path += "/hm";
  }
  Append(m_path, n.local);
  m_path += "/c";
  Append(m_path, c.local);
  return m_path;
}

void Emitter::Shapes() {
  m_j.Newline();
  m_j.Key("shapes");
  m_j.BeginArray();
  for (uint32_t s = 0; s < m_d.shapes.size(); ++s) {
    const Shape& shape = m_d.shapes[s];
    m_j.Newline();
    m_j.BeginObject();
    m_j.Str("name", "rpm", s);
    if (shape.user) m_j.True("user");
    m_j.Str("reference", CompPath(shape.firstComp));
    m_j.Key("members");
    m_j.BeginArray();
    for (uint32_t c = shape.firstComp; c < shape.firstComp + shape.count; ++c)
      m_j.String(CompPath(c));
    m_j.EndArray();
    m_j.EndObject();
  }
  m_j.EndArray();
}

// Each hard macro relocates as one group around its first comp.
void Emitter::Relocation() {
  m_j.Newline();
  m_j.Key("relocation");
  m_j.BeginArray();
  for (const Node& h : m_d.nodes) {
    if (h.kind != NodeKind::Macro) continue;
    m_j.Newline();
    m_j.BeginObject();
    m_j.Str("reference", CompPath(h.firstComp));
    m_j.Key("members");
    m_j.BeginArray();
    m_tmp = "u" + std::to_string(m_d.nodes[h.parent].local) + "/hm" + std::to_string(h.local);
    m_j.String(m_tmp);
    for (uint32_t c = h.firstComp; c < h.endComp; ++c)
      m_j.String(CompPath(c));
    m_j.EndArray();
    m_j.EndObject();
    ++m_s.groups;
  }
  m_j.EndArray();
}

namespace {

Stats Write(const Options& options, std::ostream& out) {
  std::string problem = CheckOptions(options);
  if (!problem.empty()) throw std::invalid_argument(problem);
  Design design = BuildDesign(options);
  Sink sink(out);
  return Emitter(design, sink).Run();
}

}  // namespace

std::string CheckOptions(const Options& options) {
  if (options.blocks < kMinBlocks || options.blocks > kMaxBlocks)
    return "the block count must be from " + std::to_string(kMinBlocks) + " to " +
           std::to_string(kMaxBlocks) + ", not " + std::to_string(options.blocks);
  return {};
}

Stats WriteDesign(const Options& options, std::ostream& out) {
  return Write(options, out);
}

}  // namespace NcdGen
