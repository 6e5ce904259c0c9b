#include "UtilC_TclSearchRegexp.h"

#include <tcl.h>
#include <unistd.h>

#include <mutex>
#include <new>

namespace UtilC::TclSearch {

namespace {

constexpr const char* kNoMemory = "cannot compile the regular expression: out of memory";
constexpr const char* kNoThread =
    "cannot compile the regular expression: no thread to compile it on";

// Tcl wants its subsystems set up once before any other call. A Tcl shell
// has done so already; doing it again leaves the executable name alone.
void InitTclOnce() {
  static std::once_flag once;
  std::call_once(once, [] { Tcl_FindExecutable(nullptr); });
}

// Frees Tcl's data of the thread that owns it when that thread ends.
struct ThreadTclData {
  const bool m_free = ::gettid() != ::getpid();
  ~ThreadTclData() {
    if (m_free) Tcl_FinalizeThread();
  }
};

void UsingTclOnThisThread() {
  thread_local ThreadTclData data;
}

struct CompileJob {
  CompileJob(const std::string& t, int f) : text(t), flags(f) {}
  const std::string& text;
  const int flags;
  Tcl_Obj* holder = nullptr;
  Tcl_RegExp program = nullptr;
  std::string error;
};

// Tcl's message for a text that does not compile.
std::string CompileError(const CompileJob& job) {
  Tcl_Interp* interp = Tcl_CreateInterp();
  Tcl_Obj* text = Tcl_NewStringObj(job.text.data(), static_cast<int>(job.text.size()));
  Tcl_IncrRefCount(text);
  std::string error = "invalid regular expression";
  if (!Tcl_GetRegExpFromObj(interp, text, job.flags)) error = Tcl_GetStringResult(interp);
  Tcl_DecrRefCount(text);
  Tcl_DeleteInterp(interp);
  return error;
}

void CompileHere(CompileJob& job) {
  Tcl_Obj* holder = Tcl_NewStringObj(job.text.data(), static_cast<int>(job.text.size()));
  Tcl_IncrRefCount(holder);
  // Without sub-matches first, as Tcl's own matcher does; back references
  // need them, so a text refused that way is compiled again with them.
  Tcl_RegExp program = Tcl_GetRegExpFromObj(nullptr, holder, job.flags | TCL_REG_NOSUB);
  if (!program) program = Tcl_GetRegExpFromObj(nullptr, holder, job.flags);
  if (program) {
    job.holder = holder;
    job.program = program;
    return;
  }
  Tcl_DecrRefCount(holder);
  job.error = CompileError(job);
}

// The compiling thread: its Tcl data, and the cache's reference on the
// program with it, are gone before it ends.
void* CompileEntry(void* arg) {
  auto& job = *static_cast<CompileJob*>(arg);
  try {
    InitTclOnce();
    CompileHere(job);
  } catch (...) {
    job.error = kNoMemory;
  }
  Tcl_FinalizeThread();
  return nullptr;
}

}  // namespace

std::unique_ptr<TclRegexp> TclRegexp::Compile(const std::string& text, bool nocase,
                                              std::string& error) {
  CompileJob job(text, TCL_REG_ADVANCED | (nocase ? TCL_REG_NOCASE : 0));
  try {
    Port_ThrThread thread(&CompileEntry, &job);
    thread.join();
  } catch (Port_ThrException::Exception) {
    error = kNoThread;
    return nullptr;
  } catch (const std::bad_alloc&) {
    error = kNoMemory;
    return nullptr;
  }
  if (!job.program) {
    error = job.error;
    return nullptr;
  }
  std::unique_ptr<TclRegexp> compiled(new (std::nothrow) TclRegexp(job.holder, job.program));
  if (!compiled) {
    UsingTclOnThisThread();
    Tcl_DecrRefCount(job.holder);
    error = kNoMemory;
  }
  return compiled;
}

TclRegexp::~TclRegexp() {
  UsingTclOnThisThread();
  Tcl_DecrRefCount(m_holder);
}

bool TclRegexp::Matches(const char* text) const {
  UsingTclOnThisThread();
  Port_ThrGuard guard(m_lock);
  return Tcl_RegExpExec(nullptr, m_program, text, text) == 1;
}

}  // namespace UtilC::TclSearch
