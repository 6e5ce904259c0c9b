// A design load with each of its allocations failing in turn: the load
// either succeeds as without the failure or throws a clear error (no
// memory, or the file's own error), and leaves nothing allocated; the
// next load gives the same design.
#include <gtest/gtest.h>

#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <new>
#include <optional>
#include <sstream>
#include <string>

#include "AllocFault.h"
#include "DesignTestSupport.h"
#include "NcdGen.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahSnapshotCache.h"

namespace {

namespace AllocFault = ncdtest::AllocFault;
using design_test::DemoPath;

// Every block with its pins and signals, and every net with its pin count.
std::string Describe(const Xdm_View* view) {
  std::string text;
  for (std::uint32_t id = 0; id < view->GetMaxBlocks(); ++id) {
    Xdm_Block* block = view->GetBlockByBridgeId(id);
    if (!block) continue;
    text += std::string(block->GetFullName()) + " pins " +
            std::to_string(block->GetPinItr().Count()) + " signals " +
            std::to_string(block->GetSignals().size()) + "\n";
  }
  for (Xdm_Network* net : view->GetNetworkItr())
    text += std::string(net->GetName()) + " " + std::to_string(net->GetSignalItr().Count()) + "\n";
  return text;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The outcome of one load: the design's description, or the error.
struct Outcome {
  std::string design;
  std::string error;
  bool outOfMemory = false;
};

// Runs before every load (a snapshot test removes the snapshot).
std::function<void()> g_beforeLoad;

Outcome LoadWithFailureAt(const std::string& path, std::uint64_t n) {
  if (g_beforeLoad) g_beforeLoad();
  std::optional<design_test::Loaded> loaded;
  std::exception_ptr error;
  AllocFault::FailAt(n);
  try {
    loaded = design_test::Load(path);
  } catch (...) {
    error = std::current_exception();
  }
  AllocFault::Disarm();
  Outcome outcome;
  try {
    if (error) std::rethrow_exception(error);
  } catch (const std::bad_alloc&) {
    outcome.outOfMemory = true;
  } catch (const Pds_Exception& e) {
    outcome.error = e.what();
  }
  if (loaded) outcome.design = Describe(loaded->view);
  return outcome;
}

// Every `every`th allocation fails in turn (times NCD_ALLOC_FAULT_STRIDE).
void EveryAllocationFailsInTurn(const std::string& path, std::uint64_t every = 1) {
  const Outcome reference = LoadWithFailureAt(path, 0);
  LoadWithFailureAt(path, 0);  // whatever a first load keeps for good is made by now
  const std::uint64_t total = AllocFault::CountOf([&] { LoadWithFailureAt(path, 0); });
  ASSERT_GT(total, 0u);
  std::uint64_t failures = 0;
  for (std::uint64_t n = 1; n <= total; n += every * AllocFault::Stride()) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    const std::int64_t live = AllocFault::Live();
    {
      const Outcome outcome = LoadWithFailureAt(path, n);
      if (outcome.outOfMemory) {
        ++failures;
      } else {
        EXPECT_EQ(outcome.design, reference.design);
        EXPECT_EQ(outcome.error, reference.error);
      }
    }
    EXPECT_EQ(AllocFault::Live(), live);
    EXPECT_EQ(LoadWithFailureAt(path, 0).design, reference.design);
    EXPECT_EQ(design_test::CountingModel::Live(), 0);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(failures, 0u);
  std::printf("%s: %llu allocations, %llu failed loads\n", path.c_str(), (unsigned long long)total,
              (unsigned long long)failures);
}

TEST(LoaderAllocFault, DemoDesign) {
  EveryAllocationFailsInTurn(DemoPath());
}

// On two threads: a failure on the part's thread costs the part (the
// loading thread reads it), one on the loading thread the load.
TEST(LoaderAllocFault, DemoOnTwoThreads) {
  const std::uint64_t before = Pds_PahJsonLoader::SplitCount();
  const design_test::SplitMinimum split(0);
  EveryAllocationFailsInTurn(DemoPath());
  EXPECT_GT(Pds_PahJsonLoader::SplitCount() - before, 10u);
  // Again with the loading thread slowed down, so that the second thread
  // takes runs back towards it (the demo is too small for runs): a failure
  // in a run costs that run and the claiming, one in the take-over the
  // load. Every 16th allocation, for time: the runs differ from load to load,
  // and a busy machine may take none (their number is shown, not required).
  const design_test::RunsTaken taken;
  const design_test::TakeOverRuns runs;
  design_test::TempDir dir;
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{300, 9}, out);
  EveryAllocationFailsInTurn(dir.Write("gen.json", out.str()), 16);
  std::printf("runs taken: %llu\n", (unsigned long long)taken());
}

// Snapshots in a folder of their own, for the rest of the program.
class SnapshotsOn : public ::testing::Test {
 protected:
  void SetUp() override {
    ::setenv("XDG_CACHE_HOME", m_dir.Path("cache").c_str(), 1);
    ::setenv("NCD_CACHE", "all", 1);
  }
  void TearDown() override {
    ::setenv("NCD_CACHE", "off", 1);
    g_beforeLoad = nullptr;
  }
  design_test::TempDir m_dir;
};

// Every load but the first opens the demo's snapshot.
TEST_F(SnapshotsOn, DemoReopenedFromItsSnapshot) {
  const Pds_PahSnapshotCache::Counts before = Pds_PahSnapshotCache::GetCounts();
  EveryAllocationFailsInTurn(DemoPath());
  const Pds_PahSnapshotCache::Counts after = Pds_PahSnapshotCache::GetCounts();
  EXPECT_EQ(after.written - before.written, 1u);
  EXPECT_GT(after.opened - before.opened, 100u / AllocFault::Stride());
}

// Every load parses and writes the snapshot: a failure while writing costs
// the snapshot alone.
TEST_F(SnapshotsOn, DemoParsedAndSnapshotted) {
  const std::string demo = m_dir.Write("demo.ncd.json", ReadFile(DemoPath()));
  g_beforeLoad = [&] { std::filesystem::remove(Pds_PahSnapshotCache::PathOf(demo)); };
  const Pds_PahSnapshotCache::Counts before = Pds_PahSnapshotCache::GetCounts();
  EveryAllocationFailsInTurn(demo);
  const Pds_PahSnapshotCache::Counts after = Pds_PahSnapshotCache::GetCounts();
  EXPECT_EQ(after.opened - before.opened, 0u);
  EXPECT_GT(after.written - before.written, 100u / AllocFault::Stride());
  EXPECT_GT(after.unwritten - before.unwritten, 0u);
}

TEST(LoaderAllocFault, FileWithAnError) {
  design_test::TempDir dir;
  EveryAllocationFailsInTurn(dir.Write("bad.ncd.json", R"({"format": "ncd-json", "version": 1,
    "part": "xc5vlx30ff324-1", "top": {"name": "top", "level": 0, "blocks": [{"name": 5}]}})"));
}

}  // namespace
