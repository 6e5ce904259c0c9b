// Names and paths answered from the design database beside the component's
// searches: its name index (Xdm_ViewIndex) and its lists of blocks, pins
// and signals.
//
// Every answer is the one a full search gives: an object is answered as the
// component's collectable of it (the same identity a search gives), only
// when the component shows it to a search (a hidden block and everything
// below it, hidden pins, signals and nets are not found; a removed object
// is not in the view), in the component's order (blocks depth first, each
// before its children; a block's pins and signals in its order, after those
// of the blocks before it; nets in the view's order; an RPM when the shape
// manager lists its shape, as the RPM search walks that list). A block is shown
// when it and every block above it, up to the top, is visible to the
// component (its collectable is not stale).
//
// Threads: the interpreter's thread, as every command.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

#include "NcdTcl_Query.h"

class Xdm_Block;

namespace NcdTcl {

class PathPattern;

// Adds every object of `kind` whose name as printed is `name`, in the
// component's order; false (nothing added) for the kinds the index does not
// hold (sites and clock regions, which the device finds by name).
bool FindAllByName(Session::Handle& handle, const KindInfo& kind, const std::string& name,
                   ResultList& out);

// Adds the blocks, pins or signals whose names as printed are among
// `names`, each once, in the component's order, from lookups in the name
// index (no walk of the design); false (nothing added) for other kinds.
bool FindEachByName(Session::Handle& handle, const KindInfo& kind,
                    const std::vector<std::string>& names, ResultList& out);

// Adds every pin or signal of every shown block, in the component's order,
// at most `most` of them (0: all).
void AddEveryMember(Session::Handle& handle, const KindInfo& kind, ResultList& out,
                    std::uint64_t most = 0);

// Adds the pins or signals whose paths match a glob with -hierarchical (as
// their last levels), at most `most` of them (0: all), in the component's
// order, by one walk of the shown blocks: names are matched in place (a
// member's, then its blocks' up the path while they match), and only a
// match is made an object. False (nothing added) when some member's name
// holds a '/': such a path has more levels than its blocks and one.
bool AddMembersNamed(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                     std::uint64_t most, ResultList& out);

// How many blocks this thread's walks of the view have visited (for tests:
// what a command's walk cost).
std::uint64_t BlocksVisited();
// The same for the pins and signals of blocks they visit.
std::uint64_t MembersVisited();

// Adds the blocks (or, for pins and signals, the members of the blocks)
// whose paths match a glob without -hierarchical: its leading levels
// without wildcards are looked up, and only what lies below the deepest
// block they name is walked, asking only the children of blocks that match
// the levels above; at most `most` of them (0: all), where the walk stops. False (nothing added)
// when a walk by levels cannot answer: a design with pins (or signals) whose names hold a '/',
// whose paths have more levels than their blocks' and one.
bool AddAlongPath(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                  std::uint64_t most, ResultList& out);

// Adds the blocks whose paths match a glob with -hierarchical (the path's
// last levels), at most `most` of them (0: all), by one walk over the
// view's blocks in the component's order: names are read from the
// database and matched in place, and only a match is asked of the
// component (its collectable; one it does not show is left out). The walk
// does not enter a block whose security hides its contents, as the
// component does not (docs/design-format.md, netlist_security).
void AddBlocksBelowAny(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                       std::uint64_t most, ResultList& out);

// Adds the shown blocks that may be placed on a site named in `cells`, or
// in a clock region named in `regions`, in the component's order (as
// AddBlocksBelowAny walks): the blocks placed on a cell of such a name, or
// on a cell whose clock region's text is such a name. The placement is
// read from the route mediator by one walk of the view, the first time a
// handle asks, and kept with the handle (Placement): blocks are kept by
// bridge id, and each is asked again of the view and the component when
// answered. The caller checks each block's "Site".
void AddPlacedOn(Session::Handle& handle, const KindInfo& kind,
                 const std::unordered_set<std::string>& cells,
                 const std::unordered_set<std::string>& regions, ResultList& out);

// Adds the nets whose paths (the full names they print as) match one of
// the globs, from the top or, with -hierarchical, as their last levels, at
// most `most` of them (0: all), by one walk over the view's networks in the
// component's order: full names are read from the database and matched in
// place, and only a match is asked of the component (a hidden net is left
// out). With `paths`, a net whose path is one of them matches too (exact
// names, looked up rather than matched one by one). Without globs or paths
// every net matches: what the component's search of "*" answers.
void AddNetsMatching(Session::Handle& handle, const KindInfo& kind,
                     std::span<const PathPattern* const> globs, std::uint64_t most, ResultList& out,
                     const std::unordered_set<std::string>* paths = nullptr);

// The paths (full names as printed) of every net the component shows, in
// the view's order, read from the database: no net is made an object.
std::vector<std::string> NetPaths(Session::Handle& handle);

}  // namespace NcdTcl
