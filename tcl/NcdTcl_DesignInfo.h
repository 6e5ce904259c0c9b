// NcdTcl::DescribeDesign: what `ncd::design_info` answers for a ready
// design: a dict of its file, design name, part, owner name and status,
// then counts by kind: blocks (total and by hierarchy level: top, module,
// hardmacro, comp, bel, other), nets, pins, signals and shapes.
//
// The whole view is walked on every call (iteratively, so deep hierarchies
// are safe); the view is only read, as any number of clients may do at once.
#pragma once

#include <tcl.h>

#include "NcdTcl_Session.h"

namespace NcdTcl {

Tcl_Obj* DescribeDesign(const Session::Handle& handle);

}  // namespace NcdTcl
