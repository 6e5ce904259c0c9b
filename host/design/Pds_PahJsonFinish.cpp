// The design loader: what happens once the whole file has been read.
#include "PM_PIC.h"
#include "Pds_Exception.h"
#include "Pds_PahBeside.h"
#include "Pds_PahJsonLoader.h"
#include "Port_Thr.h"

namespace {
using A = Xdm_Access;
using S = Pds_PahJsonLoader;

constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint64_t kNoKey = ~std::uint64_t{0};
constexpr std::size_t kLinearChildren = 16;
constexpr std::size_t kFetchAhead = 8;

// Turns per-owner counts into slices of one pool (owners in id order) and
// leaves in `cursor` where each owner's next entry goes.
template <class Owners, class Slot>
std::size_t LayOut(const S& loader, const Owners& owners, Xdm_LargeArray<std::uint32_t>& cursor,
                   Slot slot) {
  std::uint32_t next = 0;
  for (std::size_t i = 0; i < owners.size(); ++i) {
    loader.Poll(i);
    const std::uint32_t count = cursor[i];
    slot(*owners[i]) = Xdm_Slice{next, count};
    cursor[i] = next;
    next += count;
  }
  return next;
}

template <class Base, class T>
void Fill(const S& loader, std::vector<Base*>& table, const Xdm_ObjectArena<T>& arena) {
  table.resize(arena.Size());
  for (std::size_t i = 0; i < table.size(); ++i) {
    loader.Poll(i);
    table[i] = arena.At(i);
  }
}

template <class Base, class T>
void Fill(const S&, Xdm_ObjectIndex<Base>& index, const Xdm_ObjectArena<T>& arena) {
  index.Build(arena.Size(), arena.Size(), [&](auto row) { arena.ForEachRow(row); });
}

}  // namespace

bool S::OnTwoThreads() const {
  return m_in.FileSize() >= SplitMinimum();
}

void S::PollStop() const {
  if (!Pds_PahBeside::OnItsThread()) {
    m_in.PollStop();
  } else if (Port_ThrThread::cancelRequested()) {
    throw Pds_Exception("Pds_PahJsonLoader", __LINE__, "layout abandoned");
  }
}

// Every step polls the stop test: on a design of a million blocks each
// takes a good part of a second. A large file's signal pin lists (the
// largest of the lists, built from the pins' arena), network table and
// network signal lists are built on a second thread: they share nothing
// with the other steps but the signal table, filled first. The loader
// numbers objects in the order it makes them, so the arenas hold them in
// bridge-id order.
void S::Finish() {
  ResolveWaitingNets();
  ResolveWaitingSites();
  // Every name is resolved: the reading indexes make room for the lists.
  m_netIndex.Clear();
  m_pinNames.Clear();
  m_frames.clear();
  m_device->partName = m_store->m_partName;
  m_device->pic = std::make_unique<PM_PIC>(m_device->partName);
  Fill(*this, m_store->m_signalTable, m_store->m_signals);
  // A block's signals are a run of signal ids, as its pins are of pin ids,
  // and the nets' list is the network table: both are read from the tables
  // until an editor changes them (Xdm_ViewStore::BlockSignalPool).
  Pds_PahBeside lists(OnTwoThreads(), [this] {
    BuildSignalPins();
    Fill(*this, m_store->m_networkTable, m_store->m_networks);
    BuildNetworkSignals();
  });
  Fill(*this, m_store->m_pinTable, m_store->m_pins);
  Fill(*this, m_store->m_blockTable, m_store->m_blocks);
  BuildChildLists();
  ResolvePaths();
  lists.Join([this] { m_in.PollStop(); });
  BuildRugs();
  NameBlockCellDefs();
  ApplyViewFaults();
}

// A block's own cell definition is named after the type of its cell.
void S::NameBlockCellDefs() {
  for (std::uint32_t id : m_blocksWithModeDefs) {
    const Xdm_BlockFields& f = A::F(*m_store->m_blocks.At(id));
    const Rf_CellDef* type = m_device->cells.At(f.site - 1)->def;
    A::Name(*f.extra->cellDef) = type->GetName();
  }
}

// Runs last: the tables may end in null slots, which the steps before
// would not expect.
void S::ApplyViewFaults() {
  using F = Pds_PahFaults;
  if (m_faults.noDevice) {
    m_store->m_device.reset();
    m_device = nullptr;
  }
  if (m_faults.shapesUnavailable) m_store->m_shapesAvailable = false;
  const auto& spare = m_faults.spareIds;
  auto grow = [](auto& table, std::uint32_t more) { table.resize(table.size() + more, nullptr); };
  grow(m_store->m_blockTable, spare[F::kBlocks]);
  grow(m_store->m_networkTable, spare[F::kNetworks]);
  m_store->m_pinTable.AddSpare(spare[F::kPins]);
  m_store->m_signalTable.AddSpare(spare[F::kSignals]);
  m_store->m_signalNetworkIds.Resize(m_store->m_signalTable.size(), Xdm_BridgeId::kNone);
  grow(m_store->m_holderTable, spare[F::kShapes]);
}

// Children in id order are children in file order.
void S::BuildChildLists() {
  const auto& blocks = m_store->m_blockTable;
  Xdm_LargeArray<std::uint32_t> cursor(blocks.size(), 0);
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    Poll(i);
    if (const Xdm_Block* parent = blocks[i]->GetParent()) ++cursor[A::F(*parent).bridgeId];
  }
  m_store->m_childPool.Assign(
      LayOut(*this, blocks, cursor, [](Xdm_Block& b) -> Xdm_Slice& { return A::F(b).children; }),
      kNone);
  std::uint32_t* pool = m_store->m_childPool.Edit();
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    Poll(i);
    if (const Xdm_Block* parent = blocks[i]->GetParent())
      pool[cursor[A::F(*parent).bridgeId]++] = static_cast<std::uint32_t>(i);
  }
}

// Each signal's pins: those naming it as signal or child signal, pin order.
// SetPinSignal counted them.
void S::BuildSignalPins() {
  Xdm_LargeArray<std::uint32_t>& cursor = m_signalPins;
  m_store->m_signalPinPool.Assign(LayOut(*this, m_store->m_signalTable, cursor,
                                         [](Xdm_Signal& s) -> Xdm_Slice& { return A::F(s).pins; }),
                                  kNone);
  std::uint32_t* pool = m_store->m_signalPinPool.Edit();
  const auto& pins = m_store->m_pins;  // the table is filled beside this
  for (std::size_t i = 0; i < pins.Size(); ++i) {
    Poll(i);
    const Xdm_PinFields& f = A::F(*pins.At(i));
    const auto id = static_cast<std::uint32_t>(i);
    if (f.signal != kNone) pool[cursor[f.signal]++] = id;
    if (f.childSignal != kNone) pool[cursor[f.childSignal]++] = id;
  }
  Xdm_LargeArray<std::uint32_t>().swap(m_signalPins);
}

// Each network's signals, in signal order. SetSignalNet counted them and
// noted each signal's network id.
void S::BuildNetworkSignals() {
  const std::size_t signals = m_store->m_signalTable.size();
  Xdm_LargeArray<std::uint32_t>& cursor = m_netSignals;
  m_store->m_netSignalPool.Assign(
      LayOut(*this, m_store->m_networkTable, cursor,
             [](Xdm_Network& n) -> Xdm_Slice& { return A::F(n).signals; }),
      kNone);
  std::uint32_t* pool = m_store->m_netSignalPool.Edit();
  for (std::size_t i = 0; i < signals; ++i) {
    Poll(i);
    if (m_signalNet[i] != kNone) pool[cursor[m_signalNet[i]]++] = static_cast<std::uint32_t>(i);
  }
  m_store->m_signalNetworkIds.Assign(std::move(m_signalNet));
  m_signalNet.clear();
  Xdm_LargeArray<std::uint32_t>().swap(m_netSignals);
}

// A net's driver is the first pin in the order of its lists (its signals
// in id order, each signal's pins in id order) that is not a load: the pin
// of the least key (signal id, pin id). One pass over pins [from, to) in id
// order finds it for every net (kNoKey for none), reading the pins where
// they lie rather than each net's lists, which lie all over a large view.
void S::FindDrivers(std::size_t from, std::size_t to, Xdm_LargeArray<std::uint64_t>& driver) const {
  const auto& pins = m_store->m_pins;
  const Xdm_IdPool& netOf = m_store->m_signalNetworkIds;
  driver.assign(m_store->m_networkTable.size(), kNoKey);
  for (std::size_t i = from; i < to; ++i) {
    Poll(i - from);
    const Xdm_PinFields& f = A::F(*pins.At(i));
    if (f.flags & Xdm_PinFields::kLoad) continue;
    for (const std::uint32_t signal : {f.signal, f.childSignal}) {
      if (signal == kNone || netOf[signal] == kNone) continue;
      std::uint64_t& least = driver[netOf[signal]];
      least = std::min(least, std::uint64_t{signal} << 32 | i);
    }
  }
}

// A net whose pins are all loads is driven by its first.
Xdm_Pin* S::FirstPin(const Xdm_Network* net) {
  for (const Xdm_Signal* signal : net->GetSignalItr()) {
    if (Xdm_Pin* pin = signal->GetPinItr().Current()) return pin;
  }
  return nullptr;
}

// The pins are read in two halves, on two threads for a large file.
void S::BuildRugs() {
  enum { kFull = 1, kPartial = 2, kUnrouted = 3 };
  const auto& nets = m_store->m_networkTable;
  const std::size_t half = m_store->m_pinTable.size() / 2;
  Xdm_LargeArray<std::uint64_t> driver, secondDriver;
  Pds_PahBeside second(OnTwoThreads(),
                       [&] { FindDrivers(half, m_store->m_pinTable.size(), secondDriver); });
  FindDrivers(0, half, driver);
  second.Join([this] { m_in.PollStop(); });
  for (std::size_t i = 0; i < nets.size(); ++i) {
    Poll(i);
    Xdm_Network* net = nets[i];
    Xdm_NetworkFields& f = A::F(*net);
    if (f.route == 0) continue;
    XCad_RMedRug* rug = m_store->m_rugs.Create();
    A::Network(*rug) = static_cast<XCad_CadNetwork*>(net);
    A::Full(*rug) = f.route == kFull;
    XCad_RMedRugNode* node = m_store->m_rugNodes.Create();
    A::First(*rug) = node;
    if (f.route != kUnrouted) {
      const std::uint64_t key = std::min(driver[i], secondDriver[i]);
      A::Driver(*node) = key != kNoKey ? m_store->m_pinTable[key & kNone] : FirstPin(net);
    }
    if (f.route == kPartial) A::Next(*node) = m_store->m_rugNodes.Create();
    f.rug = rug;
  }
}

Xdm_Block* S::FindChild(const Xdm_Block* block, std::string_view name, ChildIndexes& indexes) {
  const Xdm_Range<Xdm_Block> children = block->GetBlocks();
  if (children.size() <= kLinearChildren) {
    for (Xdm_Block* child : children) {
      if (name == child->GetName()) return child;
    }
    return nullptr;
  }
  auto [entry, made] = indexes.try_emplace(block);
  if (made) {
    // A large block's children lie far apart, each past its own subtree:
    // each child is fetched well ahead, and its name a little later.
    const std::size_t count = children.size();
    entry->second.Reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
      if (i + 2 * kFetchAhead < count) __builtin_prefetch(children[i + 2 * kFetchAhead]);
      if (i + kFetchAhead < count) __builtin_prefetch(children[i + kFetchAhead]->GetName());
      entry->second.Insert(children[i]->GetName(), children[i]);
    }
  }
  return static_cast<Xdm_Block*>(entry->second.Find(name));
}

Xdm_Block* S::FindPath(std::string_view path, ChildIndexes& indexes) {
  Xdm_Block* block = m_store->m_top;
  while (block != nullptr && !path.empty()) {
    const std::size_t slash = path.find('/');
    block = FindChild(block, path.substr(0, slash), indexes);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
    if (path.empty()) return nullptr;  // a trailing '/'
  }
  return block;
}

void S::ResolvePaths() {
  ChildIndexes indexes;
  for (std::size_t i = 0; i < m_paths.size(); ++i) {
    Poll(i);
    const PathRef& ref = m_paths[i];
    Xdm_Block* block = FindPath(ref.path.text, indexes);
    if (block == nullptr) m_in.Fail(ref.path.offset, "unknown block path " + Quote(ref.path.text));
    if (ref.slot != nullptr) {
      *ref.slot = block;
    } else if (!m_store->m_rho.emplace(block, ref.groupNode).second) {
      m_in.Fail(ref.path.offset, "block " + Quote(ref.path.text) + " is in two relocation groups");
    }
  }
}
