// Questions about a design's objects: what a client may see (a hard macro
// or comp with netlist or configuration security hides its contents), how
// many loads a net has, and what an IOB is connected to.
//
// Every object handed in comes from a loaded view, so blocks, pins,
// networks and views are of the physical classes (Pds_Pdm*); the loader
// makes no others.
#include <cstdint>
#include <cstring>
#include <memory>
#include <span>
#include <vector>

#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmNetwork.h"
#include "Pds_PdmPin.h"
#include "Pds_PdmView.h"
#include "Port_Thr.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMsg.h"
#include "XCad_CadView.h"
#include "Xdm_Network.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {

constexpr const char* kSource = "UtilC_SharedNcd";
// The line the unhandled-exception report of GetIoStandard names; fixed so
// that the report reads the same from build to build.
constexpr int kUnhandledIoLine = 1147;

const Pds_PdmBlock* Pdm(const Xdm_Block* block) {
  return static_cast<const Pds_PdmBlock*>(block);
}
const Pds_PdmPin* Pdm(const Xdm_Pin* pin) {
  return static_cast<const Pds_PdmPin*>(pin);
}

CitI::Result Answer(bool value) {
  return value ? 1 : 0;
}

// Security of either kind hides a block's contents.
bool IsSecured(const Xdm_Block* block) {
  return Pdm(block)->GetNetlistSecurity() != 0 || Pdm(block)->GetConfigSecurity() != 0;
}

bool IsBlockVisibleUncached(const Xdm_Block* block) {
  const Xdm_Block* parent = block->GetParent();
  return parent == nullptr || !IsSecured(parent);
}

bool IsIob(const Pds_PdmBlock* block) {
  return block && block->IsComp() && block->IsExternal();
}

const char* TypeName(const Xdm_Block* block) {
  const Pds_PdlBlock* type = block ? Pdm(block)->GetTypeBlock() : nullptr;
  return type ? type->GetTypeName() : nullptr;
}

// Whether `visit` answers true for some pin of `network`, walking its
// signals in order and each signal's pins in order; stops at the first.
template <class Visit>
bool AnyPin(const Xdm_Network* network, Visit visit) {
  for (Xdm_Signal* signal : network->GetSignalItr()) {
    for (Xdm_Pin* pin : signal->GetPinItr()) {
      if (visit(pin)) return true;
    }
  }
  return false;
}

// The first pin of `network` named exactly `name`; null when none.
const Xdm_Pin* FindPinByName(const Xdm_Network* network, const Port::StringBase& name) {
  const Xdm_Pin* found = nullptr;
  AnyPin(network, [&](const Xdm_Pin* pin) {
    if (name.Compare(pin->GetName(), Port::StringBase::Exact) != 0) return false;
    found = pin;
    return true;
  });
  return found;
}

}  // namespace

// ---- visibility

std::uint32_t SharedNcd::MaxBlocks() const {
  return m_view ? m_view->GetMaxBlocks() : 0;
}
std::uint32_t SharedNcd::MaxNetworks() const {
  return m_view ? m_view->GetMaxNetworks() : 0;
}

template <class Evaluate>
bool SharedNcd::Cached(BitCache& cache, std::uint32_t max, std::uint32_t id, Evaluate evaluate) {
  cache.Fit(max);
  // An id the view's maximum does not cover (an object of another view, or
  // a null object's id) is answered uncached: it must never index past the
  // vectors.
  if (id >= max) return evaluate();
  int known = cache.Peek(id);
  if (known >= 0) return known != 0;
  const bool value = evaluate();
  cache.Store(id, value);
  return value;
}

// A known answer is read without the design lock: after the first pass over
// a design, visibility costs a few bit reads per object.
CitI::Result SharedNcd::IsBlockVisible(const Xdm_Block* block) {
  if (block == nullptr) return 0;
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(block);
  if (int known = m_blockVisible.Peek(id); known >= 0) return Answer(known != 0);
  return IsBlockVisibleLocked(block, id);
}

CitI::Result SharedNcd::IsBlockVisibleLocked(const Xdm_Block* block, std::uint32_t id) {
  Port_ThrGuard guard(DesignLock());
  return Answer(
      Cached(m_blockVisible, MaxBlocks(), id, [block] { return IsBlockVisibleUncached(block); }));
}

bool SharedNcd::IsCompVisible(const Xdm_Block* block) {
  return block != nullptr && Pdm(block)->IsComp() && IsBlockVisibleUncached(block);
}

// A pin is hidden by its block's parent's security. Implicit pins are the
// tool's own; of those only a bel's pad pin is shown.
CitI::Result SharedNcd::IsPinVisible(const Xdm_Pin* pin) {
  if (pin == nullptr) return 0;
  const Xdm_Block* block = Xdm_Parent::GetParentObject(pin);
  const Xdm_Block* parent = block ? block->GetParent() : nullptr;
  if (parent != nullptr && IsSecured(parent)) return 0;
  return Answer(IsShownIn(pin, block));
}

bool SharedNcd::IsShownIn(const Xdm_Pin* pin, const Xdm_Block* block) {
  if (!Pdm(pin)->IsImplicit()) return true;
  return block != nullptr && Pdm(block)->GetHierLevel() == Pds_PdmBlock::HIER_LEVEL_BEL &&
         Pdm(pin)->GetExtendedPinType().IsPad();
}

CitI::Result SharedNcd::IsSignalVisible(const Xdm_Signal* signal) {
  if (signal == nullptr) return 0;
  const Xdm_Block* holder = Xdm_Parent::GetParentObject(signal);
  if (holder != nullptr && IsSecured(holder)) return 0;
  for (Xdm_Pin* pin : signal->GetPinItr()) {
    if (IsPinVisible(pin)) return 1;
  }
  return 0;
}

// Only the master supply nets are shown; a logic net is shown when one of
// its pins is.
bool SharedNcd::IsNetVisibleUncached(const Xdm_Network* network) {
  const auto* view = static_cast<const Pds_PdmView*>(network->GetParent());
  switch (static_cast<const Pds_PdmNetwork*>(network)->GetType()) {
    case Pds_PdmNetwork::NET_TYPE_POWER:
      return view != nullptr && view->GetMasterVccNetwork() == network;
    case Pds_PdmNetwork::NET_TYPE_GROUND:
      return view != nullptr && view->GetMasterGndNetwork() == network;
    default:
      return AnyPin(network, [this](const Xdm_Pin* pin) { return IsPinVisible(pin) != 0; });
  }
}

CitI::Result SharedNcd::IsNetVisible(const Xdm_Network* network) {
  if (network == nullptr) return 0;
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(network);
  if (int known = m_netVisible.Peek(id); known >= 0) return Answer(known != 0);
  return IsNetVisibleLocked(network, id);
}

CitI::Result SharedNcd::IsNetVisibleLocked(const Xdm_Network* network, std::uint32_t id) {
  Port_ThrGuard guard(DesignLock());
  return Answer(Cached(m_netVisible, MaxNetworks(), id,
                       [this, network] { return IsNetVisibleUncached(network); }));
}

// ---- pin counts

// Visible input and bidirectional pins that end the net (not a pin that
// only passes it into or out of a block); a pin met through two signals
// counts twice.
bool SharedNcd::IsTerminalPin(const Xdm_Pin* pin) {
  return IsPinVisible(pin) && (pin->GetSignal() == nullptr || pin->GetChildSignal() == nullptr);
}

std::uint32_t SharedNcd::CountTerminalLoads(const Xdm_Network* network) {
  std::uint32_t count = 0;
  AnyPin(network, [&](const Xdm_Pin* pin) {
    ++m_pinsWalkedAlone;
    if ((pin->IsBlockInput() || pin->IsBlockBidir()) && IsTerminalPin(pin)) ++count;
    return false;
  });
  return count;
}

// The counts are shared by every client thread, so they are filled under
// the design lock; a count once stored is read without it.
std::uint32_t SharedNcd::GetPinCount(const Xdm_Network* network) {
  if (network == nullptr || m_view == nullptr) return 0;
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(network);
  if (std::uint32_t count = m_pinCounts.Peek(id); count != CountCache::kNotCounted) return count;
  return GetPinCountLocked(network, id);
}

namespace {

// Counting one network walks pins that lie all over a large design. A few
// networks are counted alone (a client that asks about a few pays for
// those); once the pins walked that way would pass this share of the
// view's pins, every network is counted at once, walking the view in its
// order. A network too large for what is left of that share (a clock net,
// a supply net) is left to that pass at once: its signals' lists of pins
// tell, without reading the pins.
constexpr std::uint32_t kAloneShare = 256;

// Whether the network's signals list at most `most` pins.
bool PinsAtMost(const Xdm_Network* network, std::uint64_t most) {
  std::uint64_t pins = 0;
  for (Xdm_Signal* signal : network->GetSignalItr()) {
    pins += signal->GetPinItr().Count();
    if (pins > most) return false;
  }
  return true;
}

}  // namespace

std::uint32_t SharedNcd::GetPinCountLocked(const Xdm_Network* network, std::uint32_t id) {
  Port_ThrGuard guard(DesignLock());
  const std::uint32_t max = m_view->GetMaxNetworks();
  m_pinCounts.Fit(max);
  if (id >= max) return 0;
  std::uint32_t count = m_pinCounts.Peek(id);
  if (count != CountCache::kNotCounted) return count;
  // A network the view no longer holds (removed or replaced) is counted alone.
  const std::uint64_t share = m_view->GetMaxPins() / kAloneShare;
  const std::uint64_t left = m_pinsWalkedAlone < share ? share - m_pinsWalkedAlone : 0;
  if (m_view->GetNetworkByBridgeId(id) == network && (left == 0 || !PinsAtMost(network, left))) {
    CountAllTerminalLoads();
    return m_pinCounts.Peek(id);
  }
  count = CountTerminalLoads(network);
  m_pinCounts.Store(id, count);
  return count;
}

namespace {

// Counts per network of the signals added (once per pin), through the
// view's table of the signals' networks. Pins in a row on one signal (the
// loads of a block's inputs) are added at once. (Fetching table entries and
// counts ahead in batches cost more than it saved: a block's signals lie
// close together in the table.)
class NetworkTally {
 public:
  NetworkTally(std::span<const std::uint32_t> networkOf, std::uint32_t networks)
      : m_networkOf(networkOf), m_counts(networks, 0) {}

  // `signal` is below the table's size.
  void Add(std::uint32_t signal) {
    if (signal == m_runSignal) {
      ++m_run;
      return;
    }
    EndRun();
    m_runSignal = signal;
    m_run = 1;
  }
  // Adds `other`'s counts to these.
  void Merge(NetworkTally& other) {
    const std::vector<std::uint32_t>& more = other.Counts();
    EndRun();
    for (std::size_t network = 0; network < m_counts.size(); ++network)
      m_counts[network] += more[network];
  }
  const std::vector<std::uint32_t>& Counts() {
    EndRun();
    return m_counts;
  }

 private:
  void EndRun() {
    if (m_run == 0) return;
    if (const std::uint32_t network = m_networkOf[m_runSignal]; network < m_counts.size())
      m_counts[network] += m_run;
    m_run = 0;
  }

  std::span<const std::uint32_t> m_networkOf;
  std::vector<std::uint32_t> m_counts;
  std::uint32_t m_runSignal = 0;
  std::uint32_t m_run = 0;  // pins on m_runSignal not counted yet
};

// The pins with ids in [first, last) whose terminal loads one thread adds
// to its own tally.
struct PinSlice {
  const Xdm_View* view;
  std::uint32_t first;
  std::uint32_t last;
  NetworkTally* tally;
};

// Adds the slice's terminal pins, from the pins' side: a terminal pin has
// one signal, lies once in that signal's pins, which lies once in its
// network's signals. The pins are read where they lie, in the order of
// their ids, and an output is passed over without reading its block; a
// pin's signal is known by its id and the signal's network by the view's
// table of their ids, so that no signal or network is read: those lie all
// over a large view.
void TallyTerminalLoads(const PinSlice& slice) {
  const auto size = static_cast<std::uint32_t>(slice.view->GetSignalNetworkIds().size());
  const Xdm_Block* lastBlock = nullptr;   // a block's pins follow each other,
  const Xdm_Block* lastParent = nullptr;  // and siblings too
  bool lastHidden = false;
  for (std::uint32_t id = slice.first; id < slice.last; ++id) {
    const Xdm_Pin* pin = slice.view->GetPinByBridgeId(id);
    if (pin == nullptr || !(pin->IsBlockInput() || pin->IsBlockBidir())) continue;
    if (const Xdm_Block* block = pin->GetParent(); block != lastBlock) {
      lastBlock = block;
      const Xdm_Block* parent = block != nullptr ? block->GetParent() : nullptr;
      if (parent != lastParent) {
        lastParent = parent;
        lastHidden = parent != nullptr && IsSecured(parent);
      }
    }
    if (lastBlock == nullptr || lastHidden || !SharedNcd::IsShownIn(pin, lastBlock)) continue;
    // Ids at or above the table's size (kNone) are no signal.
    const std::uint32_t signal = pin->GetSignalId();
    const std::uint32_t child = pin->GetChildSignalId();
    if (signal < size && child < size) continue;  // it passes the net on
    if (signal < size || child < size) slice.tally->Add(signal < size ? signal : child);
  }
}

void* TallyTerminalLoadsEntry(void* slice) {
  TallyTerminalLoads(*static_cast<const PinSlice*>(slice));
  return nullptr;
}

// A thread that tallies `slice`, or null when none can be started.
std::unique_ptr<Port_ThrThread> StartTally(PinSlice& slice) {
  try {
    return std::make_unique<Port_ThrThread>(&TallyTerminalLoadsEntry, &slice);
  } catch (Port_ThrException::Exception) {
    return nullptr;
  }
}

}  // namespace

// The answers of CountTerminalLoads for every network at once. Reading the
// pins is bounded by how fast one core fetches memory, so a large view is
// read in two halves, the second on a thread of its own; when no thread
// can be started, the calling thread reads both.
void SharedNcd::CountAllTerminalLoads() {
  const std::span<const std::uint32_t> networkOf = m_view->GetSignalNetworkIds();
  const std::uint32_t networks = m_view->GetMaxNetworks();
  const std::uint32_t pins = m_view->GetMaxPins();
  NetworkTally tally(networkOf, networks);
  PinSlice first{m_view, 0, pins, &tally};
  const bool twoThreads = pins >= kPinsForTwoThreads;
  NetworkTally secondTally(networkOf, twoThreads ? networks : 0);
  PinSlice second{m_view, pins / 2, pins, &secondTally};
  std::unique_ptr<Port_ThrThread> helper = twoThreads ? StartTally(second) : nullptr;
  if (helper) first.last = second.first;
  TallyTerminalLoads(first);
  if (helper) {
    try {
      helper->join();
    } catch (Port_ThrException::Exception) {
    }
    helper.reset();  // waits for the entry to return, joined or not
    tally.Merge(secondTally);
  }
  m_pinCounts.StoreWhereNotCounted(tally.Counts());
}

// ---- IOBs

namespace {

struct DirectionRow {
  bool (Xdm_Pin::*test)() const;
  const char* name;
};
constexpr DirectionRow kDirections[] = {
    {&Xdm_Pin::IsBlockBidir, "InOut"},
    {&Xdm_Pin::IsBlockOutput, "Output"},
    {&Xdm_Pin::IsBlockInput, "Input"},
};

// The two pins of a differential pair, each way round.
struct DiffPairRow {
  const char* pin;
  const char* partner;
};
constexpr DiffPairRow kDiffPairs[] = {
    {"PADOUT", "DIFFI_IN"},
    {"DIFFI_IN", "PADOUT"},
    {"DIFFO_OUT", "DIFFO_IN"},
    {"DIFFO_IN", "DIFFO_OUT"},
};

// How an IOB pin reaches a register: the register's data pins and type.
struct RegisterRow {
  const char* iobPin;
  const char* dataPins[2];
  const char* registerType;
};
constexpr RegisterRow kRegisters[] = {
    {"O", {"Q", nullptr}, "OLOGIC_OUTFF"},
    {"I", {"DDLY", "D"}, "ILOGIC_IFF"},
};

const Xdm_Pin* PadPin(const Pds_PdmBlock* block) {
  for (Xdm_Pin* pin : block->GetPinItr()) {
    if (Pdm(pin)->GetExtendedPinType().IsPad()) return pin;
  }
  return nullptr;
}

const char* PartnerOf(const char* pinName) {
  for (const DiffPairRow& row : kDiffPairs) {
    if (std::strcmp(pinName, row.pin) == 0) return row.partner;
  }
  return nullptr;
}

const RegisterRow* RegisterOf(const char* iobPinName) {
  for (const RegisterRow& row : kRegisters) {
    if (std::strcmp(iobPinName, row.iobPin) == 0) return &row;
  }
  return nullptr;
}

// Whether `pin` is a data pin of a register of the row's type.
bool IsRegisterData(const Xdm_Pin* pin, const RegisterRow& row) {
  const char* type = TypeName(pin->GetParent());
  if (type == nullptr || std::strcmp(type, row.registerType) != 0) return false;
  for (const char* name : row.dataPins) {
    if (name != nullptr && std::strcmp(pin->GetName(), name) == 0) return true;
  }
  return false;
}

// The name of the clock signal of a register `network` feeds. On each
// signal the first register found decides: its CK pin's signal, or nothing
// for that signal when CK has none.
Port::StringBase RegisterClock(const Xdm_Network* network, const RegisterRow& row) {
  Port::StringBase clock;
  if (network == nullptr) return clock;
  for (Xdm_Signal* signal : network->GetSignalItr()) {
    for (Xdm_Pin* pin : signal->GetPinItr()) {
      if (!IsRegisterData(pin, row)) continue;
      const Xdm_Pin* clockPin = pin->GetParent()->GetPinByName("CK");
      if (const Xdm_Signal* clockSignal = clockPin ? clockPin->GetSignal() : nullptr) {
        clock = clockSignal->GetName();
      }
      break;
    }
    if (!clock.IsEmpty()) break;
  }
  return clock;
}

}  // namespace

// The direction of the top-level port an IOB's pad connects to. The port
// is the first pin on the pad's net named like the IOB; it must be a pin of
// the top block.
Port::StringBase SharedNcd::GetIoDirection(const Pds_PdmBlock* block) {
  if (!IsIob(block)) return {};
  const Xdm_Pin* pad = PadPin(block);
  const Xdm_Network* network = pad ? pad->GetNetwork() : nullptr;
  if (network == nullptr) return {};
  const Xdm_Pin* port = FindPinByName(network, block->GetName());
  const Xdm_Block* portBlock = port ? port->GetParent() : nullptr;
  if (portBlock == nullptr || portBlock->GetParent() != nullptr) return {};
  for (const DirectionRow& row : kDirections) {
    if ((port->*row.test)()) return row.name;
  }
  return {};
}

// An input port reads the input standard, every other IOB the output one.
// IO usage the database rejects is reported and answers empty.
Port::StringBase SharedNcd::GetIoStandard(const Pds_PdmBlock* block) {
  if (!IsIob(block)) return {};
  try {
    const bool input = GetIoDirection(block).Compare("Input", Port::StringBase::Exact) == 0;
    bool found = false;
    return input ? Pds_PahIoUsage::GetInputStandard(block, found)
                 : Pds_PahIoUsage::GetOutputStandard(block, found);
  } catch (const Pds_ExceptionInvalidTypeBlock& e) {
    e.report();
  } catch (const Pds_ExceptionCorruptDatabase& e) {
    e.report();
  } catch (...) {
    Msg::ReportUnhandledException(kSource, kUnhandledIoLine);
  }
  return {};
}

// The partner pin may lie on any block, the IOB itself included.
CitI::Result SharedNcd::IsDiffPairIob(const Pds_PdmBlock* block) {
  if (!IsIob(block)) return 0;
  for (Xdm_Pin* pin : block->GetPinItr()) {
    const char* partner = PartnerOf(pin->GetName());
    const Xdm_Network* network = partner ? pin->GetNetwork() : nullptr;
    if (network != nullptr && FindPinByName(network, partner) != nullptr) return 1;
  }
  return 0;
}

// The clock of the register behind the IOB's "O" (output) or "I" (input)
// pin, for the first such pin, in pin order, that leads to one.
Port::StringBase SharedNcd::GetIobClockName(const Pds_PdmBlock* block) {
  if (!IsIob(block)) return {};
  for (Xdm_Pin* pin : block->GetPinItr()) {
    const RegisterRow* row = RegisterOf(pin->GetName());
    if (row == nullptr) continue;
    Port::StringBase clock = RegisterClock(pin->GetNetwork(), *row);
    if (!clock.IsEmpty()) return clock;
  }
  return {};
}

}  // namespace UtilC::SharedNcd
