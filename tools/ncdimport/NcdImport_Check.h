// The design format's rules on names and nesting (docs/design-format.md),
// checked on an imported design before anything is written, so that the
// importer never writes a design the loader refuses: names are non-empty;
// unique among sibling blocks, among a block's pins, signals, general
// configuration data and modes, and among the design's nets, cells, cell
// types, clock regions and shapes; a block name holds no '/'; blocks nest
// at most kMaxDepth levels. (The netlist reader already refused strings
// that are not UTF-8 or hold a NUL, and the PCF reader likewise.)
#pragma once

#include <string>

#include "NcdImport_Design.h"

namespace NcdImport {

// Throws Error "<netlist>: cannot import: duplicate pin name 'A' in block
// 'u/c'" for the first rule the design breaks.
void CheckDesign(const Design& design, const std::string& netlistPath);

}  // namespace NcdImport
