#include "UtilC_SharedNcdMgr.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <new>
#include <utility>

#include "CitP_Factory.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdMsg.h"
#include "UtilC_SharedNcdReader.h"

namespace UtilC::SharedNcd {

namespace {

constexpr const char* kSource = "UtilC_SharedNcdMgr";

// Drops the manager's reference: the design is freed.
void ReleaseDesign(SharedNcd* design) { static_cast<CommonI::IRefCount*>(design)->Release(); }

// Inside a catch: reports the exception being handled.
void ReportCaught(int line) noexcept {
  try {
    throw;
  } catch (Port_ThrException::Exception) {
    Msg::ReportLockFailure(kSource, line);
  } catch (const std::bad_alloc&) {
    Msg::ReportOutOfMemory(kSource, line);
  } catch (...) {
    Msg::ReportUnhandledException(kSource, line);
  }
}

// Runs an interface operation: a lack of memory or any other unexpected
// exception is reported and answered with `failed`. A registry lock that
// cannot be taken is the caller's to see (Port_ThrException::LockFailed).
template <class Result, class Body>
Result Guarded(int line, Result failed, Body&& body) {
  try {
    return body();
  } catch (Port_ThrException::Exception) {
    throw;
  } catch (...) {
    ReportCaught(line);
  }
  return failed;
}

}  // namespace

// One key's pending requests. The record holds no reference of its own on
// `design`: the manager's reference covers it.
struct Mgr::LoadRecord {
  SharedNcd* design = nullptr;
  std::unique_ptr<Reader> reader;                   // null for a design loaded before
  std::unique_ptr<UtilI::ThreadT<Reader>> thread;   // null exactly when reader is
  std::set<Port::XUID> requesters;
  bool wait = false;
  bool releaseDesign = false;  // the design is filed nowhere else: the record frees it
  RecordPtr nextDisposed;      // the next record to tear down (Disposal, Retired)

  // Runs outside the manager lock (see Disposal): the thread's teardown waits
  // for a running reader, and only then may the design go.
  ~LoadRecord() {
    requesters.clear();
    thread.reset();
    reader.reset();
    if (releaseDesign) ReleaseDesign(design);
  }
  // The design is loaded: made for a loaded design, or its read succeeded
  // (its reader may still be announcing it; it holds the design meanwhile).
  bool Loaded() { return !thread || (reader && reader->Succeeded()); }

  // Tears down a chain of records one by one.
  static void Destroy(RecordPtr chain) {
    while (chain) {
      RecordPtr next = std::move(chain->nextDisposed);
      chain = std::move(next);
    }
  }
};

// Records that a listener disposed of on its reader thread. That thread
// cannot wait for itself (nor, while it announces, for another reader), so
// they are torn down when it ends.
struct Mgr::Retired {
  RecordPtr records;
  ~Retired() { LoadRecord::Destroy(std::move(records)); }
};

thread_local Mgr::Retired Mgr::t_retired;
thread_local bool Mgr::t_announcing = false;

std::atomic<Mgr*> Mgr::s_instance{nullptr};

// Threads that race to the first use make one manager between them.
Mgr* Mgr::Instance() {
  if (Mgr* mgr = s_instance.load(std::memory_order_acquire)) return mgr;
  static std::mutex creation;
  std::lock_guard<std::mutex> lock(creation);
  Mgr* mgr = s_instance.load(std::memory_order_acquire);
  if (!mgr) {
    mgr = new Mgr();
    s_instance.store(mgr, std::memory_order_release);
  }
  return mgr;
}

Mgr::Mgr() {
  if (!CitP::InstanceTable::GetInstance(CLSID_Mgr)) CitP::InstanceTable::RegisterInstance(CLSID_Mgr, this);
}

Mgr::~Mgr() {
  if (CitP::InstanceTable::GetInstance(CLSID_Mgr) == this) CitP::InstanceTable::UnRegisterInstance(this);
  Mgr* self = this;
  s_instance.compare_exchange_strong(self, nullptr);
  LetGoOfEverything();
}

// Every design stops coming back to this manager (a design still in client
// hands lives on alone and is freed by its last release); then the
// manager's references go, records first.
void Mgr::LetGoOfEverything() {
  RecordMap loadFiles;
  std::map<Key, SharedNcd*> refFiles;
  std::list<SharedNcd*> unused;
  const bool locked = m_lock.lock() == 0;  // a destructor goes on without it
  loadFiles.swap(m_loadFiles);
  refFiles.swap(m_refFiles);
  unused.swap(m_unusedFiles);
  m_listeners.store(nullptr);
  m_lastLive = nullptr;
  s_liveGeneration.fetch_add(1, std::memory_order_seq_cst);
  for (auto& [key, design] : refFiles) design->Orphan();
  for (auto& [key, record] : loadFiles) record->design->Orphan();
  for (SharedNcd* design : unused) design->Orphan();
  if (locked) m_lock.unlock();

  // A record's design in client hands is released once, below.
  for (auto& [key, record] : loadFiles) {
    SharedNcd* design = record->design;
    record->releaseDesign = std::none_of(refFiles.begin(), refFiles.end(),
                                         [design](const auto& entry) { return entry.second == design; });
  }
  loadFiles.clear();
  for (auto& [key, design] : refFiles) ReleaseDesign(design);
  for (SharedNcd* design : unused) ReleaseDesign(design);
}

void Mgr::Disposal::Add(RecordPtr record) {
  record->nextDisposed = std::move(records);
  records = std::move(record);
}

Mgr::Disposal::~Disposal() {
  if (t_announcing) {
    while (records) {
      RecordPtr next = std::move(records->nextDisposed);
      records->nextDisposed = std::move(t_retired.records);
      t_retired.records = std::move(records);
      records = std::move(next);
    }
  }
  LoadRecord::Destroy(std::move(records));
  for (SharedNcd* design : designs) ReleaseDesign(design);
  if (uncached) ReleaseDesign(uncached);
}

Mgr::Spare Mgr::MakeSpare() noexcept {
  Spare spare;
  try {
    spare.push_back(nullptr);
  } catch (...) {  // no memory: the design is freed instead of cached
  }
  return spare;
}

void* Mgr::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISharedNcdMgr || iid == CitI::IID_IInterface)
    return static_cast<UtilI::ISharedNcdMgr*>(this);
  return nullptr;
}

CitI::Result Mgr::AddListener(CommonI::IEventListener* listener) {
  if (!listener) return 0;
  return Guarded(__LINE__, CitI::Result(0), [&]() -> CitI::Result {
    Port_ThrGuard guard(m_lock);
    std::shared_ptr<const Listeners> current = m_listeners.load();
    if (current && current->count(listener)) return 0;
    auto next = current ? std::make_shared<Listeners>(*current) : std::make_shared<Listeners>();
    next->insert(listener);
    m_listeners.store(std::move(next));
    return 1;
  });
}

CitI::Result Mgr::RemoveListener(CommonI::IEventListener* listener) {
  if (!listener) return 0;
  const CitI::Result removed = Guarded(__LINE__, CitI::Result(0), [&]() -> CitI::Result {
    Port_ThrGuard guard(m_lock);
    std::shared_ptr<const Listeners> current = m_listeners.load();
    if (!current || !current->count(listener)) return 0;
    if (current->size() == 1) {  // the last one goes without any memory
      m_listeners.store(nullptr);
      return 1;
    }
    auto next = std::make_shared<Listeners>(*current);
    next->erase(listener);
    m_listeners.store(std::move(next));
    return 1;
  });
  if (removed) AwaitAnnouncements();
  return removed;
}

// A reader thread may have taken the listeners before the removal: the
// caller may free its listener once no announcement runs. A listener that
// removes one cannot wait (for itself, or for a thread that waits for it).
void Mgr::AwaitAnnouncements() {
  if (t_announcing) return;
  std::unique_lock<std::mutex> lock(m_announceLock);
  m_announceDone.wait(lock, [this] { return m_announcements.load() == 0; });
}

// A listener that throws is reported; the others still hear the event.
// Counted before the listeners are taken, so that a removal that finds no
// announcement running has none to wait for.
void Mgr::NotifyListeners(CommonI::IEvent& event) noexcept {
  m_announcements.fetch_add(1);
  if (std::shared_ptr<const Listeners> listeners = m_listeners.load()) {
    const bool outer = std::exchange(t_announcing, true);
    for (CommonI::IEventListener* listener : *listeners) {
      try {
        listener->OnEvent(&event);
      } catch (...) {
        ReportCaught(__LINE__);
      }
    }
    t_announcing = outer;
  }
  if (m_announcements.fetch_sub(1) != 1) return;
  try {
    std::lock_guard<std::mutex> lock(m_announceLock);  // a waiter is waiting or sees 0
  } catch (...) {
    ReportCaught(__LINE__);
  }
  m_announceDone.notify_all();
}

int Mgr::Status(LoadRecord& record) {
  if (!record.thread) return 1;
  if (!record.thread->isFinished()) return 2;
  if (!record.reader) return 1;
  return record.reader->Succeeded() ? 1 : 0;
}

// A record without reader for a design that is loaded already. Throws (no
// memory) before anything is filed.
void Mgr::FileRecord(const Key& key, SharedNcd* design, const Port::XUID& requester) {
  auto record = std::make_shared<LoadRecord>();
  record->design = design;
  record->requesters.insert(requester);
  m_loadFiles.emplace(key, std::move(record));
}

// A new design with its reader and (not started) thread, filed under `key`.
// Throws (no memory) with nothing filed and nothing left allocated.
Mgr::RecordPtr Mgr::NewRead(const Key& key, const Port::XUID& requester, bool wait) {
  auto record = std::make_shared<LoadRecord>();
  record->requesters.insert(requester);
  record->wait = wait;
  record->design = new SharedNcd(key, this);
  record->releaseDesign = true;  // until it is filed
  record->reader = std::make_unique<Reader>(record->design);
  record->thread = std::make_unique<UtilI::ThreadT<Reader>>(record->reader.get());
  m_loadFiles.emplace(key, record);
  record->releaseDesign = false;
  return record;
}

// By the name's text first, which needs no memory (a client gives up with
// the name it asked with), then by key.
Mgr::RecordMap::iterator Mgr::FindRecord(const Port::StringBase& fileName,
                                         const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  for (auto it = m_loadFiles.begin(); it != m_loadFiles.end(); ++it) {
    const Key& key = it->first;
    if (key.m_owner == owner.get() && key.m_fileName.Compare(fileName, Port::StringBase::Exact) == 0) return it;
  }
  return m_loadFiles.find(Key(fileName, owner));
}

std::list<SharedNcd*>::iterator Mgr::FindUnused(const Key& key) {
  return std::find_if(m_unusedFiles.begin(), m_unusedFiles.end(),
                      [&](SharedNcd* design) { return design->GetKey() == key; });
}

bool Mgr::IsReferenced(const SharedNcd* design) const {
  return std::any_of(m_refFiles.begin(), m_refFiles.end(),
                     [design](const auto& entry) { return entry.second == design; });
}

// Keeps the most recently released design: the oldest entry leaves first.
// Without a spare entry (no memory, reported) the oldest one's entry
// serves, and without any the design is freed.
void Mgr::MoveToUnused(SharedNcd* design, Disposal& disposal, Spare& spare) {
  auto free = [&](SharedNcd* leaving) {
    if (!disposal.uncached) disposal.uncached = leaving;
    else ReleaseDesign(leaving);  // never with a spare per hand-back; kept safe all the same
  };
  if (m_maxUnusedFiles < 1) {
    free(design);
    return;
  }
  if (spare.empty()) Msg::ReportOutOfMemory(kSource, __LINE__);
  if (static_cast<int>(m_unusedFiles.size()) >= m_maxUnusedFiles) {
    if (spare.empty()) {
      free(std::exchange(m_unusedFiles.front(), design));
      m_unusedFiles.splice(m_unusedFiles.end(), m_unusedFiles, m_unusedFiles.begin());
      return;
    }
    disposal.designs.splice(disposal.designs.end(), m_unusedFiles, m_unusedFiles.begin());
  }
  if (spare.empty()) {
    free(design);
    return;
  }
  spare.front() = design;
  m_unusedFiles.splice(m_unusedFiles.end(), spare);
}

CitI::Result Mgr::Load(const Port::XUID& requester, const Port::StringBase& fileName,
                       const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) {
  return Guarded(__LINE__, CitI::Result(0), [&]() -> CitI::Result {
    Key key(fileName, owner);
    RecordPtr reading;
    Disposal disposal;
    {
      Port_ThrGuard guard(m_lock);
      CompleteHandBacks(disposal);
      if (auto record = m_loadFiles.find(key); record != m_loadFiles.end()) {
        record->second->requesters.insert(requester);
        return Status(*record->second);
      }
      if (auto ref = m_refFiles.find(key); ref != m_refFiles.end()) {
        FileRecord(key, ref->second, requester);
        return 1;
      }
      if (auto cached = FindUnused(key); cached != m_unusedFiles.end()) {
        FileRecord(key, *cached, requester);
        m_unusedFiles.erase(cached);
        return 1;
      }
      RecordPtr record = NewRead(key, requester, wait);
      record->thread->start();
      if (!record->thread->isStarted()) {
        // The read can never run (reported by the thread object): the load
        // has failed and nothing stays filed.
        m_loadFiles.erase(key);
        record->releaseDesign = true;
        disposal.Add(std::move(record));
        return 0;
      }
      if (!wait) return Status(*record);
      reading = std::move(record);  // keeps the thread object alive while this client waits
    }
    reading->thread->join();
    Port_ThrGuard guard(m_lock);
    return Status(*reading);
  });
}

CommonI::RefCountPtr<UtilI::ISharedNcd> Mgr::Get(const Port::XUID& requester, const Port::StringBase& fileName,
                                                 const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  using Result = CommonI::RefCountPtr<UtilI::ISharedNcd>;
  return Guarded(__LINE__, Result(), [&]() -> Result {
    Key key(fileName, owner);
    Result result;
    SharedNcd* design = nullptr;
    Spare none;  // a design taken here is in client hands: never cached
    Disposal disposal;
    {
      Port_ThrGuard guard(m_lock);
      CompleteHandBacks(disposal);
      auto ref = m_refFiles.find(key);
      if (ref != m_refFiles.end()) design = ref->second;
      if (auto record = m_loadFiles.find(key); record != m_loadFiles.end()) {
        LoadRecord& r = *record->second;
        if (r.Loaded()) {
          design = r.design;
          if (ref == m_refFiles.end()) m_refFiles.emplace(key, design);
          RemoveRequester(record, requester, disposal, none);
        }
      } else if (!design) {
        if (auto cached = FindUnused(key); cached != m_unusedFiles.end()) {
          design = *cached;
          m_refFiles.emplace(key, design);
          m_unusedFiles.erase(cached);
        }
      }
      // The new reference is taken under the lock, so that a concurrent
      // hand-back of this design sees it and leaves the design filed.
      if (design) result = Result(design);
    }
    if (design) design->PublishSearchSource();
    return result;
  });
}

void Mgr::RemoveRequester(RecordMap::iterator it, const Port::XUID& requester, Disposal& disposal,
                          Spare& spare) {
  LoadRecord& record = *it->second;
  if (!record.requesters.erase(requester) || !record.requesters.empty()) return;
  RecordPtr removed = std::move(it->second);
  m_loadFiles.erase(it);
  Dispose(std::move(removed), disposal, spare);
}

// A record whose last requester left. Its design stays where a client
// holds it; a loaded design no client holds goes to the cache; a design
// still being read, or whose read failed, is freed once its reader thread
// is gone.
void Mgr::Dispose(RecordPtr record, Disposal& disposal, Spare& spare) {
  SharedNcd* design = record->design;
  if (!IsReferenced(design)) {
    if (record->Loaded()) {
      MoveToUnused(design, disposal, spare);
    } else {
      if (record->thread) record->thread->cancel();
      record->releaseDesign = true;
    }
  }
  disposal.Add(std::move(record));
}

CitI::Result Mgr::CancelLoad(const Port::XUID& requester, const Port::StringBase& fileName,
                             const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  return Guarded(__LINE__, CitI::Result(1), [&]() -> CitI::Result {
    Spare spare = MakeSpare();
    Disposal disposal;
    Port_ThrGuard guard(m_lock);
    CompleteHandBacks(disposal);
    if (auto record = FindRecord(fileName, owner); record != m_loadFiles.end())
      RemoveRequester(record, requester, disposal, spare);
    return 1;
  });
}

CitI::Result Mgr::PurgeUnused() {
  return Guarded(__LINE__, CitI::Result(1), [&]() -> CitI::Result {
    Disposal disposal;
    Port_ThrGuard guard(m_lock);
    CompleteHandBacks(disposal);
    disposal.designs.splice(disposal.designs.end(), m_unusedFiles);
    return 1;
  });
}

// Never throws. When m_lock cannot be taken the count still drops; a
// hand-back it calls for is left to the next operation (CompleteHandBacks).
void Mgr::ReleaseReference(SharedNcd* design) noexcept {
  Disposal disposal;
  int count = 0;
  bool dropped = false;
  try {
    Port_ThrGuard guard(m_lock);
    count = design->DropReference();
    dropped = true;
    if (count == 1) {
      Spare spare = MakeSpare();
      HandBack(design, disposal, spare);
    }
  } catch (...) {
    ReportCaught(__LINE__);
    if (!dropped) count = design->DropReference();
    if (count == 1) m_handBackPending.store(true);
  }
  if (count <= 0) delete design;
}

// The design's count fell to the manager's one reference: what it published
// for its owner is withdrawn and the manager files it back.
void Mgr::HandBack(SharedNcd* design, Disposal& disposal, Spare& spare) {
  if (design->GetKey().m_owner) design->WithdrawSearchSource();
  ReleaseFile(design->GetKey(), disposal, spare);
}

// Hand-backs a release had to leave (it could not take m_lock): every
// design in client hands whose count is down to the manager's reference.
// Stops, to go on next time, when it cannot make a cache entry.
void Mgr::CompleteHandBacks(Disposal& disposal) {
  if (!m_handBackPending.exchange(false)) return;
  for (auto it = m_refFiles.begin(); it != m_refFiles.end();) {
    SharedNcd* design = it->second;
    ++it;  // the hand-back takes the design's entry out
    int count = 0;
    design->GetRefCount(&count);
    if (count != 1) continue;
    Spare spare = MakeSpare();
    if (spare.empty()) {
      m_handBackPending.store(true);
      return;
    }
    try {
      HandBack(design, disposal, spare);
    } catch (...) {
      m_handBackPending.store(true);
      throw;
    }
  }
}

void Mgr::ReleaseFile(const Key& key) {
  Guarded(__LINE__, 0, [&] {
    Spare spare = MakeSpare();
    Disposal disposal;
    Port_ThrGuard guard(m_lock);
    ReleaseFile(key, disposal, spare);
    return 0;
  });
}

void Mgr::ReleaseFile(const Key& key, Disposal& disposal, Spare& spare) {
  auto ref = m_refFiles.find(key);
  if (ref == m_refFiles.end()) return;
  int count = 0;
  ref->second->GetRefCount(&count);
  if (count != 1) return;  // a client took a new reference meanwhile
  SharedNcd* design = ref->second;
  m_lastLive = nullptr;
  m_refFiles.erase(ref);
  s_liveGeneration.fetch_add(1, std::memory_order_seq_cst);
  if (m_loadFiles.count(key)) return;
  MoveToUnused(design, disposal, spare);
}

bool Mgr::IsLive(const SharedNcd* design) {
  std::uint64_t generation = 0;
  return IsLive(design, generation);
}

bool Mgr::IsLive(const SharedNcd* design, std::uint64_t& generation) {
  if (!design) return false;
  Port_ThrGuard guard(m_lock);
  generation = s_liveGeneration.load(std::memory_order_seq_cst);
  if (design == m_lastLive) return true;
  for (const auto& [key, filed] : m_refFiles) {
    if (filed == design) {
      m_lastLive = filed;
      return true;
    }
  }
  return false;
}

Port::StringBase Mgr::FileEntry(const char* format, const SharedNcd* design) {
  int count = 0;
  const_cast<SharedNcd*>(design)->GetRefCount(&count);
  return Port::StringBase::doFormat(format, design->GetKey().m_fileName.c_str(), count);
}

Port::StringBase Mgr::Dump(const Port::StringBase& prefix) {
  return Guarded(__LINE__, Port::StringBase(), [&] {
    Disposal disposal;
    Port_ThrGuard guard(m_lock);
    CompleteHandBacks(disposal);
    Port::StringBase text = prefix;
    const char* separator = "";
    text += "m_refFiles{";
    for (const auto& [key, design] : m_refFiles) {
      text += separator;
      text += FileEntry("'%s %d'", design);
      separator = ",";
    }
    text += "} m_loadFiles{";
    separator = "";
    for (const auto& [key, record] : m_loadFiles) {
      text += separator;
      text += FileEntry("'%s %d {", record->design);
      const char* inner = "";
      for (const Port::XUID& requester : record->requesters) {
        text += inner;
        text += Port::StringBase::doFormat("'%s'", requester.GetValue().c_str());
        inner = ",";
      }
      text += "}'";
      separator = ",";
    }
    text += "} m_unusedFiles{";
    separator = "";
    for (const SharedNcd* design : m_unusedFiles) {
      text += separator;
      text += FileEntry("'%s %d'", design);
      separator = ",";
    }
    text += "}";
    return text;
  });
}

}  // namespace UtilC::SharedNcd
