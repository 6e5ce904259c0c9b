// The storage behind a view (internal to host_design).
//
// Xdm_ViewStore holds every object of one view in arenas, the bridge-id
// tables, and the id pools that the objects' lists are slices of. The
// loader fills a store, then hands it to the view; the editor changes it
// in place. Xdm_Access is the one door through which this library's own
// code reaches the objects' private fields.
//
// After loading, the only state that changes while readers run is the
// full-name cache (m_fullNames, Xdm_FullNames.h).
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include "Port_File.h"
#include "Port_Thr.h"
#include "Rf_Device.h"
#include "Rf_Usage.h"
#include "XCad_CadBlock.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadPin.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdm_Arena.h"
#include "Xdm_FullNames.h"
#include "Xdm_IdPool.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

class PM_PIC;

// IO usage of a block: values (null when absent), the rejection kind and
// the queries it applies to (bit 1 << Key; all four by default).
struct Xdm_IoData {
  enum Reject : std::uint8_t { kNone = 0, kInvalidType = 1, kCorruptDatabase = 2, kOther = 3 };
  enum Key : int { kInput = 0, kOutput = 1, kDrive = 2, kSlew = 3 };
  static constexpr std::uint8_t kAllQueries = 0xF;
  const char* value[4] = {nullptr, nullptr, nullptr, nullptr};
  Reject reject = kNone;
  std::uint8_t rejected = kAllQueries;
};

// The rarely used attributes of a block.
struct Xdm_BlockExtra {
  int configSecurity = 0;
  int netlistSecurity = 0;
  bool hasUsage = false;
  bool hasModes = false;
  Pds_PdmUsage usage;        // its slices are in the pair pool
  Xdm_Slice modes;           // in the pair pool
  Xdm_IoData* io = nullptr;  // null without "io"
  // The block's own mode definitions ("mode_defs"): its placement answers
  // its cell with this definition. Null without them.
  Rf_CellDef* cellDef = nullptr;
};

// Blocks, pins, signals and networks hold pointers and numbers only, and
// their destructors do nothing: their arenas free them without calling
// them, which keeps freeing (or cancelling the read of) a large view quick.
static_assert(std::is_trivially_destructible_v<Xdm_BlockFields> &&
              sizeof(XCad_CadBlock) == sizeof(Xdm_Block));
static_assert(std::is_trivially_destructible_v<Xdm_PinFields> &&
              sizeof(XCad_CadPin) == sizeof(Xdm_Pin));
static_assert(std::is_trivially_destructible_v<Xdm_SignalFields>);
static_assert(std::is_trivially_destructible_v<Xdm_NetworkFields> &&
              sizeof(XCad_CadNetwork) == sizeof(Xdm_Network));
template <>
inline constexpr bool Xdm_ArenaDestroys<XCad_CadBlock> = false;
template <>
inline constexpr bool Xdm_ArenaDestroys<XCad_CadPin> = false;
template <>
inline constexpr bool Xdm_ArenaDestroys<Xdm_Signal> = false;
template <>
inline constexpr bool Xdm_ArenaDestroys<XCad_CadNetwork> = false;

struct Rf_DeviceData {
  explicit Rf_DeviceData(const char* part);
  ~Rf_DeviceData();
  Rf_ClockRegion* AddRegion(std::string_view name);  // null when the name is taken
  Rf_CellDef* AddDef(std::string_view name);
  // Null when the name is taken. A caller that knows the name's hash in
  // the cell index (Xdm_NameIndex::Hash) may pass it.
  Rf_CellData* AddCell(std::string_view name);
  Rf_CellData* AddCell(std::string_view name, std::uint64_t hash);
  // The device's copy of a name; the name itself (which must end in a NUL
  // and outlive the device) when names are kept in place.
  const char* Keep(std::string_view name) { return keepInPlace ? name.data() : strings.Copy(name); }

  bool keepInPlace = false;  // set for a device rebuilt from a snapshot

  std::string partName;
  std::unique_ptr<PM_PIC> pic;
  Xdm_StringArena strings;
  std::vector<std::unique_ptr<Rf_ClockRegion>> regions;
  std::vector<Rf_ClockRegion*> regionList;
  std::vector<std::unique_ptr<Rf_CellDef>> defs;
  std::vector<Rf_CellDef*> defList;
  Xdm_ObjectArena<Rf_CellData> cells;
  std::vector<Rf_Cell> cellList;
  Xdm_NameIndex regionIndex;
  Xdm_NameIndex defIndex;
  Xdm_NameIndex cellIndex;
};

class Xdm_ViewStore {
 public:
  Xdm_ViewStore();
  ~Xdm_ViewStore();
  Xdm_ViewStore(const Xdm_ViewStore&) = delete;
  Xdm_ViewStore& operator=(const Xdm_ViewStore&) = delete;

  // A block's signals are a run of signal ids, and the view lists its
  // networks in the network table's order, until an editor first changes
  // a view (SeparateLists): that spares every loaded view a list of each.
  Xdm_ListSource<Xdm_Signal> BlockSignals(Xdm_Slice signals) const {
    if (m_listsSeparate) return {nullptr, &m_signalTable, m_blockSignalPool.data() + signals.first};
    return {nullptr, &m_signalTable, nullptr, signals.first};
  }
  // The network of signal `id`: null for none, or for kNone.
  Xdm_Network* NetworkOfSignal(std::uint32_t id) const {
    if (id >= m_signalNetworkIds.size()) return nullptr;
    const std::uint32_t net = m_signalNetworkIds[id];
    return net < m_networkTable.size() ? m_networkTable[net] : nullptr;
  }
  const std::vector<Xdm_Network*>& NetList() const {
    return m_listsSeparate ? m_netList : m_networkTable;
  }
  // Gives the blocks' signal lists and the network list storage of their
  // own (once), so that they can be edited.
  void SeparateLists();

  // The snapshot the store was rebuilt from, or null: its names and the
  // ids of its pools lie in it. First, so that it goes last.
  std::unique_ptr<Port::MappedFile> m_mapping;
  // A store rebuilt from a snapshot: the part of the snapshot's texts that
  // held the texts of the arenas of the store it was written from. The
  // rebuilt store's names lie there, and a snapshot of it keeps them in
  // place, as the arenas were.
  std::string_view m_snapshotTexts;
  Xdm_View* m_view = nullptr;
  std::string m_partName;
  Xdm_StringArena m_strings;

  Xdm_ObjectArena<XCad_CadBlock> m_blocks;
  Xdm_ObjectArena<XCad_CadPin> m_pins;
  Xdm_ObjectArena<Xdm_Signal> m_signals;
  Xdm_ObjectArena<XCad_CadNetwork> m_networks;
  Xdm_ObjectArena<Xdm_PropertyHolder> m_holders;
  Xdm_ObjectArena<Xdm_BlockExtra> m_extras;
  Xdm_ObjectArena<Xdm_IoData> m_ioData;
  Xdm_ObjectArena<XCad_RMedRug> m_rugs;
  Xdm_ObjectArena<XCad_RMedRugNode> m_rugNodes;
  Xdm_ObjectArena<XCad_RhoNode> m_rhoNodes;
  std::vector<std::unique_ptr<Pds_PdlBlock>> m_typeBlocks;
  std::vector<std::unique_ptr<Rf_CellDef>> m_blockCellDefs;  // blocks' "mode_defs"

  // Bridge-id tables: slot i holds the object of id i, or null. The loader
  // makes them, and the pools below, once it has read the file. Pins and
  // signals are found from their arenas (Xdm_ObjectIndex.h).
  std::vector<Xdm_Block*> m_blockTable;
  Xdm_ObjectIndex<Xdm_Pin> m_pinTable;
  Xdm_ObjectIndex<Xdm_Signal> m_signalTable;
  std::vector<Xdm_Network*> m_networkTable;
  std::vector<Xdm_PropertyHolder*> m_holderTable;

  // Pools that lists are slices of: ids into the tables above (a removed
  // object's id answers null).
  Xdm_IdPool m_childPool;                                       // block ids
  Xdm_IdPool m_blockSignalPool;                                 // see BlockSignals()
  Xdm_IdPool m_signalPinPool;                                   // pin ids
  Xdm_IdPool m_netSignalPool;                                   // signal ids
  Xdm_LargeArray<std::pair<const char*, const char*>> m_pairs;  // modes and gcd

  // Per signal id, its network's id or kNone (Xdm_View::GetSignalNetworkIds);
  // as long as the signal table.
  Xdm_IdPool m_signalNetworkIds;
  std::vector<Xdm_Network*> m_netList;           // file order; see NetList()
  std::vector<Xdm_PropertyHolder*> m_shapeList;  // file order
  bool m_shapesAvailable = true;
  Xdm_Block* m_top = nullptr;
  Xdm_Network* m_masterVcc = nullptr;
  Xdm_Network* m_masterGnd = nullptr;
  std::unique_ptr<Xdm_DesignInfo> m_designInfo;
  std::unique_ptr<Rf_Device> m_device;
  std::unordered_map<const Xdm_Block*, XCad_RhoNode*> m_rho;

  Xdm_FullNames m_fullNames;

 private:
  bool m_listsSeparate = false;
};

struct Xdm_Access {
  static Xdm_BlockFields& F(const Xdm_Block& b) { return const_cast<Xdm_Block&>(b).m_f; }
  static Xdm_PinFields& F(const Xdm_Pin& p) { return const_cast<Xdm_Pin&>(p).m_f; }
  static Xdm_SignalFields& F(const Xdm_Signal& s) { return const_cast<Xdm_Signal&>(s).m_f; }
  static Xdm_NetworkFields& F(const Xdm_Network& n) { return const_cast<Xdm_Network&>(n).m_f; }
  static Xdm_PropertyHolderFields& F(const Xdm_PropertyHolder& h) {
    return const_cast<Xdm_PropertyHolder&>(h).m_f;
  }
  static void SetName(const Xdm_Object& o, const char* name) {
    const_cast<Xdm_Object&>(o).m_name = name;
  }
  static Xdm_ViewStore& Store(const Xdm_View& v) { return *v.m_store; }
  static Xdm_ViewIndex& Index(const Xdm_View& v) { return *v.m_index; }
  static Xdm_ViewStore& Store(const Xdm_Block& b) { return *b.m_f.store; }
  static Xdm_ViewStore& Store(const Xdm_Pin& p) { return *p.m_f.block->m_f.store; }
  static Xdm_ViewStore& Store(const Xdm_Signal& s) { return *s.m_f.block->m_f.store; }
  static Xdm_ViewStore& Store(const Xdm_Network& n) { return *n.m_f.store; }
  // Gives the view its loaded contents.
  static void Adopt(Xdm_View& view, std::unique_ptr<Xdm_ViewStore> store);

  static const Xdm_ViewStore*& UsageStore(Pds_PdmUsage& u) { return u.m_store; }
  static Xdm_Slice& UsageData(Pds_PdmUsage& u) { return u.m_data; }
  static Xdm_Slice& UsageInvalid(Pds_PdmUsage& u) { return u.m_invalid; }
  static Rf_Usage MakeRfUsage(const Xdm_ViewStore* s, Xdm_Slice modes) {
    Rf_Usage u;
    u.m_store = s;
    u.m_modes = modes;
    return u;
  }
  static XCad_RMedRugNode*& Next(XCad_RMedRugNode& n) { return n.m_next; }
  static Xdm_Pin*& Driver(XCad_RMedRugNode& n) { return n.m_driver; }
  static XCad_RMedRugNode*& First(XCad_RMedRug& r) { return r.m_first; }
  static XCad_CadNetwork*& Network(XCad_RMedRug& r) { return r.m_network; }
  static bool& Full(XCad_RMedRug& r) { return r.m_full; }
  static bool IsFull(const XCad_RMedRug& r) { return r.m_full; }
  static Xdm_Block*& Reference(XCad_RhoNode& n) { return n.m_reference; }
  static std::vector<Rf_UsageDef::ModeDef>& Modes(Rf_UsageDef& u) { return u.m_modes; }
  static Rf_UsageDef::ModeDef MakeModeDef(const char* name, bool valid, bool hidden,
                                          bool isString) {
    Rf_UsageDef::ModeDef d;
    d.m_name = name;
    d.m_valid = valid;
    d.m_hidden = hidden;
    d.m_string = isString;
    return d;
  }
  static const char* RawName(const Rf_UsageDef::ModeDef& d) { return d.m_name; }
  static bool RawValid(const Rf_UsageDef::ModeDef& d) { return d.m_valid; }
  static std::unique_ptr<Rf_CellDef> NewCellDef(const char* name) {
    return std::unique_ptr<Rf_CellDef>(new Rf_CellDef(name));
  }
  static const char*& Name(Rf_CellDef& def) { return def.m_name; }
  static std::unique_ptr<Rf_Device> NewDevice(const char* partName) {
    return std::unique_ptr<Rf_Device>(new Rf_Device(partName));
  }
  static Rf_DeviceData& Data(const Rf_Device& d) { return *d.m_d; }
  // False when the region has bounds already.
  static bool SetBounds(Rf_ClockRegion& region, const Rf_Bounds& bounds) {
    if (region.m_hasBounds) return false;
    region.m_bounds = bounds;
    region.m_hasBounds = true;
    return true;
  }
};
