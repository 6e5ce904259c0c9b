// What the open flow's netlist is to the tools and the Tcl package: a file
// that is no design, whose failed load is better explained by how to
// convert it than by the loader's first complaint about it.
#pragma once

#include <string>

namespace NcdTool {

// For a file that is the open flow's netlist (what nextpnr-ice40 --write and
// Yosys write_json write, plain or gzipped: a JSON object whose first keys
// name its creator and modules):
//   "<file>: this is a netlist of the open flow (nextpnr-ice40 --write), not
//    a design: convert it with ncdimport -o design.ncd.json <file>
//    (docs/import.md)"
// and "" for any other file. Reads at most the file's first 4 KiB, and
// nothing of what is not a regular file (a FIFO would block).
std::string FlowNetlistHint(const std::string& file);

}  // namespace NcdTool
