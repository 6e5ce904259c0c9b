// HmInstColl: a hard-macro instance's reference block and its placement
// and routing status.
#include <vector>

#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "XCad_CadNetwork.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdm_Network.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {

// The instance itself when it is a visible comp, then, depth first with
// each block before its children, every descendant that is.
void CollectComps(SharedNcd& design, const Xdm_Block* block, std::vector<const Xdm_Block*>& comps) {
  if (design.IsCompVisible(block)) comps.push_back(block);
  for (const Xdm_Block* child : block->GetBlocks()) CollectComps(design, child, comps);
}

const char* PlacementStatus(XCad_RMed* routes, const std::vector<const Xdm_Block*>& comps) {
  std::size_t placed = 0;
  for (const Xdm_Block* comp : comps) placed += routes && routes->GetPlacement(comp).IsValid();
  if (placed == comps.size()) return nullptr;
  return placed == 0 ? "Unplaced" : "Partially Placed";
}

// "Partially Routed" as soon as one visible net with a routing record is
// not fully routed.
const char* RoutingStatus(SharedNcd& design, XCad_RMed* routes, const Xdm_Block* instance) {
  for (const Xdm_Signal* signal : instance->GetSignals()) {
    const Xdm_Network* network = signal->GetNetwork();
    if (!network || !design.IsNetVisible(network)) continue;
    const auto* cad = dynamic_cast<const XCad_CadNetwork*>(network);
    const XCad_RMedRug* rug = cad && routes ? routes->GetRug(cad) : nullptr;
    if (rug && !routes->IsFullyRouted(rug)) return "Partially Routed";
  }
  return "Routed";
}

}  // namespace

std::span<const PropertySpec<HmInstColl>> HmInstColl::Properties() {
  static constexpr PropertySpec<HmInstColl> kTable[] = {
      {"Reference Block", kKindObject,
       "This property specifies the reference comp of the hard macro instance.\n", &HmInstColl::GetReferenceBlock},
      {"Status", kKindString,
       "This property specifies the placement and routing status of the hard macro instance.\n",
       &HmInstColl::GetStatus},
  };
  return kTable;
}

// A relocation group without a reference block delivers null, as a block
// outside any group does, rather than a collectable that wraps nothing.
CitI::Result HmInstColl::GetReferenceBlock(UtilI::IPropertyValue** value) {
  XCad_Rho* relocation = design->GetRelocService();
  const XCad_RhoNode* node = relocation ? relocation->GetRelocIsetNodeForBlock(Block()) : nullptr;
  const Xdm_Block* reference = node ? relocation->GetReferenceBlock(node) : nullptr;
  if (!reference) return (*value)->SetObject(nullptr);
  return DeliverObject(value, design->MakeCollectable(static_cast<const Pds_PdmBlock*>(reference)));
}

CitI::Result HmInstColl::GetStatus(UtilI::IPropertyValue** value) {
  std::vector<const Xdm_Block*> comps;
  CollectComps(*design, Block(), comps);
  if (comps.empty()) return (*value)->SetString("Unplaced");
  XCad_RMed* routes = design->GetRouteMediator();
  if (const char* placement = PlacementStatus(routes, comps)) return (*value)->SetString(placement);
  return (*value)->SetString(RoutingStatus(*design, routes, Block()));
}

}  // namespace UtilC::SharedNcd
