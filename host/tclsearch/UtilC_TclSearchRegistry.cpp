#include "UtilC_TclSearchRegistry.h"

namespace UtilC::TclSearch {

using CommonI::RefCountPtr;

Registry& Registry::Instance() {
  static Registry* registry = new Registry;  // never destroyed, see the header
  return *registry;
}

RefCountPtr<Context> Registry::Open(CitI::IInterface* owner) {
  if (!owner) return {};
  Port_ThrGuard guard(m_lock);
  RefCountPtr<Context>& entry = m_contexts[owner];
  if (!entry) entry = Context::Create(owner);
  if (!entry) {
    m_contexts.erase(owner);
    return {};
  }
  return entry;
}

RefCountPtr<Context> Registry::Find(CitI::IInterface* owner) {
  Port_ThrGuard guard(m_lock);
  const auto it = m_contexts.find(owner);
  return it == m_contexts.end() ? RefCountPtr<Context>() : it->second;
}

bool Registry::Close(CitI::IInterface* owner) {
  RefCountPtr<Context> closed;  // released after the lock
  {
    Port_ThrGuard guard(m_lock);
    const auto it = m_contexts.find(owner);
    if (it == m_contexts.end()) return false;
    closed = std::move(it->second);
    m_contexts.erase(it);
    closed->Close();
  }
  return true;
}

std::uint64_t Registry::Count() {
  Port_ThrGuard guard(m_lock);
  return m_contexts.size();
}

}  // namespace UtilC::TclSearch
