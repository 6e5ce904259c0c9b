#include "DesignSummary.h"

#include <memory>
#include <ostream>
#include <vector>

#include "PM_PIC.h"
#include "Pds_PdmBlock.h"
#include "Rf_Device.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "Xdh_Partition.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_View.h"

namespace {

std::string PartNameOf(const Xdm_View& view) {
  auto* cadView = dynamic_cast<const XCad_CadView*>(&view);
  Rf_Device* device = cadView ? cadView->GetDevice() : nullptr;
  if (!device || !device->GetPmPic()) return {};
  std::unique_ptr<char[]> name(device->GetPmPic()->get_partname());
  return name ? std::string(name.get()) : std::string();
}

void CountBlock(DesignSummary& s, const XCad_RMed* rmed, Xdm_Block* block) {
  ++s.blocks;
  s.pins += block->GetPinItr().Count();
  s.signals += block->GetSignals().size();
  auto* pdm = dynamic_cast<Pds_PdmBlock*>(block);
  if (!pdm) return;
  unsigned level = pdm->GetHierLevel();
  if (level < s.blocksByLevel.size())
    ++s.blocksByLevel[level];
  else
    ++s.otherLevels;
  if (Xdh_Partition::IsPartition(block)) ++s.partitions;
  if (pdm->IsComp() && pdm->IsExternal()) ++s.iobs;
  if (pdm->IsComp() && rmed && rmed->GetPlacement(block).IsValid()) ++s.placedComps;
}

}  // namespace

DesignSummary Summarise(Xdm_View& view) {
  DesignSummary s;
  if (Xdm_DesignInfo* info = view.GetAppObject()) s.designName = info->GetName();
  s.partName = PartNameOf(view);
  auto* cadView = dynamic_cast<XCad_CadView*>(&view);
  std::unique_ptr<XCad_RMed> rmed(cadView ? new XCad_RMed(cadView) : nullptr);

  std::vector<Xdm_Block*> pending;
  if (view.GetBlock()) pending.push_back(view.GetBlock());
  while (!pending.empty()) {
    Xdm_Block* block = pending.back();
    pending.pop_back();
    CountBlock(s, rmed.get(), block);
    Xdm_Range<Xdm_Block> children = block->GetBlocks();
    pending.insert(pending.end(), children.begin(), children.end());
  }
  for (Xdm_Network* net : view.GetNetworkItr()) {
    ++s.nets;
    auto* cadNet = dynamic_cast<XCad_CadNetwork*>(net);
    XCad_RMedRug* rug = rmed && cadNet ? rmed->GetRug(cadNet) : nullptr;
    if (rug && rmed->IsFullyRouted(rug)) ++s.routedNets;
  }
  std::vector<Xdh_Shape> shapes;
  if (Xdh_ShapeMgr::CreateShapeMgr(view).GetShapes(shapes)) s.shapes = shapes.size();
  return s;
}

void Print(std::ostream& out, const DesignSummary& s) {
  static const char* const kLevelNames[] = {"top", "module", "hard-macro instance", "comp", "bel"};
  if (!s.designName.empty()) out << "  design      " << s.designName << '\n';
  out << "  part        " << s.partName << '\n';
  out << "  blocks      " << s.blocks << '\n';
  for (std::size_t level = 0; level < s.blocksByLevel.size(); ++level)
    out << "    level " << level << "   " << s.blocksByLevel[level] << ' ' << kLevelNames[level]
        << '\n';
  if (s.otherLevels) out << "    other     " << s.otherLevels << '\n';
  out << "    partitions " << s.partitions << ", IOBs " << s.iobs << ", placed comps "
      << s.placedComps << '\n';
  out << "  nets        " << s.nets << " (" << s.routedNets << " fully routed)\n";
  out << "  pins        " << s.pins << '\n';
  out << "  signals     " << s.signals << '\n';
  out << "  shapes      " << s.shapes << '\n';
}
