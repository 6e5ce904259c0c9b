#include "NcdImport_Lut.h"

#include <bit>
#include <charconv>
#include <vector>

namespace NcdImport {

namespace {

bool Output(std::uint16_t table, unsigned inputs) {
  return (table >> inputs) & 1u;
}

// Inputs whose value changes the output for some assignment of the others.
unsigned UsedInputs(std::uint16_t table) {
  unsigned used = 0;
  for (unsigned v = 0; v < 4; ++v) {
    for (unsigned m = 0; m < 16; ++m) {
      if (Output(table, m) != Output(table, m ^ (1u << v))) used |= 1u << v;
    }
  }
  return used;
}

// A product term: `care` inputs must equal `value`.
struct Cube {
  unsigned care, value;
  bool Covers(unsigned m) const { return (m & care) == value; }
};

bool IsImplicant(std::uint16_t table, const Cube& c) {
  for (unsigned m = 0; m < 16; ++m) {
    if (c.Covers(m) && !Output(table, m)) return false;
  }
  return true;
}

// The prime implicants over the used inputs: implicants that no cube with
// one literal fewer also is.
std::vector<Cube> Primes(std::uint16_t table, unsigned used) {
  std::vector<Cube> primes;
  for (unsigned care = 0; care < 16; ++care) {
    if ((care & ~used) != 0) continue;
    for (unsigned value = 0; value < 16; ++value) {
      if ((value & ~care) != 0) continue;
      const Cube c{care, value};
      if (!IsImplicant(table, c)) continue;
      bool prime = true;
      for (unsigned v = 0; v < 4 && prime; ++v) {
        if (care & (1u << v)) prime = !IsImplicant(table, {care & ~(1u << v), value & ~(1u << v)});
      }
      if (prime) primes.push_back(c);
    }
  }
  return primes;
}

std::string Literal(unsigned v, bool positive) {
  return std::string(positive ? "" : "~") + "I" + std::to_string(v);
}

std::string Term(const Cube& c) {
  std::string text;
  for (unsigned v = 0; v < 4; ++v) {
    if (!(c.care & (1u << v))) continue;
    if (!text.empty()) text += '*';
    text += Literal(v, c.value & (1u << v));
  }
  return text;
}

std::uint16_t Mask(const Cube& c) {
  std::uint16_t mask = 0;
  for (unsigned m = 0; m < 16; ++m) {
    if (c.Covers(m)) mask = static_cast<std::uint16_t>(mask | (1u << m));
  }
  return mask;
}

// Covers the table's ones, taking each time the prime that covers most of
// those left (the first of equals, so the result is stable).
std::vector<Cube> GreedyCover(std::uint16_t table, const std::vector<Cube>& primes) {
  std::vector<Cube> cover;
  for (std::uint16_t left = table; left != 0;) {
    const Cube* best = nullptr;
    int bestCount = 0;
    for (const Cube& c : primes) {
      const int count = std::popcount(static_cast<unsigned>(Mask(c) & left));
      if (count > bestCount) {
        best = &c;
        bestCount = count;
      }
    }
    left = static_cast<std::uint16_t>(left & ~Mask(*best));
    cover.push_back(*best);
  }
  return cover;
}

// The fewest primes that cover `left`, found by trying each prime that
// covers its lowest one; `cover` holds those chosen so far. Four inputs
// have few primes, so the search is small.
void ExactCover(std::uint16_t left, const std::vector<Cube>& primes, std::vector<Cube>& cover,
                std::vector<Cube>& best) {
  if (left == 0) {
    best = cover;
    return;
  }
  if (cover.size() + 1 >= best.size()) return;
  const unsigned lowest = static_cast<unsigned>(std::countr_zero(left));
  for (const Cube& c : primes) {
    if (!c.Covers(lowest)) continue;
    cover.push_back(c);
    ExactCover(static_cast<std::uint16_t>(left & ~Mask(c)), primes, cover, best);
    cover.pop_back();
  }
}

// A cover with the fewest products: the greedy one, which usually is, else
// the first of the fewest the exact search finds.
std::string SumOfProducts(std::uint16_t table, unsigned used) {
  const std::vector<Cube> primes = Primes(table, used);
  std::vector<Cube> best = GreedyCover(table, primes), cover;
  ExactCover(table, primes, cover, best);
  std::string text;
  for (const Cube& c : best) {
    if (!text.empty()) text += '+';
    text += Term(c);
  }
  return text;
}

// The parity of the used inputs, or its complement: "I0@I1", "~I0@I1".
bool Parity(std::uint16_t table, unsigned used, std::string& text) {
  if (std::popcount(used) < 2) return false;
  const bool inverted = Output(table, 0);
  for (unsigned m = 0; m < 16; ++m) {
    if (Output(table, m) != (((std::popcount(m & used) & 1) != 0) != inverted)) return false;
  }
  for (unsigned v = 0; v < 4; ++v) {
    if (!(used & (1u << v))) continue;
    if (!text.empty()) text += '@';
    text += Literal(v, !(inverted && text.empty()));
  }
  return true;
}

}  // namespace

bool ParseLutInit(const std::string& text, std::uint16_t& table, bool number) {
  if (text.empty()) return false;
  const bool binary = !number && text.find_first_not_of("01") == std::string::npos;
  unsigned long value = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value, binary ? 2 : 10);
  if (ec != std::errc() || end != text.data() + text.size() || value > 0xFFFF) return false;
  table = static_cast<std::uint16_t>(value);
  return true;
}

std::string LutEquation(std::uint16_t table) {
  const unsigned used = UsedInputs(table);
  if (used == 0) return Output(table, 0) ? "O=1" : "O=0";
  std::string text;
  if (!Parity(table, used, text)) text = SumOfProducts(table, used);
  return "O=" + text;
}

}  // namespace NcdImport
