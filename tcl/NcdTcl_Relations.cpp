#include "NcdTcl_Relations.h"

#include <algorithm>
#include <array>

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
  for (Kind kind : kPrecedence)
    for (const Relation& relation : kRelations)
      if (relation.target == target && relation.source == kind &&
          std::find(kinds.begin(), kinds.end(), kind) == kinds.end())
        kinds.push_back(kind);
  return kinds;
}

void AddRelated(Tcl_Obj* source, const KindInfo& target, ResultList& out) {
  UtilI::ITclCollectable* coll = CollectableOf(source);
  const Kind kind = KindOf(source)->kind;
  std::vector<CollRef> reached;
  for (const Relation& relation : kRelations) {
    if (relation.target != target.kind || relation.source != kind ||
        !HasProperty(coll, relation.path[0]))
      continue;
    reached = Reach(coll, relation);
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
