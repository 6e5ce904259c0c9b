// Pds_PahJsonLoader: reads one design file into a new view store
// (internal; Pds_PahDesignLoader is the public face).
//
// Recursive descent over Pds_PahJsonReader's tokens: one function per
// object kind, each with a table from key name to handler. Objects are
// made as they are read, in file order, which gives the bridge ids.
// References (pin to signal, signal to net, block to cell, cell to type and
// clock region) are resolved while reading when their target was read
// before (lookups in large indexes a few lookups later, so that memory is
// fetched ahead: see Defer); otherwise the name and its offset wait until
// the target's scope ends (the parent block for pins, the device for cells,
// the file for nets and cells named by blocks). Block paths of shapes and
// relocation groups are resolved at the end. Signal pin lists and network
// signal lists are laid out after reading from counts kept while resolving.
//
// A stop test that answers true ends the load with Pds_Exception "<file>:
// reading cancelled" within one buffer fill or a few thousand objects.
//
// Any error throws Pds_Exception with the file position; of several errors
// the one reported is the first met reading the file in order (a deferred
// lookup is resolved before another error is let through). The partly
// built store is then freed with the loader. One thread uses a loader.
//
// A large file is read on two threads: a second loader, the part, reads
// the blocks from a boundary past the middle of an array of blocks to its
// end, on a thread of its own, while this one reads up to the boundary;
// reaching it, this one takes the part's objects over, numbered after its
// own, and reads on after the array (Pds_PahJsonSplit.h,
// Pds_PahJsonParallel.cpp). Its lists are then laid out on two threads
// (Pds_PahJsonFinish.cpp). The view and the error reported are those of
// a read on one thread.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "Pds_PahJsonReader.h"
#include "Xdm_ViewStore.h"

// The file's test hooks. The loader plays those that shape the view
// (no_device, shapes_unavailable, spare_ids); Pds_PahDesignLoader the rest.
struct Pds_PahFaults {
  enum Kind { kNone, kPds, kXcad, kXdm, kOther };
  // Kinds of object that "spare_ids" raises the view's maximum of.
  enum Ids { kBlocks, kNetworks, kPins, kSignals, kShapes, kIdKinds };
  Kind kind = kNone;
  std::string message = "fault injected by the design file";
  std::int64_t delayMs = 0;
  bool noDevice = false;
  bool shapesUnavailable = false;
  std::array<std::uint32_t, kIdKinds> spareIds{};
};

class Pds_PahJsonLoader {
 public:
  // `stop` is asked while reading and finishing; `progress` follows the
  // read (see Pds_PahJsonReader). Either may be null.
  explicit Pds_PahJsonLoader(const std::string& fileName,
                             Pds_PahJsonReader::StopTest stop = nullptr,
                             Pds_PahLoadProgress::Entry* progress = nullptr);
  ~Pds_PahJsonLoader();
  Pds_PahJsonLoader(const Pds_PahJsonLoader&) = delete;
  Pds_PahJsonLoader& operator=(const Pds_PahJsonLoader&) = delete;

  // Reads and checks the whole file; answers the store (without a view).
  std::unique_ptr<Xdm_ViewStore> Load();
  // Files with at least this many bytes after the top block's "blocks"
  // begin are read on two threads, and views of files of this size at
  // least are laid out on two; UINT64_MAX keeps every load on one.
  // The default is kSplitMinimum, or never when the environment variable
  // NCD_PARALLEL_LOAD is "off". For any thread; loads started later see it.
  static void SetSplitMinimum(std::uint64_t bytes);
  static std::uint64_t SplitMinimum();
  static constexpr std::uint64_t kSplitMinimum = std::uint64_t{16} << 20;
  // How many loads in this process reached the part a second thread read
  // (and took it over, or failed for an error in it).
  static std::uint64_t SplitCount();
  // How the second thread's work is cut (for tests): it starts `share` of
  // the way from the loading thread to the file's end, and once done takes
  // over runs of at least `leastTakeover` bytes before that while the
  // loading thread is still short of them. A run of a megabyte takes a few
  // milliseconds: less is not worth a store of its own. `pause` slows the
  // loading thread down by as much at each element of the split array, so
  // that the second thread is done first. PartCount: the parts, such runs
  // and first parts, taken over.
  static void SetPartShape(double share, std::uint64_t leastTakeover,
                           std::chrono::microseconds pause = {});
  static constexpr double kPartShare = 0.6;
  static constexpr std::uint64_t kLeastTakeover = std::uint64_t{1} << 20;
  static std::uint64_t PartCount();
  const Pds_PahFaults& Faults() const { return m_faults; }
  // Asks the stop test every kPollEvery steps of a long loop; on the
  // thread that lays out lists beside the loading thread, whether the
  // loading thread gave up on it.
  static constexpr std::size_t kPollEvery = 4096;
  void Poll(std::size_t step) const {
    if (step % kPollEvery == 0) PollStop();
  }
  void PollStop() const;

  // A key of an object kind and what reading its value does.
  template <class Ctx>
  struct Rule {
    std::string_view key;
    bool required;
    void (*read)(Pds_PahJsonLoader&, Ctx&);
  };

 private:
  struct Named {  // a name read from the file, and where
    std::string text;
    std::uint64_t offset = 0;
    bool present = false;
  };
  // A reference that waits for its target's scope to end.
  struct Pending {
    std::uint32_t id;     // object bridge id (or cell index)
    std::uint32_t which;  // what refers: 0 signal, 1 child signal (pins)
    std::uint32_t begin;  // name in the owner's name buffer
    std::uint32_t length;
    std::uint64_t offset;  // of the name in the file
  };
  struct PendingList {
    Xdm_LargeArray<Pending> items;
    std::string names;
    void Add(std::uint32_t id, std::uint32_t which, std::string_view name, std::uint64_t offset);
    std::string_view NameOf(const Pending& p) const { return {names.data() + p.begin, p.length}; }
    void Clear() {
      items.clear();
      names.clear();
    }
  };
  // Name to bridge id. Ids rather than objects, so that resolving a
  // reference reads nothing but the index; kept in the Xdm_NameIndex as
  // id + 1, which no id turns into the null that means "absent".
  class IdIndex {
   public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    bool Insert(std::string_view name, std::uint32_t id) { return m_names.Insert(name, Value(id)); }
    void Reserve(std::size_t names) { m_names.Reserve(names); }
    std::uint32_t Find(std::string_view name) const { return IdOf(m_names.Find(name)); }
    const Xdm_NameIndex& Names() const { return m_names; }
    void Clear() { m_names.Clear(); }
    // The id a value of Names() stands for (kNone for null).
    static std::uint32_t IdOf(const void* value) {
      return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(value) - 1);
    }

   private:
    static void* Value(std::uint32_t id) { return reinterpret_cast<void*>(std::uintptr_t{id} + 1); }
    Xdm_NameIndex m_names;
  };
  struct BlockFrame;
  struct Split;
  struct PartRead;
  // A block the part read as a child of the split array's owner.
  struct PartChild {
    Xdm_Block* block;
    std::string_view name;
    std::uint64_t nameOffset;
    std::uint64_t end;  // where its object ends: its name is checked there
  };
  // A reference to look up in a large index, held back in m_deferred.
  struct Deferred {
    // kNetName enters a net's name in the index (and checks that it is new).
    enum Kind : std::uint8_t { kNetName, kNet, kSite, kSignal, kChildSignal };
    Kind kind = kNet;
    std::uint32_t id = 0;         // the net named, or the signal, block or pin that refers
    BlockFrame* frame = nullptr;  // the block whose signals a pin names
    std::uint64_t hash = 0;
    std::uint64_t offset = 0;
    std::string name;
  };
  static constexpr std::size_t kDeferredDepth = 32;
  static constexpr std::int64_t kMaxSpareIds = 1 << 20;
  struct BlockCtx;
  struct PinCtx;
  struct SignalCtx;
  struct NetCtx;
  struct DeviceCtx;
  struct CellTypeCtx;
  struct ModeDefCtx;
  struct CellCtx;
  struct ShapeCtx;
  struct GroupCtx;
  struct RootCtx;
  struct PathRef;

  // The keys of the large object kinds, and of mode definitions (cell
  // types and blocks have them).
  static const Rule<BlockCtx> kBlockRules[17];
  static const Rule<PinCtx> kPinRules[10];
  static const Rule<NetCtx> kNetRules[8];

  template <class Ctx, std::size_t N>
  void ReadMembers(const Rule<Ctx> (&rules)[N], Ctx& ctx, const char* label, const char* kind);
  static bool SameKey(std::string_view a, std::string_view b);
  static std::string Quote(std::string_view text) { return Pds_PahJsonReader::Quote(text); }
  template <class Ctx, std::size_t N>
  static std::size_t FindRule(const Rule<Ctx> (&rules)[N], std::string_view key, std::size_t from);
  // Answers the offset of the '['.
  template <class Fn>
  std::uint64_t ForEach(const char* label, Fn each);

  // Values
  std::string_view ReadName(const char* label);
  void ReadNamed(const char* label, Named& into);
  int ReadChoice(const char* label, std::initializer_list<std::string_view> choices);
  std::int32_t ReadInt32(const char* label);
  Xdm_Slice ReadStringMap(const char* label, const char* kind);
  Xdm_Slice ReadNameList(const char* label, std::uint64_t& start);
  void ReadPaths(const char* label, std::vector<Named>& into);
  // Answers the offset of the '['.
  std::uint64_t ReadModeDefs(const char* label, std::vector<ModeDefCtx>& into);
  // Gives `usage` the modes read; `owner` names the cell type or block for
  // a duplicate's message.
  void AddModeDefs(Rf_UsageDef& usage, const std::vector<ModeDefCtx>& modes,
                   Xdm_StringArena& strings, const std::string& owner);
  // A copy owned by the store.
  std::string_view Copy(std::string_view text);
  // The store's one copy of a pin name (see the pin's "name" rule).
  std::string_view Intern(std::string_view name);
  Pds_PdlBlock* TypeBlock(std::string_view name);
  Xdm_BlockExtra& Extra(Xdm_Block& block);

  // Reading on two threads (Pds_PahJsonParallel.cpp)
  // The part that reads from `point` on, in the file `whole` reads.
  Pds_PahJsonLoader(const Pds_PahJsonLoader& whole, const Split& split,
                    Pds_PahJsonReader::StopTest stop, std::uint64_t progressBefore);
  static constexpr std::uint64_t kEarlyScan = std::uint64_t{512} << 10;
  void StartSplitScan(bool offering);
  void ReserveNets();
  static void* RunPart(void* split);
  static bool FindPartBoundary(Split& split);
  static void ReadParts(Split& split);
  static bool ClaimEarlier(Split& split, std::uint64_t& from, std::uint64_t& to);
  void ReadPart(Split& split, PartRead& read);
  void ResolveParentRefs(Split& split, PartRead& read);
  void ReadBlockList(BlockFrame& frame, std::uint32_t depth);
  void OfferSplit(std::uint64_t array, std::uint32_t depth);
  bool PublishOwner(BlockFrame& frame, std::uint32_t depth);
  void AwaitSplitPoint();
  enum Arrival { kBeforeParts, kAtParts, kPastParts };
  Arrival ArriveAt(std::uint64_t at);
  bool JoinSplit(BlockFrame& frame);
  void CheckPart(const PartRead& read, BlockFrame& frame);
  void AdoptPart(Pds_PahJsonLoader& part, BlockFrame& frame);
  void AdoptPartObjects(Pds_PahJsonLoader& part, const Xdm_Block* standIn, Xdm_Block* owner);
  void AddChild(BlockFrame& parent, Xdm_Block* block, std::string_view name, std::uint64_t offset);

  // Object kinds
  void ReadDesignInfo();
  void ReadDevice();
  void ReadCellType();
  void ReadCell(DeviceCtx& device);
  void ReadRegionBounds(DeviceCtx& device);
  void ApplyRegionBounds(const DeviceCtx& device);
  void ReadNet();
  void ReadBlock(BlockFrame* parent, std::uint32_t depth);
  void ReadSignal(BlockFrame& frame);
  void ReadPin(BlockFrame& own, BlockFrame* parent);
  void ReadIo(Xdm_Block& block);
  void ReadBlockModeDefs(BlockFrame& frame);
  void ReadShape();
  void ReadGroup();
  void ReadFaults();
  void ReadSpareIds();

  // Completion
  BlockFrame& Frame(std::uint32_t depth);
  void EndBlock(BlockFrame& frame);
  void BuildChildLists();
  void ResolveSignalRefs(BlockFrame& frame);
  void ResolvePinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which,
                        std::string_view name, std::uint64_t offset, bool mayWait);
  void LinkPinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which,
                     std::string_view name, std::uint64_t offset);
  void SetPinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which, std::uint32_t signal,
                    std::string_view name, std::uint64_t offset);
  void SetSignalNet(std::uint32_t signal, std::uint32_t net);
  void ResolveSignalNet(std::uint32_t signal, std::string_view name, std::uint64_t offset,
                        bool mayWait);
  void Defer(Deferred::Kind kind, std::uint32_t id, BlockFrame* frame, const Xdm_NameIndex& index,
             std::string_view name, std::uint64_t offset);
  void Resolve(const Deferred& ref);
  void ResolveOne(const Deferred& ref);
  [[noreturn]] void FailDeferred(const Deferred& ref, const char* cause);
  void ResolveDeferred(std::size_t before = SIZE_MAX);
  void PlaceBlock(Xdm_Block& block, std::string_view site, std::uint64_t offset, bool mayWait);
  void ResolveCells(const PendingList& waiting);
  template <class Fn>
  void ResolveWaiting(PendingList& waiting, Fn resolve);
  void ResolveWaitingNets();
  void ResolveWaitingSites();
  void Finish();
  bool OnTwoThreads() const;  // whether the lists are laid out on two
  void NameBlockCellDefs();
  void ApplyViewFaults();
  void BuildSignalPins();
  void BuildNetworkSignals();
  void BuildRugs();
  using ChildIndexes = std::unordered_map<const Xdm_Block*, Xdm_NameIndex>;
  void ResolvePaths();
  Xdm_Block* FindPath(std::string_view path, ChildIndexes& indexes);
  Xdm_Block* FindChild(const Xdm_Block* block, std::string_view name, ChildIndexes& indexes);
  void FindDrivers(std::size_t from, std::size_t to, Xdm_LargeArray<std::uint64_t>& driver) const;
  static Xdm_Pin* FirstPin(const Xdm_Network* net);
  std::string PathText(const Xdm_Block* block) const;

  Pds_PahJsonReader m_in;
  std::unique_ptr<Xdm_ViewStore> m_store;
  Rf_DeviceData* m_device = nullptr;
  Pds_PahFaults m_faults;

  std::vector<std::unique_ptr<BlockFrame>> m_frames;  // one per depth, reused
  std::unique_ptr<NetCtx> m_net;                      // reused: its name keeps its buffer
  Xdm_NameIndex m_pinNames;                           // pin names of typed blocks
  Xdm_NameIndex m_typeNames;                          // type name -> Pds_PdlBlock
  IdIndex m_netIndex;                                 // net name -> network id
  Xdm_NameIndex m_shapeNames;
  Xdm_NameIndex m_scratch;    // names of one small object (modes, gcd)
  PendingList m_waitingNets;  // signal -> net, when nets come after the signal
  // Signal -> net and pin -> signal lookups in large indexes: a ring whose
  // oldest entry is resolved when a new one needs its slot, and those up
  // to the last that names a frame at the end of each block. The pending
  // ones are the last before m_deferredNext.
  std::array<Deferred, kDeferredDepth> m_deferred;
  std::size_t m_deferredNext = 0;  // the slot to fill next
  std::size_t m_deferredPending = 0;
  std::size_t m_framedEnd = 0;  // m_deferredNext past the last lookup naming a frame
  PendingList m_waitingSites;   // block -> cell, when the device comes after the block
  std::vector<PathRef> m_paths;
  std::vector<std::uint32_t> m_blocksWithModeDefs;  // bridge ids
  std::uint64_t m_noDeviceOffset = 0;
  // Counted as references are resolved, for laying out the lists at the
  // end without another pass over the pins and signals: per signal, the
  // pins naming it and its net's id (or kNone; the view keeps these,
  // Xdm_View::GetSignalNetworkIds); per net, its signals.
  Xdm_LargeArray<std::uint32_t> m_signalPins;
  Xdm_LargeArray<std::uint32_t> m_signalNet;
  Xdm_LargeArray<std::uint32_t> m_netSignals;
  bool m_netsRead = false;
  bool m_deviceRead = false;
  bool m_topRead = false;
  // The nets a signal may name: this loader's, or the whole file's for a part.
  const IdIndex* m_nets = &m_netIndex;
  bool m_resolving = false;  // in Resolve: a failure counts from its offset
  // Reading on two threads. This loader's: the part's thread, until it is
  // taken over or given up (before m_frames goes: it reads one of them).
  bool m_splitOffered = false;
  struct SplitEnd {  // gives the part up: stops and joins its thread
    void operator()(Split* split) const;
  };
  std::unique_ptr<Split, SplitEnd> m_split;
  // A part's: the blocks above it (names for messages), the frame of the
  // one whose array it reads, the references of its blocks' pins to that
  // block's signals, and its children.
  Xdm_ObjectArena<XCad_CadBlock> m_standIns;
  std::unique_ptr<BlockFrame> m_partOwner;
  PendingList m_parentRefs;
  std::vector<std::uint32_t> m_parentRefIds;  // the signals found, once resolved
  std::vector<PartChild> m_partChildren;
  std::uint64_t m_partEnd = 0;  // the offset of the array's ']'
};

// ---- per-object state (defined here so the loader's sources share it)

struct Pds_PahJsonLoader::BlockFrame {
  void Reset(XCad_CadBlock* newBlock, BlockFrame* newParent);

  XCad_CadBlock* block = nullptr;
  BlockFrame* parent = nullptr;
  std::string_view name;  // the block's own copy
  std::uint64_t nameOffset = 0;
  std::uint64_t levelOffset = 0;
  std::uint64_t gcdInvalidOffset = 0;  // nonzero when "gcd_invalid" was read
  std::uint64_t modeDefsOffset = 0;    // nonzero when "mode_defs" was read
  bool signalsRead = false;
  bool siteRead = false;
  // A part's stand-in for the owner of its array: its signals are the
  // whole file's, resolved once it publishes them.
  bool external = false;
  IdIndex signals;
  Xdm_NameIndex pins;
  Xdm_NameIndex children;
  PendingList waiting;  // pins' references to this block's signals
};

struct Pds_PahJsonLoader::BlockCtx {
  BlockFrame& frame;
  std::uint32_t depth;
};

struct Pds_PahJsonLoader::PinCtx {
  XCad_CadPin* pin = nullptr;
  std::uint32_t id = 0;  // its bridge id (in a part, the part's)
  BlockFrame* own = nullptr;
  BlockFrame* parent = nullptr;
  std::string_view name;  // the pin's own (interned) copy
  std::uint64_t nameOffset = 0;
  std::uint8_t flags = 0;
  bool loadSet = false;
  bool load = false;
  bool delaySet = false;
  bool delayTypeSet = false;
  std::int32_t delay = 0;
  std::uint8_t delayType = 2;
};

struct Pds_PahJsonLoader::SignalCtx {
  Xdm_Signal* signal = nullptr;
  std::uint32_t id = 0;
  std::string_view name;  // the signal's own copy
  std::uint64_t nameOffset = 0;
};

struct Pds_PahJsonLoader::NetCtx {
  Named name;
  std::uint64_t masterOffset = 0;
  std::uint8_t type = 2;
  std::uint8_t route = 0;
  bool master = false;
  bool routable = true;
  bool routableSet = false;
  bool delaySet = false;
  bool delayTypeSet = false;
  std::int32_t delay = 0;
  std::int32_t delayMin = 0;
  std::uint8_t delayType = 2;
};

struct Pds_PahJsonLoader::CellCtx {
  Named name;
  Named type;
  Named region;
  Named regionText;  // may be empty
  Named tile;
  Named packagePin;
  Named bank;
  std::int64_t x = -1, y = -1;  // -1: not given
  std::uint64_t xOffset = 0, yOffset = 0;
};

struct Pds_PahJsonLoader::DeviceCtx {
  CellCtx cell;  // reused: its names keep their buffers
  // "clock_region_bounds", applied once every region is declared.
  struct Bounds {
    Named region;
    std::int64_t corner[4] = {-1, -1, -1, -1};  // x_min, y_min, x_max, y_max
  };
  std::vector<Bounds> bounds;
  // Cell types (which 0) and clock regions (which 1) not declared yet when
  // a cell named them.
  PendingList waiting;
};

struct Pds_PahJsonLoader::ModeDefCtx {
  Named name;
  bool isString = false;
  bool hidden = false;
  bool valid = true;
};

struct Pds_PahJsonLoader::CellTypeCtx {
  Named name;
  std::vector<ModeDefCtx> modes;
};

struct Pds_PahJsonLoader::ShapeCtx {
  Named name;
  Named reference;
  std::vector<Named> members;
  bool user = false;
  bool unavailable = false;
};

struct Pds_PahJsonLoader::GroupCtx {
  Named reference;
  std::vector<Named> members;
};

struct Pds_PahJsonLoader::RootCtx {};

// A block path to resolve at the end, and the slot it fills.
struct Pds_PahJsonLoader::PathRef {
  Named path;
  Xdm_Block** slot = nullptr;         // shape reference or member
  XCad_RhoNode* groupNode = nullptr;  // set for relocation group members
};

// ---- the two walks every object kind uses

// Keys are a few bytes long: comparing them in place beats calling memcmp.
inline bool Pds_PahJsonLoader::SameKey(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

// The index of the rule for `key`, N for none. The search starts at `from`
// and wraps around: writers tend to list the keys of every object of a kind
// in one order, so the rule after the one matched last is usually the one.
template <class Ctx, std::size_t N>
std::size_t Pds_PahJsonLoader::FindRule(const Rule<Ctx> (&rules)[N], std::string_view key,
                                        std::size_t from) {
  for (std::size_t tried = 0, i = from; tried < N; ++tried, i = i + 1 == N ? 0 : i + 1) {
    if (SameKey(rules[i].key, key)) return i;
  }
  return N;
}

template <class Ctx, std::size_t N>
void Pds_PahJsonLoader::ReadMembers(const Rule<Ctx> (&rules)[N], Ctx& ctx, const char* label,
                                    const char* kind) {
  static_assert(N <= 32, "a seen-mask bit per key");
  const std::uint64_t start = m_in.BeginObject(label);
  std::uint32_t seen = 0;
  std::size_t next = 0;
  while (m_in.NextMember()) {
    const std::string_view key = m_in.Key();
    const std::size_t i = FindRule(rules, key, next);
    if (i == N) m_in.Fail(m_in.KeyOffset(), "unknown key " + Quote(key) + " in " + kind);
    if (seen & (1u << i)) {
      m_in.Fail(m_in.KeyOffset(), "duplicate key " + Quote(key) + " in " + kind);
    }
    seen |= 1u << i;
    next = i + 1 == N ? 0 : i + 1;
    rules[i].read(*this, ctx);
  }
  for (std::size_t i = 0; i < N; ++i) {
    if (rules[i].required && !(seen & (1u << i))) {
      m_in.Fail(start, "missing required key '" + std::string(rules[i].key) + "' in " + kind);
    }
  }
}

template <class Fn>
std::uint64_t Pds_PahJsonLoader::ForEach(const char* label, Fn each) {
  const std::uint64_t start = m_in.BeginArray(label);
  while (m_in.NextElement())
    each();
  return start;
}
