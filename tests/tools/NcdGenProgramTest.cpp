// The ncdgen program: bad options end with a clear message and a non-zero
// status, and good ones write what the library writes.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "NcdGen.h"
#include "RunProgram.h"

namespace {

namespace fs = std::filesystem;
using ncdtest::RunResult;
using ncdtest::RunProgram;
using ncdtest::Slurp;

RunResult RunNcdgen(const std::vector<std::string>& args) {
  return RunProgram("ncdgen", args);
}

std::string Library(uint64_t blocks, uint64_t seed) {
  std::ostringstream out;
  NcdGen::WriteDesign(NcdGen::Options{blocks, seed}, out);
  return out.str();
}

TEST(NcdGenProgram, BadOptionsAreRefusedWithAMessage) {
  struct Case {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const Case cases[] = {
      {{"--blocks", "abc"}, 2, "ncdgen: --blocks wants a whole number, not 'abc'"},
      {{"--blocks", "-5"}, 2, "ncdgen: --blocks wants a whole number, not '-5'"},
      {{"--blocks", ""}, 2, "ncdgen: --blocks wants a whole number, not ''"},
      {{"--blocks", "12"}, 2, "ncdgen: the block count must be from 200 to 20000000, not 12"},
      {{"--blocks=99999999999999999999"}, 2, "--blocks wants a whole number"},
      {{"--seed", "1x"}, 2, "ncdgen: --seed wants a whole number, not '1x'"},
      {{"--frobnicate"}, 2, "ncdgen: unknown option '--frobnicate'"},
      {{"-q"}, 2, "ncdgen: unknown option '-q'"},
      {{"-b700q"}, 2, "ncdgen: --blocks wants a whole number, not '700q'"},
      {{"--seed=1", "--nope=3"}, 2, "ncdgen: unknown option '--nope'"},
      {{"--blocks"}, 2, "ncdgen: option '--blocks' needs a value"},
      {{"stray"}, 2, "ncdgen: unexpected argument 'stray'"},
      {{"-o", "/nonexistent-dir/x.json"}, 1, "ncdgen: cannot open '/nonexistent-dir/x.json'"},
  };
  for (const Case& c : cases) {
    RunResult run = RunNcdgen(c.args);
    std::string what = c.args.empty() ? "" : c.args[0];
    EXPECT_EQ(run.status, c.status) << what;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << what << ": " << run.err;
    EXPECT_TRUE(run.out.empty()) << what;
  }
}

TEST(NcdGenProgram, HelpGoesToOutput) {
  RunResult run = RunNcdgen({"--help"});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out.rfind("usage: ncdgen", 0), 0u);
  EXPECT_TRUE(run.err.empty());
}

TEST(NcdGenProgram, WritesWhatTheLibraryWrites) {
  std::string expected = Library(700, 9);
  RunResult toStdout = RunNcdgen({"--blocks", "700", "--seed", "9"});
  EXPECT_EQ(toStdout.status, 0);
  EXPECT_TRUE(toStdout.out == expected);

  fs::path file = fs::temp_directory_path() / ("ncdgen_out_" + std::to_string(::getpid()));
  RunResult toFile = RunNcdgen({"-b", "700", "-s", "9", "-o", file.string()});
  EXPECT_EQ(toFile.status, 0);
  EXPECT_TRUE(toFile.out.empty());
  EXPECT_TRUE(Slurp(file) == expected);
  fs::remove(file);
}

TEST(NcdGenProgram, DefaultsAreTenThousandBlocksSeedOne) {
  RunResult run = RunNcdgen({});
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.out == Library(10000, 1));
}

}  // namespace
