// The site and clock-region objects of a part: collectables that belong to
// no design and no device object. Each holds copies of the texts it shows
// (a clock region also the part's catalogue entry, which lives as long as
// the process), so it stays valid after every design of the part is freed.
// They are made anew for every request and live as long as their
// references; any thread may read them.
//
//   Site         "ncd_site": "Bank", "Clock Region" (the region's name, or
//                "None"), "Name", "Package Pin", "Tile", "Type" (the cell
//                type), all strings, and "X", "Y" (integers). A site that
//                the device does not place has no "X" and "Y"; one without
//                a tile, package pin or bank has no value for those.
//   ClockRegion  "ncd_clock_region": "Name" (string), "Sites" (a list of
//                new site objects, in the part's cell order), and its
//                bounds "X Max", "X Min", "Y Max", "Y Min" (integers,
//                corners included; no value for a region without bounds).
//
// Ids name the kind, the part and the object: "<type>:<length of the part
// name>:<part>:<name>", so that no two objects of different parts or names
// share one whatever their names hold.
#pragma once

#include "Rf_DeviceCatalogue.h"
#include "Tcltask_CollectableT.h"
#include "UtilC_SharedRfServices.h"

namespace UtilC::SharedRf {

class Site final : public Tcltask::CollectableT<Site, HelperServices> {
 public:
  static constexpr const char* kTypeName = "ncd_site";
  static const Property kProperties[8];

  // The cell's regionText null: the site has no clock region. Empty when
  // it cannot be made.
  static CommonI::RefCountPtr<UtilI::ITclCollectable> Create(const char* part,
                                                             const Rf_CatalogueCell& cell);

  Site(const char* part, const Rf_CatalogueCell& cell);

  Port::StringBase Name() const { return m_name; }
  Port::StringBase Id() const;

  CitI::Result BankProperty(UtilI::IPropertyValue& value) const;
  CitI::Result ClockRegionProperty(UtilI::IPropertyValue& value) const;
  CitI::Result NameProperty(UtilI::IPropertyValue& value) const;
  CitI::Result PackagePinProperty(UtilI::IPropertyValue& value) const;
  CitI::Result TileProperty(UtilI::IPropertyValue& value) const;
  CitI::Result TypeProperty(UtilI::IPropertyValue& value) const;
  CitI::Result XProperty(UtilI::IPropertyValue& value) const;
  CitI::Result YProperty(UtilI::IPropertyValue& value) const;

 private:
  Tcltask::LiveToken m_live;
  const Port::StringBase m_part;
  const Port::StringBase m_name;
  const Port::StringBase m_type;
  const Port::StringBase m_region;                      // empty: none
  const Port::StringBase m_tile, m_packagePin, m_bank;  // empty: none
  const std::int32_t m_x, m_y;                          // m_x < 0: no position
};

class ClockRegion final : public Tcltask::CollectableT<ClockRegion, HelperServices> {
 public:
  static constexpr const char* kTypeName = "ncd_clock_region";
  static const Property kProperties[6];

  static CommonI::RefCountPtr<UtilI::ITclCollectable> Create(const Rf_DevicePart& part,
                                                             const char* name);

  ClockRegion(const Rf_DevicePart& part, const char* name);

  Port::StringBase Name() const { return m_name; }
  Port::StringBase Id() const;

  CitI::Result NameProperty(UtilI::IPropertyValue& value) const;
  // 0 when the list or one of its sites cannot be made.
  CitI::Result SitesProperty(UtilI::IPropertyValue& value) const;
  CitI::Result XMaxProperty(UtilI::IPropertyValue& value) const;
  CitI::Result XMinProperty(UtilI::IPropertyValue& value) const;
  CitI::Result YMaxProperty(UtilI::IPropertyValue& value) const;
  CitI::Result YMinProperty(UtilI::IPropertyValue& value) const;

 private:
  // One corner coordinate, or 0 for a region without bounds.
  CitI::Result Corner(UtilI::IPropertyValue& value, std::int32_t Rf_Bounds::*corner) const;

  Tcltask::LiveToken m_live;
  const Rf_DevicePart& m_part;
  const Port::StringBase m_name;
};

}  // namespace UtilC::SharedRf
