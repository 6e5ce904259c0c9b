// UtilC::TclSearch::Registry: the process-wide registry of search
// contexts, one per owner (told apart by the owner pointer as given),
// shared by every service instance. It holds one reference on each open
// context. Never destroyed, so that what it holds stays reachable until
// the process ends.
//
// Lock: m_lock, taken before a context's lock (Close) and never while a
// context is released.
#pragma once

#include <cstdint>
#include <map>

#include "Port_Thr.h"
#include "UtilC_TclSearchContext.h"

namespace UtilC::TclSearch {

class Registry {
 public:
  static Registry& Instance();

  // The owner's context, made when it has none; empty for a null owner or
  // when out of memory.
  CommonI::RefCountPtr<Context> Open(CitI::IInterface* owner);
  // The owner's context, or empty.
  CommonI::RefCountPtr<Context> Find(CitI::IInterface* owner);
  // Takes the owner's context out and closes it; false when it has none.
  bool Close(CitI::IInterface* owner);
  std::uint64_t Count();

 private:
  Registry() = default;

  Port_ThrMutex m_lock;
  std::map<CitI::IInterface*, CommonI::RefCountPtr<Context>> m_contexts;
};

}  // namespace UtilC::TclSearch
