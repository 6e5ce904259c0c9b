// Reports as text: aligned columns, and the answer of a report command
// (its text, or with -file the text written to a file).
#pragma once

#include <tcl.h>

#include <string>
#include <vector>

namespace NcdTcl {

using TextRow = std::vector<std::string>;

// The rows as lines of aligned columns: each cell padded to the widest of
// its column, two blanks apart, trailing blanks cut; `indent` before each.
std::string Columns(const std::vector<TextRow>& rows, const std::string& indent = "");

// Answers `text`, or, with a -file value, writes it to that file (made or
// replaced) and answers nothing; throws OPTION when it cannot be written,
// or when the file is one of `designs` (by any name or link), which a
// report must never take the place of.
void Deliver(Tcl_Interp* interp, const std::string& text, Tcl_Obj* file,
             const std::vector<std::string>& designs);

}  // namespace NcdTcl
