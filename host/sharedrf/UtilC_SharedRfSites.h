// The site and clock-region objects of a part: collectables that belong to
// no design and no device object. Each holds copies of the texts it shows
// (a clock region also the part's catalogue entry, which lives as long as
// the process), so it stays valid after every design of the part is freed.
// They are made anew for every request and live as long as their
// references; any thread may read them.
//
//   Site         "ncd_site": "Clock Region" (the region's name, or "None"),
//                "Name", "Type" (the cell type), all strings.
//   ClockRegion  "ncd_clock_region": "Name" (string), "Sites" (a list of
//                new site objects, in the part's cell order).
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
  static const Property kProperties[3];

  // `region` null: the site has no clock region. Empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::ITclCollectable> Create(const char* part, const char* name,
                                                             const char* type, const char* region);

  Site(const char* part, const char* name, const char* type, const char* region);

  Port::StringBase Name() const { return m_name; }
  Port::StringBase Id() const;

  CitI::Result ClockRegionProperty(UtilI::IPropertyValue& value) const;
  CitI::Result NameProperty(UtilI::IPropertyValue& value) const;
  CitI::Result TypeProperty(UtilI::IPropertyValue& value) const;

 private:
  Tcltask::LiveToken m_live;
  const Port::StringBase m_part;
  const Port::StringBase m_name;
  const Port::StringBase m_type;
  const Port::StringBase m_region;  // empty: none
};

class ClockRegion final : public Tcltask::CollectableT<ClockRegion, HelperServices> {
 public:
  static constexpr const char* kTypeName = "ncd_clock_region";
  static const Property kProperties[2];

  static CommonI::RefCountPtr<UtilI::ITclCollectable> Create(const Rf_DevicePart& part,
                                                             const char* name);

  ClockRegion(const Rf_DevicePart& part, const char* name);

  Port::StringBase Name() const { return m_name; }
  Port::StringBase Id() const;

  CitI::Result NameProperty(UtilI::IPropertyValue& value) const;
  // 0 when the list or one of its sites cannot be made.
  CitI::Result SitesProperty(UtilI::IPropertyValue& value) const;

 private:
  Tcltask::LiveToken m_live;
  const Rf_DevicePart& m_part;
  const Port::StringBase m_name;
};

}  // namespace UtilC::SharedRf
