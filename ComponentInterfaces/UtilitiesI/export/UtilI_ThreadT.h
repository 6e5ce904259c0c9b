// UtilI::ThreadT<Worker>: a thread object that runs one worker functor
// (`bool (*worker)(ThreadT<Worker>*)`) on a thread of its own.
//
// Ownership: the thread object points at its worker without owning it; the
// owner of both must free the worker only after the thread object.
//
// State: NotStarted -> Running (start) -> Completed (worker end, teardown)
// or Canceled (cancel). getState/isRunning/isFinished read it under
// m_stateLock, any thread may ask. Lock order: m_mutex before m_stateLock,
// and only in start(); m_mutex also guards the worker's name.
//
// A started thread always finishes: the worker's exceptions are caught and
// reported, and isFinished() is true once the worker's thread has ended,
// even when the state lock failed as the worker marked itself Completed.
// A thread that could not be created leaves the object NotStarted
// (isStarted() false) and the failure reported.
//
// Teardown never frees anything the worker may still use: a running worker
// is asked to stop (cooperatively) and the destructor returns only once the
// worker's code has ended, so the owner may then free the worker and what
// it reads. The owner must not destroy the object on the worker's own
// thread while the worker runs.
//
// Misuse (operations before start(), or without a worker) is reported
// through the message manager and the operation does nothing.
#pragma once

#include <cstdint>

#include "Port_MsgManData.h"
#include "Port_Thr.h"

namespace UtilI {

namespace ThreadMsg {
inline constexpr const char* kSource = "UtilI_ThreadT";
inline Port_MsgManData At(int line) { return Port_MsgManData::createObject("UtilitiesC", kSource, line, "1"); }
// Issue `format` (one "%s:%d" for this header's name and `line`) as an
// internal message or an error; they never throw (a message without memory
// is lost), so that teardown and the worker's end may report.
inline void Report(int line, const char* format) noexcept {
  try {
    At(line).issueInternal(format, kSource, line);
  } catch (...) {
  }
}
inline void ReportError(int line, const char* format) noexcept {
  try {
    At(line).issueError(format, kSource, line);
  } catch (...) {
  }
}
// The calling thread's identifier text, or an empty text (with a report)
// when it does not fit the 128-character buffer.
inline Port::StringBase CurrentThreadText() {
  char buffer[128];
  if (Port_ThrThreadID::getID().getText(buffer, sizeof buffer) == Port_ThrException::BufferTooSmall) {
    Report(__LINE__, "Buffer is too small at %s:%d\n");
    return Port::StringBase();
  }
  return Port::StringBase(buffer);
}
}  // namespace ThreadMsg

template <class Worker>
class ThreadT {
public:
  enum State : std::uint32_t { NotStarted = 0, Running = 1, Completed = 2, Canceled = 4 };

  explicit ThreadT(Worker* worker = nullptr) : m_worker(worker) {}
  ~ThreadT() { Teardown(); }
  ThreadT(const ThreadT&) = delete;
  ThreadT& operator=(const ThreadT&) = delete;

  void start();
  void join();
  std::uint32_t getState();
  void setState(std::uint32_t state);
  bool isRunning() { return Usable() && ReadState() == Running; }
  bool isFinished() {
    if (!Usable()) return false;
    if (!m_thread->isAlive()) return true;
    std::uint32_t state = ReadState();
    return state == Completed || state == Canceled;
  }
  // Whether start() created the thread. For the thread that called start().
  bool isStarted() const { return m_thread != nullptr; }
  Port::StringBase getName();
  void setName(const Port::StringBase& name);
  void cancel();

private:
  static void* Entry(void* self);
  void Teardown();
  // True when both the thread and the worker exist; reports a missing worker.
  bool Usable() {
    if (!m_worker) return WorkerMissing(__LINE__);
    return m_thread != nullptr;
  }
  bool WorkerMissing(int line) {
    ThreadMsg::Report(line, "Worker functor is not initialized at %s:%d\n");
    return false;
  }
  // True when the thread was started and has a worker; else reports which
  // is missing.
  bool Started(int line) {
    if (!m_thread) return ReportNotStarted(line);
    if (!m_worker) return WorkerMissing(line);
    return true;
  }
  bool ReportNotStarted(int line) {
    ThreadMsg::ReportError(line, "start() must be called before this point of execution %s:%d\n");
    return false;
  }
  // Reads the state (NotStarted, with a report, when the lock fails).
  std::uint32_t ReadState();

  Worker* m_worker;
  Port_ThrThread* m_thread = nullptr;
  std::uint32_t m_state = NotStarted;
  Port_ThrReaderWriterLock m_stateLock;
  Port::StringBase m_name;
  Port_ThrMutex m_mutex;
};

template <class Worker>
void ThreadT<Worker>::start() {
  if (!m_worker) {
    WorkerMissing(__LINE__);
    return;
  }
  if (m_thread) return;
  if (m_mutex.lock() != 0) {
    ThreadMsg::Report(__LINE__, "Unable to lock at line %s:%d\n");
    return;
  }
  try {
    m_thread = new Port_ThrThread(&ThreadT::Entry, this);
    if (m_stateLock.writeLock() == 0) {
      m_state = Running;
      m_stateLock.unlock();
    }
  } catch (Port_ThrException::Exception code) {
    if (code == Port_ThrException::CreateFailed)
      ThreadMsg::Report(__LINE__, "Unable to create a thread at %s:%d\n");
    else
      ThreadMsg::Report(__LINE__, "Unhandle Exception at %s:%d\n");
  } catch (...) {  // no memory for the thread
    ThreadMsg::Report(__LINE__, "Unable to create a thread at %s:%d\n");
  }
  m_mutex.unlock();
}

template <class Worker>
void* ThreadT<Worker>::Entry(void* arg) {
  auto* self = static_cast<ThreadT*>(arg);
  // Start barrier: start() has stored m_thread and the Running state.
  if (self->m_mutex.lock() == 0) self->m_mutex.unlock();
  try {
    self->setName(ThreadMsg::CurrentThreadText());
  } catch (...) {  // no memory for the name: the worker runs unnamed
  }
  try {
    if (self->m_worker)
      (*self->m_worker)(self);
    else
      self->WorkerMissing(__LINE__);
  } catch (...) {
    ThreadMsg::Report(__LINE__, "Unhandle Exception at %s:%d\n");
  }
  self->setState(Completed);
  return self;
}

template <class Worker>
void ThreadT<Worker>::join() {
  if (!Started(__LINE__)) return;
  void* exitValue = nullptr;
  try {
    exitValue = m_thread->join();
  } catch (Port_ThrException::Exception code) {
    static const struct { int code; const char* text; } kJoinErrors[] = {
        {Port_ThrException::NoSuchThread, "Attempt to wait a thread that doesn't exist at %s:%d\n"},
        {Port_ThrException::NotJoinable, "Attempt to wait a thread that can not be merged at  %s:%d\n"},
        {Port_ThrException::Deadlock, "Detect dead lock wait at %s:%d\n"},
    };
    const char* text = nullptr;
    for (const auto& e : kJoinErrors)
      if (e.code == code) text = e.text;
    if (text)
      ThreadMsg::ReportError(__LINE__, text);
    else
      ThreadMsg::Report(__LINE__, "Unhandle Exception at %s:%d\n");
  }
  try {
    Port::StringBase worker = getName();
    Port::StringBase joiner = ThreadMsg::CurrentThreadText();
    if (exitValue)
      Port_MsgManData::debugStub("Join completed thread %s to thread %s.\n", worker.c_str(), joiner.c_str());
    else
      Port_MsgManData::debugStub("Join canceled thread %s to thread %s.\n", worker.c_str(), joiner.c_str());
  } catch (...) {  // no memory for the names: the trace is lost, the join is done
  }
}

template <class Worker>
std::uint32_t ThreadT<Worker>::ReadState() {
  if (m_stateLock.readLock() != 0) {
    ThreadMsg::Report(__LINE__, "Unable to lock at line %s:%d\n");
    return NotStarted;
  }
  std::uint32_t state = m_state;
  m_stateLock.unlock();
  return state;
}

template <class Worker>
std::uint32_t ThreadT<Worker>::getState() {
  if (!Usable()) return NotStarted;
  return ReadState();
}

template <class Worker>
void ThreadT<Worker>::setState(std::uint32_t state) {
  if (!Started(__LINE__)) return;
  if (m_stateLock.writeLock() != 0) {
    ThreadMsg::Report(__LINE__, "Unable to lock at line %s:%d\n");
    return;
  }
  m_state = state;
  m_stateLock.unlock();
}

template <class Worker>
Port::StringBase ThreadT<Worker>::getName() {
  if (!Started(__LINE__)) return Port::StringBase();
  Port::StringBase name;
  if (m_mutex.lock() == 0) {
    name = m_name;
    m_mutex.unlock();
  }
  return name;
}

template <class Worker>
void ThreadT<Worker>::setName(const Port::StringBase& name) {
  if (!Started(__LINE__)) return;
  if (m_mutex.lock() == 0) {
    m_name = name;
    m_mutex.unlock();
  }
}

template <class Worker>
void ThreadT<Worker>::cancel() {
  if (!m_thread) return;
  if (!m_worker) {
    WorkerMissing(__LINE__);
    return;
  }
  if (getState() == Running) {
    setState(Canceled);
    m_thread->cancel();
  }
}

template <class Worker>
void ThreadT<Worker>::Teardown() {
  if (m_thread && m_worker && isRunning()) {
    if (getState() != Completed) setState(Completed);
    // Cooperative: returns once the worker's code has ended. (On the worker's
    // own thread after its entry has returned there is nothing to end.)
    if (!m_thread->isCurrent()) m_thread->exit(this);
  }
  delete m_thread;  // waits for a worker that is still unwinding
  m_thread = nullptr;
}

}  // namespace UtilI
