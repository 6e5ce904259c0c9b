// A design reopened from its snapshot answers every question of the Tcl
// package as its parse did: ncdsh prints every answer about the design
// (every_answer.tcl) with snapshots off, then on (the parse, which writes
// the snapshot), then on again (from the snapshot), and the three agree.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "RunProgram.h"

namespace {

namespace fs = std::filesystem;

std::string EveryAnswer(const std::string& design) {
  const ncdtest::RunResult run =
      ncdtest::RunProgram("ncdsh", {std::string(NCD_TCL_TESTS) + "/every_answer.tcl", design});
  EXPECT_EQ(run.status, 0) << run.err;
  return run.out;
}

TEST(TclSnapshot, EveryAnswerIsTheParsesAnswer) {
  const fs::path cache = fs::temp_directory_path() / ("tcl_snapshot." + std::to_string(::getpid()));
  const std::string generated = (cache / "gen.ncd.json").string();
  fs::create_directories(cache);
  ASSERT_EQ(ncdtest::RunProgram("ncdgen", {"--blocks", "500", "--output", generated}).status, 0);
  ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
  for (const std::string& design :
       {std::string(NCD_EXAMPLES) + "/demo.ncd.json",
        std::string(NCD_EXAMPLES) + "/ice40/counter.ncd.json.gz", generated}) {
    SCOPED_TRACE(design);
    ::setenv("NCD_CACHE", "off", 1);
    const std::string parsed = EveryAnswer(design);
    EXPECT_GT(parsed.size(), 10000u);
    ::setenv("NCD_CACHE", "all", 1);
    EXPECT_EQ(EveryAnswer(design), parsed);
    const fs::path snapshots = cache / "ncd";
    ASSERT_EQ(std::distance(fs::directory_iterator(snapshots), fs::directory_iterator()) > 0, true);
    // Opening a snapshot marks it used: its time moves on.
    fs::path newest;
    for (const fs::directory_entry& e : fs::directory_iterator(snapshots)) {
      if (newest.empty() || e.last_write_time() > fs::last_write_time(newest)) newest = e.path();
    }
    const auto written = fs::last_write_time(newest);
    EXPECT_EQ(EveryAnswer(design), parsed);
    EXPECT_GT(fs::last_write_time(newest), written);
  }
  ::setenv("NCD_CACHE", "off", 1);
  fs::remove_all(cache);
}

}  // namespace
