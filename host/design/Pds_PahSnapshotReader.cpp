// Rebuilds a view store from a snapshot (Pds_PahSnapshotFormat.h).
//
// Nothing in the file is trusted before it is checked: the header and the
// directory first, then the checksum over every byte, then each record as
// the store is built from it: every index in range, every object in its
// own table slot, every list a slice of its pool, and the links the view
// walks both ways (a pin in its block's pins, a signal in its block's and
// its net's lists, a child under its parent) consistent, so that a
// hand-made snapshot cannot give a view that loops or reads out of place.
// Parents come before their children and a rug node before the next one,
// as in every store the loader makes; that rules out cycles.
#include <fcntl.h>
#include <unistd.h>
#include <xxhash.h>

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstring>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

#include "PM_PIC.h"
#include "Pds_PahLoadProgress.h"
#include "Pds_PahSnapshot.h"
#include "Pds_PahSnapshotFormat.h"
#include "Pds_Pdl.h"
#include "Pds_PdmNetwork.h"
#include "Port_File.h"
#include "Port_Thr.h"
#include "Tw_DlyMed.h"
#include "Xdm_ViewStore.h"

namespace snap = Pds_PahSnap;
using A = Xdm_Access;

namespace {

struct Damaged {
  const char* why;
};

[[noreturn]] void Fail(const char* why) {
  throw Damaged{why};
}
void Require(bool ok, const char* why) {
  if (!ok) Fail(why);
}

// More table slots than objects come only from the loader's spare ids.
constexpr std::uint64_t kMaxSpare = std::uint64_t{1} << 20;
// Blocks below the top, as the loader bounds them: walks of the hierarchy
// (full names, the view's own walks) recurse once per level.
constexpr std::uint32_t kMaxDepth = 256;

std::atomic<std::uint64_t> g_designsHashed{0};

class Reader {
 public:
  // The second thread's share of a read: the design file's hash and the
  // device, then (once the blocks are built) the pins and the signals' pin
  // lists.
  // The design file's hash, on a thread of its own from the moment the
  // snapshot's header asks for it: hashing is a reopen's longest step, and
  // it can go on while the store is built. Without a thread, Result
  // hashes.
  class DesignHash {
   public:
    explicit DesignHash(const std::string& design) : m_design(design) {
      g_designsHashed.fetch_add(1, std::memory_order_relaxed);
      try {
        m_thread = std::make_unique<Port_ThrThread>(&Entry, this);
      } catch (Port_ThrException::Exception) {
      }
    }
    // A hash no longer needed is abandoned.
    ~DesignHash() {
      if (m_thread) m_thread->cancel();
    }
    // False when the file cannot be read.
    bool Result(std::uint64_t& hash) {
      if (m_thread) {
        m_thread->join();
      } else {
        m_ok = Pds_PahSnapshot::HashFile(m_design, m_hash);
      }
      hash = m_hash;
      return m_ok;
    }

   private:
    static void* Entry(void* self) {
      auto& h = *static_cast<DesignHash*>(self);
      h.m_ok = Pds_PahSnapshot::HashFile(h.m_design, h.m_hash);
      return nullptr;
    }
    const std::string& m_design;
    std::uint64_t m_hash = 0;
    bool m_ok = false;
    std::unique_ptr<Port_ThrThread> m_thread;
  };

  struct Helper {
    enum { kWait, kGo, kStop };
    Helper(Reader& r, DesignHash* d) : reader(r), design(d) {}
    Reader& reader;
    DesignHash* design = nullptr;  // compared, when set
    const snap::Misc* misc = nullptr;
    std::uint64_t designHash = 0;
    bool hashed = false;
    std::atomic<int> gate{kWait};
    const char* why = nullptr;
    std::exception_ptr error;
    void Run();
    static void* Entry(void* self) {
      static_cast<Helper*>(self)->Run();
      return nullptr;
    }
  };

  Reader(const char* data, std::size_t size, bool (*stop)() = nullptr)
      : m_data(data), m_size(size), m_stop(stop) {}
  // The header and the directory (the checksum is the helper's).
  void CheckFrame();
  const snap::Header& Header() const { return *reinterpret_cast<const snap::Header*>(m_data); }
  // Only the names, the lists' ids and the signals' network ids are read
  // once the store is built: the pages of the other records go.
  void DropRecords(Port::MappedFile& file) const {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> kept;
    for (snap::Section id : {snap::kTexts, snap::kChildPool, snap::kSignalPins, snap::kNetSignals,
                             snap::kSignalNets}) {
      const snap::SectionEntry& e = m_directory[id];
      kept.emplace_back(e.offset, e.offset + e.count * e.recordSize);
    }
    std::sort(kept.begin(), kept.end());
    std::uint64_t from = 0;
    for (const auto& [first, end] : kept) {
      if (first > from) file.Drop(from, first);
      from = std::max(from, end);
    }
    file.Drop(from, file.Size());
  }
  // Files progress (in bytes of the design file, as a parse does) under
  // `entry`: the part of the caller's records built so far.
  void ReportTo(Pds_PahLoadProgress::Entry* entry, std::uint64_t designBytes) {
    m_progress = entry;
    m_progressTotal = designBytes;
    if (entry) entry->SetTotal(designBytes);
  }
  void Finished() {
    if (m_progress) m_progress->SetDone(m_progressTotal);
  }
  struct Gate;
  std::unique_ptr<Xdm_ViewStore> Build(Helper& helper, bool checkSum);

 private:
  template <class T>
  std::span<const T> Records(snap::Section id) const {
    const snap::SectionEntry& e = m_directory[id];
    Require(e.recordSize == sizeof(T), "a section of the wrong record size");
    return {reinterpret_cast<const T*>(m_data + e.offset), static_cast<std::size_t>(e.count)};
  }
  const char* Text(std::uint32_t offset) const {
    if (offset == snap::kNone) return nullptr;
    Require(offset < m_texts.size(), "a text out of place");
    return m_texts.data() + offset;
  }
  const char* Name(std::uint32_t offset) const {
    const char* text = Text(offset);
    Require(text != nullptr, "a missing name");
    return text;
  }
  template <class T>
  static void InPool(const T& slice, std::size_t pool) {
    Require(std::uint64_t{slice.first} + slice.count <= pool, "a list out of place");
  }
  static Xdm_Slice SliceOf(snap::Slice s) { return {s.first, s.count}; }
  static bool Holds(Xdm_Slice s, std::uint32_t id) { return id - s.first < s.count; }
  // The object of `id` in `table`: null for kNone when allowed.
  template <class Table>
  static auto Object(const Table& table, std::uint32_t id, bool optional = true)
      -> std::decay_t<decltype(table[id])> {
    if (id == snap::kNone && optional) return nullptr;
    Require(id < table.size() && table[id] != nullptr, "a reference to no object");
    return table[id];
  }
  template <class T>
  static void Place(std::vector<T*>& table, std::uint32_t id, T* object) {
    Require(id < table.size() && table[id] == nullptr, "an object out of place");
    table[id] = object;
  }
  // A new object of record `r`, named and in its table slot.
  template <class Base, class T, class Record>
  T* Make(Xdm_ObjectArena<T>& arena, std::vector<Base*>& table, const Record& r) {
    T* object = arena.Create();
    A::SetName(*object, Name(r.name));
    Place<Base>(table, r.bridgeId, object);
    return object;
  }
  // The same for the pins and the signals, found from their arena: their
  // records come in id order.
  template <class T, class Record>
  T* MakeInOrder(Xdm_ObjectArena<T>& arena, const Record& r) {
    Require(r.bridgeId == arena.Size(), "an object out of place");
    T* object = arena.Create();
    A::SetName(*object, Name(r.name));
    return object;
  }
  template <class Base, class T>
  static void Index(Xdm_ObjectIndex<Base>& index, const Xdm_ObjectArena<T>& arena,
                    std::size_t slots) {
    index.Build(arena.Size(), slots, [&](auto row) { arena.ForEachRow(row); });
  }
  // Points `pool` at the ids of `section` once each is known to be an
  // object of `table`.
  template <class T>
  void BorrowPool(Xdm_IdPool& pool, snap::Section section, const std::vector<T*>& table) {
    const auto ids = Records<std::uint32_t>(section);
    for (std::uint32_t id : ids)
      Object(table, id, false);
    pool.Borrow(ids.data(), ids.size());
  }
  static std::size_t Slots(std::uint32_t size, std::size_t objects) {
    Require(size >= objects && size - objects <= kMaxSpare, "a table of the wrong size");
    return size;
  }
  template <class T>
  std::vector<T*> Table(std::uint32_t size, std::size_t objects) {
    return std::vector<T*>(Slots(size, objects), nullptr);
  }

  void ReadDefs(std::span<const snap::CellDef> defs, std::size_t first, std::size_t count,
                const std::function<Rf_CellDef*(const char*)>& make);
  void ReadBlockDefs(const snap::Misc& misc);
  void ReadDevice(const snap::Misc& misc);
  void ReadExtras();
  void ReadBlocks(const snap::Misc& misc);
  void ReadPins();
  void CreateNetworks();
  void ReadRugs();
  void LinkDrivers();
  void ReadSignals();
  void LinkSignalPins();
  void ReadShapes();
  void ReadRest(const snap::Misc& misc);

  // Every kPollEvery records, the caller's thread asks its stop test and
  // the helper whether the caller has given the read up; either ends the
  // read ("cancelled"), so that a cancelled load stops within a few
  // thousand objects.
  static constexpr std::uint32_t kPollEvery = 1 << 16;
  void PollCaller() {
    if (++m_polls % kPollEvery != 0) return;
    if (m_progress)
      m_progress->SetDone(m_progressTotal * std::min(m_polls, m_callerRecords) /
                          (m_callerRecords + 1));
    if (m_stop && m_stop()) Fail("cancelled");
  }
  void PollHelper() {
    if (++m_helperPolls % kPollEvery == 0 && m_abandoned.load(std::memory_order_relaxed))
      Fail("cancelled");
  }

  const char* m_data;
  std::size_t m_size;
  bool (*m_stop)() = nullptr;
  std::uint64_t m_polls = 0;
  // The records the caller's thread passes on its polls: three passes
  // over the blocks, the networks and the signals.
  std::uint64_t m_callerRecords = 0;
  Pds_PahLoadProgress::Entry* m_progress = nullptr;
  std::uint64_t m_progressTotal = 0;
  std::uint32_t m_helperPolls = 0;
  std::atomic<bool> m_abandoned{false};
  const snap::SectionEntry* m_directory = nullptr;
  std::span<const char> m_texts;
  std::uint64_t m_pinLinks = 0;  // pins' signals and child signals
  // Per pin id, while the signals' pin lists are checked: the pin's signal
  // id (low half) and child signal id (high half) that no list has named
  // yet (kNone once one has), or kNoPin for an id without a pin. Reading
  // these 8 bytes, not the pin, keeps the check within a fifth of the
  // memory.
  static constexpr std::uint64_t kNoPin = 0xFFFFFFFEu;
  std::vector<std::uint64_t> m_links;
  // The ids of pins and of signals, spare ones included: their indexes
  // are built once their objects are.
  std::size_t m_pinSlots = 0;
  std::size_t m_signalSlots = 0;
  Xdm_ViewStore* s = nullptr;
};

void Reader::CheckFrame() {
  Require(reinterpret_cast<std::uintptr_t>(m_data) % 8 == 0, "misaligned bytes");
  Require(m_size >= sizeof(snap::Header), "too short for a snapshot");
  const snap::Header& h = Header();
  Require(std::memcmp(h.magic, snap::kMagic, sizeof h.magic) == 0, "not a snapshot");
  Require(h.version == snap::kVersion, "a snapshot of another version");
  Require(h.sectionCount == snap::kSectionCount, "a snapshot of another version");
  const std::size_t directory = sizeof(snap::SectionEntry) * snap::kSectionCount;
  Require(m_size >= sizeof h + directory && m_size % 8 == 0, "a snapshot cut short");
  const std::size_t end = m_size - directory;
  m_directory = reinterpret_cast<const snap::SectionEntry*>(m_data + end);
  for (std::uint32_t i = 0; i < snap::kSectionCount; ++i) {
    const snap::SectionEntry& e = m_directory[i];
    Require(e.offset % 8 == 0 && e.offset >= sizeof h && e.offset <= end && e.recordSize > 0 &&
                e.count <= (end - e.offset) / e.recordSize,
            "a section out of place");
  }
  m_texts = Records<char>(snap::kTexts);
  Require(!m_texts.empty() && m_texts.back() == '\0', "a text out of place");
}

void Reader::ReadDefs(std::span<const snap::CellDef> defs, std::size_t first, std::size_t count,
                      const std::function<Rf_CellDef*(const char*)>& make) {
  const auto modes = Records<snap::ModeDef>(snap::kModeDefs);
  for (std::size_t i = first; i < first + count; ++i) {
    Rf_CellDef* def = make(Name(defs[i].name));
    Require(def != nullptr, "a cell type named twice");
    InPool(defs[i].modes, modes.size());
    auto& list = A::Modes(*def->GetUsageDef());
    for (const snap::ModeDef& m : modes.subspan(defs[i].modes.first, defs[i].modes.count))
      list.push_back(A::MakeModeDef(Text(m.name), m.valid, m.hidden, m.isString));
  }
}

void Reader::ReadBlockDefs(const snap::Misc& misc) {
  const auto defs = Records<snap::CellDef>(snap::kCellDefs);
  Require(misc.blockCellDefs <= defs.size(), "a section out of place");
  ReadDefs(defs, 0, misc.blockCellDefs, [&](const char* name) {
    s->m_blockCellDefs.push_back(A::NewCellDef(name));
    return s->m_blockCellDefs.back().get();
  });
}

void Reader::ReadDevice(const snap::Misc& misc) {
  const auto defs = Records<snap::CellDef>(snap::kCellDefs);
  const auto regions = Records<snap::Region>(snap::kRegions);
  const auto cells = Records<snap::Cell>(snap::kCells);
  if (misc.devicePart == snap::kNone) {
    Require(regions.empty() && cells.empty() && misc.blockCellDefs == defs.size(),
            "a device without a part");
    return;
  }
  s->m_device = A::NewDevice(Name(misc.devicePart));
  Rf_DeviceData& d = A::Data(*s->m_device);
  d.keepInPlace = true;
  d.cellIndex.Reserve(cells.size());
  if (misc.picPart != snap::kNone) d.pic = std::make_unique<PM_PIC>(Name(misc.picPart));
  for (const snap::Region& r : regions) {
    Rf_ClockRegion* region = d.AddRegion(Name(r.name));
    Require(region != nullptr, "a clock region named twice");
    if (r.hasBounds) A::SetBounds(*region, {r.bounds[0], r.bounds[1], r.bounds[2], r.bounds[3]});
  }
  ReadDefs(defs, misc.blockCellDefs, defs.size() - misc.blockCellDefs,
           [&](const char* name) { return d.AddDef(name); });
  // Each name is hashed a few cells ahead and its slot fetched, so that
  // adding it need not wait for memory.
  constexpr std::size_t kAhead = 8;
  std::uint64_t ahead[kAhead];
  auto fetch = [&](std::size_t i) {
    if (i >= cells.size()) return;
    ahead[i % kAhead] = Xdm_NameIndex::Hash(Name(cells[i].name));
    d.cellIndex.Prefetch(ahead[i % kAhead]);
  };
  for (std::size_t i = 0; i < kAhead; ++i)
    fetch(i);
  for (std::size_t i = 0; i < cells.size(); ++i) {
    PollHelper();
    const snap::Cell& c = cells[i];
    const std::uint64_t hash = ahead[i % kAhead];
    fetch(i + kAhead);
    Rf_CellData* cell = d.AddCell(Name(c.name), hash);
    Require(cell != nullptr, "a cell named twice");
    Require(c.def < d.defs.size(), "a reference to no object");  // every cell has a type
    Require(c.region == snap::kNone || c.region < d.regions.size(), "a reference to no object");
    cell->def = d.defs[c.def].get();
    cell->region = c.region == snap::kNone ? nullptr : d.regions[c.region].get();
    cell->regionText = Text(c.regionText);
    cell->tile = Text(c.tile);
    cell->packagePin = Text(c.packagePin);
    cell->bank = Text(c.bank);
    cell->x = c.x;
    cell->y = c.y;
  }
}

void Reader::ReadExtras() {
  for (const snap::Io& r : Records<snap::Io>(snap::kIo)) {
    Xdm_IoData* io = s->m_ioData.Create();
    for (int k = 0; k < 4; ++k)
      io->value[k] = Text(r.value[k]);
    Require(r.reject <= Xdm_IoData::kOther, "an unknown value");
    io->reject = static_cast<Xdm_IoData::Reject>(r.reject);
    io->rejected = r.rejected;
  }
  const std::size_t pairs = Records<snap::Pair>(snap::kPairs).size();
  s->m_extras.Reserve(Records<snap::Extra>(snap::kExtras).size());
  for (const snap::Extra& r : Records<snap::Extra>(snap::kExtras)) {
    Xdm_BlockExtra* e = s->m_extras.Create();
    e->configSecurity = r.configSecurity;
    e->netlistSecurity = r.netlistSecurity;
    e->hasUsage = r.hasUsage;
    e->hasModes = r.hasModes;
    InPool(r.usageData, pairs);
    InPool(r.usageInvalid, pairs);
    InPool(r.modes, pairs);
    // A block with usage answers it from the store; one without has none.
    Require(!r.usageBound == !r.hasUsage, "a usage out of place");
    A::UsageStore(e->usage) = r.usageBound ? s : nullptr;
    A::UsageData(e->usage) = SliceOf(r.usageData);
    A::UsageInvalid(e->usage) = SliceOf(r.usageInvalid);
    e->modes = SliceOf(r.modes);
    Require(r.io == snap::kNone || r.io < s->m_ioData.Size(), "a reference to no object");
    e->io = r.io == snap::kNone ? nullptr : s->m_ioData.At(r.io);
    Require(r.cellDef == snap::kNone || r.cellDef < s->m_blockCellDefs.size(),
            "a reference to no object");
    e->cellDef = r.cellDef == snap::kNone ? nullptr : s->m_blockCellDefs[r.cellDef].get();
  }
}

void Reader::ReadBlocks(const snap::Misc& misc) {
  const auto blocks = Records<snap::Block>(snap::kBlocks);
  s->m_blockTable = Table<Xdm_Block>(misc.tables[0], blocks.size());
  s->m_blocks.Reserve(blocks.size());
  for (const snap::Block& r : blocks) {
    PollCaller();
    Make<Xdm_Block>(s->m_blocks, s->m_blockTable, r);
  }
  BorrowPool(s->m_childPool, snap::kChildPool, s->m_blockTable);
  s->m_top = Object(s->m_blockTable, misc.top);
  // A block's site is its cell's index + 1, 0 when it is not placed (the
  // device, built beside the blocks, has a cell for each record or none).
  const std::size_t sites = Records<snap::Cell>(snap::kCells).size();
  // Every pin and signal lies in its block's run (checked as each is read):
  // runs that add up to the objects then hold nothing else.
  std::uint64_t listed[3] = {};  // children, signals, pins
  for (const snap::Block& r : blocks) {
    PollCaller();
    Xdm_Block* block = s->m_blockTable[r.bridgeId];
    Xdm_BlockFields& f = A::F(*block);
    f.store = s;
    f.parent = Object(s->m_blockTable, r.parent);
    // Parents are numbered before their children; only the top has none.
    Require(block == s->m_top ? f.parent == nullptr : f.parent && r.parent < r.bridgeId,
            "a block out of place");
    Require(r.type == snap::kNone || r.type < s->m_typeBlocks.size(), "a reference to no object");
    f.type = r.type == snap::kNone ? nullptr : s->m_typeBlocks[r.type].get();
    Require(r.extra == snap::kNone || r.extra < s->m_extras.Size(), "a reference to no object");
    f.extra = r.extra == snap::kNone ? nullptr : s->m_extras.At(r.extra);
    f.config = Name(r.config);
    InPool(r.children, s->m_childPool.size());
    InPool(r.signals, misc.tables[2]);
    InPool(r.pins, misc.tables[1]);
    f.children = SliceOf(r.children);
    f.signals = SliceOf(r.signals);
    f.pins = SliceOf(r.pins);
    listed[0] += r.children.count;
    listed[1] += r.signals.count;
    listed[2] += r.pins.count;
    f.bridgeId = r.bridgeId;
    Require(r.site <= sites, "a reference to no object");
    f.site = r.site;
    f.level = r.level;
    f.flags = r.flags;
  }
  Require(listed[1] == Records<snap::Signal>(snap::kSignals).size() &&
              listed[2] == Records<snap::Pin>(snap::kPins).size(),
          "a list out of place");
  // Each block but the top is listed once, under its parent.
  Require(listed[0] == (blocks.empty() ? 0 : blocks.size() - 1), "a child out of place");
  std::vector<bool> isListed(s->m_blockTable.size());
  for (const snap::Block& r : blocks) {
    PollCaller();
    const Xdm_Block* block = s->m_blockTable[r.bridgeId];
    for (std::uint32_t i = 0; i < r.children.count; ++i) {
      const Xdm_BlockFields& child = A::F(*s->m_blockTable[s->m_childPool[r.children.first + i]]);
      Require(child.parent == block && !isListed[child.bridgeId], "a child out of place");
      isListed[child.bridgeId] = true;
    }
  }
  // Parents come before their children: one pass in id order gives depths.
  std::vector<std::uint16_t> depth(s->m_blockTable.size());
  for (std::uint32_t id = 0; id < s->m_blockTable.size(); ++id) {
    const Xdm_Block* parent = s->m_blockTable[id] ? A::F(*s->m_blockTable[id]).parent : nullptr;
    if (parent == nullptr) continue;
    depth[id] = static_cast<std::uint16_t>(depth[A::F(*parent).bridgeId] + 1);
    Require(depth[id] <= kMaxDepth, "blocks nested too deep");
  }
}

void Reader::ReadPins() {
  const auto pins = Records<snap::Pin>(snap::kPins);
  const std::uint32_t signals = static_cast<std::uint32_t>(m_signalSlots);
  Require(signals < kNoPin, "a table of the wrong size");
  m_links.assign(m_pinSlots, kNoPin);
  s->m_pins.Reserve(pins.size());
  for (const snap::Pin& r : pins) {
    PollHelper();
    XCad_CadPin* pin = MakeInOrder(s->m_pins, r);
    Xdm_PinFields& f = A::F(*pin);
    f.block = Object(s->m_blockTable, r.block, false);
    Require(Holds(A::F(*f.block).pins, r.bridgeId), "a pin out of place");
    Require(r.signal == snap::kNone || r.signal < signals, "a reference to no object");
    Require(r.childSignal == snap::kNone || r.childSignal < signals, "a reference to no object");
    f.signal = r.signal;
    f.childSignal = r.childSignal;
    m_pinLinks += (r.signal != snap::kNone) + (r.childSignal != snap::kNone);
    m_links[r.bridgeId] = r.signal | std::uint64_t{r.childSignal} << 32;
    f.delay = r.delay;
    f.flags = r.flags;
    Require(r.delayType <= Tw_DlyMed::DELAYTYPE_NONE, "an unknown value");
    f.delayType = r.delayType;
  }
  Index(s->m_pinTable, s->m_pins, m_pinSlots);
}

void Reader::CreateNetworks() {
  const auto networks = Records<snap::Network>(snap::kNetworks);
  const std::size_t netSignals = Records<std::uint32_t>(snap::kNetSignals).size();
  s->m_networks.Reserve(networks.size());
  for (const snap::Network& r : networks) {
    PollCaller();
    XCad_CadNetwork* net = Make<Xdm_Network>(s->m_networks, s->m_networkTable, r);
    Xdm_NetworkFields& f = A::F(*net);
    f.store = s;
    InPool(r.signals, netSignals);
    f.signals = SliceOf(r.signals);
    f.bridgeId = r.bridgeId;
    f.delay = r.delay;
    f.delayMin = r.delayMin;
    // Ground, power or logic; a delay routed, estimated or none.
    Require(r.type <= 2 && r.delayType <= Tw_DlyMed::DELAYTYPE_NONE, "an unknown value");
    f.type = r.type;
    f.delayType = r.delayType;
    f.route = r.route;
    f.master = r.master;
    f.routable = r.routable;
  }
}

// The routing records, all but the nodes' drivers (LinkDrivers).
void Reader::ReadRugs() {
  const auto nodes = Records<snap::RugNode>(snap::kRugNodes);
  s->m_rugNodes.Reserve(nodes.size());
  for (std::size_t i = 0; i < nodes.size(); ++i)
    s->m_rugNodes.Create();
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    XCad_RMedRugNode& node = *s->m_rugNodes.At(i);
    const std::uint32_t next = nodes[i].next;
    // A rug has one node, or two (partly routed): the second ends it.
    Require(
        next == snap::kNone || (next > i && next < nodes.size() && nodes[next].next == snap::kNone),
        "a rug out of place");
    A::Next(node) = next == snap::kNone ? nullptr : s->m_rugNodes.At(next);
  }
  const auto rugs = Records<snap::Rug>(snap::kRugs);
  s->m_rugs.Reserve(rugs.size());
  for (const snap::Rug& r : rugs) {
    XCad_RMedRug* rug = s->m_rugs.Create();
    A::Network(*rug) = static_cast<XCad_CadNetwork*>(Object(s->m_networkTable, r.network, false));
    Require(r.first == snap::kNone || r.first < nodes.size(), "a reference to no object");
    A::First(*rug) = r.first == snap::kNone ? nullptr : s->m_rugNodes.At(r.first);
    A::Full(*rug) = r.full;
  }
  for (const snap::Network& r : Records<snap::Network>(snap::kNetworks)) {
    Xdm_Network* net = s->m_networkTable[r.bridgeId];
    Require(r.rug == snap::kNone || r.rug < rugs.size(), "a reference to no object");
    XCad_RMedRug* rug = r.rug == snap::kNone ? nullptr : s->m_rugs.At(r.rug);
    Require(!rug || A::Network(*rug) == net, "a rug out of place");
    A::F(*net).rug = rug;
  }
}

// Rug nodes name their drivers: once the pins are built.
void Reader::LinkDrivers() {
  const auto nodes = Records<snap::RugNode>(snap::kRugNodes);
  for (std::size_t i = 0; i < nodes.size(); ++i)
    A::Driver(*s->m_rugNodes.At(i)) = Object(s->m_pinTable, nodes[i].driver);
}

void Reader::ReadSignals() {
  const auto signals = Records<snap::Signal>(snap::kSignals);
  const std::size_t pins = Records<std::uint32_t>(snap::kSignalPins).size();
  const auto nets = Records<std::uint32_t>(snap::kSignalNets);
  Require(nets.size() == m_signalSlots, "a table of the wrong size");
  s->m_signals.Reserve(signals.size());
  std::uint64_t onNets = 0;
  for (const snap::Signal& r : signals) {
    PollCaller();
    Xdm_Signal* signal = MakeInOrder(s->m_signals, r);
    Xdm_SignalFields& f = A::F(*signal);
    f.block = Object(s->m_blockTable, r.block, false);
    Require(Holds(A::F(*f.block).signals, r.bridgeId), "a signal out of place");
    onNets += Object(s->m_networkTable, r.network) != nullptr;
    Require(nets[r.bridgeId] == r.network, "a signal out of place");
    InPool(r.pins, pins);
    f.pins = SliceOf(r.pins);
  }
  Index(s->m_signalTable, s->m_signals, m_signalSlots);
  // A slot without a signal is on no network; a signal's entry is its own
  // (checked above). So an id whose entry is a network is a signal's.
  for (std::size_t id = 0; id < nets.size(); ++id)
    Require(nets[id] == snap::kNone || s->m_signalTable[id] != nullptr, "a signal out of place");
  s->m_signalNetworkIds.Borrow(nets.data(), nets.size());
  // Each signal on a network is listed once, by its network.
  const auto pool = Records<std::uint32_t>(snap::kNetSignals);
  std::uint64_t listed = 0;
  std::vector<bool> isListed(nets.size());
  for (const snap::Network& r : Records<snap::Network>(snap::kNetworks)) {
    for (const std::uint32_t id : pool.subspan(r.signals.first, r.signals.count)) {
      Require(id < nets.size() && nets[id] == r.bridgeId && !isListed[id], "a signal out of place");
      isListed[id] = true;
    }
    listed += r.signals.count;
  }
  Require(listed == onNets, "a signal out of place");
  s->m_netSignalPool.Borrow(pool.data(), pool.size());
}

// Signals' pin lists: after the pins.
void Reader::LinkSignalPins() {
  const auto pool = Records<std::uint32_t>(snap::kSignalPins);
  constexpr std::uint64_t kLow = 0xFFFFFFFFu;
  std::uint64_t listed = 0;
  for (const snap::Signal& r : Records<snap::Signal>(snap::kSignals)) {
    PollHelper();
    // Checked here too: ReadSignals, which checks it for the store, runs
    // beside this on the other thread.
    InPool(r.pins, pool.size());
    for (const std::uint32_t id : pool.subspan(r.pins.first, r.pins.count)) {
      Require(id < m_links.size() && m_links[id] != kNoPin, "a reference to no object");
      // Each link of a pin to a signal is listed once, by that signal.
      std::uint64_t& links = m_links[id];
      if ((links & kLow) == r.bridgeId) {
        links |= kLow;
      } else if (links >> 32 == r.bridgeId) {
        links |= kLow << 32;
      } else {
        Fail("a pin out of place");
      }
    }
    listed += r.pins.count;
  }
  Require(listed == m_pinLinks, "a pin out of place");
  std::vector<std::uint64_t>().swap(m_links);
  s->m_signalPinPool.Borrow(pool.data(), pool.size());
}

void Reader::ReadShapes() {
  const auto members = Records<std::uint32_t>(snap::kShapeMembers);
  for (const snap::Shape& r : Records<snap::Shape>(snap::kShapes)) {
    Xdm_PropertyHolder* shape = Make<Xdm_PropertyHolder>(s->m_holders, s->m_holderTable, r);
    Xdm_PropertyHolderFields& f = A::F(*shape);
    f.store = s;
    f.reference = Object(s->m_blockTable, r.reference);
    InPool(r.members, members.size());
    for (std::uint32_t id : members.subspan(r.members.first, r.members.count))
      f.members.push_back(Object(s->m_blockTable, id, false));
    f.bridgeId = r.bridgeId;
    f.user = r.user;
    f.membersUnavailable = r.membersUnavailable;
  }
  for (std::uint32_t id : Records<std::uint32_t>(snap::kShapeList))
    s->m_shapeList.push_back(Object(s->m_holderTable, id, false));
}

void Reader::ReadRest(const snap::Misc& misc) {
  for (std::uint32_t id : Records<std::uint32_t>(snap::kRhoNodes))
    A::Reference(*s->m_rhoNodes.Create()) = Object(s->m_blockTable, id);
  for (const snap::RhoEntry& r : Records<snap::RhoEntry>(snap::kRho)) {
    Require(r.node < s->m_rhoNodes.Size(), "a reference to no object");
    Require(
        s->m_rho.emplace(Object(s->m_blockTable, r.block, false), s->m_rhoNodes.At(r.node)).second,
        "a block in two relocation groups");
  }
  for (const snap::Pair& r : Records<snap::Pair>(snap::kPairs))
    s->m_pairs.emplace_back(Name(r.first), Text(r.second));
  // A freshly read store lists its networks and its blocks' signals in its tables.
  Require(Records<std::uint32_t>(snap::kNetList).empty() &&
              Records<std::uint32_t>(snap::kBlockSignals).empty(),
          "a list out of place");
  s->m_masterVcc = Object(s->m_networkTable, misc.masterVcc);
  s->m_masterGnd = Object(s->m_networkTable, misc.masterGnd);
  Require((!s->m_masterVcc || A::F(*s->m_masterVcc).type == Pds_PdmNetwork::NET_TYPE_POWER) &&
              (!s->m_masterGnd || A::F(*s->m_masterGnd).type == Pds_PdmNetwork::NET_TYPE_GROUND),
          "a master net of another type");
  s->m_shapesAvailable = misc.shapesAvailable;
  if (misc.infoName != snap::kNone) {
    s->m_designInfo = std::make_unique<Xdm_DesignInfo>(Name(misc.infoName), Name(misc.infoTool));
  }
}

void Reader::Helper::Run() {
  try {
    const snap::Header& h = reader.Header();
    if (design) {
      hashed = design->Result(designHash);
      if (!hashed) {
        why = "the design file cannot be read";
      } else if (designHash != h.sourceHash) {
        why = "made from another version of the design file";
      }
    }
    if (!why) reader.ReadDevice(*misc);
    gate.wait(kWait, std::memory_order_acquire);
    if (!why && gate.load(std::memory_order_acquire) == kGo) {
      reader.ReadPins();
      reader.LinkSignalPins();
    }
  } catch (const Damaged& damaged) {
    why = damaged.why;
  } catch (...) {
    error = std::current_exception();
  }
}

// Lets the helper go on (or stop) once; on the way out of a failed read,
// before the helper is waited for, it stops it.
struct Reader::Gate {
  Helper& helper;
  ~Gate() {
    helper.reader.m_abandoned.store(true, std::memory_order_relaxed);
    Open(Helper::kStop);
  }
  void Open(int how) {
    if (helper.gate.load(std::memory_order_relaxed) != Helper::kWait) return;
    helper.gate.store(how, std::memory_order_release);
    helper.gate.notify_all();
  }
};

// The helper hashes the design file and builds the device and the pins
// while the caller's thread builds the rest and then sums the snapshot,
// which makes the two threads' shares about even. The store is built
// before the sum is known, and only kept if it matches. A helper that
// cannot be started leaves all of it to the caller.
std::unique_ptr<Xdm_ViewStore> Reader::Build(Helper& helper, bool checkSum) {
  if (m_stop && m_stop()) Fail("cancelled");
  const auto misc = Records<snap::Misc>(snap::kMisc);
  Require(misc.size() == 1, "a section out of place");
  const snap::Misc& m = misc[0];
  helper.misc = &m;
  m_callerRecords = 3 * Records<snap::Block>(snap::kBlocks).size() +
                    Records<snap::Network>(snap::kNetworks).size() +
                    Records<snap::Signal>(snap::kSignals).size();
  auto store = std::make_unique<Xdm_ViewStore>();
  s = store.get();
  std::unique_ptr<Port_ThrThread> thread;
  try {
    thread = std::make_unique<Port_ThrThread>(&Helper::Entry, &helper);
  } catch (Port_ThrException::Exception) {
  }
  Gate gate{helper};
  s->m_partName = Name(m.partName);
  Require(m.arenaTexts <= m_texts.size(), "a text out of place");
  s->m_snapshotTexts = {m_texts.data(), m.arenaTexts};
  for (std::uint32_t name : Records<std::uint32_t>(snap::kTypeBlocks))
    s->m_typeBlocks.push_back(std::make_unique<Pds_PdlBlock>(Name(name)));
  ReadBlockDefs(m);
  ReadExtras();
  m_pinSlots = Slots(m.tables[1], Records<snap::Pin>(snap::kPins).size());
  m_signalSlots = Slots(m.tables[2], Records<snap::Signal>(snap::kSignals).size());
  s->m_networkTable =
      Table<Xdm_Network>(m.tables[3], Records<snap::Network>(snap::kNetworks).size());
  s->m_holderTable =
      Table<Xdm_PropertyHolder>(m.tables[4], Records<snap::Shape>(snap::kShapes).size());
  ReadBlocks(m);
  gate.Open(Helper::kGo);
  if (!thread) helper.Run();
  CreateNetworks();
  ReadSignals();
  if (checkSum) {
    Require(Pds_PahSnapshot::Checksum(m_data, m_size) == Header().checksum, "a checksum mismatch");
  }
  // What reads neither the pins nor the device, while the helper ends.
  ReadShapes();
  ReadRest(m);
  ReadRugs();
  if (thread) thread->join();
  if (helper.error) std::rethrow_exception(helper.error);
  if (helper.why) Fail(helper.why);
  LinkDrivers();
  return store;
}

}  // namespace

std::uint64_t Pds_PahSnapshot::Checksum(const char* data, std::size_t size) {
  return snap::CombineSums(snap::HalfSum(data, size, 0), snap::HalfSum(data, size, 1));
}

// Read, not mapped: a design file cut short while it is hashed would
// fault at a mapping's lost pages and end the process. Reads of 64 KiB,
// which stay in the processor's cache, hash about as fast as a mapping.
bool Pds_PahSnapshot::HashFile(const std::string& path, std::uint64_t& hash) {
  Port::FileReader file;
  if (!file.Open(path)) return false;
  const std::unique_ptr<XXH3_state_t, XXH_errorcode (*)(XXH3_state_t*)> state(XXH3_createState(),
                                                                              &XXH3_freeState);
  if (!state) throw std::bad_alloc();
  XXH3_64bits_reset(state.get());
  constexpr std::size_t kRead = std::size_t{64} << 10;
  constexpr std::size_t kPollEvery = std::size_t{32} << 20;
  char buffer[kRead];  // not the heap's: a hash short of memory would cost the snapshot
  std::size_t sincePoll = 0;
  for (long got; (got = file.Read(buffer, kRead)) != 0;) {
    if (got < 0) return false;
    XXH3_64bits_update(state.get(), buffer, static_cast<std::size_t>(got));
    if ((sincePoll += static_cast<std::size_t>(got)) >= kPollEvery) {
      sincePoll = 0;
      if (Port_ThrThread::cancelRequested()) return false;
    }
  }
  hash = XXH3_64bits_digest(state.get());
  return true;
}

std::unique_ptr<Xdm_ViewStore> Pds_PahSnapshot::ReadBytes(const char* data, std::size_t size,
                                                          bool checkSum, std::string& why) {
  try {
    Reader reader(data, size);
    reader.CheckFrame();
    Reader::Helper helper(reader, nullptr);
    return reader.Build(helper, checkSum);
  } catch (const Damaged& damaged) {
    why = damaged.why;
    return nullptr;
  }
}

bool Pds_PahSnapshot::Vouch(const std::string& path, const Pds_PahSourceStamp& source) {
  const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0) return false;
  snap::Header h{};
  bool done = ::pread(fd, &h, sizeof h, 0) == sizeof h &&
              std::memcmp(h.magic, snap::kMagic, sizeof h.magic) == 0 &&
              h.version == snap::kVersion && h.sourceSize == source.size &&
              h.sourceTimeNs == source.timeNs && h.sourceHash == source.hash;
  if (done) {
    const std::uint64_t id[3] = {source.device, source.inode,
                                 static_cast<std::uint64_t>(source.changedNs)};
    static_assert(offsetof(snap::Header, sourceChangeNs) - offsetof(snap::Header, sourceDevice) ==
                  16);
    done = ::pwrite(fd, id, sizeof id, offsetof(snap::Header, sourceDevice)) == sizeof id;
  }
  ::close(fd);
  return done;
}

std::uint64_t Pds_PahSnapshot::DesignsHashed() {
  return g_designsHashed.load();
}

std::unique_ptr<Xdm_ViewStore> Pds_PahSnapshot::Read(const std::string& path,
                                                     const std::string& design,
                                                     Pds_PahSourceStamp& source, std::string& why,
                                                     bool (*stop)(),
                                                     Pds_PahLoadProgress::Entry* progress) {
  auto mapping = std::make_unique<Port::MappedFile>();
  if (!mapping->Open(path, why)) return nullptr;

  Reader reader(mapping->Data(), mapping->Size(), stop);
  std::optional<Reader::DesignHash> designHash;
  Reader::Helper helper(reader, nullptr);
  try {
    reader.CheckFrame();
    const snap::Header& h = reader.Header();
    if (h.sourceSize != source.size || h.sourceTimeNs != source.timeNs) {
      why = "made from another version of the design file";
      return nullptr;
    }
    const Pds_PahSourceStamp made{h.sourceSize,   h.sourceTimeNs, h.sourceHash,
                                  h.sourceDevice, h.sourceInode,  h.sourceChangeNs};
    if (!source.Vouches(made)) helper.design = &designHash.emplace(design);
    reader.ReportTo(progress, source.size);
    std::unique_ptr<Xdm_ViewStore> store = reader.Build(helper, true);
    reader.Finished();
    reader.DropRecords(*mapping);
    store->m_mapping = std::move(mapping);
    if (helper.hashed) source.hash = helper.designHash;
    return store;
  } catch (const Damaged& damaged) {
    why = damaged.why;
  }
  if (helper.hashed) source.hash = helper.designHash;
  return nullptr;
}
