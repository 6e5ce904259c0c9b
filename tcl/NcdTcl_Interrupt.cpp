#include "NcdTcl_Interrupt.h"

#include <atomic>
#include <csignal>
#include <cstdint>

#include "NcdTcl_Error.h"

namespace NcdTcl {

namespace {

// The contexts of the running searches. A context stays alive while its
// search runs (the search service holds it until its owner goes).
std::atomic<UtilI::ISearchRequest*> s_running[kSlots];
std::atomic<bool> s_ignoreWhenIdle{false};
struct sigaction s_previous;

// Commands running in the process, and the stops asked so far: a command
// is stopped when the count moved since it began.
std::atomic<int> s_commands{0};
std::atomic<std::uint64_t> s_stops{0};
// Read for every object a long loop visits: initial-exec, so that no call
// into the dynamic linker is made when the package is loaded as a library.
[[gnu::tls_model("initial-exec")]] thread_local int t_depth = 0;
[[gnu::tls_model("initial-exec")]] thread_local std::uint64_t t_stopsAtStart = 0;

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

void OnInterrupt(int signal) {
  if (StopCommands() || s_ignoreWhenIdle.load()) return;
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

CommandScope::CommandScope() {
  if (t_depth++) return;
  t_stopsAtStart = s_stops.load();
  s_commands.fetch_add(1);
}

CommandScope::~CommandScope() {
  if (!--t_depth) s_commands.fetch_sub(1);
}

bool StopAsked() noexcept {
  return t_depth && s_stops.load(std::memory_order_relaxed) != t_stopsAtStart;
}

void ThrowStopped() {
  throw Error(ErrorClass::Stopped, "command stopped", {"stopped"});
}

void CheckStop() {
  if (StopAsked()) ThrowStopped();
}

int StopCommands() noexcept {
  const int commands = s_commands.load();
  if (commands) s_stops.fetch_add(1);
  const int searches = StopSearches();
  return commands > searches ? commands : searches;
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
