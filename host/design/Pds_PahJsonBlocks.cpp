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
  nameOffset = 0;
  levelOffset = 0;
  gcdInvalidOffset = 0;
  signalsRead = false;
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

const S::Rule<S::BlockCtx> S::kBlockRules[] = {
    {"name", true,
     [](S& s, BlockCtx& c) {
       A::SetName(*c.frame.block, s.m_store->m_strings.Copy(s.ReadName("'name'")));
       c.frame.nameOffset = s.m_in.ValueOffset();
     }},
    {"level", true,
     [](S& s, BlockCtx& c) {
       A::F(*c.frame.block).level = static_cast<std::uint8_t>(s.m_in.ReadInt("'level'", 0, 255));
       c.frame.levelOffset = s.m_in.ValueOffset();
     }},
    {"type", false,
     [](S& s, BlockCtx& c) { A::F(*c.frame.block).type = s.TypeBlock(s.ReadName("'type'")); }},
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
    {"netlist_security", false,
     [](S& s, BlockCtx& c) {
       s.Extra(*c.frame.block).netlistSecurity = s.ReadInt32("'netlist_security'");
     }},
    {"config_security", false,
     [](S& s, BlockCtx& c) {
       s.Extra(*c.frame.block).configSecurity = s.ReadInt32("'config_security'");
     }},
    {"site", false,
     [](S& s, BlockCtx& c) {
       const std::string_view site = s.ReadName("'site'");
       s.PlaceBlock(*c.frame.block, site, s.m_in.ValueOffset(), !s.m_deviceRead);
     }},
    {"config", false,
     [](S& s, BlockCtx& c) {
       A::F(*c.frame.block).config = s.m_store->m_strings.Copy(s.m_in.ReadString("'config'"));
     }},
    {"modes", false,
     [](S& s, BlockCtx& c) {
       Xdm_BlockExtra& extra = s.Extra(*c.frame.block);
       extra.modes = s.ReadStringMap("'modes'", "'modes'");
       extra.hasModes = true;
     }},
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
    {"blocks", false,
     [](S& s, BlockCtx& c) { s.ForEach("'blocks'", [&] { s.ReadBlock(&c.frame, c.depth + 1); }); }},
};

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
  const Xdm_BlockFields& f = A::F(*frame.block);
  if (frame.parent == nullptr && f.level != 0) {
    m_in.Fail(frame.levelOffset, "the top block's level must be 0");
  }
  if (frame.gcdInvalidOffset != 0 && !f.extra->hasUsage) {
    m_in.Fail(frame.gcdInvalidOffset, "'gcd_invalid' without 'gcd'");
  }
  ResolveSignalRefs(frame);
  if (BlockFrame* parent = frame.parent) {
    if (!parent->children.Insert(frame.block->GetName(), frame.block)) {
      m_in.Fail(frame.nameOffset, std::string("duplicate block name '") + frame.block->GetName() +
                                      "' in block '" + PathText(parent->block) + "'");
    }
  }
}

void S::ReadSignal(BlockFrame& frame) {
  static constexpr Rule<SignalCtx> kRules[] = {
      {"name", true,
       [](S& s, SignalCtx& c) {
         A::SetName(*c.signal, s.m_store->m_strings.Copy(s.ReadName("'name'")));
         c.nameOffset = s.m_in.ValueOffset();
       }},
      {"net", false,
       [](S& s, SignalCtx& c) {
         const std::string_view net = s.ReadName("'net'");
         s.ResolveSignalNet(*c.signal, net, s.m_in.ValueOffset(), !s.m_netsRead);
       }},
  };
  Xdm_Signal* signal = m_store->m_signals.Create();
  Xdm_SignalFields& f = A::F(*signal);
  f.block = frame.block;
  f.bridgeId = static_cast<std::uint32_t>(m_store->m_signals.Size() - 1);
  SignalCtx c{signal, 0};
  ReadMembers(kRules, c, "each element of 'signals'", "signal");
  if (!frame.signals.Insert(signal->GetName(), signal)) {
    m_in.Fail(c.nameOffset, std::string("duplicate signal name '") + signal->GetName() +
                                "' in block '" + PathText(frame.block) + "'");
  }
}

const S::Rule<S::PinCtx> S::kPinRules[] = {
    {"name", true,
     [](S& s, PinCtx& c) {
       A::SetName(*c.pin, s.Intern(s.ReadName("'name'")));
       c.nameOffset = s.m_in.ValueOffset();
     }},
    {"dir", false,
     [](S& s, PinCtx& c) {
       c.flags |= static_cast<std::uint8_t>(s.ReadChoice("'dir'", {"input", "output", "bidir"}));
     }},
    {"signal", false,
     [](S& s, PinCtx& c) {
       const std::string_view name = s.ReadName("'signal'");
       if (c.parent == nullptr) {
         s.m_in.Fail(s.m_in.ValueOffset(), "a pin of the top block cannot have a 'signal'");
       }
       s.ResolvePinSignal(*c.parent, A::F(*c.pin).bridgeId, 0, name, s.m_in.ValueOffset(),
                          !c.parent->signalsRead);
     }},
    {"child_signal", false,
     [](S& s, PinCtx& c) {
       const std::string_view name = s.ReadName("'child_signal'");
       s.ResolvePinSignal(*c.own, A::F(*c.pin).bridgeId, 1, name, s.m_in.ValueOffset(),
                          !c.own->signalsRead);
     }},
    {"pad", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'pad'")) c.flags |= Xdm_PinFields::kPad;
     }},
    {"clock", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'clock'")) c.flags |= Xdm_PinFields::kClock;
     }},
    {"implicit", false,
     [](S& s, PinCtx& c) {
       if (s.m_in.ReadBool("'implicit'")) c.flags |= Xdm_PinFields::kImplicit;
     }},
    {"load", false,
     [](S& s, PinCtx& c) {
       c.load = s.m_in.ReadBool("'load'");
       c.loadSet = true;
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
  f.bridgeId = static_cast<std::uint32_t>(m_store->m_pins.Size() - 1);
  PinCtx c{pin, &own, parent};
  ReadMembers(kPinRules, c, "each element of 'pins'", "pin");

  if (!own.pins.Insert(pin->GetName(), pin)) {
    m_in.Fail(c.nameOffset, std::string("duplicate pin name '") + pin->GetName() + "' in block '" +
                                PathText(own.block) + "'");
  }
  const bool output = (c.flags & Xdm_PinFields::kDirMask) == 1;
  f.flags = c.flags;
  if (c.loadSet ? c.load : !output) f.flags |= Xdm_PinFields::kLoad;
  f.delayType = c.delayTypeSet ? c.delayType : (c.delaySet ? 0 : 2);
}

void S::ReadIo(Xdm_Block& block) {
  static constexpr Rule<Xdm_IoData> kRules[] = {
      {"input_standard", false,
       [](S& s, Xdm_IoData& io) {
         io.value[Xdm_IoData::kInput] =
             s.m_store->m_strings.Copy(s.m_in.ReadString("'input_standard'"));
       }},
      {"output_standard", false,
       [](S& s, Xdm_IoData& io) {
         io.value[Xdm_IoData::kOutput] =
             s.m_store->m_strings.Copy(s.m_in.ReadString("'output_standard'"));
       }},
      {"drive", false,
       [](S& s, Xdm_IoData& io) {
         io.value[Xdm_IoData::kDrive] = s.m_store->m_strings.Copy(s.m_in.ReadString("'drive'"));
       }},
      {"slew", false,
       [](S& s, Xdm_IoData& io) {
         io.value[Xdm_IoData::kSlew] = s.m_store->m_strings.Copy(s.m_in.ReadString("'slew'"));
       }},
      {"reject", false,
       [](S& s, Xdm_IoData& io) {
         io.reject = static_cast<Xdm_IoData::Reject>(
             1 + s.ReadChoice("'reject'", {"invalid_type", "corrupt_database"}));
       }},
  };
  Xdm_IoData* io = m_store->m_ioData.Create();
  Extra(block).io = io;
  ReadMembers(kRules, *io, "'io'", "'io'");
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
  const auto* signal = static_cast<const Xdm_Signal*>(frame.signals.Find(name));
  if (signal == nullptr) {
    if (mayWait) return frame.waiting.Add(pin, which, name, offset);
    m_in.Fail(offset, "unknown signal '" + std::string(name) + "' in block '" +
                          PathText(frame.block) + "'");
  }
  Xdm_PinFields& f = A::F(*m_store->m_pins.At(pin));
  (which == 0 ? f.signal : f.childSignal) = A::F(*signal).bridgeId;
}

void S::ResolveSignalNet(Xdm_Signal& signal, std::string_view name, std::uint64_t offset,
                         bool mayWait) {
  auto* net = static_cast<Xdm_Network*>(m_netIndex.Find(name));
  if (net == nullptr) {
    if (mayWait) return m_waitingNets.Add(A::F(signal).bridgeId, 0, name, offset);
    m_in.Fail(offset, "unknown net '" + std::string(name) + "'");
  }
  A::F(signal).network = net;
}

void S::PlaceBlock(Xdm_Block& block, std::string_view site, std::uint64_t offset, bool mayWait) {
  const auto* cell = static_cast<const Rf_CellData*>(m_device->cellIndex.Find(site));
  if (cell == nullptr) {
    if (mayWait) return m_waitingSites.Add(A::F(block).bridgeId, 0, site, offset);
    m_in.Fail(offset, "unknown cell '" + std::string(site) + "'");
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
