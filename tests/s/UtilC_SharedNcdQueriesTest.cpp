// What clients may see of a design, net pin counts, and the IOB questions.
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "Port_MsgManData.h"
#include "SharedNcdTestDesign.h"
#include "Xdm_ViewEditor.h"

namespace {

using namespace ncdtest;

// hm (netlist security) and hm2 (configuration security) hide their comps;
// comp s (configuration security) hides its bel. Net "front" has a visible
// signal first and a hidden one last, "back" the other way round.
DesignPtr VisibilityDesign() {
  return Load(
      R"({"name": "vcc", "type": "power", "master": true}, {"name": "vcc2", "type": "power"},
      {"name": "gnd", "type": "ground", "master": true}, {"name": "gnd2", "type": "ground"},
      {"name": "front"}, {"name": "back"}, {"name": "hidden"}, {"name": "lonely"}, {"name": "empty"})",
      R"({"name": "t", "level": 0,
      "signals": [{"name": "front", "net": "front"}, {"name": "lonely", "net": "lonely"},
                  {"name": "v2", "net": "vcc2"}, {"name": "g2", "net": "gnd2"}],
      "blocks": [
       {"name": "hm", "level": 2, "netlist_security": 1,
        "signals": [{"name": "front_h", "net": "front"}, {"name": "back_h", "net": "back"},
                    {"name": "hid_h", "net": "hidden"}],
        "pins": [{"name": "P", "signal": "front", "child_signal": "front_h"}],
        "blocks": [{"name": "hc", "level": 3, "type": "SLICEL",
                    "pins": [{"name": "B", "signal": "front_h"}, {"name": "C", "signal": "back_h"},
                             {"name": "D", "signal": "hid_h"}],
                    "blocks": [{"name": "lut", "level": 4, "type": "A6LUT", "pins": [{"name": "X"}]}]}]},
       {"name": "hm2", "level": 2, "config_security": 1, "blocks": [{"name": "hc2", "level": 3}]},
       {"name": "m", "level": 1, "signals": [{"name": "back_m", "net": "back"}],
        "blocks": [{"name": "mc", "level": 3, "pins": [{"name": "A", "signal": "back_m"}]}]},
       {"name": "e", "level": 3, "type": "SLICEL",
        "pins": [{"name": "A", "signal": "front"}, {"name": "PAD", "implicit": true, "pad": true},
                 {"name": "V2", "signal": "v2"}, {"name": "G2", "signal": "g2"}],
        "blocks": [{"name": "eb", "level": 4, "type": "A6LUT",
                    "pins": [{"name": "PAD", "implicit": true, "pad": true},
                             {"name": "I", "implicit": true}, {"name": "O", "dir": "output"}]}]},
       {"name": "s", "level": 3, "config_security": 1,
        "blocks": [{"name": "sb", "level": 4, "pins": [{"name": "O", "dir": "output"}]}]}]})");
}

TEST(SharedNcdVisibility, SecurityHidesTheContentsOfTheSecuredBlockOnly) {
  DesignPtr d = VisibilityDesign();
  const std::pair<const char*, CitI::Result> blocks[] = {
      {"", 1},      {"hm", 1},   {"hm/hc", 0}, {"hm/hc/lut", 1}, {"hm2/hc2", 0}, {"m/mc", 1},
      {"e/eb", 1},  {"s", 1},    {"s/sb", 0},
  };
  for (const auto& [path, visible] : blocks) EXPECT_EQ(d->IsBlockVisible(Block(*d, path)), visible) << path;
  const std::pair<const char*, bool> comps[] = {
      {"hm/hc", false}, {"hm2/hc2", false}, {"e", true}, {"s", true}, {"e/eb", false}, {"hm", false},
  };
  for (const auto& [path, visible] : comps) EXPECT_EQ(d->IsCompVisible(Block(*d, path)), visible) << path;
  EXPECT_EQ(d->IsBlockVisible(nullptr), 0u);
  EXPECT_FALSE(d->IsCompVisible(nullptr));
}

TEST(SharedNcdVisibility, PinsFollowTheirBlocksParentAndOnlyBelPadsOfTheImplicitOnes) {
  DesignPtr d = VisibilityDesign();
  const std::tuple<const char*, const char*, CitI::Result> pins[] = {
      {"hm", "P", 1},      {"hm/hc", "B", 0},  {"hm/hc/lut", "X", 1}, {"e", "A", 1},
      {"e", "PAD", 0},     {"e/eb", "PAD", 1}, {"e/eb", "I", 0},      {"e/eb", "O", 1},
      {"s/sb", "O", 0},
  };
  for (const auto& [path, name, visible] : pins) {
    EXPECT_EQ(d->IsPinVisible(Pin(*d, path, name)), visible) << path << "/" << name;
  }
  EXPECT_EQ(d->IsPinVisible(nullptr), 0u);
}

TEST(SharedNcdVisibility, SignalsAndNetsNeedAVisiblePinAndSupplyNetsMustBeMasters) {
  DesignPtr d = VisibilityDesign();
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "", "front")), 1u);
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "hm", "front_h")), 0u);  // its holder is secured
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "m", "back_m")), 1u);
  EXPECT_EQ(d->IsSignalVisible(Signal(*d, "", "lonely")), 0u);
  EXPECT_EQ(d->IsSignalVisible(nullptr), 0u);
  const std::pair<const char*, CitI::Result> nets[] = {
      {"vcc", 1},   {"vcc2", 0},  {"gnd", 1},    {"gnd2", 0},  {"front", 1},
      {"back", 1},  {"hidden", 0}, {"lonely", 0}, {"empty", 0},
  };
  for (const auto& [name, visible] : nets) EXPECT_EQ(d->IsNetVisible(Net(*d, name)), visible) << name;
  EXPECT_EQ(d->IsNetVisible(nullptr), 0u);
}

TEST(SharedNcdVisibility, NetAnswersAreKeptAcrossGrowthAndUnknownOnesEvaluatedOnDemand) {
  DesignPtr d = VisibilityDesign();
  EXPECT_EQ(d->IsNetVisible(Net(*d, "front")), 1u);
  Xdm_ViewEditor editor(*d->GetView());
  editor.RemovePin(Pin(*d, "e", "A"));
  editor.RemovePin(Pin(*d, "hm", "P"));
  editor.RemovePin(Pin(*d, "m/mc", "A"));
  const std::uint32_t max = d->GetView()->GetMaxNetworks();
  editor.GrowMaxNetworks(max + 40);
  EXPECT_EQ(d->IsNetVisible(Net(*d, "front")), 1u);  // known before the edit
  EXPECT_EQ(d->IsNetVisible(Net(*d, "back")), 0u);   // first asked after it
}

// 40 nets and 40 comps: ids beyond the visibility design's maxima.
DesignPtr BigDesign() {
  std::string nets, signals, blocks;
  for (int i = 0; i < 40; ++i) {
    const std::string n = std::to_string(i), comma = i ? ", " : "";
    nets += comma + R"({"name": "n)" + n + R"("})";
    signals += comma + R"({"name": "s)" + n + R"(", "net": "n)" + n + R"("})";
    blocks += comma + R"({"name": "c)" + n + R"(", "level": 3, "pins": [{"name": "A", "signal": "s)" + n + R"("}]})";
  }
  return Load(nets, R"({"name": "t", "level": 0, "signals": [)" + signals + R"(], "blocks": [)" + blocks + "]}");
}

TEST(SharedNcdVisibility, IdsBeyondTheViewsMaximumAreAnsweredUncached) {
  DesignPtr d = VisibilityDesign();
  DesignPtr big = BigDesign();
  Xdm_Network* far = Net(*big, "n39");
  ASSERT_GE(Xdm_BridgeId::GetBridgeId(far), d->GetView()->GetMaxNetworks());
  EXPECT_EQ(d->IsNetVisible(far), 1u);
  Xdm_ViewEditor(*big->GetView()).RemovePin(Pin(*big, "c39", "A"));
  EXPECT_EQ(d->IsNetVisible(far), 0u);
  EXPECT_EQ(d->IsBlockVisible(Block(*big, "c39")), 1u);
  EXPECT_EQ(d->GetPinCount(far), 0u);
}

// ---- pin counts

// Net q: driver d0, loads l1..l3, a pass-through pin into hm (secured) and
// a top-level output port. Net io: a bidirectional pad, an output, an
// input and a hidden implicit input.
DesignPtr PinCountDesign() {
  return Load(R"({"name": "q"}, {"name": "io"})", R"({"name": "t", "level": 0,
      "signals": [{"name": "q", "net": "q"}, {"name": "io", "net": "io"}],
      "pins": [{"name": "q", "dir": "output", "child_signal": "q"}],
      "blocks": [
       {"name": "d0", "level": 3, "pins": [{"name": "Q", "dir": "output", "signal": "q"}]},
       {"name": "l1", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
       {"name": "l2", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
       {"name": "l3", "level": 3, "pins": [{"name": "A", "signal": "q"}]},
       {"name": "hm", "level": 2, "netlist_security": 1, "signals": [{"name": "q_i", "net": "q"}],
        "pins": [{"name": "P", "signal": "q", "child_signal": "q_i"}],
        "blocks": [{"name": "hc", "level": 3, "pins": [{"name": "A", "signal": "q_i"}]}]},
       {"name": "iob", "level": 3, "external": true, "pins": [{"name": "PAD", "dir": "bidir", "pad": true, "signal": "io"}]},
       {"name": "x", "level": 3, "pins": [{"name": "O", "dir": "output", "signal": "io"}]},
       {"name": "y", "level": 3, "pins": [{"name": "I", "signal": "io"}]},
       {"name": "z", "level": 3, "pins": [{"name": "IMP", "implicit": true, "signal": "io"}]}]})");
}

TEST(SharedNcdPinCount, CountsVisibleTerminalInputsAndBidirsOnce) {
  DesignPtr d = PinCountDesign();
  EXPECT_EQ(d->GetPinCount(Net(*d, "q")), 3u);
  EXPECT_EQ(d->GetPinCount(Net(*d, "io")), 2u);
  Xdm_ViewEditor editor(*d->GetView());
  editor.RemovePin(Pin(*d, "l1", "A"));
  editor.GrowMaxNetworks(d->GetView()->GetMaxNetworks() + 5);
  EXPECT_EQ(d->GetPinCount(Net(*d, "q")), 3u);  // counted before the edit
  EXPECT_EQ(d->GetPinCount(nullptr), 0u);
  EXPECT_EQ(NewDesign("unloaded")->GetPinCount(Net(*d, "q")), 0u);
}

// ---- IOBs

DesignPtr IoDesign() {
  const std::string io = R"("io": {"input_standard": "LVCMOS25", "output_standard": "LVDS_25"})";
  return Load(R"({"name": "din"}, {"name": "dout"}, {"name": "dio"}, {"name": "dq"}, {"name": "din_i"},
      {"name": "dio_i"}, {"name": "dq_o"}, {"name": "clk"}, {"name": "clkm"}, {"name": "lvds"},
      {"name": "lvds2"}, {"name": "solo"}, {"name": "selfd"})",
      R"({"name": "t", "level": 0,
      "pins": [{"name": "din", "child_signal": "din"}, {"name": "dout", "dir": "output", "child_signal": "dout"},
               {"name": "dio", "dir": "bidir", "child_signal": "dio"}],
      "signals": [{"name": "din", "net": "din"}, {"name": "dout", "net": "dout"}, {"name": "dio", "net": "dio"},
                  {"name": "dq", "net": "dq"}, {"name": "din_i", "net": "din_i"}, {"name": "dio_i", "net": "dio_i"},
                  {"name": "dq_o", "net": "dq_o"}, {"name": "clk", "net": "clk"}, {"name": "lvds", "net": "lvds"},
                  {"name": "lvds2", "net": "lvds2"}, {"name": "solo", "net": "solo"}, {"name": "selfd", "net": "selfd"}],
      "blocks": [
       {"name": "din", "level": 3, "external": true, )" + io + R"(,
        "pins": [{"name": "PAD", "pad": true, "signal": "din"}, {"name": "I", "dir": "output", "signal": "din_i"}]},
       {"name": "dout", "level": 3, "external": true, )" + io + R"(,
        "pins": [{"name": "O", "signal": "dq_o"}, {"name": "PAD", "dir": "output", "pad": true, "signal": "dout"}]},
       {"name": "dio", "level": 3, "external": true, )" + io + R"(,
        "pins": [{"name": "PAD", "dir": "bidir", "pad": true, "signal": "dio"}, {"name": "I", "dir": "output", "signal": "dio_i"}]},
       {"name": "dq", "level": 3, "external": true, )" + io + R"(, "pins": [{"name": "PAD", "pad": true, "signal": "dq"}]},
       {"name": "nopad", "level": 3, "external": true, )" + io + R"(, "pins": [{"name": "A", "signal": "din"}]},
       {"name": "notiob", "level": 3, )" + io + R"(,
        "pins": [{"name": "PAD", "pad": true, "signal": "din"}, {"name": "I", "dir": "output", "signal": "dio_i"},
                 {"name": "PADOUT", "dir": "output", "signal": "lvds"}]},
       {"name": "m", "level": 1, "pins": [{"name": "dq", "signal": "dq"}],
        "signals": [{"name": "din_m", "net": "din_i"}, {"name": "clk_m", "net": "clkm"}],
        "blocks": [{"name": "iffC", "level": 3, "type": "ILOGIC_IFF",
                    "pins": [{"name": "D", "signal": "din_m"}, {"name": "CK", "signal": "clk_m"}]}]},
       {"name": "iffA", "level": 3, "type": "ILOGIC_IFF", "pins": [{"name": "D", "signal": "din_i"}, {"name": "CK"}]},
       {"name": "iffB", "level": 3, "type": "ILOGIC_IFF",
        "pins": [{"name": "DDLY", "signal": "din_i"}, {"name": "CK", "signal": "clk"}]},
       {"name": "iffD", "level": 3, "type": "ILOGIC_IFF",
        "pins": [{"name": "DDLY", "signal": "dio_i"}, {"name": "CK", "signal": "clk"}]},
       {"name": "off", "level": 3, "type": "OLOGIC_OUTFF",
        "pins": [{"name": "Q", "dir": "output", "signal": "dq_o"}, {"name": "CK", "signal": "clk"}]},
       {"name": "rej1", "level": 3, "external": true, "io": {"reject": "invalid_type"}, "pins": [{"name": "PAD", "pad": true, "signal": "solo"}]},
       {"name": "rej2", "level": 3, "external": true, "io": {"reject": "corrupt_database"}, "pins": [{"name": "PAD", "pad": true, "signal": "solo"}]},
       {"name": "lp", "level": 3, "external": true, "pins": [{"name": "PADOUT", "dir": "output", "signal": "lvds"}]},
       {"name": "ln", "level": 3, "external": true, "pins": [{"name": "DIFFI_IN", "signal": "lvds"}]},
       {"name": "op", "level": 3, "external": true, "pins": [{"name": "DIFFO_OUT", "dir": "output", "signal": "lvds2"}]},
       {"name": "on", "level": 3, "external": true, "pins": [{"name": "DIFFO_IN", "signal": "lvds2"}]},
       {"name": "self", "level": 3, "external": true,
        "pins": [{"name": "DIFFO_OUT", "dir": "output", "signal": "selfd"}, {"name": "DIFFO_IN", "signal": "selfd"}]},
       {"name": "single", "level": 3, "external": true, "pins": [{"name": "PADOUT", "dir": "output", "signal": "solo"}]}]})");
}

TEST(SharedNcdIo, DirectionComesFromTheTopPortAndChoosesTheStandard) {
  DesignPtr d = IoDesign();
  const std::tuple<const char*, const char*, const char*> iobs[] = {
      {"din", "Input", "LVCMOS25"}, {"dout", "Output", "LVDS_25"}, {"dio", "InOut", "LVDS_25"},
      {"dq", "", "LVDS_25"},        {"nopad", "", "LVDS_25"},      {"notiob", "", ""},
  };
  for (const auto& [name, direction, standard] : iobs) {
    EXPECT_STREQ(d->GetIoDirection(Block(*d, name)), direction) << name;
    EXPECT_STREQ(d->GetIoStandard(Block(*d, name)), standard) << name;
  }
  EXPECT_STREQ(d->GetIoStandard(nullptr), "");
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
  EXPECT_STREQ(odd->GetIoStandard(Block(*d, "dout")), "LVCMOS25");  // asks the object for the direction
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

TEST(SharedNcdIo, DiffPairsAreFoundFromEitherSide) {
  DesignPtr d = IoDesign();
  const std::pair<const char*, CitI::Result> iobs[] = {
      {"lp", 1}, {"ln", 1}, {"op", 1}, {"on", 1}, {"self", 1}, {"single", 0}, {"notiob", 0}, {"din", 0},
  };
  for (const auto& [name, pair] : iobs) EXPECT_EQ(d->IsDiffPairIob(Block(*d, name)), pair) << name;
}

// din's input register net: iffA (CK without signal) ends the walk of the
// top signal before iffB; the module's signal then leads to iffC.
TEST(SharedNcdIo, ClockNameComesFromTheFirstRegisterWithAClockedCk) {
  DesignPtr d = IoDesign();
  const std::pair<const char*, const char*> iobs[] = {
      {"din", "clk_m"}, {"dio", "clk"}, {"dout", "clk"}, {"dq", ""}, {"notiob", ""},
  };
  for (const auto& [name, clock] : iobs) EXPECT_STREQ(d->GetIobClockName(Block(*d, name)), clock) << name;
}

}  // namespace
