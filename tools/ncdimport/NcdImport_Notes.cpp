#include "NcdImport_Notes.h"

namespace NcdImport {

void Notes::Add(const std::string& what, std::string_view where) {
  auto [it, added] = m_index.try_emplace(what, m_kinds.size());
  if (added) {
    m_kinds.push_back({what, 0, std::string(where)});
  }
  ++m_kinds[it->second].count;
}

const Notes::Kind* Notes::Find(const std::string& what) const {
  auto it = m_index.find(what);
  return it == m_index.end() ? nullptr : &m_kinds[it->second];
}

void Notes::Print(std::FILE* to, const char* prefix) const {
  for (const Kind& k : m_kinds) {
    std::fprintf(to, "%snot mapped: %s (%llu, first: %s)\n", prefix, k.what.c_str(),
                 static_cast<unsigned long long>(k.count), k.first.c_str());
  }
}

}  // namespace NcdImport
