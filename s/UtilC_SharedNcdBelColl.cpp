// BelColl: a bel's equation and general configuration data.
#include "Pds_Exception.h"
#include "Pds_PdmBlock.h"
#include "Pds_PihDeviceUsage.h"
#include "Rf_Device.h"
#include "UtilC_SharedNcdBlockColl.h"
#include "XCad_RMed.h"

namespace UtilC::SharedNcd {

namespace {

constexpr const char* kEquationMode = "EQN";

// The usage definition of the cell the bel is placed on; null when unplaced.
Rf_UsageDef* PlacedUsageDef(XCad_RMed& routes, const Pds_PdmBlock* bel) {
  const Rf_Cell cell = routes.GetPlacement(bel);
  Rf_CellDef* def = cell ? cell.GetCellDef() : nullptr;
  return def ? def->GetUsageDef() : nullptr;
}

}  // namespace

std::span<const PropertySpec<BelColl>> BelColl::Properties() {
  static constexpr PropertySpec<BelColl> kTable[] = {
      {"Equation", kKindString, "", &BelColl::GetEquation},
      {"Gcd", kKindList, "", &BelColl::GetGcd},
  };
  return kTable;
}

CitI::Result BelColl::GetEquation(UtilI::IPropertyValue** value) {
  if (!design->HasRouteMediator()) return 0;
  Rf_UsageDef* usageDef = PlacedUsageDef(*design->GetRouteMediator(), Block());
  if (!usageDef || !usageDef->GetModeDef(kEquationMode).IsValid()) return 0;
  XCad_CadView* view = design->GetView();
  Rf_Device* device = view ? view->GetDevice() : nullptr;
  if (!device) return 0;
  const Rf_Usage::Mode mode = Pds_PihDeviceUsage::GetRfUsage(Block(), device).GetMode(kEquationMode);
  return mode.IsValid() ? (*value)->SetString(mode.GetEquation()) : 0;
}

// Each visible string mode of the cell's usage, with the bel's
// configuration datum of that name, as a named value; a datum that cannot
// be read is reported and left out.
CitI::Result BelColl::GetGcd(UtilI::IPropertyValue** value) {
  if (!design->HasRouteMediator()) return 0;
  ServiceFlags& services = ClassStatics<BelColl>::Get().services;
  CommonI::RefCountPtr<UtilI::IObjectList> list = CreateService<UtilI::IObjectList>(services);
  if (!list) return 0;
  Rf_UsageDef* usageDef = PlacedUsageDef(*design->GetRouteMediator(), Block());
  if (!usageDef) return 0;
  const Pds_PdmUsage* usage = Block()->GetUsage();
  for (const Rf_UsageDef::ModeDef& mode : usageDef->GetModeDefs()) {
    if (!mode.IsValid() || !mode.IsString() || mode.IsHidden()) continue;
    if (!usage || !usage->SupportsGeneralConfigData()) continue;
    try {
      const Pds_PdmAttribute datum = usage->GetGeneralConfigData(mode.GetName());
      auto text = CreateService<UtilI::IPropertyValue>(services);
      auto factory = CreateService<UtilI::INamedValueFactory>(services);
      if (!text || !factory) continue;
      text->SetString(datum.GetValue());
      CommonI::RefCountPtr<UtilI::ITclCollectable> named = factory->MakeNamedValue(mode.GetName(), text.get());
      if (named) list->Append(named.get());
    } catch (const Pds_ExceptionInvalidConfig& invalid) {
      invalid.report();
    }
  }
  return (*value)->SetObject(static_cast<CitI::IInterface*>(list->QueryInterface(CitI::IID_IInterface)));
}

}  // namespace UtilC::SharedNcd
