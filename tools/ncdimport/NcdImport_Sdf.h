// The SDF file nextpnr writes with --sdf: the routed delay from a driving
// cell port to each load cell port (INTERCONNECT), in picoseconds. Cell
// delays (IOPATH) and timing checks have no place in the design format;
// they go to the notes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "NcdImport_Notes.h"

namespace NcdImport {

struct SdfInterconnect {
  std::string fromCell, fromPort, toCell, toPort;  // names without SDF escapes
  std::int64_t min = 0;  // the least and greatest of the rise and fall triples, in ps
  std::int64_t max = 0;
  std::uint64_t offset = 0;  // in the file
};

struct Sdf {
  std::string path;
  std::vector<SdfInterconnect> interconnects;
};

// Throws Error "<file>:<line>:<column>: <cause>" for text that is not SDF.
Sdf ReadSdf(const std::string& path, Notes& notes, std::uint64_t limit);

}  // namespace NcdImport
