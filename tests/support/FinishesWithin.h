// FinishesWithin: runs a piece of a concurrency test on a thread of its own
// and waits for it a bounded time, so that a wait that nothing ends (a lost
// wake-up, a use announced and never withdrawn) fails the test at once with
// a message saying what did not happen, instead of hanging until the test
// runner's timeout.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace ncdtest {

// Generous: sanitizer builds on a busy machine run tens of times slower.
inline constexpr std::chrono::seconds kConcurrencyBound{120};

// Runs `body` and returns once it has ended. When it has not ended within
// `bound`, the test fails with "<what> did not happen within N s" and the
// program ends: a thread stuck in the test cannot be taken back.
template <class Body>
void FinishesWithin(const std::string& what, Body body,
                    std::chrono::seconds bound = kConcurrencyBound) {
  std::mutex mutex;
  std::condition_variable ended;
  bool done = false;
  std::thread worker([&] {
    body();
    std::lock_guard<std::mutex> lock(mutex);
    done = true;
    ended.notify_all();
  });
  std::unique_lock<std::mutex> lock(mutex);
  if (!ended.wait_for(lock, bound, [&] { return done; })) {
    ADD_FAILURE() << what << " did not happen within " << bound.count() << " s";
    std::fflush(stdout);
    std::_Exit(EXIT_FAILURE);
  }
  lock.unlock();
  worker.join();
}

}  // namespace ncdtest
