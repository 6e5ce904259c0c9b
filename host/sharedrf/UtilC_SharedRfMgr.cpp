#include "UtilC_SharedRfMgr.h"

#include <map>
#include <mutex>
#include <string>

#include "CitP_Factory.h"
#include "Rf_DeviceCatalogue.h"
#include "UtilC_SharedRfDevice.h"
#include "UtilC_SharedRfServices.h"
#include "UtilI_VectorHelper.h"

namespace UtilC::SharedRf {
namespace {

struct Registry {
  std::mutex mutex;
  std::map<std::string, CommonI::RefCountPtr<UtilI::ISharedRf>, std::less<>> devices;
};

Registry& Devices() {
  // Never destroyed: devices handed out stay valid until the process ends.
  static Registry* registry = new Registry;
  return *registry;
}

// The part's device object, made on first request; empty while no design
// of the part has been read (or when it cannot be made).
CommonI::RefCountPtr<UtilI::ISharedRf> DeviceOf(const Port::StringBase& partName) {
  const Rf_DevicePart* part = Rf_DeviceCatalogue::FindPart(partName.view());
  if (!part) return {};
  Registry& registry = Devices();
  std::lock_guard<std::mutex> lock(registry.mutex);
  CommonI::RefCountPtr<UtilI::ISharedRf>& device = registry.devices[partName.str()];
  if (!device) device = Device::Create(*part);
  return device;
}

}  // namespace

CommonI::RefCountPtr<UtilI::ISharedRfMgr> Mgr::Create() {
  return Tcltask::MakeCounted<UtilI::ISharedRfMgr, Mgr>();
}

Mgr::Mgr() : m_live(LiveCounter(UtilI::kSharedRfManagers)) {}

void* Mgr::FindFace(const Port::XUID& iid) {
  return iid == UtilI::IID_ISharedRfMgr ? static_cast<UtilI::ISharedRfMgr*>(this) : nullptr;
}

CitI::Result Mgr::Load(const Port::XUID& /*requester*/, const Port::StringBase& partName,
                       const CommonI::RefCountPtr<CitI::IInterface>& /*owner*/, bool /*wait*/) {
  return DeviceOf(partName) ? 1 : 0;
}

CitI::Result Mgr::Get(CommonI::RefCountPtr<CitI::IInterface>& out, const Port::XUID& /*requester*/,
                      const Port::StringBase& partName,
                      const CommonI::RefCountPtr<CitI::IInterface>& /*owner*/) {
  CommonI::RefCountPtr<UtilI::ISharedRf> device = DeviceOf(partName);
  out.Reset(device.get());
  return out ? 1 : 0;
}

CitI::Result Mgr::GetPartNames(CommonI::RefCountPtr<UtilI::IStringContainer>& out) {
  CommonI::RefCountPtr<UtilI::IStringContainer> names = UtilI::MakeStringContainer();
  for (const std::string& name : Rf_DeviceCatalogue::GetPartNames()) {
    if (names) names->Add(name);
  }
  out = std::move(names);
  return out ? 1 : 0;
}

std::uint64_t Mgr::GetLiveCount(std::uint32_t kind) {
  return LiveCount(kind);
}

}  // namespace UtilC::SharedRf

namespace {

class ClassFactory final : public CitI::IFactory {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CitI::IID_IFactory || iid == CitI::IID_IInterface ? this : nullptr;
  }
  // The first reference of the new manager goes to the framework's caller.
  CitI::IInterface* CreateInstance(const Port::XUID& classId) override {
    return classId == UtilI::CLSID_SharedRfMgr ? UtilC::SharedRf::Mgr::Create().Detach() : nullptr;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void InstFactoryEntry() {
  static ClassFactory factory;  // the framework never deletes factories
  CitP::Factory::RegisterFactory(UtilI::CLSID_SharedRfMgr, &factory);
}
