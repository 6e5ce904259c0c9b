// The importer's record of what it could not map: one entry per kind of
// value (a cell attribute's name, an unknown cell type, SDF cell delays...),
// with how often it was met and the first place it was met. Nothing the
// importer drops goes unrecorded. One thread uses a Notes object.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace NcdImport {

class Notes {
 public:
  struct Kind {
    std::string what;     // "cell attribute 'src'"
    std::uint64_t count;  // values of this kind met
    std::string first;    // where the first was met, e.g. the cell's name
  };

  void Add(const std::string& what, std::string_view where);
  // In the order the kinds were first met.
  const std::vector<Kind>& Kinds() const { return m_kinds; }
  const Kind* Find(const std::string& what) const;
  // One line per kind: "<prefix>not mapped: <what> (<count>x, first in <first>)".
  void Print(std::FILE* to, const char* prefix) const;

 private:
  std::vector<Kind> m_kinds;
  std::unordered_map<std::string, std::size_t> m_index;
};

}  // namespace NcdImport
