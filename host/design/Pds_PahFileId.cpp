#include "Pds_PahFileId.h"

#include <sys/stat.h>

namespace {
std::int64_t Nanoseconds(const struct timespec& time) {
  return std::int64_t{time.tv_sec} * 1000000000 + time.tv_nsec;
}
}  // namespace

Pds_PahFileId Pds_PahFileId::Of(const struct stat& status) {
  return {static_cast<std::uint64_t>(status.st_dev),
          static_cast<std::uint64_t>(status.st_ino),
          static_cast<std::uint64_t>(status.st_size),
          static_cast<std::uint64_t>(status.st_nlink),
          Nanoseconds(status.st_mtim),
          Nanoseconds(status.st_ctim)};
}

bool Pds_PahFileId::OfDescriptor(int fd, Pds_PahFileId& id) {
  struct stat status {};
  if (::fstat(fd, &status) != 0) return false;
  id = Of(status);
  return true;
}

bool Pds_PahFileId::OfPath(const std::string& path, Pds_PahFileId& id) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) return false;
  id = Of(status);
  return true;
}
