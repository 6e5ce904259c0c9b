// The tools' output files: a run never removes or replaces what it did not
// make. Each tool is run against each kind of target it must leave alone,
// its own inputs among them, and a write that fails (or a signal) part-way
// leaves the previous file as it was, with no temporary file behind. A
// standard output that cannot be written is a failure too, and an input
// that is no design is named for what it is.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "NcdPlotSvgParse.h"
#include "NcdTool_Output.h"
#include "RunProgram.h"
#include "TestDesigns.h"

namespace {

namespace fs = std::filesystem;

// Everything in a folder, with each entry's kind, link target or contents.
std::set<std::string> Snapshot(const fs::path& dir) {
  std::set<std::string> entries;
  for (const auto& e : fs::directory_iterator(dir)) {
    const fs::path& p = e.path();
    std::string what =
        p.filename().string() + " " + std::to_string(static_cast<int>(e.symlink_status().type()));
    if (e.is_symlink()) {
      what += " -> " + fs::read_symlink(p).string();
    } else if (e.is_regular_file()) {
      what += " " + ncdtest::Slurp(p) + " " +
              std::to_string(static_cast<int>(fs::status(p).permissions()));
    }
    entries.insert(what);
  }
  return entries;
}

struct Tool {
  const char* name;
  std::vector<std::string> input;  // the arguments besides -o
};

std::vector<Tool> Tools() {
  return {{"ncdgen", {"--blocks", "200"}},
          {"ncdimport", {"-q", std::string(NCD_EXAMPLES) + "/ice40/flow/counter.pnr.json.gz"}},
          {"ncdplot", {std::string(NCD_TEST_DATA) + "/tiny.ncd.json"}}};
}

class ToolOutput : public ::testing::Test {
 protected:
  ToolOutput() {
    std::ofstream(m_dir.path() / "design.json") << "kept";
    std::ofstream(m_dir.path() / "read_only") << "kept";
    fs::permissions(m_dir.path() / "read_only", fs::perms::owner_read | fs::perms::group_read);
    fs::create_directory(m_dir.path() / "empty_dir");
    fs::create_symlink("design.json", m_dir.path() / "link");
    fs::create_symlink("nowhere", m_dir.path() / "dangling");
    ::mkfifo((m_dir.path() / "fifo").c_str(), 0644);
    // A copy of /dev/full, where a tool that opened its output would fail to
    // write, and one that then removed its output would remove the device.
    m_device = ::mknod((m_dir.path() / "full").c_str(), S_IFCHR | 0666, ::makedev(1, 7)) == 0;
  }
  std::string At(const std::string& name) const { return (m_dir.path() / name).string(); }

  ncdtest::TempDir m_dir;
  bool m_device = false;
};

TEST_F(ToolOutput, WhatIsNotARegularFileIsNeverReplaced) {
  const std::pair<const char*, const char*> targets[] = {
      {"empty_dir", "it is a directory; only a regular file is replaced"},
      {"link", "it is a symbolic link; only a regular file is replaced"},
      {"dangling", "it is a symbolic link; only a regular file is replaced"},
      {"fifo", "it is a FIFO; only a regular file is replaced"},
      {"full", "it is a character device; only a regular file is replaced"},
      {"read_only", "the file is read-only"}};
  const auto before = Snapshot(m_dir.path());
  for (const Tool& tool : Tools()) {
    for (const auto& [target, why] : targets) {
      if (std::string(target) == "full" && !m_device) continue;
      std::vector<std::string> args = tool.input;
      args.insert(args.end(), {"-o", At(target)});
      const auto run = ncdtest::RunProgram(tool.name, args);
      EXPECT_EQ(run.status, 1) << tool.name << " " << target;
      EXPECT_EQ(run.err,
                std::string(tool.name) + ": cannot write '" + At(target) + "': " + why + "\n");
      EXPECT_EQ(Snapshot(m_dir.path()), before) << tool.name << " " << target;
    }
  }
}

TEST_F(ToolOutput, AFailedRunLeavesThePreviousOutput) {
  const auto before = Snapshot(m_dir.path());
  const std::pair<const char*, std::vector<std::string>> failing[] = {
      {"ncdimport", {At("read_only")}},
      {"ncdplot", {At("design.json")}},
      {"ncdgen", {"--blocks", "1"}}};
  for (const auto& [tool, input] : failing) {
    std::vector<std::string> args = input;
    args.insert(args.end(), {"-o", At("design.json")});
    EXPECT_NE(ncdtest::RunProgram(tool, args).status, 0) << tool;
    EXPECT_EQ(Snapshot(m_dir.path()), before) << tool;
  }
  // A write that fails part-way, after more than a buffer's worth.
  const std::string error = NcdTool::WriteOutput(At("design.json"), [](std::ostream& out) {
    out << std::string(3 << 20, 'x');
    throw std::runtime_error("the design ran out");
  });
  EXPECT_EQ(error, At("design.json") + ": the design ran out");
  EXPECT_EQ(Snapshot(m_dir.path()), before);
}

TEST_F(ToolOutput, ASignalMidWayRemovesTheTemporaryFile) {
  const auto before = Snapshot(m_dir.path());
  const pid_t child = ::fork();
  if (child == 0) {
    NcdTool::WriteOutput(At("design.json"), [](std::ostream& out) {
      out << std::string(3 << 20, 'x');
      ::raise(SIGTERM);
    });
    ::_exit(0);
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM) << status;
  EXPECT_EQ(Snapshot(m_dir.path()), before);
}

TEST_F(ToolOutput, EachToolReplacesARegularFileKeepingItsMode) {
  fs::permissions(At("design.json"),
                  fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  for (const Tool& tool : Tools()) {
    std::vector<std::string> args = tool.input;
    args.insert(args.end(), {"-o", At("design.json")});
    const auto run = ncdtest::RunProgram(tool.name, args);
    EXPECT_EQ(run.status, 0) << tool.name << ": " << run.err;
    const std::string written = ncdtest::Slurp(At("design.json"));
    EXPECT_EQ(ncdtest::RunProgram(tool.name, tool.input).out, written) << tool.name;
    if (std::string(tool.name) == "ncdplot") {
      auto svg = ncdplot_test::Parse(written);
      EXPECT_EQ(svg.byClass["comps comp"] * 10 + svg.byClass["comps comp iob"], 11);
    }
    EXPECT_EQ(fs::status(At("design.json")).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(std::distance(fs::directory_iterator(m_dir.path()), fs::directory_iterator()),
              6 + m_device)
        << "a temporary file was left behind";
  }
}

// A design written to a name ending in .gz is compressed, the same bytes
// on every run; a picture is written as it is.
TEST_F(ToolOutput, DesignsNamedGzAreCompressed) {
  for (const Tool& tool : Tools()) {
    std::vector<std::string> args = tool.input;
    args.insert(args.end(), {"-o", At("out.gz")});
    ASSERT_EQ(ncdtest::RunProgram(tool.name, args).status, 0) << tool.name;
    const std::string written = ncdtest::Slurp(At("out.gz"));
    const std::string plain = ncdtest::RunProgram(tool.name, tool.input).out;
    if (std::string(tool.name) == "ncdplot") {
      EXPECT_EQ(written, plain);
      continue;
    }
    gzFile in = ::gzopen(At("out.gz").c_str(), "rb");
    std::string inflated(plain.size() + 1, '\0');
    inflated.resize(std::max(0, ::gzread(in, inflated.data(), inflated.size())));
    EXPECT_EQ(::gzdirect(in), 0) << tool.name << " wrote no gzip";
    ::gzclose(in);
    EXPECT_EQ(inflated, plain) << tool.name;
    ASSERT_EQ(ncdtest::RunProgram(tool.name, args).status, 0) << tool.name;
    EXPECT_EQ(ncdtest::Slurp(At("out.gz")), written) << tool.name;
  }
}

// The output is refused before anything is read when it is one of the
// inputs, by its own name or through a link: the input stays as it was.
TEST_F(ToolOutput, AnInputIsNeverItsOwnOutput) {
  fs::copy_file(std::string(NCD_TEST_DATA) + "/tiny.ncd.json", At("tiny.json"));
  fs::copy_file(std::string(NCD_EXAMPLES) + "/ice40/flow/counter.pnr.json.gz", At("net.json.gz"));
  std::ofstream(At("pins.pcf")) << "set_io clk 21\n";
  fs::create_symlink("tiny.json", At("tiny_link"));
  const auto before = Snapshot(m_dir.path());
  const struct {
    const char* tool;
    std::vector<std::string> args;
    std::string output, input;
  } runs[] = {{"ncdplot", {At("tiny.json")}, At("tiny.json"), At("tiny.json")},
              {"ncdplot", {At("tiny_link")}, At("tiny.json"), At("tiny_link")},
              {"ncdimport", {"-q", At("net.json.gz")}, At("net.json.gz"), At("net.json.gz")},
              {"ncdimport",
               {"-q", "--pcf", At("pins.pcf"), At("net.json.gz")},
               At("pins.pcf"),
               At("pins.pcf")}};
  for (const auto& run : runs) {
    std::vector<std::string> args = run.args;
    args.insert(args.end(), {"-o", run.output});
    const auto result = ncdtest::RunProgram(run.tool, args);
    EXPECT_EQ(result.status, 1) << run.tool << " " << run.output;
    EXPECT_EQ(result.err, std::string(run.tool) + ": cannot write '" + run.output +
                              "': it is the input '" + run.input + "'\n");
    EXPECT_EQ(Snapshot(m_dir.path()), before) << run.tool << " " << run.output;
  }
}

// The tools that print to standard output fail, and say why, when it
// cannot be written (a full disk): never a silent success.
TEST(ToolStandardOutput, AFullDiskIsAFailure) {
  const std::string design = std::string(NCD_TEST_DATA) + "/tiny.ncd.json";
  for (const char* tool : {"ncdinfo", "ncdclient", "ncdplot", "ncdgen"}) {
    const std::vector<std::string> args = std::string(tool) == "ncdgen"
                                              ? std::vector<std::string>{"--blocks", "200"}
                                              : std::vector<std::string>{design};
    const auto run = ncdtest::RunProgram(tool, args, "/dev/full");
    EXPECT_EQ(run.status, 1) << tool;
    EXPECT_EQ(run.err,
              std::string(tool) + ": cannot write to standard output: No space left on device\n");
  }
}

// The open flow's netlist is no design: each tool that reads designs says
// how to convert it, instead of the loader's complaint about its first key.
TEST(ToolInput, AFlowNetlistIsNamedWithItsConverter) {
  const std::string netlist = std::string(NCD_EXAMPLES) + "/ice40/flow/counter.pnr.json.gz";
  const std::string hint =
      netlist +
      ": this is a netlist of the open flow (nextpnr-ice40 --write), not a design: convert it "
      "with ncdimport -o design.ncd.json " +
      netlist + " (docs/import.md)\n";
  for (const char* tool : {"ncdinfo", "ncdplot", "ncdclient"}) {
    const auto run = ncdtest::RunProgram(tool, {netlist});
    EXPECT_EQ(run.status, 1) << tool;
    const std::string last = std::string(tool) + ": " + hint;
    EXPECT_TRUE(run.err.ends_with(last)) << tool << ": " << run.err;
  }
}

// ncdinfo and ncdclient take options as the other tools do: an unknown one
// is a usage error named without the program's path, not a file that
// cannot be opened, and "--" ends them.
TEST(ToolOptions, UnknownOnesAreUsageErrorsAndDashesEndThem) {
  const std::pair<const char*, std::vector<std::string>> kBad[] = {
      {"ncdinfo", {"--bogus", "x"}},
      {"ncdclient", {"--bogus", "x"}},
      {"ncdclient", {"x", "--net"}},
  };
  for (const auto& [tool, args] : kBad) {
    const auto bad = ncdtest::RunProgram(tool, args);
    EXPECT_EQ(bad.status, 2) << tool;
    EXPECT_EQ(bad.err, std::string(tool) + ": " +
                           (args[1] == "--net" ? "option needs a value: '--net'"
                                               : "unknown option '--bogus'") +
                           "\nTry '" + tool + " --help'.\n");
  }
  // A file named as an option, in the working directory the tool inherits.
  const std::string dashed = "-tiny" + std::to_string(::getpid()) + ".ncd.json";
  std::filesystem::copy_file(std::string(NCD_TEST_DATA) + "/tiny.ncd.json", dashed);
  const auto ended = ncdtest::RunProgram("ncdinfo", {"--", dashed});
  std::filesystem::remove(dashed);
  EXPECT_EQ(ended.status, 0) << ended.err;
  EXPECT_EQ(ended.out.rfind(dashed + "  (loaded in ", 0), 0u) << ended.out;
}

// ncdclient --net: the pins of the net named, or a failure that names it.
TEST(NcdClient, TheNetAskedForIsShownOrIsAFailure) {
  const std::string design = std::string(NCD_TEST_DATA) + "/tiny.ncd.json";
  const auto shown = ncdtest::RunProgram("ncdclient", {"--nets", "--net", "y", design});
  EXPECT_EQ(shown.status, 0) << shown.err;
  EXPECT_NE(shown.out.find("  pins of net y:\n"), std::string::npos) << shown.out;
  const auto missing = ncdtest::RunProgram("ncdclient", {"--nets", "--net", "nosuch", design});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.out.find("pins of net"), std::string::npos) << missing.out;
  EXPECT_EQ(missing.err, "ncdclient: " + design + ": no net named 'nosuch'\n");
}

}  // namespace
