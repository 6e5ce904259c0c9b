#include "NcdTcl_Session.h"

#include <sys/stat.h>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#include "NcdTcl_Error.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_LoadNotes.h"
#include "NcdTcl_Object.h"
#include "NcdTcl_Owner.h"
#include "NcdTcl_ProgressLine.h"
#include "NcdTcl_Services.h"
#include "NcdTool_FlowNetlist.h"

namespace NcdTcl {

namespace {

constexpr std::uint64_t kRequesterTag = 0x6e636474636c0000ULL;  // "ncdtcl", then the session number
// A blocking open asks again this often whether its read ended (and looks
// for Ctrl-C): the read's event may come before the manager counts the
// read as finished.
constexpr std::chrono::milliseconds kReadRecheck{20};

std::atomic<std::uint64_t> g_sessions{0};

// The message of a failed load, blocking or not: the loader's text, which
// names the file, or how to convert the open flow's netlist it was given.
std::string LoadMessage(const std::string& file, const std::string& text) {
  if (std::string hint = NcdTool::FlowNetlistHint(file); !hint.empty()) return hint;
  if (text.empty()) return file + ": the design could not be read";
  if (text.compare(0, file.size(), file) == 0) return text;
  return file + ": " + text;
}

// What tells one version of a file from the next: its identity, size and
// time of change. A file rewritten in place, or replaced by a rename,
// differs in one of them.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

std::optional<FileStamp> StampOf(const std::string& file) {
  struct stat status {};
  if (::stat(file.c_str(), &status) != 0) return std::nullopt;
  return FileStamp{status.st_dev, status.st_ino, status.st_size,
                   std::int64_t{status.st_mtim.tv_sec} * 1000000000 + status.st_mtim.tv_nsec};
}

}  // namespace

// The manager keeps a closed design, by its owner and file, as the file was
// when it was read. When the file changed since the version on record for
// that design, the kept designs are let go first, so that the open reads
// the file as it is now (an open of the same file for another owner reads
// it anew and says nothing of this owner's design). A file since removed
// leaves the kept design to answer, and a design still open under another
// handle stays shared as it was read: such an open, which the manager
// answers at once with the design it has, leaves the old version on
// record, so that the first open after that design is handed back reads
// the file again. The versions are the process's, as the manager is.
class FileCheck {
 public:
  FileCheck(UtilI::ISharedNcdMgr& mgr, const CitI::IInterface* owner, const std::string& file)
      : m_key(KeyOf(owner, file)) {
    const std::optional<FileStamp> now = StampOf(file);
    if (!now) return;  // nothing newer to read: what the manager keeps answers
    {
      std::lock_guard<std::mutex> held(Lock());
      const auto [known, first] = Stamps().try_emplace(m_key, *now);
      if (!first && !(known->second == *now)) m_changed = now;
    }
    if (m_changed) mgr.PurgeUnused();
  }

  // The open's first answer from the manager (1: it had the design already).
  // The new version goes on record once an open did not answer a design of
  // the old one.
  CitI::Result Answered(CitI::Result status) {
    if (m_changed && status != 1) {
      std::lock_guard<std::mutex> held(Lock());
      Stamps()[m_key] = *m_changed;
    }
    return status;
  }

  // A named owner goes with its interpreter: no open asks for its designs
  // again.
  static void Forget(const CitI::IInterface* owner) noexcept {
    try {
      std::lock_guard<std::mutex> held(Lock());
      std::map<ReadKey, FileStamp>& stamps = Stamps();
      auto it = stamps.lower_bound(ReadKey{owner, {}});
      while (it != stamps.end() && it->first.owner == owner)
        it = stamps.erase(it);
    } catch (...) {  // the lock could not be taken: the entries stay, as before
    }
  }

 private:
  static std::mutex& Lock() {
    static std::mutex lock;
    return lock;
  }
  static std::map<ReadKey, FileStamp>& Stamps() {
    static std::map<ReadKey, FileStamp> stamps;
    return stamps;
  }

  ReadKey m_key;
  std::optional<FileStamp> m_changed;  // the file as it is, when not as on record
};

namespace {

std::string NameText(std::uint64_t number) {
  return "ncd" + std::to_string(number);
}

// Holds a read's failure text (LoadNotes) for the life of a scope.
class HeldNote {
 public:
  explicit HeldNote(ReadKey key) : m_key(std::move(key)) { LoadNotes::Hold(m_key); }
  ~HeldNote() { LoadNotes::Release(m_key); }
  HeldNote(const HeldNote&) = delete;
  HeldNote& operator=(const HeldNote&) = delete;
  const ReadKey& Key() const { return m_key; }
  std::uint64_t Lost() const { return m_lost; }

 private:
  ReadKey m_key;
  std::uint64_t m_lost = LoadNotes::LostCount();
};

// The text of a failed load: the read's own, the call's own, or, when a
// message was lost for lack of memory meanwhile, "out of memory".
std::string FailureOf(const ReadKey& key, LoadNotes::CallNotes* notes, std::uint64_t lost) {
  std::string text = LoadNotes::FailureText(key);
  if (text.empty() && notes) text = notes->Claim();
  if (text.empty() && LoadNotes::LostCount() != lost) text = "out of memory";
  return text;
}

// Sets a flag for the life of a scope.
class Servicing {
 public:
  explicit Servicing(bool& flag) : m_flag(flag) { m_flag = true; }
  ~Servicing() { m_flag = false; }
  Servicing(const Servicing&) = delete;
  Servicing& operator=(const Servicing&) = delete;

 private:
  bool& m_flag;
};

}  // namespace

const char* StateName(LoadState state) {
  static const char* const kNames[] = {"loading", "ready", "failed"};
  return kNames[static_cast<int>(state)];
}

// The Tcl event a session queues to its own thread.
struct ServiceEvent {
  Tcl_Event header;  // first: Tcl frees the event through it
  Session* session;
};

// Made on the session's thread only: Tcl's allocator gives every thread
// that allocates a cache of its own, which a reader thread, ending without
// Tcl's thread finalisation, would leave behind (about 16 KB a read).
// Null without memory: the timer then finds the ended reads.
ServiceEvent* Session::NewEvent() {
  auto* event = reinterpret_cast<ServiceEvent*>(attemptckalloc(sizeof(ServiceEvent)));
  if (event) {
    event->header.proc = EventProc;
    event->header.nextPtr = nullptr;
    event->session = this;
  }
  return event;
}

Session::Session(Tcl_Interp* interp, UtilI::ISharedNcdMgr* mgr)
    : m_interp(interp), m_mgr(mgr), m_thread(Tcl_GetCurrentThread()), m_number(++g_sessions) {
  // Tcl creates a thread's event queue lock on first use, unsynchronised
  // with its readers; this (empty) deletion creates it here, before any
  // reader thread queues an event to this thread.
  Tcl_DeleteEvents(IsOurEvent, this);
  m_spare = NewEvent();
  Dispatcher::Instance().Subscribe(this, mgr);
}

Session::~Session() {
  Dispatcher::Instance().Unsubscribe(this);  // from here on nobody queues events for us
  Tcl_DeleteEvents(IsOurEvent, this);
  if (m_spare) ckfree(reinterpret_cast<char*>(m_spare));
  if (m_timer) Tcl_DeleteTimerHandler(m_timer);
  while (!m_handles.empty()) {
    try {
      Close(m_handles.begin()->second);
    } catch (const std::exception&) {
      // Close forgets the handle before it can fail; nothing is left to do.
    }
  }
  for (const auto& [name, owner] : m_owners) {
    FileCheck::Forget(owner.get());
    CloseSearchContext(owner);
  }
}

// ---- opening ----

// Before the owner's first design is handed out: a design publishes its
// search source (and makes its searches) only into an existing context.
void Session::OpenContextOf(const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  try {
    SearchContext(owner);
  } catch (const Error&) {
    // no search service: opening works, searches will say why they cannot
  }
}

Session::Handle Session::NewHandle(const OpenRequest& request) {
  Handle handle;
  handle.number = m_nextHandle;
  handle.file = request.file;
  handle.name = request.file;
  handle.ownerName = request.ownerName;
  handle.owner = OwnerNamed(request.ownerName);
  handle.requester = Port::XUID(kRequesterTag + m_number, handle.number);
  return handle;
}

CommonI::RefCountPtr<CitI::IInterface> Session::OwnerNamed(const std::string& name) {
  if (name.empty()) {
    static std::once_flag opened;
    std::call_once(opened, [] { OpenContextOf(Owner::Default()); });
    return Owner::Default();
  }
  CommonI::RefCountPtr<CitI::IInterface>& owner = m_owners[name];
  if (!owner) {
    owner = Owner::Create();
    OpenContextOf(owner);
  }
  return owner;
}

// The handle's number is used up only once the handle exists.
Session::Handle& Session::Insert(Handle&& handle) {
  Handle& inserted = m_handles.emplace(handle.number, std::move(handle)).first->second;
  ++m_nextHandle;
  return inserted;
}

Session::Handle& Session::Open(const OpenRequest& request) {
  Handle proto = NewHandle(request);
  FileCheck check(*m_mgr, proto.owner.get(), request.file);
  if (!request.async) return OpenBlocking(std::move(proto), check);
  proto.key = KeyOf(proto.owner.get(), proto.file);
  const std::uint64_t number = proto.number;
  Handle& handle = Insert(std::move(proto));
  try {
    if (request.command) {
      handle.command = request.command;
      Tcl_IncrRefCount(handle.command);
      handle.callbackDue = true;
    }
    // Watching before asking, so that a read that ends at once is not missed.
    Watch(handle);
    LoadNotes::CallNotes notes;
    Settle(handle, check.Answered(m_mgr->Load(handle.requester, handle.name, handle.owner, false)),
           &notes);
  } catch (...) {
    // Nothing stays: no handle, no request, no number used up.
    Close(handle);
    m_nextHandle = number;
    throw;
  }
  return handle;
}

Session::Handle& Session::OpenBlocking(Handle&& proto, FileCheck& check) {
  HeldNote note(KeyOf(proto.owner.get(), proto.file));
  LoadNotes::CallNotes notes;
  try {
    const ProgressLine line(m_interp, proto.name.str());
    CitI::Result status =
        check.Answered(m_mgr->Load(proto.requester, proto.name, proto.owner, false));
    if (WaitForRead(proto, status) == 1)
      proto.design = m_mgr->Get(proto.requester, proto.name, proto.owner);
  } catch (...) {
    m_mgr->CancelLoad(proto.requester, proto.name, proto.owner);
    throw;
  }
  if (!proto.design) {
    m_mgr->CancelLoad(proto.requester, proto.name, proto.owner);
    std::string text = FailureOf(note.Key(), &notes, note.Lost());
    throw Error(ErrorClass::Load, LoadMessage(proto.file, text), {proto.file});
  }
  proto.state = LoadState::Ready;
  return Insert(std::move(proto));
}

// The read runs on the loader's thread while this one waits for the
// dispatcher's next event, so that Ctrl-C stops the open (the caller
// cancels the request).
CitI::Result Session::WaitForRead(const Handle& handle, CitI::Result status) {
  Dispatcher& dispatcher = Dispatcher::Instance();
  while (status == 2) {
    CheckStop();
    std::uint64_t seen = dispatcher.Generation();
    status = m_mgr->Load(handle.requester, handle.name, handle.owner, false);
    if (status == 2) dispatcher.WaitPast(seen, kReadRecheck);
  }
  return status;
}

// ---- state changes ----

void Session::Settle(Handle& handle, CitI::Result status, LoadNotes::CallNotes* notes) {
  if (status == 2) return;
  if (status == 1) handle.design = m_mgr->Get(handle.requester, handle.name, handle.owner);
  if (handle.design)
    Leave(handle, LoadState::Ready);
  else
    Fail(handle, notes);
}

// The manager counts a read as finished only after its event: a successful
// read is taken by Get (which needs the read's success only), a failure is
// believed once Load answers it. Answers whether the handle is still loading.
bool Session::SettleEnded(Handle& handle, bool ok) {
  if (ok) {
    handle.design = m_mgr->Get(handle.requester, handle.name, handle.owner);
    if (handle.design) Leave(handle, LoadState::Ready);
  }
  Refresh(handle);
  return handle.state == LoadState::Loading;
}

// The message is made first: without memory for it the handle stays as it
// was, still loading.
void Session::Fail(Handle& handle, LoadNotes::CallNotes* notes) {
  handle.failure = LoadMessage(handle.file, FailureOf(handle.key, notes, handle.lost));
  m_mgr->CancelLoad(handle.requester, handle.name, handle.owner);
  Leave(handle, LoadState::Failed);
}

void Session::Leave(Handle& handle, LoadState state) {
  handle.state = state;
  Unwatch(handle);
  if (handle.callbackDue) ScheduleService();
}

void Session::Refresh(Handle& handle) {
  if (handle.state != LoadState::Loading) return;
  LoadNotes::CallNotes notes;
  Settle(handle, m_mgr->Load(handle.requester, handle.name, handle.owner, false), &notes);
}

// ---- closing ----

void Session::Cancel(Handle& handle) {
  if (handle.state != LoadState::Loading) {
    std::string name = NameText(handle.number), state = StateName(handle.state);
    throw Error(ErrorClass::State,
                "design handle \"" + name + "\" is not loading (it is " + state + ")",
                {name, state});
  }
  Close(handle);
}

// Needs no memory: a handle can always be closed.
void Session::Close(Handle& handle) {
  // Values of the design keep their names once it has gone.
  if (handle.state == LoadState::Ready) NameUnnamedObjects();
  bool loading = handle.state == LoadState::Loading;
  Port::XUID requester = handle.requester;
  Port::StringBase name = std::move(handle.name);
  CommonI::RefCountPtr<CitI::IInterface> owner = handle.owner;
  Erase(handle);  // hands a ready design back
  if (loading) m_mgr->CancelLoad(requester, name, owner);
}

void Session::Erase(Handle& handle) {
  Unwatch(handle);
  if (handle.command) Tcl_DecrRefCount(handle.command);
  m_handles.erase(handle.number);
}

// ---- names ----

Session::Handle& Session::Current() {
  auto it = m_handles.find(m_current);
  if (it != m_handles.end() && it->second.state == LoadState::Ready) return it->second;
  for (auto newest = m_handles.rbegin(); newest != m_handles.rend(); ++newest)
    if (newest->second.state == LoadState::Ready) return newest->second;
  throw Error(ErrorClass::State, "no design is open: open one with ncd::open_design", {"none"});
}

Session::Handle& Session::Ready(Tcl_Obj* name) {
  if (!name) return Current();
  Handle& handle = Find(name);
  Refresh(handle);
  if (handle.state == LoadState::Failed)
    throw Error(ErrorClass::Load, handle.failure, {handle.file});
  if (handle.state == LoadState::Loading) {
    std::string text = Tcl_GetString(name);
    throw Error(ErrorClass::State, "design handle \"" + text + "\" is still loading",
                {text, "loading"});
  }
  return handle;
}

Session::Handle& Session::Find(Tcl_Obj* name) {
  const char* text = Tcl_GetString(name);
  const char* end = text + std::strlen(text);
  std::uint64_t number = 0;
  bool wellFormed = !std::strncmp(text, "ncd", 3) && text[3] >= '1' && text[3] <= '9';
  if (wellFormed) {
    auto [last, ec] = std::from_chars(text + 3, end, number);
    wellFormed = ec == std::errc() && last == end;
  }
  if (wellFormed) {
    if (auto it = m_handles.find(number); it != m_handles.end()) return it->second;
  }
  bool closed = wellFormed && number < m_nextHandle;
  std::string quoted = "\"" + Clipped(text) + "\"";
  throw Error(ErrorClass::Handle,
              closed ? "design handle " + quoted + " is closed" : "unknown design handle " + quoted,
              {text});
}

Tcl_Obj* Session::NameOf(const Handle& handle) {
  return Tcl_NewStringObj(NameText(handle.number).c_str(), -1);
}

void Session::EnableTiming() {
  for (auto& [number, handle] : m_handles)
    if (handle.state == LoadState::Ready && handle.design) handle.design->GetDelayMediator();
}

std::vector<std::string> Session::Files() const {
  std::vector<std::string> files;
  for (const auto& [number, handle] : m_handles)
    files.push_back(handle.file);
  return files;
}

Tcl_Obj* Session::Names() const {
  Tcl_Obj* names = Tcl_NewListObj(0, nullptr);
  for (const auto& [number, handle] : m_handles)
    Tcl_ListObjAppendElement(nullptr, names, NameOf(handle));
  return names;
}

// ---- events ----

// A watched handle also holds its read's failure text (LoadNotes) until
// it is settled.
void Session::Watch(Handle& handle) {
  handle.lost = LoadNotes::LostCount();
  LoadNotes::Hold(handle.key);
  try {
    std::lock_guard<std::mutex> lock(m_lock);
    ++m_watched[handle.key];
    handle.watched = true;
  } catch (...) {
    LoadNotes::Release(handle.key);
    throw;
  }
  ArmTimer(kRecheckMs);
}

void Session::Unwatch(Handle& handle) {
  if (!handle.watched) return;
  handle.watched = false;
  LoadNotes::Release(handle.key);
  std::lock_guard<std::mutex> lock(m_lock);
  auto it = m_watched.find(handle.key);
  if (it == m_watched.end() || --it->second > 0) return;
  m_watched.erase(it);
  m_ended.erase(handle.key);
}

// Without memory to note the read, the handles learn of it by asking the
// manager (the timer asks every kRecheckMs while one is loading).
void Session::ReadEnded(const ReadKey& key, bool ok) noexcept {
  std::lock_guard<std::mutex> lock(m_lock);
  if (!m_watched.count(key)) return;
  try {
    m_ended[key] = ok;
  } catch (...) {
    return;
  }
  QueueEvent();
}

void Session::QueueEvent() {
  if (m_eventQueued || !m_spare) return;
  m_eventQueued = true;
  ServiceEvent* event = std::exchange(m_spare, nullptr);
  Tcl_ThreadQueueEvent(m_thread, &event->header, TCL_QUEUE_TAIL);
  Tcl_ThreadAlert(m_thread);
}

void Session::ScheduleService() {
  if (m_servicing) return;  // ServiceEvents runs the callbacks itself
  std::lock_guard<std::mutex> lock(m_lock);
  QueueEvent();
}

void Session::ArmTimer(int ms) {
  if (m_timer && m_timerMs <= ms) return;
  if (m_timer) Tcl_DeleteTimerHandler(m_timer);
  m_timer = Tcl_CreateTimerHandler(ms, TimerProc, this);
  m_timerMs = ms;
}

void Session::ServiceEvents() {
  std::map<ReadKey, bool> ended;
  {
    std::lock_guard<std::mutex> lock(m_lock);
    ended.swap(m_ended);
    m_eventQueued = false;  // reads that end from here on queue a new event
    if (!m_spare) m_spare = NewEvent();
  }
  bool loading = false, ending = false;
  {
    Servicing servicing(m_servicing);
    for (auto& [number, handle] : m_handles) {
      if (handle.state != LoadState::Loading) continue;
      auto it = handle.watched ? ended.find(handle.key) : ended.end();
      if (it != ended.end())
        ending |= SettleEnded(handle, it->second);
      else
        Refresh(handle);
      loading |= handle.state == LoadState::Loading;
    }
  }
  if (loading) ArmTimer(ending ? kEndingRecheckMs : kRecheckMs);
  RunCallbacks();
}

void Session::RunCallbacks() {
  std::vector<std::uint64_t> due;
  for (const auto& [number, handle] : m_handles)
    if (handle.callbackDue && handle.state != LoadState::Loading) due.push_back(number);
  // A callback may close or open handles, or enter the event loop again:
  // each one is looked up afresh and runs at most once.
  for (std::uint64_t number : due) {
    if (Tcl_InterpDeleted(m_interp)) return;
    RunCallback(number);
  }
}

void Session::RunCallback(std::uint64_t number) {
  auto it = m_handles.find(number);
  if (it == m_handles.end() || !it->second.callbackDue) return;
  Handle& handle = it->second;
  handle.callbackDue = false;
  Tcl_Obj* script = Tcl_DuplicateObj(handle.command);
  Tcl_IncrRefCount(script);
  int code = Tcl_ListObjAppendElement(m_interp, script, NameOf(handle));
  if (code == TCL_OK)
    code =
        Tcl_ListObjAppendElement(m_interp, script, Tcl_NewStringObj(StateName(handle.state), -1));
  if (code == TCL_OK) code = Tcl_EvalObjEx(m_interp, script, TCL_EVAL_GLOBAL);
  Tcl_DecrRefCount(script);
  if (code != TCL_OK) Tcl_BackgroundException(m_interp, code);
}

// The interpreter is preserved while its session works, so that a callback
// that deletes it frees the session only once the session is done.
void Session::ServiceFromLoop(Session* session) {
  Tcl_Interp* interp = session->m_interp;
  Tcl_Preserve(interp);
  try {
    session->ServiceEvents();
  } catch (...) {
    if (!Tcl_InterpDeleted(interp)) Tcl_BackgroundException(interp, Error::ReportCaught(interp));
  }
  Tcl_Release(interp);
}

int Session::EventProc(Tcl_Event* event, int flags) {
  if (!(flags & TCL_FILE_EVENTS)) return 0;  // like a channel's events
  ServiceFromLoop(reinterpret_cast<ServiceEvent*>(event)->session);
  return 1;
}

int Session::IsOurEvent(Tcl_Event* event, ClientData session) {
  return event->proc == EventProc && reinterpret_cast<ServiceEvent*>(event)->session == session;
}

void Session::TimerProc(ClientData data) {
  auto* session = static_cast<Session*>(data);
  session->m_timer = nullptr;
  ServiceFromLoop(session);
}

}  // namespace NcdTcl
