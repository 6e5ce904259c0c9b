// UtilC::SharedRf::Device: the shared device object of one part, with the
// faces UtilI::ISharedRf and UtilI::IDeviceSites. It answers from the
// part's entry in the device catalogue (Rf_DeviceCatalogue.h), so it sees
// every design of the part read so far, and hands out new site and
// clock-region objects (UtilC_SharedRfSites.h). It holds no state of its
// own beyond the part, so any thread may call it.
#pragma once

#include "Rf_DeviceCatalogue.h"
#include "Tcltask_CountedT.h"
#include "UtilI_SharedRf.h"

namespace UtilC::SharedRf {

class Device final : public Tcltask::CountedT<UtilI::ISharedRf, UtilI::IDeviceSites> {
 public:
  // The ISharedRf face of a new device object; empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::ISharedRf> Create(const Rf_DevicePart& part);

  explicit Device(const Rf_DevicePart& part);

  // ISharedRf
  Port::StringBase GetPartName() override { return m_part.GetName(); }
  CitI::Result GetClockRegionNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;
  CitI::Result FindClockRegion(CommonI::RefCountPtr<UtilI::ITclCollectable>& out,
                               const Port::StringBase& name) override;
  std::uint64_t GetSiteCount() override { return m_part.GetCellCount(); }

  // IDeviceSites
  CitI::Result FindSite(CommonI::RefCountPtr<UtilI::ITclCollectable>& out,
                        const Port::StringBase& name) override;
  // Takes the cell's description from the catalogue, or from the cell itself
  // when the catalogue does not know it.
  CitI::Result GetSite(const Rf_Cell& cell,
                       CommonI::RefCountPtr<UtilI::ITclCollectable>& out) override;
  CitI::Result GetSiteNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) override;

 private:
  void* FindFace(const Port::XUID& iid) override;

  Tcltask::LiveToken m_live;
  const Rf_DevicePart& m_part;
};

}  // namespace UtilC::SharedRf
