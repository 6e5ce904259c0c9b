#include "UtilC_SharedRfDevice.h"

#include "Rf_Device.h"
#include "UtilC_SharedRfSites.h"
#include "UtilI_VectorHelper.h"

namespace UtilC::SharedRf {
namespace {

template <class Names>
CitI::Result GiveNames(const Names& names, CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  CommonI::RefCountPtr<UtilI::IStringContainer> container = UtilI::MakeStringContainer();
  for (std::size_t i = 0; container && i < names.size(); ++i)
    container->Add(names[i]);
  out = std::move(container);
  return out ? 1 : 0;
}

CitI::Result Give(CommonI::RefCountPtr<UtilI::ITclCollectable>& out,
                  CommonI::RefCountPtr<UtilI::ITclCollectable> made) {
  out = std::move(made);
  return out ? 1 : 0;
}

// A cell the catalogue does not know, described as the catalogue would;
// the texts point into the cell's view, and the site copies them.
Rf_CatalogueCell DescriptionOf(const Rf_Cell& cell) {
  Rf_CatalogueCell described;
  described.name = cell.GetName();
  const Rf_CellDef* def = cell.GetCellDef();
  described.type = def ? def->GetName() : "";
  described.regionText = cell.GetClockRegionText();
  cell.GetLocation(described.x, described.y);
  described.tile = cell.GetTileName();
  described.packagePin = cell.GetPackagePin();
  described.bank = cell.GetBank();
  return described;
}

}  // namespace

CommonI::RefCountPtr<UtilI::ISharedRf> Device::Create(const Rf_DevicePart& part) {
  return Tcltask::MakeCounted<UtilI::ISharedRf, Device>(part);
}

Device::Device(const Rf_DevicePart& part)
    : m_live(LiveCounter(UtilI::kSharedRfDevices)), m_part(part) {}

void* Device::FindFace(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISharedRf) return static_cast<UtilI::ISharedRf*>(this);
  if (iid == UtilI::IID_IDeviceSites) return static_cast<UtilI::IDeviceSites*>(this);
  return nullptr;
}

CitI::Result Device::GetClockRegionNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  return GiveNames(m_part.GetClockRegions(), out);
}

CitI::Result Device::FindClockRegion(CommonI::RefCountPtr<UtilI::ITclCollectable>& out,
                                     const Port::StringBase& name) {
  const char* region = m_part.FindClockRegion(name.view());
  return Give(out, region ? ClockRegion::Create(m_part, region)
                          : CommonI::RefCountPtr<UtilI::ITclCollectable>());
}

CitI::Result Device::FindSite(CommonI::RefCountPtr<UtilI::ITclCollectable>& out,
                              const Port::StringBase& name) {
  const Rf_CatalogueCell* cell = m_part.FindCell(name.view());
  return Give(out, cell ? Site::Create(m_part.GetName(), *cell)
                        : CommonI::RefCountPtr<UtilI::ITclCollectable>());
}

CitI::Result Device::GetSite(const Rf_Cell& cell,
                             CommonI::RefCountPtr<UtilI::ITclCollectable>& out) {
  if (!cell) return Give(out, {});
  if (const Rf_CatalogueCell* known = m_part.FindCell(cell.GetName())) {
    return Give(out, Site::Create(m_part.GetName(), *known));
  }
  return Give(out, Site::Create(m_part.GetName(), DescriptionOf(cell)));
}

CitI::Result Device::GetSiteNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  std::vector<const char*> names;
  for (const Rf_CatalogueCell* cell : m_part.GetCells())
    names.push_back(cell->name);
  return GiveNames(names, out);
}

}  // namespace UtilC::SharedRf
