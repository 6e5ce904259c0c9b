// -of_objects: which objects of one kind relate to an object of another,
// as a table of property paths (a net's blocks are its pins' blocks: the
// path "Pins", "Block").
#pragma once

#include <vector>

#include "NcdTcl_Query.h"

namespace NcdTcl {

// The kinds whose objects -of_objects accepts for `target`, in the order a
// name of several of them is taken: net, pin, signal, block, RPM, clock
// region, site.
std::vector<Kind> SourceKinds(Kind target);

// Adds the objects of kind `target` related to `source` (a live object of
// one of SourceKinds(target)) to `out`, in the component's order.
void AddRelated(Tcl_Obj* source, const KindInfo& target, ResultList& out);

}  // namespace NcdTcl
