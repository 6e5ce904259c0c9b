#include "BenchDesigns.h"

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>

#include "NcdGen.h"
#include "NcdTool_Output.h"

namespace {

namespace fs = std::filesystem;

std::string DataDir() {
  const char* dir = std::getenv("NCD_BENCH_DATA");
  return dir && *dir ? dir : NCD_BENCH_DATA;
}

// Writes the design to `path` through a temporary file, so that an
// interrupted run never leaves a truncated design to be reused.
bool Generate(std::uint64_t blocks, const std::string& path, std::string& error) {
  std::error_code ec;
  fs::create_directories(DataDir(), ec);
  error = NcdTool::WriteOutput(
      path, [&](std::ostream& out) { NcdGen::WriteDesign(NcdGen::Options{blocks, 1}, out); });
  return error.empty();
}

}  // namespace

std::string DesignPath(std::uint64_t blocks, std::string& error) {
  static std::mutex mutex;
  static std::map<std::uint64_t, std::string> cache;
  std::lock_guard<std::mutex> lock(mutex);
  if (auto it = cache.find(blocks); it != cache.end()) return it->second;
  std::string path = DataDir() + "/ncdgen1_b" + std::to_string(blocks) + "_s1.json";
  if (!fs::exists(path) && !Generate(blocks, path, error)) return {};
  return cache[blocks] = path;
}
