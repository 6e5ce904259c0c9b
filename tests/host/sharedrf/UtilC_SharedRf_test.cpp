// The shared device component, loaded by name and used through its
// interfaces only, with designs read by the real loader.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "SharedRfTestSupport.h"

using CommonI::RefCountPtr;
using ncdtest::OutRef;
using ncdtest::PropertyNames;
using ncdtest::PropertyText;
using ncdtest::RefCountOf;
using sharedrf_test::DeviceOf;
using sharedrf_test::LoadDevice;
using sharedrf_test::NameOf;
using sharedrf_test::Rf;
using sharedrf_test::Sites;
using UtilI::ITclCollectable;

namespace {

class SharedRf : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory(UtilI::kSharedRfLibrary));
    // Only to read the helper component's counters; the device component
    // loads it by itself.
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory(UtilI::kTcltaskHelpersLibrary));
  }
  void SetUp() override {
    ++s_round;
    m_mgr = sharedrf_test::NewManager();
    ASSERT_TRUE(m_mgr);
    m_helpers = ncdtest::CreateAs<UtilI::INamedValueFactory>(UtilI::CLSID_NamedValueFactory,
                                                             UtilI::IID_INamedValueFactory);
    ASSERT_TRUE(m_helpers);
  }
  // Sites, regions and every value, list and information object handed out
  // were given back.
  void TearDown() override {
    CitP::FactoryFault::Disarm();
    EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfSites), 0u);
    EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfClockRegions), 0u);
    EXPECT_EQ(m_helpers->GetLiveCount(UtilI::kHelperAll), 0u);
  }

  // Part "<prefix>" with regions X0Y0, X0Y1 and cells S0, S1 (X0Y0), S2
  // (X0Y1) and IO0 (no region).
  design_test::Loaded LoadFour(const std::string& part) {
    return LoadDevice(m_dir, part + ".ncd.json", part, {"X0Y0", "X0Y1"},
                      {{"S0", "SLICEL", "X0Y0"},
                       {"S1", "SLICEM", "X0Y0"},
                       {"S2", "SLICEL", "X0Y1"},
                       {"IO0", "IOB", ""}});
  }

  // Parts of this test alone: the catalogue keeps every part until the
  // process ends, also under --gtest_repeat.
  static std::string Part(const char* name) { return name + ("." + std::to_string(s_round)); }
  static std::string IdOf(const char* type, const std::string& part, const char* name) {
    return std::string(type) + ":" + std::to_string(part.size()) + ":" + part + ":" + name;
  }

  static inline int s_round = 0;
  design_test::TempDir m_dir;
  RefCountPtr<UtilI::ISharedRfMgr> m_mgr;
  RefCountPtr<UtilI::INamedValueFactory> m_helpers;
};

std::vector<std::string> Names(const RefCountPtr<UtilI::IStringContainer>& names) {
  return ncdtest::Strings(names);
}

TEST_F(SharedRf, UnknownPartsHaveNoDevice) {
  RefCountPtr<CitI::IInterface> device(m_mgr.get());  // Get clears what it held
  EXPECT_EQ(m_mgr->Load(sharedrf_test::kRequester, "rf-unknown", {}, true), 0u);
  EXPECT_EQ(m_mgr->Get(device, sharedrf_test::kRequester, "rf-unknown", {}), 0u);
  EXPECT_FALSE(device);
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfClockRegions + 1), 0u);
}

TEST_F(SharedRf, OnePartHasOneDeviceObject) {
  LoadFour(Part("rf-one"));
  EXPECT_EQ(m_mgr->Load(sharedrf_test::kRequester, Part("rf-one"), {}, true), 1u);
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-one"));
  ASSERT_TRUE(device);
  const std::uint64_t devices = m_mgr->GetLiveCount(UtilI::kSharedRfDevices);
  EXPECT_GE(devices, 1u);
  EXPECT_EQ(DeviceOf(*m_mgr, Part("rf-one")).get(), device.get());
  RefCountPtr<UtilI::ISharedRfMgr> second = sharedrf_test::NewManager();
  EXPECT_EQ(DeviceOf(*second, Part("rf-one")).get(), device.get());
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfDevices), devices);
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfManagers), 2u);
  // The manager keeps a reference of its own.
  EXPECT_EQ(RefCountOf(device.get()), 2);

  // Handed out as its ISharedRf face; the other faces through it.
  UtilI::ISharedRf* rf = Rf(device);
  EXPECT_EQ(static_cast<void*>(rf), static_cast<void*>(device.get()));
  ASSERT_NE(Sites(device), nullptr);
  EXPECT_EQ(Sites(device)->QueryInterface(UtilI::IID_ISharedRf), rf);
  EXPECT_EQ(rf->QueryInterface(CitI::IID_IInterface), rf->QueryInterface(CommonI::IID_IRefCount));
  EXPECT_EQ(rf->QueryInterface(UtilI::IID_ITclCollectable), nullptr);
  EXPECT_EQ(rf->GetPartName().str(), Part("rf-one"));

  RefCountPtr<UtilI::IStringContainer> parts;
  EXPECT_EQ(m_mgr->GetPartNames(parts), 1u);
  const std::vector<std::string> names = Names(parts);
  EXPECT_EQ(std::count(names.begin(), names.end(), Part("rf-one")), 1);
}

TEST_F(SharedRf, NamesAndCountsFollowEveryDesignOfThePart) {
  LoadFour(Part("rf-names"));
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-names"));
  ASSERT_TRUE(device);
  RefCountPtr<UtilI::IStringContainer> names;
  EXPECT_EQ(Rf(device)->GetClockRegionNames(names), 1u);
  EXPECT_EQ(Names(names), (std::vector<std::string>{"X0Y0", "X0Y1"}));
  EXPECT_EQ(Sites(device)->GetSiteNames(names), 1u);
  EXPECT_EQ(Names(names), (std::vector<std::string>{"S0", "S1", "S2", "IO0"}));
  EXPECT_EQ(Rf(device)->GetSiteCount(), 4u);

  // A second design of the part adds what it has that the first had not.
  LoadDevice(m_dir, "more.ncd.json", Part("rf-names"), {"X1Y0"}, {{"S9", "SLICEL", "X1Y0"}});
  EXPECT_EQ(Rf(device)->GetSiteCount(), 5u);
  Sites(device)->GetSiteNames(names);
  EXPECT_EQ(Names(names), (std::vector<std::string>{"S0", "S1", "S2", "IO0", "S9"}));
  Rf(device)->GetClockRegionNames(names);
  EXPECT_EQ(Names(names), (std::vector<std::string>{"X0Y0", "X0Y1", "X1Y0"}));
}

TEST_F(SharedRf, SitesAreCollectablesWithNameTypeAndClockRegion) {
  LoadFour(Part("rf-sites"));
  LoadDevice(m_dir, "other.ncd.json", Part("rf-sites-2"), {}, {{"S0", "SLICEL", ""}});
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-sites"));
  RefCountPtr<ITclCollectable> site, same, io;
  ASSERT_EQ(Sites(device)->FindSite(site, "S1"), 1u);
  EXPECT_EQ(RefCountOf(site.get()), 1);
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfSites), 1u);
  Port::StringBase text;
  EXPECT_EQ(site->GetTypeName(text), 1u);
  EXPECT_EQ(text.str(), "ncd_site");
  EXPECT_EQ(NameOf(site.get()), "S1");
  EXPECT_EQ(site->IsStale(), 0u);
  EXPECT_EQ(site->GetId().str(), IdOf("ncd_site", Part("rf-sites"), "S1"));
  EXPECT_EQ(site->QueryInterface(UtilI::IID_ITclCollectable), site.get());
  EXPECT_EQ(PropertyNames(site.get()),
            (std::vector<std::string>{"Bank", "Clock Region", "Name", "Package Pin", "Tile", "Type",
                                      "X", "Y"}));
  EXPECT_EQ(PropertyText(site.get(), "Name"), "S1");
  EXPECT_EQ(PropertyText(site.get(), "type"), "SLICEM");
  EXPECT_EQ(PropertyText(site.get(), "clock_region"), "X0Y0");
  EXPECT_EQ(PropertyText(site.get(), "Region"), "<none>");

  // A new object per request, with the same id; another part's S0 differs.
  Sites(device)->FindSite(same, "S1");
  EXPECT_NE(same.get(), site.get());
  EXPECT_EQ(same->GetId(), site->GetId());
  RefCountPtr<ITclCollectable> otherS0;
  Sites(DeviceOf(*m_mgr, Part("rf-sites-2")))->FindSite(otherS0, "S0");
  Sites(device)->FindSite(same, "S0");
  EXPECT_NE(otherS0->GetId(), same->GetId());
  EXPECT_EQ(PropertyText(otherS0.get(), "Type"), "SLICEL");

  ASSERT_EQ(Sites(device)->FindSite(io, "IO0"), 1u);
  EXPECT_EQ(PropertyText(io.get(), "Clock Region"), "None");
  EXPECT_EQ(Sites(device)->FindSite(io, "S7"), 0u);
  EXPECT_FALSE(io);

  OutRef<UtilI::IPropertyInfo> info;
  ASSERT_EQ(site->GetPropertyInfo("CLOCK REGION", &info), 1u);
  info->GetName(text);
  EXPECT_EQ(text.str(), "Clock Region");
  EXPECT_EQ(info->GetKind(), UtilI::kValueString);
  EXPECT_EQ(info->IsReadOnly(), 1u);
  info->GetDescription(text);
  EXPECT_EQ(text.str(), "This property specifies the clock region of the site.\n");
  EXPECT_EQ(site->GetPropertyInfo("Slew", &info), 0u);
}

TEST_F(SharedRf, ClockRegionsListTheirSites) {
  LoadFour(Part("rf-regions"));
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-regions"));
  RefCountPtr<ITclCollectable> region;
  ASSERT_EQ(Rf(device)->FindClockRegion(region, "X0Y0"), 1u);
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfClockRegions), 1u);
  Port::StringBase text;
  region->GetTypeName(text);
  EXPECT_EQ(text.str(), "ncd_clock_region");
  EXPECT_EQ(NameOf(region.get()), "X0Y0");
  EXPECT_EQ(region->GetId().str(), IdOf("ncd_clock_region", Part("rf-regions"), "X0Y0"));
  EXPECT_EQ(PropertyNames(region.get()),
            (std::vector<std::string>{"Name", "Sites", "X Max", "X Min", "Y Max", "Y Min"}));
  EXPECT_EQ(PropertyText(region.get(), "Name"), "X0Y0");
  EXPECT_EQ(PropertyText(region.get(), "Sites"), "S0 S1");

  OutRef<UtilI::IPropertyValue> value;
  ASSERT_EQ(region->GetPropertyValue("Sites", &value), 1u);
  EXPECT_EQ(value->GetKind(), UtilI::kValueList);
  RefCountPtr<CitI::IInterface> object;
  value->GetObject(object);
  auto* list = static_cast<UtilI::IObjectList*>(object->QueryInterface(UtilI::IID_IObjectList));
  ASSERT_NE(list, nullptr);
  RefCountPtr<ITclCollectable> second;
  list->GetItem(1, second);
  EXPECT_EQ(PropertyText(second.get(), "Clock Region"), "X0Y0");
  EXPECT_EQ(m_mgr->GetLiveCount(UtilI::kSharedRfSites), 2u);
  OutRef<UtilI::IPropertyInfo> info;
  region->GetPropertyInfo("sites", &info);
  EXPECT_EQ(info->GetKind(), UtilI::kValueList);

  RefCountPtr<ITclCollectable> none(region.get());
  EXPECT_EQ(Rf(device)->FindClockRegion(none, "X9Y9"), 0u);
  EXPECT_FALSE(none);
}

// GetSite answers for every cell of a loaded design, and keeps answering
// after the design is freed (the address sanitizer checks for texts read
// from the freed view).
TEST_F(SharedRf, SitesOfCellsOutliveTheirDesign) {
  RefCountPtr<ITclCollectable> kept, stranger;
  {
    design_test::Loaded loaded = LoadFour(Part("rf-cells"));
    RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-cells"));
    std::vector<std::string> seen;
    for (const Rf_Cell& cell : loaded.cad()->GetDevice()->GetCells()) {
      RefCountPtr<ITclCollectable> site;
      ASSERT_EQ(Sites(device)->GetSite(cell, site), 1u);
      seen.push_back(NameOf(site.get()) + "/" + PropertyText(site.get(), "Type") + "/" +
                     PropertyText(site.get(), "Clock Region"));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"S0/SLICEL/X0Y0", "S1/SLICEM/X0Y0", "S2/SLICEL/X0Y1",
                                              "IO0/IOB/None"}));
    RefCountPtr<ITclCollectable> invalid(kept.get());
    EXPECT_EQ(Sites(device)->GetSite(Rf_Cell(), invalid), 0u);
    EXPECT_FALSE(invalid);
    Sites(device)->GetSite(loaded.cad()->GetDevice()->FindCell("S2"), kept);

    // A cell the part does not know describes itself.
    design_test::Loaded other =
        LoadDevice(m_dir, "other.ncd.json", Part("rf-cells-other"), {"Q0"}, {{"Z9", "ZT", "Q0"}});
    Sites(device)->GetSite(other.cad()->GetDevice()->FindCell("Z9"), stranger);
  }
  ASSERT_TRUE(stranger);
  EXPECT_EQ(NameOf(stranger.get()) + "/" + PropertyText(stranger.get(), "Type") + "/" +
                PropertyText(stranger.get(), "Clock Region"),
            "Z9/ZT/Q0");
  ASSERT_TRUE(kept);
  EXPECT_EQ(NameOf(kept.get()), "S2");
  EXPECT_EQ(PropertyText(kept.get(), "Type"), "SLICEL");
  EXPECT_EQ(PropertyText(kept.get(), "Clock Region"), "X0Y1");
  EXPECT_EQ(kept->GetId().str(), IdOf("ncd_site", Part("rf-cells"), "S2"));
}

// A cell's clock-region text from the design file is what its site shows,
// whether or not it names a region of the part; FindClockRegion then finds
// nothing for a text that names none (so a pin there has no clock region).
TEST_F(SharedRf, SitesShowTheClockRegionTextOfTheirCells) {
  const std::string part = Part("rf-text");
  design_test::Load(
      m_dir.Write("text.ncd.json",
                  R"({"format": "ncd-json", "version": 1, "part": ")" + part + R"(", "device": {
    "clock_regions": ["X0Y0"], "cell_types": [{"name": "T"}],
    "cells": [{"name": "A", "type": "T", "clock_region": "X0Y0"},
              {"name": "B", "type": "T", "clock_region_text": "X9Y9"},
              {"name": "C", "type": "T", "clock_region": "X0Y0", "clock_region_text": "None"}]},
    "top": {"name": "t", "level": 0}})"));
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, part);
  std::vector<std::string> shown;
  for (const char* name : {"A", "B", "C"}) {
    RefCountPtr<ITclCollectable> site;
    ASSERT_EQ(Sites(device)->FindSite(site, name), 1u);
    shown.push_back(PropertyText(site.get(), "Clock Region"));
  }
  EXPECT_EQ(shown, (std::vector<std::string>{"X0Y0", "X9Y9", "None"}));
  RefCountPtr<ITclCollectable> region;
  EXPECT_EQ(Rf(device)->FindClockRegion(region, "X9Y9"), 0u);
  ASSERT_EQ(Rf(device)->FindClockRegion(region, "X0Y0"), 1u);
  EXPECT_EQ(PropertyText(region.get(), "Sites"), "A C");
}

// Where a site lies and what a clock region covers, as the design file
// says: found by name, reached from a cell of the design, and reached from
// a cell of a design whose part the catalogue does not describe (the cell
// describes itself). What the file leaves out has no value.
TEST_F(SharedRf, SitesAndClockRegionsSayWhereTheyAre) {
  const std::string text = R"({"format": "ncd-json", "version": 1, "part": "PART", "device": {
    "clock_regions": ["L", "R"], "cell_types": [{"name": "T"}],
    "clock_region_bounds": [{"name": "L", "x_min": 0, "y_min": 0, "x_max": 6, "y_max": 17}],
    "cells": [{"name": "X0/Y4/io1", "type": "T", "clock_region": "L", "x": 0, "y": 4,
               "tile": "X0/Y4", "package_pin": "J3", "bank": "3"},
              {"name": "X5/Y9", "type": "T", "x": 5, "y": 9},
              {"name": "GB", "type": "T", "clock_region": "R"}]},
    "top": {"name": "t", "level": 0}})";
  // `prefix` goes before each site's name.
  auto write = [&](const std::string& file, const std::string& part, const std::string& prefix) {
    std::string design = text;
    design.replace(design.find("PART"), 4, part);
    for (const char* site : {"X0/Y4/io1\"", "X5/Y9\"", "GB\""})
      design.replace(design.find(site), 0, prefix);
    return design_test::Load(m_dir.Write(file, design));
  };
  const std::string part = Part("rf-where");
  design_test::Loaded loaded = write("where.ncd.json", part, "");
  design_test::Loaded stranger = write("stranger.ncd.json", Part("rf-where-other"), "s.");
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, part);
  const struct {
    const char* site;
    const char* shown;  // X Y Tile "Package Pin" Bank
  } kCases[] = {
      {"X0/Y4/io1", "0 4 X0/Y4 J3 3"},
      {"X5/Y9", "5 9 <none> <none> <none>"},
      {"GB", "<none> <none> <none> <none> <none>"},
  };
  auto shown = [](ITclCollectable* site) {
    std::string text;
    for (const char* name : {"X", "Y", "Tile", "Package Pin", "Bank"})
      text += (text.empty() ? "" : " ") + PropertyText(site, name);
    return text;
  };
  for (const auto& c : kCases) {
    RefCountPtr<ITclCollectable> byName, byCell, described;
    ASSERT_EQ(Sites(device)->FindSite(byName, c.site), 1u) << c.site;
    EXPECT_EQ(shown(byName.get()), c.shown) << c.site;
    ASSERT_EQ(Sites(device)->GetSite(loaded.cad()->GetDevice()->FindCell(c.site), byCell), 1u);
    EXPECT_EQ(shown(byCell.get()), c.shown) << c.site;
    // A cell this part does not know describes itself.
    Rf_Cell foreign = stranger.cad()->GetDevice()->FindCell(("s." + std::string(c.site)).c_str());
    ASSERT_EQ(Sites(device)->GetSite(foreign, described), 1u);
    EXPECT_EQ(shown(described.get()), c.shown) << c.site;
  }
  RefCountPtr<ITclCollectable> region;
  ASSERT_EQ(Rf(device)->FindClockRegion(region, "L"), 1u);
  std::string bounds;
  for (const char* name : {"X Min", "Y Min", "X Max", "Y Max"})
    bounds += PropertyText(region.get(), name) + " ";
  EXPECT_EQ(bounds, "0 0 6 17 ");
  ASSERT_EQ(Rf(device)->FindClockRegion(region, "R"), 1u);
  EXPECT_EQ(PropertyText(region.get(), "X Min"), "<none>");
}

// The calls the design component makes, in its order: Load and Get of the
// manager, GetSite on the device's IDeviceSites face, the site's "Clock
// Region" as text, FindClockRegion on the face the manager handed out.
TEST_F(SharedRf, TheDesignComponentsRoadFromACellToItsClockRegion) {
  design_test::Loaded loaded = LoadFour(Part("rf-road"));
  RefCountPtr<CitI::IInterface> instance =
      CitP::Factory::CreateInstanceRef(UtilI::CLSID_SharedRfMgr);
  ASSERT_TRUE(instance);
  RefCountPtr<UtilI::ISharedRfMgr> mgr(
      static_cast<UtilI::ISharedRfMgr*>(instance->QueryInterface(UtilI::IID_ISharedRfMgr)));
  instance.Reset();
  RefCountPtr<CitI::IInterface> owner(m_mgr.get());
  mgr->Load(sharedrf_test::kRequester, Part("rf-road"), owner, true);
  RefCountPtr<CitI::IInterface> rf;
  ASSERT_EQ(mgr->Get(rf, sharedrf_test::kRequester, Part("rf-road"), owner), 1u);
  mgr.Reset();

  auto* sites = static_cast<UtilI::IDeviceSites*>(rf->QueryInterface(UtilI::IID_IDeviceSites));
  RefCountPtr<ITclCollectable> site;
  ASSERT_EQ(sites->GetSite(loaded.cad()->GetDevice()->FindCell("S1"), site), 1u);
  OutRef<UtilI::IPropertyValue> value;
  ASSERT_EQ(site->GetPropertyValue("Clock Region", &value), 1u);
  Port::StringBase text;
  ASSERT_EQ(value->GetText(text), 1u);
  RefCountPtr<ITclCollectable> region;
  ASSERT_EQ(static_cast<UtilI::ISharedRf*>(rf.get())->FindClockRegion(region, text), 1u);
  EXPECT_EQ(NameOf(region.get()), "X0Y0");
}

TEST_F(SharedRf, RefusedHelperObjectsGiveFalseNeverACrash) {
  LoadFour(Part("rf-refused"));
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-refused"));
  RefCountPtr<ITclCollectable> site, region;
  Sites(device)->FindSite(site, "S0");
  Rf(device)->FindClockRegion(region, "X0Y0");

  CitP::FactoryFault::RefuseClass(UtilI::CLSID_PropertyValue);
  OutRef<UtilI::IPropertyValue> value;
  EXPECT_EQ(site->GetPropertyValue("Name", &value), 0u);
  EXPECT_FALSE(value);
  EXPECT_EQ(NameOf(site.get()), "S0");  // what needs no helper still works
  EXPECT_EQ(PropertyNames(site.get()).size(), 8u);
  CitP::FactoryFault::Disarm();

  CitP::FactoryFault::RefuseClass(UtilI::CLSID_PropertyInfo);
  OutRef<UtilI::IPropertyInfo> info;
  EXPECT_EQ(site->GetPropertyInfo("Name", &info), 0u);
  EXPECT_FALSE(info);
  CitP::FactoryFault::Disarm();

  CitP::FactoryFault::RefuseClass(UtilI::CLSID_ObjectList);
  EXPECT_EQ(region->GetPropertyValue("Sites", &value), 0u);
  EXPECT_EQ(PropertyText(region.get(), "Name"), "X0Y0");
  CitP::FactoryFault::Disarm();

  EXPECT_EQ(PropertyText(region.get(), "Sites"), "S0 S1");
}

// Devices, sites and regions used on several threads while designs of the
// part keep arriving (the thread sanitizer checks the locking); every
// count comes back.
TEST_F(SharedRf, ThreadsShareDevicesSitesAndRegions) {
  LoadFour(Part("rf-threads"));
  constexpr int kReaders = 3, kRounds = 60, kDesigns = 4;
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  threads.emplace_back([&] {
    for (int d = 0; d < kDesigns; ++d) {
      const std::string name = "N" + std::to_string(d);
      LoadDevice(m_dir, name + ".ncd.json", Part("rf-threads"), {"X0Y0"},
                 {{name, "SLICEL", "X0Y0"}});
    }
  });
  for (int r = 0; r < kReaders; ++r) {
    threads.emplace_back([&] {
      RefCountPtr<UtilI::ISharedRfMgr> mgr = sharedrf_test::NewManager();
      for (int i = 0; i < kRounds; ++i) {
        RefCountPtr<CitI::IInterface> device = DeviceOf(*mgr, Part("rf-threads"));
        RefCountPtr<ITclCollectable> site, region;
        Sites(device)->FindSite(site, "S2");
        Rf(device)->FindClockRegion(region, "X0Y0");
        if (PropertyText(site.get(), "Clock Region") != "X0Y1") ++wrong;
        if (PropertyText(region.get(), "Sites").rfind("S0 S1", 0) != 0) ++wrong;
        RefCountPtr<UtilI::IStringContainer> names;
        Sites(device)->GetSiteNames(names);
      }
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(wrong, 0);
  RefCountPtr<CitI::IInterface> device = DeviceOf(*m_mgr, Part("rf-threads"));
  RefCountPtr<ITclCollectable> region;
  Rf(device)->FindClockRegion(region, "X0Y0");
  EXPECT_EQ(PropertyText(region.get(), "Sites"), "S0 S1 N0 N1 N2 N3");
}

}  // namespace
