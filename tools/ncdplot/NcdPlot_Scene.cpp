#include "NcdPlot_Scene.h"

#include <algorithm>
#include <map>
#include <memory>
#include <unordered_map>

#include "NcdPlot_Site.h"
#include "Pds_PdmBlock.h"
#include "Rf_Device.h"
#include "Tw_DlyMed.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace NcdPlot {

namespace {

// Security of either kind hides a block's contents: the blocks inside it
// and their pins, which the picture leaves out as the commands do.
bool IsSecured(const Xdm_Block* block) {
  auto* pdm = dynamic_cast<const Pds_PdmBlock*>(block);
  return pdm && (pdm->GetNetlistSecurity() != 0 || pdm->GetConfigSecurity() != 0);
}

// Whether a block around `block` hides it.
bool IsHidden(const Xdm_Block* block) {
  for (const Xdm_Block* b = block ? block->GetParent() : nullptr; b; b = b->GetParent()) {
    if (IsSecured(b)) return true;
  }
  return false;
}

// Where a cell lies: the column and row the design gives it, else those its
// name gives; the position inside the tile comes from the name.
bool PlaceOfCell(const Rf_Cell& cell, SitePlace& place) {
  const bool named = PlaceOfSite(cell.GetName(), place);
  std::int32_t x = 0, y = 0;
  if (!cell.GetLocation(x, y) || x < 0 || y < 0 || x > kMaxCoordinate || y > kMaxCoordinate)
    return named;
  place.x = x;
  place.y = y;
  return true;
}

class Builder {
 public:
  Builder(Xdm_View& view, const SceneOptions& options)
      : m_view(view), m_cad(dynamic_cast<XCad_CadView*>(&view)), m_options(options) {}
  Scene Run();

 private:
  void Tiles(const Rf_Device& device);
  void AddComp(Xdm_Block* block, const XCad_RMed& rmed);
  int ModuleOf(const Xdm_Block* block);
  bool Marked(const std::string& path) const;
  std::uint32_t CompOf(const Xdm_Pin* pin) const;
  void ShareTiles();
  void Wires(const XCad_RMed& rmed, const Tw_DlyMed& delays);
  void Pins(const Tw_DlyMed& delays);
  void Rpms();

  Xdm_View& m_view;
  XCad_CadView* m_cad;
  const SceneOptions& m_options;
  Scene m_s;
  std::vector<const Xdm_Block*> m_compBlocks;  // per comp
  std::unordered_map<const Xdm_Block*, std::uint32_t> m_compIndex;
  std::unordered_map<const Xdm_Network*, std::uint32_t> m_wireIndex;
  std::map<std::string, int> m_moduleIndex;
};

Scene Builder::Run() {
  if (Xdm_DesignInfo* info = m_view.GetAppObject()) m_s.design = info->GetName();
  if (m_s.design.empty() && m_view.GetBlock()) m_s.design = m_view.GetBlock()->GetName();
  Rf_Device* device = m_cad ? m_cad->GetDevice() : nullptr;
  if (device) {
    m_s.part = device->GetName();
    Tiles(*device);
  }
  m_s.maxObjects = m_options.maxObjects;
  if (!m_cad) return std::move(m_s);
  XCad_RMed rmed(m_cad);
  Tw_DlyMed delays(m_cad);
  if (m_view.GetBlock()) {
    std::vector<Xdm_Block*> pending{m_view.GetBlock()};
    while (!pending.empty()) {
      Xdm_Block* block = pending.back();
      pending.pop_back();
      AddComp(block, rmed);
      if (IsSecured(block)) continue;
      auto children = block->GetBlocks();
      pending.insert(pending.end(), std::make_reverse_iterator(children.end()),
                     std::make_reverse_iterator(children.begin()));
    }
  }
  ShareTiles();
  Wires(rmed, delays);
  if (m_options.pins) Pins(delays);
  Rpms();
  return std::move(m_s);
}

// A cell that names a whole tile gives the tile its type; otherwise the
// tile takes the type of its first cell.
void Builder::Tiles(const Rf_Device& device) {
  std::map<std::pair<int, int>, std::size_t> index;
  for (const Rf_Cell& cell : device.GetCells()) {
    SitePlace place;
    if (!PlaceOfCell(cell, place)) continue;
    const char* type = cell.GetCellDef() ? cell.GetCellDef()->GetName() : "";
    auto [it, added] = index.try_emplace({place.x, place.y}, m_s.tiles.size());
    if (added) m_s.tiles.push_back({place.x, place.y, type});
    if (place.tile) m_s.tiles[it->second].type = type;
    m_s.width = std::max(m_s.width, place.x + 1);
    m_s.height = std::max(m_s.height, place.y + 1);
  }
}

void Builder::AddComp(Xdm_Block* block, const XCad_RMed& rmed) {
  auto* pdm = dynamic_cast<Pds_PdmBlock*>(block);
  if (!pdm || !pdm->IsComp()) return;
  const Rf_Cell cell = rmed.GetPlacement(block);
  SitePlace place;
  if (!cell.IsValid() || !PlaceOfCell(cell, place)) {
    ++m_s.unplaced;
    return;
  }
  if (m_s.comps.size() >= m_options.maxObjects) {
    ++m_s.leftOutComps;
    return;
  }
  Comp& c = m_s.comps.emplace_back();
  c.path = block->GetFullName();
  c.highlight = Marked(c.path);
  c.type = pdm->GetTypeBlock() && pdm->GetTypeBlock()->GetTypeName()
               ? pdm->GetTypeBlock()->GetTypeName()
               : "";
  c.site = cell.GetName();
  c.iob = pdm->IsExternal();
  c.module = ModuleOf(block);
  c.x = place.x;
  c.y = place.y;
  c.slot = place.slot;
  c.slots = place.slots;
  m_s.width = std::max(m_s.width, place.x + 1);
  m_s.height = std::max(m_s.height, place.y + 1);
  m_compIndex.emplace(block, static_cast<std::uint32_t>(m_s.comps.size() - 1));
  m_compBlocks.push_back(block);
}

// Comps whose sites give one whole tile (an IOB_X0Y0 and a SLICE_X0Y0)
// share it, one slot each, rather than hide one another.
void Builder::ShareTiles() {
  std::map<std::pair<int, int>, std::vector<std::uint32_t>> whole;
  for (std::uint32_t i = 0; i < m_s.comps.size(); ++i) {
    if (m_s.comps[i].slots == 1) whole[{m_s.comps[i].x, m_s.comps[i].y}].push_back(i);
  }
  for (const auto& [tile, comps] : whole) {
    for (std::size_t k = 0; comps.size() > 1 && k < comps.size(); ++k) {
      m_s.comps[comps[k]].slot = static_cast<int>(k);
      m_s.comps[comps[k]].slots = static_cast<int>(comps.size());
    }
  }
}

// A comp is marked when it, a block inside it (a bel) or a block around it
// (a module) is.
bool Builder::Marked(const std::string& path) const {
  if (m_options.highlight.empty()) return false;
  if (m_options.highlight.count("")) return true;  // the top block holds every comp
  for (std::size_t end = path.find('/'); end != std::string::npos; end = path.find('/', end + 1)) {
    if (m_options.highlight.count(path.substr(0, end))) return true;
  }
  if (m_options.highlight.count(path)) return true;
  return std::any_of(m_options.highlight.begin(), m_options.highlight.end(),
                     [&](const std::string& name) {
                       return name.size() > path.size() &&
                              name.compare(0, path.size(), path) == 0 && name[path.size()] == '/';
                     });
}

// The comp's outermost enclosing block below the top, when that is a
// module (hierarchy level 1).
int Builder::ModuleOf(const Xdm_Block* block) {
  const Xdm_Block* outer = nullptr;
  for (const Xdm_Block* b = block->GetParent(); b && b->GetParent(); b = b->GetParent())
    outer = b;
  auto* pdm = dynamic_cast<const Pds_PdmBlock*>(outer);
  if (!pdm || pdm->GetHierLevel() != 1) return -1;
  auto [it, added] = m_moduleIndex.try_emplace(outer->GetFullName(), 0);
  if (added) {
    it->second = static_cast<int>(m_s.modules.size());
    m_s.modules.push_back(it->first);
  }
  return it->second;
}

std::uint32_t Builder::CompOf(const Xdm_Pin* pin) const {
  for (const Xdm_Block* b = pin->GetParent(); b; b = b->GetParent()) {
    auto it = m_compIndex.find(b);
    if (it != m_compIndex.end()) return it->second;
  }
  return kNone;
}

// Every net with a placed comp among its pins (the pins a secured block
// hides left out): its routing record (a partial record has a driven node,
// an unrouted one none), its delay, the comp that drives it and the comps
// it loads.
void Builder::Wires(const XCad_RMed& rmed, const Tw_DlyMed& delays) {
  for (Xdm_Network* net : m_view.GetNetworkItr()) {
    auto* cadNet = dynamic_cast<XCad_CadNetwork*>(net);
    Wire w;
    w.driver = kNone;
    for (Xdm_Signal* signal : net->GetSignalItr()) {
      for (Xdm_Pin* pin : signal->GetPinItr()) {
        const std::uint32_t comp = IsHidden(pin->GetParent()) ? kNone : CompOf(pin);
        if (comp == kNone) continue;
        if (!pin->IsSignalLoad() && w.driver == kNone) {
          w.driver = comp;
        } else if (pin->IsSignalLoad() &&
                   std::find(w.loads.begin(), w.loads.end(), comp) == w.loads.end()) {
          w.loads.push_back(comp);
        }
      }
    }
    std::erase(w.loads, w.driver);
    if (w.driver == kNone && w.loads.empty()) continue;
    if (m_s.wires.size() >= m_options.maxObjects) {
      ++m_s.leftOutNets;
      continue;
    }
    w.name = net->GetFullName();
    w.highlight = m_options.highlightNets.count(w.name) > 0;
    if (XCad_RMedRug* rug = cadNet ? rmed.GetRug(cadNet) : nullptr) {
      const XCad_RMedRugNode* first = rug->GetFirstRugNode();
      w.route = rmed.IsFullyRouted(rug)       ? Route::Full
                : first && first->GetDriver() ? Route::Partial
                                              : Route::Unrouted;
    }
    int first = 0, second = 0;
    if (cadNet && delays.GetDelay(cadNet, &first, &second) != Tw_DlyMed::DELAYTYPE_NONE)
      w.delay = first;
    m_wireIndex.emplace(net, static_cast<std::uint32_t>(m_s.wires.size()));
    m_s.wires.push_back(std::move(w));
  }
}

// Each comp's own pins with the net outside and the delay to the pin.
void Builder::Pins(const Tw_DlyMed& delays) {
  for (std::uint32_t c = 0; c < m_s.comps.size(); ++c) {
    for (Xdm_Pin* pin : m_compBlocks[c]->GetPinItr()) {
      CompPin& p = m_s.comps[c].pins.emplace_back();
      p.name = pin->GetName();
      p.dir = pin->IsBlockBidir() ? 'b' : pin->IsBlockOutput() ? 'o' : 'i';
      Xdm_Network* net = pin->GetNetwork();
      auto it = net ? m_wireIndex.find(net) : m_wireIndex.end();
      if (it != m_wireIndex.end()) p.net = it->second;
      int first = 0, second = 0;
      auto* cadNet = dynamic_cast<XCad_CadNetwork*>(net);
      if (cadNet && delays.GetDelay(cadNet, pin, &first, &second) != Tw_DlyMed::DELAYTYPE_NONE)
        p.delay = first;
    }
  }
}

void Builder::Rpms() {
  std::vector<Xdh_Shape> shapes;
  if (!Xdh_ShapeMgr::CreateShapeMgr(m_view).GetShapes(shapes)) return;
  for (const Xdh_Shape& shape : shapes) {
    Rpm rpm;
    rpm.name = shape.GetNativeXdmObject() ? shape.GetNativeXdmObject()->GetName() : "";
    rpm.user = shape.IsUserShape();
    std::vector<Xdm_Block*> blocks;
    if (!shape.GetBlocks(blocks)) continue;
    for (const Xdm_Block* b : blocks) {
      auto it = m_compIndex.find(b);
      if (it != m_compIndex.end()) rpm.comps.push_back(it->second);
    }
    if (!rpm.comps.empty()) m_s.rpms.push_back(std::move(rpm));
  }
}

}  // namespace

Scene BuildScene(Xdm_View& view, const SceneOptions& options) {
  return Builder(view, options).Run();
}

}  // namespace NcdPlot
