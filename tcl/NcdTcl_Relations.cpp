#include "NcdTcl_Relations.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <unordered_set>

#include "NcdTcl_Interrupt.h"
#include "NcdTcl_Property.h"

namespace NcdTcl {

namespace {

struct Relation {
  Kind target;
  Kind source;
  std::array<const char*, 2> path;  // property names; the second may be null
};

// For one target and source, the first relation that reaches an object is
// followed (the top block lists all nets, other blocks reach nets through
// their pins; a pin's net is its own signal's, else, for a top-level port,
// the one of its signal inside the top block).
const Relation kRelations[] = {
    {Kind::Block, Kind::Block, {"Children", nullptr}},
    {Kind::Block, Kind::Pin, {"Block", nullptr}},
    {Kind::Block, Kind::Signal, {"Parent", nullptr}},
    {Kind::Block, Kind::Net, {"Pins", "Block"}},
    {Kind::Block, Kind::Rpm, {"Members", nullptr}},
    {Kind::Net, Kind::Block, {"Nets", nullptr}},
    {Kind::Net, Kind::Block, {"Pins", "Net"}},
    {Kind::Net, Kind::Pin, {"Net", nullptr}},
    {Kind::Net, Kind::Pin, {"Child Signal", "Net"}},
    {Kind::Net, Kind::Signal, {"Net", nullptr}},
    {Kind::Pin, Kind::Block, {"Pins", nullptr}},
    {Kind::Pin, Kind::Net, {"Pins", nullptr}},
    {Kind::Pin, Kind::Signal, {"Pins", nullptr}},
    {Kind::Signal, Kind::Block, {"Signals", nullptr}},
    {Kind::Signal, Kind::Net, {"Signals", nullptr}},
    {Kind::Signal, Kind::Pin, {"Signal", nullptr}},
    {Kind::Signal, Kind::Pin, {"Child Signal", nullptr}},
    {Kind::Rpm, Kind::Block, {"RPMs", nullptr}},
    {Kind::Site, Kind::Block, {"Site", nullptr}},
    {Kind::Site, Kind::ClockRegion, {"Sites", nullptr}},
    {Kind::ClockRegion, Kind::Site, {"Clock Region", nullptr}},
    {Kind::ClockRegion, Kind::Block, {"Site", "Clock Region"}},
    {Kind::ClockRegion, Kind::Pin, {"Clock Region", nullptr}},
};

// Relations read backwards: the blocks whose path reaches the source (the
// blocks placed on a site, or in a clock region). They are answered from
// the design's placement, read once per handle, and only the blocks placed
// there are asked (AddPlacedOn).
const Relation kBackwards[] = {
    {Kind::Block, Kind::Site, {"Site", nullptr}},
    {Kind::Block, Kind::ClockRegion, {"Site", "Clock Region"}},
};

// The objects a property of `coll` holds: a list's items, or one object.
std::vector<CollRef> Follow(UtilI::ITclCollectable* coll, const char* property) {
  ValueRef value = ReadValue(coll, property);
  if (value && value->GetKind() == UtilI::kValueList) return ListItems(value.get());
  CollRef item = ObjectValue(coll, property);
  return item ? std::vector<CollRef>{item} : std::vector<CollRef>{};
}

// The objects a relation reaches from `coll`, in order.
std::vector<CollRef> Reach(UtilI::ITclCollectable* coll, const Relation& relation) {
  std::vector<CollRef> reached = Follow(coll, relation.path[0]);
  if (!relation.path[1]) return reached;
  std::vector<CollRef> next;
  for (const CollRef& item : reached)
    for (CollRef& further : Follow(item.get(), relation.path[1]))
      next.push_back(std::move(further));
  return next;
}

}  // namespace

// Which kind a name of several kinds is taken as, first to last: a name
// shared by a net and its port, block or signal is most often meant as
// the net (its pins, its blocks), then as the port.
constexpr Kind kPrecedence[] = {Kind::Net, Kind::Pin,         Kind::Signal, Kind::Block,
                                Kind::Rpm, Kind::ClockRegion, Kind::Site};

std::vector<Kind> SourceKinds(Kind target) {
  std::vector<Kind> kinds;
  auto add = [&](Kind kind, const Relation& relation) {
    if (relation.target == target && relation.source == kind &&
        std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
      kinds.push_back(kind);
  };
  for (Kind kind : kPrecedence) {
    for (const Relation& relation : kRelations)
      add(kind, relation);
    for (const Relation& relation : kBackwards)
      add(kind, relation);
  }
  return kinds;
}

bool IsBackwards(Kind target, Kind source) {
  return std::any_of(std::begin(kBackwards), std::end(kBackwards), [&](const Relation& relation) {
    return relation.target == target && relation.source == source;
  });
}

// A site names its clock region as text: the region of that name.
std::vector<CollRef> RegionNamed(Session::Handle& design, const std::string& name) {
  Tcl_Obj* found = name.empty() ? nullptr : FindByName(design, InfoOf(Kind::ClockRegion), name);
  if (!found) return {};
  TclRef held(found);
  return {CollRef(CollectableOf(found))};
}

// The name a backwards relation reaches from a block (a site's "Clock
// Region" is its region's name), or "".
std::string ReachedName(UtilI::ITclCollectable* block, const Relation& relation) {
  if (!relation.path[1]) return PropertyText(block, relation.path[0]);
  const CollRef first = ObjectValue(block, relation.path[0]);
  return first ? PropertyText(first.get(), relation.path[1]) : std::string();
}

void AddReachingBlocks(const std::vector<Tcl_Obj*>& sources, const ResultList& blocks,
                       ResultList& out) {
  std::unordered_set<std::string> wanted[2];  // names of the sites, of the clock regions
  for (Tcl_Obj* source : sources)
    wanted[KindOf(source)->kind == Kind::Site ? 0 : 1].insert(Tcl_GetString(source));
  for (Tcl_Obj* block : blocks.Items()) {
    CheckStop();
    for (int i = 0; i < 2; ++i) {
      if (wanted[i].empty()) continue;
      const std::string name = ReachedName(CollectableOf(block), kBackwards[i]);
      if (!name.empty() && wanted[i].count(name)) {
        out.Add(block);
        break;
      }
    }
  }
}

void PlacementNames(const std::vector<Tcl_Obj*>& sources, std::unordered_set<std::string>& cells,
                    std::unordered_set<std::string>& regions) {
  for (Tcl_Obj* source : sources) {
    if (KindOf(source)->kind == Kind::Site) {
      cells.insert(Tcl_GetString(source));
      continue;
    }
    // A region's blocks lie on its sites, or on cells that name it.
    regions.insert(Tcl_GetString(source));
    const ValueRef sites = ReadValue(CollectableOf(source), "Sites");
    if (!sites) continue;
    for (const CollRef& site : ListItems(sites.get())) {
      CheckStop();
      cells.insert(PropertyText(site.get(), "Name"));
    }
  }
}

// A pin of the top block: a top-level port. A port prints as its name
// alone, a pin of any other block as the block's path and its name; a
// port's name may hold a '/' too.
bool IsPort(Tcl_Obj* pin) {
  const char* path = Tcl_GetString(pin);
  return std::strchr(path, '/') == nullptr || PropertyText(CollectableOf(pin), "Name") == path;
}

// Whether a pin drives (or loads) its net: an output (an input) inside the
// design, an input (an output) at its top; an InOut pin does both.
bool IsEnd(Tcl_Obj* pin, bool driver) {
  const std::string direction = PropertyText(CollectableOf(pin), "Direction");
  if (direction == "InOut") return true;
  const bool output = direction == "Output";
  return IsPort(pin) ? output != driver : output == driver;
}

bool IsLeaf(Tcl_Obj* pin) {
  const CollRef block = ObjectValue(CollectableOf(pin), "Block");
  const ValueRef children = block ? ReadValue(block.get(), "Children") : ValueRef();
  return block && (!children || ListItems(children.get()).empty());
}

void AddRelated(Tcl_Obj* source, const KindInfo& target, ResultList& out, Session::Handle* design) {
  UtilI::ITclCollectable* coll = CollectableOf(source);
  const Kind kind = KindOf(source)->kind;
  std::vector<CollRef> reached;
  for (const Relation& relation : kRelations) {
    if (relation.target != target.kind || relation.source != kind ||
        !HasProperty(coll, relation.path[0]))
      continue;
    reached = Reach(coll, relation);
    if (reached.empty() && target.kind == Kind::ClockRegion && design)
      reached = RegionNamed(*design, ReachedName(coll, relation));
    if (!reached.empty()) break;
  }
  for (const CollRef& item : reached) {
    Tcl_Obj* value = NewObject(item.get());
    if (value && KindOf(value) == &target && !item->IsStale())
      out.Add(value);
    else if (value)
      Discard(value);
  }
}

}  // namespace NcdTcl
