// The generator library: the same options give the same bytes, sizes land
// where asked, and bad options or outputs are refused with an exception.
#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>
#include <string>

#include "NcdGen.h"

namespace {

std::string Generate(uint64_t blocks, uint64_t seed, NcdGen::Stats* stats = nullptr) {
  std::ostringstream out;
  NcdGen::Stats s = NcdGen::WriteDesign(NcdGen::Options{blocks, seed}, out);
  if (stats) *stats = s;
  return out.str();
}

uint64_t Fnv1a(const std::string& bytes) {
  uint64_t h = 0xcbf29ce484222325ull;
  for (unsigned char c : bytes)
    h = (h ^ c) * 0x100000001b3ull;
  return h;
}

TEST(NcdGenDeterminism, SameOptionsGiveSameBytes) {
  std::string a = Generate(5000, 7), b = Generate(5000, 7);
  ASSERT_EQ(a.size(), b.size());
  EXPECT_TRUE(a == b);
}

TEST(NcdGenDeterminism, OtherSeedOrSizeGivesOtherBytes) {
  std::string base = Generate(5000, 7);
  EXPECT_FALSE(base == Generate(5000, 8));
  EXPECT_FALSE(base == Generate(5001, 7));
}

// Pins the bytes of one small design, so that anything making the output
// depend on the platform or library (a standard distribution, hashing of
// pointers, unordered containers) shows. Update both numbers when the
// output changes on purpose.
TEST(NcdGenDeterminism, SmallDesignHasKnownBytes) {
  std::string text = Generate(200, 1);
  EXPECT_EQ(text.size(), 83176u);
  EXPECT_EQ(Fnv1a(text), 3639930495275346068ull);
}

TEST(NcdGenSize, BlockCountLandsNearTheRequest) {
  for (uint64_t want : {200ull, 1000ull, 10000ull, 100000ull}) {
    NcdGen::Stats stats;
    std::string text = Generate(want, 11, &stats);
    EXPECT_GE(stats.blocks, want) << want;
    EXPECT_LE(stats.blocks, want + want / 20) << want;
    EXPECT_EQ(stats.bytes, text.size()) << want;
    EXPECT_LT(stats.comps, stats.blocks / 3) << "comps hold two to four bels each";
  }
}

// Every block, and nothing else, carries a "level" key; every shape a
// "members" array that relocation groups also have.
TEST(NcdGenSize, StatsCountWhatTheFileHolds) {
  NcdGen::Stats stats;
  std::string text = Generate(4000, 5, &stats);
  auto count = [&](const std::string& what) {
    uint64_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
      ++n;
    return n;
  };
  EXPECT_EQ(count("\"level\":"), stats.blocks);
  EXPECT_EQ(count("\"members\":"), stats.shapes + stats.groups);
  EXPECT_EQ(count("\"clock_region\":"), stats.cells);
  EXPECT_GT(stats.groups, 0u);
  EXPECT_GT(stats.shapes, 0u);
}

TEST(NcdGenOptions, BlockCountOutsideTheRangeIsRefused) {
  EXPECT_EQ(NcdGen::CheckOptions({NcdGen::kMinBlocks, 0}), "");
  EXPECT_EQ(NcdGen::CheckOptions({NcdGen::kMaxBlocks, ~0ull}), "");
  EXPECT_EQ(NcdGen::CheckOptions({199, 1}),
            "the block count must be from 200 to 20000000, not 199");
  EXPECT_NE(NcdGen::CheckOptions({NcdGen::kMaxBlocks + 1, 1}), "");
  std::ostringstream out;
  EXPECT_THROW(NcdGen::WriteDesign({10, 1}, out), std::invalid_argument);
  EXPECT_TRUE(out.str().empty());
}

TEST(NcdGenOptions, FailingOutputThrows) {
  std::ostream broken(nullptr);
  EXPECT_THROW(NcdGen::WriteDesign({1000, 1}, broken), std::runtime_error);
}

}  // namespace
