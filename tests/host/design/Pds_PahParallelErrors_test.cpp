// A bad design file is refused with the same message whether it is read on
// one thread or on two. Generated designs are broken in many ways, at
// places spread over their blocks (the second thread reads from a little
// past the middle of an array of blocks to its end), once or twice per
// copy; every copy is read both ways and must be refused alike. The same
// designs unbroken load alike both ways.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <limits>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "ViewDescription.h"

namespace {

using design_test::Refusal;
using design_test::TempDir;

// Where the blocks, and the members of every object, lie in a design's
// text (one without escapes, as generated designs are).
class Layout {
 public:
  struct Block {
    int parent = -1;
    int depth = 0;
    int name = -1;  // its "name" member
    std::size_t begin = 0, end = 0;
    std::vector<int> children;
  };
  struct Member {
    std::string key;
    std::string in;         // what holds the object: "blocks", "pins", "top", "nets"...
    int block = -1;         // the innermost block around it
    bool own = false;       // a member of the block itself
    std::size_t keyAt = 0;  // its key's opening quote
    std::size_t valueAt = 0, valueEnd = 0;
  };

  explicit Layout(std::string text) : m_text(std::move(text)) { Read(); }

  const std::string& Text() const { return m_text; }
  const std::vector<Block>& Blocks() const { return m_blocks; }
  const std::vector<Member>& Members() const { return m_members; }
  // The offset of the top's "blocks" array.
  std::size_t BlocksAt() const { return m_blocksAt; }
  std::string Value(const Member& m) const {
    return m_text.substr(m.valueAt + 1, m.valueEnd - m.valueAt - 2);
  }
  std::string NameOf(int block) const { return Value(m_members[m_blocks[block].name]); }

 private:
  struct Open {
    bool array = false;
    std::string key;  // an object's current key; an array's own
    std::string in;
    int block = -1;
    bool isBlock = false;
    bool expectKey = false;
    int member = -1;   // an object's member whose value is being read
    int valueOf = -1;  // the member this container is the value of
  };

  void Read();
  void Push(bool array, std::size_t at);
  void Pop(std::size_t end);
  void EndValue(std::size_t end) {
    Open& o = m_stack.back();
    if (o.array || o.member < 0) return;
    m_members[o.member].valueEnd = end;
    o.member = -1;
  }

  const std::string m_text;
  std::vector<Block> m_blocks;
  std::vector<Member> m_members;
  std::vector<Open> m_stack;
  std::size_t m_blocksAt = 0;
};

void Layout::Read() {
  for (std::size_t i = 0; i < m_text.size(); ++i) {
    const char c = m_text[i];
    if (c == '{' || c == '[') {
      Push(c == '[', i);
    } else if (c == '}' || c == ']') {
      Pop(i + 1);
    } else if (c == '"') {
      const std::size_t close = m_text.find('"', i + 1);
      Open& o = m_stack.back();
      if (!o.array && o.expectKey) {
        o.expectKey = false;
        o.key = m_text.substr(i + 1, close - i - 1);
        o.member = static_cast<int>(m_members.size());
        m_members.push_back({o.key, o.in, o.block, o.isBlock, i});
        if (o.isBlock && o.key == "name") m_blocks[o.block].name = o.member;
      } else {
        EndValue(close + 1);
      }
      i = close;
    } else if (c == ':') {
      m_members[m_stack.back().member].valueAt = i + 1;
    } else if (c == ',') {
      m_stack.back().expectKey = !m_stack.back().array;
    } else if (c != ' ' && c != '\n') {  // a number or a literal
      std::size_t end = m_text.find_first_of(",}]", i);
      EndValue(end);
      i = end - 1;
    }
  }
}

void Layout::Push(bool array, std::size_t at) {
  Open next;
  next.array = array;
  next.expectKey = !array;
  if (!m_stack.empty()) {
    const Open& up = m_stack.back();
    next.block = up.block;
    next.in = up.key;
    next.key = array ? up.key : "";
    next.valueOf = up.array ? -1 : up.member;
    next.isBlock = !array && (up.array ? up.key == "blocks" : up.key == "top");
    if (array && up.isBlock && up.key == "blocks" && up.block == 0) m_blocksAt = at;
  }
  if (next.isBlock) {
    Block block;
    block.parent = next.block;
    block.depth = next.block < 0 ? 0 : m_blocks[next.block].depth + 1;
    block.begin = at;
    next.block = static_cast<int>(m_blocks.size());
    if (block.parent >= 0) m_blocks[block.parent].children.push_back(next.block);
    m_blocks.push_back(block);
  }
  m_stack.push_back(next);
}

void Layout::Pop(std::size_t end) {
  const Open done = m_stack.back();
  m_stack.pop_back();
  if (done.isBlock) m_blocks[done.block].end = end;
  if (done.valueOf >= 0) EndValue(end);
}

// One change of the text: `erase` bytes at `at` replaced by `insert`.
struct Edit {
  std::size_t at = 0;
  std::size_t erase = 0;
  std::string insert;
  bool operator==(const Edit&) const = default;
};
using Edits = std::vector<Edit>;

std::string Apply(std::string text, Edits edits) {
  std::sort(edits.begin(), edits.end(), [](const Edit& a, const Edit& b) { return a.at > b.at; });
  for (const Edit& e : edits)
    text.replace(e.at, e.erase, e.insert);
  return text;
}

using Member = Layout::Member;
using Block = Layout::Block;

// A fault of one kind, at its first occurrence from `from` on (none when
// there is none).
struct Kind {
  const char* name;
  std::function<Edits(const Layout&, std::size_t from)> make;
  bool anywhere = false;  // placed over the whole file, not only the blocks
};

// The first member from `from` on that `pick` takes, changed by `change`.
Edits AtMember(const Layout& l, std::size_t from, const std::function<bool(const Member&)>& pick,
               const std::function<Edit(const Member&)>& change) {
  for (const Member& m : l.Members()) {
    if (m.keyAt >= from && pick(m)) return {change(m)};
  }
  return {};
}

// The first block from `from` on for which `other` answers a block (not
// -1), renamed as that one.
Edits RenameBlock(const Layout& l, std::size_t from, const std::function<int(int)>& other) {
  for (std::size_t b = 1; b < l.Blocks().size(); ++b) {
    if (l.Blocks()[b].begin < from) continue;
    const int as = other(static_cast<int>(b));
    if (as < 0) continue;
    const Member& name = l.Members()[l.Blocks()[b].name];
    return {{name.valueAt + 1, name.valueEnd - name.valueAt - 2, l.NameOf(as)}};
  }
  return {};
}

// A member named as the one before it in the same block's list (pins or
// signals).
Edits Repeat(const Layout& l, std::size_t from, const char* list) {
  const auto& all = l.Members();
  const Member* before = nullptr;
  for (const Member& m : all) {
    if (m.in != list || m.key != "name") continue;
    if (m.keyAt >= from && before != nullptr && before->block == m.block) {
      return {{m.valueAt + 1, m.valueEnd - m.valueAt - 2, l.Value(*before)}};
    }
    before = &m;
  }
  return {};
}

// The string value made a name nothing in the design has.
Edit Misspell(const Member& m) {
  return {m.valueEnd - 1, 0, "_gone"};
}
// A member's value (its text as it stands) wrapped in `open` and `close`.
Edit Wrap(const Layout& l, const Member& m, const char* open, const char* close) {
  return {m.valueAt, m.valueEnd - m.valueAt,
          open + l.Text().substr(m.valueAt, m.valueEnd - m.valueAt) + close};
}
bool IsPin(const Member& m, const char* key) {
  return m.in == "pins" && m.key == key;
}
// A pin's "signal" in a block at `depth` (it names a signal of the
// block's parent).
bool PinSignal(const Layout& l, const Member& m, int depth) {
  return IsPin(m, "signal") && l.Blocks()[m.block].depth == depth;
}

// The sibling before block `b` when it is at `depth` (any when 0), else -1.
int PreviousSibling(const Layout& l, int b, int depth = 0) {
  const Block& block = l.Blocks()[b];
  if (depth != 0 && block.depth != depth) return -1;
  const auto& siblings = l.Blocks()[block.parent].children;
  const auto at = std::find(siblings.begin(), siblings.end(), b);
  return at == siblings.begin() ? -1 : *(at - 1);
}

const std::vector<Kind>& Kinds() {
  using L = const Layout&;
  using F = std::size_t;
  static const std::vector<Kind> kinds = {
      // References: looked up as they are read, or a few lookups later in
      // large blocks and the whole file's indexes, or where the threads join.
      {"unknown signal named by a bel's pin",
       [](L l, F from) {
         return AtMember(
             l, from,
             [&](const Member& m) {
               return IsPin(m, "signal") && l.Blocks()[m.block].children.empty() &&
                      l.Blocks()[m.block].depth >= 3;
             },
             Misspell);
       }},
      {"unknown signal of a module named by its child's pin",
       [](L l, F from) {
         return AtMember(
             l, from, [&](const Member& m) { return PinSignal(l, m, 2); }, Misspell);
       }},
      {"unknown signal of the top named by its child's pin",
       [](L l, F from) {
         return AtMember(
             l, from, [&](const Member& m) { return PinSignal(l, m, 1); }, Misspell);
       }},
      {"unknown child signal",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member& m) { return IsPin(m, "child_signal"); }, Misspell);
       }},
      {"unknown net",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member& m) { return m.in == "signals" && m.key == "net"; },
             Misspell);
       }},
      {"unknown cell",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member& m) { return m.key == "site"; }, Misspell);
       }},
      // Names: a block's among its siblings, which the threads check where
      // they join when the siblings are on both sides.
      {"block named as its previous sibling",
       [](L l, F from) {
         return RenameBlock(l, from, [&](int b) { return PreviousSibling(l, b); });
       }},
      {"child of the top named as its previous sibling",
       [](L l, F from) {
         return RenameBlock(l, from, [&](int b) { return PreviousSibling(l, b, 1); });
       }},
      {"child of a module named as its previous sibling",
       [](L l, F from) {
         return RenameBlock(l, from, [&](int b) { return PreviousSibling(l, b, 2); });
       }},
      {"child of the top or a module named as the first child",
       [](L l, F from) {
         return RenameBlock(l, from, [&](int b) {
           const int first = l.Blocks()[l.Blocks()[b].parent].children.front();
           return l.Blocks()[b].depth <= 2 && first != b ? first : -1;
         });
       }},
      {"duplicate pin name", [](L l, F from) { return Repeat(l, from, "pins"); }},
      {"duplicate signal name", [](L l, F from) { return Repeat(l, from, "signals"); }},
      // Syntax
      {"deleted quote",
       [](L l, F from) {
         return AtMember(
             l, from, [&](const Member& m) { return l.Text()[m.valueAt] == '"'; },
             [](const Member& m) {
               return Edit{m.valueEnd - 1, 1, ""};
             });
       },
       true},
      {"stray comma before a key",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member&) { return true; },
             [](const Member& m) {
               return Edit{m.keyAt, 0, ","};
             });
       },
       true},
      {"stray comma after a block",
       [](L l, F from) {
         for (const Block& b : l.Blocks()) {
           if (b.depth > 0 && b.begin >= from) return Edits{{b.end, 0, ","}};
         }
         return Edits{};
       }},
      {"file cut short",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member&) { return true; },
             [&](const Member& m) {
               return Edit{m.keyAt, l.Text().size() - m.keyAt, ""};
             });
       },
       true},
      // Keys and types
      {"unknown key in a block",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member& m) { return m.own && m.key == "level"; },
             [](const Member& m) {
               return Edit{m.keyAt + 1, 5, "lavel"};
             });
       }},
      {"pin without its name",
       [](L l, F from) {
         return AtMember(
             l, from,
             [&](const Member& m) { return IsPin(m, "name") && l.Text()[m.valueEnd] == ','; },
             [](const Member& m) {
               return Edit{m.keyAt, m.valueEnd + 1 - m.keyAt, ""};
             });
       }},
      {"level given as a string",
       [](L l, F from) {
         return AtMember(
             l, from, [](const Member& m) { return m.own && m.key == "level"; },
             [&](const Member& m) { return Wrap(l, m, "\"", "\""); });
       }},
  };
  return kinds;
}

const Kind& KindNamed(std::string_view name) {
  for (const Kind& kind : Kinds()) {
    if (name == kind.name) return kind;
  }
  throw std::invalid_argument("no fault kind " + std::string(name));
}

// Places of faults, as fractions of the blocks (or of the file): spread
// over all of it, closer together around the middle, where the second
// thread takes over.
constexpr double kPlaces[] = {0.05, 0.3, 0.47, 0.51, 0.52, 0.53, 0.57, 0.65, 0.85};

std::size_t Offset(const Layout& l, double place, bool anywhere) {
  const std::size_t begin = anywhere ? 0 : l.BlocksAt();
  return begin + static_cast<std::size_t>(place * static_cast<double>(l.Text().size() - begin));
}

Edits FaultAt(const Layout& l, std::string_view kind, double place) {
  const Kind& k = KindNamed(kind);
  return k.make(l, Offset(l, place, k.anywhere));
}

// In the first design the second thread takes over between two children
// of the top, modules u2 and u3 (u3 holds a third of the blocks); in the
// second between two comps of module u3. The tests hold wherever it takes
// over, but these two places are the ones they were made to exercise.
const NcdGen::Options kModules{2000, 2};
const NcdGen::Options kComps{2000, 8};

std::string Generate(const NcdGen::Options& options) {
  std::ostringstream out;
  NcdGen::WriteDesign(options, out);
  return out.str();
}

// The view's description, or why the load was refused.
std::string Described(const std::string& path) {
  try {
    const design_test::Loaded loaded = design_test::Load(path);
    return DescribeView(*loaded.cad());
  } catch (const Pds_Exception& e) {
    return std::string("refused: ") + e.what();
  }
}

// Where `two` departs from `one`: the line of each, cut to a few hundred
// characters (a view's description is long; a message is one line).
std::string Departure(const std::string& one, const std::string& two) {
  const auto [a, b] = std::mismatch(one.begin(), one.end(), two.begin(), two.end());
  auto line = [](const std::string& text, std::string::const_iterator at) {
    const std::size_t begin = text.rfind('\n', at - text.begin()) + 1;  // npos + 1 is 0
    return "\"" + text.substr(begin, std::min<std::size_t>(text.find('\n', begin) - begin, 400)) +
           "\"";
  };
  return "on one thread: " + line(one, a) + "\non two threads: " + line(two, b);
}

// Sanitizer builds run tens of times slower: they read one file in kEvery
// (of another kind and place each time round).
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSlowBuild = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSlowBuild = true;
#else
constexpr bool kSlowBuild = false;
#endif
#else
constexpr bool kSlowBuild = false;
#endif
constexpr int kEvery = kSlowBuild ? 8 : 1;

// Every file is read on one thread, then on two, as the threads share it
// by default and with the loading thread slowed down, so that the second
// takes runs back towards it: the reads on two threads must answer what
// the read on one did. The defaults are put back after.
class ParallelErrors : public ::testing::Test {
 protected:
  ~ParallelErrors() override {
    Pds_PahJsonLoader::SetSplitMinimum(Pds_PahJsonLoader::kSplitMinimum);
    Pds_PahJsonLoader::SetPartShape(Pds_PahJsonLoader::kPartShare,
                                    Pds_PahJsonLoader::kLeastTakeover);
  }
  // The faults' places are chosen for a part that starts about halfway.
  void SetUp() override { TakeRunsOver(false); }

  static void TakeRunsOver(bool runs) {
    Pds_PahJsonLoader::SetPartShape(0.5, runs ? 0 : Pds_PahJsonLoader::kLeastTakeover,
                                    std::chrono::microseconds(runs ? 300 : 0));
  }

  static std::string OnOneThread(const std::function<std::string()>& read) {
    Pds_PahJsonLoader::SetSplitMinimum(std::numeric_limits<std::uint64_t>::max());
    return read();
  }

  // Answers whether the read reached the second thread's part.
  static bool OnTwoThreads(const std::string& one, const std::function<std::string()>& read) {
    Pds_PahJsonLoader::SetSplitMinimum(0);
    const std::uint64_t before = Pds_PahJsonLoader::SplitCount();
    const std::string two = read();
    EXPECT_TRUE(two == one) << Departure(one, two) << "\n(read on two threads)";
    const bool split = Pds_PahJsonLoader::SplitCount() > before;
    TakeRunsOver(true);
    const std::string runs = read();
    TakeRunsOver(false);
    EXPECT_TRUE(runs == one) << Departure(one, runs) << "\n(read on two threads, runs taken over)";
    return split;
  }

  // The design's text with `edits` made, written to a file of its own and
  // read both ways.
  void Check(const std::string& what, const Layout& layout, const Edits& edits) {
    if (m_made++ % kEvery != 0) return;
    for (std::size_t i = 1; i < edits.size(); ++i) {
      ASSERT_TRUE(edits[i - 1].at + edits[i - 1].erase < edits[i].at ||
                  edits[i].at + edits[i].erase < edits[i - 1].at)
          << what << ": the faults overlap";
    }
    const std::string path =
        m_dir.Write("fault" + std::to_string(m_files++) + ".ncd.json", Apply(layout.Text(), edits));
    std::string where;
    for (const Edit& e : edits)
      where += " at line " + std::to_string(1 + std::count(layout.Text().begin(),
                                                           layout.Text().begin() + e.at, '\n'));
    SCOPED_TRACE(path + ": " + what + where);
    const auto read = [&] { return Refusal(path); };
    const std::string one = OnOneThread(read);
    EXPECT_NE(one, "(loaded)");
    // Whether the part is reached depends on how the threads are scheduled:
    // a busy machine gets a few tries.
    bool split = false;
    for (int tries = 0; tries < 3 && !split; ++tries)
      split = OnTwoThreads(one, read);
    m_split += split;
    std::filesystem::remove(path);
  }

  // One file per kind of fault and place.
  void CheckEachFault(const NcdGen::Options& design) {
    const Layout layout(Generate(design));
    for (const Kind& kind : Kinds()) {
      Edits last;
      for (double place : kPlaces) {
        const Edits edits = kind.make(layout, Offset(layout, place, kind.anywhere));
        if (edits.empty() || edits == last) continue;
        last = edits;
        Check(kind.name, layout, edits);
      }
    }
  }

  // The second thread's part was reached for a good share of the files
  // (never for those whose fault lies before the place where it takes
  // over).
  void ExpectSplitShare() {
    RecordProperty("files", m_files);
    RecordProperty("split", m_split);
    EXPECT_GE(m_split * 6, m_files) << m_split << " of " << m_files << " files read on two threads";
  }

  TempDir m_dir;
  int m_made = 0;   // faulty designs made
  int m_files = 0;  // and read
  int m_split = 0;  // files whose read on two threads reached the part
};

// Both designs load alike on one thread and on two. The part of the
// first, which holds most of a module, is large enough to be split again,
// and must not be: a part of the part would not find the file's nets.
TEST_F(ParallelErrors, DesignsWithoutFaultsLoadAlike) {
  for (const NcdGen::Options& design : {kModules, kComps}) {
    const std::string path = m_dir.Write("design.ncd.json", Generate(design));
    const auto read = [&] { return Described(path); };
    const std::string one = OnOneThread(read);
    EXPECT_FALSE(one.starts_with("refused: ")) << one;
    EXPECT_TRUE(OnTwoThreads(one, read));
  }
}

TEST_F(ParallelErrors, OneFaultAmongModules) {
  CheckEachFault(kModules);
  ExpectSplitShare();
}

TEST_F(ParallelErrors, OneFaultAmongComps) {
  CheckEachFault(kComps);
  ExpectSplitShare();
}

// Of two faults the first in the file is reported: one in each half, and
// two where the second thread reads, in both orders, so that a failure of
// the part is weighed against what is checked where the threads join (its
// children's names, its references to the owner's signals).
TEST_F(ParallelErrors, OfTwoFaultsTheFirstIsReported) {
  static constexpr std::string_view kKinds[] = {
      "unknown net",
      "unknown signal of a module named by its child's pin",
      "unknown signal of the top named by its child's pin",
      "child of the top or a module named as the first child",
      "duplicate pin name",
      "deleted quote",
  };
  struct Pair {
    std::string_view first;
    double at;
    std::string_view second;
    double secondAt;
  };
  std::vector<Pair> pairs;
  for (std::string_view first : kKinds) {
    for (std::string_view second : kKinds) {
      if (first != second) pairs.push_back({first, 0.58, second, 0.7});
    }
    pairs.push_back({first, 0.3, "child of the top or a module named as the first child", 0.75});
    pairs.push_back({"unknown net", 0.35, first, 0.8});
  }
  // In one block: its name taken, and a reference to its parent's signals.
  for (double at : {0.55, 0.6, 0.65}) {
    pairs.push_back({"child of the top or a module named as the first child", at,
                     "unknown signal of a module named by its child's pin", at});
  }
  for (const NcdGen::Options& design : {kModules, kComps}) {
    const Layout layout(Generate(design));
    for (const Pair& p : pairs) {
      Edits edits = FaultAt(layout, p.first, p.at);
      const Edits second = FaultAt(layout, p.second, p.secondAt);
      if (edits.empty() || second.empty()) continue;
      edits.insert(edits.end(), second.begin(), second.end());
      Check(std::string(p.first) + " and " + std::string(p.second), layout, edits);
    }
  }
  ExpectSplitShare();
}

}  // namespace
