// Threads, locks and fault injection of the thread library.
#include "Port_Thr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "FinishesWithin.h"
#include "Port_MsgManData.h"

namespace {

using Code = Port_ThrException::Exception;
using Op = Port_ThrFault::Op;

void* AsPtr(std::intptr_t v) {
  return reinterpret_cast<void*>(v);
}

template <class F>
int ThrownCode(F&& f) {
  try {
    f();
  } catch (Code code) {
    return code;
  }
  return 0;
}

void* ReturnArg(void* arg) {
  return arg;
}

// What a worker needs to reach its own thread object, which exists only
// once the constructor has returned.
struct Self {
  std::atomic<Port_ThrThread*> thread{nullptr};
  std::atomic<bool> afterExit{false};
  std::atomic<bool> finished{false};
  std::atomic<int> code{0};
  Port_ThrThread* wait() {
    while (!thread.load())
      std::this_thread::yield();
    return thread.load();
  }
};

void* SpinUntilCancelled(void* arg) {
  auto* self = static_cast<Self*>(arg);
  while (!Port_ThrThread::cancelRequested())
    std::this_thread::yield();
  self->finished = true;
  return AsPtr(5);
}

// Runs `fn` on a library thread and answers whether it finished.
// The calls below take a lock on the other thread: one that never gets it
// fails the test instead of hanging.
bool RunsOnAnotherThread(void (*fn)(void*), void* arg) {
  struct Call {
    void (*fn)(void*);
    void* arg;
  } call{fn, arg};
  bool ran = false;
  ncdtest::FinishesWithin("The other thread getting the lock", [&] {
    Port_ThrThread t(
        +[](void* c) -> void* {
          auto* call = static_cast<Call*>(c);
          call->fn(call->arg);
          return AsPtr(1);
        },
        &call);
    ran = t.join() == AsPtr(1);
  });
  return ran;
}

}  // namespace

TEST(Thread, JoinAnswersResultOnce) {
  Port_ThrThread t(&ReturnArg, AsPtr(41));
  EXPECT_EQ(t.join(), AsPtr(41));
  EXPECT_FALSE(t.isAlive());
  EXPECT_EQ(ThrownCode([&] { t.join(); }), Code::NoSuchThread);
}

TEST(Thread, ExitFromOutsideWaitsForTheEntryAndSetsValue) {
  Self self;
  Port_ThrThread t(&SpinUntilCancelled, &self);
  t.exit(AsPtr(42));
  EXPECT_TRUE(self.finished);  // the entry had returned before exit() did
  EXPECT_FALSE(t.isAlive());
  EXPECT_EQ(t.join(), AsPtr(42));
}

TEST(Thread, ExitOnTheWorkerEndsTheEntry) {
  Self self;
  Port_ThrThread t(
      +[](void* arg) -> void* {
        auto* s = static_cast<Self*>(arg);
        s->wait()->exit(AsPtr(7));
        s->afterExit = true;
        return AsPtr(1);
      },
      &self);
  self.thread = &t;
  EXPECT_EQ(t.join(), AsPtr(7));
  EXPECT_FALSE(self.afterExit);
}

TEST(Thread, CancelIsCooperative) {
  Self self;
  Port_ThrThread t(&SpinUntilCancelled, &self);
  EXPECT_FALSE(Port_ThrThread::cancelRequested());  // not a library thread
  t.cancel();
  EXPECT_EQ(t.join(), AsPtr(5));  // the entry's own result, not overridden
  EXPECT_TRUE(self.finished);
}

TEST(Thread, SelfJoinIsDeadlock) {
  Self self;
  Port_ThrThread t(
      +[](void* arg) -> void* {
        auto* s = static_cast<Self*>(arg);
        s->code = ThrownCode([s] { s->wait()->join(); });
        return AsPtr(3);
      },
      &self);
  self.thread = &t;
  EXPECT_EQ(t.join(), AsPtr(3));  // the failed self-join did not count as a join
  EXPECT_EQ(self.code, Code::Deadlock);
}

TEST(Thread, DestructorWaitsForTheEntry) {
  Self self;
  {
    Port_ThrThread t(
        +[](void* arg) -> void* {
          for (int i = 0; i < 2000; ++i)
            std::this_thread::yield();
          static_cast<Self*>(arg)->finished = true;
          return nullptr;
        },
        &self);
  }
  EXPECT_TRUE(self.finished);
}

namespace {

// Deletes the thread object it holds when its thread ends (a thread_local's
// destructor runs after the entry has returned), noting whether it ran there.
struct OwnThreadHolder {
  Port_ThrThread* thread = nullptr;
  std::atomic<int>* seen = nullptr;
  ~OwnThreadHolder() {
    if (!thread) return;
    *seen = thread->isCurrent() ? 1 : 2;
    delete thread;
    *seen += 10;
  }
};
thread_local OwnThreadHolder t_holder;

}  // namespace

// A thread object destroyed on its own thread after its entry has returned
// knows where it is and lets the thread go instead of waiting for itself.
TEST(Thread, DestroyedOnItsOwnThreadAfterItsEntry) {
  static std::atomic<Port_ThrThread*> made{nullptr};
  static std::atomic<int> seen{0};
  made = new Port_ThrThread(
      +[](void*) -> void* {
        while (!made.load())
          std::this_thread::yield();
        t_holder.thread = made.load();
        t_holder.seen = &seen;
        return nullptr;
      },
      nullptr);
  EXPECT_FALSE(made.load()->isCurrent());
  for (int i = 0; i < 2000 && seen < 10; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(seen, 11);
}

TEST(Thread, EscapingExceptionIsReportedNotFatal) {
  Port_MsgCapture capture;
  Port_ThrThread t(
      +[](void*) -> void* { throw std::runtime_error("boom"); }, nullptr);
  EXPECT_EQ(t.join(), nullptr);
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "boom"), 1u);
}

TEST(ThreadID, UniquePerThreadWithText) {
  const Port_ThrThreadID me = Port_ThrThreadID::getID();
  EXPECT_EQ(Port_ThrThreadID::getID(), me);
  static std::uint64_t other;
  ASSERT_TRUE(RunsOnAnotherThread(
      +[](void*) { other = Port_ThrThreadID::getID().number(); }, nullptr));
  EXPECT_NE(other, me.number());
  EXPECT_GE(me.number(), 1u);

  const std::string expected = "thread-" + std::to_string(me.number());
  char buf[32] = "junk";
  EXPECT_EQ(me.getText(buf, expected.size() + 1), 0);
  EXPECT_EQ(std::string(buf), expected);
  EXPECT_EQ(me.getText(buf, expected.size()), Code::BufferTooSmall);  // no room for the NUL
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(me.getText(nullptr, 0), Code::BufferTooSmall);
}

// Four threads take `lock` (kNesting deep) `perThread` times each,
// sometimes yielding while they hold it, so that takers also go to sleep and
// are woken. The counter is plain: the sanitizer build reports any overlap,
// and a lost wake-up fails the test when the takers do not finish.
template <int kNesting = 1, class Lock>
void ExcludesUnderContention(Lock& lock, int perThread) {
  int counter = 0;
  std::atomic<int> inside{0}, maxInside{0};
  ncdtest::FinishesWithin("Every taker getting the lock (a taker asleep on it was never woken)", [&] {
    std::vector<std::thread> takers;
    for (int t = 0; t < 4; ++t) {
      takers.emplace_back([&] {
        for (int i = 0; i < perThread; ++i) {
          Port_ThrGuard guard(lock);
          if constexpr (kNesting > 1) {
            Port_ThrGuard again(lock);
          }
          const int now = ++inside;
          if (now > maxInside) maxInside = now;
          ++counter;
          if (i % 256 == 0) Port_ThrThread::yield();
          --inside;
        }
      });
    }
    for (auto& th : takers)
      th.join();
  });
  EXPECT_EQ(counter, 4 * perThread);
  EXPECT_EQ(maxInside, 1);
}

TEST(Locks, ReadersShareWritersExclude) {
  Port_ThrReaderWriterLock rw;
  ASSERT_EQ(rw.readLock(), 0);
  // A second reader gets in while this one holds the lock (else: hangs).
  ASSERT_TRUE(RunsOnAnotherThread(
      +[](void* l) {
        auto* lock = static_cast<Port_ThrReaderWriterLock*>(l);
        if (lock->readLock() == 0) lock->unlock();
      },
      &rw));
  ASSERT_EQ(rw.unlock(), 0);
  ExcludesUnderContention(rw, 1000);
}

TEST(Locks, RecursiveLockReenters) {
  Port_ThrRecursiveLock lock;
  {
    Port_ThrGuard outer(lock);
    Port_ThrGuard inner(lock);
  }
  EXPECT_TRUE(RunsOnAnotherThread(
      +[](void* l) { Port_ThrGuard g(*static_cast<Port_ThrRecursiveLock*>(l)); }, &lock));
}

TEST(Locks, RecursiveLockRefusesAnUnlockByAThreadThatDoesNotHoldIt) {
  Port_ThrRecursiveLock lock;
  EXPECT_EQ(lock.unlock(), Code::LockFailed);  // nobody holds it
  ASSERT_EQ(lock.lock(), 0);
  static std::atomic<int> answer;
  answer = 0;
  std::thread other([&] { answer = lock.unlock(); });
  other.join();
  EXPECT_EQ(answer, Code::LockFailed);
  // Still held once by this thread: another thread cannot take it until
  // this thread gives it back.
  EXPECT_EQ(lock.unlock(), 0);
  EXPECT_TRUE(RunsOnAnotherThread(
      +[](void* l) { Port_ThrGuard g(*static_cast<Port_ThrRecursiveLock*>(l)); }, &lock));
}

TEST(Locks, MutexKindsExcludeUnderContention) {
  Port_ThrMutex mutex;
  ExcludesUnderContention(mutex, 20000);
  Port_ThrRecursiveLock recursive;
  ExcludesUnderContention<2>(recursive, 20000);
}

TEST(Fault, GuardThrowsLockFailedAndHoldsNothing) {
  Port_ThrFaultScope scope;
  Port_ThrMutex m;
  for (int code : {int(Code::LockFailed), int(Code::Busy)}) {
    Port_ThrFault::Fail(Op::Lock, code, 1, &m);
    EXPECT_EQ(ThrownCode([&] { Port_ThrGuard g(m); }), Code::LockFailed);
  }
  EXPECT_TRUE(RunsOnAnotherThread(
      +[](void* l) { Port_ThrGuard g(*static_cast<Port_ThrMutex*>(l)); }, &m));
}

TEST(Fault, LockFailureLimitedToItsObjectAndCount) {
  Port_ThrFaultScope scope;
  Port_ThrMutex a, b;
  Port_ThrReaderWriterLock rw;
  Port_ThrFault::Fail(Op::Lock, Code::LockFailed, 1, &a);
  ASSERT_EQ(b.lock(), 0);
  b.unlock();
  EXPECT_EQ(a.lock(), Code::LockFailed);
  ASSERT_EQ(a.lock(), 0);
  a.unlock();

  Port_ThrFault::Fail(Op::Lock, Code::Busy, 2);  // any lock, twice
  EXPECT_EQ(rw.readLock(), Code::Busy);
  EXPECT_EQ(b.lock(), Code::Busy);
  ASSERT_EQ(rw.writeLock(), 0);
  rw.unlock();

  Port_ThrFault::Fail(Op::Lock, Code::LockFailed, 5);
  Port_ThrFault::Disarm();
  ASSERT_EQ(a.lock(), 0);
  a.unlock();
}

TEST(Fault, CreateFailsWithoutRunningAnything) {
  Port_ThrFaultScope scope;
  static std::atomic<int> runs;
  runs = 0;
  auto entry = +[](void*) -> void* {
    ++runs;
    return nullptr;
  };
  Port_ThrFault::Fail(Op::Create, Code::CreateFailed);
  EXPECT_EQ(ThrownCode([&] { Port_ThrThread t(entry, nullptr); }), Code::CreateFailed);
  EXPECT_EQ(runs, 0);
  Port_ThrThread t(entry, nullptr);  // the fault was consumed
  t.join();
  EXPECT_EQ(runs, 1);
}

TEST(Fault, JoinFailsWithTheArmedCode) {
  Port_ThrFaultScope scope;
  for (Code code : {Code::NoSuchThread, Code::NotJoinable, Code::Deadlock}) {
    Port_ThrThread t(&ReturnArg, AsPtr(9));
    Port_ThrFault::Fail(Op::Join, code);
    EXPECT_EQ(ThrownCode([&] { t.join(); }), code);
    EXPECT_EQ(t.join(), AsPtr(9));  // an injected failure is not a join
  }
}

TEST(Fault, IdTextFailsOnce) {
  Port_ThrFaultScope scope;
  char buf[32] = "junk";
  Port_ThrFault::Fail(Op::IdText, Code::BufferTooSmall);
  EXPECT_EQ(Port_ThrThreadID::getID().getText(buf, sizeof buf), Code::BufferTooSmall);
  EXPECT_STREQ(buf, "");
  EXPECT_EQ(Port_ThrThreadID::getID().getText(buf, sizeof buf), 0);
}
