// Atomic counters for reference counts shared between threads. Each returns
// the value that its own step produced, so that two concurrent decrements
// never both see the same result.
#pragma once

#include <atomic>

namespace Port {

inline int SafeIncr(int& value) { return std::atomic_ref<int>(value).fetch_add(1) + 1; }
inline int SafeDecr(int& value) { return std::atomic_ref<int>(value).fetch_sub(1) - 1; }
inline int SafeRead(int& value) { return std::atomic_ref<int>(value).load(); }

}  // namespace Port
