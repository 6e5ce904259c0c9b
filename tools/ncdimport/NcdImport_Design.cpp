#include "NcdImport_Design.h"

namespace NcdImport {

const std::string& Block::SignalFor(const std::string& net) {
  auto it = m_signalIndex.find(net);
  if (it != m_signalIndex.end()) return signals[it->second].name;
  return AddSignal(net, net).name;
}

Signal& Block::AddSignal(std::string name, std::string net) {
  m_signalIndex.emplace(name, signals.size());
  return signals.emplace_back(Signal{std::move(name), std::move(net)});
}

// Each name remembers the next number to try, so that many children asked
// for under one name cost no more than as many different names.
Block& Block::AddChild(const std::string& name, int level, bool* clashed) {
  std::string unique = name;
  if (m_childIndex.count(unique)) {
    int& next = m_nextSuffix.try_emplace(name, 2).first->second;
    do
      unique = name + "$" + std::to_string(next++);
    while (m_childIndex.count(unique));
  }
  if (clashed) *clashed = unique != name;
  auto& child = blocks.emplace_back(std::make_unique<Block>());
  child->name = unique;
  child->level = level;
  child->parent = this;
  m_childIndex.emplace(unique, child.get());
  return *child;
}

Block* Block::FindChild(const std::string& name) const {
  auto it = m_childIndex.find(name);
  return it == m_childIndex.end() ? nullptr : it->second;
}

std::string Block::Path() const {
  if (!parent) return {};
  const std::string above = parent->Path();
  return above.empty() ? name : above + "/" + name;
}

}  // namespace NcdImport
