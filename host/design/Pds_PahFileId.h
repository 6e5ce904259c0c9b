// Pds_PahFileId: which file a design file's name stood for when it was
// opened, and when it was last changed (internal to host_design).
//
// A design file may be replaced (renamed over) or written to while it is
// read. The system moves a file's time of change on at every write,
// whatever its writer does to the modification time, and a file renamed
// over it is another inode: so an id that Holds the bytes of an earlier
// one tells that two opens of a name read the same bytes, or that an open
// file was left alone since.
#pragma once

#include <cstdint>
#include <string>

struct stat;

struct Pds_PahFileId {
  std::uint64_t device = 0, inode = 0, size = 0, links = 0;
  std::int64_t modifiedNs = 0, changedNs = 0;

  // Whether the file of this id holds the bytes it held at `before`: the
  // same file, size and modification time, and the same time of change
  // unless its count of links moved (a rename over the file, or its
  // removal, moves that time too and leaves the bytes alone).
  bool Holds(const Pds_PahFileId& before) const {
    return device == before.device && inode == before.inode && size == before.size &&
           modifiedNs == before.modifiedNs &&
           (changedNs == before.changedNs || links != before.links);
  }

  static Pds_PahFileId Of(const struct stat& status);
  // False when the file cannot be looked at.
  static bool OfDescriptor(int fd, Pds_PahFileId& id);
  static bool OfPath(const std::string& path, Pds_PahFileId& id);
};
