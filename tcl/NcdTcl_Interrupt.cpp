#include "NcdTcl_Interrupt.h"

#include <atomic>
#include <csignal>

namespace NcdTcl {

namespace {

// The contexts of the running searches. A context stays alive while its
// search runs (the search service holds it until its owner goes).
std::atomic<UtilI::ISearchRequest*> s_running[kSlots];
std::atomic<bool> s_ignoreWhenIdle{false};
struct sigaction s_previous;

void OnInterrupt(int signal) {
  if (StopSearches() || s_ignoreWhenIdle.load()) return;
  sigaction(SIGINT, &s_previous, nullptr);  // as before: usually the end of the process
  std::raise(signal);
}

}  // namespace

SearchScope::SearchScope(UtilI::ISearchRequest* context) : m_slot(-1) {
  for (int i = 0; i < kSlots && m_slot < 0; ++i) {
    UtilI::ISearchRequest* expected = nullptr;
    if (s_running[i].compare_exchange_strong(expected, context)) m_slot = i;
  }
}

SearchScope::~SearchScope() {
  if (m_slot >= 0) s_running[m_slot].store(nullptr);
}

int StopSearches() noexcept {
  int asked = 0;
  for (auto& slot : s_running) {
    if (UtilI::ISearchRequest* context = slot.load()) {
      context->RequestStop();
      ++asked;
    }
  }
  return asked;
}

void InstallInterruptHandler(bool ignoreWhenIdle) {
  s_ignoreWhenIdle.store(ignoreWhenIdle);
  static std::atomic<bool> installed{false};
  if (installed.exchange(true)) return;  // s_previous must stay what was there before us
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, &s_previous);
}

}  // namespace NcdTcl
