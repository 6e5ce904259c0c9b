// Reading a design file on two threads: the scan that picks where the
// second thread starts, and loads that must describe exactly as loads on
// one thread do, whatever the design, a cancel or a thread that cannot be
// had.
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahJsonReader.h"
#include "Pds_PahJsonSplit.h"
#include "Pds_PahLoadProgress.h"
#include "Port_Thr.h"
#include "ViewDescription.h"
#include "Xdm_ViewStore.h"

namespace {

using design_test::SplitMinimum;
using design_test::TakeOverRuns;
using design_test::TempDir;
constexpr std::uint64_t kOneThread = std::numeric_limits<std::uint64_t>::max();

// A parse, even of a design large enough for a snapshot: the view's
// description, or the refusal.
std::string Describe(const std::string& path, std::uint64_t minimum) {
  ::setenv("NCD_CACHE", "off", 1);
  const SplitMinimum split(minimum);
  try {
    const design_test::Loaded loaded = design_test::Load(path);
    return DescribeView(*loaded.cad());
  } catch (const std::exception& e) {
    return std::string("refused: ") + e.what();
  }
}

// ---- the scan

struct ScanCase {
  const char* name;
  std::string text;  // from the '[' of the top's blocks on
  double target;     // as a fraction of the text
  bool found;
  std::string at;  // the text the chosen element starts with
  std::uint32_t depth;
  std::vector<std::string> owners;
};

std::string Blocks(int count, const std::string& prefix, const std::string& inside = "") {
  std::string text = "[";
  for (int i = 0; i < count; ++i) {
    text += (i ? ",\n" : "") + std::string("{\"name\":\"") + prefix + std::to_string(i) +
            "\",\"level\":1,\"pins\":[{\"name\":\"P\",\"signal\":\"s\"}]" + inside + "}";
  }
  return text + "]";
}

std::vector<ScanCase> ScanCases() {
  const std::string tricky =
      "{\"name\":\"x\",\"config\":\"[{\\\"]},\",\"pins\":[{\"name\":\"]}[{\"}]}";
  const std::string big = "{\"name\":\"big\",\"level\":1,\"blocks\":" + Blocks(400, "c") + "}";
  return {
      {"FlatArraySplitsAtItsOwnLevel", Blocks(200, "b"), 0.5, true, "{\"name\":\"b", 1, {}},
      {"BracketsAndQuotesInStringsAreText",
       "[" + tricky + "," + tricky + "," + tricky + "]",
       0.4,
       true,
       "{\"name\":\"x",
       1,
       {}},
      {"OneLargeChildIsSplitInside",
       "[{\"name\":\"a\",\"level\":1}," + big + "]",
       0.5,
       true,
       "{\"name\":\"c",
       2,
       {"big"}},
      {"AnEscapedOwnerNameGivesUp",
       "[{\"name\":\"a\\u0062\",\"level\":1,\"blocks\":" + Blocks(400, "c") + "}]",
       0.5,
       false,
       "",
       0,
       {}},
      {"TheArrayEndsBeforeTheTarget",
       Blocks(3, "b") + std::string(4000, ' '),
       0.9,
       false,
       "",
       0,
       {}},
  };
}

class Scan : public ::testing::TestWithParam<ScanCase> {};

// Both builds of the scans, where the processor runs both.
std::vector<Pds_PahJsonScanBuild> ScanBuilds() {
  if (Pds_PahJsonScanHasAvx2()) return {Pds_PahJsonScanBuild::kAny, Pds_PahJsonScanBuild::kAvx2};
  return {Pds_PahJsonScanBuild::kAny};
}

TEST_P(Scan, PicksTheBoundary) {
  const ScanCase& c = GetParam();
  TempDir dir;
  const std::string head = "{\"top\":{\"name\":\"t\",\"blocks\":";
  const std::string path = dir.Write("scan.json", head + c.text + "}}");
  Pds_PahJsonSplitScan scan;
  scan.fileName = path;
  scan.array = head.size();
  scan.target = scan.array + static_cast<std::uint64_t>(c.target * c.text.size());
  scan.window = c.text.size() / 8;
  for (const Pds_PahJsonScanBuild build : ScanBuilds()) {
    SCOPED_TRACE(static_cast<int>(build));
    Pds_PahJsonSplitPoint point;
    ASSERT_EQ(Pds_PahJsonFindSplit(scan, point, build), c.found);
    if (!c.found) continue;
    const std::string file = head + c.text;
    EXPECT_GE(point.at, scan.target);
    EXPECT_EQ(file.substr(point.at, c.at.size()), c.at) << file.substr(point.at, 40);
    EXPECT_EQ(file[point.array], '[');
    EXPECT_EQ(point.depth, c.depth);
    EXPECT_EQ(point.owners, c.owners);
    // Where runs before the boundary may start: every element of its
    // array before it but the first.
    std::vector<std::uint64_t> starts;
    for (std::size_t at = file.find(c.at, point.array); at < point.at; at = file.find(c.at, at + 1))
      starts.push_back(at);
    ASSERT_FALSE(starts.empty());
    starts.erase(starts.begin());
    EXPECT_EQ(point.earlier, starts);
  }
}

// Where the loading thread tells how far it has read, the boundary is the
// first past halfway between there and the file's end, and never before
// the least target (a quarter of the blocks); the loading thread sees the
// target as it moves.
TEST(ParallelLoad, TheTargetMovesOnWithTheLoadingThread) {
  TempDir dir;
  const std::string head = "{\"top\":{\"name\":\"t\",\"blocks\":";
  const std::string file = head + Blocks(2000, "b") + "}}";
  const std::string path = dir.Write("moving.json", file);
  const std::uint64_t size = file.size(), array = head.size();
  for (const double read : {0.0, 0.3, 0.6, 0.9}) {
    SCOPED_TRACE(read);
    Pds_PahLoadProgress::Entry loading(path);
    loading.SetDone(static_cast<std::uint64_t>(read * static_cast<double>(size)));
    const std::uint64_t half = loading.Read().done + (size - loading.Read().done) / 2;
    Pds_PahJsonSplitScan scan;
    scan.fileName = path;
    Pds_PahJsonAimSplit(scan, array, size, &loading);
    EXPECT_EQ(scan.target, array + (size - array) / 4);
    const std::uint64_t target = std::max(scan.target, half);
    Pds_PahJsonSplitPoint point;
    ASSERT_TRUE(Pds_PahJsonFindSplit(scan, point));
    EXPECT_EQ(scan.movingTarget.load(), target);
    EXPECT_GE(point.at, target);
    // The first boundary past it: no element starts between the two.
    const std::string element = "{\"name\":\"b";
    EXPECT_EQ(file.rfind(element, point.at - 1), file.rfind(element, target - 1));
    EXPECT_EQ(file.compare(point.at, element.size(), element), 0);
  }
}

INSTANTIATE_TEST_SUITE_P(ParallelLoad, Scan, ::testing::ValuesIn(ScanCases()),
                         [](const auto& info) { return std::string(info.param.name); });

// The top's blocks, found from the file's start: "@" marks the '[' the
// finder must answer (none: it finds nothing). The nets, strings and keys
// that look like it must not mislead it; a long run of nets crosses the
// scan's buffers with a string open. On the way it counts the objects of
// the root's "nets", and no others.
TEST(ParallelLoad, FindsTheTopsBlocks) {
  const std::string longNets = "\"nets\":[" + std::string(3 << 19, ' ') + "{\"name\":\"a[{\\\"" +
                               std::string(1 << 20, 'x') + "\"}],";
  const struct {
    const char* name;
    std::string text;
    std::uint64_t nets = 0;
  } cases[] = {
      {"Plain", R"({"format":"ncd-json","nets":[{"name":"n"}],"top":{"name":"t","blocks":@[]}})",
       1},
      {"Spaced", "{ \"top\" :\n {\"name\": \"t\" ,\n \"blocks\" :\n @[ ] } }"},
      {"RootBlocksAndNestedTopPassedOver",
       R"({"blocks":[1],"nets":[{"top":{"blocks":[2]}}],"top":{"x":{"blocks":[3]},"blocks":@[]}})",
       1},
      {"LookalikesInStrings",
       R"({"design":{"name":"\"top\":{\"blocks\":["},"top":{"name":"blocks","blocks":@[]}})"},
      {"AcrossBuffers", "{" + longNets + "\"top\":{\"blocks\":@[]}}", 1},
      {"NetsOfTheRootOnly",
       R"({"nets":[{"name":"a"},{"name":"b","x":[{"y":{}}]},{}],"design":{"nets":[{}]},)"
       R"("top":{"nets":[{}],"blocks":@[]}})",
       3},
      {"TopWithoutBlocks", R"({"top":{"name":"t"},"blocks":[]})"},
      {"BlocksNotAnArray", R"({"top":{"blocks":{}}})"},
      {"RootNotAnObject", R"([{"top":{"blocks":[]}}])"},
      {"EscapedKey", R"({"to\u0070":{"blocks":[]}})"},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string text = c.text;
    const std::size_t mark = text.find('@');
    if (mark != std::string::npos) text.erase(mark, 1);
    const std::string path = dir.Write("find.json", text);
    for (const Pds_PahJsonScanBuild build : ScanBuilds()) {
      SCOPED_TRACE(static_cast<int>(build));
      std::uint64_t array = 0;
      Pds_PahJsonNetsSeen nets;
      EXPECT_EQ(Pds_PahJsonFindTopBlocks(path, nullptr, array, &nets, build),
                mark != std::string::npos);
      if (mark != std::string::npos) {
        EXPECT_EQ(array, mark);
      }
      EXPECT_EQ(nets.objects, c.nets);
      if (c.nets != 0) {  // the array whole, '[' to ']'
        const std::size_t open = text.find("\"nets\":[") + 7;
        ASSERT_LT(open + nets.bytes - 1, text.size());
        EXPECT_EQ(text[open + nets.bytes - 1], ']');
        EXPECT_EQ(text.compare(open + nets.bytes, 2, ",\""), 0);
      }
    }
  }
}

// ---- whole loads

struct Design {
  std::string label;
  std::string path;
  bool splits;  // read on two threads
};

std::string Gunzip(const std::string& path) {
  gzFile in = gzopen(path.c_str(), "rb");
  std::string text;
  char buffer[1 << 16];
  for (int got; in && (got = gzread(in, buffer, sizeof buffer)) > 0;)
    text.append(buffer, static_cast<std::size_t>(got));
  if (in) gzclose(in);
  return text;
}

// The sanitizer builds describe views many times more slowly.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr NcdGen::Options kGenerated[] = {{200, 4}, {700, 5}, {2000, 6}};
constexpr std::size_t kLargestImported = std::size_t{1} << 20;
#else
constexpr NcdGen::Options kGenerated[] = {{200, 4}, {700, 5}, {4000, 6}, {15000, 7}};
constexpr std::size_t kLargestImported = std::numeric_limits<std::size_t>::max();
#endif

// Generated designs of several sizes, the imported examples (unpacked: a
// compressed file is read on one thread), the demo and the test designs.
std::vector<Design> Designs(const TempDir& dir) {
  std::vector<Design> designs;
  for (const NcdGen::Options options : kGenerated) {
    std::ostringstream out;
    NcdGen::WriteDesign(options, out);
    const std::string name = "gen" + std::to_string(options.blocks) + ".json";
    designs.push_back({name, dir.Write(name, out.str()), true});
  }
  // The nets after the top: the part, which shares the nets, is given up
  // (its scan has started with the load, the file being large).
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{2000, 12}, out);
  std::string text = out.str();
  const std::size_t nets = text.find("\"nets\":["), top = text.find("\"top\":{");
  const std::size_t shapes = text.find("\"shapes\":[");
  if (nets < top && top < shapes && shapes != std::string::npos) {
    const std::string member = text.substr(nets, top - nets);  // with its ",\n"
    text.insert(shapes, member);
    text.erase(nets, member.size());
  }
  designs.push_back({"nets_after_top", dir.Write("nets_after_top.json", text), false});
  for (const auto& entry :
       std::filesystem::directory_iterator(std::string(NCD_EXAMPLES) + "/ice40")) {
    const std::string name = entry.path().filename().string();
    if (!name.ends_with(".ncd.json.gz")) continue;
    const std::string text = Gunzip(entry.path());
    if (text.size() > kLargestImported) continue;
    designs.push_back({name, dir.Write(name.substr(0, name.size() - 3), text), true});
  }
  designs.push_back({"demo", design_test::DemoPath(), true});
  for (const auto& [name, splits] : {std::pair{"blocks.ncd.json", true},
                                     {"tiny.ncd.json", false},
                                     {"tiny_reordered.ncd.json", false},
                                     {"format_cases.ncd.json", true},
                                     {"io_reject.ncd.json", false}}) {
    designs.push_back({name, design_test::DataPath(name), splits});
  }
  return designs;
}

// Every design describes alike on one thread and on two; most are read on
// two (a part needs a boundary past the middle of an array of blocks).
TEST(ParallelLoad, DescribesAsOneThread) {
  TempDir dir;
  const std::vector<Design> designs = Designs(dir);
  std::vector<std::string> ones;
  for (const Design& design : designs) {
    SCOPED_TRACE(design.label);
    ones.push_back(Describe(design.path, kOneThread));
    const std::uint64_t before = Pds_PahJsonLoader::SplitCount();
    const std::string two = Describe(design.path, 0);
    const bool wasSplit = Pds_PahJsonLoader::SplitCount() > before;
    EXPECT_EQ(ones.back(), two);
    EXPECT_EQ(wasSplit, design.splits);
    EXPECT_FALSE(ones.back().starts_with("refused: ")) << ones.back();
  }
  // The second thread, done long before the loading thread, goes on with
  // runs before its part; all are taken over in file order. Whether it is
  // done first depends on how the threads are scheduled: a busy machine
  // gets a few rounds.
  std::uint64_t runsTaken = 0;
  for (int round = 0; round < 5 && runsTaken == 0; ++round) {
    for (std::size_t i = 0; i < designs.size(); ++i) {
      SCOPED_TRACE(designs[i].label);
      const TakeOverRuns runs;
      const design_test::RunsTaken taken;
      EXPECT_EQ(ones[i], Describe(designs[i].path, 0)) << "with runs taken over";
      runsTaken += taken();
    }
  }
  EXPECT_GT(runsTaken, 0u);
}

// A pin's bridge id is its place in its block's run of the pin table:
// found from its address where the block's pins lie in a row, searched
// for where they do not (a run across two chunks of an arena, or across
// the two threads' arenas), which some of these designs' blocks are.
TEST(ParallelLoad, EveryPinKnowsItsId) {
  TempDir dir;
  ::setenv("NCD_CACHE", "off", 1);
  std::size_t outOfRow = 0;
  for (const Design& design : Designs(dir)) {
    for (const std::uint64_t minimum : {kOneThread, std::uint64_t{0}}) {
      SCOPED_TRACE(design.label + (minimum == 0 ? " on two threads" : " on one"));
      const SplitMinimum split(minimum);
      const design_test::Loaded loaded = design_test::Load(design.path);
      ASSERT_NE(loaded.view, nullptr);
      for (std::uint32_t id = 0; id < loaded.view->GetMaxPins(); ++id) {
        const Xdm_Pin* pin = loaded.view->GetPinByBridgeId(id);
        if (pin == nullptr) continue;  // a spare slot a test hook asked for
        ASSERT_EQ(Xdm_BridgeId::GetBridgeId(pin), id);
        const auto run = pin->GetParent()->GetPinItr();
        const std::uintptr_t offset =
            reinterpret_cast<std::uintptr_t>(pin) - reinterpret_cast<std::uintptr_t>(run.Current());
        outOfRow += offset % sizeof(Xdm_Pin) != 0 || offset / sizeof(Xdm_Pin) >= run.Count();
      }
    }
  }
  EXPECT_GT(outOfRow, 0u);
}

// The fuzzing seeds, good and bad, answer alike.
TEST(ParallelLoad, FuzzSeedsAnswerAsOnOneThread) {
  const std::string corpus = std::string(NCD_TEST_DATA) + "/../fuzz/corpus";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(Describe(entry.path(), kOneThread), Describe(entry.path(), 0));
    ++files;
  }
  EXPECT_GE(files, 9);
}

// Threads that cannot be started (the part's alone, or the layout's too)
// leave the loading thread to do it all: the same view.
TEST(ParallelLoad, WithoutASecondThreadOneReadsItAll) {
  TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{3000, 8}, out);
  const std::string path = dir.Write("gen.json", out.str());
  const std::string one = Describe(path, kOneThread);
  for (const int failures : {1, 2}) {
    SCOPED_TRACE(failures);
    const std::uint64_t before = Pds_PahJsonLoader::SplitCount();
    Port_ThrFault::Fail(Port_ThrFault::Op::Create, Port_ThrException::CreateFailed, failures);
    EXPECT_EQ(Describe(path, 0), one);
    Port_ThrFault::Disarm();
    EXPECT_EQ(Pds_PahJsonLoader::SplitCount(), before);
  }
}

// A load that fails on the loading thread while the second thread lays
// out the pins' lists (here: a relocation group naming no block) stops it
// and waits for it, with the refusal a load on one thread gives.
TEST(ParallelLoad, FailureBesideTheLayoutStopsIt) {
  TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{3000, 11}, out);
  std::string text = out.str();
  const std::string members = "\"members\":[\"";
  const std::size_t at = text.rfind(members);
  ASSERT_NE(at, std::string::npos);
  text.insert(at + members.size(), "no/such/block\",\"");
  const std::string path = dir.Write("gen.json", text);
  const std::string one = Describe(path, kOneThread);
  EXPECT_NE(one.find(": unknown block path 'no/such/block'"), std::string::npos) << one;
  EXPECT_EQ(Describe(path, 0), one);
}

// A cancel at any point of a load on two threads ends it as a cancel does
// on one, the part's thread stopped and joined (the sanitizer builds see
// to what it leaves).
std::atomic<int> g_pollsLeft{0};
bool StopAfterPolls() {
  return g_pollsLeft.fetch_sub(1) <= 0;
}

TEST(ParallelLoad, CancelAtAnyPointStopsBothThreads) {
  TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{3000, 9}, out);
  const std::string path = dir.Write("gen.json", out.str());
  // The polls of a load on one thread, which are as regular as its reads.
  int polls = 0;
  {
    const SplitMinimum split(kOneThread);
    g_pollsLeft = std::numeric_limits<int>::max();
    Pds_PahJsonLoader loader(path, &StopAfterPolls);
    ASSERT_NE(loader.Load(), nullptr);
    polls = std::numeric_limits<int>::max() - g_pollsLeft;
  }
  ASSERT_GT(polls, 10);
  // On two threads the loading thread reads less of the file, but also
  // asks while it waits for the part: a cancel in the first third of the
  // count comes before the load ends, a later one may not.
  const SplitMinimum split(0);
  // Then with the loading thread slowed down: most loads that go far
  // enough take runs (fewer in the sanitizers' builds, whose second thread
  // is slower against the same pause).
  for (const bool runs : {false, true}) {
    SCOPED_TRACE(runs ? "with runs taken over" : "in two parts");
    std::optional<TakeOverRuns> shape;
    if (runs) shape.emplace();
    for (int at = 0; at < polls; at += std::max(1, polls / 25)) {
      SCOPED_TRACE(at);
      g_pollsLeft = at;
      Pds_PahJsonLoader loader(path, &StopAfterPolls);
      try {
        loader.Load();
        EXPECT_GT(at, polls / 3) << "not cancelled";
      } catch (const Pds_Exception& e) {
        EXPECT_EQ(std::string(e.what()), path + ": reading cancelled");
      }
    }
  }
}

// A design file renamed over while it is read on two threads is read
// whole as it was opened (a part opened on the new file is given up); one
// written to is refused as changed. Never half of each. The change comes
// at the stop test's n-th poll, on whichever thread asks it.
std::atomic<int> g_changeAt{-1};
std::function<void()> g_change;
bool ChangeAtPoll() {
  if (g_changeAt.fetch_sub(1) == 0) g_change();
  return false;
}

TEST(ParallelLoad, AFileChangedWhileReadIsReadAsOpenedOrRefused) {
  TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{4000, 9}, out);
  const std::string original = out.str();
  // The same size, and every A6LUT an A6LUX: a type no block of the original has.
  std::string other = original;
  for (std::size_t at = 0; (at = other.find("\"type\":\"A6LUT\"", at)) != std::string::npos;)
    other[at += 12] = 'X';
  const std::string path = dir.Path("changing.json");
  const auto typeNames = [](const Xdm_ViewStore& store) {
    std::set<std::string> names;
    for (const auto& type : store.m_typeBlocks)
      names.insert(type->GetTypeName());
    return names;
  };
  dir.Write("changing.json", original);
  g_changeAt = -1;
  const std::set<std::string> types = typeNames(*Pds_PahJsonLoader(path, &ChangeAtPoll).Load());
  ASSERT_EQ(types.count("A6LUX"), 0u);
  ASSERT_EQ(types.count("A6LUT"), 1u);
  const int polls = -1 - g_changeAt.load();
  ASSERT_GT(polls, 10);
  const SplitMinimum split(0);
  for (const bool renamed : {true, false}) {
    g_change = [&] {
      const std::string written = renamed ? dir.Path("other.json") : path;
      std::fstream(written, std::ios::in | std::ios::out | std::ios::binary) << other;
      if (renamed) std::filesystem::rename(written, path);
    };
    int refused = 0;
    for (int at = 0; at < polls; at += std::max(1, polls / 12)) {
      SCOPED_TRACE(std::string(renamed ? "renamed over" : "written to") + " at poll " +
                   std::to_string(at));
      dir.Write("changing.json", original);
      dir.Write("other.json", original);
      // An hour old: a write now moves its time, however coarse the clock.
      std::filesystem::last_write_time(
          path, std::filesystem::last_write_time(path) - std::chrono::hours(1));
      g_changeAt = at;
      try {
        EXPECT_EQ(typeNames(*Pds_PahJsonLoader(path, &ChangeAtPoll).Load()), types);
      } catch (const Pds_Exception& e) {
        EXPECT_EQ(std::string(e.what()), path + ": the design file changed while it was read");
        ++refused;
      }
    }
    EXPECT_EQ(refused > 0, !renamed);
  }
  g_change = nullptr;
}

// Progress counts what both threads read: it only grows, and a load ends
// with the whole file read.
Pds_PahLoadProgress::Entry* g_progress = nullptr;
std::vector<std::uint64_t> g_seen;
bool Watch() {
  g_seen.push_back(g_progress->Read().done);
  return false;
}

TEST(ParallelLoad, ProgressCountsBothThreads) {
  TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{4000, 10}, out);
  const std::string path = dir.Write("gen.json", out.str());
  const SplitMinimum split(0);
  const std::uint64_t size = std::filesystem::file_size(path);
  // In two parts; then with runs taken over, loaded until some were (each
  // run's reader counts on from the parts read before it). Whether runs
  // are taken depends on a core being free for the second thread: a busy
  // machine may take none, so their number is shown, not required.
  for (const bool runs : {false, true}) {
    SCOPED_TRACE(runs ? "with runs taken over" : "in two parts");
    std::optional<TakeOverRuns> shape;
    if (runs) shape.emplace();
    std::uint64_t taken = 0;
    for (int load = 0; load < (runs ? 10 : 1) && taken == 0; ++load) {
      Pds_PahLoadProgress::Entry entry(path);
      g_progress = &entry;
      g_seen.clear();
      const std::uint64_t splits = Pds_PahJsonLoader::SplitCount();
      const design_test::RunsTaken runsTaken;
      {
        Pds_PahJsonLoader loader(path, &Watch, &entry);
        ASSERT_NE(loader.Load(), nullptr);
      }
      EXPECT_EQ(Pds_PahJsonLoader::SplitCount() - splits, 1u);
      taken = runsTaken();
      EXPECT_TRUE(std::is_sorted(g_seen.begin(), g_seen.end()));
      EXPECT_EQ(entry.Read().done, size);
      EXPECT_EQ(entry.Read().total, size);
    }
    if (runs) std::printf("runs taken in the last load: %llu\n", (unsigned long long)taken);
  }

  // The two readers' figures: the part's counts from where it starts, and
  // goes when the main reader reads on past the part (or the part's
  // reader goes first).
  const std::string text = out.str();
  const std::uint64_t last = text.find_last_not_of(" \n");  // the design's '}'
  Pds_PahLoadProgress::Entry figures(path);
  Pds_PahJsonReader main(path, nullptr, &figures);
  main.BeginObject("design");
  const std::uint64_t mainDone = figures.Read().done;
  {
    Pds_PahJsonReader part(path, nullptr, &figures);
    part.ReportAsPart(0);
    part.SeekTo(last - 99);
    part.NextElement();
    EXPECT_EQ(figures.Read().done, mainDone + size - last + 99);
    part.KeepPartProgress();
  }
  EXPECT_EQ(figures.Read().done, mainDone + size - last + 99);
  main.SeekTo(last);
  main.NextElement();
  EXPECT_EQ(figures.Read().done, size);
  {
    Pds_PahJsonReader lost(path, nullptr, &figures);
    lost.ReportAsPart(0);
    lost.SeekTo(last - 49);
    lost.NextElement();
    EXPECT_EQ(figures.Read().done, size);  // no more than the file
  }
  main.SeekTo(0);
  main.BeginObject("design");
  EXPECT_EQ(figures.Read().done, std::min<std::uint64_t>(size, 64 << 10));
}

}  // namespace
