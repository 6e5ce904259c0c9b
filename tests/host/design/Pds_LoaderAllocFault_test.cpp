// A design load with each of its allocations failing in turn: the load
// either succeeds as without the failure or throws a clear error (no
// memory, or the file's own error), and leaves nothing allocated; the
// next load gives the same design.
#include <gtest/gtest.h>

#include <exception>
#include <new>
#include <optional>
#include <string>

#include "AllocFault.h"
#include "DesignTestSupport.h"
#include "Pds_Exception.h"

namespace {

namespace AllocFault = ncdtest::AllocFault;
using design_test::DemoPath;

// Every block with its pins and signals, and every net with its pin count.
std::string Describe(const Xdm_View* view) {
  std::string text;
  for (std::uint32_t id = 0; id < view->GetMaxBlocks(); ++id) {
    Xdm_Block* block = view->GetBlockByBridgeId(id);
    if (!block) continue;
    text += std::string(block->GetFullName()) + " pins " + std::to_string(block->GetPinItr().Count()) +
            " signals " + std::to_string(block->GetSignals().size()) + "\n";
  }
  for (Xdm_Network* net : view->GetNetworkItr())
    text += std::string(net->GetName()) + " " + std::to_string(net->GetSignalItr().Count()) + "\n";
  return text;
}

// The outcome of one load: the design's description, or the error.
struct Outcome {
  std::string design;
  std::string error;
  bool outOfMemory = false;
};

Outcome LoadWithFailureAt(const std::string& path, std::uint64_t n) {
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

void EveryAllocationFailsInTurn(const std::string& path) {
  const Outcome reference = LoadWithFailureAt(path, 0);
  LoadWithFailureAt(path, 0);  // whatever a first load keeps for good is made by now
  const std::uint64_t total = AllocFault::CountOf([&] { LoadWithFailureAt(path, 0); });
  ASSERT_GT(total, 0u);
  std::uint64_t failures = 0;
  for (std::uint64_t n = 1; n <= total; n += AllocFault::Stride()) {
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

TEST(LoaderAllocFault, DemoDesign) { EveryAllocationFailsInTurn(DemoPath()); }

TEST(LoaderAllocFault, FileWithAnError) {
  design_test::TempDir dir;
  EveryAllocationFailsInTurn(dir.Write("bad.ncd.json", R"({"format": "ncd-json", "version": 1,
    "part": "xc5vlx30ff324-1", "top": {"name": "top", "level": 0, "blocks": [{"name": 5}]}})"));
}

}  // namespace
