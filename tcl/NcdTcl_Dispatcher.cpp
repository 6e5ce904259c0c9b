#include "NcdTcl_Dispatcher.h"

#include <utility>

#include "NcdTcl_LoadNotes.h"
#include "UtilI_Event.h"

namespace NcdTcl {

namespace {

// The design a load event is about, and whether its read succeeded; false
// for an event of another kind.
bool ReadOf(CommonI::IEvent& event, ReadKey& key, bool& ok) {
  Port::XUID type;
  CitI::IInterface* data = nullptr;
  if (!event.GetType(type) || !event.GetData(&data)) return false;
  if (type != UtilI::SharedNcdLoadedID && type != UtilI::SharedNcdLoadFailedID) return false;
  auto* design = static_cast<UtilI::ISharedNcd*>(data->QueryInterface(UtilI::IID_ISharedNcd));
  if (!design) return false;
  key = KeyOf(design->GetOwner().get(), design->GetFileName().str());
  ok = type == UtilI::SharedNcdLoadedID;
  return true;
}

}  // namespace

Dispatcher& Dispatcher::Instance() {
  static Dispatcher* dispatcher = new Dispatcher();
  return *dispatcher;
}

void Dispatcher::Subscribe(Mailbox* mailbox, UtilI::ISharedNcdMgr* mgr) {
  std::lock_guard<std::mutex> listening(m_listening);
  std::lock_guard<std::mutex> lock(m_mutex);
  if (m_mailboxes.empty() && mgr->AddListener(this)) m_mgr = mgr;
  m_mailboxes.insert(mailbox);
}

// The removal waits for the announcements running, which take m_mutex: it
// is made outside m_mutex.
void Dispatcher::Unsubscribe(Mailbox* mailbox) {
  std::lock_guard<std::mutex> listening(m_listening);
  UtilI::ISharedNcdMgr* mgr = nullptr;
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (!m_mailboxes.erase(mailbox) || !m_mailboxes.empty() || !m_mgr) return;
    mgr = std::exchange(m_mgr, nullptr);
  }
  mgr->RemoveListener(this);
}

std::uint64_t Dispatcher::Generation() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_generation;
}

void Dispatcher::WaitPast(std::uint64_t generation, std::chrono::milliseconds limit) {
  std::unique_lock<std::mutex> lock(m_mutex);
  m_changed.wait_for(lock, limit, [&] { return m_generation > generation; });
}

void* Dispatcher::QueryInterface(const Port::XUID& iid) {
  return iid == CitI::IID_IInterface ? static_cast<CitI::IInterface*>(this) : nullptr;
}

// Without memory to name the read, its messages stay on this thread (they
// pass on when it ends) and its handles learn the outcome by asking the
// manager, as they do every Session::kRecheckMs.
CitI::Result Dispatcher::OnEvent(CommonI::IEvent* event) {
  ReadKey key;
  bool ok = false;
  try {
    if (!event || !ReadOf(*event, key, ok)) return 0;
  } catch (...) {
    LoadNotes::NoteLost();
    return 0;
  }
  LoadNotes::ClaimForRead(key, !ok);
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_generation;
    for (Mailbox* mailbox : m_mailboxes)
      mailbox->ReadEnded(key, ok);
  }
  m_changed.notify_all();
  return 1;
}

}  // namespace NcdTcl
