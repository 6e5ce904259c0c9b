// NcdTcl::Dispatcher: the process's one listener to the shared design
// manager's load events, which hands each event on to the interpreters.
//
// The manager calls listeners on the reader thread that finished a read,
// where no interpreter may be touched. The dispatcher therefore only files
// the read's messages (LoadNotes) and tells every subscribed mailbox which
// read ended; a mailbox that waits for that read queues a Tcl event to its
// interpreter's thread, which settles its pending loads from its own event
// loop. (The event comes before the manager counts the read as finished,
// so the read's outcome travels with it.)
//
// The dispatcher listens while at least one mailbox is subscribed. Once
// Unsubscribe() has returned, the mailbox's Post() is not running and will
// not be called again, so its owner may then be freed.
//
// The dispatcher also counts events (Generation), so that a client thread
// can wait for the next read to end without spinning.
//
// Lock order: the dispatcher's subscription lock, its lock, then the
// manager's. The manager never holds its lock while calling listeners; the
// removal of the listener, which waits for the listeners running, is made
// without the dispatcher's lock.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>

#include "CommonI_IEvent.h"
#include "NcdTcl_ReadKey.h"
#include "UtilI_ISharedNcdMgr.h"

namespace NcdTcl {

class Mailbox {
 public:
  // The read `key` ended, successfully or not. Called on a reader thread,
  // under the dispatcher's lock: must not block nor throw.
  virtual void ReadEnded(const ReadKey& key, bool ok) noexcept = 0;

 protected:
  ~Mailbox() = default;
};

class Dispatcher : public CommonI::IEventListener {
 public:
  // The process's dispatcher; never freed, because reader threads may call
  // it while the process exits.
  static Dispatcher& Instance();

  void Subscribe(Mailbox* mailbox, UtilI::ISharedNcdMgr* mgr);
  void Unsubscribe(Mailbox* mailbox);

  // Events heard so far.
  std::uint64_t Generation();
  // Returns once Generation() has passed `generation`, or after `limit`.
  void WaitPast(std::uint64_t generation, std::chrono::milliseconds limit);

  void* QueryInterface(const Port::XUID& iid) override;
  CitI::Result OnEvent(CommonI::IEvent* event) override;

 private:
  Dispatcher() = default;

  // Taken before m_mutex by Subscribe and Unsubscribe, so that a removal
  // from the manager (made outside m_mutex) and a new subscription come in
  // turn.
  std::mutex m_listening;
  std::mutex m_mutex;  // guards everything below
  std::condition_variable m_changed;
  std::set<Mailbox*> m_mailboxes;
  UtilI::ISharedNcdMgr* m_mgr = nullptr;  // listened to while mailboxes are subscribed
  std::uint64_t m_generation = 0;
};

}  // namespace NcdTcl
