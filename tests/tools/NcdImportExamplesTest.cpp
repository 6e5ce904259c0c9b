// The importer on every example: what nextpnr wrote for each design
// (examples/ice40/flow) imports to the very bytes checked in beside it,
// which the loader reads; and the program's options and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "NcdImport.h"
#include "NcdImportTestInput.h"
#include "NcdImport_Input.h"
#include "RunProgram.h"

namespace {

namespace fs = std::filesystem;

const std::string kDir = std::string(NCD_EXAMPLES) + "/ice40/";

NcdImport::Inputs InputsOf(const std::string& design) {
  return {kDir + "flow/" + design + ".pnr.json.gz", kDir + "flow/" + design + ".sdf.gz",
          kDir + design + ".pcf"};
}

class Example : public ::testing::TestWithParam<const char*> {};

TEST_P(Example, ImportsToTheCheckedInDesign) {
  NcdImport::Notes notes;
  const NcdImport::Design design = NcdImport::Import(InputsOf(GetParam()), notes);
  ncdtest::TempDir dir;
  std::string refusal;
  const std::string out = ncdimport_test::WriteAndLoad(design, dir, refusal);
  EXPECT_EQ(refusal, "");
  const std::string expected = NcdImport::ReadInput(kDir + GetParam() + ".ncd.json.gz");
  EXPECT_TRUE(out == expected) << "re-run examples/ice40/flow.sh after changing the mapping";
  // nextpnr's own bookkeeping is reported, not dropped; every delay found its pin.
  EXPECT_NE(notes.Find("cell attribute 'BEL_STRENGTH'"), nullptr);
  EXPECT_NE(notes.Find("SDF cell delays (IOPATH)"), nullptr);
  EXPECT_EQ(notes.Find("SDF interconnect to a pin the netlist lacks"), nullptr);
  EXPECT_EQ(notes.Find("PCF constraint on a port the design lacks"), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Ice40, Example,
                         ::testing::Values("counter", "uart", "alu", "fill", "sampler", "glow"));

TEST(NcdImportProgram, WritesTheDesignAndListsWhatItCouldNotMap) {
  const fs::path out = fs::temp_directory_path() / ("ncdimport_" + std::to_string(::getpid()) + ".json");
  const NcdImport::Inputs in = InputsOf("counter");
  const auto run = ncdtest::RunProgram("ncdimport", {"--sdf", in.sdf, "--pcf", in.pcf, "-o", out.string(), in.netlist});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(ncdtest::Slurp(out) == NcdImport::ReadInput(kDir + "counter.ncd.json.gz"));
  EXPECT_NE(run.err.find("ncdimport: not mapped: cell attribute 'src' ("), std::string::npos) << run.err;
  const auto quiet = ncdtest::RunProgram("ncdimport", {"-q", in.netlist});
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
  EXPECT_EQ(quiet.out.rfind("{\"format\":\"ncd-json\"", 0), 0u);
  fs::remove(out);
}

TEST(NcdImportProgram, BadUseAndBadInputFailWithoutLeavingAFile) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const fs::path out = fs::temp_directory_path() / ("ncdimport_bad_" + std::to_string(::getpid()) + ".json");
  const std::string missing = kDir + "none.pnr.json";
  const fs::path badPcf = fs::temp_directory_path() / ("ncdimport_bad_" + std::to_string(::getpid()) + ".pcf");
  std::ofstream(badPcf) << "# one pin short\nset_io clk\n";
  const Case cases[] = {
      {{}, 2, "ncdimport: no netlist given\nTry 'ncdimport --help'.\n"},
      {{"--bogus", "x"}, 2, "ncdimport: unknown option '--bogus'\nTry 'ncdimport --help'.\n"},
      {{"a", "b"}, 2, "ncdimport: unexpected argument 'b'\nTry 'ncdimport --help'.\n"},
      {{"-p", "a.pcf", "--pcf=b.pcf", "x"},
       2,
       "ncdimport: --pcf given twice\nTry 'ncdimport --help'.\n"},
      {{"--sdf", "a.sdf", "-s", "b.sdf", "x"},
       2,
       "ncdimport: --sdf given twice\nTry 'ncdimport --help'.\n"},
      {{"-o", out.string(), missing},
       1,
       "ncdimport: " + missing + ": cannot read: No such file or directory\n"},
      {{"-o", out.string(), "--pcf", badPcf.string(), kDir + "flow/counter.pnr.json.gz"},
       1,
       "ncdimport: " + badPcf.string() + ":2: set_io wants a port and a pin\n"},
  };
  for (const Case& c : cases) {
    const auto run = ncdtest::RunProgram("ncdimport", c.args);
    EXPECT_EQ(run.status, c.status) << c.err;
    EXPECT_EQ(run.err, c.err);
    EXPECT_FALSE(fs::exists(out)) << c.err;
  }
  EXPECT_EQ(ncdtest::RunProgram("ncdimport", {"--help"}).status, 0);
  fs::remove(badPcf);
}

// What the flow wrote, cut short (a crashed or killed nextpnr, a full disk)
// or damaged in one line: the program names the file and the position, or
// notes the line, and leaves no output behind.
TEST(NcdImportProgram, DamagedFlowOutputIsRefusedWithItsPosition) {
  const fs::path dir = fs::temp_directory_path() / ("ncdimport_cut_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  const std::string netlist = NcdImport::ReadInput(kDir + "flow/sampler.pnr.json.gz");
  const std::string sdf = NcdImport::ReadInput(kDir + "flow/sampler.sdf.gz");
  auto write = [&](const std::string& name, const std::string& text) {
    std::ofstream((dir / name).string(), std::ios::binary) << text;
    return (dir / name).string();
  };
  const std::string whole = write("whole.pnr.json", netlist);
  const std::string out = (dir / "out.ncd.json").string();
  const struct {
    std::vector<std::string> args;
    std::string err;  // a regular expression for the whole message
  } cases[] = {
      {{write("cut1.pnr.json", netlist.substr(0, netlist.size() / 10))},
       R"(ncdimport: .*cut1\.pnr\.json:[0-9]+:[0-9]+: .+\n)"},
      {{write("cut2.pnr.json", netlist.substr(0, netlist.size() - 3))},
       R"(ncdimport: .*cut2\.pnr\.json:[0-9]+:[0-9]+: .+\n)"},
      {{"--sdf", write("cut.sdf", sdf.substr(0, sdf.size() / 2)), whole},
       R"(ncdimport: .*cut\.sdf:[0-9]+:[0-9]+: .+\n)"},
      {{"--sdf", write("bad.sdf", sdf.substr(0, sdf.find("(0:0:0)")) + "(0:x:0)" +
                                     sdf.substr(sdf.find("(0:0:0)") + 7)),
        whole},
       R"(ncdimport: .*bad\.sdf:[0-9]+:[0-9]+: bad delay value '0:x:0'\n)"},
      {{"--pcf", write("bad.pcf", "set_io clk J3\nset_io -pullup\n"), whole},
       R"(ncdimport: .*bad\.pcf:2: .+\n)"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = {"-q", "-o", out};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const auto run = ncdtest::RunProgram("ncdimport", args);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_TRUE(std::regex_match(run.err, std::regex(c.err))) << run.err;
    EXPECT_FALSE(fs::exists(out)) << run.err;
  }
  // An unknown cell type is no error: one note, and the design is written.
  std::string odd = netlist;
  const std::string pll = "\"type\": \"ICESTORM_PLL\"";
  odd.replace(odd.find(pll), pll.size(), "\"type\": \"ICESTORM_PLLX\"");
  const auto run = ncdtest::RunProgram("ncdimport", {"-o", out, write("odd.pnr.json", odd)});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.err.find("ncdimport: not mapped: cell type 'ICESTORM_PLLX' (imported as a comp "
                         "with one bel of that type) (1, first: u_pll_PLL)"),
            std::string::npos)
      << run.err;
  EXPECT_TRUE(fs::exists(out));
  fs::remove_all(dir);
}

}  // namespace
