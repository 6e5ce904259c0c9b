// Threads and locks of the thread library.
//
// Port_ThrThread starts its thread in the constructor and never kills it:
//   - join() waits for the entry to return and answers its result. It throws
//     Port_ThrException::NoSuchThread when the thread was joined before and
//     Deadlock when a thread joins itself.
//   - cancel() is cooperative: it raises a flag that the entry may poll with
//     Port_ThrThread::cancelRequested(); the thread runs on until its entry
//     returns.
//   - exit(value) from another thread raises the cancel flag, then waits
//     until the entry has returned, and makes `value` the thread's result.
//     When exit() returns the worker no longer runs any code of its entry,
//     so its owner may free what the worker used. Called on the worker's own
//     thread it unwinds the entry (an internal exception, caught by the
//     thread library) and ends the thread with `value`.
//   - The destructor of a thread that was never joined waits for the entry
//     to return, as exit() does, and releases the system thread. (Destroyed
//     on its own thread, even after its entry has returned, it cannot wait;
//     the thread is then detached.)
//   - An exception escaping the entry ends the thread with a null result
//     and is reported as an internal message; it never ends the process.
// Locks answer Port::Thread::Error: 0 when taken, otherwise a
// Port_ThrException code (LockFailed). Port_ThrGuard takes a lock for a
// scope and throws Port_ThrException::LockFailed when it cannot.
//
// Port_ThrFault lets tests make the next thread creation, join, lock or
// thread-identifier text fail with a chosen code.
#pragma once

#include <pthread.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "Port_Exception.h"
#include "Port_ThrLockWord.h"

class Port_ThrThreadID {
 public:
  static Port_ThrThreadID getID();  // the calling thread's identifier
  // Writes the identifier's text ("thread-<n>", n unique in the process) into
  // `buffer`; answers 0, or Port_ThrException::BufferTooSmall when the text
  // and its terminating NUL do not fit (the buffer then holds an empty text).
  Port::Thread::Error getText(char* buffer, std::size_t size) const;
  std::uint64_t number() const { return m_number; }
  bool operator==(const Port_ThrThreadID& o) const { return m_number == o.m_number; }

 private:
  explicit Port_ThrThreadID(std::uint64_t number) : m_number(number) {}
  std::uint64_t m_number;
};

class Port_ThrThread {
 public:
  using Entry = void* (*)(void*);

  // Throws Port_ThrException::CreateFailed (InvalidArgument for a null entry).
  Port_ThrThread(Entry entry, void* arg);
  ~Port_ThrThread();
  Port_ThrThread(const Port_ThrThread&) = delete;
  Port_ThrThread& operator=(const Port_ThrThread&) = delete;

  void* join();
  void cancel();
  void exit(void* value);

  bool isAlive() const;  // the entry has not returned yet
  // Whether the calling thread is this thread (inside its entry or after).
  bool isCurrent() const;
  // Inside a thread of this library: whether cancel() or exit() was called on it.
  static bool cancelRequested();
  // Lets other threads run (for short waits on another thread's progress).
  static void yield();

 private:
  struct State;
  static void* trampoline(void* state);
  std::shared_ptr<State> m_state;
};

// Common face of the three lock kinds, so that one guard serves them all.
class Port_ThrLockable {
 public:
  virtual ~Port_ThrLockable() = default;
  virtual Port::Thread::Error lock() = 0;
  virtual Port::Thread::Error unlock() = 0;
};

// The two mutex kinds are final and inline, so that a guard over one of
// them costs its lock word alone when no fault is armed.
class Port_ThrMutex final : public Port_ThrLockable {
 public:
  Port::Thread::Error lock() override;
  Port::Thread::Error unlock() override {
    m_word.Release();
    return 0;
  }

 private:
  Port_ThrLockWord m_word;
};

// Taking it again on the owning thread only counts. Only the owner stores
// its own token in m_owner, so a thread that reads its own token there
// holds the lock; m_depth is touched by the owner alone.
class Port_ThrRecursiveLock final : public Port_ThrLockable {
 public:
  Port::Thread::Error lock() override;
  // A thread that does not hold the lock gets LockFailed and changes nothing.
  Port::Thread::Error unlock() override {
    if (m_owner.load(std::memory_order_relaxed) != ThreadToken())
      return Port_ThrException::LockFailed;
    if (--m_depth == 0) {
      m_owner.store(nullptr, std::memory_order_relaxed);
      m_word.Release();
    }
    return 0;
  }

 private:
  // Unique among running threads, and no call: the thread's own control block.
  static const void* ThreadToken() { return __builtin_thread_pointer(); }

  Port_ThrLockWord m_word;
  std::atomic<const void*> m_owner{nullptr};
  unsigned m_depth = 0;
};

// Many readers or one writer. unlock() releases whichever the caller holds.
class Port_ThrReaderWriterLock : public Port_ThrLockable {
 public:
  Port_ThrReaderWriterLock();
  ~Port_ThrReaderWriterLock() override;
  Port_ThrReaderWriterLock(const Port_ThrReaderWriterLock&) = delete;
  Port_ThrReaderWriterLock& operator=(const Port_ThrReaderWriterLock&) = delete;

  Port::Thread::Error readLock();
  Port::Thread::Error writeLock();
  Port::Thread::Error lock() override { return writeLock(); }
  Port::Thread::Error unlock() override;

 private:
  pthread_rwlock_t m_lock;
};

// Throws Port_ThrException::LockFailed; out of line, so that guards stay
// small enough to inline.
[[noreturn]] void Port_ThrThrowLockFailed();

// Takes `lock` for a scope. The guard is typed by the lock it is given, so a
// guard over one of the final mutex kinds calls it directly and inline.
template <class Lock = Port_ThrLockable>
class Port_ThrGuard {
 public:
  // Throws Port_ThrException::LockFailed when the lock cannot be taken.
  [[gnu::always_inline]] explicit Port_ThrGuard(Lock& lock) : m_lock(lock) {
    if (m_lock.lock() != 0) Port_ThrThrowLockFailed();
  }
  [[gnu::always_inline]] ~Port_ThrGuard() { m_lock.unlock(); }
  Port_ThrGuard(const Port_ThrGuard&) = delete;
  Port_ThrGuard& operator=(const Port_ThrGuard&) = delete;

 private:
  Lock& m_lock;
};

// Fault injection for tests. Each Fail* call arms one failure (or `times`
// failures) of the next matching operations of any thread; a lock failure
// may be limited to one lock object. Disarm() clears everything. The armed
// operation reports the code exactly as the real failure would: creation
// and join throw it, locks and getText answer it. A code of 0, or times <= 0,
// arms nothing. The faults are process wide: a test that arms a lock failure
// for any lock should limit it to its own lock object when other threads run.
class Port_ThrFault {
 public:
  enum class Op { Create, Join, Lock, IdText };
  static void Fail(Op op, int code, int times = 1, const void* lockObject = nullptr);
  static void Disarm();
  // Used by the thread library: answers the armed code for `op` (consuming
  // it), or 0. Armed() is its lock-free test for "nothing armed at all".
  static int Take(Op op, const void* object = nullptr);
  static bool Armed() { return s_pending.load(std::memory_order_relaxed) != 0; }
  // Take(Op::Lock, lock), asked only while something is armed.
  static int TakeLock(const void* lock) { return Armed() ? Take(Op::Lock, lock) : 0; }

 private:
  static std::atomic<int> s_pending;  // total remaining failures
};

inline Port::Thread::Error Port_ThrMutex::lock() {
  if (const int code = Port_ThrFault::TakeLock(this)) return code;
  m_word.Acquire();
  return 0;
}

inline Port::Thread::Error Port_ThrRecursiveLock::lock() {
  if (const int code = Port_ThrFault::TakeLock(this)) return code;
  const void* self = ThreadToken();
  if (m_owner.load(std::memory_order_relaxed) != self) {
    m_word.Acquire();
    m_owner.store(self, std::memory_order_relaxed);
  }
  ++m_depth;
  return 0;
}

// Disarms every armed fault when it goes out of scope.
class Port_ThrFaultScope {
 public:
  Port_ThrFaultScope() = default;
  ~Port_ThrFaultScope() { Port_ThrFault::Disarm(); }
  Port_ThrFaultScope(const Port_ThrFaultScope&) = delete;
  Port_ThrFaultScope& operator=(const Port_ThrFaultScope&) = delete;
};
