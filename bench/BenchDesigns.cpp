#include "BenchDesigns.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

#include "NcdGen.h"

namespace {

namespace fs = std::filesystem;

std::string DataDir() {
  const char* dir = std::getenv("NCD_BENCH_DATA");
  return dir && *dir ? dir : NCD_BENCH_DATA;
}

// Writes the design to `path` through a temporary name, so that an
// interrupted run never leaves a truncated design to be reused.
bool Generate(std::uint64_t blocks, const std::string& path, std::string& error) {
  std::error_code ec;
  fs::create_directories(DataDir(), ec);
  std::string tmp = path + ".tmp" + std::to_string(::getpid());
  std::FILE* out = std::fopen(tmp.c_str(), "wb");
  if (!out) {
    error = "cannot create " + tmp + ": " + std::strerror(errno);
    return false;
  }
  try {
    NcdGen::WriteDesign(NcdGen::Options{blocks, 1}, out);
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (std::fclose(out) != 0 && error.empty()) error = "cannot write " + tmp;
  if (error.empty()) fs::rename(tmp, path, ec);
  if (error.empty() && ec) error = "cannot rename " + tmp + ": " + ec.message();
  if (!error.empty()) fs::remove(tmp, ec);
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
