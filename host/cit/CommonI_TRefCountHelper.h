// CommonI::TRefCountHelper<Host, N>: the counting face of a heap object
// whose main face is not IRefCount (a string container, an iterator, a
// shared device object). The host object holds one helper as a member and
// answers it for IID_IRefCount; the helper answers every other question
// through its host.
//
// The count starts at 1 (the creator's reference). AddRef and Release are
// atomic; the Release whose own decrement produced 0 deletes the host, so
// two threads releasing the last two references never both delete it. N
// only tells several helpers of one host apart.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_Atomic.h"

namespace CommonI {

template <class Host, int N>
class TRefCountHelper : public IRefCount {
 public:
  explicit TRefCountHelper(Host* host) : m_host(host) {}
  TRefCountHelper(const TRefCountHelper&) = delete;
  TRefCountHelper& operator=(const TRefCountHelper&) = delete;

  void* QueryInterface(const Port::XUID& iid) override { return m_host->QueryInterface(iid); }
  CitI::Result AddRef() override {
    Port::SafeIncr(m_count);
    return 1;
  }
  CitI::Result Release() override {
    if (Port::SafeDecr(m_count) == 0) delete m_host;
    return 1;
  }
  CitI::Result GetRefCount(int* count) override {
    if (!count) return 0;
    *count = Port::SafeRead(m_count);
    return 1;
  }

 private:
  int m_count = 1;
  Host* m_host;
};

}  // namespace CommonI
