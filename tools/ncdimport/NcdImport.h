// ncdimport: placed-and-routed iCE40 designs from the open flow
// (nextpnr-ice40's --write JSON, optionally its --sdf delays and the PCF it
// was given) as ncd-json designs. docs/import.md gives the mapping.
//
// Every value the mapping has no place for is counted in a Notes object,
// once per kind, so that nothing is dropped unreported. The functions keep
// no state between calls and may run on several threads at once.
#pragma once

#include <cstdint>
#include <cstdio>
#include <iosfwd>
#include <string>

#include "NcdImport_Design.h"
#include "NcdImport_Input.h"
#include "NcdImport_Notes.h"

namespace NcdImport {

struct Inputs {
  std::string netlist;  // required
  std::string sdf;      // optional: "" for none
  std::string pcf;      // optional
  std::uint64_t limit = kInputLimit;  // the most each input may hold, decompressed
};

// Throws Error (NcdImport_Input.h) for an input it cannot read or use.
Design Import(const Inputs& inputs, Notes& notes);

// Writes the design as ncd-json, one net, cell or block per line. Answers
// the bytes written; throws std::runtime_error when the output fails.
std::uint64_t WriteDesign(const Design& design, std::ostream& out);

}  // namespace NcdImport
