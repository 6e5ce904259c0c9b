// UtilC::SharedNcd::Mgr: the process-wide manager of shared designs.
//
// The manager keeps at most one design object (SharedNcd) per key (owner
// and file name) and files each design in one of three registries:
//   m_refFiles    designs in client hands;
//   m_loadFiles   one load record per key that has requesters (the design,
//                 and for a new design its reader and reader thread);
//   m_unusedFiles designs no client holds, oldest first; at most
//                 m_maxUnusedFiles (1) of them stay loaded.
// It owns one reference to every design for the design's whole life, its
// load records, readers and reader threads. Clients own what Get() hands
// them.
//
// One manager exists per process, created on first use by Instance() and
// never destroyed by the component; it is not reference counted. Its
// constructor files it in the framework's instance table unless another
// object already stands there for its class; its destructor takes it out
// only if the table still points at it.
//
// Threads: every registry operation (the interface, ReleaseFile, IsLive)
// runs under m_lock, so client threads may call the manager at once.
// m_lock is never held while waiting for a reader thread (join, teardown),
// while listeners are called, or while a design is freed.
// Lock order: the collections' live-design lock, then m_lock, then the
// design lock and the thread objects' and readers' own locks.
#pragma once

#include <list>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "Port_Thr.h"
#include "UtilC_SharedNcdKey.h"
#include "UtilI_ISharedNcdMgr.h"
#include "UtilI_ThreadT.h"

namespace UtilC::SharedNcd {

class SharedNcd;
class Reader;

class Mgr : public UtilI::ISharedNcdMgr {
public:
  // The process-wide manager, created on first use. The first call is
  // expected from one thread (the framework's first CreateInstance).
  static Mgr* Instance();

  Mgr();
  ~Mgr() override;
  Mgr(const Mgr&) = delete;
  Mgr& operator=(const Mgr&) = delete;

  void* QueryInterface(const Port::XUID& iid) override;
  CitI::Result AddListener(CommonI::IEventListener* listener) override;
  CitI::Result RemoveListener(CommonI::IEventListener* listener) override;
  CitI::Result Load(const Port::XUID& requester, const Port::StringBase& fileName,
                    const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) override;
  CommonI::RefCountPtr<UtilI::ISharedNcd> Get(const Port::XUID& requester, const Port::StringBase& fileName,
                                               const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  CitI::Result CancelLoad(const Port::XUID& requester, const Port::StringBase& fileName,
                          const CommonI::RefCountPtr<CitI::IInterface>& owner) override;
  CitI::Result PurgeUnused() override;
  Port::StringBase Dump(const Port::StringBase& prefix) override;

  // Whether `design` is in client hands (the collections' liveness test).
  bool IsLive(const SharedNcd* design);
  // A design's hand-back, when its count has fallen to the manager's one
  // reference. Does nothing when a client took a new reference meanwhile.
  void ReleaseFile(const Key& key);
  // One Release of a design: the decrement, and the hand-back (count 1) or
  // the deletion (count 0) it calls for, atomic with respect to the registries.
  void ReleaseReference(SharedNcd* design);
  // Calls every listener, in address order, on the calling thread.
  void NotifyListeners(CommonI::IEvent& event);
  // The registries' lock, for tests that need to hold the manager still.
  Port_ThrRecursiveLock& RegistryLock() { return m_lock; }

private:
  struct LoadRecord;
  using RecordPtr = std::shared_ptr<LoadRecord>;
  // What an operation frees once m_lock is released: records first (their
  // teardown waits for running readers), then designs.
  struct Disposal {
    std::vector<RecordPtr> records;
    std::vector<SharedNcd*> designs;
    ~Disposal();
  };

  int Status(LoadRecord& record);
  RecordPtr& FileRecord(const Key& key, SharedNcd* design, const Port::XUID& requester);
  SharedNcd* TakeUnused(const Key& key);
  void MoveToUnused(SharedNcd* design, Disposal& disposal);
  void ReleaseFile(const Key& key, Disposal& disposal);
  void RemoveRequester(std::map<Key, RecordPtr>::iterator it, const Port::XUID& requester, Disposal& disposal);
  void Dispose(RecordPtr record, Disposal& disposal);
  static Port::StringBase FileEntry(const char* format, const SharedNcd* design);

  static Mgr* s_instance;

  Port_ThrRecursiveLock m_lock;
  SharedNcd* m_lastLive = nullptr;
  std::list<SharedNcd*> m_unusedFiles;
  std::map<Key, RecordPtr> m_loadFiles;
  std::map<Key, SharedNcd*> m_refFiles;
  std::set<CommonI::IEventListener*> m_listeners;
  int m_maxUnusedFiles = 1;
};

}  // namespace UtilC::SharedNcd
