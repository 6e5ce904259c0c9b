// What clients may see of a design, net pin counts, and the IOB questions.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "NcdGen.h"
#include "Port_MsgManData.h"
#include "Port_Thr.h"
#include "SharedNcdTestDesign.h"
#include "Xdm_Pin.h"
#include "Xdm_ViewEditor.h"

namespace {

using namespace ncdtest;

// hm (netlist security) and hm2 (configuration security) hide their comps,
// comp s (configuration security) its bel. Net "front" has a visible signal
// first and a hidden one last, "back" the other way round. Net q has a
// driver, three loads and an output port; io a bidirectional pad, an
// output, an input and a hidden implicit input.
DesignPtr VisibilityDesign() {
  return Load(
      R"({"name": "vcc", "type": "power", "master": true}, {"name": "vcc2", "type": "power"},
    {"name": "gnd", "type": "ground", "master": true}, {"name": "gnd2", "type": "ground"},
    {"name": "front"}, {"name": "back"}, {"name": "hidden"}, {"name": "lonely"}, {"name": "empty"},
    {"name": "q"}, {"name": "io"})",
      R"({"name": "t", "level": 0, "pins": [{"name": "q", "dir": "output", "child_signal": "q"}],
    "signals": [{"name": "front", "net": "front"}, {"name": "lonely", "net": "lonely"},
      {"name": "v2", "net": "vcc2"}, {"name": "g2", "net": "gnd2"}, {"name": "q", "net": "q"},
      {"name": "io", "net": "io"}],
    "blocks": [
     {"name": "hm", "level": 2, "netlist_security": 1, "signals": [{"name": "front_h", "net": "front"},
        {"name": "back_h", "net": "back"}, {"name": "hid_h", "net": "hidden"}],
      "pins": [{"name": "P", "signal": "front", "child_signal": "front_h"}],
      "blocks": [{"name": "hc", "level": 3, "pins": [{"name": "B", "signal": "front_h"},
          {"name": "C", "signal": "back_h"}, {"name": "D", "signal": "hid_h"}],
        "blocks": [{"name": "lut", "level": 4, "pins": [{"name": "X"}]}]}]},
     {"name": "hm2", "level": 2, "config_security": 1, "blocks": [{"name": "hc2", "level": 3}]},
     {"name": "m", "level": 1, "signals": [{"name": "back_m", "net": "back"}],
      "blocks": [{"name": "mc", "level": 3, "pins": [{"name": "A", "signal": "back_m"}]}]},
     {"name": "e", "level": 3, "pins": [{"name": "A", "signal": "front"},
        {"name": "PAD", "implicit": true, "pad": true}, {"name": "V2", "signal": "v2"},
        {"name": "G2", "signal": "g2"}],
      "blocks": [{"name": "eb", "level": 4, "pins": [{"name": "PAD", "implicit": true, "pad": true},
          {"name": "I", "implicit": true}, {"name": "O", "dir": "output"}]}]},
     {"name": "s", "level": 3, "config_security": 1,
      "blocks": [{"name": "sb", "level": 4, "pins": [{"name": "O", "dir": "output"}]}]},
     {"name": "d0", "level": 3, "pins": [{"name": "Q", "dir": "output", "signal": "q"},
        {"name": "O", "dir": "output", "signal": "io"}]},
     {"name": "l1", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
     {"name": "l2", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
     {"name": "l3", "level": 3, "pins": [{"name": "A", "signal": "q"}, {"name": "B", "signal": "io"},
        {"name": "IMP", "implicit": true, "signal": "io"}]},
     {"name": "iob", "level": 3, "external": true,
      "pins": [{"name": "PAD", "dir": "bidir", "pad": true, "signal": "io"}]}]})");
}

template <class Expected, class Ask>
void ExpectAll(const Expected& expected, Ask ask) {
  for (const auto& [name, value] : expected)
    EXPECT_EQ(ask(name), value) << name;
}

TEST(SharedNcdVisibility, SecurityHidesTheContentsOfTheSecuredBlockOnly) {
  DesignPtr d = VisibilityDesign();
  const std::pair<const char*, CitI::Result> blocks[] = {
      {"", 1},     {"hm", 1},   {"hm/hc", 0}, {"hm/hc/lut", 1}, {"hm2/hc2", 0},
      {"m/mc", 1}, {"e/eb", 1}, {"s", 1},     {"s/sb", 0}};
  ExpectAll(blocks, [&](const char* path) { return d->IsBlockVisible(Block(*d, path)); });
  const std::pair<const char*, bool> comps[] = {{"hm/hc", false}, {"hm2/hc2", false},
                                                {"e", true},      {"s", true},
                                                {"e/eb", false},  {"hm", false}};
  ExpectAll(comps, [&](const char* path) { return d->IsCompVisible(Block(*d, path)); });
  const std::pair<const char*, CitI::Result> pins[] = {
      {"hm/P", 1},     {"hm/hc/B", 0}, {"hm/hc/lut/X", 1}, {"e/A", 1},   {"e/PAD", 0},
      {"e/eb/PAD", 1}, {"e/eb/I", 0},  {"e/eb/O", 1},      {"s/sb/O", 0}};
  ExpectAll(pins, [&](const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return d->IsPinVisible(Pin(*d, path.substr(0, slash), path.substr(slash + 1).c_str()));
  });
  EXPECT_EQ(d->IsBlockVisible(nullptr) + d->IsPinVisible(nullptr) + d->IsCompVisible(nullptr), 0u);
}

TEST(SharedNcdVisibility, SignalsAndNetsNeedAVisiblePinAndSupplyNetsMustBeMasters) {
  DesignPtr d = VisibilityDesign();
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "", "front")), 1u);
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "hm", "front_h")), 0u);  // its holder is secured
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "", "lonely")), 0u);
  const std::pair<const char*, CitI::Result> nets[] = {{"vcc", 1},    {"vcc2", 0},   {"gnd", 1},
                                                       {"gnd2", 0},   {"front", 1},  {"back", 1},
                                                       {"hidden", 0}, {"lonely", 0}, {"empty", 0}};
  ExpectAll(nets, [&](const char* name) { return d->IsNetVisible(Net(*d, name)); });
  EXPECT_EQ(d->IsSignalVisible(nullptr) + d->IsNetVisible(nullptr), 0u);
}

TEST(SharedNcdVisibility, NetAnswersAreKeptAcrossGrowthAndUnknownOnesEvaluatedOnDemand) {
  DesignPtr d = VisibilityDesign();
  EXPECT_EQ(d->IsNetVisible(Net(*d, "front")), 1u);
  Xdm_ViewEditor editor(*d->GetView());
  editor.RemovePin(Pin(*d, "e", "A"));
  editor.RemovePin(Pin(*d, "hm", "P"));
  editor.RemovePin(Pin(*d, "m/mc", "A"));
  editor.GrowMaxNetworks(d->GetView()->GetMaxNetworks() + 40);
  EXPECT_EQ(d->IsNetVisible(Net(*d, "front")), 1u);  // known before the edit
  EXPECT_EQ(d->IsNetVisible(Net(*d, "back")), 0u);   // first asked after it
}

// Ids beyond the maxima of the visibility design: from a design of 40 nets
// and comps.
TEST(SharedNcdVisibility, IdsBeyondTheViewsMaximumAreAnsweredUncached) {
  std::string nets, signals, blocks;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i), comma = i ? ", " : "";
    nets += comma + R"({"name": "n)" + n + R"("})";
    signals += comma + R"({"name": "s)" + n + R"(", "net": "n)" + n + R"("})";
    blocks += comma + R"({"name": "c)" + n +
              R"(", "level": 3, "pins": [{"name": "A", "signal": "s)" + n + R"("}]})";
  }
  DesignPtr big = Load(nets, R"({"name": "t", "level": 0, "signals": [)" + signals +
                                 R"(], "blocks": [)" + blocks + "]}");
  DesignPtr d = VisibilityDesign();
  Xdm_Network* far = Net(*big, "n39");
  ASSERT_GE(Xdm_BridgeId::GetBridgeId(far), d->GetView()->GetMaxNetworks());
  EXPECT_EQ(d->IsNetVisible(far), 1u);
  Xdm_ViewEditor(*big->GetView()).RemovePin(Pin(*big, "c39", "A"));
  EXPECT_EQ(d->IsNetVisible(far), 0u);
  EXPECT_EQ(d->IsBlockVisible(Block(*big, "c39")), 1u);
  EXPECT_EQ(d->GetPinCount(far), 0u);
}

TEST(SharedNcdPinCount, CountsVisibleTerminalInputsAndBidirsOnceThenKeepsTheCount) {
  DesignPtr d = VisibilityDesign();
  const std::pair<const char*, std::uint32_t> nets[] = {{"q", 3}, {"io", 2}, {"front", 1}};
  ExpectAll(nets, [&](const char* name) { return d->GetPinCount(Net(*d, name)); });
  Xdm_ViewEditor editor(*d->GetView());
  editor.RemovePin(Pin(*d, "l1", "A"));
  editor.GrowMaxNetworks(d->GetView()->GetMaxNetworks() + 5);
  EXPECT_EQ(d->GetPinCount(Net(*d, "q")), 3u);
  EXPECT_EQ(d->GetPinCount(nullptr) + NewDesign("unloaded")->GetPinCount(Net(*d, "q")), 0u);
}

// din's input register net: iffA (CK without signal) ends the walk of the
// top signal before iffB; the module's signal then leads to iffC.
DesignPtr IoDesign() {
  const std::string iob = R"("level": 3, "external": true,
      "io": {"input_standard": "LVCMOS25", "output_standard": "LVDS_25"}, "pins": [)";
  std::string nets, signals;
  for (const char* n : {"din", "dout", "dio", "dq", "din_i", "dio_i", "dq_o", "clk", "clkm", "lvds",
                        "lvds2", "solo", "self", "lone"}) {
    const std::string comma = nets.empty() ? "" : ", ";
    nets += comma + R"({"name": ")" + n + R"("})";
    signals += comma + R"({"name": ")" + n + R"(", "net": ")" + n + R"("})";
  }
  return Load(nets, R"({"name": "t", "level": 0, "signals": [)" + signals + R"(],
    "pins": [{"name": "din", "child_signal": "din"},
      {"name": "dout", "dir": "output", "child_signal": "dout"},
      {"name": "dio", "dir": "bidir", "child_signal": "dio"}],
    "blocks": [
     {"name": "din", )" +
                        iob + R"({"name": "PAD", "pad": true, "signal": "din"},
       {"name": "I", "dir": "output", "signal": "din_i"}]},
     {"name": "dout", )" +
                        iob + R"({"name": "O", "signal": "dq_o"},
       {"name": "PAD", "dir": "output", "pad": true, "signal": "dout"}]},
     {"name": "dio", )" +
                        iob + R"({"name": "PAD", "dir": "bidir", "pad": true, "signal": "dio"},
       {"name": "I", "dir": "output", "signal": "dio_i"}]},
     {"name": "dq", )" + iob +
                        R"({"name": "PAD", "pad": true, "signal": "dq"}]},
     {"name": "notiob", "level": 3, "pins": [{"name": "PAD", "pad": true, "signal": "din"},
       {"name": "I", "dir": "output", "signal": "dio_i"}, {"name": "PADOUT", "signal": "lvds"}]},
     {"name": "m", "level": 1, "pins": [{"name": "dq", "signal": "dq"}],
      "signals": [{"name": "din_m", "net": "din_i"}, {"name": "clk_m", "net": "clkm"}],
      "blocks": [{"name": "iffC", "level": 3, "type": "ILOGIC_IFF",
        "pins": [{"name": "D", "signal": "din_m"}, {"name": "CK", "signal": "clk_m"}]}]},
     {"name": "iffA", "level": 3, "type": "ILOGIC_IFF",
      "pins": [{"name": "D", "signal": "din_i"}, {"name": "CK"}]},
     {"name": "iffB", "level": 3, "type": "ILOGIC_IFF",
      "pins": [{"name": "DDLY", "signal": "din_i"}, {"name": "CK", "signal": "clk"}]},
     {"name": "iffD", "level": 3, "type": "ILOGIC_IFF",
      "pins": [{"name": "DDLY", "signal": "dio_i"}, {"name": "CK", "signal": "clk"}]},
     {"name": "off", "level": 3, "type": "OLOGIC_OUTFF",
      "pins": [{"name": "Q", "dir": "output", "signal": "dq_o"}, {"name": "CK", "signal": "clk"}]},
     {"name": "rej1", "level": 3, "external": true, "io": {"reject": "invalid_type"}},
     {"name": "rej2", "level": 3, "external": true, "io": {"reject": "corrupt_database"}},
     {"name": "lp", "level": 3, "external": true, "pins": [{"name": "PADOUT", "signal": "lvds"}]},
     {"name": "ln", "level": 3, "external": true, "pins": [{"name": "DIFFI_IN", "signal": "lvds"}]},
     {"name": "op", "level": 3, "external": true, "pins": [{"name": "DIFFO_OUT", "signal": "lvds2"}]},
     {"name": "on", "level": 3, "external": true, "pins": [{"name": "DIFFO_IN", "signal": "lvds2"}]},
     {"name": "self", "level": 3, "external": true,
      "pins": [{"name": "DIFFO_OUT", "signal": "self"}, {"name": "DIFFO_IN", "signal": "self"}]},
     {"name": "single", "level": 3, "external": true, "pins": [{"name": "PADOUT", "signal": "solo"}]},
     {"name": "lone_in", "level": 3, "external": true, "pins": [{"name": "DIFFO_IN", "signal": "lone"}]},
     {"name": "lone_other", "level": 3, "external": true,
      "pins": [{"name": "DIFFI_IN", "signal": "lone"}, {"name": "PAD", "signal": "lone"}]}
    ]})");
}

// Networks enough for a pass over all of them to count at once, with pins
// of every kind: inputs, bidirectional and implicit pins (a pad among
// them), outputs, pins that pass a net into a block, and comps whose
// security (every seventh) hides their bels' pins.
DesignPtr PinKindsDesign() {
  std::string nets;
  std::string signals;
  std::string blocks;
  for (int k = 0; k < 1200; ++k) {
    const std::string n = std::to_string(k);
    nets += (k ? ", " : "") + std::string(R"({"name": "n)") + n + R"("})";
    signals +=
        (k ? ", " : "") + std::string(R"({"name": "s)") + n + R"(", "net": "n)" + n + R"("})";
    blocks += (k ? ", " : "") + std::string(R"({"name": "c)") + n + R"(", "level": 3)" +
              (k % 7 ? "" : R"(, "netlist_security": 1)") +
              R"(, "signals": [{"name": "i", "net": "n)" + n +
              R"("}], "pins": [{"name": "A", "signal": "s)" + n +
              R"("}, {"name": "B", "dir": "bidir", "signal": "s)" + n +
              R"("}, {"name": "O", "dir": "output", "signal": "s)" + n +
              R"("}, {"name": "I", "implicit": true, "signal": "s)" + n +
              R"("}, {"name": "T", "signal": "s)" + n + R"(", "child_signal": "i"}],
      "blocks": [{"name": "b", "level": 4, "pins": [{"name": "X", "signal": "i"},
        {"name": "Y", "dir": "bidir", "signal": "i"},
        {"name": "P", "dir": "bidir", "implicit": true, "pad": true, "signal": "i"}]}]})";
  }
  return Load(nets, R"({"name": "t", "level": 0, "signals": [)" + signals + R"(], "blocks": [)" +
                        blocks + "]}");
}

DesignPtr GeneratedDesign(std::uint64_t seed) {
  const std::string path = std::filesystem::temp_directory_path() /
                           ("s_design_test_gen_" + std::to_string(getpid()) + ".json");
  {
    std::ofstream out(path, std::ios::binary);
    NcdGen::WriteDesign({6000, seed}, out);
  }
  DesignPtr design = LoadFile(path);
  std::filesystem::remove(path);
  return design;
}

// Edits of every kind, spread over the view.
void EditAllOver(Xdm_View& view) {
  Xdm_ViewEditor editor(view);
  std::vector<Xdm_Network*> nets;
  for (Xdm_Network* net : view.GetNetworkItr())
    nets.push_back(net);
  editor.RemoveNetwork(nets[5]);
  editor.ReplaceNetwork(nets[7]);
  editor.RemoveBlock(view.GetBlock()->GetBlocks()[3]);
  for (std::uint32_t id = 0; id < view.GetMaxPins(); id += 97) {
    if (Xdm_Pin* pin = view.GetPinByBridgeId(id)) editor.RemovePin(pin);
  }
  for (std::uint32_t id = 1; id < view.GetMaxSignals(); id += 89) {
    if (Xdm_Signal* signal = view.GetSignalByBridgeId(id)) editor.RemoveSignal(signal);
  }
}

// A network's terminal loads read from its own signals and pins.
std::uint32_t LoadsOf(SharedNcd& d, const Xdm_Network* net) {
  std::uint32_t loads = 0;
  for (const Xdm_Signal* signal : net->GetSignalItr()) {
    for (const Xdm_Pin* pin : signal->GetPinItr())
      loads += (pin->IsBlockInput() || pin->IsBlockBidir()) && d.IsTerminalPin(pin);
  }
  return loads;
}

// A pass over every network counts most of them at once, walking the pins
// in the view's order (by the view's signal and network ids, kept through
// edits); networks asked first are counted alone, a large one only until
// the pins walked alone reach their share. Every count, asked in the
// networks' order or first of all, must be the network's own.
TEST(SharedNcdPinCount, CountsOfAPassOverEveryNetworkAreThoseOfEachAlone) {
  int largeViews = 0;
  for (DesignPtr (*make)() : {+[] { return PinKindsDesign(); }, +[] { return GeneratedDesign(1); },
                              +[] { return GeneratedDesign(2); }}) {
    DesignPtr d = make();
    ASSERT_NE(d->GetView(), nullptr);
    EditAllOver(*d->GetView());
    std::vector<std::uint32_t> own;
    std::uint32_t loads = 0;
    for (Xdm_Network* net : d->GetView()->GetNetworkItr()) {
      own.push_back(LoadsOf(*d, net));
      loads += own.back();
      DesignPtr fresh = NewDesign("first");
      fresh->SetView(d->GetView());
      EXPECT_EQ(fresh->GetPinCount(net), own.back()) << net->GetName();
      fresh->SetView(nullptr);
    }
    ASSERT_GT(own.size(), 1100u);
    std::size_t i = 0;
    for (Xdm_Network* net : d->GetView()->GetNetworkItr())
      EXPECT_EQ(d->GetPinCount(net), own[i++]) << net->GetName();
    EXPECT_GT(loads, 2 * i);
    if (d->GetView()->GetMaxPins() < SharedNcd::kPinsForTwoThreads) continue;
    // A large view's pass reads half the pins on a second thread; without
    // it, or when joining it fails, the counts are the same.
    for (Port_ThrFault::Op fault : {Port_ThrFault::Op::Create, Port_ThrFault::Op::Join}) {
      DesignPtr fresh = NewDesign("faulted");
      fresh->SetView(d->GetView());
      Port_ThrFault::Fail(fault, fault == Port_ThrFault::Op::Create
                                     ? Port_ThrException::CreateFailed
                                     : Port_ThrException::NoSuchThread);
      i = 0;
      for (Xdm_Network* net : d->GetView()->GetNetworkItr())
        EXPECT_EQ(fresh->GetPinCount(net), own[i++]) << net->GetName();
      EXPECT_EQ(Port_ThrFault::Take(fault), 0) << "the pass did not start a thread";
      Port_ThrFault::Disarm();
      fresh->SetView(nullptr);
    }
    ++largeViews;
  }
  EXPECT_EQ(largeViews, 2);
}

TEST(SharedNcdIo, DirectionClockAndDiffPairsOfIobs) {
  DesignPtr d = IoDesign();
  const std::tuple<const char*, const char*, const char*, const char*> iobs[] = {
      {"din", "Input", "LVCMOS25", "clk_m"},
      {"dout", "Output", "LVDS_25", "clk"},
      {"dio", "InOut", "LVDS_25", "clk"},
      {"dq", "", "LVDS_25", ""},
      {"notiob", "", "", ""}};
  for (const auto& [name, direction, standard, clock] : iobs) {
    EXPECT_STREQ(d->GetIoDirection(Block(*d, name)), direction) << name;
    EXPECT_STREQ(d->GetIoStandard(Block(*d, name)), standard) << name;
    EXPECT_STREQ(d->GetIobClockName(Block(*d, name)), clock) << name;
  }
  // "lone_in" and "lone_other" share a net with each other's pair pins but
  // not with their own partners: a partner table that pairs a pin with the
  // wrong name (or with itself) would make one of them a pair.
  const std::pair<const char*, CitI::Result> pairs[] = {
      {"lp", 1},     {"ln", 1},     {"op", 1},  {"on", 1},      {"self", 1},
      {"single", 0}, {"notiob", 0}, {"din", 0}, {"lone_in", 0}, {"lone_other", 0}};
  ExpectAll(pairs, [&](const char* name) { return d->IsDiffPairIob(Block(*d, name)); });
}

// Answers Input for every block, or throws a plain exception.
class OddDirections : public SharedNcd {
 public:
  using SharedNcd::SharedNcd;
  Port::StringBase GetIoDirection(const Pds_PdmBlock*) override {
    if (fail) throw std::runtime_error("odd");
    return "Input";
  }
  bool fail = false;
};

TEST(SharedNcdIo, RejectedIoUsageIsReportedAndAnswersEmpty) {
  DesignPtr d = IoDesign();
  Port_MsgCapture capture;
  EXPECT_STREQ(d->GetIoStandard(Block(*d, "rej1")), "");
  EXPECT_STREQ(d->GetIoStandard(Block(*d, "rej2")), "");
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "block 'rej1' is not of a type with IO usage"), 1u);
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "IO usage of block 'rej2' is corrupt"), 1u);

  auto* odd = new OddDirections(UtilC::SharedNcd::Key("odd", {}));
  DesignPtr holder(odd);
  EXPECT_STREQ(odd->GetIoStandard(Block(*d, "dout")), "LVCMOS25");  // asks the object
  odd->fail = true;
  capture.take();
  EXPECT_STREQ(odd->GetIoStandard(Block(*d, "dout")), "");
  const std::vector<Port_Msg> messages = capture.take();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].kind, Port_MsgKind::Internal);
  EXPECT_EQ(messages[0].component, "UtilitiesC");
  EXPECT_EQ(messages[0].source, "UtilC_SharedNcdMsg");
  EXPECT_EQ(messages[0].text, "Unhandle Exception at UtilC_SharedNcd:1147\n");
}

}  // namespace
