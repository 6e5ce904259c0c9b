// A minimal counted component object for tests: atomic reference count,
// IRefCount and IInterface faces, and a live-instance counter per class that
// catches leaked or doubly released references.
#pragma once

#include <atomic>

#include "CommonI_IRefCount.h"
#include "Port_Atomic.h"

namespace ncdtest {

// Derived: the class itself (one live counter per class).
template <class Derived>
class CountedObject : public CommonI::IRefCount {
public:
  static int Live() { return s_live.load(); }

  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddRef() override {
    Port::SafeIncr(m_count);
    return 1;
  }
  CitI::Result Release() override {
    if (Port::SafeDecr(m_count) == 0) delete this;
    return 1;
  }
  CitI::Result GetRefCount(int* count) override {
    if (!count) return 0;
    *count = Port::SafeRead(m_count);
    return 1;
  }

protected:
  CountedObject() { ++s_live; }
  ~CountedObject() override { --s_live; }

private:
  int m_count = 1;
  static inline std::atomic<int> s_live{0};
};

}  // namespace ncdtest
