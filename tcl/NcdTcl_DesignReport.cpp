#include "NcdTcl_DesignReport.h"

#include <array>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "NcdTcl_Interrupt.h"
#include "NcdTcl_Report.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmNetwork.h"
#include "XCad_CadView.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace NcdTcl {

namespace {

constexpr std::array<const char*, 6> kLevels = {"top",  "module", "hardmacro",
                                                "comp", "bel",    "other"};

// The counts of one subtree (the design's, or a module's).
struct Tally {
  std::string title;
  long blocks = 0, pins = 0, signals = 0;
  std::array<long, kLevels.size()> levels{};
  std::unordered_map<const std::string*, long> subtypes;  // by Subtypes' strings
};

// A block's "Subtype" as the component gives it, which depends on its type
// and on whether it is a bel only: asked once per type and kind.
class Subtypes {
 public:
  explicit Subtypes(UtilI::ISharedNcd& design) : m_design(design) {}
  const std::string& Of(const Pds_PdmBlock* block) {
    const auto key =
        std::make_pair(block ? block->GetTypeBlock() : nullptr, block && block->IsBel());
    auto [it, added] = m_known.try_emplace(key);
    if (added) it->second = block ? m_design.GetBlockSubtype(block).str() : std::string();
    return it->second;
  }

 private:
  struct KeyHash {
    std::size_t operator()(const std::pair<const Pds_PdlBlock*, bool>& key) const {
      return std::hash<const void*>()(key.first) ^ static_cast<std::size_t>(key.second);
    }
  };
  UtilI::ISharedNcd& m_design;
  std::unordered_map<std::pair<const Pds_PdlBlock*, bool>, std::string, KeyHash> m_known;
};

int LevelOf(const Pds_PdmBlock* block) {
  const int level = block ? static_cast<int>(block->GetHierLevel()) : -1;
  return level >= 0 && level < static_cast<int>(kLevels.size()) - 1 ? level : kLevels.size() - 1;
}

void Count(Tally& tally, Xdm_Block* block, int level, const std::string& subtype) {
  ++tally.blocks;
  ++tally.levels[level];
  tally.pins += static_cast<long>(block->GetPinItr().Count());
  tally.signals += static_cast<long>(block->GetSignals().size());
  ++tally.subtypes[&subtype];
}

// Walks every block once; each counts in the design's tally and in those
// of the modules above it (with `hierarchy`).
std::vector<Tally> Walk(Xdm_Block* top, bool hierarchy, Subtypes& subtypes) {
  std::vector<Tally> tallies(1);
  struct Pending {
    Xdm_Block* block;
    std::vector<std::size_t> within;  // the tallies it counts in
  };
  std::vector<Pending> pending{{top, {0}}};
  for (std::size_t visited = 0; !pending.empty(); ++visited) {
    if (visited % 4096 == 0) CheckStop();
    Pending item = std::move(pending.back());
    pending.pop_back();
    const auto* pdm = dynamic_cast<Pds_PdmBlock*>(item.block);
    const int level = LevelOf(pdm);
    const std::string& subtype = subtypes.Of(pdm);
    if (hierarchy && (level == 1 || level == 2)) {
      tallies.emplace_back();
      tallies.back().title = std::string(item.block->GetFullName()) + " (" + kLevels[level] + ")";
      item.within.push_back(tallies.size() - 1);
    }
    for (std::size_t index : item.within)
      Count(tallies[index], item.block, level, subtype);
    Xdm_Range<Xdm_Block> children = item.block->GetBlocks();
    std::vector<Xdm_Block*> reversed(children.begin(), children.end());
    for (auto it = reversed.rbegin(); it != reversed.rend(); ++it)
      pending.push_back({*it, item.within});
  }
  return tallies;
}

std::string TallyText(const Tally& tally, const std::vector<TextRow>& more = {}) {
  std::vector<TextRow> rows{{"Number of blocks:", std::to_string(tally.blocks)}};
  for (std::size_t i = 0; i < kLevels.size(); ++i)
    if (tally.levels[i])
      rows.push_back({std::string("  ") + kLevels[i], std::to_string(tally.levels[i])});
  std::map<std::string, long> types;
  for (const auto& [name, count] : tally.subtypes)
    types[name->empty() ? "(none)" : *name] += count;
  rows.push_back({"Number of blocks by subtype:", ""});
  for (const auto& [name, count] : types)
    rows.push_back({"  " + name, std::to_string(count)});
  rows.push_back({"Number of pins:", std::to_string(tally.pins)});
  rows.push_back({"Number of signals:", std::to_string(tally.signals)});
  rows.insert(rows.end(), more.begin(), more.end());
  return "=== " + tally.title + " ===\n\n" + Columns(rows, "   ");
}

// Nets by their "Subtype" as the component gives it. Only a net on a
// top-level port can be an "Input" or "Output" net: the component is
// asked for those; the others are Vcc,
// Ground or Logic by their type, as it answers them (asking it for every
// net would cost a property value each, about 1 µs).
std::vector<TextRow> NetRows(UtilI::ISharedNcd& design, XCad_CadView& view, std::size_t shapes) {
  std::unordered_set<const Xdm_Network*> atTop;
  for (Xdm_Pin* port : view.GetBlock()->GetPinItr())
    for (const Xdm_Signal* signal : {port->GetSignal(), port->GetChildSignal()})
      if (signal) atTop.insert(signal->GetNetwork());
  std::map<std::string, long> types;
  long nets = 0;
  const Port::StringBase subtype("Subtype");
  for (Xdm_Network* net : view.GetNetworkItr()) {
    if (++nets % 4096 == 0) CheckStop();
    const auto* pdm = dynamic_cast<Pds_PdmNetwork*>(net);
    const int type = pdm ? pdm->GetType() : Pds_PdmNetwork::NET_TYPE_LOGIC;
    if (!atTop.count(net) || type != Pds_PdmNetwork::NET_TYPE_LOGIC) {
      ++types[type == Pds_PdmNetwork::NET_TYPE_GROUND  ? "Ground"
              : type == Pds_PdmNetwork::NET_TYPE_POWER ? "Vcc"
                                                       : "Logic"];
      continue;
    }
    Port::StringBase text;
    if (CommonI::RefCountPtr<UtilI::IPropertyValue> value =
            design.GetNetPropertyValue(net, subtype))
      value->GetText(text);
    ++types[text.Length() ? text.str() : "(none)"];
  }
  std::vector<TextRow> rows{{"Number of nets:", std::to_string(nets)}};
  for (const auto& [name, count] : types)
    rows.push_back({"  " + name, std::to_string(count)});
  rows.push_back({"Number of RPMs:", std::to_string(shapes)});
  return rows;
}

}  // namespace

std::string DesignReport(const Session::Handle& handle, bool hierarchy) {
  UtilI::ISharedNcd& design = *handle.design;
  XCad_CadView* view = design.GetView();
  std::string text = "Design " + handle.file + ", part " + design.GetPartName().str() + "\n";
  if (!view || !view->GetBlock()) return text;
  Subtypes subtypes(design);
  std::vector<Tally> tallies = Walk(view->GetBlock(), hierarchy, subtypes);
  tallies.front().title = std::string(view->GetBlock()->GetName()) + " (design)";
  std::vector<Xdh_Shape> shapes;
  if (Xdh_ShapeMgr* mgr = design.GetShapeMgr(); mgr) mgr->GetShapes(shapes);
  text += "\n" + TallyText(tallies.front(), NetRows(design, *view, shapes.size()));
  for (std::size_t i = 1; i < tallies.size(); ++i)
    text += "\n" + TallyText(tallies[i]);
  return text;
}

}  // namespace NcdTcl
