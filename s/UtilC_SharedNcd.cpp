// The shared design object: lifetime, faces, the view and its services, the
// search source and the shared device. Classification, queries and
// collectables live in UtilC_SharedNcdClassify.cpp,
// UtilC_SharedNcdQueries.cpp and UtilC_SharedNcdCollectables.cpp.
#include "UtilC_SharedNcd.h"

#include <atomic>
#include <memory>
#include <mutex>

#include "CitP_Factory.h"
#include "PM_PIC.h"
#include "Port_MsgManData.h"
#include "Rf_Device.h"
#include "Tw_DlyMed.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMsg.h"
#include "UtilI_SharedRf.h"
#include "UtilSharedObject.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Txn.h"

namespace UtilC::SharedNcd {

namespace {

template <class Service>
using Registry = Util::SharedObjectT<Service, XCad_CadView>;

// The design's use of the view's shared `Service`, taken on first request.
template <class Service>
Service* SharedService(XCad_CadView* view, std::atomic<Service*>& field) {
  Port_ThrGuard guard(SharedNcd::DesignLock());
  Service* service = field.load(std::memory_order_relaxed);
  if (view == nullptr || service != nullptr) return service;
  service = Registry<Service>::Acquire(view);
  field.store(service, std::memory_order_release);
  return service;
}

template <class Service>
void ReleaseService(XCad_CadView* view, std::atomic<Service*>& field) {
  if (field.exchange(nullptr) != nullptr) Registry<Service>::Release(view);
}

CitI::Result Answer(bool value) {
  return value ? 1 : 0;
}

}  // namespace

namespace {
std::atomic<std::uint64_t> s_nextSerial{1};
}  // namespace

SharedNcd::SharedNcd(const Key& key, Mgr* mgr)
    : SharedFileT(key, mgr),
      m_loader(new Loader()),
      m_serial(s_nextSerial.fetch_add(1, std::memory_order_relaxed)) {
  m_searchSource.SetDesign(this);
}

// Collectables and searches of other threads that found the design alive
// finish before anything of it goes.
SharedNcd::~SharedNcd() {
  DesignUse::AwaitUnused(this);
  ReleaseViewServices();
  if (Xdm_Txn* txn = m_loader->GetTxn()) txn->Abort();
  delete m_loader;
  delete m_shapeMgr.load();
}

// The services must go before the view they point into (the loader's
// transaction frees it next). A destructor cannot throw: when the design
// lock cannot be taken the services stay with their registries (never
// deleted under another thread's feet) and the failure is reported.
void SharedNcd::ReleaseViewServices() noexcept {
  if (m_view == nullptr) return;
  try {
    Port_ThrGuard guard(DesignLock());
    ReleaseService(m_view, m_delayMediator);
    ReleaseService(m_view, m_relocService);
    ReleaseService(m_view, m_routeMediator);
  } catch (Port_ThrException::Exception code) {
    Port_MsgManData::createObject(Msg::kComponent, "UtilC_SharedNcd", __LINE__, "1")
        .issueInternal("Design lock failed (%d): view services of '%s' not released\n",
                       static_cast<int>(code), m_key.m_fileName.c_str());
  } catch (...) {
    Msg::ReportUnhandledException("UtilC_SharedNcd", __LINE__);
  }
}

void* SharedNcd::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISharedNcd) return static_cast<UtilI::ISharedNcd*>(this);
  if (iid == UtilI::IID_ITclSearchSource)
    return static_cast<UtilI::ITclSearchSource*>(&m_searchSource);
  return SharedFileT::QueryInterface(iid);
}

Port_ThrRecursiveLock& SharedNcd::DesignLock() {
  static Port_ThrRecursiveLock lock;
  return lock;
}

void SharedNcd::SetView(Xdm_View* view) {
  m_view = dynamic_cast<XCad_CadView*>(view);
}

CommonI::RefCountPtr<CitI::IInterface> SharedNcd::ReservedReference() {
  return {};
}
void SharedNcd::PublishSearchSource() {
  m_searchSource.Publish();
}
void SharedNcd::WithdrawSearchSource() {
  m_searchSource.Withdraw();
}

// The shared device object comes from the shared-device manager of
// "libUtilC_SharedRf", which this design asks as the design manager.
CitI::Result SharedNcd::GetSharedRf(CommonI::RefCountPtr<CitI::IInterface>& out) {
  out.Reset();
  static std::once_flag loaded;
  std::call_once(loaded, [] { CitP::Factory::LoadLibraryFactory(UtilI::kSharedRfLibrary); });
  CommonI::RefCountPtr<CitI::IInterface> instance =
      CitP::Factory::CreateInstanceRef(UtilI::CLSID_SharedRfMgr);
  CommonI::RefCountPtr<UtilI::ISharedRfMgr> devices(
      instance
          ? static_cast<UtilI::ISharedRfMgr*>(instance->QueryInterface(UtilI::IID_ISharedRfMgr))
          : nullptr);
  if (!devices) return 0;
  const CommonI::RefCountPtr<CitI::IInterface> owner = GetOwner();
  const Port::StringBase partName = GetPartName();
  devices->Load(CLSID_Mgr, partName, owner, true);
  devices->Get(out, CLSID_Mgr, partName, owner);
  return out ? 1 : 0;
}

// ---- the view

Port::StringBase SharedNcd::GetFileName() {
  return m_key.m_fileName;
}

CitI::Result SharedNcd::GetViewObject(ViewObject*& out) {
  if (m_view == nullptr) return 0;
  out = m_view->GetAppObject();
  return 1;
}

CitI::Result SharedNcd::FindViewObject(ViewObject*& out) {
  ViewObject* object = m_view ? m_view->GetAppObject() : nullptr;
  if (object == nullptr) return 0;
  out = object;
  return 1;
}

XCad_CadView* SharedNcd::GetView() {
  return m_view;
}

Port::StringBase SharedNcd::GetPartName() {
  const Rf_Device* device = m_view ? m_view->GetDevice() : nullptr;
  const PM_PIC* pic = device ? device->GetPmPic() : nullptr;
  if (pic == nullptr) return {};
  std::unique_ptr<char[]> name(pic->get_partname());
  return Port::StringBase(name.get());
}

CommonI::RefCountPtr<CitI::IInterface> SharedNcd::GetOwner() {
  return m_ownerRef;
}

// ---- view services

CitI::Result SharedNcd::HasRouteMediator() {
  return Answer(m_routeMediator.load() != nullptr);
}
XCad_RMed* SharedNcd::GetRouteMediator() {
  return SharedService(m_view, m_routeMediator);
}

CitI::Result SharedNcd::HasRelocService() {
  return Answer(m_relocService.load() != nullptr);
}
XCad_Rho* SharedNcd::GetRelocService() {
  return SharedService(m_view, m_relocService);
}

CitI::Result SharedNcd::HasDelayMediator() {
  return Answer(m_delayMediator.load() != nullptr);
}
Tw_DlyMed* SharedNcd::GetDelayMediator() {
  return SharedService(m_view, m_delayMediator);
}

CitI::Result SharedNcd::HasShapeMgr() {
  return Answer(m_shapeMgr.load() != nullptr);
}

// The shape manager is the design's own (not shared between designs), made
// on first request.
Xdh_ShapeMgr* SharedNcd::GetShapeMgr() {
  Port_ThrGuard guard(DesignLock());
  Xdh_ShapeMgr* shapes = m_shapeMgr.load(std::memory_order_relaxed);
  if (m_view == nullptr || shapes != nullptr) return shapes;
  shapes = new Xdh_ShapeMgr(Xdh_ShapeMgr::CreateShapeMgr(*m_view));
  m_shapeMgr.store(shapes, std::memory_order_release);
  return shapes;
}

}  // namespace UtilC::SharedNcd
