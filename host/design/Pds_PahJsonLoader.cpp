// The design loader: the file's top level, device, nets, shapes,
// relocation groups and test hooks, and the reading helpers.
#include "Pds_PahJsonLoader.h"

#include <limits>

#include "PM_PIC.h"
#include "Pds_Exception.h"

namespace {
using A = Xdm_Access;
using S = Pds_PahJsonLoader;
}  // namespace

void S::PendingList::Add(std::uint32_t id, std::uint32_t which, std::string_view name,
                         std::uint64_t offset) {
  items.push_back({id, which, static_cast<std::uint32_t>(names.size()),
                   static_cast<std::uint32_t>(name.size()), offset});
  names.append(name);
}

S::Pds_PahJsonLoader(const std::string& fileName, Pds_PahJsonReader::StopTest stop,
                     Pds_PahLoadProgress::Entry* progress)
    : m_in(fileName, stop, progress),
      m_store(std::make_unique<Xdm_ViewStore>()),
      m_net(std::make_unique<NetCtx>()) {
  m_store->m_device = A::NewDevice("");
  m_device = &A::Data(*m_store->m_device);
}

S::~Pds_PahJsonLoader() = default;

// ---- reading helpers

std::string_view S::ReadName(const char* label) {
  const std::string_view name = m_in.ReadString(label);
  if (name.empty()) m_in.Fail(m_in.ValueOffset(), std::string(label) + " must not be empty");
  return name;
}

void S::ReadNamed(const char* label, Named& into) {
  into.text = ReadName(label);
  into.offset = m_in.ValueOffset();
  into.present = true;
}

int S::ReadChoice(const char* label, std::initializer_list<std::string_view> choices) {
  const std::string_view value = m_in.ReadString(label);
  int index = 0;
  for (std::string_view choice : choices) {
    if (choice == value) return index;
    ++index;
  }
  std::string list;
  for (std::string_view choice : choices)
    list += (list.empty() ? "" : ", ") + std::string(choice);
  m_in.Fail(m_in.ValueOffset(),
            std::string(label) + " must be one of " + list + " (got " + Quote(value) + ")");
}

std::int32_t S::ReadInt32(const char* label) {
  return static_cast<std::int32_t>(m_in.ReadInt(label, std::numeric_limits<std::int32_t>::min(),
                                                std::numeric_limits<std::int32_t>::max()));
}

// An object of strings into the pair pool; names must be distinct.
Xdm_Slice S::ReadStringMap(const char* label, const char* kind) {
  Xdm_Slice slice{static_cast<std::uint32_t>(m_store->m_pairs.size()), 0};
  m_scratch.Clear();
  m_in.BeginObject(label);
  while (m_in.NextMember()) {
    const std::uint64_t at = m_in.KeyOffset();
    const char* name = m_store->m_strings.Copy(m_in.Key());
    if (name[0] == '\0') m_in.Fail(at, std::string("empty name in ") + kind);
    if (!m_scratch.Insert(name, const_cast<char*>(name))) {
      m_in.Fail(at, "duplicate name " + Quote(name) + " in " + kind);
    }
    const char* value =
        m_store->m_strings.Copy(m_in.ReadString("each value of an object of strings"));
    m_store->m_pairs.emplace_back(name, value);
    ++slice.count;
  }
  return slice;
}

// An array of names into the pair pool (names only).
Xdm_Slice S::ReadNameList(const char* label, std::uint64_t& start) {
  Xdm_Slice slice{static_cast<std::uint32_t>(m_store->m_pairs.size()), 0};
  start = ForEach(label, [&] {
    m_store->m_pairs.emplace_back(m_store->m_strings.Copy(ReadName(label)), nullptr);
    ++slice.count;
  });
  return slice;
}

void S::ReadPaths(const char* label, std::vector<Named>& into) {
  ForEach(label, [&] {
    Named& path = into.emplace_back();
    path.text = m_in.ReadString(label);
    path.offset = m_in.ValueOffset();
    path.present = true;
  });
}

std::string_view S::Copy(std::string_view text) {
  return {m_store->m_strings.Copy(text), text.size()};
}

std::string_view S::Intern(std::string_view name) {
  if (void* known = m_pinNames.Find(name)) return {static_cast<const char*>(known), name.size()};
  const std::string_view copy = Copy(name);
  m_pinNames.Insert(copy, const_cast<char*>(copy.data()));
  return copy;
}

Pds_PdlBlock* S::TypeBlock(std::string_view name) {
  if (void* known = m_typeNames.Find(name)) return static_cast<Pds_PdlBlock*>(known);
  auto& types = m_store->m_typeBlocks;
  types.push_back(std::make_unique<Pds_PdlBlock>(m_store->m_strings.Copy(name)));
  m_typeNames.Insert(types.back()->GetTypeName(), types.back().get());
  return types.back().get();
}

// ---- the top level

std::unique_ptr<Xdm_ViewStore> S::Load() {
  static constexpr Rule<RootCtx> kRules[] = {
      {"format", true,
       [](S& s, RootCtx&) {
         const std::string_view format = s.m_in.ReadString("'format'");
         if (format != "ncd-json") {
           s.m_in.Fail(s.m_in.ValueOffset(),
                       "unsupported format " + Quote(format) + " (this reader knows 'ncd-json')");
         }
       }},
      {"version", true,
       [](S& s, RootCtx&) {
         std::int64_t version = 0;
         if (!s.m_in.ReadInteger("'version'", version) || version != 1) {
           s.m_in.Fail(s.m_in.ValueOffset(),
                       "unsupported version " + s.m_in.ValueText() + " (this reader knows 1)");
         }
       }},
      {"part", true, [](S& s, RootCtx&) { s.m_store->m_partName = s.ReadName("'part'"); }},
      {"design", false, [](S& s, RootCtx&) { s.ReadDesignInfo(); }},
      {"device", false, [](S& s, RootCtx&) { s.ReadDevice(); }},
      {"nets", false,
       [](S& s, RootCtx&) {
         s.ReserveNets();
         s.ForEach("'nets'", [&] { s.ReadNet(); });
         s.ResolveDeferred();
         s.m_netsRead = true;
         s.ResolveWaitingNets();
       }},
      {"top", true, [](S& s, RootCtx&) { s.ReadBlock(nullptr, 0); }},
      {"shapes", false, [](S& s, RootCtx&) { s.ForEach("'shapes'", [&] { s.ReadShape(); }); }},
      {"relocation", false,
       [](S& s, RootCtx&) { s.ForEach("'relocation'", [&] { s.ReadGroup(); }); }},
      {"faults", false, [](S& s, RootCtx&) { s.ReadFaults(); }},
  };
  if (m_in.FileSize() == 0) m_in.Fail(0, "the file is empty");
  m_in.RefuseByteOrderMark();
  RootCtx root;
  StartSplitScan(false);
  try {
    ReadMembers(kRules, root, "a design file", "the design file");
    ResolveDeferred();
    m_in.ExpectEnd();
    m_in.ExpectUnchanged();
    if (m_faults.noDevice && m_deviceRead) {
      m_in.Fail(m_noDeviceOffset, "'no_device' in a design file with a 'device'");
    }
  } catch (const Pds_Exception&) {
    // A deferred reference to an unknown name lies before the fault found
    // since: it is the one to report.
    ResolveDeferred();
    throw;
  }
  m_split.reset();  // a part never reached is given up
  Finish();
  return std::move(m_store);
}

void S::ReadDesignInfo() {
  struct Ctx {
    std::string name, tool;
  };
  static constexpr Rule<Ctx> kRules[] = {
      {"name", false, [](S& s, Ctx& c) { c.name = s.m_in.ReadString("'name'"); }},
      {"tool", false, [](S& s, Ctx& c) { c.tool = s.m_in.ReadString("'tool'"); }},
  };
  Ctx ctx;
  ReadMembers(kRules, ctx, "'design'", "'design'");
  m_store->m_designInfo = std::make_unique<Xdm_DesignInfo>(ctx.name, ctx.tool);
}

void S::ReadFaults() {
  static constexpr Rule<RootCtx> kRules[] = {
      {"throw", false,
       [](S& s, RootCtx&) {
         s.m_faults.kind = static_cast<Pds_PahFaults::Kind>(
             1 + s.ReadChoice("'throw'", {"pds", "xcad", "xdm", "other"}));
       }},
      {"message", false,
       [](S& s, RootCtx&) { s.m_faults.message = s.m_in.ReadString("'message'"); }},
      {"load_delay_ms", false,
       [](S& s, RootCtx&) { s.m_faults.delayMs = s.m_in.ReadInt("'load_delay_ms'", 0, 600000); }},
      {"no_device", false,
       [](S& s, RootCtx&) {
         s.m_faults.noDevice = s.m_in.ReadBool("'no_device'");
         s.m_noDeviceOffset = s.m_in.ValueOffset();
       }},
      {"shapes_unavailable", false,
       [](S& s, RootCtx&) {
         s.m_faults.shapesUnavailable = s.m_in.ReadBool("'shapes_unavailable'");
       }},
      {"spare_ids", false, [](S& s, RootCtx&) { s.ReadSpareIds(); }},
  };
  RootCtx ctx;
  ReadMembers(kRules, ctx, "'faults'", "'faults'");
}

void S::ReadSpareIds() {
  using F = Pds_PahFaults;
  static constexpr auto kRead = [](S& s, F::Ids kind, const char* label) {
    s.m_faults.spareIds[kind] = static_cast<std::uint32_t>(s.m_in.ReadInt(label, 0, kMaxSpareIds));
  };
  static constexpr Rule<RootCtx> kRules[] = {
      {"blocks", false, [](S& s, RootCtx&) { kRead(s, F::kBlocks, "'blocks'"); }},
      {"networks", false, [](S& s, RootCtx&) { kRead(s, F::kNetworks, "'networks'"); }},
      {"pins", false, [](S& s, RootCtx&) { kRead(s, F::kPins, "'pins'"); }},
      {"signals", false, [](S& s, RootCtx&) { kRead(s, F::kSignals, "'signals'"); }},
      {"shapes", false, [](S& s, RootCtx&) { kRead(s, F::kShapes, "'shapes'"); }},
  };
  RootCtx ctx;
  ReadMembers(kRules, ctx, "'spare_ids'", "'spare_ids'");
}

// ---- device

void S::ReadDevice() {
  static constexpr Rule<DeviceCtx> kRules[] = {
      {"clock_regions", false,
       [](S& s, DeviceCtx&) {
         s.ForEach("'clock_regions'", [&] {
           const std::string_view name = s.ReadName("each element of 'clock_regions'");
           if (!s.m_device->AddRegion(name)) {
             s.m_in.Fail(s.m_in.ValueOffset(), "duplicate clock region name " + Quote(name));
           }
         });
       }},
      {"cell_types", false,
       [](S& s, DeviceCtx&) { s.ForEach("'cell_types'", [&] { s.ReadCellType(); }); }},
      {"cells", false, [](S& s, DeviceCtx& c) { s.ForEach("'cells'", [&] { s.ReadCell(c); }); }},
      {"clock_region_bounds", false,
       [](S& s, DeviceCtx& c) {
         s.ForEach("'clock_region_bounds'", [&] { s.ReadRegionBounds(c); });
       }},
  };
  DeviceCtx ctx;
  ReadMembers(kRules, ctx, "'device'", "'device'");
  ResolveCells(ctx.waiting);
  ApplyRegionBounds(ctx);
  m_deviceRead = true;
  ResolveWaitingSites();
}

std::uint64_t S::ReadModeDefs(const char* label, std::vector<ModeDefCtx>& into) {
  static constexpr Rule<ModeDefCtx> kRules[] = {
      {"name", true, [](S& s, ModeDefCtx& c) { s.ReadNamed("'name'", c.name); }},
      {"string", false, [](S& s, ModeDefCtx& c) { c.isString = s.m_in.ReadBool("'string'"); }},
      {"hidden", false, [](S& s, ModeDefCtx& c) { c.hidden = s.m_in.ReadBool("'hidden'"); }},
      {"valid", false, [](S& s, ModeDefCtx& c) { c.valid = s.m_in.ReadBool("'valid'"); }},
  };
  const std::string each = std::string("each element of ") + label;
  return ForEach(
      label, [&] { ReadMembers(kRules, into.emplace_back(), each.c_str(), "mode definition"); });
}

void S::AddModeDefs(Rf_UsageDef& usage, const std::vector<ModeDefCtx>& modes,
                    Xdm_StringArena& strings, const std::string& owner) {
  auto& list = A::Modes(usage);
  for (const ModeDefCtx& mode : modes) {
    if (usage.GetModeDef(mode.name.text.c_str()).GetName()[0] != '\0') {
      m_in.Fail(mode.name.offset, "duplicate mode name " + Quote(mode.name.text) + " in " + owner);
    }
    list.push_back(
        A::MakeModeDef(strings.Copy(mode.name.text), mode.valid, mode.hidden, mode.isString));
  }
}

void S::ReadCellType() {
  static constexpr Rule<CellTypeCtx> kRules[] = {
      {"name", true, [](S& s, CellTypeCtx& c) { s.ReadNamed("'name'", c.name); }},
      {"modes", false, [](S& s, CellTypeCtx& c) { s.ReadModeDefs("'modes'", c.modes); }},
  };
  CellTypeCtx ctx;
  ReadMembers(kRules, ctx, "each element of 'cell_types'", "cell type");
  Rf_CellDef* def = m_device->AddDef(ctx.name.text);
  if (def == nullptr) {
    m_in.Fail(ctx.name.offset, "duplicate cell type name " + Quote(ctx.name.text));
  }
  AddModeDefs(*def->GetUsageDef(), ctx.modes, m_device->strings,
              "cell type " + Quote(ctx.name.text));
}

// Grid coordinates and bounds: a device is far smaller than this.
constexpr std::int64_t kMaxGrid = 65535;

void S::ReadCell(DeviceCtx& device) {
  static constexpr Rule<CellCtx> kRules[] = {
      {"name", true, [](S& s, CellCtx& c) { s.ReadNamed("'name'", c.name); }},
      {"type", true, [](S& s, CellCtx& c) { s.ReadNamed("'type'", c.type); }},
      {"clock_region", false, [](S& s, CellCtx& c) { s.ReadNamed("'clock_region'", c.region); }},
      {"clock_region_text", false,
       [](S& s, CellCtx& c) {
         c.regionText.text = s.m_in.ReadString("'clock_region_text'");
         c.regionText.present = true;
       }},
      {"x", false,
       [](S& s, CellCtx& c) {
         c.x = s.m_in.ReadInt("'x'", 0, kMaxGrid);
         c.xOffset = s.m_in.ValueOffset();
       }},
      {"y", false,
       [](S& s, CellCtx& c) {
         c.y = s.m_in.ReadInt("'y'", 0, kMaxGrid);
         c.yOffset = s.m_in.ValueOffset();
       }},
      {"tile", false, [](S& s, CellCtx& c) { s.ReadNamed("'tile'", c.tile); }},
      {"package_pin", false, [](S& s, CellCtx& c) { s.ReadNamed("'package_pin'", c.packagePin); }},
      {"bank", false, [](S& s, CellCtx& c) { s.ReadNamed("'bank'", c.bank); }},
  };
  CellCtx& c = device.cell;
  c.region.present = c.regionText.present = false;
  c.tile.present = c.packagePin.present = c.bank.present = false;
  c.x = c.y = -1;
  ReadMembers(kRules, c, "each element of 'cells'", "cell");
  if ((c.x < 0) != (c.y < 0)) {
    m_in.Fail(c.x < 0 ? c.yOffset : c.xOffset, "a cell's 'x' and 'y' come together");
  }
  Rf_CellData* cell = m_device->AddCell(c.name.text);
  if (cell == nullptr) m_in.Fail(c.name.offset, "duplicate cell name " + Quote(c.name.text));
  cell->def = static_cast<Rf_CellDef*>(m_device->defIndex.Find(c.type.text));
  if (cell->def == nullptr) device.waiting.Add(cell->index, 0, c.type.text, c.type.offset);
  if (c.regionText.present) cell->regionText = m_device->strings.Copy(c.regionText.text);
  cell->x = static_cast<std::int32_t>(c.x);
  cell->y = static_cast<std::int32_t>(c.y);
  auto copy = [&](const Named& named) {
    return named.present ? m_device->strings.Copy(named.text) : nullptr;
  };
  cell->tile = copy(c.tile);
  cell->packagePin = copy(c.packagePin);
  cell->bank = copy(c.bank);
  if (!c.region.present) return;
  cell->region = static_cast<Rf_ClockRegion*>(m_device->regionIndex.Find(c.region.text));
  if (cell->region == nullptr) device.waiting.Add(cell->index, 1, c.region.text, c.region.offset);
}

void S::ReadRegionBounds(DeviceCtx& device) {
  using B = DeviceCtx::Bounds;
  static constexpr const char* kCorners[] = {"'x_min'", "'y_min'", "'x_max'", "'y_max'"};
  static constexpr Rule<B> kRules[] = {
      {"name", true, [](S& s, B& b) { s.ReadNamed("'name'", b.region); }},
      {"x_min", true, [](S& s, B& b) { b.corner[0] = s.m_in.ReadInt(kCorners[0], 0, kMaxGrid); }},
      {"y_min", true, [](S& s, B& b) { b.corner[1] = s.m_in.ReadInt(kCorners[1], 0, kMaxGrid); }},
      {"x_max", true, [](S& s, B& b) { b.corner[2] = s.m_in.ReadInt(kCorners[2], 0, kMaxGrid); }},
      {"y_max", true, [](S& s, B& b) { b.corner[3] = s.m_in.ReadInt(kCorners[3], 0, kMaxGrid); }},
  };
  B& bounds = device.bounds.emplace_back();
  ReadMembers(kRules, bounds, "each element of 'clock_region_bounds'", "clock region bounds");
  if (bounds.corner[0] > bounds.corner[2] || bounds.corner[1] > bounds.corner[3]) {
    m_in.Fail(bounds.region.offset,
              "the bounds of clock region " + Quote(bounds.region.text) + " are empty");
  }
}

// Every region is declared once the device object has been read.
void S::ApplyRegionBounds(const DeviceCtx& device) {
  for (const DeviceCtx::Bounds& b : device.bounds) {
    auto* region = static_cast<Rf_ClockRegion*>(m_device->regionIndex.Find(b.region.text));
    if (region == nullptr)
      m_in.Fail(b.region.offset, "unknown clock region " + Quote(b.region.text));
    if (!A::SetBounds(
            *region,
            {static_cast<std::int32_t>(b.corner[0]), static_cast<std::int32_t>(b.corner[1]),
             static_cast<std::int32_t>(b.corner[2]), static_cast<std::int32_t>(b.corner[3])})) {
      m_in.Fail(b.region.offset, "clock region " + Quote(b.region.text) + " has bounds twice");
    }
  }
}

template <class Fn>
void S::ResolveWaiting(PendingList& waiting, Fn resolve) {
  for (std::size_t i = 0; i < waiting.items.size(); ++i) {
    Poll(i);
    resolve(waiting.items[i], waiting.NameOf(waiting.items[i]));
  }
  waiting.Clear();
}

// Signals that named nets before the nets were read.
void S::ResolveWaitingNets() {
  ResolveWaiting(m_waitingNets, [&](const Pending& p, std::string_view name) {
    ResolveSignalNet(p.id, name, p.offset, false);
  });
}

// Blocks that named cells before the device was read.
void S::ResolveWaitingSites() {
  ResolveWaiting(m_waitingSites, [&](const Pending& p, std::string_view name) {
    PlaceBlock(*m_store->m_blocks.At(p.id), name, p.offset, false);
  });
}

// Cell types and clock regions may follow the cells that name them.
void S::ResolveCells(const PendingList& waiting) {
  for (std::size_t i = 0; i < waiting.items.size(); ++i) {
    Poll(i);
    const Pending& p = waiting.items[i];
    Rf_CellData& cell = *m_device->cells.At(p.id);
    const std::string name(waiting.NameOf(p));
    if (p.which == 0) {
      cell.def = static_cast<Rf_CellDef*>(m_device->defIndex.Find(name));
      if (cell.def == nullptr) m_in.Fail(p.offset, "unknown cell type " + Quote(name));
    } else {
      cell.region = static_cast<Rf_ClockRegion*>(m_device->regionIndex.Find(name));
      if (cell.region == nullptr) m_in.Fail(p.offset, "unknown clock region " + Quote(name));
    }
  }
}

// ---- nets

const S::Rule<S::NetCtx> S::kNetRules[] = {
    {"name", true, [](S& s, NetCtx& c) { s.ReadNamed("'name'", c.name); }},
    {"type", false,
     [](S& s, NetCtx& c) {
       static constexpr std::uint8_t kTypes[] = {2, 1, 0};
       c.type = kTypes[s.ReadChoice("'type'", {"logic", "power", "ground"})];
     }},
    {"master", false,
     [](S& s, NetCtx& c) {
       c.master = s.m_in.ReadBool("'master'");
       c.masterOffset = s.m_in.ValueOffset();
     }},
    {"routable", false,
     [](S& s, NetCtx& c) {
       c.routable = s.m_in.ReadBool("'routable'");
       c.routableSet = true;
     }},
    {"route", false,
     [](S& s, NetCtx& c) {
       c.route =
           static_cast<std::uint8_t>(1 + s.ReadChoice("'route'", {"full", "partial", "unrouted"}));
     }},
    {"delay", false,
     [](S& s, NetCtx& c) {
       c.delay = s.ReadInt32("'delay'");
       c.delaySet = true;
     }},
    {"delay_min", false, [](S& s, NetCtx& c) { c.delayMin = s.ReadInt32("'delay_min'"); }},
    {"delay_type", false,
     [](S& s, NetCtx& c) {
       c.delayType = static_cast<std::uint8_t>(s.m_in.ReadInt("'delay_type'", 0, 2));
       c.delayTypeSet = true;
     }},
};

void S::ReadNet() {
  NetCtx& c = *m_net;
  c = NetCtx();
  ReadMembers(kNetRules, c, "each element of 'nets'", "net");

  XCad_CadNetwork* net = m_store->m_networks.Create();
  Xdm_NetworkFields& f = A::F(*net);
  f.store = m_store.get();
  f.bridgeId = static_cast<std::uint32_t>(m_store->m_networks.Size() - 1);
  m_netSignals.push_back(0);
  const std::string_view name = Copy(c.name.text);
  A::SetName(*net, name.data());
  Defer(Deferred::kNetName, f.bridgeId, nullptr, m_netIndex.Names(), name, c.name.offset);
  f.type = c.type;
  f.master = c.master;
  f.routable = c.routableSet ? c.routable : c.type == Pds_PdmNetwork::NET_TYPE_LOGIC;
  f.route = c.route;
  f.delay = c.delay;
  f.delayMin = c.delayMin;
  f.delayType = c.delayTypeSet ? c.delayType : (c.delaySet ? 0 : 2);
  if (!c.master) return;
  if (c.type == Pds_PdmNetwork::NET_TYPE_LOGIC) {
    m_in.Fail(c.masterOffset, "'master' applies to power and ground nets only");
  }
  Xdm_Network*& master =
      c.type == Pds_PdmNetwork::NET_TYPE_POWER ? m_store->m_masterVcc : m_store->m_masterGnd;
  if (master != nullptr) {
    m_in.Fail(c.masterOffset, std::string("a second master ") + (c.type == 1 ? "power" : "ground") +
                                  " net " + Quote(c.name.text) + " (the first is " +
                                  Quote(master->GetName()) + ")");
  }
  master = net;
}

// ---- shapes and relocation groups

void S::ReadShape() {
  static constexpr Rule<ShapeCtx> kRules[] = {
      {"name", true, [](S& s, ShapeCtx& c) { s.ReadNamed("'name'", c.name); }},
      {"user", false, [](S& s, ShapeCtx& c) { c.user = s.m_in.ReadBool("'user'"); }},
      {"reference", false,
       [](S& s, ShapeCtx& c) {
         c.reference.text = s.m_in.ReadString("'reference'");
         c.reference.offset = s.m_in.ValueOffset();
         c.reference.present = true;
       }},
      {"members", false, [](S& s, ShapeCtx& c) { s.ReadPaths("'members'", c.members); }},
      {"members_unavailable", false,
       [](S& s, ShapeCtx& c) { c.unavailable = s.m_in.ReadBool("'members_unavailable'"); }},
  };
  ShapeCtx c;
  ReadMembers(kRules, c, "each element of 'shapes'", "shape");
  Xdm_PropertyHolder* holder = m_store->m_holders.Create();
  Xdm_PropertyHolderFields& f = A::F(*holder);
  A::SetName(*holder, m_store->m_strings.Copy(c.name.text));
  if (!m_shapeNames.Insert(holder->GetName(), holder)) {
    m_in.Fail(c.name.offset, "duplicate shape name " + Quote(c.name.text));
  }
  f.store = m_store.get();
  f.bridgeId = static_cast<std::uint32_t>(m_store->m_holderTable.size());
  f.user = c.user;
  f.membersUnavailable = c.unavailable;
  f.members.resize(c.members.size());
  m_store->m_holderTable.push_back(holder);
  m_store->m_shapeList.push_back(holder);
  if (c.reference.present) m_paths.push_back({c.reference, &f.reference, nullptr});
  for (std::size_t i = 0; i < c.members.size(); ++i) {
    m_paths.push_back({c.members[i], &f.members[i], nullptr});
  }
}

void S::ReadGroup() {
  static constexpr Rule<GroupCtx> kRules[] = {
      {"reference", false,
       [](S& s, GroupCtx& c) {
         c.reference.text = s.m_in.ReadString("'reference'");
         c.reference.offset = s.m_in.ValueOffset();
         c.reference.present = true;
       }},
      {"members", false, [](S& s, GroupCtx& c) { s.ReadPaths("'members'", c.members); }},
  };
  GroupCtx c;
  ReadMembers(kRules, c, "each element of 'relocation'", "relocation group");
  XCad_RhoNode* node = m_store->m_rhoNodes.Create();
  if (c.reference.present) m_paths.push_back({c.reference, &A::Reference(*node), nullptr});
  for (const Named& member : c.members)
    m_paths.push_back({member, nullptr, node});
}
