// The physical constraints file given to nextpnr-ice40: which package pin
// each port bit sits on, and its pull-up. Only set_io lines carry values
// the importer maps; other commands go to the notes.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "NcdImport_Notes.h"

namespace NcdImport {

struct PcfIo {
  std::string port;    // the port bit, "led[1]"
  std::string pin;     // the package pin, "99" or "B5"
  std::string pullup;  // "yes", "no", or "" when the line says nothing
  int line = 0;
};

struct Pcf {
  std::vector<PcfIo> ios;
  std::unordered_map<std::string, std::size_t> index;  // port -> its entry in ios
  const PcfIo* Find(const std::string& port) const;
};

// Throws Error "<file>:<line>: <cause>" for a set_io line it cannot read
// or a port constrained twice, "<file>:<line>:<column>: <cause>" for text
// that is not UTF-8 or holds a NUL.
Pcf ReadPcf(const std::string& path, Notes& notes, std::uint64_t limit);

}  // namespace NcdImport
