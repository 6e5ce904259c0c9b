// NcdTcl::ReadKey: which design a read was for, as the manager keys
// designs: the owner object and the file, the file by its full path (two
// names of one file are one design of one owner).
#pragma once

#include <filesystem>
#include <string>
#include <tuple>

#include "CitI_IInterface.h"

namespace NcdTcl {

struct ReadKey {
  const CitI::IInterface* owner = nullptr;  // compared by address only, never used
  std::string path;

  bool operator<(const ReadKey& o) const {
    return std::tie(owner, path) < std::tie(o.owner, o.path);
  }
  bool operator==(const ReadKey& o) const { return owner == o.owner && path == o.path; }
};

// The full path of `file` (existing or not), or `file` itself when it
// cannot be resolved.
inline std::string FullPath(const std::string& file) {
  std::error_code ec;
  std::filesystem::path path = std::filesystem::weakly_canonical(file, ec);
  return ec ? file : path.string();
}

inline ReadKey KeyOf(const CitI::IInterface* owner, const std::string& file) {
  return ReadKey{owner, FullPath(file)};
}

}  // namespace NcdTcl
