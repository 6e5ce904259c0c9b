// NcdTcl::DesignReport: the text of `ncd::report_design`, counts of a
// ready design in the manner of Yosys `stat`: blocks by hierarchy level
// and by "Subtype", nets by "Subtype", pins, signals and shapes; with `hierarchy`,
// the same for the subtree of every module and hard-macro instance.
//
// Counts are those of the design file, as design_info counts them
// (secured contents included). The view is walked once, iteratively, and
// only read.
#pragma once

#include <string>

#include "NcdTcl_Session.h"

namespace NcdTcl {

std::string DesignReport(const Session::Handle& handle, bool hierarchy);

}  // namespace NcdTcl
