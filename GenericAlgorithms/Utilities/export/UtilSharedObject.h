// Util::SharedObjectT<Service, View>: one service object per view, shared by
// every client of that view in the process.
//
// There is one registry per Service class. It is filed in
// Util::Details::SharedResourceMgr under a text key made of the type names
// of Service and View*, so that separately built components that use the
// same service find the same registry. The registry maps a view to its
// service and the number of clients using it, and remembers the view it
// was last asked about. It is created on first use (Instance, Acquire) and
// deleted, together with its entry in SharedResourceMgr, when its last
// service is released.
//
// Ownership: the registry owns the services and deletes each one when its
// last client releases it. A client that received a service from Get,
// Create or Acquire calls Release(view) exactly once, before the view is
// freed.
//
// Threads: the registry has no lock of its own. Callers serialise every
// call, the static ones included (the shared designs make all their
// registry calls under their process-wide design lock).
#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <typeinfo>

#include "CitP_Factory.h"
#include "Port_Exception.h"
#include "Port_StringBase.h"

namespace Util {

template <class Service, class View>
class SharedObjectT {
 public:
  // The line Create reports when the view has a service already; part of
  // the message callers and tests see, so it stays fixed.
  static constexpr int kAlreadyExistsLine = 524;

  SharedObjectT(const SharedObjectT&) = delete;
  SharedObjectT& operator=(const SharedObjectT&) = delete;

  // The registry's key in SharedResourceMgr.
  static Port::StringBase Name() {
    Port::StringBase name(typeid(Service).name());
    name += typeid(View*).name();
    return name;
  }

  // The registry; null while none exists.
  static SharedObjectT* Find() {
    return static_cast<SharedObjectT*>(Details::SharedResourceMgr::find(Name()));
  }

  // The registry, created and filed on first use.
  static SharedObjectT* Instance() {
    if (SharedObjectT* registry = Find()) return registry;
    auto* registry = new SharedObjectT();
    if (Details::SharedResourceMgr::insert(Name(), registry)) return registry;
    delete registry;
    return Find();
  }

  // The service of `view` with one more use, or null when the view has
  // none (the caller then creates it). Remembers `view` either way.
  Service* Get(View* view) {
    m_lastView = view;
    auto it = m_services.find(view);
    if (it == m_services.end()) return nullptr;
    ++it->second.uses;
    return it->second.service;
  }

  // A new service for `view` (new Service(view)) with one use. Throws
  // Util::IllegalMethodCalledException, and changes nothing, when the view
  // has a service already.
  Service* Create(View* view) {
    if (m_services.count(view) != 0) {
      throw IllegalMethodCalledException(
          "UtilitiesC", "GenericAlgorithms/Utilities/export/UtilSharedObject", "1",
          kAlreadyExistsLine, "Shared Object already exists. Use Get() instead of Create().\n");
    }
    auto service = std::make_unique<Service>(view);
    m_services.emplace(view, Entry{service.get(), 1});
    return service.release();
  }

  // The service a new client of `view` uses: the existing one with one more
  // use, else a new one. Whatever the service's constructor throws leaves
  // the registries as they were.
  static Service* Acquire(View* view) {
    SharedObjectT* registry = Instance();
    if (Service* service = registry->Get(view)) return service;
    try {
      return registry->Create(view);
    } catch (...) {
      if (registry->m_services.empty()) Destroy(registry);
      throw;
    }
  }

  // One use fewer of the service of `view`; its last use deletes it, and the
  // last service deletes the registry. Nothing happens when the view has no
  // service.
  static void Release(View* view) {
    SharedObjectT* registry = Find();
    if (registry == nullptr) return;
    auto it = registry->m_services.find(view);
    if (it == registry->m_services.end()) return;
    if (--it->second.uses > 0) return;
    std::unique_ptr<Service> service(it->second.service);
    registry->m_services.erase(it);
    if (registry->m_services.empty()) Destroy(registry);
  }

  // Number of views with a service; the uses of one view's service (0 when
  // it has none); the view last passed to Get.
  std::size_t Size() const { return m_services.size(); }
  int UseCount(View* view) const {
    auto it = m_services.find(view);
    return it == m_services.end() ? 0 : it->second.uses;
  }
  View* LastView() const { return m_lastView; }

 private:
  struct Entry {
    Service* service;
    int uses;
  };

  SharedObjectT() = default;
  ~SharedObjectT() = default;

  static void Destroy(SharedObjectT* registry) {
    if (Find() == registry) Details::SharedResourceMgr::erase(Name());
    delete registry;
  }

  View* m_lastView = nullptr;
  std::map<View*, Entry> m_services;
};

}  // namespace Util
