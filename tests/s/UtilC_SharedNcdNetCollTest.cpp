// Nets, pins, signals and RPMs as collectables, and the top block's
// design-wide lists.
#include <gtest/gtest.h>

#include "CollTestSupport.h"
#include "Xdm_ViewEditor.h"

using namespace ncdtest;
using Names = std::vector<std::string>;

namespace {

class DesignColls : public CollTest {
 protected:
  static CollPtr NetOf(OpenDesign& d, const char* name) { return d->MakeCollectable(d.Net(name)); }
  static CollPtr PinOf(OpenDesign& d, const std::string& block, const char* name) {
    return d->MakeCollectable(static_cast<const Xdm_Pin*>(d.Pin(block, name)));
  }
  static std::string Number(const CollPtr& coll, const char* name) {
    const Value v = Get(coll, name);
    return v.found ? std::to_string(v.number) : "<none>";
  }
};

TEST_F(DesignColls, PropertyListsInRegistryOrder) {
  OpenDesign design(Demo());
  EXPECT_EQ(PropertyNames(NetOf(design, "clk")),
            (Names{"Color", "Fanout", "Full Name", "Icon Name", "Max Delay", "Name", "Pins", "Signals", "Status",
                   "Subtype"}));
  EXPECT_EQ(PropertyNames(PinOf(design, "u_cnt/c0", "CLK")),
            (Names{"Block", "Child Signal", "Clock Region", "Direction", "Full Name", "Icon Name", "Is Clock",
                   "Max Delay", "Name", "Net", "Signal", "Skew Value", "Status"}));
  EXPECT_EQ(PropertyNames(design->MakeCollectable(design.Signal("u_cnt", "clk_i"))),
            (Names{"Color", "Full Name", "Icon Name", "Name", "Net", "Parent", "Pins"}));
  EXPECT_EQ(PropertyNames(design->MakeCollectable(static_cast<const Xdm_PropertyHolder*>(nullptr))),
            (Names{"Color", "Full Name", "Icon Name", "Members", "Name", "Reference Block", "Subtype"}));
}

TEST_F(DesignColls, NetKindsAndRouteStatuses) {
  OpenDesign design(Demo());
  const std::tuple<const char*, const char*, const char*> nets[] = {
      {"clk", "Logic", "Routed"},          {"count<1>", "Logic", "Partially Routed"},
      {"din_q", "Logic", "Unrouted"},      {"lvds_in", "Logic", "Unrouted"},
      {"clk_pad", "Input", ""},            {"dout_pad", "Output", ""},
      {"GLOBAL_LOGIC1", "Vcc", "Unrouted"}, {"GLOBAL_LOGIC0", "Ground", "Unrouted"},
  };
  for (const auto& [name, subtype, status] : nets) {
    CollPtr net = NetOf(design, name);
    EXPECT_EQ(Text(net, "Subtype"), subtype) << name;
    EXPECT_EQ(Text(net, "Status"), status) << name;
    EXPECT_EQ(Text(net, "Icon Name"), "utilc-ncdnet");
    EXPECT_EQ(TypeName(net), "ncd_net");
  }
}

// The last signal with a pin on the top block decides a net's direction;
// a design whose nets are all hidden lists none. Hidden objects handed
// straight to the design's collectable factory and property access are
// wrapped as nothing and have no values.
TEST_F(DesignColls, PortDirectionsAndHiddenObjects) {
  const std::string path = dir.Write("ports.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "p",
    "nets": [{"name": "both"}, {"name": "hidden"}],
    "top": {"name": "t", "level": 0,
      "signals": [{"name": "s1", "net": "both"}, {"name": "s2", "net": "both"}],
      "pins": [{"name": "in", "dir": "input", "child_signal": "s1"},
               {"name": "out", "dir": "output", "child_signal": "s2"}],
      "blocks": [{"name": "sec", "level": 1, "netlist_security": 1, "signals": [{"name": "h", "net": "hidden"}],
                  "blocks": [{"name": "c", "level": 3, "pins": [{"name": "P", "signal": "h"}]}]}]}})");
  OpenDesign design(path);
  EXPECT_EQ(Text(NetOf(design, "both"), "Subtype"), "Output");
  EXPECT_EQ(ListNames(design.Coll(""), "Nets"), Names{"both"});
  const auto* block = static_cast<const Pds_PdmBlock*>(design.Block("sec/c"));
  const Xdm_Pin* pin = design.Pin("sec/c", "P");
  const Xdm_Signal* signal = design.Signal("sec", "h");
  const Xdm_Network* net = design.Net("hidden");
  const struct {
    const char* what;
    CollPtr coll;
    bool unwrapped;
    ValuePtr name;
  } kHidden[] = {
      {"block", design->MakeCollectable(block), !design->GetBlockOf(design->MakeCollectable(block)),
       design->GetBlockPropertyValue(block, "Name")},
      {"pin", design->MakeCollectable(pin), !design->GetPinOf(design->MakeCollectable(pin)),
       design->GetPinPropertyValue(pin, "Name")},
      {"signal", design->MakeCollectable(signal),
       !design->GetSignalOf(design->MakeCollectable(signal)),
       design->GetSignalPropertyValue(signal, "Name")},
      {"net", design->MakeCollectable(net), !design->GetNetworkOf(design->MakeCollectable(net)),
       design->GetNetPropertyValue(net, "Name")},
  };
  for (const auto& hidden : kHidden) {
    ASSERT_TRUE(hidden.coll) << hidden.what;
    EXPECT_EQ(hidden.coll->IsStale(), 1u) << hidden.what;
    EXPECT_TRUE(hidden.unwrapped) << hidden.what;
    EXPECT_FALSE(hidden.name) << hidden.what;
  }
  Xdm_ViewEditor editor(*design->GetView());
  editor.RemoveNetwork(design.Net("both"));
  EXPECT_EQ(ListNames(design.Coll(""), "Nets"), Names{});
}

TEST_F(DesignColls, NetPinsSignalsAndFanout) {
  OpenDesign design(Demo());
  CollPtr net = NetOf(design, "count<0>");
  EXPECT_EQ(Text(net, "Name"), "count<0>");
  // Terminal pins only: the comp and module pins that pass the net on are left out.
  EXPECT_EQ(ListNames(net, "Pins"), (Names{"O", "A1", "Q", "A1"}));
  EXPECT_EQ(ListNames(net, "Signals"), (Names{"count<0>", "q0_i", "aq"}));
  EXPECT_EQ(Get(net, "Fanout").integer, 3);  // the output Q does not count
}

TEST_F(DesignColls, MaxDelayWaitsForTheDelayMediator) {
  OpenDesign design(Demo());
  EXPECT_EQ(Number(NetOf(design, "clk"), "Max Delay"), std::to_string(-1.0));
  ASSERT_NE(design->GetDelayMediator(), nullptr);
  EXPECT_EQ(Number(NetOf(design, "clk"), "Max Delay"), std::to_string(2.5));
  EXPECT_EQ(Number(NetOf(design, "din"), "Max Delay"), std::to_string(0.6));        // estimated
  EXPECT_EQ(Number(NetOf(design, "count<1>"), "Max Delay"), std::to_string(-1.0));  // none
  EXPECT_EQ(Number(NetOf(design, "clk_pad"), "Max Delay"), std::to_string(-1.0));   // not routable
}

TEST_F(DesignColls, PinConnectionsAndDirection) {
  OpenDesign design(Demo());
  CollPtr clk = PinOf(design, "u_cnt/c0", "CLK");
  EXPECT_EQ(Text(clk, "Name"), "CLK");
  EXPECT_EQ(Text(clk, "Full Name"), "u_cnt/c0/CLK");
  EXPECT_EQ(Text(clk, "Direction"), "Input");
  EXPECT_EQ(NameOf(Get(clk, "Signal").AsColl()), "clk_i");
  EXPECT_EQ(NameOf(Get(clk, "Child Signal").AsColl()), "clk_c");
  EXPECT_EQ(NameOf(Get(clk, "Net").AsColl()), "clk");
  EXPECT_EQ(NameOf(Get(clk, "Block").AsColl()), "c0");
  EXPECT_EQ(Text(clk, "Is Clock"), "true");
  EXPECT_EQ(Text(clk, "Status"), "Routed");
  EXPECT_EQ(Text(PinOf(design, "dout", "PAD"), "Direction"), "InOut");
  EXPECT_EQ(Text(PinOf(design, "u_cnt/c0", "AQ"), "Direction"), "Output");
  CollPtr open = PinOf(design, "u_cnt/c0/CARRY4", "CO3");  // no signal
  for (const char* name : {"Signal", "Child Signal", "Net"}) {
    const Value v = Get(open, name);
    EXPECT_TRUE(v.found) << name;
    EXPECT_FALSE(v.object) << name;
  }
  EXPECT_EQ(Text(open, "Status"), "");
}

TEST_F(DesignColls, PinDelaysAndSkews) {
  OpenDesign design(Demo());
  CollPtr compPin = PinOf(design, "u_cnt/c0", "CLK");
  CollPtr belPin = PinOf(design, "u_cnt/c0/AFF", "CK");
  EXPECT_EQ(Number(compPin, "Max Delay"), std::to_string(-1.0));
  design->GetDelayMediator();
  EXPECT_EQ(Number(compPin, "Max Delay"), std::to_string(2.4));
  EXPECT_EQ(Number(compPin, "Skew Value"), std::to_string(0.1));
  // A bel pin stands on the comp pin of its signal.
  EXPECT_EQ(Number(belPin, "Max Delay"), std::to_string(2.4));
  EXPECT_EQ(Number(belPin, "Skew Value"), std::to_string(0.1));
  EXPECT_EQ(Number(PinOf(design, "u_cnt/c0/CARRY4", "CO3"), "Max Delay"), std::to_string(-1.0));
  EXPECT_EQ(Number(PinOf(design, "u_cnt/c0/CARRY4", "CO3"), "Skew Value"), std::to_string(-1.0));
}

TEST_F(DesignColls, PinClockRegions) {
  OpenDesign design(Demo());
  CollPtr placed = PinOf(design, "u_cnt/c0", "CLK");
  EXPECT_FALSE(Get(placed, "Clock Region").object);  // no route mediator yet
  design->GetRouteMediator();
  CollPtr region = Get(placed, "Clock Region").AsColl();
  EXPECT_EQ(NameOf(region), "X0Y0");
  EXPECT_EQ(TypeName(region), "ncd_clock_region");
  EXPECT_EQ(NameOf(Get(PinOf(design, "hm0/c1", "B1"), "Clock Region").AsColl()), "X1Y1");
}

// A site's clock-region text decides: a region the device has, a text
// naming none, "None", or no site at all.
TEST_F(DesignColls, PinClockRegionsFollowTheSiteText) {
  const std::string path = dir.Write("regions.ncd.json", R"({"format": "ncd-json", "version": 1, "part": "regions-part",
    "device": {"clock_regions": ["R0"], "cell_types": [{"name": "T", "modes": []}],
      "cells": [{"name": "A", "type": "T", "clock_region": "R0"},
                {"name": "B", "type": "T", "clock_region_text": "X9Y9"},
                {"name": "C", "type": "T", "clock_region_text": "None"},
                {"name": "D", "type": "T"}]},
    "top": {"name": "t", "level": 0, "blocks": [
      {"name": "a", "level": 3, "site": "A", "pins": [{"name": "P"}]},
      {"name": "b", "level": 3, "site": "B", "pins": [{"name": "P"}]},
      {"name": "c", "level": 3, "site": "C", "pins": [{"name": "P"}]},
      {"name": "d", "level": 3, "site": "D", "pins": [{"name": "P"}]},
      {"name": "e", "level": 3, "pins": [{"name": "P"}]}]}})");
  OpenDesign design(path);
  design->GetRouteMediator();
  EXPECT_EQ(NameOf(Get(PinOf(design, "a", "P"), "Clock Region").AsColl()), "R0");
  for (const char* block : {"b", "c", "d", "e"}) {
    const Value region = Get(PinOf(design, block, "P"), "Clock Region");
    EXPECT_TRUE(region.found) << block;
    EXPECT_FALSE(region.object) << block;
  }
}

TEST_F(DesignColls, Signals) {
  OpenDesign design(Demo());
  CollPtr signal = design->MakeCollectable(design.Signal("u_cnt", "clk_i"));
  EXPECT_EQ(TypeName(signal), "ncd_signal");
  EXPECT_EQ(Text(signal, "Full Name"), "u_cnt/clk_i");
  EXPECT_EQ(Text(signal, "Color"), "TBD");
  EXPECT_EQ(NameOf(Get(signal, "Net").AsColl()), "clk");
  EXPECT_EQ(ListNames(signal, "Pins"), (Names{"CLK", "CLK"}));
  EXPECT_EQ(NameOf(Get(signal, "Parent").AsColl()), "u_cnt");
  EXPECT_EQ(Text(signal, "Icon Name"), "utilc-ncdsignal");
}

TEST_F(DesignColls, Rpms) {
  OpenDesign design(Demo());
  CollPtr top = design.Coll("");
  EXPECT_EQ(ListNames(top, "RPMs"), (Names{"rpm_cnt", "hm0_area", "stale_area"}));
  const std::vector<CollPtr> rpms = ListItems(top, "RPMs");
  EXPECT_EQ(Text(rpms[0], "Subtype"), "User");
  EXPECT_EQ(Text(rpms[1], "Subtype"), "Tool");
  EXPECT_EQ(Text(rpms[0], "Full Name"), "rpm_cnt");
  EXPECT_EQ(NameOf(Get(rpms[0], "Reference Block").AsColl()), "c0");
  EXPECT_EQ(ListNames(rpms[0], "Members"), (Names{"c0", "c1"}));
  EXPECT_EQ(ListNames(rpms[2], "Members"), Names{});  // members unavailable
  EXPECT_FALSE(Get(rpms[2], "Reference Block").object);
  EXPECT_EQ(Text(rpms[0], "Icon Name"), "utilc-block");
}

TEST_F(DesignColls, RpmOfADeletedShapeIsStale) {
  OpenDesign design(Demo());
  const std::vector<CollPtr> rpms = ListItems(design.Coll(""), "RPMs");
  Xdm_PropertyHolder* holder = design->GetRpmOf(rpms[1]);
  ASSERT_NE(holder, nullptr);
  Xdm_ViewEditor(*design->GetView()).RemoveShape(holder);
  EXPECT_EQ(rpms[1]->IsStale(), 1u);
  EXPECT_EQ(rpms[0]->IsStale(), 0u);
  EXPECT_EQ(design->GetRpmOf(rpms[1]), nullptr);
  // A collectable that wraps nothing is stale, even where a shape has no
  // native object either, and answers no property.
  Xdm_ViewEditor(*design->GetView()).InsertShapeWithoutObject(0);
  CollPtr empty = design->MakeCollectable(static_cast<const Xdm_PropertyHolder*>(nullptr));
  EXPECT_EQ(empty->IsStale(), 1u);
  EXPECT_FALSE(Get(empty, "Name").found);
  EXPECT_EQ(ListNames(design.Coll(""), "RPMs"), (Names{"<stale>", "rpm_cnt", "stale_area"}));
}

TEST_F(DesignColls, TopLists) {
  OpenDesign design(Demo());
  CollPtr top = design.Coll("");
  EXPECT_EQ(ListNames(top, "Nets").size(), 17u);
  EXPECT_EQ(ListNames(top, "nets"), ListNames(top, "NETS"));
  EXPECT_EQ(ListNames(top, "Probes"), Names{});
  EXPECT_FALSE(Get(top, "Net").found);
  EXPECT_FALSE(Get(top, "Parent").object);
}

TEST_F(DesignColls, ObjectsOfCollectablesByKind) {
  OpenDesign design(Demo());
  CollPtr net = NetOf(design, "clk");
  EXPECT_EQ(design->GetNetworkOf(net), design.Net("clk"));
  EXPECT_EQ(design->GetBlockOf(net), nullptr);
  EXPECT_EQ(design->GetPinOf(net), nullptr);
  EXPECT_EQ(design->GetPinOf(PinOf(design, "u_cnt/c0", "CLK")), design.Pin("u_cnt/c0", "CLK"));
  EXPECT_EQ(design->GetSignalOf(design->MakeCollectable(design.Signal("u_cnt", "clk_i"))),
            design.Signal("u_cnt", "clk_i"));
  EXPECT_EQ(design->GetNetworkOf({}), nullptr);
  ValuePtr status = design->GetNetPropertyValue(design.Net("clk"), "Status");
  EXPECT_EQ(Read(status).text, "Routed");
  EXPECT_EQ(design->GetTypeCode1(design.Block("u_cnt/c0")), 0xFFFFFFFFu);
}

}  // namespace
