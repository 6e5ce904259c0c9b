// Names and paths answered from the design database's index against the
// component's own answers, object for object (same identity, same order):
// exact names of every block, net, pin, signal and RPM, every pin and
// signal, path patterns, block globs with -hierarchical and net globs (walks
// of the view) and plain names; on a generated design and on one with hidden
// blocks and nets, names repeated in several modules, full names that
// repeat and names full of glob characters.
#include <gtest/gtest.h>
#include <tcl.h>

#include <cstring>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "NcdGen.h"
#include "NcdTcl.h"
#include "NcdTcl_Index.h"
#include "NcdTcl_Object.h"
#include "NcdTcl_Pattern.h"
#include "TestDesigns.h"
#include "Xdh_ShapeMgr.h"

namespace {

// Hidden: m2 (netlist security) and m3/h (configuration security) hide
// what lies in them, and net "hid" reaches only hidden pins; net "m0/s*"
// has no signals, so its full name is its name. Full names repeat: the
// top and its child "t", the top's pin "x/y" and pin "y" of block "x".
constexpr const char* kTricky = R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1",
 "nets": [{"name": "n*"}, {"name": "n?"}, {"name": "n[0]"}, {"name": "n\\"}, {"name": "hid"},
          {"name": "m0/s*"}, {"name": "clk"}, {"name": "-quiet"}],
 "shapes": [{"name": "r*", "members": ["m0/c*"]}, {"name": "r[1]", "members": ["m1/dup"]}],
 "top": {"name": "t", "level": 0,
   "signals": [{"name": "clk", "net": "clk"}, {"name": "x/y", "net": "n?"}, {"name": "q", "net": "-quiet"}],
   "pins": [{"name": "clk", "dir": "input", "child_signal": "clk"},
            {"name": "x/y", "dir": "input", "child_signal": "x/y"},
            {"name": "-quiet", "dir": "output", "child_signal": "q"}],
   "blocks": [
     {"name": "t", "level": 1, "pins": [{"name": "A*", "signal": "clk"}]},
     {"name": "x", "level": 1, "pins": [{"name": "y", "signal": "x/y"}]},
     {"name": "-quiet", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
     {"name": "m0", "level": 1, "signals": [{"name": "s*", "net": "n*"}, {"name": "s?", "net": "n[0]"}],
      "pins": [{"name": "P*", "signal": "clk", "child_signal": "s*"}],
      "blocks": [
        {"name": "c*", "level": 3, "signals": [{"name": "i"}],
         "pins": [{"name": "A[1]", "signal": "s*"}, {"name": "O", "dir": "output", "signal": "s?"}],
         "blocks": [{"name": "b[0]", "level": 4, "pins": [{"name": "A*", "signal": "i"}]}]},
        {"name": "c?", "level": 3, "pins": [{"name": "A[1]", "signal": "s?"}]},
        {"name": "c[1]", "level": 3, "pins": [{"name": "A\\", "signal": "s*"}]},
        {"name": "c1", "level": 3},
        {"name": "dup", "level": 3, "pins": [{"name": "A", "signal": "s*"}]}]},
     {"name": "m1", "level": 1, "signals": [{"name": "s*", "net": "n\\"}],
      "blocks": [{"name": "dup", "level": 3, "pins": [{"name": "A", "signal": "s*"}]},
                 {"name": "c\\", "level": 3, "pins": [{"name": "A", "signal": "s*"}]}]},
     {"name": "m2", "level": 1, "netlist_security": 1, "signals": [{"name": "h", "net": "hid"}],
      "blocks": [{"name": "dup", "level": 3, "pins": [{"name": "A", "signal": "h"}],
                  "blocks": [{"name": "b", "level": 4, "pins": [{"name": "I"}]}]}]},
     {"name": "m3", "level": 1,
      "blocks": [{"name": "h", "level": 2, "config_security": 1,
                  "blocks": [{"name": "dup", "level": 3, "pins": [{"name": "A"}],
                             "blocks": [{"name": "b", "level": 4, "pins": [{"name": "I"}]}]}]}]}
   ]}})";

struct Object {
  std::string name;
  std::string id;
  bool operator==(const Object&) const = default;
};
using Objects = std::vector<Object>;

std::ostream& operator<<(std::ostream& out, const Object& o) {
  return out << o.name;
}

class IndexedNames : public ::testing::Test {
 protected:
  void SetUp() override {
    m_interp = Tcl_CreateInterp();
    ASSERT_EQ(Ncd_Init(m_interp), TCL_OK);
  }
  void TearDown() override { Tcl_DeleteInterp(m_interp); }

  // The objects a command answers (its words as they are: no quoting).
  Objects AskWords(const std::vector<Tcl_Obj*>& words) {
    for (Tcl_Obj* word : words)
      Tcl_IncrRefCount(word);
    const int code = Tcl_EvalObjv(m_interp, static_cast<int>(words.size()), words.data(), 0);
    for (Tcl_Obj* word : words)
      Tcl_DecrRefCount(word);
    EXPECT_EQ(code, TCL_OK) << Tcl_GetStringResult(m_interp);
    int count = 0;
    Tcl_Obj** items = nullptr;
    Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(m_interp), &count, &items);
    Objects objects;
    for (int i = 0; i < count; ++i) {
      UtilI::ITclCollectable* coll = NcdTcl::CollectableOf(items[i]);
      EXPECT_NE(coll, nullptr) << Tcl_GetString(items[i]);
      objects.push_back({Tcl_GetString(items[i]), coll ? coll->GetId().str() : ""});
    }
    return objects;
  }
  Objects Ask(const std::vector<std::string>& words) {
    std::vector<Tcl_Obj*> objs;
    for (const std::string& word : words)
      objs.push_back(Tcl_NewStringObj(word.c_str(), static_cast<int>(word.size())));
    return AskWords(objs);
  }
  std::string Eval(const std::string& script) {
    EXPECT_EQ(Tcl_EvalEx(m_interp, script.c_str(), -1, 0), TCL_OK) << Tcl_GetStringResult(m_interp);
    return Tcl_GetStringResult(m_interp);
  }

  // The exact pattern of a name: its wildcards and backslashes quoted.
  static std::string Quoted(const std::string& name) {
    std::string quoted;
    for (char c : name) {
      if (c == '*' || c == '?' || c == '\\') quoted += '\\';
      quoted += c;
    }
    return quoted;
  }

  // Every name of `all` asked exactly answers the objects of that name.
  void ExpectExact(const char* command, const Objects& all, std::size_t step = 1) {
    std::map<std::string, Objects> byName;
    for (const Object& o : all)
      byName[o.name].push_back(o);
    std::size_t i = 0;
    for (const auto& [name, objects] : byName) {
      if (i++ % step) continue;
      EXPECT_EQ(Ask({command, "--", Quoted(name)}), objects) << command << " " << name;
    }
  }

  // The members (pins or signals) of every block, as the component lists them.
  Objects MembersOf(const char* command, const Objects& blocks) {
    Objects members;
    for (const Object& block : blocks) {
      Objects some = AskWords({Tcl_NewStringObj(command, -1), Tcl_NewStringObj("-quiet", -1),
                               Tcl_NewStringObj("-of_objects", -1), BlockValue(block)});
      members.insert(members.end(), some.begin(), some.end());
    }
    return members;
  }
  // The block object of the reference list (kept in ::blocks).
  Tcl_Obj* BlockValue(const Object& block) {
    Tcl_Obj* blocks = Tcl_GetVar2Ex(m_interp, "blocks", nullptr, TCL_GLOBAL_ONLY);
    int count = 0;
    Tcl_Obj** items = nullptr;
    Tcl_ListObjGetElements(nullptr, blocks, &count, &items);
    for (int i = 0; i < count; ++i) {
      if (NcdTcl::CollectableOf(items[i])->GetId().str() == block.id) return items[i];
    }
    ADD_FAILURE() << "no block " << block.name;
    return Tcl_NewObj();
  }

  // A path glob as an anchored regular expression on the same paths.
  static std::string AsRegexp(const std::string& glob) {
    std::string re;
    for (std::size_t i = 0; i < glob.size(); ++i) {
      const char c = glob[i];
      if (c == '*') {
        re += "[^/]*";
      } else if (c == '?') {
        re += "[^/]";
      } else {
        const char literal = c == '\\' && i + 1 < glob.size() ? glob[++i] : c;
        if (!std::isalnum(static_cast<unsigned char>(literal)) && literal != '/') re += '\\';
        re += literal;
      }
    }
    return re;
  }

  // Each glob of `command` (with `flags`, and with -nocase or -limit 2
  // besides) answers what the component's search of the same paths answers.
  void ExpectGlobs(const char* command, const std::vector<std::string>& flags,
                   const std::vector<const char*>& globs) {
    const std::vector<std::vector<std::string>> kOptions = {{}, {"-nocase"}, {"-limit", "2"}};
    for (const char* glob : globs) {
      for (const auto& options : kOptions) {
        std::vector<std::string> walked = {command, "-quiet"};
        walked.insert(walked.end(), flags.begin(), flags.end());
        walked.insert(walked.end(), options.begin(), options.end());
        std::vector<std::string> searched = walked;
        walked.insert(walked.end(), {"--", glob});
        searched.insert(searched.end(), {"-regexp", "--", AsRegexp(glob)});
        EXPECT_EQ(Ask(walked), Ask(searched))
            << command << " " << flags.size() << " " << glob << " " << options.size();
      }
    }
  }
  void ExpectHierarchicalGlobs(const std::vector<const char*>& globs) {
    ExpectGlobs("ncd::get_blocks", {"-hierarchical"}, globs);
  }
  // A path glob answers what the component's search of the same paths
  // answers, and with -limit the first of them.
  void ExpectPath(const char* command, const char* glob) {
    const Objects all = Ask({command, "-quiet", "-regexp", "--", AsRegexp(glob)});
    EXPECT_EQ(Ask({command, "-quiet", "--", glob}), all) << command << " " << glob;
    EXPECT_EQ(Ask({command, "-quiet", "-limit", "2", "--", glob}),
              Objects(all.begin(), all.begin() + std::min<std::size_t>(all.size(), 2)))
        << command << " -limit 2 " << glob;
  }
  // Member globs with -hierarchical, walked, against the same
  // glob beside one that matches nothing, which takes the long way: every
  // member made an object and matched.
  void ExpectMemberNameGlobs(const std::vector<const char*>& globs) {
    const std::vector<std::vector<std::string>> kOptions = {{}, {"-nocase"}, {"-limit", "2"}};
    for (const char* command : {"ncd::get_pins", "ncd::get_signals"}) {
      for (const char* glob : globs) {
        for (const auto& options : kOptions) {
          std::vector<std::string> walked = {command, "-quiet", "-hierarchical"};
          walked.insert(walked.end(), options.begin(), options.end());
          std::vector<std::string> matched = walked;
          walked.insert(walked.end(), {"--", glob});
          matched.insert(matched.end(), {"--", glob, "no such name"});
          EXPECT_EQ(Ask(walked), Ask(matched)) << command << " " << glob << " " << options.size();
        }
      }
    }
  }
  // Net globs from the top and with -hierarchical.
  void ExpectNetGlobs(const std::vector<const char*>& globs) {
    ExpectGlobs("ncd::get_nets", {}, globs);
    ExpectGlobs("ncd::get_nets", {"-hierarchical"}, globs);
  }

  void ExpectAgreement(const std::string& file, std::size_t step) {
    Tcl_SetVar(m_interp, "file", file.c_str(), TCL_GLOBAL_ONLY);
    Eval("ncd::open_design $file; set blocks [ncd::get_blocks -hierarchical -regexp .*]");
    const Objects blocks = Ask({"ncd::get_blocks", "-hierarchical", "-regexp", ".*"});
    ASSERT_GT(blocks.size(), 10u);
    ExpectExact("ncd::get_blocks", blocks, step);
    const Objects nets = Ask({"ncd::get_nets", "-regexp", ".*"});
    ExpectExact("ncd::get_nets", nets, step);
    // No pattern, or several, take every net from one walk of the view.
    EXPECT_EQ(Ask({"ncd::get_nets"}), nets);
    EXPECT_EQ(Ask({"ncd::get_nets", "-quiet", "-hierarchical", "--", "no-such", "*"}), nets);
    EXPECT_EQ(Ask({"ncd::get_nets", "-quiet", "--", "*", "*/*", "*/*/*", "*/*/*/*"}),
              Ask({"ncd::get_nets", "-quiet", "-regexp", "--", "[^/]*(/[^/]*){0,3}"}));
    EXPECT_EQ(Ask({"ncd::get_nets", "-limit", "3"}), Objects(nets.begin(), nets.begin() + 3));
    EXPECT_EQ(Ask({"ncd::get_nets", "-limit", "3", "-hierarchical", "--", "*", "*"}),
              Objects(nets.begin(), nets.begin() + 3));
    ExpectExact("ncd::get_rpms", Ask({"ncd::get_rpms", "-regexp", ".*"}), step);
    for (const char* command : {"ncd::get_pins", "ncd::get_signals"}) {
      const Objects members = MembersOf(command, blocks);
      EXPECT_EQ(Ask({command}), members) << command;
      ExpectExact(command, members, step);
    }
  }

  Tcl_Interp* m_interp = nullptr;
  ncdtest::TempDir m_dir;
};

TEST_F(IndexedNames, AgreeWithTheComponentOnAGeneratedDesign) {
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{3000, 5}, text);
  ExpectAgreement(m_dir.Write("gen.ncd.json", text.str()), 7);
  // Paths below a module, level by level.
  const std::pair<const char*, const char*> kPaths[] = {
      {"ncd::get_blocks", "u1/*"},      {"ncd::get_blocks", "u1/*/A6LUT"},
      {"ncd::get_blocks", "u2/c*/*"},   {"ncd::get_blocks", "*/hm*"},
      {"ncd::get_blocks", "u1/c1?"},    {"ncd::get_pins", "u1/*/A6LUT/A?"},
      {"ncd::get_pins", "*"},           {"ncd::get_pins", "u2/*"},
      {"ncd::get_signals", "u1/c1*/*"}, {"ncd::get_signals", "*/*"},
  };
  for (const auto& [command, glob] : kPaths)
    ExpectPath(command, glob);
  ExpectHierarchicalGlobs({"*", "*c1*", "*LUT", "U1", "c*/*", "u?/*/?6LUT", "hm*/*/*"});
  ExpectNetGlobs({"*", "*1*", "U1/*", "*/*", "u?/c1*/*", "*/*/*"});
  ExpectMemberNameGlobs(
      {"*", "A1", "a?", "*CLK*", "O", "none", "c1*/A1", "*/*/A?", "U1/*/*", "*LUT/*"});
}

TEST_F(IndexedNames, AgreeWithTheComponentOnHiddenAndRepeatedNames) {
  ExpectAgreement(m_dir.Write("tricky.ncd.json", kTricky), 1);
  const struct {
    const char* command;
    std::vector<const char*> globs;
  } kPaths[] = {
      {"ncd::get_blocks",
       {"t", "*", "m0/*", "m0/*/*", "*/c?", "m0/c\\*", "m0/c\\*/*", "m2/*", "m3/*/*", "m3/h/dup",
        "x", "-quiet"}},
      {"ncd::get_pins", {"*", "*/*", "m0/*/*", "m0/c\\*/*/*", "x/*", "m2/dup/*", "m3/h/dup/A"}},
      {"ncd::get_signals", {"*", "m0/*", "*/*/*", "m2/*"}},
  };
  for (const auto& row : kPaths) {
    for (const char* glob : row.globs)
      ExpectPath(row.command, glob);
  }
  // Lists of exact names, in no order, hidden and repeated ones among them.
  const std::vector<std::vector<std::string>> kLists[] = {
      {{"ncd::get_blocks"}, {"m1/dup", "t", "m1/c\\\\", "m0/dup", "m2/dup", "m0/c\\*/b[0]"}},
      {{"ncd::get_pins"}, {"x/y", "m0/dup/A", "t/A\\*", "clk", "m2/dup/A", "m0/c\\*/O"}},
      {{"ncd::get_signals"}, {"m1/s\\*", "m0/s\\?", "clk", "x/y", "m2/h"}},
  };
  for (const auto& row : kLists) {
    Tcl_Obj* list = Tcl_NewListObj(0, nullptr);
    std::string re;
    for (const std::string& name : row[1]) {
      Tcl_ListObjAppendElement(nullptr, list, Tcl_NewStringObj(name.c_str(), -1));
      re += (re.empty() ? "" : "|") + AsRegexp(name);
    }
    EXPECT_EQ(AskWords({Tcl_NewStringObj(row[0][0].c_str(), -1), Tcl_NewStringObj("-quiet", -1),
                        Tcl_NewStringObj("--", -1), list}),
              Ask({row[0][0], "-regexp", "--", re}))
        << row[0][0] << " " << re;
  }
  ExpectHierarchicalGlobs(
      {"*", "t", "T", "dup", "c*", "c\\*", "c[1]", "c\\", "*/b*", "m?/*", "m*/*/*", "-quiet", "?"});
  ExpectNetGlobs({"*", "*/*", "m?/s*", "m0/s\\*", "s?", "X/*", "m2/*", "h", "Q", "-quiet", "?", "n\\"});
  ExpectMemberNameGlobs({"*", "A", "a*", "A\\*", "A[1]", "y", "s?", "I", "h"});
  // Hidden objects are not found by name; repeated full names find all.
  const std::pair<const char*, const char*> kCounts[] = {
      {"ncd::get_blocks m2/dup", "0"},  {"ncd::get_blocks m3/h/dup/b", "0"},
      {"ncd::get_pins m2/dup/A", "0"},  {"ncd::get_nets m2/h", "0"},
      {"ncd::get_nets {m0/s\\*}", "1"}, {"ncd::get_blocks t", "2"},
      {"ncd::get_pins x/y", "2"},       {"ncd::get_signals x/y", "1"},
  };
  for (const auto& [command, count] : kCounts)
    EXPECT_EQ(Eval(std::string("llength [") + command + "]"), count) << command;
  // Plain names (values that lost their objects) are looked up the same way.
  EXPECT_EQ(Eval("ncd::get_property level [string range {m0/c*} 0 end]"), "Comp");
  EXPECT_EQ(Eval(R"(ncd::get_property full_name [string range m1/c\\ 0 end])"), "m1/c\\");
  EXPECT_NE(Tcl_EvalEx(m_interp, "ncd::get_property level m2/dup", -1, 0), TCL_OK);
  EXPECT_EQ(Eval("lrange $::errorCode 0 1"), "NCD OBJECT");
  // The same without member names that hold a '/', which a walk of names answers.
  std::string plain = kTricky;
  for (std::size_t at; (at = plain.find("x/y")) != std::string::npos;)
    plain.replace(at, 3, "x_y");
  Tcl_SetVar(m_interp, "file", m_dir.Write("plain.ncd.json", plain).c_str(), TCL_GLOBAL_ONLY);
  Eval("ncd::open_design $file");
  EXPECT_EQ(Ask({"ncd::get_pins", "-hierarchical", "A"}).size(), 4u);
  ExpectMemberNameGlobs({"*", "A", "a*", "A\\*", "A[1]", "y", "s?", "I", "h", "x_?", "dup/A",
                         "m?/dup/A", "*/A", "c\\*/A[1]", "t/*", "t/clk", "*/*/*", "m0/*"});
}

// A list of many names costs a lookup per name, not a match of every name
// against every object: the answer is that of the names one by one, in the
// component's order whatever the list's, with a glob among them matched
// once per object.
TEST_F(IndexedNames, ManyNamesAreNotMatchedAgainstEachObject) {
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{3000, 5}, text);
  Tcl_SetVar(m_interp, "file", m_dir.Write("gen.ncd.json", text.str()).c_str(), TCL_GLOBAL_ONLY);
  Eval("ncd::open_design $file");
  for (const char* command :
       {"ncd::get_blocks", "ncd::get_nets", "ncd::get_pins", "ncd::get_signals", "ncd::get_rpms"}) {
    const Objects all = Ask({command});
    ASSERT_GT(all.size(), 20u) << command;
    std::set<std::string> asked;
    Tcl_Obj* names = Tcl_NewListObj(0, nullptr);
    for (std::size_t i = all.size(); i-- > 0;) {
      if (i % 3 || !asked.insert(all[i].name).second) continue;
      Tcl_ListObjAppendElement(nullptr, names, Tcl_NewStringObj(Quoted(all[i].name).c_str(), -1));
    }
    Tcl_ListObjAppendElement(nullptr, names, Tcl_NewStringObj("no-such*", -1));
    Tcl_IncrRefCount(names);
    Objects expected;
    for (const Object& o : all)
      if (asked.count(o.name)) expected.push_back(o);
    const std::uint64_t before = NcdTcl::LevelMatchCount();
    EXPECT_EQ(AskWords({Tcl_NewStringObj(command, -1), Tcl_NewStringObj("--", -1), names}),
              expected)
        << command;
    EXPECT_LE(NcdTcl::LevelMatchCount() - before, 2 * all.size()) << command;
    // As plain names (values that lost their objects), each is looked up
    // once: the lists that hold what was found are not copied per name.
    const std::uint64_t copied = NcdTcl::ResultList::ItemsCopied();
    Tcl_SetVar2Ex(m_interp, "names", nullptr, names, TCL_GLOBAL_ONLY);
    const std::string kind = std::string(command).substr(std::strlen("ncd::get_"));
    EXPECT_EQ(Eval("llength [ncd::get_property -object_type " + kind.substr(0, kind.size() - 1) +
                   " name [lrange $names 0 end-1]]"),
              std::to_string(asked.size()))
        << command;
    EXPECT_LE(NcdTcl::ResultList::ItemsCopied() - copied, 4 * all.size()) << command;
    Eval("unset names");
    // The names alone are looked up one by one, and answer in that order too;
    // a block's members are placed in its order once, not once per name.
    Tcl_ListObjReplace(nullptr, names, static_cast<int>(asked.size()), 1, 0, nullptr);
    const std::uint64_t visited = NcdTcl::MembersVisited();
    EXPECT_EQ(AskWords({Tcl_NewStringObj(command, -1), Tcl_NewStringObj("--", -1), names}),
              expected)
        << command;
    EXPECT_LE(NcdTcl::MembersVisited() - visited, 2 * all.size()) << command;
    Tcl_DecrRefCount(names);
  }
}

// An RPM is told live, and found by name, without a walk over every shape:
// a command over the RPMs lists the shapes a bounded number of times.
TEST_F(IndexedNames, RpmsAreNotCheckedAgainstEveryShape) {
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{3000, 5}, text);
  Tcl_SetVar(m_interp, "file", m_dir.Write("gen.ncd.json", text.str()).c_str(), TCL_GLOBAL_ONLY);
  Eval("ncd::open_design $file; set rpms [ncd::get_rpms]; set top [ncd::get_blocks -limit 1]");
  const std::uint64_t shapes = std::stoull(Eval("llength $rpms"));
  ASSERT_GT(shapes, 20u);
  for (const char* script :
       {"ncd::get_rpms", "ncd::get_rpms rpm*", "ncd::get_rpms -of_objects $top",
        "ncd::get_rpms [ncd::get_property name $rpms]", "ncd::get_property name $rpms",
        "foreach r $rpms { ncd::get_rpms [ncd::get_property name $r] }"}) {
    const std::uint64_t before = Xdh_ShapeMgr::ShapesListed();
    Eval(script);
    EXPECT_LE(Xdh_ShapeMgr::ShapesListed() - before, 2 * shapes) << script;
  }
}

// -limit without a pattern stops the walk of the pins or signals at the
// objects it answers.
TEST_F(IndexedNames, WalksStopAtTheLimit) {
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{3000, 5}, text);
  Tcl_SetVar(m_interp, "file", m_dir.Write("gen.ncd.json", text.str()).c_str(), TCL_GLOBAL_ONLY);
  Eval("ncd::open_design $file");
  const std::vector<std::vector<std::string>> kQueries = {
      {"ncd::get_pins"},
      {"ncd::get_signals"},
      {"ncd::get_pins", "*/*/*"},
      {"ncd::get_signals", "*/*"},
      {"ncd::get_blocks", "*/*"},
      {"ncd::get_pins", "u1/*/*/A?"},
      {"ncd::get_pins", "-hierarchical", "A1"},
  };
  const auto visited = [] { return NcdTcl::BlocksVisited() + NcdTcl::MembersVisited(); };
  for (const auto& query : kQueries) {
    std::uint64_t before = visited();
    const Objects all = Ask(query);
    const std::uint64_t whole = visited() - before;
    ASSERT_GT(all.size(), 100u) << query.back();
    std::vector<std::string> limited = query;
    limited.insert(limited.begin() + 1, {"-limit", "3"});
    before = visited();
    EXPECT_EQ(Ask(limited), Objects(all.begin(), all.begin() + 3)) << query.back();
    EXPECT_LE(visited() - before, whole / 10) << query.back() << " of " << whole;
  }
}

// A command whose answer is small makes values of a few objects only, not
// of every object of the design: the blocks on a site or in a clock region
// are found from the placement, the first pins without a walk of them all.
TEST_F(IndexedNames, SmallAnswersMakeFewObjects) {
  std::ostringstream text;
  NcdGen::WriteDesign(NcdGen::Options{3000, 5}, text);
  Tcl_SetVar(m_interp, "file", m_dir.Write("gen.ncd.json", text.str()).c_str(), TCL_GLOBAL_ONLY);
  Eval("ncd::open_design $file; set comp [ncd::get_blocks u2/c5]");
  Eval("set site [ncd::get_sites -of_objects $comp]");
  Eval("set region [ncd::get_clock_regions -of_objects $comp]");
  // The placed comps whose site lies in the region, the long way.
  Eval(R"(proc inRegion {region} {
            lmap b [ncd::get_blocks -hierarchical -filter is_placed] {
              if {[ncd::get_property {Clock Region} [ncd::get_property Site $b]] ne $region} continue
              set b
            }
          })");
  const struct {
    const char* script;
    const char* answer;  // the same objects, as the component lists them
  } kRows[] = {
      {"ncd::get_blocks -of_objects $site", "set comp"},
      {"ncd::get_blocks -of_objects [list $site [ncd::get_sites -of_objects u2/c6]]",
       "ncd::get_blocks [list u2/c5 u2/c6]"},
      {"ncd::get_blocks -of_objects $region", "inRegion $region"},
      {"ncd::get_pins -limit 40", "lrange [ncd::get_pins] 0 39"},
      {"ncd::get_blocks [list u2/c6 u2/c5]", "ncd::get_blocks -regexp {u2/c[56]}"},
      {"ncd::get_ports clk", "ncd::get_ports -regexp clk"},
      {"ncd::get_ports [list rst clk u2/c5/A1]", "ncd::get_ports -regexp {clk|rst}"},
      {"ncd::get_pins [list u2/c6/A1 u2/c5/A1]", "ncd::get_pins -regexp {u2/c[56]/A1}"},
      {"ncd::get_signals -limit 40", "lrange [ncd::get_signals] 0 39"},
      {"ncd::get_pins -hierarchical A1", "ncd::get_pins -hierarchical A1 {no such name}"},
      {"ncd::get_pins -hierarchical c1*/A1", "ncd::get_pins -hierarchical c1*/A1 {no such name}"},
  };
  for (const auto& row : kRows) {
    const std::string expected = Eval(std::string("lsort [") + row.answer + "]");
    ASSERT_NE(expected, "") << row.answer;
    const std::uint64_t before = NcdTcl::ObjectValuesMade();
    const std::string answer = Eval(std::string("llength [set answer [") + row.script + "]]");
    EXPECT_LE(NcdTcl::ObjectValuesMade() - before, 2 * std::stoull(answer) + 10) << row.script;
    EXPECT_EQ(Eval("lsort $answer"), expected) << row.script;
  }
  // Tab on a net's name reads the nets' names, making no net an object.
  const std::string names =
      Eval("lrange [lsort [lsearch -all -inline [ncd::get_nets -hierarchical *] u1/n1*]] 0 2");
  const std::uint64_t beforeTab = NcdTcl::ObjectValuesMade();
  EXPECT_EQ(Eval("ncd::complete -limit 3 {ncd::get_nets u1/n1}"), names);
  EXPECT_LE(NcdTcl::ObjectValuesMade() - beforeTab, 10u);
  // Where the blocks are placed is read once: later sites and regions ask
  // no block but those placed there.
  const std::uint64_t visited = NcdTcl::BlocksVisited();
  EXPECT_EQ(Eval("ncd::get_blocks -of_objects [ncd::get_sites -of_objects u1/c3]"), "u1/c3");
  EXPECT_EQ(Eval("llength [ncd::get_blocks -of_objects $region]"),
            Eval("llength [inRegion $region]"));
  EXPECT_EQ(NcdTcl::BlocksVisited(), visited);
  // A report cuts long lists: only their first items are made values.
  Eval("set top [ncd::get_blocks -limit 1]; set nets [ncd::get_property nets $top]");
  const std::uint64_t made = NcdTcl::ObjectValuesMade();
  const std::string report = Eval("ncd::report_property $top");
  EXPECT_LE(NcdTcl::ObjectValuesMade() - made, 100u);
  EXPECT_NE(report.find(Eval(
                R"tcl(format "%s... (%d in all)" [string range $nets 0 44] [llength $nets])tcl")),
            std::string::npos)
      << report;
}

}  // namespace
