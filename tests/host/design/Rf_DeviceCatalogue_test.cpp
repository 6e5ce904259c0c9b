// The process-wide device catalogue: what loading designs records, how
// designs of one part merge, and that it outlives the designs.
#include "Rf_DeviceCatalogue.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "DesignTestSupport.h"
#include "DeviceDesigns.h"
#include "Pds_Exception.h"

using ncdtest::CellSpec;
using ncdtest::DeviceDesignText;

namespace {

// Each test uses parts of its own: the catalogue lives as long as the process.
design_test::Loaded LoadDevice(const design_test::TempDir& dir, const std::string& file,
                               const std::string& part, const std::vector<std::string>& regions,
                               const std::vector<CellSpec>& cells) {
  return design_test::Load(dir.Write(file, DeviceDesignText(part, regions, cells)));
}

// Parts of one test alone: the catalogue keeps every part until the process
// ends, also under --gtest_repeat.
class DeviceCatalogue : public ::testing::Test {
 protected:
  void SetUp() override { ++s_round; }
  static std::string Part(const char* name) { return name + ("." + std::to_string(s_round)); }
  static inline int s_round = 0;
};

std::string Describe(const Rf_CatalogueCell* cell) {
  return std::string(cell->name) + "/" + cell->type + "/" + (cell->region ? cell->region : "-");
}

std::string Describe(const std::vector<const Rf_CatalogueCell*>& cells) {
  std::string text;
  for (const Rf_CatalogueCell* cell : cells)
    text += (text.empty() ? "" : " ") + Describe(cell);
  return text;
}

std::string Join(const std::vector<const char*>& names) {
  std::string text;
  for (const char* name : names)
    text += (text.empty() ? "" : " ") + std::string(name);
  return text;
}

TEST_F(DeviceCatalogue, MergesTheDesignsOfOnePartByNameFirstDescriptionStays) {
  design_test::TempDir dir;
  EXPECT_EQ(Rf_DeviceCatalogue::FindPart(Part("cat-merge")), nullptr);
  LoadDevice(dir, "a.ncd.json", Part("cat-merge"), {"X0Y0", "X0Y1"},
             {{"S0", "SLICEL", "X0Y0"}, {"S1", "SLICEL", "X0Y1"}, {"IO0", "IOB", ""}});
  const Rf_DevicePart* part = Rf_DeviceCatalogue::FindPart(Part("cat-merge"));
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(part->GetName(), Part("cat-merge"));
  const Rf_CatalogueCell* s1 = part->FindCell("S1");
  ASSERT_NE(s1, nullptr);

  // S1 again, described otherwise; S2 and a region new; S0 out of order.
  LoadDevice(dir, "b.ncd.json", Part("cat-merge"), {"X0Y1", "X1Y0", "X0Y0"},
             {{"S1", "SLICEM", "X1Y0"}, {"S2", "SLICEL", "X1Y0"}, {"S0", "SLICEL", "X0Y0"}});
  EXPECT_EQ(Rf_DeviceCatalogue::FindPart(Part("cat-merge")), part);
  EXPECT_EQ(part->GetCellCount(), 4u);
  EXPECT_EQ(Describe(part->GetCells()), "S0/SLICEL/X0Y0 S1/SLICEL/X0Y1 IO0/IOB/- S2/SLICEL/X1Y0");
  EXPECT_EQ(part->FindCell("S1"), s1);  // entries never move or change
  EXPECT_EQ(Describe(s1), "S1/SLICEL/X0Y1");
  EXPECT_EQ(Join(part->GetClockRegions()), "X0Y0 X0Y1 X1Y0");
  EXPECT_EQ(Describe(part->GetCellsOf("X1Y0")), "S2/SLICEL/X1Y0");
  EXPECT_EQ(Describe(part->GetCellsOf("X0Y0")), "S0/SLICEL/X0Y0");
  EXPECT_TRUE(part->GetCellsOf("X9Y9").empty());
  EXPECT_STREQ(part->FindClockRegion("X1Y0"), "X1Y0");
  EXPECT_EQ(part->FindClockRegion("x1y0"), nullptr);  // names are exact
  EXPECT_EQ(part->FindCell("S9"), nullptr);

  // The same device once more changes nothing; another part is another entry.
  LoadDevice(dir, "a2.ncd.json", Part("cat-merge"), {"X0Y0", "X0Y1"}, {{"S0", "SLICEL", "X0Y0"}});
  LoadDevice(dir, "c.ncd.json", Part("cat-merge-2"), {}, {{"S0", "IOB", ""}});
  EXPECT_EQ(part->GetCellCount(), 4u);
  const Rf_DevicePart* other = Rf_DeviceCatalogue::FindPart(Part("cat-merge-2"));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(Describe(other->GetCells()), "S0/IOB/-");
  const std::vector<std::string> parts = Rf_DeviceCatalogue::GetPartNames();
  EXPECT_TRUE(std::is_sorted(parts.begin(), parts.end()));
  EXPECT_EQ(std::count(parts.begin(), parts.end(), Part("cat-merge")), 1);
}

// The catalogue holds copies: reading it after every design of the part is
// freed touches no freed memory (the address sanitizer checks).
TEST_F(DeviceCatalogue, OutlivesTheDesignsItDescribes) {
  design_test::TempDir dir;
  {
    design_test::Loaded loaded = LoadDevice(dir, "free.ncd.json", Part("cat-freed"), {"R0"},
                                            {{"SITE_A", "T", "R0"}, {"SITE_B", "U", ""}});
    ASSERT_NE(loaded.cad()->GetDevice(), nullptr);
  }
  const Rf_DevicePart* part = Rf_DeviceCatalogue::FindPart(Part("cat-freed"));
  ASSERT_NE(part, nullptr);
  EXPECT_EQ(Describe(part->GetCells()), "SITE_A/T/R0 SITE_B/U/-");
  EXPECT_EQ(Join(part->GetClockRegions()), "R0");
}

TEST_F(DeviceCatalogue, FailedLoadsRecordNothing) {
  design_test::TempDir dir;
  const std::string faulty =
      dir.Write("fault.ncd.json", DeviceDesignText(Part("cat-fault"), {"R0"}, {{"C0", "T", "R0"}},
                                                   ", \"faults\": {\"throw\": \"pds\"}"));
  EXPECT_THROW(design_test::Load(faulty), Pds_Exception);
  std::string broken = DeviceDesignText(Part("cat-broken"), {}, {{"C0", "T", ""}});
  broken.resize(broken.size() - 3);  // cut short
  EXPECT_THROW(design_test::Load(dir.Write("broken.ncd.json", broken)), Pds_Exception);
  EXPECT_EQ(Rf_DeviceCatalogue::FindPart(Part("cat-fault")), nullptr);
  EXPECT_EQ(Rf_DeviceCatalogue::FindPart(Part("cat-broken")), nullptr);
}

// Designs of one part recorded on some threads while others read it (the
// thread sanitizer checks the locking).
TEST_F(DeviceCatalogue, RecordsAndQueriesRunConcurrently) {
  constexpr int kWriters = 2, kDesigns = 6;
  design_test::TempDir dir;
  LoadDevice(dir, "seed.ncd.json", Part("cat-threads"), {"R"}, {{"SEED", "T", "R"}});
  const Rf_DevicePart* part = Rf_DeviceCatalogue::FindPart(Part("cat-threads"));
  ASSERT_NE(part, nullptr);
  std::atomic<bool> done{false};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([w, &dir] {
      for (int d = 0; d < kDesigns; ++d) {
        const std::string name = "C" + std::to_string(w) + "_" + std::to_string(d);
        LoadDevice(dir, "t" + name + ".ncd.json", Part("cat-threads"), {"R", "R" + name},
                   {{"SEED", "T", "R"}, {name, "T", "R" + name}});
      }
    });
  }
  threads.emplace_back([&] {
    while (!done) {
      for (const Rf_CatalogueCell* cell : part->GetCells())
        EXPECT_EQ(part->FindCell(cell->name), cell);
      EXPECT_EQ(Describe(part->GetCellsOf("R")), "SEED/T/R");
      part->GetClockRegions();
    }
  });
  for (int w = 0; w < kWriters; ++w)
    threads[w].join();
  done = true;
  threads.back().join();
  EXPECT_EQ(part->GetCellCount(), 1u + kWriters * kDesigns);
  EXPECT_EQ(part->GetClockRegions().size(), 1u + kWriters * kDesigns);
}

}  // namespace
