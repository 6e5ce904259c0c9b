#include "NcdImport_Check.h"

#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

#include "NcdImport_Input.h"

namespace NcdImport {

namespace {

class Checker {
 public:
  explicit Checker(const std::string& path) : m_path(path) {}
  void Run(const Design& d);

 private:
  [[noreturn]] void Fail(const std::string& cause) const {
    throw Error(m_path + ": cannot import: " + cause);
  }
  // Each element's name (got by `name`) non-empty and unique in `list`.
  template <class List, class Name>
  void Names(const List& list, Name name, const char* kind, const std::string& in) const;
  void BlockRules(const Block& b, const std::string& in) const;

  const std::string& m_path;
};

template <class List, class Name>
void Checker::Names(const List& list, Name name, const char* kind, const std::string& in) const {
  std::unordered_set<std::string_view> seen;
  seen.reserve(list.size());
  for (const auto& element : list) {
    const std::string_view text = name(element);
    if (text.empty()) Fail(std::string("an empty ") + kind + " name" + in);
    if (!seen.insert(text).second)
      Fail(std::string("duplicate ") + kind + " name " + Quote(text) + in);
  }
}

void Checker::BlockRules(const Block& b, const std::string& in) const {
  Names(
      b.blocks, [](const auto& c) -> std::string_view { return c->name; }, "block", in);
  Names(
      b.pins, [](const Pin& p) -> std::string_view { return p.name; }, "pin", in);
  Names(
      b.signals, [](const Signal& s) -> std::string_view { return s.name; }, "signal", in);
  auto key = [](const auto& kv) -> std::string_view { return kv.first; };
  Names(b.gcd, key, "general configuration data", in);
  Names(b.modes, key, "mode", in);
}

// Blocks depth first without recursion, each with its path (the design
// may have moved since it was built, and its top with it, so the blocks'
// parent links are not followed); the depth is checked before a block's
// children are looked at.
void Checker::Run(const Design& d) {
  auto name = [](const auto& x) -> std::string_view { return x.name; };
  Names(d.nets, name, "net", "");
  Names(d.cells, name, "cell", "");
  Names(d.cellTypes, name, "cell type", "");
  Names(d.regions, name, "clock region", "");
  Names(d.shapes, name, "shape", "");
  struct Pending {
    const Block* block;
    int depth;
    std::string path;
  };
  std::vector<Pending> pending{{&d.top, 0, ""}};
  while (!pending.empty()) {
    const Pending p = std::move(pending.back());
    pending.pop_back();
    if (p.depth > kMaxDepth) {
      Fail("blocks nested deeper than " + std::to_string(kMaxDepth) + " levels at block " +
           Quote(p.path));
    }
    const std::string in = p.depth ? " in block " + Quote(p.path) : " in the top block";
    if (p.block->name.empty()) Fail("an empty block name" + in);
    if (p.block->name.find('/') != std::string::npos)
      Fail("block name " + Quote(p.block->name) + " holds a '/'" + in);
    BlockRules(*p.block, in);
    for (const auto& child : p.block->blocks)
      pending.push_back({child.get(), p.depth + 1, p.depth ? p.path + "/" + child->name : child->name});
  }
}

}  // namespace

void CheckDesign(const Design& design, const std::string& netlistPath) {
  Checker(netlistPath).Run(design);
}

}  // namespace NcdImport
