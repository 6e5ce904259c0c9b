#include "NcdTcl_DesignInfo.h"

#include <array>
#include <cstdint>
#include <vector>

#include "Pds_PdmBlock.h"
#include "XCad_CadView.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_View.h"

namespace NcdTcl {

namespace {

// Hierarchy levels 0 to 4 by name; any other level counts as "other".
constexpr std::array<const char*, 5> kLevelNames = {"top", "module", "hardmacro", "comp", "bel"};

struct Counts {
  std::array<Tcl_WideInt, kLevelNames.size() + 1> levels{};  // the last one is "other"
  Tcl_WideInt blocks = 0, nets = 0, pins = 0, signals = 0, shapes = 0;
};

void CountBlock(Counts& counts, Xdm_Block* block) {
  ++counts.blocks;
  counts.pins += static_cast<Tcl_WideInt>(block->GetPinItr().Count());
  counts.signals += static_cast<Tcl_WideInt>(block->GetSignals().size());
  auto* pdm = dynamic_cast<Pds_PdmBlock*>(block);
  int level = pdm ? static_cast<int>(pdm->GetHierLevel()) : -1;
  bool named = level >= 0 && level < static_cast<int>(kLevelNames.size());
  ++counts.levels[named ? level : kLevelNames.size()];
}

Counts CountView(UtilI::ISharedNcd& design) {
  Counts counts;
  XCad_CadView* view = design.GetView();
  if (!view) return counts;
  std::vector<Xdm_Block*> pending;
  if (view->GetBlock()) pending.push_back(view->GetBlock());
  while (!pending.empty()) {
    Xdm_Block* block = pending.back();
    pending.pop_back();
    CountBlock(counts, block);
    Xdm_Range<Xdm_Block> children = block->GetBlocks();
    pending.insert(pending.end(), children.begin(), children.end());
  }
  counts.nets = static_cast<Tcl_WideInt>(view->GetNetworkItr().Count());
  std::vector<Xdh_Shape> shapes;
  if (Xdh_ShapeMgr* mgr = design.GetShapeMgr(); mgr && mgr->GetShapes(shapes))
    counts.shapes = static_cast<Tcl_WideInt>(shapes.size());
  return counts;
}

void Put(Tcl_Obj* dict, const char* key, Tcl_Obj* value) {
  Tcl_DictObjPut(nullptr, dict, Tcl_NewStringObj(key, -1), value);
}
void PutText(Tcl_Obj* dict, const char* key, const std::string& value) {
  Put(dict, key, Tcl_NewStringObj(value.c_str(), -1));
}
void PutCount(Tcl_Obj* dict, const char* key, Tcl_WideInt value) {
  Put(dict, key, Tcl_NewWideIntObj(value));
}

Tcl_Obj* BlockCounts(const Counts& counts) {
  Tcl_Obj* blocks = Tcl_NewDictObj();
  PutCount(blocks, "total", counts.blocks);
  for (std::size_t level = 0; level < kLevelNames.size(); ++level)
    PutCount(blocks, kLevelNames[level], counts.levels[level]);
  PutCount(blocks, "other", counts.levels[kLevelNames.size()]);
  return blocks;
}

std::string DesignName(UtilI::ISharedNcd& design) {
  UtilI::ISharedNcd::ViewObject* info = nullptr;
  return design.FindViewObject(info) && info ? info->GetName() : "";
}

}  // namespace

Tcl_Obj* DescribeDesign(const Session::Handle& handle) {
  UtilI::ISharedNcd& design = *handle.design;
  Counts counts = CountView(design);
  Tcl_Obj* dict = Tcl_NewDictObj();
  PutText(dict, "file", design.GetFileName().str());
  PutText(dict, "name", DesignName(design));
  PutText(dict, "part", design.GetPartName().str());
  PutText(dict, "owner", handle.ownerName);
  PutText(dict, "status", StateName(handle.state));
  Put(dict, "blocks", BlockCounts(counts));
  PutCount(dict, "nets", counts.nets);
  PutCount(dict, "pins", counts.pins);
  PutCount(dict, "signals", counts.signals);
  PutCount(dict, "shapes", counts.shapes);
  return dict;
}

}  // namespace NcdTcl
