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
// only if the table still points at it, drops its reference to every design
// it holds and lets go of designs still in client hands (they no longer
// come back to any manager: no new manager is made for them).
//
// Failures: an operation either completes or changes nothing. A lack of
// memory is reported ("Out of memory at ...") and answered as a failure
// (Load 0, Get null, Dump an empty text, AddListener false); a registry
// lock that cannot be taken raises Port_ThrException::LockFailed from the
// interface operations. A read whose thread cannot be created fails (Load
// 0) and leaves nothing filed. Release (ReleaseReference) and listener
// notification never throw: a hand-back that cannot take the lock is
// completed by the next operation that can.
//
// Threads: every registry operation (the interface, ReleaseFile, IsLive)
// runs under m_lock, so client threads may call the manager at once.
// m_lock is never held while waiting for a reader thread (join, teardown),
// while listeners are called, or while a design is freed. Listeners are
// called on the reader thread without any lock of the manager; they may
// call the manager, also for the design they hear of: a load record that
// such a call disposes of is torn down when the reader thread ends, never
// on the thread it would have to wait for. RemoveListener returns once no
// reader thread announces a read any more, so that the caller may free the
// listener then; called from a listener, it does not wait (a listener
// removed there may still be called by another reader thread meanwhile).
// Lock order: a collectable class lock, the identity lock, the collections'
// live-design lock, then m_lock, then the design's search-source lock and
// the search context's lock (a hand-back withdraws the search source under
// m_lock), the design lock and the thread objects' and readers' own locks.
// A design is freed only once no other thread works on it
// (DesignUse::AwaitUnused), outside every lock.
#pragma once

#include <atomic>
#include <condition_variable>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <set>

#include "Port_Thr.h"
#include "UtilC_SharedNcdKey.h"
#include "UtilI_ISharedNcdMgr.h"
#include "UtilI_ThreadT.h"

namespace UtilC::SharedNcd {

class SharedNcd;
class Reader;

class Mgr : public UtilI::ISharedNcdMgr {
public:
  // The process-wide manager, created on first use (by one of the threads
  // that race to it, if several do).
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
  // The same, with the live generation the answer was taken at.
  bool IsLive(const SharedNcd* design, std::uint64_t& generation);
  // Counts the departures of designs from client hands, in every manager of
  // the process: while it stays the same, a design found in client hands is
  // still there (its memory then cannot have been freed and reused).
  static std::uint64_t LiveGeneration() { return s_liveGeneration.load(std::memory_order_seq_cst); }
  // A design's hand-back, when its count has fallen to the manager's one
  // reference. Does nothing when a client took a new reference meanwhile.
  void ReleaseFile(const Key& key);
  // One Release of a design: the decrement, and the hand-back (count 1) or
  // the deletion (count 0) it calls for, atomic with respect to the registries.
  void ReleaseReference(SharedNcd* design) noexcept;
  // Calls every listener, in address order, on the calling thread.
  void NotifyListeners(CommonI::IEvent& event) noexcept;
  // The registries' lock, for tests that need to hold the manager still.
  Port_ThrRecursiveLock& RegistryLock() { return m_lock; }

private:
  struct LoadRecord;
  struct Retired;
  using RecordPtr = std::shared_ptr<LoadRecord>;
  using RecordMap = std::map<Key, RecordPtr>;
  using Listeners = std::set<CommonI::IEventListener*>;
  // A cache entry made before it is needed, so that filing a design in the
  // cache never allocates; empty when it could not be made.
  using Spare = std::list<SharedNcd*>;
  // What an operation frees once m_lock is released: records first (their
  // teardown waits for running readers), then designs. Filling it never
  // allocates.
  struct Disposal {
    RecordPtr records;             // chained through LoadRecord::nextDisposed
    std::list<SharedNcd*> designs;  // entries spliced in from elsewhere
    SharedNcd* uncached = nullptr;  // a design that found no cache entry
    void Add(RecordPtr record);
    ~Disposal();
  };

  static Spare MakeSpare() noexcept;
  int Status(LoadRecord& record);
  void FileRecord(const Key& key, SharedNcd* design, const Port::XUID& requester);
  RecordPtr NewRead(const Key& key, const Port::XUID& requester, bool wait);
  RecordMap::iterator FindRecord(const Port::StringBase& fileName, const CommonI::RefCountPtr<CitI::IInterface>& owner);
  std::list<SharedNcd*>::iterator FindUnused(const Key& key);
  bool IsReferenced(const SharedNcd* design) const;
  void MoveToUnused(SharedNcd* design, Disposal& disposal, Spare& spare);
  void HandBack(SharedNcd* design, Disposal& disposal, Spare& spare);
  void ReleaseFile(const Key& key, Disposal& disposal, Spare& spare);
  void CompleteHandBacks(Disposal& disposal);
  void RemoveRequester(RecordMap::iterator it, const Port::XUID& requester, Disposal& disposal, Spare& spare);
  void Dispose(RecordPtr record, Disposal& disposal, Spare& spare);
  void LetGoOfEverything();
  void AwaitAnnouncements();
  static Port::StringBase FileEntry(const char* format, const SharedNcd* design);

  static std::atomic<Mgr*> s_instance;
  // Records disposed of on a reader thread while it announces its read.
  static thread_local Retired t_retired;
  static thread_local bool t_announcing;

  Port_ThrRecursiveLock m_lock;
  SharedNcd* m_lastLive = nullptr;
  static inline std::atomic<std::uint64_t> s_liveGeneration{0};
  std::list<SharedNcd*> m_unusedFiles;
  RecordMap m_loadFiles;
  std::map<Key, SharedNcd*> m_refFiles;
  // Replaced whole under m_lock; read by the reader threads without it.
  std::atomic<std::shared_ptr<const Listeners>> m_listeners;
  int m_maxUnusedFiles = 1;
  // A release could not take m_lock: some design in m_refFiles may be left
  // with the manager's reference alone, to be handed back.
  std::atomic<bool> m_handBackPending{false};
  // Announcements running (NotifyListeners), and what RemoveListener waits
  // on for them to end; m_announceLock is taken alone, around no call.
  std::atomic<int> m_announcements{0};
  std::mutex m_announceLock;
  std::condition_variable m_announceDone;
};

}  // namespace UtilC::SharedNcd
