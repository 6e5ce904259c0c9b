// Makes the snapshot reader's seeds: a snapshot of each design named, in
// the folder named, as <design's name without .ncd.json or .json>.ncdsnap.
// A design that does not load is left out (and said so); a snapshot
// that does not read back is an error.
//
//   build-fuzz/bin/snapshot_seeds tests/fuzz/snapshot_corpus \
//       tests/fuzz/corpus/*.json tests/data/tiny.ncd.json examples/demo.ncd.json
//
// tools/fuzz-loader.sh -T fuzz_snapshot makes them afresh and fails when the
// committed ones differ (a snapshot of another version is only refused).
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahSnapshot.h"
#include "Xdm_ViewStore.h"

namespace {

std::string SeedName(const std::filesystem::path& design) {
  std::string name = design.filename().string();
  for (const char* suffix : {".ncd.json", ".json"}) {
    const std::string s = suffix;
    if (name.size() > s.size() && name.compare(name.size() - s.size(), s.size(), s) == 0) {
      name.resize(name.size() - s.size());
      break;
    }
  }
  return name + ".ncdsnap";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: %s <folder> <design>...\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  int status = 0;
  for (int i = 2; i < argc; ++i) {
    std::unique_ptr<Xdm_ViewStore> store;
    try {
      Pds_PahJsonLoader loader(argv[i]);
      store = loader.Load();
    } catch (const Pds_Exception& e) {
      std::printf("left out %s: %s\n", argv[i], e.what());
      continue;
    }
    const std::string path = (folder / SeedName(argv[i])).string();
    if (!Pds_PahSnapshot::Write(*store, {}, path)) {
      std::fprintf(stderr, "%s: cannot write %s\n", argv[i], path.c_str());
      status = 1;
      continue;
    }
    std::ifstream in(path, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    std::vector<std::uint64_t> aligned((bytes.size() + 7) / 8);
    std::memcpy(aligned.data(), bytes.data(), bytes.size());
    std::string why;
    if (!Pds_PahSnapshot::ReadBytes(reinterpret_cast<const char*>(aligned.data()), bytes.size(),
                                    true, why)) {
      std::fprintf(stderr, "%s: does not read back: %s\n", path.c_str(), why.c_str());
      status = 1;
      continue;
    }
    std::printf("%s: %zu bytes\n", path.c_str(), bytes.size());
  }
  return status;
}
