#include "NcdTcl_Services.h"

#include <mutex>
#include <string>

#include "CitP_Factory.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Object.h"
#include "UtilI_ISharedNcdMgr.h"

namespace NcdTcl {

namespace {

// An instance of `classId` from `library`, asked for its face `iid`; the
// instance is made once per process and never released.
template <class Face>
Face* Service(const char* library, const Port::XUID& classId, const Port::XUID& iid) {
  CitP::Factory::LoadLibraryFactory(library);
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(classId);
  Face* face = instance ? static_cast<Face*>(instance->QueryInterface(iid)) : nullptr;
  if (!face)
    throw Error(ErrorClass::Internal,
                std::string("the component ") + library + " could not be loaded");
  instance.Detach();  // kept for the process's life
  return face;
}

template <class Face>
Face& Cached(const char* library, const Port::XUID& classId, const Port::XUID& iid) {
  static std::mutex mutex;
  static Face* face = nullptr;
  std::lock_guard<std::mutex> lock(mutex);
  if (!face) face = Service<Face>(library, classId, iid);
  return *face;
}

UtilI::INamedValueFactory& Helpers() {
  return Cached<UtilI::INamedValueFactory>(
      UtilI::kTcltaskHelpersLibrary, UtilI::CLSID_NamedValueFactory, UtilI::IID_INamedValueFactory);
}

UtilI::ITclSearch& Search() {
  return Cached<UtilI::ITclSearch>(UtilI::kTclSearchLibrary, UtilI::CLSID_TclSearch,
                                   UtilI::IID_ITclSearch);
}

UtilI::ISharedRfMgr& Devices() {
  return Cached<UtilI::ISharedRfMgr>(UtilI::kSharedRfLibrary, UtilI::CLSID_SharedRfMgr,
                                     UtilI::IID_ISharedRfMgr);
}

// Our requester identity with the shared device manager.
constexpr Port::XUID kDeviceRequester{0x6e636474636c0000ULL, 0x6465766963650000ULL};

}  // namespace

CommonI::RefCountPtr<UtilI::IObjectList> NewObjectList() {
  CommonI::RefCountPtr<UtilI::IObjectList> list;
  if (!Helpers().MakeList(list) || !list) throw std::bad_alloc();
  return list;
}

CommonI::RefCountPtr<UtilI::ISearchRequest> SearchContext(
    const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  CommonI::RefCountPtr<UtilI::ISearchRequest> context;
  if (!Search().OpenContext(context, owner) || !context)
    throw Error(ErrorClass::Internal, "the search service has no context for this design's owner");
  return context;
}

void CloseSearchContext(const CommonI::RefCountPtr<CitI::IInterface>& owner) noexcept {
  try {
    Search().CloseContext(owner);
  } catch (...) {
  }
}

Device DeviceOf(UtilI::ISharedNcd& design) {
  Device device;
  const Port::StringBase part = design.GetPartName();
  const CommonI::RefCountPtr<CitI::IInterface> owner = design.GetOwner();
  Devices().Load(kDeviceRequester, part, owner, true);
  Devices().Get(device.object, kDeviceRequester, part, owner);
  if (!device.object) return device;  // a design without a device section
  device.rf = static_cast<UtilI::ISharedRf*>(device.object->QueryInterface(UtilI::IID_ISharedRf));
  device.sites =
      static_cast<UtilI::IDeviceSites*>(device.object->QueryInterface(UtilI::IID_IDeviceSites));
  if (!device.rf || !device.sites)
    throw Error(ErrorClass::Internal, "the device of part " + part.str() + " has no sites");
  return device;
}

LiveCounts CountLiveObjects() {
  LiveCounts counts;
  CitI::IFactory* factory = CitP::Factory::FindFactory(UtilI::CLSID_SharedNcdMgr);
  if (auto* live = factory ? static_cast<UtilI::ISharedNcdLiveCount*>(
                                 factory->QueryInterface(UtilI::IID_ISharedNcdLiveCount))
                           : nullptr)
    counts.collectables = static_cast<long>(live->GetLiveCollectables());
  counts.objectValues = LiveObjectValues();
  UtilI::INamedValueFactory& helpers = Helpers();
  counts.helperObjects = static_cast<long>(helpers.GetLiveCount(UtilI::kHelperValues) +
                                           helpers.GetLiveCount(UtilI::kHelperLists) +
                                           helpers.GetLiveCount(UtilI::kHelperNamedValues));
  counts.searchPatterns = static_cast<long>(Search().GetLiveCount(UtilI::kSearchPatterns));
  counts.deviceObjects = static_cast<long>(Devices().GetLiveCount(UtilI::kSharedRfSites) +
                                           Devices().GetLiveCount(UtilI::kSharedRfClockRegions));
  return counts;
}

}  // namespace NcdTcl
