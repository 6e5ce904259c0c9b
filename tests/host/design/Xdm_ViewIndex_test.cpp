// The name index against full walks of the view: generated designs of
// several sizes and seeds, a design whose full names repeat, every edit of
// the editing interface (with the index built before or after it), and
// threads that build it at once.
#include "Xdm_ViewIndex.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Xdm_Exception.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_ViewEditor.h"

namespace {

using namespace design_test;

template <class T>
using ByName = std::map<std::string, std::vector<T*>>;

// Every object by full name, in the order of a depth-first walk (networks in
// the view's order): what the index must answer.
struct Walk {
  ByName<Xdm_Block> blocks;
  ByName<Xdm_Pin> pins;
  ByName<Xdm_Signal> signals;
  ByName<Xdm_Network> networks;

  explicit Walk(const Xdm_View& view) {
    if (view.GetBlock()) Visit(view.GetBlock());
    for (Xdm_Network* net : view.GetNetworkItr())
      networks[net->GetFullName()].push_back(net);
  }
  void Visit(Xdm_Block* block) {
    blocks[block->GetFullName()].push_back(block);
    for (Xdm_Pin* pin : block->GetPinItr())
      pins[pin->GetFullName()].push_back(pin);
    for (Xdm_Signal* signal : block->GetSignals())
      signals[signal->GetFullName()].push_back(signal);
    for (Xdm_Block* child : block->GetBlocks())
      Visit(child);
  }
};

template <class T, class Find>
void ExpectSame(const ByName<T>& expected, Find find, const char* kind) {
  for (const auto& [name, objects] : expected) {
    std::vector<T*> found;
    find(name, found);
    EXPECT_EQ(found, objects) << kind << " " << name;
    // Names one character off name nothing, unless the walk knows them.
    for (const std::string& near : {name + "x", name.substr(0, name.size() - 1), name + "/"}) {
      found.clear();
      find(near, found);
      const auto known = expected.find(near);
      EXPECT_EQ(found, known == expected.end() ? std::vector<T*>() : known->second)
          << kind << " " << near;
    }
  }
}

// The index answers what the walk finds, for every object of the view.
void ExpectAgrees(const Xdm_View& view) {
  const Xdm_ViewIndex& index = view.GetNameIndex();
  const Walk walk(view);
  ExpectSame(
      walk.blocks, [&](const std::string& n, auto& out) { index.FindBlocks(n, out); }, "block");
  ExpectSame(
      walk.pins, [&](const std::string& n, auto& out) { index.FindPins(n, out); }, "pin");
  ExpectSame(
      walk.signals, [&](const std::string& n, auto& out) { index.FindSignals(n, out); }, "signal");
  ExpectSame(
      walk.networks, [&](const std::string& n, auto& out) { index.FindNetworks(n, out); },
      "network");
  for (Xdm_Network* net : view.GetNetworkItr())
    EXPECT_EQ(index.FindNetwork(net->GetName()), net) << net->GetName();
  for (std::uint32_t id = 0; id < view.GetMaxPropertyHolders(); ++id) {
    if (Xdm_PropertyHolder* shape = view.GetPropertyHolderByBridgeId(id)) {
      EXPECT_EQ(index.FindShape(shape->GetName()), shape) << shape->GetName();
    }
  }
}

TEST(ViewIndex, AgreesWithTheWalkOnGeneratedDesigns) {
  const TempDir dir;
  for (const NcdGen::Options options :
       {NcdGen::Options{300, 1}, NcdGen::Options{3000, 2}, NcdGen::Options{20000, 3}}) {
    SCOPED_TRACE(options.blocks);
    const std::string path = dir.Path("gen.ncd.json");
    {
      std::ofstream out(path, std::ios::binary);
      NcdGen::WriteDesign(options, out);
    }
    Loaded loaded = Load(path);
    ASSERT_NE(loaded.view, nullptr);
    ExpectAgrees(*loaded.view);
    const Xdm_ViewIndex::Usage usage = loaded.view->GetNameIndex().GetUsage();
    EXPECT_EQ(usage.entries, loaded.view->GetMaxBlocks() - 1 + loaded.view->GetMaxPins() +
                                 loaded.view->GetMaxSignals() + loaded.view->GetMaxNetworks() +
                                 loaded.view->GetMaxPropertyHolders());
  }
}

// Full names that repeat: the top and its child "t", the top's pin "u/p"
// and pin "p" of block "u", network "u/s" without signals and the network
// whose first signal is "u/s"; and names full of glob characters.
constexpr const char* kRepeats = R"({
  "format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1",
  "nets": [{"name": "nx"}, {"name": "n1"}, {"name": "u/s"}, {"name": "*"}],
  "shapes": [{"name": "r[1]", "members": ["u"]}],
  "top": {
    "name": "t", "level": 0,
    "signals": [{"name": "x", "net": "nx"}, {"name": "u/s", "net": "*"}],
    "pins": [{"name": "u/p", "dir": "input", "child_signal": "x"}],
    "blocks": [
      {"name": "t", "level": 1, "pins": [{"name": "q", "signal": "x"}]},
      {"name": "u", "level": 1, "signals": [{"name": "s", "net": "n1"}],
       "pins": [{"name": "p", "dir": "output", "signal": "x", "child_signal": "s"}],
       "blocks": [{"name": "a[1]*?\\", "level": 3,
                   "pins": [{"name": "[0]", "signal": "s"}, {"name": "*", "signal": "s"}]}]}
    ]
  }
})";

class ViewIndexEdits : public ::testing::TestWithParam<bool> {
 protected:
  ViewIndexEdits() : m_loaded(Load(m_dir.Write("repeats.ncd.json", kRepeats))) {}
  Xdm_View& view() { return *m_loaded.view; }
  const Xdm_ViewIndex& index() { return view().GetNameIndex(); }
  Xdm_Block* block(const char* path) { return BlockAt(&view(), path); }
  std::string Blocks(const char* fullName) {
    std::vector<Xdm_Block*> found;
    index().FindBlocks(fullName, found);
    return FullNames(found) + " (" + std::to_string(found.size()) + ")";
  }

  TempDir m_dir;
  Loaded m_loaded;
};

TEST_P(ViewIndexEdits, RepeatedFullNames) {
  ASSERT_NE(m_loaded.view, nullptr);
  ExpectAgrees(view());
  EXPECT_EQ(Blocks("t"), "t t (2)");
  std::vector<Xdm_Pin*> pins;
  index().FindPins("u/p", pins);
  EXPECT_EQ(pins, (std::vector<Xdm_Pin*>{view().GetBlock()->GetPinByName("u/p"),
                                         block("u")->GetPinByName("p")}));
  std::vector<Xdm_Network*> nets;
  index().FindNetworks("u/s", nets);
  EXPECT_EQ(Names(nets), "n1 u/s *");
  EXPECT_EQ(index().FindPath("u/a[1]*?\\"), block("u/a[1]*?\\"));
  EXPECT_EQ(index().FindPath(""), view().GetBlock());
  EXPECT_EQ(index().FindPath("u/"), nullptr);
  EXPECT_EQ(index().FindChild(nullptr, "t"), nullptr);
}

// Each edit, then the index against the walk; with the index built before
// the edits (GetParam) or only after them.
TEST_P(ViewIndexEdits, FollowsEveryEdit) {
  ASSERT_NE(m_loaded.view, nullptr);
  if (GetParam()) index().BuildAll();
  Xdm_ViewEditor edit(view());
  Xdm_Block* leaf = block("u/a[1]*?\\");
  Xdm_Pin* leafPin = leaf->GetPinByName("[0]");
  Xdm_Network* n1 = NetNamed(&view(), "n1");
  EXPECT_STREQ(leafPin->GetFullName(), "u/a[1]*?\\/[0]");
  EXPECT_STREQ(n1->GetFullName(), "u/s");

  edit.RenameBlock(block("u"), "v");
  ExpectAgrees(view());
  EXPECT_EQ(Blocks("u"), " (0)");
  EXPECT_EQ(Blocks("v"), "v (1)");
  EXPECT_STREQ(leafPin->GetFullName(), "v/a[1]*?\\/[0]");
  EXPECT_STREQ(n1->GetFullName(), "v/s");

  edit.RenameNetwork(NetNamed(&view(), "u/s"), "w");
  edit.RenameNetwork(n1, "n2");
  ExpectAgrees(view());
  EXPECT_EQ(index().FindNetwork("n1"), nullptr);
  EXPECT_EQ(index().FindNetwork("n2"), n1);

  Xdm_Block* fresh = edit.ReplaceBlock(block("t"));
  ExpectAgrees(view());
  EXPECT_EQ(index().FindPath("t"), fresh);

  Xdm_PropertyHolder* shape = edit.AddShape("r2", true, nullptr, {fresh});
  ExpectAgrees(view());
  EXPECT_EQ(index().FindShape("r2"), shape);
  edit.RemoveShape(shape);
  EXPECT_EQ(index().FindShape("r2"), nullptr);

  edit.RemovePin(leafPin);
  edit.RemoveSignal(block("v")->GetSignals()[0]);
  edit.RemoveNetwork(NetNamed(&view(), "nx"));
  ExpectAgrees(view());
  edit.RemoveBlock(block("v"));
  ExpectAgrees(view());
  EXPECT_EQ(index().FindPath("v"), nullptr);
  EXPECT_EQ(index().FindPath("v/a[1]*?\\"), nullptr);

  // A name back where it was is found again.
  edit.RenameBlock(fresh, "u");
  edit.RenameBlock(fresh, "t");
  ExpectAgrees(view());
  EXPECT_EQ(Blocks("t"), "t t (2)");
}

// A refused rename changes nothing, in the view or in the index.
TEST_P(ViewIndexEdits, RefusedRenamesChangeNothing) {
  ASSERT_NE(m_loaded.view, nullptr);
  if (GetParam()) index().BuildAll();
  Xdm_ViewEditor edit(view());
  const struct {
    const char* block;
    const char* name;
  } kBlocks[] = {{"u", "t"}, {"u", "a/b"}, {"u", ""}, {"u", nullptr}};
  for (const auto& row : kBlocks)
    EXPECT_THROW(edit.RenameBlock(block(row.block), row.name), Xdm_Exception::Base)
        << (row.name ? row.name : "null");
  for (const char* name : {"n1", "", static_cast<const char*>(nullptr)})
    EXPECT_THROW(edit.RenameNetwork(NetNamed(&view(), "nx"), name), Xdm_Exception::Base);
  EXPECT_THROW(edit.RenameBlock(nullptr, "z"), Xdm_Exception::Base);
  ExpectAgrees(view());
  EXPECT_EQ(Blocks("u"), "u (1)");
}

INSTANTIATE_TEST_SUITE_P(BuiltBeforeEdits, ViewIndexEdits, ::testing::Bool());

// Threads that look up at once on a fresh index: one builds each table,
// every thread gets the same answers.
TEST(ViewIndex, ThreadsBuildOnce) {
  const TempDir dir;
  Loaded loaded = Load(dir.Write("repeats.ncd.json", kRepeats));
  ASSERT_NE(loaded.view, nullptr);
  const Xdm_ViewIndex& index = loaded.view->GetNameIndex();
  std::vector<std::thread> threads;
  std::vector<std::string> answers(4);
  for (std::size_t t = 0; t < answers.size(); ++t) {
    threads.emplace_back([&, t] {
      std::vector<Xdm_Pin*> pins;
      std::vector<Xdm_Network*> nets;
      index.FindPins("u/p", pins);
      index.FindNetworks("u/s", nets);
      answers[t] = FullNames(pins) + " " + Names(nets);
    });
  }
  for (std::thread& thread : threads)
    thread.join();
  for (const std::string& answer : answers)
    EXPECT_EQ(answer, "u/p u/p n1 u/s *");
}

}  // namespace
