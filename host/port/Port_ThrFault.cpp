#include <atomic>
#include <mutex>
#include <vector>

#include "Port_Thr.h"

// The armed faults live behind a plain std::mutex, not a Port_ThrMutex: the
// lock classes consult this table, so it must sit below them. Every lock
// operation of the process asks Armed() first (one relaxed load of the
// pending count, inline) and comes here only while a fault is armed.

namespace {

struct ArmedFault {
  Port_ThrFault::Op op;
  int code;
  int remaining;
  const void* object;  // for Op::Lock: the one lock that fails; null for any
};

struct FaultTable {
  std::mutex mutex;
  std::vector<ArmedFault> armed;  // oldest first; the first match fails
};

FaultTable& Table() {
  static FaultTable table;
  return table;
}

bool Matches(const ArmedFault& a, Port_ThrFault::Op op, const void* object) {
  if (a.op != op) return false;
  return op != Port_ThrFault::Op::Lock || a.object == nullptr || a.object == object;
}

}  // namespace

std::atomic<int> Port_ThrFault::s_pending{0};

void Port_ThrFault::Fail(Op op, int code, int times, const void* lockObject) {
  if (times <= 0 || code == 0) return;
  FaultTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.armed.push_back(ArmedFault{op, code, times, op == Op::Lock ? lockObject : nullptr});
  s_pending.fetch_add(times, std::memory_order_relaxed);
}

void Port_ThrFault::Disarm() {
  FaultTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  t.armed.clear();
  s_pending.store(0, std::memory_order_relaxed);
}

int Port_ThrFault::Take(Op op, const void* object) {
  if (!Armed()) return 0;
  FaultTable& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  for (auto it = t.armed.begin(); it != t.armed.end(); ++it) {
    if (!Matches(*it, op, object)) continue;
    const int code = it->code;
    if (--it->remaining == 0) t.armed.erase(it);
    s_pending.fetch_sub(1, std::memory_order_relaxed);
    return code;
  }
  return 0;
}
