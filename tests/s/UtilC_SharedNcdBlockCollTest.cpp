// The block family: which class stands for which block, every property of
// every class, listing order and the fallbacks between the classes.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "Port_MsgManData.h"

using namespace ncdtest;
using Names = std::vector<std::string>;

namespace {

const Names kBlockNames = {"Children", "Color", "Full Name", "Icon Name", "Level",
                           "Name",     "Parent", "Pins",     "Signals",   "Subtype"};

Names Concat(Names first, const Names& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

class BlockColls : public CollTest {
 protected:
  static std::string Blocks() { return std::string(NCD_TEST_DATA) + "/blocks.ncd.json"; }
};

TEST_F(BlockColls, ClassesByPlaceInTheHierarchy) {
  OpenDesign design(Demo());
  // Each class lists its own names first, then the block names.
  const std::pair<const char*, Names> cases[] = {
      {"", Concat({"Nets", "Probes", "RPMs"}, kBlockNames)},
      {"u_cnt", kBlockNames},
      {"hm0", Concat({"Reference Block", "Status"}, kBlockNames)},
      {"u_cnt/c0", Concat({"Configuration", "Is Placed", "Site"}, kBlockNames)},
      {"u_cnt/c0/A6LUT", Concat({"Equation", "Gcd"}, kBlockNames)},
      // An IOB lists its own and the block names; the comp's are served unlisted.
      {"din", Concat({"Bank", "Drive", "IO Direction", "IO Standard", "Package Pin", "Slew"}, kBlockNames)},
  };
  for (const auto& [path, names] : cases) {
    CollPtr coll = design.Coll(path);
    EXPECT_EQ(PropertyNames(coll), names) << path;
    EXPECT_EQ(TypeName(coll), "ncd_block");
  }
  EXPECT_EQ(Text(design.Coll("din"), "Is Placed"), "true");
  EXPECT_EQ(Text(design.Coll("din"), "Configuration"), "");
  // A hidden block (its parent is secured) is wrapped as nothing.
  CollPtr hidden = design.Coll("ip_secure/core");
  EXPECT_EQ(hidden->IsStale(), 1u);
  EXPECT_EQ(PropertyNames(hidden), kBlockNames);
}

TEST_F(BlockColls, BlockProperties) {
  OpenDesign design(Demo());
  CollPtr c0 = design.Coll("u_cnt/c0");
  EXPECT_EQ(Text(c0, "Name"), "c0");
  EXPECT_EQ(NameOf(c0), "c0");
  EXPECT_EQ(Text(c0, "Full Name"), "u_cnt/c0");
  EXPECT_EQ(Text(c0, "Color"), "TBD");
  EXPECT_EQ(Text(c0, "Subtype"), "SLICEL");
  EXPECT_EQ(Text(c0, "Level"), "Comp");
  EXPECT_EQ(Text(c0, "icon_name"), "utilc-ncdcomp");
  EXPECT_EQ(Text(c0, "ICON-NAME"), "utilc-ncdcomp");
  EXPECT_EQ(NameOf(Get(c0, "Parent").AsColl()), "u_cnt");
  EXPECT_EQ(ListNames(c0, "Children"), (Names{"A6LUT", "AFF", "B6LUT", "BFF", "CARRY4"}));
  EXPECT_EQ(ListNames(c0, "Pins"), (Names{"CLK", "AQ", "BQ"}));
  // gnd_c reaches only an implicit pin: hidden.
  EXPECT_EQ(ListNames(c0, "Signals"), (Names{"clk_c", "aq", "bq", "ad", "bd", "vcc_c"}));
  EXPECT_EQ(Text(design.Coll("u_cnt/c0/A6LUT"), "Subtype"), "LUT");
  // Implicit pins are left out, except pad pins of bels.
  EXPECT_EQ(ListNames(design.Coll("u_cnt/c0/CARRY4"), "Pins"), (Names{"CO3"}));
}

TEST_F(BlockColls, LevelsAndIcons) {
  OpenDesign design(Blocks());
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"", "Top", "utilc-ncdnetlist"},        {"mod", "Module", "utilc-ncdmodule"},
      {"part", "Partition", "utilc-ncdpartition"}, {"hm_routed", "Hm Instance", "utilc-ncdhm"},
      {"slice", "Comp", "utilc-ncdcomp"},     {"slice/lut", "Bel", "utilc-ncdbel"},
      {"odd", "<none>", "<none>"},
  };
  for (const auto& [path, level, icon] : cases) {
    EXPECT_EQ(Text(design.Coll(path), "Level"), level) << path;
    EXPECT_EQ(Text(design.Coll(path), "Icon Name"), icon) << path;
  }
  EXPECT_EQ(Text(design.Coll("odd"), "Subtype"), "WEIRD");
}

TEST_F(BlockColls, TopAndHiddenChildren) {
  OpenDesign design(Demo());
  CollPtr top = design.Coll("");
  const Value parent = Get(top, "Parent");
  EXPECT_TRUE(parent.found);
  EXPECT_EQ(parent.kind, UtilI::kValueObject);
  EXPECT_FALSE(parent.object);
  EXPECT_EQ(Text(top, "Subtype"), "");
  // The secured module is listed; its contents are not.
  EXPECT_EQ(ListNames(top, "Children").back(), "ip_secure");
  EXPECT_EQ(ListNames(design.Coll("ip_secure"), "Children"), Names{});
  EXPECT_EQ(ListNames(design.Coll("ip_secure"), "Pins"), Names{});
}

TEST_F(BlockColls, HardMacroStatuses) {
  OpenDesign design(Blocks());
  const std::pair<const char*, const char*> cases[] = {
      {"hm_routed", "Routed"},   {"hm_partial_route", "Partially Routed"}, {"hm_partial_place", "Partially Placed"},
      {"hm_unplaced", "Unplaced"}, {"hm_empty", "Unplaced"},              {"hm_hidden", "Unplaced"},
      {"hm_hidden_net", "Routed"},  // its partly routed net is hidden
  };
  for (const auto& [path, status] : cases) EXPECT_EQ(Text(design.Coll(path), "Status"), status) << path;
  EXPECT_EQ(NameOf(Get(design.Coll("hm_routed"), "Reference Block").AsColl()), "c0");
  const Value none = Get(design.Coll("hm_unplaced"), "Reference Block");
  EXPECT_TRUE(none.found);
  EXPECT_FALSE(none.object);
}

TEST_F(BlockColls, CompPlacementSiteAndConfiguration) {
  OpenDesign design(Blocks());
  EXPECT_EQ(Text(design.Coll("slice"), "Is Placed"), "true");
  EXPECT_EQ(Text(design.Coll("hm_unplaced/c0"), "Is Placed"), "false");
  EXPECT_EQ(Text(design.Coll("slice"), "Configuration"), "LUT:#LUT:O6=A1");
  EXPECT_EQ(Text(design.Coll("plain"), "Configuration"), "");
  EXPECT_FALSE(Get(design.Coll("secured"), "Configuration").found);
  CollPtr site = Get(design.Coll("slice"), "Site").AsColl();
  EXPECT_EQ(NameOf(site), "S0");
  EXPECT_EQ(TypeName(site), "ncd_site");
  EXPECT_EQ(Text(site, "Clock Region"), "X0Y0");
  const Value unplaced = Get(design.Coll("hm_unplaced/c0"), "Site");
  EXPECT_TRUE(unplaced.found);
  EXPECT_FALSE(unplaced.object);
}

TEST_F(BlockColls, BelEquationNeedsTheRouteMediator) {
  OpenDesign design(Blocks());
  EXPECT_FALSE(Get(design.Coll("slice/lut"), "Equation").found);
  ASSERT_NE(design->GetRouteMediator(), nullptr);
  EXPECT_EQ(Text(design.Coll("slice/lut"), "Equation"), "O6=A1");
  EXPECT_FALSE(Get(design.Coll("slice/ff"), "Equation").found);            // no EQN mode
  EXPECT_FALSE(Get(design.Coll("slice/unplaced_lut"), "Equation").found);  // no cell
}

TEST_F(BlockColls, BelConfigurationData) {
  OpenDesign design(Blocks());
  EXPECT_FALSE(Get(design.Coll("slice/lut"), "Gcd").found);
  design->GetRouteMediator();
  Port_MsgCapture capture;
  CollPtr lut = design.Coll("slice/lut");
  const std::vector<CollPtr> data = ListItems(lut, "Gcd");
  Names named;
  for (const CollPtr& item : data) named.push_back(NameOf(item) + "=" + Text(item, "Value"));
  // Hidden, non-string and invalid modes are skipped; an unreadable datum
  // is reported and skipped.
  EXPECT_EQ(named, (Names{"EQN=", "INIT=64'h2", "UNSET="}));
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "BAD"), 1u);
  EXPECT_EQ(ListNames(design.Coll("slice/ff"), "Gcd"), Names{});  // no configuration data
  EXPECT_FALSE(Get(design.Coll("slice/unplaced_lut"), "Gcd").found);
}

TEST_F(BlockColls, IobProperties) {
  OpenDesign design(Demo());
  CollPtr dout = design.Coll("dout");
  EXPECT_EQ(Text(dout, "IO Standard"), "LVCMOS33");
  EXPECT_EQ(Text(dout, "IO Direction"), "Output");
  EXPECT_EQ(Text(dout, "Drive"), "8");
  EXPECT_EQ(Text(dout, "Slew"), "FAST");
  EXPECT_EQ(Text(design.Coll("din"), "Drive"), "");
  for (const char* name : {"Bank", "Package Pin"}) {
    const Value v = Get(dout, name);
    EXPECT_TRUE(v.found) << name;
    EXPECT_FALSE(v.object) << name;
  }
  EXPECT_EQ(NameOf(Get(dout, "Site").AsColl()), "IOB_X0Y3");  // through CompColl
}

TEST_F(BlockColls, IobUsageFailuresAreReported) {
  OpenDesign design(std::string(NCD_TEST_DATA) + "/io_reject.ncd.json");
  Port_MsgCapture capture;
  EXPECT_FALSE(Get(design.Coll("bad_type"), "Drive").found);
  EXPECT_FALSE(Get(design.Coll("corrupt"), "Slew").found);
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "block 'bad_type' is not of a type with IO usage"), 1u);
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "IO usage of block 'corrupt' is corrupt"), 1u);
}

TEST_F(BlockColls, OtherIoUsageFailuresAreReportedAsUnhandled) {
  const std::string path = dir.Write("io_other.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p",
    "top": {"name": "t", "level": 0, "blocks": [
      {"name": "odd", "type": "IOB", "level": 3, "external": true,
       "io": {"drive": "12", "slew": "FAST", "reject": "other", "reject_only": ["slew"]}},
      {"name": "worse", "type": "IOB", "level": 3, "external": true, "io": {"reject": "other"}}]}})");
  OpenDesign design(path);
  Port_MsgCapture capture;
  EXPECT_EQ(Text(design.Coll("odd"), "Drive"), "12");
  EXPECT_FALSE(Get(design.Coll("odd"), "Slew").found);
  EXPECT_FALSE(Get(design.Coll("worse"), "Drive").found);
  const std::vector<Port_Msg> messages = capture.take();
  ASSERT_EQ(messages.size(), 2u);
  EXPECT_EQ(messages[0].kind, Port_MsgKind::Internal);
  EXPECT_EQ(messages[0].component, "UtilitiesC");
  EXPECT_EQ(messages[0].text, "Unhandle Exception at UtilC_SharedNcdIobColl:257\n");
  EXPECT_EQ(messages[1].text, "Unhandle Exception at UtilC_SharedNcdIobColl:176\n");
}

TEST_F(BlockColls, DescriptionsAreTheClassTexts) {
  OpenDesign design(Demo());
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"u_cnt/c0", "Icon Name", "This property specifies the icon file name for theblock.\n"},
      {"u_cnt/c0", "Is Placed", "This property is true if the block is placed on the device; false otherwise.\n"},
      {"hm0", "Status", "This property specifies the placement and routing status of the hard macro instance.\n"},
      {"din", "Bank", "This property specifies the IO bank that the IOB resides.\n"},
      {"din", "Site", "This property specifies the site where the block is placed.\n"},
      {"u_cnt/c0/A6LUT", "Equation", ""},
      {"", "Probes", "This property contains all probes in the design.\n"},
  };
  for (const auto& [path, name, description] : cases) {
    UtilI::IPropertyInfo* raw = nullptr;
    ASSERT_EQ(design.Coll(path)->GetPropertyInfo(name, &raw), 1u) << name;
    auto info = CommonI::RefCountPtr<UtilI::IPropertyInfo>::Adopt(raw);
    Port::StringBase text;
    info->GetDescription(text);
    EXPECT_EQ(text.str(), description) << name;
  }
}

}  // namespace
