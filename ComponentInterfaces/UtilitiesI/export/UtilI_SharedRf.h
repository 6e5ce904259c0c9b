// The shared device component ("libUtilC_SharedRf"): one shared device
// object per part, with the part's sites and clock regions as objects a
// script can print and inspect.
//
// The manager (class CLSID_SharedRfMgr, face ISharedRfMgr) keeps one device
// object per part name and hands out counted references to it. A device
// object's main face is ISharedRf (not IRefCount: ask for
// CommonI::IID_IRefCount to count it) and it also answers IDeviceSites.
// Sites and clock regions are collectables (UtilI::ITclCollectable) that
// belong to no design: they are never stale, keep copies of what they show
// and stay valid after every design of the part is gone.
//   site          type name "ncd_site"; properties "Name", "Type" (its
//                 cell type), "Clock Region" (the region's name, or "None";
//                 a design file's clock_region_text, which need not name a
//                 region of the part, where it sets one), where it lies:
//                 "X", "Y" (its grid position), "Tile", and for an IO site
//                 "Package Pin" and "Bank" (no value where the device gives
//                 none)
//   clock region  type name "ncd_clock_region"; properties "Name", "Sites"
//                 (a list of its sites), and its grid rectangle "X Min",
//                 "Y Min", "X Max", "Y Max" (corners included)
// A part's sites and regions are those of the device sections of the
// designs of that part read so far in the process.
//
// Threads: any thread may call any operation.
//
// Operation order is fixed (the design object calls ISharedRfMgr::Load 2
// and Get 3; the collectables call IDeviceSites::GetSite 3 and
// ISharedRf::FindClockRegion 4, counting QueryInterface as 0 and the
// destructor as 1).
#pragma once

#include <cstdint>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_IStringContainer.h"

class Rf_Cell;

namespace UtilI {

class ITclCollectable;

inline constexpr Port::XUID CLSID_SharedRfMgr{0xcad6a8f93146414bULL, 0xacdc370a30086db3ULL};
inline constexpr Port::XUID IID_ISharedRfMgr{0x65b110ae629b4523ULL, 0xa1f686863c642895ULL};
inline constexpr Port::XUID IID_ISharedRf{0xe2b3f94b9c2f4c06ULL, 0x9b6535d0f037c1c0ULL};
inline constexpr Port::XUID IID_IDeviceSites{0x19616bd68b304093ULL, 0xa9ce15dff7efb445ULL};

inline constexpr const char* kSharedRfLibrary = "libUtilC_SharedRf";

// Which objects ISharedRfMgr::GetLiveCount counts. Device objects live as
// long as the process (the component keeps one reference on each); sites
// and clock regions only as long as their references. Any other number: 0.
enum SharedRfObjectKind : std::uint32_t {
  kSharedRfManagers = 0,
  kSharedRfDevices = 1,
  kSharedRfSites = 2,
  kSharedRfClockRegions = 3
};

class ISharedRf : public CitI::IInterface {
 public:
  virtual Port::StringBase GetPartName() = 0;  // 2
  // The names of the part's clock regions, in device order.
  virtual CitI::Result GetClockRegionNames(CommonI::RefCountPtr<IStringContainer>& out) = 0;  // 3
  // The clock region of that name; empty `out` (and 0) when the part has none.
  virtual CitI::Result FindClockRegion(CommonI::RefCountPtr<ITclCollectable>& out,
                                       const Port::StringBase& name) = 0;  // 4
  virtual std::uint64_t GetSiteCount() = 0;  // 5
};

class IDeviceSites : public CitI::IInterface {
 public:
  // The site of that name; empty `out` (and 0) when the part has none.
  virtual CitI::Result FindSite(CommonI::RefCountPtr<ITclCollectable>& out,
                                const Port::StringBase& name) = 0;  // 2
  // The site of a placement cell; empty `out` (and 0) for the invalid cell.
  virtual CitI::Result GetSite(const Rf_Cell& cell, CommonI::RefCountPtr<ITclCollectable>& out) = 0;  // 3
  // The names of the part's sites, in device order.
  virtual CitI::Result GetSiteNames(CommonI::RefCountPtr<IStringContainer>& out) = 0;  // 4
};

class ISharedRfMgr : public CitI::IInterface {
 public:
  // Makes the part's device object ready; 1 when the part is known (a
  // design of that part has been read), 0 otherwise. `wait` is accepted
  // for the protocol's sake: devices are ready at once.
  virtual CitI::Result Load(const Port::XUID& requester, const Port::StringBase& partName,
                            const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) = 0;  // 2
  // The part's device object (its ISharedRf face, counted) or empty (and 0).
  virtual CitI::Result Get(CommonI::RefCountPtr<CitI::IInterface>& out, const Port::XUID& requester,
                           const Port::StringBase& partName,
                           const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;  // 3
  // The parts known so far.
  virtual CitI::Result GetPartNames(CommonI::RefCountPtr<IStringContainer>& out) = 0;  // 4
  // Objects of the component alive now (tests use it to catch leaks).
  virtual std::uint64_t GetLiveCount(std::uint32_t kind) = 0;  // 5
};

}  // namespace UtilI
