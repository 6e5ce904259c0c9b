#include "Port_ThrLockWord.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// The word's int, as the kernel sees it (std::atomic<int> holds just the int).
int* KernelWord(std::atomic<int>& word) {
  static_assert(sizeof(std::atomic<int>) == sizeof(int) && std::atomic<int>::is_always_lock_free);
  return reinterpret_cast<int*>(&word);
}

// Sleeps while the word still holds `expected` (returns at once otherwise,
// and may return early: callers look again).
void Sleep(std::atomic<int>& word, int expected) {
  syscall(SYS_futex, KernelWord(word), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

// Short critical sections usually end within a few hundred cycles: look a
// while before going to sleep.
constexpr int kSpins = 100;

}  // namespace

void Port_ThrLockWord::AcquireContended(int seen) {
  for (int i = 0; i < kSpins && seen != kFree; ++i) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#endif
    seen = m_state.load(std::memory_order_relaxed);
    if (seen == kFree && m_state.compare_exchange_strong(seen, kHeld, std::memory_order_acquire,
                                                         std::memory_order_relaxed))
      return;
  }
  // From here the word says 2 while this thread holds or waits for it, so
  // that the holder's give-back wakes a sleeper.
  while (m_state.exchange(kWaited, std::memory_order_acquire) != kFree)
    Sleep(m_state, kWaited);
}

void Port_ThrLockWord::WakeOne() {
  syscall(SYS_futex, KernelWord(m_state), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
}
