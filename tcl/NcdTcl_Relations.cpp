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

// For one target and source, the first relation whose first property the
// source has is followed (the top block lists all nets; other blocks reach
// nets through their pins).
const Relation kRelations[] = {
    {Kind::Block, Kind::Block, {"Children", nullptr}},
    {Kind::Block, Kind::Pin, {"Block", nullptr}},
    {Kind::Block, Kind::Signal, {"Parent", nullptr}},
    {Kind::Block, Kind::Net, {"Pins", "Block"}},
    {Kind::Block, Kind::Rpm, {"Members", nullptr}},
    {Kind::Net, Kind::Block, {"Nets", nullptr}},
    {Kind::Net, Kind::Block, {"Pins", "Net"}},
    {Kind::Net, Kind::Pin, {"Net", nullptr}},
    {Kind::Net, Kind::Signal, {"Net", nullptr}},
    {Kind::Pin, Kind::Block, {"Pins", nullptr}},
    {Kind::Pin, Kind::Net, {"Pins", nullptr}},
    {Kind::Pin, Kind::Signal, {"Pins", nullptr}},
    {Kind::Signal, Kind::Block, {"Signals", nullptr}},
    {Kind::Signal, Kind::Net, {"Signals", nullptr}},
    {Kind::Signal, Kind::Pin, {"Signal", nullptr}},
    {Kind::Rpm, Kind::Block, {"RPMs", nullptr}},
    {Kind::Site, Kind::Block, {"Site", nullptr}},
    {Kind::Site, Kind::ClockRegion, {"Sites", nullptr}},
};

// The objects a property of `coll` holds: a list's items, or one object.
std::vector<CollRef> Follow(UtilI::ITclCollectable* coll, const char* property) {
  ValueRef value = ReadValue(coll, property);
  if (!value) return {};
  if (value->GetKind() == UtilI::kValueList) return ListItems(value.get());
  CommonI::RefCountPtr<CitI::IInterface> object;
  if (value->GetKind() != UtilI::kValueObject || !value->GetObject(object) || !object) return {};
  auto* item =
      static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable));
  return item ? std::vector<CollRef>{CollRef(item)} : std::vector<CollRef>{};
}

const Relation* RelationFor(UtilI::ITclCollectable* source, Kind sourceKind, Kind target) {
  for (const Relation& relation : kRelations)
    if (relation.target == target && relation.source == sourceKind &&
        HasProperty(source, relation.path[0]))
      return &relation;
  return nullptr;
}

}  // namespace

std::vector<Kind> SourceKinds(Kind target) {
  std::vector<Kind> kinds;
  for (const Relation& relation : kRelations)
    if (relation.target == target &&
        std::find(kinds.begin(), kinds.end(), relation.source) == kinds.end())
      kinds.push_back(relation.source);
  return kinds;
}

void AddRelated(Tcl_Obj* source, const KindInfo& target, ResultList& out) {
  UtilI::ITclCollectable* coll = CollectableOf(source);
  const Relation* relation = RelationFor(coll, KindOf(source)->kind, target.kind);
  if (!relation) return;
  std::vector<CollRef> reached = Follow(coll, relation->path[0]);
  if (relation->path[1]) {
    std::vector<CollRef> next;
    for (const CollRef& item : reached)
      for (CollRef& further : Follow(item.get(), relation->path[1]))
        next.push_back(std::move(further));
    reached = std::move(next);
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
