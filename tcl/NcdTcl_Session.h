// NcdTcl::Session: the `ncd` package's state in one interpreter: its design
// handles, its owner names and its requester identity.
//
// A handle names one request for one design: its file, its owner, its
// state (loading, ready or failed) and, once ready, one counted reference to
// the shared design. Handles print as "ncd<N>", numbered from 1 in the order
// they were made and never reused. A closed handle is forgotten; only the
// counter remembers that it existed, so memory grows with the open handles
// only.
//
// Each request asks the manager under a requester identity of its own:
// {0x6e636474636c0000 + session number, handle number}, so that cancelling
// one handle never touches another's request for the same design. A
// request that ends without a design is cancelled at once: after an
// error, nothing stays filed with the manager.
//
// Asynchronous opens end in the interpreter's event loop: the dispatcher
// tells the session which reads ended, the session queues a Tcl event to
// its thread and, from that event, settles the loading handles and runs
// the -command callbacks that are due. The manager counts a read as
// finished only just after its event, so a failure the manager does not
// confirm yet is asked about again after kEndingRecheckMs; and while a
// handle is loading a timer asks every kRecheckMs in any case, so that no
// ordering of threads can leave a handle loading for good. Callbacks never
// run inside a command of the package.
//
// Every handle has an owner object, so that each design has a search
// context to be searched through: one object per owner name and
// interpreter, and for the empty name one object of the whole process
// (interpreters share the designs opened without an owner). The current design is the one that
// searches and lookups by name use when no -design is given.
//
// The session lives as long as its interpreter (the interpreter's "ncd"
// association). At its end it stops listening, drops its queued events and
// timer, cancels pending loads and hands every design back.
//
// Threads: everything but ReadEnded() runs on the interpreter's thread.
#pragma once

#include <tcl.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "NcdTcl_Dispatcher.h"
#include "NcdTcl_LoadNotes.h"
#include "UtilI_ISharedNcdMgr.h"

namespace NcdTcl {

enum class LoadState { Loading, Ready, Failed };

// "loading", "ready", "failed".
const char* StateName(LoadState state);

struct OpenRequest {
  std::string file;
  std::string ownerName;  // empty for no owner
  bool async = false;
  Tcl_Obj* command = nullptr;  // a command prefix, or null
};

struct ServiceEvent;
class FileCheck;
struct Placement;  // NcdTcl_Index.h

class Session final : public Mailbox {
 public:
  struct Handle {
    std::uint64_t number = 0;
    std::string file;
    Port::StringBase name;  // `file` as the manager takes it, made once: asking needs no memory
    std::string ownerName;
    CommonI::RefCountPtr<CitI::IInterface> owner;
    Port::XUID requester;
    ReadKey key;  // set for asynchronous opens only
    LoadState state = LoadState::Loading;
    CommonI::RefCountPtr<UtilI::ISharedNcd> design;  // set exactly when ready
    std::string failure;                             // the error message, when failed
    Tcl_Obj* command = nullptr;                      // counted; null when none
    bool callbackDue = false;                        // the -command has not run yet
    bool watched = false;                            // counted in m_watched
    std::uint64_t lost = 0;  // LoadNotes::LostCount() when it began to watch
    // Where the design's blocks are placed, read on the first question
    // about the blocks on a site (AddPlacedOn); null until then.
    std::shared_ptr<const Placement> placement;
  };

  static constexpr int kRecheckMs = 100;
  static constexpr int kEndingRecheckMs = 2;

  Session(Tcl_Interp* interp, UtilI::ISharedNcdMgr* mgr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  UtilI::ISharedNcdMgr& Mgr() { return *m_mgr; }

  // A blocking open answers a ready handle or throws the load's error (LOAD);
  // an asynchronous one answers a handle in any state. A file changed since
  // its kept design was read is read again, not taken from the manager's
  // cache (the unused designs are purged first).
  Handle& Open(const OpenRequest& request);
  // The handle a name stands for; throws HANDLE for unknown and closed names.
  Handle& Find(Tcl_Obj* name);
  // Asks the manager whether a loading handle's read has ended.
  void Refresh(Handle& handle);
  // Gives up a loading handle's request and closes the handle; throws STATE
  // for a handle that is not loading.
  void Cancel(Handle& handle);
  // Cancels a pending request or hands the design back; the handle is gone.
  void Close(Handle& handle);
  // The handle set by SetCurrent while it stays open and ready, else the
  // newest ready handle; throws STATE when no design is ready.
  Handle& Current();
  void SetCurrent(const Handle& handle) { m_current = handle.number; }
  // The handle of `name`, or the current one for null; throws unless ready.
  Handle& Ready(Tcl_Obj* name);
  // Makes the timing service (the delay mediator) of every ready design,
  // so that delays are read as such rather than as the placeholder -1.0.
  void EnableTiming();
  // The open handles' names, oldest first.
  Tcl_Obj* Names() const;
  // The design files of the handles, open or not yet.
  std::vector<std::string> Files() const;
  static Tcl_Obj* NameOf(const Handle& handle);

  void ReadEnded(const ReadKey& key, bool ok) noexcept override;

 private:
  using HandleMap = std::map<std::uint64_t, Handle>;

  Handle NewHandle(const OpenRequest& request);
  CommonI::RefCountPtr<CitI::IInterface> OwnerNamed(const std::string& name);
  static void OpenContextOf(const CommonI::RefCountPtr<CitI::IInterface>& owner);
  Handle& Insert(Handle&& handle);
  Handle& OpenBlocking(Handle&& proto, FileCheck& check);
  CitI::Result WaitForRead(const Handle& handle, CitI::Result status);
  // `notes` hold the messages of the call that answered `status`, for a
  // load that failed in that very call.
  void Settle(Handle& handle, CitI::Result status, LoadNotes::CallNotes* notes = nullptr);
  bool SettleEnded(Handle& handle, bool ok);
  void Fail(Handle& handle, LoadNotes::CallNotes* notes);
  void Leave(Handle& handle, LoadState state);
  void Watch(Handle& handle);
  void Unwatch(Handle& handle);
  void Erase(Handle& handle);

  ServiceEvent* NewEvent();  // on the session's thread
  void QueueEvent();         // with m_lock held
  void ScheduleService();
  void ServiceEvents();
  void RunCallbacks();
  void RunCallback(std::uint64_t number);
  void ArmTimer(int ms);
  static void ServiceFromLoop(Session* session);
  static int EventProc(Tcl_Event* event, int flags);
  static int IsOurEvent(Tcl_Event* event, ClientData session);
  static void TimerProc(ClientData session);

  Tcl_Interp* m_interp;
  UtilI::ISharedNcdMgr* m_mgr;
  Tcl_ThreadId m_thread;
  std::uint64_t m_number;  // this session's number in the process, from 1
  std::uint64_t m_nextHandle = 1;
  std::uint64_t m_current = 0;  // set by SetCurrent; 0 for none
  HandleMap m_handles;
  std::map<std::string, CommonI::RefCountPtr<CitI::IInterface>> m_owners;
  Tcl_TimerToken m_timer = nullptr;
  int m_timerMs = 0;
  bool m_servicing = false;  // settling handles inside ServiceEvents

  // Shared with reader threads (ReadEnded).
  std::mutex m_lock;                 // guards the four members below
  std::map<ReadKey, int> m_watched;  // loading asynchronous handles per read
  std::map<ReadKey, bool> m_ended;   // watched reads that ended: succeeded?
  bool m_eventQueued = false;
  ServiceEvent* m_spare = nullptr;  // the event QueueEvent queues next
};

}  // namespace NcdTcl
