// The writer's internals, shared by the files that write the document
// (NcdGen_Write.cpp) and its block tree (NcdGen_WriteBlocks.cpp).
#pragma once

#include <array>
#include <charconv>
#include <string>
#include <string_view>

#include "NcdGen.h"
#include "NcdGen_Design.h"
#include "NcdGen_Json.h"

namespace NcdGen {

inline constexpr const char* kStandards[] = {"LVDS_25", "LVCMOS25", "LVCMOS33", "SSTL18_I",
                                             "HSTL_I_18"};
inline constexpr const char* kDirs[] = {"input", "output", "bidir"};

enum class Route : uint8_t { None, Full, Partial, Unrouted };

// A net's routing record and delays, drawn from a hash of the net.
struct Timing {
  Route route = Route::None;
  uint32_t delay = 0;  // 0: no delay key
  uint32_t delayMin = 0;
  bool unroutable = false;
};

// A comp's signals: one per net or internal link its bel pins use, named
// after the comp pin of the first bel pin that uses it ("A1", "AQ", "CLK").
struct Local {
  uint32_t conn = kNone;
  char name[5] = {};
  bool driver = false;
  bool clock = false;
};

struct Locals {
  std::array<Local, 4 * kSlots> items;
  uint32_t size = 0;

  // The signal of a connection the comp's bels use (it must be one).
  const Local& Of(uint32_t conn) const {
    uint32_t i = 0;
    while (items[i].conn != conn)
      ++i;
    return items[i];
  }
};

inline void Append(std::string& s, uint64_t v) {
  char digits[24];
  auto end = std::to_chars(digits, digits + sizeof digits, v).ptr;
  s.append(digits, end);
}

// Writes one design through a sink, counting what it writes. Emitting is
// split over two files: NcdGen_Write.cpp writes the document and its flat
// sections, NcdGen_WriteBlocks.cpp the block tree.
class Emitter {
 public:
  Emitter(const Design& d, Sink& sink) : m_d(d), m_sink(sink), m_j(sink) {}
  Stats Run();

 private:
  void Header();
  void Device();
  void Cells();
  void SiteCell(uint32_t site, bool slicem);
  void IobCell(const Iob& iob);
  void Nets();
  Timing TimingOf(uint32_t net) const;
  uint32_t PinDelay(uint32_t net, uint64_t where) const;
  void NetName(uint32_t net);
  bool IsClock(uint32_t net) const;
  void Top();
  void NodeSignals(uint32_t node);
  void NodePins(uint32_t node);
  void IobBlock(const Iob& iob);
  void IobIo(const Iob& iob);
  void IobPins(const Iob& iob);
  void ModuleBlock(uint32_t node);
  void MacroBlock(uint32_t node);
  void CompBlock(uint32_t ci);
  Locals LocalsOf(const Comp& c) const;
  void CompConfig(const Comp& c);
  void CompSignals(const Locals& locals);
  void CompPins(uint32_t ci, const Locals& locals);
  void BelBlock(const Comp& c, uint32_t b, const Locals& locals);
  void LutEquation(const Bel& bel, uint32_t b);
  void Shapes();
  void Relocation();
  const std::string& CompPath(uint32_t ci);

  const Design& m_d;
  Sink& m_sink;
  Json m_j;
  Stats m_s;
  std::string m_tmp, m_path;
};

}  // namespace NcdGen
