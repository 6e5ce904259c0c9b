// Pds_PahBeside: a piece of a load's work done beside the loading thread,
// on a thread of its own (internal to the design loader).
//
// The work starts when the object is made, on its own thread, or on the
// loading thread at Join when no thread can be started (or two threads
// are not wanted). Join waits for it while answering the loader's stop
// test, and rethrows what it threw. A loader's stop test is the loading
// thread's alone: the work asks OnItsThread() and its own thread's
// cancel flag (Port_ThrThread::cancelRequested), which the destructor
// raises when the loading thread leaves without joining (an error, a
// cancel), before waiting for it.
#pragma once

#include <atomic>
#include <chrono>
#include <exception>
#include <functional>
#include <memory>
#include <new>
#include <thread>

#include "Port_Thr.h"

// Waits until `ready()` answers true, asking `poll()`, the loading
// thread's stop test (which may throw), every 100 microseconds: what the
// other thread does takes milliseconds to seconds, and a cancel must be
// answered within about one 64 KiB read.
template <class Ready, class Poll>
void Pds_PahAwait(Ready ready, Poll poll) {
  while (!ready()) {
    poll();
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
}

class Pds_PahBeside {
 public:
  Pds_PahBeside(bool ownThread, std::function<void()> work) : m_work(std::move(work)) {
    if (!ownThread) return;
    try {
      m_thread = std::make_unique<Port_ThrThread>(&Entry, this);
    } catch (Port_ThrException::Exception) {
    } catch (const std::bad_alloc&) {
    }
  }
  ~Pds_PahBeside() {
    if (m_thread) m_thread->cancel();  // and its destructor waits for it
  }
  Pds_PahBeside(const Pds_PahBeside&) = delete;
  Pds_PahBeside& operator=(const Pds_PahBeside&) = delete;

  // `poll()` is the loading thread's stop test, which may throw.
  template <class Poll>
  void Join(Poll poll) {
    if (!m_thread) {
      m_work();
      return;
    }
    Pds_PahAwait([this] { return m_done.load(std::memory_order_acquire); }, poll);
    m_thread->join();
    m_thread.reset();
    if (m_error) std::rethrow_exception(m_error);
  }

  static bool OnItsThread() { return t_on; }

 private:
  static void* Entry(void* self) {
    Pds_PahBeside& beside = *static_cast<Pds_PahBeside*>(self);
    t_on = true;
    try {
      beside.m_work();
    } catch (...) {
      beside.m_error = std::current_exception();
    }
    beside.m_done.store(true, std::memory_order_release);
    return nullptr;
  }

  static inline thread_local bool t_on = false;
  std::function<void()> m_work;
  std::exception_ptr m_error;
  std::atomic<bool> m_done{false};
  std::unique_ptr<Port_ThrThread> m_thread;  // last: it runs on the members above
};
