// The design loader: blocks with their pins, signals and attributes.
#include "Pds_PahJsonLoader.h"

namespace {
using A = Xdm_Access;
using S = Pds_PahJsonLoader;

constexpr std::uint32_t kMaxDepth = 256;
}  // namespace

void S::BlockFrame::Reset(XCad_CadBlock* newBlock, BlockFrame* newParent) {
  block = newBlock;
  parent = newParent;
  name = {};
  nameOffset = 0;
  levelOffset = 0;
  gcdInvalidOffset = 0;
  modeDefsOffset = 0;
  signalsRead = false;
  siteRead = false;
  signals.Clear();
  pins.Clear();
  children.Clear();
  waiting.Clear();
}

S::BlockFrame& S::Frame(std::uint32_t depth) {
  while (m_frames.size() <= depth)
    m_frames.push_back(std::make_unique<BlockFrame>());
  return *m_frames[depth];
}

Xdm_BlockExtra& S::Extra(Xdm_Block& block) {
  Xdm_BlockFields& f = A::F(block);
  if (f.extra == nullptr) f.extra = m_store->m_extras.Create();
  return *f.extra;
}

// In the order writers usually list them (ReadMembers tries the rule after
// the one matched last first); 'name' stays before 'level' so that a block
// missing both is refused for its name.
const S::Rule<S::BlockCtx> S::kBlockRules[] = {
    {"name", true,
     [](S& s, BlockCtx& c) {
       const std::string_view name = s.ReadName("'name'");
       if (name.find('/') != std::string_view::npos) {
         s.m_in.Fail(s.m_in.ValueOffset(),
                     "a block name must not contain '/' (it joins block paths)");
       }
       c.frame.name = s.Copy(name);
       A::SetName(*c.frame.block, c.frame.name.data());
       c.frame.nameOffset = s.m_in.ValueOffset();
     }},
    {"type", false,
     [](S& s, BlockCtx& c) {
       // An empty type name is a type all the same (unlike a missing "type").
       A::F(*c.frame.block).type = s.TypeBlock(s.m_in.ReadString("'type'"));
     }},
    {"level", true,
     [](S& s, BlockCtx& c) {
       A::F(*c.frame.block).level = static_cast<std::uint8_t>(s.m_in.ReadInt("'level'", 0, 255));
       c.frame.levelOffset = s.m_in.ValueOffset();
     }},
    {"external", false,
     [](S& s, BlockCtx& c) {
       if (s.m_in.ReadBool("'external'")) A::F(*c.frame.block).flags |= Xdm_BlockFields::kExternal;
     }},
    {"partition", false,
     [](S& s, BlockCtx& c) {
       if (s.m_in.ReadBool("'partition'")) {
         A::F(*c.frame.block).flags |= Xdm_BlockFields::kPartition;
       }
     }},
    {"site", false,
     [](S& s, BlockCtx& c) {
       const std::string_view site = s.ReadName("'site'");
       c.frame.siteRead = true;
       const Xdm_NameIndex& cells = s.m_device->cellIndex;
       if (!s.m_deviceRead || !cells.IsLarge()) {
         return s.PlaceBlock(*c.frame.block, site, s.m_in.ValueOffset(), !s.m_deviceRead);
       }
       s.Defer(Deferred::kSite, A::F(*c.frame.block).bridgeId, nullptr, cells, site,
               s.m_in.ValueOffset());
     }},
    {"netlist_security", false,
     [](S& s, BlockCtx& c) {
       s.Extra(*c.frame.block).netlistSecurity = s.ReadInt32("'netlist_security'");
     }},
    {"config_security", false,
     [](S& s, BlockCtx& c) {
       s.Extra(*c.frame.block).configSecurity = s.ReadInt32("'config_security'");
     }},
    {"config", false,
     [](S& s, BlockCtx& c) {
       A::F(*c.frame.block).config = s.m_store->m_strings.Copy(s.m_in.ReadString("'config'"));
     }},
    {"io", false, [](S& s, BlockCtx& c) { s.ReadIo(*c.frame.block); }},
    {"signals", false,
     [](S& s, BlockCtx& c) {
       const auto first = static_cast<std::uint32_t>(s.m_store->m_signals.Size());
       s.ForEach("'signals'", [&] { s.ReadSignal(c.frame); });
       const auto count = static_cast<std::uint32_t>(s.m_store->m_signals.Size()) - first;
       A::F(*c.frame.block).signals = {first, count};
       c.frame.signalsRead = true;
     }},
    {"pins", false,
     [](S& s, BlockCtx& c) {
       const auto first = static_cast<std::uint32_t>(s.m_store->m_pins.Size());
       s.ForEach("'pins'", [&] { s.ReadPin(c.frame, c.frame.parent); });
       const auto count = static_cast<std::uint32_t>(s.m_store->m_pins.Size()) - first;
       A::F(*c.frame.block).pins = {first, count};
     }},
    {"modes", false,
     [](S& s, BlockCtx& c) {
       Xdm_BlockExtra& extra = s.Extra(*c.frame.block);
       extra.modes = s.ReadStringMap("'modes'", "'modes'");
       extra.hasModes = true;
     }},
    {"blocks", false, [](S& s, BlockCtx& c) { s.ReadBlockList(c.frame, c.depth); }},
    {"gcd", false,
     [](S& s, BlockCtx& c) {
       Xdm_BlockExtra& extra = s.Extra(*c.frame.block);
       A::UsageData(extra.usage) = s.ReadStringMap("'gcd'", "'gcd'");
       A::UsageStore(extra.usage) = s.m_store.get();
       extra.hasUsage = true;
     }},
    {"gcd_invalid", false,
     [](S& s, BlockCtx& c) {
       A::UsageInvalid(s.Extra(*c.frame.block).usage) =
           s.ReadNameList("'gcd_invalid'", c.frame.gcdInvalidOffset);
     }},
    {"mode_defs", false, [](S& s, BlockCtx& c) { s.ReadBlockModeDefs(c.frame); }},
};

// The block's own usage definition; the cell it is placed on names it at
// the end (NameBlockCellDefs).
void S::ReadBlockModeDefs(BlockFrame& frame) {
  std::vector<ModeDefCtx> modes;
  frame.modeDefsOffset = ReadModeDefs("'mode_defs'", modes);
  auto& defs = m_store->m_blockCellDefs;
  defs.push_back(A::NewCellDef(""));
  AddModeDefs(*defs.back()->GetUsageDef(), modes, m_store->m_strings,
              "the 'mode_defs' of block " + Quote(PathText(frame.block)));
  Extra(*frame.block).cellDef = defs.back().get();
  m_blocksWithModeDefs.push_back(A::F(*frame.block).bridgeId);
}

// Blocks are made when their object opens, so that they are numbered
// before their children; their lists are laid out once the file is read.
void S::ReadBlock(BlockFrame* parent, std::uint32_t depth) {
  if (depth > kMaxDepth) {
    m_in.Fail(m_in.Tell(), "blocks nested deeper than " + std::to_string(kMaxDepth) + " levels");
  }
  XCad_CadBlock* block = m_store->m_blocks.Create();
  Xdm_BlockFields& f = A::F(*block);
  f.store = m_store.get();
  f.parent = parent ? parent->block : nullptr;
  f.bridgeId = static_cast<std::uint32_t>(m_store->m_blocks.Size() - 1);
  if (parent == nullptr) m_store->m_top = block;

  BlockFrame& frame = Frame(depth);
  frame.Reset(block, parent);
  BlockCtx ctx{frame, depth};
  ReadMembers(kBlockRules, ctx, parent ? "each element of 'blocks'" : "'top'", "block");
  EndBlock(frame);
}

void S::EndBlock(BlockFrame& frame) {
  ResolveDeferred(m_framedEnd);
  const Xdm_BlockFields& f = A::F(*frame.block);
  if (frame.parent == nullptr && f.level != 0) {
    m_in.Fail(frame.levelOffset, "the top block's level must be 0");
  }
  if (frame.gcdInvalidOffset != 0 && !f.extra->hasUsage) {
    m_in.Fail(frame.gcdInvalidOffset, "'gcd_invalid' without 'gcd'");
  }
  if (frame.modeDefsOffset != 0 && !frame.siteRead) {
    m_in.Fail(frame.modeDefsOffset, "'mode_defs' without 'site'");
  }
  ResolveSignalRefs(frame);
  if (BlockFrame* parent = frame.parent) {
    AddChild(*parent, frame.block, frame.name, frame.nameOffset);
    if (parent->external) {
      m_partChildren.push_back({frame.block, frame.name, frame.nameOffset, m_in.Tell()});
    }
  }
}

void S::AddChild(BlockFrame& parent, Xdm_Block* block, std::string_view name,
                 std::uint64_t offset) {
  if (!parent.children.Insert(name, block)) {
    m_in.Fail(offset, "duplicate block name " + Quote(block->GetName()) + " in block " +
                          Quote(PathText(parent.block)));
  }
}

void S::ReadSignal(BlockFrame& frame) {
  static constexpr Rule<SignalCtx> kRules[] = {
      {"name", true,
       [](S& s, SignalCtx& c) {
         c.name = s.Copy(s.ReadName("'name'"));
         A::SetName(*c.signal, c.name.data());
         c.nameOffset = s.m_in.ValueOffset();
       }},
      {"net", false,
       [](S& s, SignalCtx& c) {
         const std::string_view net = s.ReadName("'net'");
         const std::uint64_t at = s.m_in.ValueOffset();
         if (!s.m_netsRead) return s.ResolveSignalNet(c.id, net, at, true);
         s.Defer(Deferred::kNet, c.id, nullptr, s.m_nets->Names(), net, at);
       }},
  };
  Xdm_Signal* signal = m_store->m_signals.Create();
  A::F(*signal).block = frame.block;
  // The loader numbers signals in the order it makes them.
  const auto id = static_cast<std::uint32_t>(m_store->m_signals.Size() - 1);
  m_signalPins.push_back(0);
  m_signalNet.push_back(IdIndex::kNone);
  SignalCtx c{signal, id, {}, 0};
  ReadMembers(kRules, c, "each element of 'signals'", "signal");
  if (!frame.signals.Insert(c.name, id)) {
    m_in.Fail(c.nameOffset, "duplicate signal name " + Quote(signal->GetName()) + " in block " +
                                Quote(PathText(frame.block)));
  }
}

// In the order writers usually list them.
const S::Rule<S::PinCtx> S::kPinRules[] = {
    {"name", true,
     [](S& s, PinCtx& c) {
       // Blocks of a library type repeat the same few pin names: those are
       // shared. Other blocks' pins mostly have names of their own.
       const std::string_view name = s.ReadName("'name'");
       c.name = A::F(*c.own->block).type != nullptr ? s.Intern(name) : s.Copy(name);
       A::SetName(*c.pin, c.name.data());
       c.nameOffset = s.m_in.ValueOffset();
     }},
    {"dir", false,
     [](S& s, PinCtx& c) {
       c.flags |=
           static_cast<std::uint8_t>(s.ReadChoice("'dir'", {"input", "output", "bidir", "none"}));
     }},
    {"load", false,
     [](S& s, PinCtx& c) {
       c.load = s.m_in.ReadBool("'load'");
       c.loadSet = true;
     }},
    {"clock", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'clock'")) c.flags |= Xdm_PinFields::kClock;
     }},
    {"pad", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'pad'")) c.flags |= Xdm_PinFields::kPad;
     }},
    {"implicit", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'implicit'")) c.flags |= Xdm_PinFields::kImplicit;
     }},
    {"signal", false,
     [](S& s, PinCtx& c) {
       const std::string_view name = s.ReadName("'signal'");
       if (c.parent == nullptr) {
         s.m_in.Fail(s.m_in.ValueOffset(), "a pin of the top block cannot have a 'signal'");
       }
       s.LinkPinSignal(*c.parent, c.id, 0, name, s.m_in.ValueOffset());
     }},
    {"child_signal", false,
     [](S& s, PinCtx& c) {
       const std::string_view name = s.ReadName("'child_signal'");
       s.LinkPinSignal(*c.own, c.id, 1, name, s.m_in.ValueOffset());
     }},
    {"delay", false,
     [](S& s, PinCtx& c) {
       A::F(*c.pin).delay = s.ReadInt32("'delay'");
       c.delaySet = true;
     }},
    {"delay_type", false,
     [](S& s, PinCtx& c) {
       c.delayType = static_cast<std::uint8_t>(s.m_in.ReadInt("'delay_type'", 0, 2));
       c.delayTypeSet = true;
     }},
};

void S::ReadPin(BlockFrame& own, BlockFrame* parent) {
  XCad_CadPin* pin = m_store->m_pins.Create();
  Xdm_PinFields& f = A::F(*pin);
  f.block = own.block;
  PinCtx c;
  c.pin = pin;
  c.id = static_cast<std::uint32_t>(m_store->m_pins.Size() - 1);
  c.own = &own;
  c.parent = parent;
  ReadMembers(kPinRules, c, "each element of 'pins'", "pin");

  if (!own.pins.Insert(c.name, pin)) {
    m_in.Fail(c.nameOffset, "duplicate pin name " + Quote(pin->GetName()) + " in block " +
                                Quote(PathText(own.block)));
  }
  // Inputs and bidirectional pins are loads unless the file says otherwise.
  const int dir = c.flags & Xdm_PinFields::kDirMask;
  f.flags = c.flags;
  if (c.loadSet ? c.load : dir == 0 || dir == 2) f.flags |= Xdm_PinFields::kLoad;
  f.delayType = c.delayTypeSet ? c.delayType : (c.delaySet ? 0 : 2);
}

void S::ReadIo(Xdm_Block& block) {
  struct Ctx {
    Xdm_IoData& io;
    std::uint64_t onlyOffset = 0;  // of "reject_only", when read
  };
  static constexpr auto kValue = [](S& s, Ctx& c, Xdm_IoData::Key key, const char* label) {
    c.io.value[key] = s.m_store->m_strings.Copy(s.m_in.ReadString(label));
  };
  static constexpr Rule<Ctx> kRules[] = {
      {"input_standard", false,
       [](S& s, Ctx& c) { kValue(s, c, Xdm_IoData::kInput, "'input_standard'"); }},
      {"output_standard", false,
       [](S& s, Ctx& c) { kValue(s, c, Xdm_IoData::kOutput, "'output_standard'"); }},
      {"drive", false, [](S& s, Ctx& c) { kValue(s, c, Xdm_IoData::kDrive, "'drive'"); }},
      {"slew", false, [](S& s, Ctx& c) { kValue(s, c, Xdm_IoData::kSlew, "'slew'"); }},
      {"reject", false,
       [](S& s, Ctx& c) {
         c.io.reject = static_cast<Xdm_IoData::Reject>(
             1 + s.ReadChoice("'reject'", {"invalid_type", "corrupt_database", "other"}));
       }},
      {"reject_only", false,
       [](S& s, Ctx& c) {
         c.io.rejected = 0;
         c.onlyOffset = s.ForEach("'reject_only'", [&] {
           c.io.rejected |= static_cast<std::uint8_t>(
               1u << s.ReadChoice("each element of 'reject_only'",
                                  {"input_standard", "output_standard", "drive", "slew"}));
         });
       }},
  };
  Xdm_IoData* io = m_store->m_ioData.Create();
  Extra(block).io = io;
  Ctx ctx{*io};
  ReadMembers(kRules, ctx, "'io'", "'io'");
  if (ctx.onlyOffset != 0 && io->reject == Xdm_IoData::kNone) {
    m_in.Fail(ctx.onlyOffset, "'reject_only' without 'reject'");
  }
}

// ---- references

void S::ResolveSignalRefs(BlockFrame& frame) {
  for (const Pending& p : frame.waiting.items) {
    ResolvePinSignal(frame, p.id, p.which, frame.waiting.NameOf(p), p.offset, false);
  }
  frame.waiting.Clear();
}

void S::ResolvePinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which,
                         std::string_view name, std::uint64_t offset, bool mayWait) {
  const std::uint32_t signal = frame.signals.Find(name);
  if (signal == IdIndex::kNone && mayWait) return frame.waiting.Add(pin, which, name, offset);
  SetPinSignal(frame, pin, which, signal, name, offset);
}

void S::SetPinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which,
                     std::uint32_t signal, std::string_view name, std::uint64_t offset) {
  if (signal == IdIndex::kNone) {
    m_in.Fail(offset,
              "unknown signal " + Quote(name) + " in block " + Quote(PathText(frame.block)));
  }
  Xdm_PinFields& f = A::F(*m_store->m_pins.At(pin));
  (which == 0 ? f.signal : f.childSignal) = signal;
  ++m_signalPins[signal];
}

void S::ResolveSignalNet(std::uint32_t id, std::string_view name, std::uint64_t offset,
                         bool mayWait) {
  const std::uint32_t net = m_nets->Find(name);
  if (net == IdIndex::kNone) {
    if (mayWait) return m_waitingNets.Add(id, 0, name, offset);
    m_in.Fail(offset, "unknown net " + Quote(name));
  }
  SetSignalNet(id, net);
}

void S::SetSignalNet(std::uint32_t signal, std::uint32_t net) {
  m_signalNet[signal] = net;
  ++m_netSignals[net];
}

// Large indexes outgrow the caches: a lookup made at once would wait for
// memory each time. A deferred lookup fetches its slot now and is resolved
// up to kDeferredDepth lookups later, by when the slot has arrived. One
// that names a block's frame (a pin's signal) is resolved by the end of
// the block at the latest: the frame is reused for the next. The others
// (a signal's net, a block's cell) stay pending across blocks, most of
// which make one or two of them: resolved at their block's end, they
// would wait for memory all the same.
void S::Defer(Deferred::Kind kind, std::uint32_t id, BlockFrame* frame, const Xdm_NameIndex& index,
              std::string_view name, std::uint64_t offset) {
  Deferred& ref = m_deferred[m_deferredNext++ % kDeferredDepth];
  if (m_deferredPending == kDeferredDepth) {
    --m_deferredPending;
    Resolve(ref);
  }
  if (frame != nullptr) m_framedEnd = m_deferredNext;
  ref.hash = Xdm_NameIndex::Hash(name);
  index.Prefetch(ref.hash);
  ref.kind = kind;
  ref.id = id;
  ref.frame = frame;
  ref.offset = offset;
  ref.name.assign(name);
  ++m_deferredPending;
}

// `ref` is the oldest pending lookup. When it fails, the later ones are
// dropped: the error to report is this one, the first in the file.
void S::Resolve(const Deferred& ref) {
  m_resolving = true;
  ResolveOne(ref);
  m_resolving = false;
}

void S::ResolveOne(const Deferred& ref) {
  switch (ref.kind) {
    case Deferred::kNetName: {
      const std::string_view name(m_store->m_networks.At(ref.id)->GetName(), ref.name.size());
      if (!m_netIndex.Insert(name, ref.id)) FailDeferred(ref, "duplicate net name");
      return;
    }
    case Deferred::kNet: {
      const std::uint32_t net = IdIndex::IdOf(m_nets->Names().Find(ref.name, ref.hash));
      if (net == IdIndex::kNone) FailDeferred(ref, "unknown net");
      return SetSignalNet(ref.id, net);
    }
    case Deferred::kSite: {
      const auto* cell =
          static_cast<const Rf_CellData*>(m_device->cellIndex.Find(ref.name, ref.hash));
      if (cell == nullptr) FailDeferred(ref, "unknown cell");
      A::F(*m_store->m_blocks.At(ref.id)).site = cell->index + 1;
      return;
    }
    case Deferred::kSignal:
    case Deferred::kChildSignal: {
      const std::uint32_t signal =
          IdIndex::IdOf(ref.frame->signals.Names().Find(ref.name, ref.hash));
      if (signal == IdIndex::kNone) m_deferredPending = 0;
      return SetPinSignal(*ref.frame, ref.id, ref.kind == Deferred::kChildSignal ? 1 : 0, signal,
                          ref.name, ref.offset);
    }
  }
}

void S::FailDeferred(const Deferred& ref, const char* cause) {
  m_deferredPending = 0;
  m_in.Fail(ref.offset, std::string(cause) + " " + Quote(ref.name));
}

// The pending lookups made before `before` (a value of m_deferredNext),
// in file order.
void S::ResolveDeferred(std::size_t before) {
  while (m_deferredPending > 0 && m_deferredNext - m_deferredPending < before) {
    Resolve(m_deferred[(m_deferredNext - m_deferredPending--) % kDeferredDepth]);
  }
}

// A pin's reference to a signal of `frame`'s block: deferred when the block
// has many signals, kept waiting when its signals are still to come.
void S::LinkPinSignal(BlockFrame& frame, std::uint32_t pin, std::uint32_t which,
                      std::string_view name, std::uint64_t offset) {
  if (frame.external) return m_parentRefs.Add(pin, which, name, offset);
  if (frame.signalsRead && frame.signals.Names().IsLarge()) {
    return Defer(which == 0 ? Deferred::kSignal : Deferred::kChildSignal, pin, &frame,
                 frame.signals.Names(), name, offset);
  }
  ResolvePinSignal(frame, pin, which, name, offset, !frame.signalsRead);
}

void S::PlaceBlock(Xdm_Block& block, std::string_view site, std::uint64_t offset, bool mayWait) {
  const auto* cell = static_cast<const Rf_CellData*>(m_device->cellIndex.Find(site));
  if (cell == nullptr) {
    if (mayWait) return m_waitingSites.Add(A::F(block).bridgeId, 0, site, offset);
    m_in.Fail(offset, "unknown cell " + Quote(site));
  }
  A::F(block).site = cell->index + 1;
}

// The block's path for messages, without touching the full-name cache
// (names may still be missing while a block is being read).
std::string S::PathText(const Xdm_Block* block) const {
  auto nameOf = [](const Xdm_Block* b) { return b->GetName()[0] ? b->GetName() : "?"; };
  if (block->GetParent() == nullptr) return nameOf(block);
  std::string path;
  for (const Xdm_Block* b = block; b->GetParent() != nullptr; b = b->GetParent()) {
    path = nameOf(b) + (path.empty() ? "" : "/" + path);
  }
  return path;
}
