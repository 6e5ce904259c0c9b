// Writes a view store as a snapshot (Pds_PahSnapshotFormat.h): one pass
// over the store, streamed to a new file through a buffer, the directory
// last; then the file is summed and renamed into place.
#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>

#include "PM_PIC.h"
#include "Pds_PahSnapshot.h"
#include "Pds_PahSnapshotFormat.h"
#include "Pds_Pdl.h"
#include "Xdm_ViewStore.h"

namespace snap = Pds_PahSnap;
using A = Xdm_Access;

namespace {

// A snapshot that cannot be written: the writer gives up and removes it.
struct Unwritable {};

// The file being written, through a buffer.
class Output {
 public:
  explicit Output(int fd) : m_fd(fd) { m_buffer.reserve(kBuffer); }
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  void Append(const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
      const std::size_t n = std::min(size, kBuffer - m_buffer.size());
      m_buffer.insert(m_buffer.end(), bytes, bytes + n);
      bytes += n;
      size -= n;
      if (m_buffer.size() == kBuffer) Flush();
    }
  }
  template <class T>
  void Put(const T& record) {
    Append(&record, sizeof record);
  }
  void Align() {
    static const char zeros[8] = {};
    Append(zeros, (8 - Offset() % 8) % 8);
  }
  std::uint64_t Offset() const { return m_written + m_buffer.size(); }
  // Writes the rest.
  void Finish() { Flush(); }

 private:
  static constexpr std::size_t kBuffer = std::size_t{1} << 20;
  void Flush() {
    const char* p = m_buffer.data();
    std::size_t left = m_buffer.size();
    while (left > 0) {
      const ssize_t n = ::write(m_fd, p, left);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) throw Unwritable{};
      p += n;
      left -= static_cast<std::size_t>(n);
    }
    m_written += m_buffer.size();
    m_buffer.clear();
  }
  int m_fd;
  std::vector<char> m_buffer;
  std::uint64_t m_written = 0;
};

// Texts by address: the store's and the device's string arenas (and the
// texts of the snapshot a store was rebuilt from) are written whole, in
// order; any other text (literals, texts kept in std::string) is appended
// after them once per address. So a store rebuilt from a snapshot writes
// the same snapshot again, byte for byte.
class Texts {
 public:
  void AddArena(const Xdm_StringArena& arena) {
    arena.ForEachChunk([&](const char* first, std::size_t used) { AddChunk(first, used); });
  }
  void AddChunk(const char* first, std::size_t used) {
    if (used == 0) return;
    m_chunks.push_back({first, used, m_arenaBytes});
    m_arenaBytes += used;
  }
  std::uint64_t ArenaBytes() const { return m_arenaBytes; }
  void Sort() {
    m_order = m_chunks;
    std::sort(m_order.begin(), m_order.end(),
              [](const Chunk& a, const Chunk& b) { return a.first < b.first; });
  }
  std::uint32_t Of(const char* text) {
    if (text == nullptr) return snap::kNone;
    const std::uint64_t offset = Find(text);
    if (offset >= snap::kNone) throw Unwritable{};
    return static_cast<std::uint32_t>(offset);
  }
  std::uint32_t Of(const std::string& text) { return Of(text.c_str()); }
  // A text that lives only for this call: copied, never found by address.
  std::uint32_t Copy(const char* text) {
    const std::uint64_t offset = m_arenaBytes + m_extra.size();
    if (offset >= snap::kNone) throw Unwritable{};
    m_extra.append(text, std::strlen(text) + 1);
    return static_cast<std::uint32_t>(offset);
  }
  // Writes the section's bytes; answers how many.
  std::uint64_t Write(Output& out) const {
    for (const Chunk& chunk : m_chunks)
      out.Append(chunk.first, chunk.used);
    out.Append(m_extra.data(), m_extra.size());
    return m_arenaBytes + m_extra.size();
  }

 private:
  struct Chunk {
    const char* first;
    std::size_t used;
    std::uint64_t offset;  // in the section
  };
  std::uint64_t Find(const char* text) {
    const std::less<const char*> before;
    if (m_last && !before(text, m_last->first) && before(text, m_last->first + m_last->used))
      return m_last->offset + static_cast<std::uint64_t>(text - m_last->first);
    auto it = std::upper_bound(m_order.begin(), m_order.end(), text,
                               [&](const char* t, const Chunk& c) { return before(t, c.first); });
    if (it != m_order.begin()) {
      const Chunk& chunk = *std::prev(it);
      if (before(text, chunk.first + chunk.used)) {
        m_last = &chunk;
        return chunk.offset + static_cast<std::uint64_t>(text - chunk.first);
      }
    }
    auto [slot, added] = m_others.try_emplace(text, m_arenaBytes + m_extra.size());
    if (added) m_extra.append(text, std::strlen(text) + 1);
    return slot->second;
  }
  std::vector<Chunk> m_chunks;  // in arena order: the section's order
  std::vector<Chunk> m_order;   // by address
  const Chunk* m_last = nullptr;
  std::uint64_t m_arenaBytes = 0;
  std::string m_extra;
  // A few texts (literals, a part name): a tree, which unlike the
  // library's hash table keeps nothing when an insertion runs out of memory.
  std::map<const char*, std::uint64_t, std::less<>> m_others;
};

// Index of each object of an arena (or list) by address.
template <class T>
class Indexes {
 public:
  template <class Each>
  explicit Indexes(std::size_t count, Each at) {
    m_sorted.reserve(count);
    for (std::size_t i = 0; i < count; ++i)
      m_sorted.emplace_back(at(i), static_cast<std::uint32_t>(i));
    std::sort(m_sorted.begin(), m_sorted.end());
  }
  std::uint32_t Of(const T* object) const {
    if (object == nullptr) return snap::kNone;
    auto it = std::lower_bound(m_sorted.begin(), m_sorted.end(),
                               std::pair<const T*, std::uint32_t>(object, 0));
    if (it == m_sorted.end() || it->first != object) throw Unwritable{};
    return it->second;
  }

 private:
  std::vector<std::pair<const T*, std::uint32_t>> m_sorted;
};

template <class T>
Indexes<T> ArenaIndexes(const Xdm_ObjectArena<T>& arena) {
  return Indexes<T>(arena.Size(), [&](std::size_t i) { return arena.At(i); });
}
template <class T>
Indexes<T> ListIndexes(const std::vector<std::unique_ptr<T>>& list) {
  return Indexes<T>(list.size(), [&](std::size_t i) { return list[i].get(); });
}

snap::Slice SliceOf(Xdm_Slice s) {
  return {s.first, s.count};
}

template <class T>
std::uint32_t IdOf(const T* object) {
  return object ? Xdm_BridgeId::GetBridgeId(object) : snap::kNone;
}

class Writer {
 public:
  Writer(const Xdm_ViewStore& store, Output& out) : s(store), m_out(out) {}

  void Run(const Pds_PahSourceStamp& source);

 private:
  template <class Each>
  void Section(snap::Section id, std::uint32_t recordSize, Each write) {
    m_out.Align();
    const std::uint64_t offset = m_out.Offset();
    const std::uint64_t count = write();
    m_directory[id] = {offset, count, recordSize, 0};
  }
  template <class T, class Make>
  void Records(snap::Section id, std::size_t count, Make make) {
    Section(id, sizeof(T), [&] {
      for (std::size_t i = 0; i < count; ++i)
        m_out.Put<T>(make(i));
      return count;
    });
  }
  template <class T>
  void Ids(snap::Section id, const std::vector<T*>& list) {
    Records<std::uint32_t>(id, list.size(), [&](std::size_t i) { return IdOf(list[i]); });
  }
  void Ids(snap::Section id, const Xdm_IdPool& pool) {
    Records<std::uint32_t>(id, pool.size(), [&](std::size_t i) { return pool[i]; });
  }
  // Every object must sit in its table's slot: a store an editor changed
  // may not, and is not written.
  template <class T, class Base>
  void CheckTable(const Xdm_ObjectArena<T>& arena, const std::vector<Base*>& table) {
    for (std::size_t i = 0; i < arena.Size(); ++i) {
      const std::uint32_t id = Xdm_BridgeId::GetBridgeId(arena.At(i));
      if (id >= table.size() || table[id] != arena.At(i)) throw Unwritable{};
    }
  }
  // Pins and signals are found from their arenas: the i-th has id i.
  template <class T, class Base>
  void CheckTable(const Xdm_ObjectArena<T>& arena, const Xdm_ObjectIndex<Base>& table) {
    if (table.Objects() != arena.Size()) throw Unwritable{};
    for (std::size_t i = 0; i < arena.Size(); ++i) {
      if (table[i] != arena.At(i)) throw Unwritable{};
    }
  }
  void CheckStore();
  void WriteObjects();
  void WriteParts();
  void WriteDevice(snap::Misc& misc);
  void AddDef(const Rf_CellDef& def);

  const Xdm_ViewStore& s;
  Output& m_out;
  Texts m_texts;
  snap::SectionEntry m_directory[snap::kSectionCount] = {};
  std::vector<snap::ModeDef> m_modes;
  std::vector<snap::CellDef> m_defs;
};

void Writer::CheckStore() {
  CheckTable(s.m_blocks, s.m_blockTable);
  CheckTable(s.m_pins, s.m_pinTable);
  CheckTable(s.m_signals, s.m_signalTable);
  CheckTable(s.m_networks, s.m_networkTable);
  CheckTable(s.m_holders, s.m_holderTable);
  // Only freshly read stores: every table slot is an object's or spare.
  if (s.m_blocks.Size() > s.m_blockTable.size() || s.m_blockSignalPool.size() != 0 ||
      s.m_signalNetworkIds.size() != s.m_signalTable.size()) {
    throw Unwritable{};
  }
  const Rf_DeviceData* device = s.m_device ? &A::Data(*s.m_device) : nullptr;
  if (device) {
    for (std::size_t i = 0; i < device->regions.size(); ++i) {
      if (device->regionList[i] != device->regions[i].get() || device->regions[i]->GetIndex() != i)
        throw Unwritable{};
    }
    for (std::size_t i = 0; i < device->defs.size(); ++i) {
      if (device->defList[i] != device->defs[i].get()) throw Unwritable{};
    }
    if (device->cellList.size() != device->cells.Size()) throw Unwritable{};
    for (std::size_t i = 0; i < device->cellList.size(); ++i) {
      if (i >= device->cells.Size() || !(device->cellList[i] == Rf_Cell(device->cells.At(i))) ||
          device->cellList[i].GetIndex() != i)
        throw Unwritable{};
    }
  }
}

void Writer::AddDef(const Rf_CellDef& def) {
  const auto first = static_cast<std::uint32_t>(m_modes.size());
  for (const Rf_UsageDef::ModeDef& mode : def.GetUsageDef()->GetModeDefs()) {
    m_modes.push_back(
        {m_texts.Of(A::RawName(mode)), A::RawValid(mode), mode.IsHidden(), mode.IsString(), 0});
  }
  m_defs.push_back(
      {m_texts.Of(def.GetName()), {first, static_cast<std::uint32_t>(m_modes.size()) - first}});
}

void Writer::WriteDevice(snap::Misc& misc) {
  for (const auto& def : s.m_blockCellDefs)
    AddDef(*def);
  misc.blockCellDefs = static_cast<std::uint32_t>(m_defs.size());
  misc.devicePart = misc.picPart = snap::kNone;
  if (!s.m_device) {
    Records<snap::Region>(snap::kRegions, 0, [](std::size_t) { return snap::Region{}; });
    Records<snap::Cell>(snap::kCells, 0, [](std::size_t) { return snap::Cell{}; });
    return;
  }
  const Rf_DeviceData& d = A::Data(*s.m_device);
  misc.devicePart = m_texts.Of(d.partName);
  if (d.pic) {
    const std::unique_ptr<char[]> part(d.pic->get_partname());  // the caller's to free
    misc.picPart = m_texts.Copy(part.get());
  }
  for (const auto& def : d.defs)
    AddDef(*def);
  Records<snap::Region>(snap::kRegions, d.regions.size(), [&](std::size_t i) {
    const Rf_ClockRegion& region = *d.regions[i];
    snap::Region r{m_texts.Of(region.GetName()), {}, 0, {}};
    Rf_Bounds b;
    r.hasBounds = region.GetBounds(b);
    if (r.hasBounds) {
      r.bounds[0] = b.xMin;
      r.bounds[1] = b.yMin;
      r.bounds[2] = b.xMax;
      r.bounds[3] = b.yMax;
    }
    return r;
  });
  const Indexes<Rf_CellDef> defs = ListIndexes(d.defs);
  const Indexes<Rf_ClockRegion> regions = ListIndexes(d.regions);
  Records<snap::Cell>(snap::kCells, d.cells.Size(), [&](std::size_t i) {
    const Rf_CellData& c = *d.cells.At(i);
    return snap::Cell{m_texts.Of(c.name),
                      defs.Of(c.def),
                      regions.Of(c.region),
                      m_texts.Of(c.regionText),
                      m_texts.Of(c.tile),
                      m_texts.Of(c.packagePin),
                      m_texts.Of(c.bank),
                      c.x,
                      c.y};
  });
}

void Writer::WriteObjects() {
  const Indexes<Pds_PdlBlock> types = ListIndexes(s.m_typeBlocks);
  const Indexes<Xdm_BlockExtra> extras = ArenaIndexes(s.m_extras);
  Records<snap::Block>(snap::kBlocks, s.m_blocks.Size(), [&](std::size_t i) {
    const Xdm_BlockFields& f = A::F(*s.m_blocks.At(i));
    if (f.store != &s) throw Unwritable{};
    return snap::Block{m_texts.Of(s.m_blocks.At(i)->GetName()),
                       m_texts.Of(f.config),
                       IdOf(f.parent),
                       types.Of(f.type),
                       extras.Of(f.extra),
                       SliceOf(f.children),
                       SliceOf(f.signals),
                       SliceOf(f.pins),
                       f.bridgeId,
                       f.site,
                       f.level,
                       f.flags,
                       {}};
  });
  Records<snap::Pin>(snap::kPins, s.m_pins.Size(), [&](std::size_t i) {
    const Xdm_PinFields& f = A::F(*s.m_pins.At(i));
    return snap::Pin{m_texts.Of(s.m_pins.At(i)->GetName()),
                     IdOf(f.block),
                     f.signal,
                     f.childSignal,
                     IdOf(s.m_pins.At(i)),
                     f.delay,
                     f.flags,
                     f.delayType,
                     {}};
  });
  Records<snap::Signal>(snap::kSignals, s.m_signals.Size(), [&](std::size_t i) {
    const Xdm_SignalFields& f = A::F(*s.m_signals.At(i));
    const auto id = static_cast<std::uint32_t>(i);  // CheckStore: the i-th signal has id i
    return snap::Signal{m_texts.Of(s.m_signals.At(i)->GetName()), IdOf(f.block),
                        s.m_signalNetworkIds[id], SliceOf(f.pins), id};
  });
  const Indexes<XCad_RMedRug> rugs = ArenaIndexes(s.m_rugs);
  Records<snap::Network>(snap::kNetworks, s.m_networks.Size(), [&](std::size_t i) {
    const Xdm_NetworkFields& f = A::F(*s.m_networks.At(i));
    if (f.store != &s) throw Unwritable{};
    return snap::Network{m_texts.Of(s.m_networks.At(i)->GetName()),
                         rugs.Of(f.rug),
                         SliceOf(f.signals),
                         f.bridgeId,
                         f.delay,
                         f.delayMin,
                         f.type,
                         f.delayType,
                         f.route,
                         f.master,
                         f.routable,
                         {}};
  });
  std::vector<std::uint32_t> members;
  Records<snap::Shape>(snap::kShapes, s.m_holders.Size(), [&](std::size_t i) {
    const Xdm_PropertyHolderFields& f = A::F(*s.m_holders.At(i));
    if (f.store != &s) throw Unwritable{};
    const auto first = static_cast<std::uint32_t>(members.size());
    for (const Xdm_Block* member : f.members)
      members.push_back(IdOf(member));
    return snap::Shape{m_texts.Of(s.m_holders.At(i)->GetName()),
                       IdOf(f.reference),
                       {first, static_cast<std::uint32_t>(f.members.size())},
                       f.bridgeId,
                       f.user,
                       f.membersUnavailable,
                       {}};
  });
  Records<std::uint32_t>(snap::kShapeMembers, members.size(),
                         [&](std::size_t i) { return members[i]; });
  const Indexes<Xdm_IoData> io = ArenaIndexes(s.m_ioData);
  const Indexes<Rf_CellDef> ownDefs = ListIndexes(s.m_blockCellDefs);
  Records<snap::Extra>(snap::kExtras, s.m_extras.Size(), [&](std::size_t i) {
    Xdm_BlockExtra& e = *s.m_extras.At(i);
    const Xdm_ViewStore* usageStore = A::UsageStore(e.usage);
    if (usageStore != nullptr && usageStore != &s) throw Unwritable{};
    return snap::Extra{e.configSecurity,
                       e.netlistSecurity,
                       SliceOf(A::UsageData(e.usage)),
                       SliceOf(A::UsageInvalid(e.usage)),
                       SliceOf(e.modes),
                       io.Of(e.io),
                       ownDefs.Of(e.cellDef),
                       e.hasUsage,
                       e.hasModes,
                       usageStore != nullptr,
                       0};
  });
  Records<snap::Io>(snap::kIo, s.m_ioData.Size(), [&](std::size_t i) {
    const Xdm_IoData& d = *s.m_ioData.At(i);
    snap::Io r{};
    for (int k = 0; k < 4; ++k)
      r.value[k] = m_texts.Of(d.value[k]);
    r.reject = d.reject;
    r.rejected = d.rejected;
    return r;
  });
}

void Writer::WriteParts() {
  const Indexes<XCad_RMedRugNode> nodes = ArenaIndexes(s.m_rugNodes);
  Records<snap::Rug>(snap::kRugs, s.m_rugs.Size(), [&](std::size_t i) {
    XCad_RMedRug& rug = *s.m_rugs.At(i);
    return snap::Rug{
        IdOf<Xdm_Network>(A::Network(rug)), nodes.Of(A::First(rug)), A::IsFull(rug), {}};
  });
  Records<snap::RugNode>(snap::kRugNodes, s.m_rugNodes.Size(), [&](std::size_t i) {
    XCad_RMedRugNode& node = *s.m_rugNodes.At(i);
    return snap::RugNode{nodes.Of(A::Next(node)), IdOf(A::Driver(node))};
  });
  const Indexes<XCad_RhoNode> rho = ArenaIndexes(s.m_rhoNodes);
  Records<std::uint32_t>(snap::kRhoNodes, s.m_rhoNodes.Size(),
                         [&](std::size_t i) { return IdOf(A::Reference(*s.m_rhoNodes.At(i))); });
  std::vector<snap::RhoEntry> entries;
  for (const auto& [block, node] : s.m_rho)
    entries.push_back({IdOf(block), rho.Of(node)});
  std::sort(entries.begin(), entries.end(),
            [](const snap::RhoEntry& a, const snap::RhoEntry& b) { return a.block < b.block; });
  Records<snap::RhoEntry>(snap::kRho, entries.size(), [&](std::size_t i) { return entries[i]; });
  Records<std::uint32_t>(snap::kTypeBlocks, s.m_typeBlocks.size(), [&](std::size_t i) {
    return m_texts.Of(s.m_typeBlocks[i]->GetTypeName());
  });
  Ids(snap::kChildPool, s.m_childPool);
  Ids(snap::kBlockSignals, s.m_blockSignalPool);
  Ids(snap::kSignalPins, s.m_signalPinPool);
  Ids(snap::kNetSignals, s.m_netSignalPool);
  Records<snap::Pair>(snap::kPairs, s.m_pairs.size(), [&](std::size_t i) {
    return snap::Pair{m_texts.Of(s.m_pairs[i].first), m_texts.Of(s.m_pairs[i].second)};
  });
  Records<std::uint32_t>(snap::kSignalNets, s.m_signalNetworkIds.size(),
                         [&](std::size_t i) { return s.m_signalNetworkIds[i]; });
  Ids(snap::kNetList, s.m_netList);
  Ids(snap::kShapeList, s.m_shapeList);
}

void Writer::Run(const Pds_PahSourceStamp& source) {
  CheckStore();
  m_texts.AddChunk(s.m_snapshotTexts.data(), s.m_snapshotTexts.size());
  m_texts.AddArena(s.m_strings);
  if (s.m_device) m_texts.AddArena(A::Data(*s.m_device).strings);
  m_texts.Sort();
  if (m_texts.ArenaBytes() >= snap::kNone) throw Unwritable{};

  snap::Header header{};
  std::memcpy(header.magic, snap::kMagic, sizeof header.magic);
  header.version = snap::kVersion;
  header.sectionCount = snap::kSectionCount;
  header.sourceSize = source.size;
  header.sourceTimeNs = source.timeNs;
  header.sourceHash = source.hash;
  header.sourceDevice = source.device;
  header.sourceInode = source.inode;
  header.sourceChangeNs = source.changedNs;
  m_out.Put(header);

  snap::Misc misc{};
  misc.partName = m_texts.Of(s.m_partName);
  misc.top = IdOf(s.m_top);
  misc.masterVcc = IdOf(s.m_masterVcc);
  misc.masterGnd = IdOf(s.m_masterGnd);
  const std::size_t tables[5] = {s.m_blockTable.size(), s.m_pinTable.size(), s.m_signalTable.size(),
                                 s.m_networkTable.size(), s.m_holderTable.size()};
  for (int i = 0; i < 5; ++i) {
    if (tables[i] >= snap::kNone) throw Unwritable{};
    misc.tables[i] = static_cast<std::uint32_t>(tables[i]);
  }
  misc.infoName = s.m_designInfo ? m_texts.Of(s.m_designInfo->GetName()) : snap::kNone;
  misc.infoTool = s.m_designInfo ? m_texts.Of(s.m_designInfo->GetTool()) : snap::kNone;
  misc.shapesAvailable = s.m_shapesAvailable;
  misc.arenaTexts = static_cast<std::uint32_t>(m_texts.ArenaBytes());
  WriteDevice(misc);
  WriteObjects();
  WriteParts();
  Records<snap::Misc>(snap::kMisc, 1, [&](std::size_t) { return misc; });
  Records<snap::ModeDef>(snap::kModeDefs, m_modes.size(),
                         [&](std::size_t i) { return m_modes[i]; });
  Records<snap::CellDef>(snap::kCellDefs, m_defs.size(), [&](std::size_t i) { return m_defs[i]; });
  Section(snap::kTexts, 1, [&] { return m_texts.Write(m_out); });
  m_out.Align();
  for (const snap::SectionEntry& entry : m_directory)
    m_out.Put(entry);
}

// The checksum of the file as written (Pds_PahSnap::CombineSums), read
// back through a buffer: mapping it would count the whole file in the
// writer's memory.
bool SumFile(int fd, std::uint64_t size, std::uint64_t& sum) {
  using State = std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)>;
  State halves[2] = {State(XXH3_createState(), &XXH3_freeState),
                     State(XXH3_createState(), &XXH3_freeState)};
  if (!halves[0] || !halves[1]) return false;
  const std::uint64_t skip = offsetof(snap::Header, version);
  if (size < skip) return false;
  const std::uint64_t middle = skip + (size - skip) / 2;
  XXH3_64bits_reset(halves[0].get());
  XXH3_64bits_reset(halves[1].get());
  std::vector<char> buffer(std::size_t{1} << 20);
  for (std::uint64_t at = skip; at < size;) {
    const std::uint64_t end = at < middle ? middle : size;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), end - at));
    const ssize_t got = ::pread(fd, buffer.data(), want, static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return false;
    XXH3_64bits_update(halves[at < middle ? 0 : 1].get(), buffer.data(),
                       static_cast<std::size_t>(got));
    at += static_cast<std::uint64_t>(got);
  }
  sum = snap::CombineSums(XXH3_64bits_digest(halves[0].get()), XXH3_64bits_digest(halves[1].get()));
  return true;
}

// A name next to `path` that no other writer picks.
std::string TemporaryName(const std::string& path) {
  static thread_local std::mt19937_64 random{std::random_device{}()};
  char suffix[40];
  std::snprintf(suffix, sizeof suffix, ".%d.%016llx.tmp", static_cast<int>(::getpid()),
                static_cast<unsigned long long>(random()));
  return path + suffix;
}

}  // namespace

bool Pds_PahSnapshot::Write(const Xdm_ViewStore& store, const Pds_PahSourceStamp& source,
                            const std::string& path) {
  std::string temporary;
  try {
    temporary = TemporaryName(path);
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int fd = ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool written = false;
  try {
    Output out(fd);
    Writer(store, out).Run(source);
    out.Finish();
    std::uint64_t sum = 0;
    written = SumFile(fd, out.Offset(), sum) &&
              ::pwrite(fd, &sum, sizeof sum, offsetof(snap::Header, checksum)) == sizeof sum;
  } catch (const Unwritable&) {
  } catch (const std::bad_alloc&) {
  }
  written = ::close(fd) == 0 && written;
  if (written) written = std::rename(temporary.c_str(), path.c_str()) == 0;
  if (!written) std::remove(temporary.c_str());
  return written;
}
