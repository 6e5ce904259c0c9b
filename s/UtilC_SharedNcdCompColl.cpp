// CompColl: a comp's site, placement and configuration.
#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "UtilI_SharedRf.h"
#include "XCad_CadBlock.h"
#include "XCad_RMed.h"

namespace UtilC::SharedNcd {

std::span<const PropertySpec<CompColl>> CompColl::Properties() {
  static constexpr PropertySpec<CompColl> kTable[] = {
      {"Site", kKindObject, "This property specifies the site where the block is placed.\n", &CompColl::GetSite},
      {"Is Placed", kKindBool,
       "This property is true if the block is placed on the device; false otherwise.\n", &CompColl::GetIsPlaced},
      {"Configuration", kKindString, "This property specifies the configuration string of the block.\n",
       &CompColl::GetConfiguration},
  };
  return kTable;
}

// The site object of the comp's placement cell, from the shared device of
// the design's part (the cell is passed even when the comp is unplaced).
CitI::Result CompColl::GetSite(UtilI::IPropertyValue** value) {
  XCad_RMed* routes = design->GetRouteMediator();
  const Rf_Cell cell = routes ? routes->GetPlacement(Block()) : Rf_Cell();
  CommonI::RefCountPtr<CitI::IInterface> device;
  design->GetSharedRf(device);
  auto* sites = device ? static_cast<UtilI::IDeviceSites*>(device->QueryInterface(UtilI::IID_IDeviceSites)) : nullptr;
  if (!sites) return 0;
  CommonI::RefCountPtr<UtilI::ITclCollectable> site;
  sites->GetSite(cell, site);
  return DeliverObject(value, site);
}

CitI::Result CompColl::GetIsPlaced(UtilI::IPropertyValue** value) {
  XCad_RMed* routes = design->GetRouteMediator();
  return (*value)->SetBool(routes && routes->GetPlacement(Block()).IsValid());
}

CitI::Result CompColl::GetConfiguration(UtilI::IPropertyValue** value) {
  if (Block()->GetConfigSecurity() != 0) return 0;
  return (*value)->SetString(static_cast<const XCad_CadBlock*>(Block())->GetCmConfigStr());
}

}  // namespace UtilC::SharedNcd
