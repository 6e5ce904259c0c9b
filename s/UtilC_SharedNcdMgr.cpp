#include "UtilC_SharedNcdMgr.h"

#include <algorithm>

#include "CitP_Factory.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdIds.h"
#include "UtilC_SharedNcdReader.h"

namespace UtilC::SharedNcd {

namespace {
// Drops the manager's reference: the design is freed.
void ReleaseDesign(SharedNcd* design) { static_cast<CommonI::IRefCount*>(design)->Release(); }
}  // namespace

// One key's pending requests. The record holds no reference of its own on
// `design`: the manager's reference covers it.
struct Mgr::LoadRecord {
  SharedNcd* design = nullptr;
  std::unique_ptr<Reader> reader;                   // null for a design loaded before
  std::unique_ptr<UtilI::ThreadT<Reader>> thread;   // null exactly when reader is
  std::set<Port::XUID> requesters;
  bool wait = false;
  bool releaseDesign = false;  // set when the last requester left a design nobody holds

  // Runs outside the manager lock (see Disposal): the thread's teardown waits
  // for a running reader, and only then may the design go.
  ~LoadRecord() {
    requesters.clear();
    thread.reset();
    reader.reset();
    if (releaseDesign) ReleaseDesign(design);
  }
  // The design is loaded: made for a loaded design, or its read succeeded.
  bool Loaded() const { return !thread || (thread->isFinished() && reader && reader->Succeeded()); }
};

Mgr* Mgr::s_instance = nullptr;

Mgr* Mgr::Instance() {
  if (!s_instance) s_instance = new Mgr();
  return s_instance;
}

Mgr::Mgr() {
  if (!CitP::InstanceTable::GetInstance(CLSID_Mgr)) CitP::InstanceTable::RegisterInstance(CLSID_Mgr, this);
}

Mgr::~Mgr() {
  if (CitP::InstanceTable::GetInstance(CLSID_Mgr) == this) CitP::InstanceTable::UnRegisterInstance(this);
  // Designs that clients still hold hand themselves back to Instance() when
  // released: they must find a manager, not this one's remains.
  if (s_instance == this) s_instance = nullptr;
  Disposal disposal;
  {
    Port_ThrGuard guard(m_lock);
    std::set<SharedNcd*> designs;
    for (auto& [key, design] : m_refFiles) designs.insert(design);
    for (auto& [key, record] : m_loadFiles) {
      designs.insert(record->design);
      disposal.records.push_back(std::move(record));
    }
    // Cached designs are released too, so that a deleted manager leaks none.
    designs.insert(m_unusedFiles.begin(), m_unusedFiles.end());
    disposal.designs.assign(designs.begin(), designs.end());
    m_refFiles.clear();
    m_loadFiles.clear();
    m_unusedFiles.clear();
    m_listeners.clear();
    m_lastLive = nullptr;
  }
}

Mgr::Disposal::~Disposal() {
  records.clear();
  for (SharedNcd* design : designs) ReleaseDesign(design);
}

void* Mgr::QueryInterface(const Port::XUID& iid) {
  if (iid == UtilI::IID_ISharedNcdMgr || iid == CitI::IID_IInterface)
    return static_cast<UtilI::ISharedNcdMgr*>(this);
  return nullptr;
}

CitI::Result Mgr::AddListener(CommonI::IEventListener* listener) {
  if (!listener) return 0;
  Port_ThrGuard guard(m_lock);
  return m_listeners.insert(listener).second ? 1 : 0;
}

CitI::Result Mgr::RemoveListener(CommonI::IEventListener* listener) {
  if (!listener) return 0;
  Port_ThrGuard guard(m_lock);
  return m_listeners.erase(listener) ? 1 : 0;
}

void Mgr::NotifyListeners(CommonI::IEvent& event) {
  std::vector<CommonI::IEventListener*> listeners;
  {
    Port_ThrGuard guard(m_lock);
    listeners.assign(m_listeners.begin(), m_listeners.end());
  }
  for (CommonI::IEventListener* listener : listeners) listener->OnEvent(&event);
}

int Mgr::Status(LoadRecord& record) {
  if (!record.thread) return 1;
  if (!record.thread->isFinished()) return 2;
  if (!record.reader) return 1;
  return record.reader->Succeeded() ? 1 : 0;
}

Mgr::RecordPtr& Mgr::FileRecord(const Key& key, SharedNcd* design, const Port::XUID& requester) {
  RecordPtr& record = m_loadFiles[key];
  record = std::make_shared<LoadRecord>();
  record->design = design;
  record->requesters.insert(requester);
  return record;
}

SharedNcd* Mgr::TakeUnused(const Key& key) {
  auto it = std::find_if(m_unusedFiles.begin(), m_unusedFiles.end(),
                         [&](SharedNcd* design) { return design->GetKey() == key; });
  if (it == m_unusedFiles.end()) return nullptr;
  SharedNcd* design = *it;
  m_unusedFiles.erase(it);
  return design;
}

void Mgr::MoveToUnused(SharedNcd* design, Disposal& disposal) {
  if (m_maxUnusedFiles < 1) {
    disposal.designs.push_back(design);
    return;
  }
  if (static_cast<int>(m_unusedFiles.size()) >= m_maxUnusedFiles) {
    disposal.designs.push_back(m_unusedFiles.front());
    m_unusedFiles.pop_front();
  }
  m_unusedFiles.push_back(design);
}

CitI::Result Mgr::Load(const Port::XUID& requester, const Port::StringBase& fileName,
                       const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) {
  Key key(fileName, owner);
  RecordPtr reading;
  {
    Port_ThrGuard guard(m_lock);
    if (auto record = m_loadFiles.find(key); record != m_loadFiles.end()) {
      record->second->requesters.insert(requester);
      return Status(*record->second);
    }
    if (auto ref = m_refFiles.find(key); ref != m_refFiles.end())
      return Status(*FileRecord(key, ref->second, requester));
    if (SharedNcd* cached = TakeUnused(key)) return Status(*FileRecord(key, cached, requester));

    RecordPtr& record = FileRecord(key, new SharedNcd(key), requester);
    record->wait = wait;
    record->reader = std::make_unique<Reader>(record->design);
    record->thread = std::make_unique<UtilI::ThreadT<Reader>>(record->reader.get());
    record->thread->start();
    if (!wait) return Status(*record);
    reading = record;  // keeps the thread object alive while this client waits
  }
  reading->thread->join();
  Port_ThrGuard guard(m_lock);
  return Status(*reading);
}

CommonI::RefCountPtr<UtilI::ISharedNcd> Mgr::Get(const Port::XUID& requester, const Port::StringBase& fileName,
                                                 const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  Key key(fileName, owner);
  CommonI::RefCountPtr<UtilI::ISharedNcd> result;
  SharedNcd* design = nullptr;
  Disposal disposal;
  {
    Port_ThrGuard guard(m_lock);
    auto ref = m_refFiles.find(key);
    if (ref != m_refFiles.end()) design = ref->second;
    if (auto record = m_loadFiles.find(key); record != m_loadFiles.end()) {
      LoadRecord& r = *record->second;
      if (!r.thread || !r.reader || r.reader->Succeeded()) {
        design = r.design;
        m_refFiles[key] = design;
        RemoveRequester(record, requester, disposal);
      }
    } else if (!design) {
      design = TakeUnused(key);
      if (design) m_refFiles[key] = design;
    }
    // The new reference is taken under the lock, so that a concurrent
    // hand-back of this design sees it and leaves the design filed.
    if (design) result = CommonI::RefCountPtr<UtilI::ISharedNcd>(design);
  }
  if (design) design->PublishSearchSource();
  return result;
}

void Mgr::RemoveRequester(std::map<Key, RecordPtr>::iterator it, const Port::XUID& requester,
                          Disposal& disposal) {
  LoadRecord& record = *it->second;
  if (!record.requesters.erase(requester) || !record.requesters.empty()) return;
  RecordPtr removed = std::move(it->second);
  m_loadFiles.erase(it);
  Dispose(std::move(removed), disposal);
}

// A record whose last requester left. Its design stays where a client
// holds it; a loaded design no client holds goes to the cache; a design
// still being read, or whose read failed, is freed once its reader thread
// is gone.
void Mgr::Dispose(RecordPtr record, Disposal& disposal) {
  SharedNcd* design = record->design;
  bool referenced = std::any_of(m_refFiles.begin(), m_refFiles.end(),
                                [&](const auto& entry) { return entry.second == design; });
  if (!referenced) {
    if (record->Loaded()) {
      MoveToUnused(design, disposal);
    } else {
      if (record->thread) record->thread->cancel();
      record->releaseDesign = true;
    }
  }
  disposal.records.push_back(std::move(record));
}

CitI::Result Mgr::CancelLoad(const Port::XUID& requester, const Port::StringBase& fileName,
                             const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  Key key(fileName, owner);
  Disposal disposal;
  Port_ThrGuard guard(m_lock);
  if (auto record = m_loadFiles.find(key); record != m_loadFiles.end())
    RemoveRequester(record, requester, disposal);
  return 1;
}

CitI::Result Mgr::PurgeUnused() {
  Disposal disposal;
  Port_ThrGuard guard(m_lock);
  disposal.designs.assign(m_unusedFiles.begin(), m_unusedFiles.end());
  m_unusedFiles.clear();
  return 1;
}

void Mgr::ReleaseReference(SharedNcd* design) {
  Disposal disposal;
  bool destroy = false;
  {
    Port_ThrGuard guard(m_lock);
    int count = design->DropReference();
    if (count == 1) {
      if (design->GetKey().m_owner) design->WithdrawSearchSource();
      ReleaseFile(design->GetKey(), disposal);
    }
    destroy = count <= 0;
  }
  if (destroy) delete design;
}

void Mgr::ReleaseFile(const Key& key) {
  Disposal disposal;
  Port_ThrGuard guard(m_lock);
  ReleaseFile(key, disposal);
}

void Mgr::ReleaseFile(const Key& key, Disposal& disposal) {
  auto ref = m_refFiles.find(key);
  if (ref == m_refFiles.end()) return;
  int count = 0;
  ref->second->GetRefCount(&count);
  if (count != 1) return;  // a client took a new reference meanwhile
  SharedNcd* design = ref->second;
  m_lastLive = nullptr;
  m_refFiles.erase(ref);
  if (m_loadFiles.count(key)) return;
  MoveToUnused(design, disposal);
}

bool Mgr::IsLive(const SharedNcd* design) {
  if (!design) return false;
  Port_ThrGuard guard(m_lock);
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
  Port_ThrGuard guard(m_lock);
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
}

}  // namespace UtilC::SharedNcd
