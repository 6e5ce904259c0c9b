#include "UtilC_SharedRfSites.h"

#include <cstring>

namespace UtilC::SharedRf {
namespace {

constexpr const char* kNoRegion = "None";

Port::StringBase IdOf(const char* type, const char* part, const Port::StringBase& name) {
  return Port::StringBase::doFormat("%s:%zu:%s:%s", type, std::strlen(part), part, name.c_str());
}

}  // namespace

// In name order, as every collectable lists its properties.
const Site::Property Site::kProperties[3] = {
    {"Clock Region", UtilI::kValueString, "This property specifies the clock region of the site.\n",
     &Site::ClockRegionProperty},
    {"Name", UtilI::kValueString, "This property specifies the name of the site.\n",
     &Site::NameProperty},
    {"Type", UtilI::kValueString, "This property specifies the type of the site.\n",
     &Site::TypeProperty},
};

CommonI::RefCountPtr<UtilI::ITclCollectable> Site::Create(const char* part, const char* name,
                                                          const char* type, const char* region) {
  return Tcltask::MakeCounted<UtilI::ITclCollectable, Site>(part, name, type, region);
}

Site::Site(const char* part, const char* name, const char* type, const char* region)
    : m_live(LiveCounter(UtilI::kSharedRfSites)),
      m_part(part),
      m_name(name),
      m_type(type),
      m_region(region) {}

Port::StringBase Site::Id() const {
  return IdOf(kTypeName, m_part.c_str(), m_name);
}

CitI::Result Site::ClockRegionProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_region.IsEmpty() ? Port::StringBase(kNoRegion) : m_region);
}

CitI::Result Site::NameProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_name);
}

CitI::Result Site::TypeProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_type);
}

const ClockRegion::Property ClockRegion::kProperties[2] = {
    {"Name", UtilI::kValueString, "This property specifies the name of the clock region.\n",
     &ClockRegion::NameProperty},
    {"Sites", UtilI::kValueList, "This property specifies the sites of the clock region.\n",
     &ClockRegion::SitesProperty},
};

CommonI::RefCountPtr<UtilI::ITclCollectable> ClockRegion::Create(const Rf_DevicePart& part,
                                                                 const char* name) {
  return Tcltask::MakeCounted<UtilI::ITclCollectable, ClockRegion>(part, name);
}

ClockRegion::ClockRegion(const Rf_DevicePart& part, const char* name)
    : m_live(LiveCounter(UtilI::kSharedRfClockRegions)), m_part(part), m_name(name) {}

Port::StringBase ClockRegion::Id() const {
  return IdOf(kTypeName, m_part.GetName(), m_name);
}

CitI::Result ClockRegion::NameProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_name);
}

CitI::Result ClockRegion::SitesProperty(UtilI::IPropertyValue& value) const {
  CommonI::RefCountPtr<UtilI::IObjectList> list = HelperServices::NewList();
  if (!list) return 0;
  for (const Rf_CatalogueCell* cell : m_part.GetCellsOf(m_name.view())) {
    CommonI::RefCountPtr<UtilI::ITclCollectable> site =
        Site::Create(m_part.GetName(), cell->name, cell->type, cell->regionText);
    if (!site || !list->Append(site.get())) return 0;  // never a list with sites missing
  }
  return value.SetObject(
      static_cast<CitI::IInterface*>(list->QueryInterface(CitI::IID_IInterface)));
}

}  // namespace UtilC::SharedRf
