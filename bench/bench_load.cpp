// bench_load: how long the host loader takes over a generated design, and
// how much memory it needs, against the bare parse of the same file by three
// JSON libraries; and how long reopening it from its snapshot takes, and
// how much private memory processes that share the snapshot need. Designs
// come from ncdgen_lib into a cache folder and are reused on later runs;
// snapshots go to a folder of their own beside them. See bench/README.md.
#include <benchmark/benchmark.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/reader.h>
#include <simdjson.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <limits>
#include <map>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "BenchDesigns.h"
#include "NcdGen.h"
#include "Pds_PahDesignLoader.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahJsonSplit.h"
#include "Pds_PahSnapshotCache.h"
#include "Pds_PahSnapshotFormat.h"
#include "XCad_CadModel.h"
#include "Xdm_Txn.h"
#include "Xdm_View.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// Wall and CPU time of this process since construction. The CPU times keep
// the ratios meaningful on a machine busy with other work.
struct Stopwatch {
  static double CpuNow() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
  double Wall() const { return Since(wall); }
  double Cpu() const { return CpuNow() - cpu; }

  Clock::time_point wall = Clock::now();
  double cpu = CpuNow();
};

double FileMb(const std::string& path) {
  std::error_code ec;
  return static_cast<double>(fs::file_size(path, ec)) / 1e6;
}

// ---- Bare parses: every value is read and dropped. Each answers an empty
// string on success, else what went wrong.

std::string ReadOnly(const std::string& path) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "cannot open " + path;
  static char buf[1 << 16];
  while (std::fread(buf, 1, sizeof buf, f) == sizeof buf) {
  }
  std::fclose(f);
  return {};
}

// The second thread's scan of a parallel load, alone: to the top's
// blocks, then to the boundary it would split at.
std::string ScanSplit(const std::string& path) {
  Pds_PahJsonSplitScan scan;
  scan.fileName = path;
  std::uint64_t array = 0;
  if (!Pds_PahJsonFindTopBlocks(path, nullptr, array)) return "no top blocks in " + path;
  Pds_PahJsonAimSplit(scan, array, fs::file_size(path), nullptr);
  Pds_PahJsonSplitPoint point;
  if (!Pds_PahJsonFindSplit(scan, point)) return "no split point in " + path;
  return {};
}

// `iterative` selects RapidJSON's explicit-stack parser (kParseIterativeFlag),
// which some streaming readers use for its bounded native stack; otherwise
// the default recursive parser runs. (The Debian RapidJSON, 1.1.0, has no
// token-by-token pull interface to measure.)
std::string ParseRapidJson(const std::string& path, bool iterative) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return "cannot open " + path;
  static char buf[1 << 16];
  rapidjson::FileReadStream in(f, buf, sizeof buf);
  rapidjson::BaseReaderHandler<> handler;
  rapidjson::Reader reader;
  rapidjson::ParseResult result = iterative
                                      ? reader.Parse<rapidjson::kParseIterativeFlag>(in, handler)
                                      : reader.Parse(in, handler);
  std::fclose(f);
  if (!result.IsError()) return {};
  return "rapidjson error at offset " + std::to_string(result.Offset());
}

uint64_t CountValues(simdjson::dom::element e) {
  uint64_t n = 1;
  if (e.is_array()) {
    for (simdjson::dom::element child : e.get_array())
      n += CountValues(child);
  } else if (e.is_object()) {
    for (simdjson::dom::key_value_pair field : e.get_object())
      n += CountValues(field.value);
  }
  return n;
}

// DOM parse of the whole file (read into memory first), then a walk over
// every value.
std::string ParseSimdjson(const std::string& path) {
  simdjson::dom::parser parser;
  simdjson::dom::element doc;
  if (auto err = parser.load(path).get(doc)) return simdjson::error_message(err);
  benchmark::DoNotOptimize(CountValues(doc));
  return {};
}

struct NullSax {
  using json = nlohmann::json;
  bool null() { return true; }
  bool boolean(bool) { return true; }
  bool number_integer(json::number_integer_t) { return true; }
  bool number_unsigned(json::number_unsigned_t) { return true; }
  bool number_float(json::number_float_t, const std::string&) { return true; }
  bool string(std::string&) { return true; }
  bool binary(json::binary_t&) { return true; }
  bool start_object(std::size_t) { return true; }
  bool key(std::string&) { return true; }
  bool end_object() { return true; }
  bool start_array(std::size_t) { return true; }
  bool end_array() { return true; }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception& e) {
    error = e.what();
    return false;
  }
  std::string error;
};

// From a buffered std::ifstream: nlohmann's FILE* input reads a character
// at a time through fgetc, which would measure locking rather than parsing.
std::string ParseNlohmann(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return "cannot open " + path;
  NullSax sax;
  nlohmann::json::sax_parse(in, &sax);
  return sax.error;
}

// What a loading child reports back through its pipe.
struct LoadReport {
  double loadSeconds = 0;
  double loadCpuSeconds = 0;
  double abortSeconds = 0;
  double baseMb = 0;  // resident size before loading
  uint64_t blocks = 0;
  uint64_t nets = 0;
  char error[512] = {};
};

double ResidentMb() {
  long pages = 0, resident = 0;
  if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return static_cast<double>(resident) * static_cast<double>(::sysconf(_SC_PAGESIZE)) / 1e6;
}

LoadReport LoadHere(const std::string& path) {
  LoadReport r;
  r.baseMb = ResidentMb();
  try {
    Pds_PahDesignLoaderT<XCad_CadTraits> loader;
    Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> inst;
    Stopwatch watch;
    Xdm_View* view = loader.LoadAndSpecializeImpl(Port::StringBase(path), Port::StringBase("bench"),
                                                  Xdm_Txn::XDM_TXN_READ_ONLY, &inst, nullptr);
    r.loadSeconds = watch.Wall();
    r.loadCpuSeconds = watch.Cpu();
    r.blocks = view->GetMaxBlocks();
    r.nets = view->GetMaxNetworks();
    auto start = Clock::now();
    loader.GetTxn()->Abort();
    r.abortSeconds = Since(start);
  } catch (const std::exception& e) {
    std::snprintf(r.error, sizeof r.error, "%s", e.what());
  }
  return r;
}

// Loads, says so with a byte on `ready`, and holds the design until
// `release` reads end of file (for memory readings of several processes).
LoadReport LoadHereAndHold(const std::string& path, int ready, int release) {
  LoadReport r;
  try {
    Pds_PahDesignLoaderT<XCad_CadTraits> loader;
    Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> inst;
    Xdm_View* view = loader.LoadAndSpecializeImpl(Port::StringBase(path), Port::StringBase("bench"),
                                                  Xdm_Txn::XDM_TXN_READ_ONLY, &inst, nullptr);
    r.blocks = view->GetMaxBlocks();
    const char byte = 1;
    if (::write(ready, &byte, 1) == 1) {
      char ignored;
      while (::read(release, &ignored, 1) > 0) {
      }
    }
  } catch (const std::exception& e) {
    std::snprintf(r.error, sizeof r.error, "%s", e.what());
  }
  return r;
}

// Loads in a child process so that its peak resident size (ru_maxrss from
// wait4) belongs to this one load alone.
// `cache` is the child's NCD_CACHE ("off" parses); `oneThread` keeps the
// parse on one thread.
LoadReport LoadInChild(const std::string& path, double& peakMb, const char* cache = "off",
                       bool oneThread = false) {
  LoadReport r;
  int fds[2];
  pid_t pid = ::pipe(fds) == 0 ? ::fork() : -1;
  if (pid < 0) {
    std::snprintf(r.error, sizeof r.error, "cannot start a loading process: %s",
                  std::strerror(errno));
    return r;
  }
  if (pid == 0) {
    ::close(fds[0]);
    ::setenv("NCD_CACHE", cache, 1);
    if (oneThread) Pds_PahJsonLoader::SetSplitMinimum(std::numeric_limits<std::uint64_t>::max());
    LoadReport mine = LoadHere(path);
    ssize_t written = ::write(fds[1], &mine, sizeof mine);
    ::_exit(written == static_cast<ssize_t>(sizeof mine) ? 0 : 1);
  }
  ::close(fds[1]);
  size_t got = 0;
  for (ssize_t n; got < sizeof r &&
                  (n = ::read(fds[0], reinterpret_cast<char*>(&r) + got, sizeof r - got)) > 0;)
    got += static_cast<size_t>(n);
  ::close(fds[0]);
  int status = 0;
  rusage usage{};
  if (::wait4(pid, &status, 0, &usage) != pid || got != sizeof r) {
    r = LoadReport{};
    std::snprintf(r.error, sizeof r.error, "the loading process failed (status %d)", status);
  }
  peakMb = static_cast<double>(usage.ru_maxrss) * 1024 / 1e6;  // ru_maxrss is in KiB
  return r;
}

// The fastest bare RapidJSON parse seen per file (wall and CPU seconds),
// the yardstick for loads.
struct Times {
  double wall = 1e300;
  double cpu = 1e300;
  void Keep(const Stopwatch& watch) {
    wall = std::min(wall, watch.Wall());
    cpu = std::min(cpu, watch.Cpu());
  }
};

std::map<std::string, Times>& ParseBaseline() {
  static std::map<std::string, Times> best;
  return best;
}

// The fastest bare RapidJSON parse of `path` so far (one now if none ran).
const Times& Yardstick(const std::string& path) {
  if (!ParseBaseline().count(path)) {
    Stopwatch watch;
    ParseRapidJson(path, false);
    ParseBaseline()[path].Keep(watch);
  }
  return ParseBaseline()[path];
}

// simdjson at its best: the file already in memory and a parser whose
// buffers were sized by an earlier parse, so only the parse itself counts.
void BenchSimdjsonWarm(benchmark::State& state, uint64_t blocks) {
  std::string error;
  std::string path = DesignPath(blocks, error);
  if (path.empty()) return state.SkipWithError(error.c_str());
  simdjson::padded_string text;
  if (auto err = simdjson::padded_string::load(path).get(text))
    return state.SkipWithError(simdjson::error_message(err));
  simdjson::dom::parser parser;
  simdjson::dom::element doc;
  if (auto err = parser.parse(text).get(doc))
    return state.SkipWithError(simdjson::error_message(err));
  for (auto _ : state) {
    Stopwatch watch;
    if (auto err = parser.parse(text).get(doc))
      return state.SkipWithError(simdjson::error_message(err));
    benchmark::DoNotOptimize(CountValues(doc));
    state.SetIterationTime(watch.Wall());
  }
  state.counters["file_MB"] = static_cast<double>(text.size()) / 1e6;
  state.SetBytesProcessed(static_cast<int64_t>(text.size()) * state.iterations());
}

using ParseFn = std::string (*)(const std::string&);

void BenchParse(benchmark::State& state, uint64_t blocks, ParseFn parse, bool baseline) {
  std::string error;
  std::string path = DesignPath(blocks, error);
  if (path.empty()) return state.SkipWithError(error.c_str());
  for (auto _ : state) {
    Stopwatch watch;
    error = parse(path);
    if (!error.empty()) return state.SkipWithError(error.c_str());
    state.SetIterationTime(watch.Wall());
    if (baseline) ParseBaseline()[path].Keep(watch);
  }
  double mb = FileMb(path);
  state.counters["file_MB"] = mb;
  state.SetBytesProcessed(static_cast<int64_t>(mb * 1e6) * state.iterations());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// `ratio` compares wall times, `cpu_ratio` CPU times (the CPU column of a
// load row is the parent's, waiting; `load_cpu_s` is the child's).
// `paired_ratio` is the median, over the runs, of each load's time over
// that of a bare parse run just before it: on a machine whose speed drifts
// from second to second, the figure that drifts least.
void BenchLoad(benchmark::State& state, uint64_t blocks, bool oneThread) {
  std::string error;
  std::string path = DesignPath(blocks, error);
  if (path.empty()) return state.SkipWithError(error.c_str());
  double peakMb = 0, load = 0, cpu = 0, abort = 0, base = 0;
  std::vector<double> paired;
  LoadReport r;
  for (auto _ : state) {
    double peak = 0;
    Stopwatch parse;
    error = ParseRapidJson(path, false);
    if (!error.empty()) return state.SkipWithError(error.c_str());
    const double parseWall = parse.Wall();
    ParseBaseline()[path].Keep(parse);
    r = LoadInChild(path, peak, "off", oneThread);
    if (r.error[0]) return state.SkipWithError(r.error);
    state.SetIterationTime(r.loadSeconds);
    peakMb = std::max(peakMb, peak);
    load += r.loadSeconds;
    cpu += r.loadCpuSeconds;
    abort += r.abortSeconds;
    base = r.baseMb;
    paired.push_back(r.loadSeconds / parseWall);
  }
  double n = static_cast<double>(state.iterations()), mb = FileMb(path);
  const Times& yardstick = Yardstick(path);
  state.counters["file_MB"] = mb;
  state.counters["ratio"] = load / n / yardstick.wall;
  state.counters["cpu_ratio"] = cpu / n / yardstick.cpu;
  state.counters["paired_ratio"] = Median(paired);
  state.counters["load_cpu_s"] = cpu / n;
  state.counters["peak_MB"] = peakMb;
  state.counters["base_MB"] = base;
  state.counters["peak/file"] = peakMb / mb;
  state.counters["abort_s"] = abort / n;
  state.counters["blocks"] = static_cast<double>(r.blocks);
  state.counters["nets"] = static_cast<double>(r.nets);
}

// The first open with snapshots on (a parse, then the snapshot written),
// then reopening from the snapshot, each in a new process.
// A reopen that must hash the design file, as one does when the snapshot's
// record of the file cannot vouch for its bytes: the record cleared.
void ForgetSource(const std::string& snapshot) {
  constexpr char kZeros[24] = {};
  static_assert(offsetof(Pds_PahSnap::Header, sourceChangeNs) + 8 -
                    offsetof(Pds_PahSnap::Header, sourceDevice) ==
                sizeof kZeros);
  std::fstream file(snapshot, std::ios::in | std::ios::out | std::ios::binary);
  file.seekp(offsetof(Pds_PahSnap::Header, sourceDevice));
  file.write(kZeros, sizeof kZeros);
}

enum class SnapshotRow { kWrite, kReopen, kReopenHashed };

void BenchSnapshot(benchmark::State& state, uint64_t blocks, SnapshotRow row) {
  const bool reopen = row != SnapshotRow::kWrite;
  std::string error;
  std::string path = DesignPath(blocks, error);
  if (path.empty()) return state.SkipWithError(error.c_str());
  const std::string snapshot = Pds_PahSnapshotCache::PathOf(path);
  double peakMb = 0, load = 0, cpu = 0;
  if (reopen && !fs::exists(snapshot)) {  // this row alone: the first open writes it, untimed
    double peak = 0;
    if (LoadInChild(path, peak, "all").error[0]) return state.SkipWithError("no snapshot");
  }
  for (auto _ : state) {
    if (!reopen) fs::remove(snapshot);
    if (row == SnapshotRow::kReopenHashed) ForgetSource(snapshot);
    double peak = 0;
    const LoadReport r = LoadInChild(path, peak, "all");
    if (r.error[0]) return state.SkipWithError(r.error);
    if (!fs::exists(snapshot)) return state.SkipWithError("no snapshot was written");
    state.SetIterationTime(r.loadSeconds);
    peakMb = std::max(peakMb, peak);
    load += r.loadSeconds;
    cpu += r.loadCpuSeconds;
  }
  const double n = static_cast<double>(state.iterations()), mb = FileMb(path);
  const Times& yardstick = Yardstick(path);
  state.counters["file_MB"] = mb;
  state.counters["snapshot_MB"] = FileMb(snapshot);
  state.counters["ratio"] = load / n / yardstick.wall;
  state.counters["load_cpu_s"] = cpu / n;
  state.counters["peak_MB"] = peakMb;
  state.counters["peak/file"] = peakMb / mb;
}

// Memory of a process in MB from /proc/<pid>/smaps_rollup: its
// proportional share (Pss) and what it alone holds (Private_*).
struct Smaps {
  double pss = 0, uss = 0, rss = 0;
};
Smaps SmapsOf(pid_t pid) {
  Smaps m;
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  std::string line;
  while (std::getline(in, line)) {
    char key[64];
    double kb = 0;
    if (std::sscanf(line.c_str(), "%63s %lf", key, &kb) != 2) continue;
    const std::string name = key;
    if (name == "Pss:") m.pss = kb / 1e3;
    if (name == "Rss:") m.rss = kb / 1e3;
    if (name == "Private_Clean:" || name == "Private_Dirty:") m.uss += kb / 1e3;
  }
  return m;
}

// `processes` processes open the design from its snapshot and hold it
// while their memory is read: the names they read from the snapshot's
// pages are shared, the objects each builds are its own.
void BenchShared(benchmark::State& state, uint64_t blocks, int processes) {
  std::string error;
  std::string path = DesignPath(blocks, error);
  if (path.empty()) return state.SkipWithError(error.c_str());
  double peak = 0;
  if (LoadInChild(path, peak, "all").error[0] || !fs::exists(Pds_PahSnapshotCache::PathOf(path))) {
    return state.SkipWithError("no snapshot");
  }
  Smaps total;
  for (auto _ : state) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return state.SkipWithError("no pipe");
    std::vector<pid_t> children;
    for (int i = 0; i < processes; ++i) {
      const pid_t pid = ::fork();
      if (pid == 0) {
        ::close(release[1]);  // else no child would see the release
        ::close(ready[0]);
        ::setenv("NCD_CACHE", "all", 1);
        const LoadReport r = LoadHereAndHold(path, ready[1], release[0]);
        ::_exit(r.error[0] ? 1 : 0);
      }
      children.push_back(pid);
    }
    char byte = 0;
    for (int i = 0; i < processes; ++i) {
      if (::read(ready[0], &byte, 1) != 1) break;
    }
    Smaps sum;
    for (pid_t pid : children) {
      const Smaps m = SmapsOf(pid);
      sum.pss += m.pss;
      sum.uss += m.uss;
      sum.rss += m.rss;
    }
    total = sum;
    ::close(release[1]);  // every child's read ends: they exit
    for (pid_t pid : children)
      ::waitpid(pid, nullptr, 0);
    for (int fd : {ready[0], ready[1], release[0]})
      ::close(fd);
    state.SetIterationTime(1);
  }
  const double n = processes;
  state.counters["processes"] = n;
  state.counters["pss_MB_each"] = total.pss / n;
  state.counters["uss_MB_each"] = total.uss / n;
  state.counters["rss_MB_each"] = total.rss / n;
  state.counters["file_MB"] = FileMb(path);
}

std::string ParseRapidSax(const std::string& path) {
  return ParseRapidJson(path, false);
}
std::string ParseRapidIterative(const std::string& path) {
  return ParseRapidJson(path, true);
}

// NCD_BENCH_RUNS sets how many times each row runs (default: 3, once at 1M).
void Register(uint64_t blocks, const std::string& tag) {
  int runs = blocks >= 1000000 ? 1 : 3;
  if (const char* value = std::getenv("NCD_BENCH_RUNS"); value && std::atoi(value) > 0)
    runs = std::atoi(value);
  auto parse = [&](const char* name, ParseFn fn, bool baseline) {
    benchmark::RegisterBenchmark((std::string(name) + "/" + tag).c_str(), BenchParse, blocks, fn,
                                 baseline)
        ->Iterations(runs)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  };
  parse("read", ReadOnly, false);
  parse("parse_rapidjson_sax", ParseRapidSax, true);
  parse("parse_rapidjson_iterative", ParseRapidIterative, false);
  parse("parse_simdjson_dom", ParseSimdjson, false);
  benchmark::RegisterBenchmark(("parse_simdjson_dom_warm/" + tag).c_str(), BenchSimdjsonWarm,
                               blocks)
      ->Iterations(runs)
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  parse("parse_nlohmann_sax", ParseNlohmann, false);
  parse("scan_split", ScanSplit, false);
  for (const bool oneThread : {true, false}) {
    benchmark::RegisterBenchmark(((oneThread ? "load_one_thread/" : "load/") + tag).c_str(),
                                 BenchLoad, blocks, oneThread)
        ->Iterations(runs)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  for (const auto& [name, row] : {std::pair{"load_and_write_snapshot/", SnapshotRow::kWrite},
                                  {"reopen_snapshot/", SnapshotRow::kReopen},
                                  {"reopen_snapshot_hashed/", SnapshotRow::kReopenHashed}}) {
    benchmark::RegisterBenchmark((name + tag).c_str(), BenchSnapshot, blocks, row)
        ->Iterations(runs)
        ->UseManualTime()
        ->Unit(benchmark::kMillisecond);
  }
  for (const int processes : {1, 2, 4}) {
    benchmark::RegisterBenchmark(
        ("shared_snapshot/" + tag + "/processes:" + std::to_string(processes)).c_str(), BenchShared,
        blocks, processes)
        ->Iterations(1)
        ->UseManualTime()
        ->Unit(benchmark::kSecond);
  }
}

}  // namespace

// The 1,000,000-block design (about half a gigabyte, and a minute or more
// of runs) is measured only when NCD_BENCH_LARGE=1.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Snapshots of the designs go beside them; only the snapshot rows use them.
  std::string error;
  const std::string design = DesignPath(100000, error);
  if (!design.empty()) {
    ::setenv("XDG_CACHE_HOME", (fs::path(design).parent_path() / "cache").c_str(), 1);
  }
  ::setenv("NCD_CACHE", "off", 1);
  Register(100000, "100k");
  const char* large = std::getenv("NCD_BENCH_LARGE");
  if (large && std::strcmp(large, "1") == 0) Register(1000000, "1M");
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
