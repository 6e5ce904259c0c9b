#include "UtilC_TclSearchService.h"

#include <new>

#include "CitP_Factory.h"
#include "UtilC_TclSearchRegistry.h"

namespace UtilC::TclSearch {

using CommonI::RefCountPtr;

namespace {

RefCountPtr<UtilI::ISearchRequest> AsRequest(RefCountPtr<Context> context) {
  return RefCountPtr<UtilI::ISearchRequest>::Adopt(context.Detach());
}

// Creates a service instance for the service's class, nothing for any other.
class ServiceFactory : public CitI::IFactory {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == CitI::IID_IFactory || iid == CitI::IID_IInterface) return this;
    return nullptr;
  }
  CitI::IInterface* CreateInstance(const Port::XUID& classId) override {
    return classId == UtilI::CLSID_TclSearch ? Service::Create() : nullptr;
  }
};

}  // namespace

Service* Service::Create() {
  return new (std::nothrow) Service;
}

void* Service::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ITclSearch) return static_cast<UtilI::ITclSearch*>(this);
  if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return &m_counter;
  return nullptr;
}

CitI::Result Service::OpenContext(RefCountPtr<UtilI::ISearchRequest>& out,
                                  const RefCountPtr<CitI::IInterface>& owner) {
  out = AsRequest(Registry::Instance().Open(owner.get()));
  return out ? 1 : 0;
}

CitI::Result Service::GetContext(RefCountPtr<UtilI::ISearchRequest>& out,
                                 const RefCountPtr<CitI::IInterface>& owner) {
  out = AsRequest(Registry::Instance().Find(owner.get()));
  return out ? 1 : 0;
}

CitI::Result Service::CloseContext(const RefCountPtr<CitI::IInterface>& owner) {
  return Registry::Instance().Close(owner.get()) ? 1 : 0;
}

std::uint64_t Service::GetContextCount() {
  return Registry::Instance().Count();
}

std::uint64_t Service::GetLiveCount(std::uint32_t kind) {
  return LiveCount(kind);
}

}  // namespace UtilC::TclSearch

extern "C" void InstFactoryEntry() {
  // Factories live until the process ends (the framework never frees them).
  static auto* factory = new UtilC::TclSearch::ServiceFactory;
  CitP::Factory::RegisterFactory(UtilI::CLSID_TclSearch, factory);
}
