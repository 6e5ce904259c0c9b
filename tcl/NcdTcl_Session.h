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
// Asynchronous opens end from the interpreter's event loop: the dispatcher
// posts a Tcl event when any read ends; the session then asks the manager
// about each loading handle and runs the -command callbacks that are due.
// Callbacks never run inside a command of the package. The session lives
// as long as its interpreter (it is the interpreter's "ncd" association);
// at its end it stops listening, drops its queued events, cancels pending
// loads and hands every design back.
//
// Threads: everything but Post() runs on the interpreter's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <tcl.h>

#include "NcdTcl_Dispatcher.h"
#include "UtilI_ISharedNcdMgr.h"

namespace NcdTcl {

enum class LoadState { Loading, Ready, Failed };

// "loading", "ready", "failed".
const char* StateName(LoadState state);

struct OpenRequest {
  std::string file;
  std::string ownerName;       // empty for no owner
  bool async = false;
  Tcl_Obj* command = nullptr;  // a command prefix, or null
};

class Session final : public Mailbox {
public:
  struct Handle {
    std::uint64_t number = 0;
    std::string file;
    std::string ownerName;
    CommonI::RefCountPtr<CitI::IInterface> owner;
    Port::XUID requester;
    LoadState state = LoadState::Loading;
    CommonI::RefCountPtr<UtilI::ISharedNcd> design;  // set exactly when ready
    std::string failure;                             // the loader's text, when failed
    Tcl_Obj* command = nullptr;                      // counted; null when none
    bool callbackDue = false;                        // the -command has not run yet
  };

  Session(Tcl_Interp* interp, UtilI::ISharedNcdMgr* mgr);
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  UtilI::ISharedNcdMgr& Mgr() { return *m_mgr; }

  // A blocking open answers a ready handle or throws the load's error; an
  // asynchronous one answers a handle in any state.
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
  // The open handles' names, oldest first.
  Tcl_Obj* Names() const;
  Tcl_Obj* NameOf(const Handle& handle) const;

  // Mailbox: queues one Tcl event to the interpreter's thread (at most one
  // is queued at a time). Safe on any thread.
  void Post() override;

private:
  using HandleMap = std::map<std::uint64_t, Handle>;

  Port::XUID RequesterFor(std::uint64_t number) const;
  CommonI::RefCountPtr<CitI::IInterface> OwnerNamed(const std::string& name);
  Handle& OpenBlocking(Handle& handle);
  CitI::Result WaitForRead(Handle& handle, CitI::Result status);
  void Settle(Handle& handle, CitI::Result status);
  void Fail(Handle& handle);
  void Erase(Handle& handle);
  [[noreturn]] void ThrowUnknown(Tcl_Obj* name) const;

  void ServiceEvents();
  void RunCallback(std::uint64_t number);
  static int EventProc(Tcl_Event* event, int flags);
  static int IsOurEvent(Tcl_Event* event, ClientData session);

  Tcl_Interp* m_interp;
  UtilI::ISharedNcdMgr* m_mgr;
  Tcl_ThreadId m_thread;
  std::uint64_t m_number;      // this session's number in the process, from 1
  std::uint64_t m_nextHandle = 1;
  HandleMap m_handles;
  std::map<std::string, CommonI::RefCountPtr<CitI::IInterface>> m_owners;
  std::atomic<bool> m_eventQueued{false};
  bool m_servicing = false;    // polling inside ServiceEvents: no new Tcl event needed
};

}  // namespace NcdTcl
