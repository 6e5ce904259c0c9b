// UtilC::SharedFileT<Key, Mgr, File>: the counted base of a shared file
// (a design object). It holds the reference count, the file's key, a
// reference to the key's owner and the file's search source.
//
// Counting: a file starts with a count of 1, which belongs to its manager
// for the file's whole life; each client reference adds one. When a
// release leaves only the manager's reference (the count falls to 1), the
// file hands itself back: it withdraws what it published for its owner
// (File::WithdrawSearchSource) and the manager's ReleaseFile(key) caches or
// frees it. The manager's own Release takes the count to 0 and deletes the
// file. The decision is taken on the value the caller's own atomic
// decrement produced, so two concurrent releases never both hand back; the
// whole step runs under the manager's lock (Mgr::ReleaseReference).
//
// A file belongs to the manager that made it (none for a file made on its
// own, which is plainly counted). A manager that is deleted lets go of its
// files (Orphan): they are plainly counted from then on, and the last
// release withdraws what the file published and deletes it. Release never
// throws.
#pragma once

#include <atomic>

#include "CommonI_IRefCount.h"
#include "Port_Atomic.h"
#include "UtilC_SrchSrcImpT.h"

namespace UtilC {

template <class Key, class Mgr, class File>
class SharedFileT : public CommonI::IRefCount {
public:
  explicit SharedFileT(const Key& key, Mgr* mgr = nullptr) : m_key(key), m_ownerRef(key.m_owner), m_mgr(mgr) {
    ++s_live;
  }
  ~SharedFileT() override { --s_live; }
  SharedFileT(const SharedFileT&) = delete;
  SharedFileT& operator=(const SharedFileT&) = delete;

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return static_cast<CommonI::IRefCount*>(this);
    return nullptr;
  }
  CitI::Result AddRef() override {
    Port::SafeIncr(m_refCount);
    return 1;
  }
  // The manager takes the step under its lock (Mgr::ReleaseReference), so
  // that no other client can take the file from the cache and have it freed
  // while its hand-back is still under way.
  CitI::Result Release() override {
    if (Mgr* mgr = m_mgr.load()) {
      mgr->ReleaseReference(static_cast<File*>(this));
    } else if (DropReference() <= 0) {
      if (m_orphaned.load() && m_key.m_owner) Withdraw();
      delete static_cast<File*>(this);
    }
    return 1;
  }
  // The atomic decrement itself; answers the count it produced.
  int DropReference() { return Port::SafeDecr(m_refCount); }
  CitI::Result GetRefCount(int* count) override {
    if (!count) return 0;
    *count = Port::SafeRead(m_refCount);
    return 1;
  }

  const Key& GetKey() const { return m_key; }
  // The manager the file belongs to; null for none.
  Mgr* Manager() const { return m_mgr.load(); }
  // For the manager as it is deleted: the file no longer belongs to it.
  void Orphan() {
    m_orphaned.store(true);
    m_mgr.store(nullptr);
  }
  // Files of this kind alive in the process (tests use it to catch leaks).
  static int LiveCount() { return s_live.load(); }

protected:
  int m_refCount = 1;
  Key m_key;
  CommonI::RefCountPtr<CitI::IInterface> m_ownerRef;
  std::atomic<Mgr*> m_mgr;
  // Destroyed first: the file has withdrawn it from every context by then.
  UtilC::SrchSrcImpT<File> m_searchSource;

private:
  // An orphan's last release: what it published for its owner goes first.
  // It cannot fail the release: without its lock the search source stays.
  void Withdraw() noexcept {
    try {
      static_cast<File*>(this)->WithdrawSearchSource();
    } catch (...) {
    }
  }

  std::atomic<bool> m_orphaned{false};  // it belonged to a manager that was deleted
  static inline std::atomic<int> s_live{0};
};

}  // namespace UtilC
