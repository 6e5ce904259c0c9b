// Port_ThrLockWord: the word behind the two mutex kinds of the thread
// library.
//
// One int: 0 free, 1 held, 2 held with a thread possibly asleep on it. An
// uncontended take is one compare-and-swap and a give-back one exchange,
// both inline (class locks are taken for every object a search visits);
// only a contended take spins briefly and then sleeps on the word in the
// kernel, and only a give-back that finds 2 wakes a sleeper.
//
// Under the thread sanitizer the word reports its takes and give-backs as a
// mutex's, so that races, lock order and double unlocks are judged as for
// any system mutex.
#pragma once

#include <atomic>

#if defined(__SANITIZE_THREAD__)
#include <sanitizer/tsan_interface.h>
#define PORT_THR_TSAN(call) call
#else
#define PORT_THR_TSAN(call) ((void)0)
#endif

class Port_ThrLockWord {
 public:
  Port_ThrLockWord() { PORT_THR_TSAN(__tsan_mutex_create(this, 0)); }
  ~Port_ThrLockWord() { PORT_THR_TSAN(__tsan_mutex_destroy(this, 0)); }
  Port_ThrLockWord(const Port_ThrLockWord&) = delete;
  Port_ThrLockWord& operator=(const Port_ThrLockWord&) = delete;

  void Acquire() {
    PORT_THR_TSAN(__tsan_mutex_pre_lock(this, 0));
    int seen = kFree;
    if (!m_state.compare_exchange_strong(seen, kHeld, std::memory_order_acquire,
                                         std::memory_order_relaxed))
      AcquireContended(seen);
    PORT_THR_TSAN(__tsan_mutex_post_lock(this, 0, 0));
  }
  void Release() {
    PORT_THR_TSAN(__tsan_mutex_pre_unlock(this, 0));
    if (m_state.exchange(kFree, std::memory_order_release) == kWaited) WakeOne();
    PORT_THR_TSAN(__tsan_mutex_post_unlock(this, 0));
  }

 private:
  enum : int { kFree = 0, kHeld = 1, kWaited = 2 };

  void AcquireContended(int seen);  // `seen`: the state the fast path found
  void WakeOne();

  std::atomic<int> m_state{kFree};
};

#undef PORT_THR_TSAN
