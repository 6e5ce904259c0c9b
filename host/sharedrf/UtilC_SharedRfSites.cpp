#include "UtilC_SharedRfSites.h"

#include <cstring>

#include "Rf_Device.h"

namespace UtilC::SharedRf {
namespace {

constexpr const char* kNoRegion = "None";

Port::StringBase IdOf(const char* type, const char* part, const Port::StringBase& name) {
  return Port::StringBase::doFormat("%s:%zu:%s:%s", type, std::strlen(part), part, name.c_str());
}

}  // namespace

// In name order, as every collectable lists its properties.
const Site::Property Site::kProperties[8] = {
    {"Bank", UtilI::kValueString, "This property specifies the IO bank of the site.\n",
     &Site::BankProperty},
    {"Clock Region", UtilI::kValueString, "This property specifies the clock region of the site.\n",
     &Site::ClockRegionProperty},
    {"Name", UtilI::kValueString, "This property specifies the name of the site.\n",
     &Site::NameProperty},
    {"Package Pin", UtilI::kValueString, "This property specifies the package pin of the site.\n",
     &Site::PackagePinProperty},
    {"Tile", UtilI::kValueString, "This property specifies the tile the site lies in.\n",
     &Site::TileProperty},
    {"Type", UtilI::kValueString, "This property specifies the type of the site.\n",
     &Site::TypeProperty},
    {"X", UtilI::kValueInt, "This property specifies the column of the site on the device.\n",
     &Site::XProperty},
    {"Y", UtilI::kValueInt, "This property specifies the row of the site on the device.\n",
     &Site::YProperty},
};

CommonI::RefCountPtr<UtilI::ITclCollectable> Site::Create(const char* part,
                                                          const Rf_CatalogueCell& cell) {
  return Tcltask::MakeCounted<UtilI::ITclCollectable, Site>(part, cell);
}

Site::Site(const char* part, const Rf_CatalogueCell& cell)
    : m_live(LiveCounter(UtilI::kSharedRfSites)),
      m_part(part),
      m_name(cell.name),
      m_type(cell.type),
      m_region(cell.regionText),
      m_tile(cell.tile),
      m_packagePin(cell.packagePin),
      m_bank(cell.bank),
      m_x(cell.x),
      m_y(cell.y) {}

Port::StringBase Site::Id() const {
  return IdOf(kTypeName, m_part.c_str(), m_name);
}

namespace {

// A text that may be missing: nothing is delivered for none.
CitI::Result Optional(UtilI::IPropertyValue& value, const Port::StringBase& text) {
  return text.IsEmpty() ? 0 : value.SetString(text);
}

}  // namespace

CitI::Result Site::BankProperty(UtilI::IPropertyValue& value) const {
  return Optional(value, m_bank);
}

CitI::Result Site::ClockRegionProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_region.IsEmpty() ? Port::StringBase(kNoRegion) : m_region);
}

CitI::Result Site::NameProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_name);
}

CitI::Result Site::PackagePinProperty(UtilI::IPropertyValue& value) const {
  return Optional(value, m_packagePin);
}

CitI::Result Site::TileProperty(UtilI::IPropertyValue& value) const {
  return Optional(value, m_tile);
}

CitI::Result Site::TypeProperty(UtilI::IPropertyValue& value) const {
  return value.SetString(m_type);
}

CitI::Result Site::XProperty(UtilI::IPropertyValue& value) const {
  return m_x < 0 ? 0 : value.SetInt(m_x);
}

CitI::Result Site::YProperty(UtilI::IPropertyValue& value) const {
  return m_x < 0 ? 0 : value.SetInt(m_y);
}

const ClockRegion::Property ClockRegion::kProperties[6] = {
    {"Name", UtilI::kValueString, "This property specifies the name of the clock region.\n",
     &ClockRegion::NameProperty},
    {"Sites", UtilI::kValueList, "This property specifies the sites of the clock region.\n",
     &ClockRegion::SitesProperty},
    {"X Max", UtilI::kValueInt, "This property specifies the last column of the clock region.\n",
     &ClockRegion::XMaxProperty},
    {"X Min", UtilI::kValueInt, "This property specifies the first column of the clock region.\n",
     &ClockRegion::XMinProperty},
    {"Y Max", UtilI::kValueInt, "This property specifies the last row of the clock region.\n",
     &ClockRegion::YMaxProperty},
    {"Y Min", UtilI::kValueInt, "This property specifies the first row of the clock region.\n",
     &ClockRegion::YMinProperty},
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
    CommonI::RefCountPtr<UtilI::ITclCollectable> site = Site::Create(m_part.GetName(), *cell);
    if (!site || !list->Append(site.get())) return 0;  // never a list with sites missing
  }
  return value.SetObject(
      static_cast<CitI::IInterface*>(list->QueryInterface(CitI::IID_IInterface)));
}

CitI::Result ClockRegion::Corner(UtilI::IPropertyValue& value,
                                 std::int32_t Rf_Bounds::*corner) const {
  Rf_Bounds bounds;
  return m_part.GetClockRegionBounds(m_name.view(), bounds) ? value.SetInt(bounds.*corner) : 0;
}

CitI::Result ClockRegion::XMaxProperty(UtilI::IPropertyValue& value) const {
  return Corner(value, &Rf_Bounds::xMax);
}

CitI::Result ClockRegion::XMinProperty(UtilI::IPropertyValue& value) const {
  return Corner(value, &Rf_Bounds::xMin);
}

CitI::Result ClockRegion::YMaxProperty(UtilI::IPropertyValue& value) const {
  return Corner(value, &Rf_Bounds::yMax);
}

CitI::Result ClockRegion::YMinProperty(UtilI::IPropertyValue& value) const {
  return Corner(value, &Rf_Bounds::yMin);
}

}  // namespace UtilC::SharedRf
