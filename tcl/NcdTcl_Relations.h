// -of_objects: which objects of one kind relate to an object of another,
// as a table of property paths (a net's blocks are its pins' blocks: the
// path "Pins", "Block").
#pragma once

#include <string>
#include <unordered_set>
#include <vector>

#include "NcdTcl_Query.h"

namespace NcdTcl {

// The kinds whose objects -of_objects accepts for `target`, in the order a
// name of several of them is taken: net, pin, signal, block, RPM, clock
// region, site.
std::vector<Kind> SourceKinds(Kind target);

// Whether the relation from `source` objects to `target` ones is read
// backwards (the blocks placed on a site or in a clock region): answered
// by AddReachingBlocks, not AddRelated.
bool IsBackwards(Kind target, Kind source);
// Adds the blocks of `blocks` (blocks of the design, in its order) placed
// on one of the sites or in one of the clock regions `sources`.
void AddReachingBlocks(const std::vector<Tcl_Obj*>& sources, const ResultList& blocks,
                       ResultList& out);
// The names of the cells the blocks placed on `sources` (sites and clock
// regions) lie on, and of the clock regions among them: what AddPlacedOn
// (NcdTcl_Index.h) takes to find those blocks.
void PlacementNames(const std::vector<Tcl_Obj*>& sources, std::unordered_set<std::string>& cells,
                    std::unordered_set<std::string>& regions);

// Adds the objects of kind `target` related to `source` (a live object of
// one of SourceKinds(target)) to `out`, in the component's order.
// `design` finds the clock regions that sites name as text.
void AddRelated(Tcl_Obj* source, const KindInfo& target, ResultList& out,
                Session::Handle* design = nullptr);

// Pins as ends of their nets. A port is a pin of the top block. A pin
// drives its net when it is an output inside the design or an input at its
// top (loads: the other way round); an InOut pin does both. A leaf pin is
// one of a block without children.
bool IsPort(Tcl_Obj* pin);
bool IsEnd(Tcl_Obj* pin, bool driver);
bool IsLeaf(Tcl_Obj* pin);

}  // namespace NcdTcl
