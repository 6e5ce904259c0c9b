#include "UtilC_SharedRfServices.h"

#include <mutex>

#include "CitP_Factory.h"
#include "Tcltask_CountedT.h"

namespace UtilC::SharedRf {
namespace {

Tcltask::LiveCountersT<UtilI::kSharedRfClockRegions + 1> g_live;

// The library is asked for once in the process, whatever the answer: a
// missing one is reported once, not on every property read.
void LoadHelpersOnce() {
  static std::once_flag once;
  std::call_once(once, [] { CitP::Factory::LoadLibraryFactory(UtilI::kTcltaskHelpersLibrary); });
}

template <class I>
CommonI::RefCountPtr<I> Create(const Port::XUID& classId, const Port::XUID& iid) {
  LoadHelpersOnce();
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(classId);
  if (!instance) return {};
  return CommonI::RefCountPtr<I>(static_cast<I*>(instance->QueryInterface(iid)));
}

}  // namespace

CommonI::RefCountPtr<UtilI::IPropertyValue> HelperServices::NewValue() {
  return Create<UtilI::IPropertyValue>(UtilI::CLSID_PropertyValue, UtilI::IID_IPropertyValue);
}

CommonI::RefCountPtr<UtilI::IPropertyInfo> HelperServices::NewInfo() {
  return Create<UtilI::IPropertyInfo>(UtilI::CLSID_PropertyInfo, UtilI::IID_IPropertyInfo);
}

CommonI::RefCountPtr<UtilI::IObjectList> HelperServices::NewList() {
  return Create<UtilI::IObjectList>(UtilI::CLSID_ObjectList, UtilI::IID_IObjectList);
}

std::atomic<std::int64_t>& LiveCounter(UtilI::SharedRfObjectKind kind) {
  return g_live[kind];
}

std::uint64_t LiveCount(std::uint32_t kind) {
  return g_live.Read(kind);
}

}  // namespace UtilC::SharedRf
