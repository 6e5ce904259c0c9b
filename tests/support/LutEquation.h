// Evaluates a LUT equation as the importer writes them (docs/import.md):
// "O=0", "O=1", a parity "O=~I0@I1@I3" or a sum of products "O=I0*~I1+I3",
// over the inputs I0..I3 given as the bits of `inputs`. Tests compare it
// with the LUT's table, independently of how the importer made it.
#pragma once

#include <string>

namespace ncdtest {

inline bool EvaluateLut(const std::string& eq, unsigned inputs) {
  const std::string body = eq.substr(2);
  if (body == "0" || body == "1") return body == "1";
  bool any = false;
  std::size_t start = 0;
  while (start <= body.size()) {
    const std::size_t end = std::min(body.find('+', start), body.size());
    const std::string term = body.substr(start, end - start);
    bool value = true, parity = term.find('@') != std::string::npos;
    bool x = false;
    for (std::size_t i = 0; i < term.size();) {
      const bool negated = term[i] == '~';
      if (negated) ++i;
      const bool bit = ((inputs >> (term[i + 1] - '0')) & 1) != negated;
      i += 2;
      if (i < term.size()) ++i;  // the operator
      if (parity) {
        x = x != bit;
      } else {
        value = value && bit;
      }
    }
    any = any || (parity ? x : value);
    start = end + 1;
  }
  return any;
}

}  // namespace ncdtest
