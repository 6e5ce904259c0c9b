// Random numbers whose sequence is fixed by this file alone (splitmix64), so
// that a seed names the same design everywhere.
#pragma once

#include <cstdint>

namespace NcdGen {

inline uint64_t Mix64(uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

// A hash of several values, for attributes drawn per object (delays, route
// states, equations) so that they do not depend on the order of drawing.
inline uint64_t Hash(uint64_t a, uint64_t b, uint64_t c = 0) {
  return Mix64(Mix64(Mix64(a) ^ b) ^ c);
}

class Rng {
 public:
  explicit Rng(uint64_t seed) : m_state(seed) {}

  uint64_t Next() {
    m_state += 0x9E3779B97F4A7C15ull;
    uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }

  // A number in [0, n); n must be positive. Multiply-shift: a tiny bias
  // for huge n, but the same answer on every platform.
  uint32_t Below(uint32_t n) {
    return static_cast<uint32_t>((static_cast<unsigned __int128>(Next()) * n) >> 64);
  }
  uint32_t Between(uint32_t lo, uint32_t hi) { return lo + Below(hi - lo + 1); }
  bool Percent(uint32_t p) { return Below(100) < p; }

 private:
  uint64_t m_state;
};

}  // namespace NcdGen
