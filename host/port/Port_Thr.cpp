#include "Port_Thr.h"

#include <cxxabi.h>
#include <sched.h>

#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <mutex>

#include "Port_MsgManData.h"

// ---- Port_ThrThreadID ----

namespace {

std::uint64_t NextThreadNumber() {
  static std::atomic<std::uint64_t> counter{1};
  return counter.fetch_add(1, std::memory_order_relaxed);
}

thread_local std::uint64_t t_threadNumber = 0;

[[noreturn]] void ThrowCode(int code) {
  throw static_cast<Port_ThrException::Exception>(code);
}

}  // namespace

Port_ThrThreadID Port_ThrThreadID::getID() {
  if (t_threadNumber == 0) t_threadNumber = NextThreadNumber();
  return Port_ThrThreadID(t_threadNumber);
}

Port::Thread::Error Port_ThrThreadID::getText(char* buffer, std::size_t size) const {
  if (!buffer) size = 0;
  if (const int code = Port_ThrFault::Take(Port_ThrFault::Op::IdText)) {
    if (size > 0) buffer[0] = '\0';
    return code;
  }
  char text[32];
  const int length =
      std::snprintf(text, sizeof text, "thread-%llu", static_cast<unsigned long long>(m_number));
  if (length < 0 || static_cast<std::size_t>(length) + 1 > size) {
    if (size > 0) buffer[0] = '\0';
    return Port_ThrException::BufferTooSmall;
  }
  std::copy(text, text + length + 1, buffer);
  return 0;
}

// ---- Port_ThrThread ----

// Shared by the owning object and the running thread, so that either may
// outlive the other. `mutex` guards every field but `cancel`.
struct Port_ThrThread::State {
  Entry entry = nullptr;
  void* arg = nullptr;
  pthread_t thread{};
  std::mutex mutex;
  std::condition_variable finished;
  bool started = false;  // the thread runs the trampoline; `self` is set
  pthread_t self{};      // the thread as it knows itself
  bool done = false;     // the entry has returned (or exit() made it so)
  bool joined = false;   // join() has been called
  bool reaped = false;   // someone has claimed the pthread_join of the thread
  void* result = nullptr;
  std::atomic<bool> cancel{false};

  // Records the entry's result unless the thread has already been finished.
  void finish(void* value) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!done) result = value;
    done = true;
    finished.notify_all();
  }
  void waitDone() {
    std::unique_lock<std::mutex> lock(mutex);
    finished.wait(lock, [this] { return done; });
  }
  // The pthread is joined exactly once, by whoever claims it first.
  void reap() {
    {
      std::lock_guard<std::mutex> lock(mutex);
      if (reaped) return;
      reaped = true;
    }
    pthread_join(thread, nullptr);
  }
};

namespace {

// The state of the library thread running on this thread (null outside
// them), kept as an identity plus the cancel flag the entry may poll.
thread_local const void* t_current = nullptr;
thread_local const std::atomic<bool>* t_cancel = nullptr;

// Thrown by exit() on the worker's own thread; caught by the trampoline.
struct ExitToken {
  void* value;
};

}  // namespace

void* Port_ThrThread::trampoline(void* raw) {
  std::unique_ptr<std::shared_ptr<State>> hold(static_cast<std::shared_ptr<State>*>(raw));
  State& s = **hold;
  {
    std::lock_guard<std::mutex> lock(s.mutex);
    s.self = pthread_self();
    s.started = true;
  }
  t_current = &s;
  t_cancel = &s.cancel;
  void* result = nullptr;
  try {
    result = s.entry(s.arg);
  } catch (const ExitToken& token) {
    result = token.value;
  } catch (abi::__forced_unwind&) {  // pthread_exit() inside the entry: must propagate
    s.finish(nullptr);
    t_current = nullptr;
    t_cancel = nullptr;
    throw;
  } catch (const std::exception& e) {
    Port_MsgManData::createObject("Port", "Port_Thr", __LINE__, "")
        .issueInternal("thread entry ended with an exception: %s\n", e.what());
  } catch (...) {
    Port_MsgManData::createObject("Port", "Port_Thr", __LINE__, "")
        .issueInternal("thread entry ended with an unknown exception\n");
  }
  s.finish(result);
  t_current = nullptr;
  t_cancel = nullptr;
  return nullptr;
}

Port_ThrThread::Port_ThrThread(Entry entry, void* arg) {
  if (const int code = Port_ThrFault::Take(Port_ThrFault::Op::Create)) ThrowCode(code);
  if (!entry) throw Port_ThrException::InvalidArgument;
  m_state = std::make_shared<State>();
  m_state->entry = entry;
  m_state->arg = arg;
  auto* hold = new std::shared_ptr<State>(m_state);
  if (pthread_create(&m_state->thread, nullptr, &Port_ThrThread::trampoline, hold) != 0) {
    delete hold;
    throw Port_ThrException::CreateFailed;
  }
}

Port_ThrThread::~Port_ThrThread() {
  State& s = *m_state;
  if (isCurrent()) {
    // Destroyed on its own thread: it cannot wait for itself. The trampoline
    // keeps the state alive; detaching lets the system reap the thread.
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.reaped) pthread_detach(s.thread);
    s.reaped = true;
    return;
  }
  s.waitDone();
  s.reap();
}

void* Port_ThrThread::join() {
  if (const int code = Port_ThrFault::Take(Port_ThrFault::Op::Join)) ThrowCode(code);
  State& s = *m_state;
  if (isCurrent()) throw Port_ThrException::Deadlock;
  void* result = nullptr;
  {
    std::unique_lock<std::mutex> lock(s.mutex);
    if (s.joined) throw Port_ThrException::NoSuchThread;
    s.joined = true;
    s.finished.wait(lock, [&s] { return s.done; });
    result = s.result;
  }
  s.reap();
  return result;
}

void Port_ThrThread::cancel() {
  m_state->cancel.store(true);
}

void Port_ThrThread::exit(void* value) {
  State& s = *m_state;
  if (t_current == &s) throw ExitToken{value};
  if (isCurrent()) return;  // its entry has returned: there is nothing to end
  s.cancel.store(true);
  std::unique_lock<std::mutex> lock(s.mutex);
  s.finished.wait(lock, [&s] { return s.done; });
  s.result = value;
}

bool Port_ThrThread::isAlive() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return !m_state->done;
}

bool Port_ThrThread::isCurrent() const {
  std::lock_guard<std::mutex> lock(m_state->mutex);
  return m_state->started && pthread_equal(m_state->self, pthread_self());
}

void Port_ThrThread::yield() {
  sched_yield();
}

bool Port_ThrThread::cancelRequested() {
  return t_cancel && t_cancel->load();
}

// ---- Locks ----

Port_ThrReaderWriterLock::Port_ThrReaderWriterLock() {
  pthread_rwlock_init(&m_lock, nullptr);
}

Port_ThrReaderWriterLock::~Port_ThrReaderWriterLock() {
  pthread_rwlock_destroy(&m_lock);
}

Port::Thread::Error Port_ThrReaderWriterLock::readLock() {
  if (const int code = Port_ThrFault::TakeLock(this)) return code;
  return pthread_rwlock_rdlock(&m_lock) == 0 ? 0 : Port_ThrException::LockFailed;
}

Port::Thread::Error Port_ThrReaderWriterLock::writeLock() {
  if (const int code = Port_ThrFault::TakeLock(this)) return code;
  return pthread_rwlock_wrlock(&m_lock) == 0 ? 0 : Port_ThrException::LockFailed;
}

Port::Thread::Error Port_ThrReaderWriterLock::unlock() {
  return pthread_rwlock_unlock(&m_lock) == 0 ? 0 : Port_ThrException::LockFailed;
}

void Port_ThrThrowLockFailed() {
  throw Port_ThrException::LockFailed;
}
