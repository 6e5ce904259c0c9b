// The importer on every example: what nextpnr wrote for each design
// (examples/ice40/flow) imports to the very bytes checked in beside it,
// which the loader reads; and the program's options and failures.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
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
      {{"-o", out.string(), missing}, 1, "ncdimport: " + missing + ": cannot read: No such file or directory\n"},
      {{"-o", out.string(), "--pcf", badPcf.string(), kDir + "flow/counter.pnr.json.gz"}, 1,
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

}  // namespace
