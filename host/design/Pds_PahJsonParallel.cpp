// The design loader on two threads: offering a part of a large file to a
// second thread, reading that part, and taking its objects over.
//
// The part's thread starts with the load. While the loading thread reads
// the device and the nets, it scans the file for the top's blocks and
// then for its boundary (Pds_PahJsonSplit.h). Once the loading thread,
// reaching the same array, offers the part, it reads the blocks from the
// boundary to the end of their array into a store of its own. It shares,
// read-only, what the loading thread has finished before offering the
// part: the device and the nets. The signals of the array's owner, which
// its pins may name, it looks up once the loading thread has published
// that block's frame (which it does from inside the array, where the
// frame no longer changes). The loading thread, on reaching the boundary,
// waits for the part, checks what only the whole file can tell (its
// children's names against the owner's others, the owner's signals
// named), then numbers the part's objects after its own and adopts their
// memory. A part's thread done first goes on with runs of the elements
// before its boundary, back towards the loading thread, each a part of
// its own, so that neither thread waits long for the other; the loading
// thread takes them all over, in file order, where it meets the first.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>

#include "Pds_Exception.h"
#include "Pds_PahBeside.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahJsonSplit.h"
#include "Port_Memory.h"
#include "Port_Thr.h"

namespace {
using A = Xdm_Access;
using S = Pds_PahJsonLoader;

constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();
constexpr std::uint32_t kNone = 0xFFFFFFFFu;
constexpr std::uint64_t kLeastNetBytes = 13;  // {"name":"n"},

std::uint64_t MinimumFromEnvironment() {
  const char* value = std::getenv("NCD_PARALLEL_LOAD");
  return value != nullptr && std::strcmp(value, "off") == 0 ? kNever : S::kSplitMinimum;
}

std::atomic<std::uint64_t> g_minimum{MinimumFromEnvironment()};
std::atomic<std::uint64_t> g_splits{0};
std::atomic<std::uint64_t> g_parts{0};
std::atomic<double> g_share{S::kPartShare};
std::atomic<std::uint64_t> g_leastTakeover{S::kLeastTakeover};
std::atomic<std::int64_t> g_pauseMicros{0};

}  // namespace

void S::SetSplitMinimum(std::uint64_t bytes) {
  g_minimum.store(bytes);
}
std::uint64_t S::SplitMinimum() {
  return g_minimum.load();
}
void S::SetPartShape(double share, std::uint64_t leastTakeover, std::chrono::microseconds pause) {
  g_share.store(share);
  g_leastTakeover.store(leastTakeover);
  g_pauseMicros.store(pause.count());
}
std::uint64_t S::PartCount() {
  return g_parts.load();
}
std::uint64_t S::SplitCount() {
  return g_splits.load();
}

// One run of the split array's elements, read by the part's thread.
struct S::PartRead {
  std::uint64_t from = 0;     // its first element
  std::uint64_t to = kNever;  // the element after its last (kNever: the array's end)
  std::unique_ptr<S> part;
  std::exception_ptr error;
  // Where the part's error counts from in the file's order: a failed
  // deferred lookup from its name, any other failure from where it was met.
  std::uint64_t errorTime = kNever;
  std::size_t firstUnknownRef = kNever;  // in part->m_parentRefs
};

// What the two threads share. The loading thread writes `whole` and the
// scan's file and stop test before starting the part's thread, and
// `above` and `networks` before setting `offered`. The part's thread
// writes the rest of the scan before setting `stage` to kScanning,
// `point` (and adds to `above`) before setting it to kReading, and the
// parts before `done`; where the threads meet (`partsFrom`) is under `mutex`.
struct S::Split {
  enum Stage { kFinding, kScanning, kReading, kNoPart };

  ~Split() {
    abandon.store(true);
    if (thread) thread->join();
  }

  const S* whole = nullptr;
  Pds_PahJsonSplitScan scan;
  // The names of the blocks above the split array, the top's first: those
  // of the loading thread's frames when it offered the part, then (once
  // the scan has found the boundary) the scan's owners.
  std::vector<std::string> above;
  std::size_t networks = 0;
  // How many nets the scan counted in the file, when it has (0 before).
  std::atomic<std::uint64_t> netsSeen{0};

  std::atomic<bool> offered{false};
  std::atomic<int> stage{kFinding};
  Pds_PahJsonSplitPoint point;
  // The owner of the split array's frame, and whether its signals were
  // read by then (published once, by the loading thread).
  std::atomic<const BlockFrame*> owner{nullptr};
  bool ownerSignalsRead = false;
  std::atomic<bool> abandon{false};

  // Where the threads meet, under `mutex`: the start of the element the
  // loading thread reads (it takes no part from there on), the start of
  // the parts read so far, and whether the loading thread has reached it.
  std::mutex mutex;
  std::uint64_t loadingAt = 0;
  std::uint64_t partsFrom = kNever;
  bool joining = false;
  // The parts in the order the part's thread reads them: from the boundary
  // to the array's end, then each one before the last, back towards the
  // loading thread. None once they are lost.
  std::vector<PartRead> parts;
  std::atomic<bool> done{false};
  std::unique_ptr<Port_ThrThread> thread;
};

void S::SplitEnd::operator()(Split* split) const {
  delete split;
}

namespace {

thread_local const std::atomic<bool>* t_abandon = nullptr;
bool PartStopped() {
  return t_abandon != nullptr && t_abandon->load(std::memory_order_relaxed);
}

}  // namespace

// ---- the loading thread

// Makes room in the net index for the nets the scan counted, when it has
// counted them by now: the index then never grows (at a million blocks it
// would be rehashed fourteen times on the way, into ever larger tables).
void S::ReserveNets() {
  if (!m_split) return;
  const std::uint64_t nets = m_split->netsSeen.load(std::memory_order_acquire);
  if (nets > 0) m_netIndex.Reserve(nets);
}

// The blocks of `frame`'s block, at depth + 1.
void S::ReadBlockList(BlockFrame& frame, std::uint32_t depth) {
  const std::uint64_t array = m_in.BeginArray("'blocks'");
  if (!m_splitOffered) OfferSplit(array, depth + 1);
  while (m_in.NextElement()) {
    if (m_split) AwaitSplitPoint();
    if (m_split && m_split->stage.load(std::memory_order_acquire) == Split::kReading &&
        m_split->point.array == array &&
        (m_split->owner.load(std::memory_order_relaxed) != nullptr || PublishOwner(frame, depth))) {
      const Arrival arrival = ArriveAt(m_in.Tell());
      if (arrival == kAtParts && JoinSplit(frame)) continue;  // at the array's end
      if (arrival == kPastParts) m_split.reset();             // not a boundary of this array
    }
    ReadBlock(&frame, depth + 1);
  }
  // The part may read this frame: it ends here.
  if (m_split && m_split->owner.load(std::memory_order_relaxed) == &frame) m_split.reset();
}

// At the element of the split array starting at `at`: the parts start
// there, or later (the part's thread may still take this element on), or
// earlier, which is no boundary the scan saw.
S::Arrival S::ArriveAt(std::uint64_t at) {
  if (const std::int64_t pause = g_pauseMicros.load(std::memory_order_relaxed); pause > 0)
    std::this_thread::sleep_for(std::chrono::microseconds(pause));
  Split& split = *m_split;
  const std::lock_guard<std::mutex> guard(split.mutex);
  if (at == split.partsFrom) {
    split.joining = true;
    return kAtParts;
  }
  if (at > split.partsFrom) return kPastParts;
  split.loadingAt = at;
  return kBeforeParts;
}

// Past the scan's target, the boundary the part's thread picks may come
// at any element: the loading thread does not go on before it knows it
// (the scan is far quicker than the read, so this is seldom a wait).
void S::AwaitSplitPoint() {
  Split& split = *m_split;
  if (m_in.Tell() < split.scan.movingTarget.load(std::memory_order_relaxed)) return;
  int stage = Split::kScanning;
  Pds_PahAwait(
      [&] { return (stage = split.stage.load(std::memory_order_acquire)) != Split::kScanning; },
      [this] { m_in.PollStop(); });
  if (stage == Split::kNoPart) m_split.reset();
}

// Gives the part the frame of the owner of its array, once the array
// the part took for it proves to be this one: as deep, under blocks of the
// same names. False (the part given up) when it is not.
bool S::PublishOwner(BlockFrame& frame, std::uint32_t depth) {
  Split& split = *m_split;
  bool same = split.point.depth == depth + 1 && split.above.size() == depth + 1;
  for (std::uint32_t d = 0; same && d <= depth; ++d)
    same = split.above[d] == m_frames[d]->name;
  if (!same) {
    m_split.reset();
    return false;
  }
  split.ownerSignalsRead = frame.signalsRead;
  split.owner.store(&frame, std::memory_order_release);
  return true;
}

// A part is worth its thread only in a large file it can seek in. The
// scan starts with the load, to have found the boundary by the time the
// loading thread offers the part; in a file under kEarlyScan it starts
// when the part is offered (a thread costs more than that overlap saves,
// and a file refused before gets none).
void S::StartSplitScan(bool offering) {
  if (offering != (m_in.FileSize() < kEarlyScan)) return;
  if (!m_in.CanSeek() || m_in.FileSize() < SplitMinimum()) return;
  auto split = std::make_unique<Split>();
  split->whole = this;
  split->scan.fileName = m_in.FileName();
  split->scan.stop = &PartStopped;
  try {
    split->thread = std::make_unique<Port_ThrThread>(&S::RunPart, split.get());
  } catch (Port_ThrException::Exception) {
    return;  // one thread reads it all
  } catch (const std::bad_alloc&) {
    return;
  }
  m_split.reset(split.release());
}

// The part needs the nets and the device, which it shares, read before
// the top's blocks, and the scan's array to be this one.
void S::OfferSplit(std::uint64_t array, std::uint32_t depth) {
  m_splitOffered = true;
  if (m_netsRead && m_deviceRead) StartSplitScan(true);
  if (!m_split) return;
  Split& split = *m_split;
  int stage = Split::kFinding;
  Pds_PahAwait(
      [&] { return (stage = split.stage.load(std::memory_order_acquire)) != Split::kFinding; },
      [this] { m_in.PollStop(); });
  if (stage == Split::kNoPart || !m_netsRead || !m_deviceRead || split.scan.array != array) {
    m_split.reset();
    return;
  }
  for (std::uint32_t d = 0; d < depth; ++d)
    split.above.emplace_back(m_frames[d]->name);
  split.networks = m_store->m_networks.Size();
  split.offered.store(true, std::memory_order_release);
}

// Waits for the part (still answering a cancel), then takes it over and
// goes on at the end of its array. A part lost to anything but an error
// in the file (no memory, no thread, the file unreadable) is read here:
// false.
bool S::JoinSplit(BlockFrame& frame) {
  ResolveDeferred();  // the lookups before the part, while it may still run
  Split& split = *m_split;
  Pds_PahAwait([&] { return split.done.load(std::memory_order_acquire); },
               [this] { m_in.PollStop(); });
  split.thread->join();
  split.thread.reset();
  if (split.parts.empty()) {
    m_split.reset();
    return false;
  }
  g_splits.fetch_add(1);
  for (auto read = split.parts.rbegin(); read != split.parts.rend(); ++read) {
    g_parts.fetch_add(1);
    CheckPart(*read, frame);
    AdoptPart(*read->part, frame);
    read->part->m_in.KeepPartProgress();  // until this reader reads on past it
  }
  m_in.SeekTo(split.parts.front().part->m_partEnd);
  m_split.reset();
  // What the part's thread freed (its indexes and lists, tens of
  // megabytes for a large part) is given back before the lists are laid
  // out, which would otherwise take new memory beside it.
  Port::Memory::GiveBackFreed();
  return true;
}

// The part's first error and the checks of its children and their
// references to the owner's signals, in the order a read on one thread
// meets them: a reference as it is read, a child's name at its end.
void S::CheckPart(const PartRead& read, BlockFrame& frame) {
  const S& part = *read.part;
  std::uint64_t refTime = kNever;
  if (read.firstUnknownRef != kNever) {
    refTime = part.m_parentRefs.items[read.firstUnknownRef].offset;
  }
  auto failRef = [&] {
    const Pending& ref = part.m_parentRefs.items[read.firstUnknownRef];
    SetPinSignal(frame, kNone, ref.which, kNone, part.m_parentRefs.NameOf(ref), ref.offset);
  };
  for (const PartChild& child : part.m_partChildren) {
    if (refTime < child.end) failRef();
    AddChild(frame, child.block, child.name, child.nameOffset);
  }
  if (refTime < read.errorTime) failRef();
  if (read.error) std::rethrow_exception(read.error);
}

void S::AdoptPart(S& part, BlockFrame& frame) {
  Xdm_ViewStore& from = *part.m_store;
  const auto pinBase = static_cast<std::uint32_t>(m_store->m_pins.Size());
  AdoptPartObjects(part, part.m_partOwner->block, frame.block);
  // The objects' memory; their ids are now the next ones.
  m_store->m_blocks.Adopt(std::move(from.m_blocks));
  m_store->m_pins.Adopt(std::move(from.m_pins));
  m_store->m_signals.Adopt(std::move(from.m_signals));
  m_store->m_extras.Adopt(std::move(from.m_extras));
  m_store->m_ioData.Adopt(std::move(from.m_ioData));
  m_store->m_strings.Adopt(std::move(from.m_strings));
  m_store->m_blockCellDefs.reserve(m_store->m_blockCellDefs.size() + from.m_blockCellDefs.size());
  for (auto& def : from.m_blockCellDefs)
    m_store->m_blockCellDefs.push_back(std::move(def));
  // The references to the owner's signals: found, or waiting for them as
  // the owner's own pins' would.
  for (std::size_t i = 0; i < part.m_parentRefs.items.size(); ++i) {
    Poll(i);
    const Pending& ref = part.m_parentRefs.items[i];
    if (m_split->ownerSignalsRead) {
      SetPinSignal(frame, pinBase + ref.id, ref.which, part.m_parentRefIds[i], {}, ref.offset);
    } else {
      frame.waiting.Add(pinBase + ref.id, ref.which, part.m_parentRefs.NameOf(ref), ref.offset);
    }
  }
}

// Numbers the part's objects after this loader's, points them at this
// store, its block types and its pool of pairs, and adds up the counts
// kept for laying out the lists.
void S::AdoptPartObjects(S& part, const Xdm_Block* standIn, Xdm_Block* owner) {
  Xdm_ViewStore& from = *part.m_store;
  const auto blockBase = static_cast<std::uint32_t>(m_store->m_blocks.Size());
  const auto pinBase = static_cast<std::uint32_t>(m_store->m_pins.Size());
  const auto signalBase = static_cast<std::uint32_t>(m_store->m_signals.Size());
  const auto pairBase = static_cast<std::uint32_t>(m_store->m_pairs.size());
  // The pins, the most, beside the rest.
  Pds_PahBeside pins(OnTwoThreads(), [&] {
    for (std::size_t i = 0; i < from.m_pins.Size(); ++i) {
      Poll(i);
      Xdm_PinFields& f = A::F(*from.m_pins.At(i));
      if (f.signal != kNone) f.signal += signalBase;
      if (f.childSignal != kNone) f.childSignal += signalBase;
    }
  });
  std::unordered_map<const Pds_PdlBlock*, Pds_PdlBlock*> types;
  for (const auto& type : from.m_typeBlocks)
    types.emplace(type.get(), TypeBlock(type->GetTypeName()));
  for (std::size_t i = 0; i < from.m_blocks.Size(); ++i) {
    Poll(i);
    Xdm_BlockFields& f = A::F(*from.m_blocks.At(i));
    f.bridgeId += blockBase;
    f.store = m_store.get();
    if (f.parent == standIn) f.parent = owner;
    if (f.type != nullptr) f.type = types.at(f.type);
    f.signals.first += signalBase;
    f.pins.first += pinBase;
  }
  for (std::size_t i = 0; i < from.m_extras.Size(); ++i) {
    Xdm_BlockExtra& extra = *from.m_extras.At(i);
    extra.modes.first += pairBase;
    A::UsageData(extra.usage).first += pairBase;
    A::UsageInvalid(extra.usage).first += pairBase;
    if (extra.hasUsage) A::UsageStore(extra.usage) = m_store.get();
  }
  m_store->m_pairs.insert(m_store->m_pairs.end(), from.m_pairs.begin(), from.m_pairs.end());
  m_signalPins.insert(m_signalPins.end(), part.m_signalPins.begin(), part.m_signalPins.end());
  m_signalNet.insert(m_signalNet.end(), part.m_signalNet.begin(), part.m_signalNet.end());
  for (std::size_t i = 0; i < part.m_netSignals.size(); ++i)
    m_netSignals[i] += part.m_netSignals[i];
  for (std::uint32_t id : part.m_blocksWithModeDefs)
    m_blocksWithModeDefs.push_back(id + blockBase);
  pins.Join([this] { m_in.PollStop(); });
}

// ---- the part's thread

// The part reads the whole file's nets and device, and answers its
// messages with the names of the blocks above it as they stand when it
// starts (each block's name is read before its blocks, or after the part).
S::Pds_PahJsonLoader(const S& whole, const Split& split, Pds_PahJsonReader::StopTest stop,
                     std::uint64_t progressBefore)
    : m_in(whole.m_in.FileName(), stop, whole.m_in.Progress()),
      m_store(std::make_unique<Xdm_ViewStore>()),
      m_net(std::make_unique<NetCtx>()) {
  m_device = whole.m_device;
  m_nets = whole.m_nets;
  m_netsRead = m_deviceRead = true;
  m_splitOffered = true;  // a part is read on one thread
  m_netSignals.assign(split.networks, 0);
  XCad_CadBlock* parent = nullptr;
  for (const std::string& name : split.above) {
    XCad_CadBlock* block = m_standIns.Create();
    A::SetName(*block, m_store->m_strings.Copy(name));
    A::F(*block).parent = parent;
    parent = block;
  }
  m_partOwner = std::make_unique<BlockFrame>();
  m_partOwner->Reset(parent, nullptr);
  m_partOwner->external = true;
  m_in.ReportAsPart(progressBefore);
  // A name renamed over since the loading thread opened it: the part is
  // given up, and the loading thread reads on in the file it opened.
  if (!m_in.FileId().Holds(whole.m_in.FileId()))
    throw Pds_Exception("Pds_PahJsonLoader", __LINE__, "the part is of another file");
}

void* S::RunPart(void* arg) {
  Split& split = *static_cast<Split*>(arg);
  t_abandon = &split.abandon;
  try {
    if (!FindPartBoundary(split)) {
      split.stage.store(Split::kNoPart, std::memory_order_release);
      return nullptr;
    }
    {
      const std::lock_guard<std::mutex> guard(split.mutex);
      split.partsFrom = split.point.at;
    }
    split.stage.store(Split::kReading, std::memory_order_release);
    ReadParts(split);
  } catch (...) {
    // The parts are lost: the loading thread reads them.
    split.parts.clear();
    if (split.stage.load(std::memory_order_relaxed) != Split::kReading)
      split.stage.store(Split::kNoPart, std::memory_order_release);
  }
  split.done.store(true, std::memory_order_release);
  return nullptr;
}

// Finds the top's blocks, then a boundary about halfway between the
// loading thread and the file's end when the scan gets there (the scan
// is several times quicker than the read, and the target moves on with
// the loading thread: Pds_PahJsonAimSplit); once the loading thread has
// offered the part, adds the names above the boundary to its own.
bool S::FindPartBoundary(Split& split) {
  Pds_PahJsonSplitScan& scan = split.scan;
  std::uint64_t array = 0;
  Pds_PahJsonNetsSeen nets;
  const bool found = Pds_PahJsonFindTopBlocks(scan.fileName, scan.stop, array, &nets);
  // Counted objects of fewer bytes than the least net ({"name":"n"}) are
  // no nets a load would keep: the count is not passed on.
  if (nets.objects * kLeastNetBytes <= nets.bytes) {
    split.netsSeen.store(nets.objects, std::memory_order_release);
  }
  if (!found) return false;
  const std::uint64_t size = split.whole->m_in.FileSize();
  if (size <= array || size - array < SplitMinimum()) return false;
  // The loading thread's progress counts its reader's buffer (64 KiB)
  // as read: in a file scanned late, that may be all of it.
  Pds_PahJsonAimSplit(scan, array, size,
                      size >= kEarlyScan ? split.whole->m_in.Progress() : nullptr, g_share.load());
  split.stage.store(Split::kScanning, std::memory_order_release);
  if (!Pds_PahJsonFindSplit(scan, split.point)) return false;
  while (!split.offered.load(std::memory_order_acquire)) {
    if (PartStopped()) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  split.above.insert(split.above.end(), split.point.owners.begin(), split.point.owners.end());
  return true;
}

// The part from the boundary to the array's end, then, while the loading
// thread is still short of the parts read, runs of the elements before
// them (Pds_PahJsonSplitPoint::earlier), each about half of what lies
// between it and the loading thread: the two threads end about together
// however their speeds compare. A part that fails ends the reading.
void S::ReadParts(Split& split) {
  std::uint64_t from = split.point.at;
  std::uint64_t to = kNever;
  std::uint64_t progress = 0;  // the bytes of the parts read before
  do {
    PartRead& read = split.parts.emplace_back();
    read.from = from;
    read.to = to;
    read.part.reset(new S(*split.whole, split, &PartStopped, progress));
    read.part->ReadPart(split, read);
    if (read.error) return;
    progress += (to == kNever ? read.part->m_partEnd : to) - from;
  } while (ClaimEarlier(split, from, to));
}

// Takes the run of elements before the parts that ends them about halfway
// from the loading thread: [from, to). It starts past what the loading
// thread's reader has read, so that the loading thread meets it at an
// element boundary. False when the loading thread has reached the parts,
// or what is left is too short.
bool S::ClaimEarlier(Split& split, std::uint64_t& from, std::uint64_t& to) {
  static constexpr std::size_t kMostParts = 32;
  const std::vector<std::uint64_t>& earlier = split.point.earlier;
  const std::uint64_t least = g_leastTakeover.load();
  const Pds_PahLoadProgress::Entry* progress = split.whole->m_in.Progress();
  const std::lock_guard<std::mutex> guard(split.mutex);
  if (split.joining || split.parts.size() >= kMostParts) return false;
  const std::uint64_t end = split.partsFrom;
  const std::uint64_t loading =
      std::min(end, std::max(split.loadingAt, progress ? progress->OwnDone() : 0));
  const std::uint64_t middle = loading + (end - loading) / 2;
  auto at = std::lower_bound(earlier.begin(), earlier.end(), middle);
  if (at != earlier.begin() && (at == earlier.end() || middle - at[-1] < *at - middle)) --at;
  if (at != earlier.end() && *at <= loading) ++at;
  if (at == earlier.end() || *at <= loading || *at >= end || end - *at < least) return false;
  from = split.partsFrom = *at;
  to = end;
  return true;
}

// Reads the elements from `read.from` up to `read.to` (to the array's
// end for the first part); a failure is kept, with the time it counts
// from, for the loading thread to weigh. Elements that do not end at
// `read.to` are no run the scan saw: the parts are lost.
void S::ReadPart(Split& split, PartRead& read) {
  struct NotTheScannedRun {};
  try {
    m_in.SeekTo(read.from);
    while (m_in.NextElement() && m_in.Tell() < read.to)
      ReadBlock(m_partOwner.get(), split.point.depth);
    if (read.to != kNever && m_in.Tell() != read.to) throw NotTheScannedRun();
    m_partEnd = m_in.Tell() - 1;
    ResolveDeferred();
  } catch (const Pds_Exception&) {
    if (split.abandon.load()) throw;
    read.error = std::current_exception();
    read.errorTime = m_resolving ? m_in.FailedAt() : m_in.Tell();
    try {
      ResolveDeferred();  // a pending lookup lies before the failure
    } catch (const Pds_Exception&) {
      read.error = std::current_exception();
      read.errorTime = m_in.FailedAt();
    }
  }
  ResolveParentRefs(split, read);
}

// Once the loading thread has published the owner's frame: the owner's
// signals that the part's blocks name, up to the first unknown one.
void S::ResolveParentRefs(Split& split, PartRead& read) {
  const BlockFrame* owner = nullptr;
  while ((owner = split.owner.load(std::memory_order_acquire)) == nullptr) {
    if (split.abandon.load()) throw Pds_Exception("Pds_PahJsonLoader", __LINE__, "part abandoned");
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
  if (!split.ownerSignalsRead) return;
  const Xdm_NameIndex& signals = owner->signals.Names();
  m_parentRefIds.resize(m_parentRefs.items.size());
  for (std::size_t i = 0; i < m_parentRefs.items.size(); ++i) {
    const std::uint32_t id =
        IdIndex::IdOf(signals.Find(m_parentRefs.NameOf(m_parentRefs.items[i])));
    if (id == IdIndex::kNone) {
      read.firstUnknownRef = i;
      return;
    }
    m_parentRefIds[i] = id;
  }
}
