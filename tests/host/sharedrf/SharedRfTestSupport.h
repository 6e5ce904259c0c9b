// What the shared device component's tests share: loading designs that are
// all device, and reaching the component's manager and devices exactly as
// the design component does.
#pragma once

#include "DesignTestSupport.h"
#include "DeviceDesigns.h"
#include "Rf_Device.h"
#include "SiblingComponents.h"
#include "UtilI_SharedRf.h"

namespace sharedrf_test {

// The class id the design component passes as requester.
inline constexpr Port::XUID kRequester{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

inline design_test::Loaded LoadDevice(const design_test::TempDir& dir, const std::string& file,
                                      const std::string& part,
                                      const std::vector<std::string>& regions,
                                      const std::vector<ncdtest::CellSpec>& cells) {
  return design_test::Load(dir.Write(file, ncdtest::DeviceDesignText(part, regions, cells)));
}

inline CommonI::RefCountPtr<UtilI::ISharedRfMgr> NewManager() {
  return ncdtest::CreateAs<UtilI::ISharedRfMgr>(UtilI::CLSID_SharedRfMgr, UtilI::IID_ISharedRfMgr);
}

// The part's device as the manager hands it out (its ISharedRf face), after
// Load as the design component calls it; empty when there is none.
inline CommonI::RefCountPtr<CitI::IInterface> DeviceOf(UtilI::ISharedRfMgr& mgr,
                                                       const std::string& part) {
  mgr.Load(kRequester, part, {}, true);
  CommonI::RefCountPtr<CitI::IInterface> device;
  mgr.Get(device, kRequester, part, {});
  return device;
}

inline UtilI::ISharedRf* Rf(const CommonI::RefCountPtr<CitI::IInterface>& device) {
  return static_cast<UtilI::ISharedRf*>(device->QueryInterface(UtilI::IID_ISharedRf));
}

inline UtilI::IDeviceSites* Sites(const CommonI::RefCountPtr<CitI::IInterface>& device) {
  return static_cast<UtilI::IDeviceSites*>(device->QueryInterface(UtilI::IID_IDeviceSites));
}

inline std::string NameOf(UtilI::ITclCollectable* object) {
  Port::StringBase name;
  return object && object->GetName(name) ? name.str() : "<none>";
}

}  // namespace sharedrf_test
