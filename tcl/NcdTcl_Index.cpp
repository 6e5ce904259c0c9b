#include "NcdTcl_Index.h"

#include <algorithm>
#include <memory>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>

#include "NcdTcl_Interrupt.h"
#include "NcdTcl_Pattern.h"
#include "NcdTcl_Property.h"
#include "Pds_PdmBlock.h"
#include "Rf_Device.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_Object.h"
#include "Xdm_Pin.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_Signal.h"
#include "Xdm_ViewIndex.h"

namespace NcdTcl {

namespace {

// The component's collectables of one design's objects, where it shows
// them (a hidden object's collectable wraps nothing: it is stale).
class Shown {
 public:
  explicit Shown(Session::Handle& handle) : m_design(*handle.design) {}

  CollRef Of(const Xdm_Block* block) {
    return Live(m_design.MakeCollectable(static_cast<const Pds_PdmBlock*>(block)));
  }
  CollRef Of(const Xdm_Pin* pin) { return Live(m_design.MakeCollectable(pin)); }
  CollRef Of(const Xdm_Signal* signal) { return Live(m_design.MakeCollectable(signal)); }
  CollRef Of(const Xdm_Network* network) { return Live(m_design.MakeCollectable(network)); }
  // An RPM is shown when the shape manager lists its shape, as the RPM
  // search walks that list.
  CollRef Of(const Xdm_PropertyHolder* rpm) {
    Xdh_ShapeMgr* shapes = rpm ? m_design.GetShapeMgr() : nullptr;
    return shapes && shapes->HasShape(rpm) ? Live(m_design.MakeCollectable(rpm)) : CollRef();
  }

  // The block's collectable when a search reaches it: it and every block
  // above it but the top are shown.
  CollRef Reached(const Xdm_Block* block) {
    CollRef coll = block ? Of(block) : CollRef();
    for (const Xdm_Block* above = coll ? block->GetParent() : nullptr;
         above != nullptr && above->GetParent() != nullptr; above = above->GetParent()) {
      if (!Of(above)) return {};
    }
    return coll;
  }

 private:
  static CollRef Live(CollRef coll) {
    return coll && !coll->IsStale() ? std::move(coll) : CollRef();
  }

  UtilI::ISharedNcd& m_design;
};

void Add(ResultList& out, const CollRef& coll, const KindInfo& kind) {
  if (coll) out.Add(NewObject(coll.get(), &kind));
}

// A pin's or signal's block, for members of either kind.
const Xdm_Block* BlockOf(const Xdm_Pin* pin) {
  return pin->GetParent();
}
const Xdm_Block* BlockOf(const Xdm_Signal* signal) {
  return Xdm_Parent::GetParentObject(signal);
}

template <class Member>
void AddMembersFound(Shown& shown, const std::vector<Member*>& found, const KindInfo& kind,
                     ResultList& out) {
  for (const Member* member : found) {
    if (shown.Reached(BlockOf(member))) Add(out, shown.Of(member), kind);
  }
}

thread_local std::uint64_t t_blocksVisited = 0;
thread_local std::uint64_t t_membersVisited = 0;

// Calls `visit(member)` for the block's pins or signals, in the block's
// order, while it answers true (a visit that answers nothing goes through).
template <class Visit>
void ForEachMember(const Xdm_Block* block, Kind kind, Visit visit) {
  const auto go = [&](const auto* member) {
    ++t_membersVisited;
    if constexpr (std::is_void_v<decltype(visit(member))>) {
      visit(member);
      return true;
    } else {
      return visit(member);
    }
  };
  if (kind == Kind::Pin) {
    for (const Xdm_Pin* pin : block->GetPinItr())
      if (!go(pin)) return;
  } else {
    for (const Xdm_Signal* signal : block->GetSignals())
      if (!go(signal)) return;
  }
}

// Adds the block's members whose names `keep` accepts and the component
// shows, until `out` holds `most` objects (0: no end).
template <class Keep>
void AddMembers(Shown& shown, const Xdm_Block* block, const KindInfo& kind, Keep keep,
                ResultList& out, std::uint64_t most = 0) {
  ForEachMember(block, kind.kind, [&](const auto* member) {
    if (most && static_cast<std::uint64_t>(out.Size()) >= most) return false;
    if (keep(member->GetName())) Add(out, shown.Of(member), kind);
    return true;
  });
}

// A block and its collectable, as a walk finds it.
using Found = std::vector<std::pair<const Xdm_Block*, CollRef>>;

// Calls `visit(block, coll)` for the shown blocks below `block` whose names
// match the pattern's levels from `level` to `levels` - 1 (one level each),
// depth first, while it answers true; false when it stopped. All lie at one
// depth, so this is also the order of a walk level by level.
template <class Visit>
bool VisitBelow(Shown& shown, const Xdm_Block* block, const PathPattern& pattern, std::size_t level,
                std::size_t levels, Visit& visit) {
  for (const Xdm_Block* child : block->GetBlocks()) {
    CheckStop();
    ++t_blocksVisited;
    if (!pattern.LevelMatches(level, child->GetName())) continue;
    CollRef coll = shown.Of(child);
    if (!coll) continue;
    if (level + 1 == levels ? !visit(child, std::move(coll))
                            : !VisitBelow(shown, child, pattern, level + 1, levels, visit))
      return false;
  }
  return true;
}

// The blocks whose paths match the pattern's first `literal` levels, which
// have no wildcards: each names one block, looked up. The top block's path
// is its name, a path of one level as those of the blocks in it.
Found LiteralBlocks(Shown& shown, const Xdm_View& view, const PathPattern& pattern,
                    std::size_t literal, bool withTop) {
  const Xdm_Block* top = view.GetBlock();
  Found level;
  const std::string first = pattern.LevelLiteral(0);
  if (withTop && literal == 1 && first == top->GetName()) level.emplace_back(top, shown.Of(top));
  const Xdm_Block* block = view.GetNameIndex().FindChild(top, first);
  for (std::size_t i = 1; block != nullptr && i < literal; ++i)
    block = view.GetNameIndex().FindChild(block, pattern.LevelLiteral(i));
  if (CollRef coll = shown.Reached(block)) level.emplace_back(block, std::move(coll));
  return level;
}

// Calls `visit(block, coll)` for the blocks whose paths match the pattern's
// first `levels` levels, in order, while it answers true. The top is found
// at the first level only (with `withTop`) and has nothing below it; below
// the blocks the leading levels without wildcards name, only the children
// of the blocks that match the levels above are asked, depth first, so
// that a visit that stops stops the walk.
template <class Visit>
void ForEachAlong(Shown& shown, const Xdm_View& view, const PathPattern& pattern,
                  std::size_t levels, bool withTop, Visit visit) {
  const Xdm_Block* top = view.GetBlock();
  if (top == nullptr || levels == 0) return;
  const std::size_t literal = std::min(pattern.LiteralLevels(), levels);
  if (literal == levels) {
    for (auto& [block, coll] : LiteralBlocks(shown, view, pattern, literal, withTop))
      if (!visit(block, std::move(coll))) return;
    return;
  }
  if (literal > 0) {
    for (const auto& [block, coll] : LiteralBlocks(shown, view, pattern, literal, false))
      if (!VisitBelow(shown, block, pattern, literal, levels, visit)) return;
    return;
  }
  if (withTop && levels == 1 && pattern.LevelMatches(0, top->GetName()) &&
      !visit(top, shown.Of(top)))
    return;
  VisitBelow(shown, top, pattern, 0, levels, visit);
}

// Security of either kind hides a block's contents from the component's
// clients: its children are never reached.
bool HidesContents(const Xdm_Block* block) {
  const auto* pdm = static_cast<const Pds_PdmBlock*>(block);
  return pdm->GetNetlistSecurity() != 0 || pdm->GetConfigSecurity() != 0;
}

// Whether a block whose path's levels are `path` (below the top; the top's
// path is its name alone) matches the pattern's levels as its last ones.
bool PathEndMatches(const PathPattern& pattern, const std::vector<const char*>& path) {
  const std::size_t k = pattern.Levels();
  if (path.size() < k) return false;
  for (std::size_t i = 0, first = path.size() - k; i < k; ++i)
    if (!pattern.LevelMatches(i, path[first + i])) return false;
  return true;
}

// Whether the path of `block` (below the top; the top's members are paths
// of one level) ends in blocks whose names match the pattern's first
// `levels` levels: the path of a member of it matches the pattern's levels
// as its last ones when its name matches the last.
bool BlockPathEndMatches(const PathPattern& pattern, std::size_t levels, const Xdm_Block* block) {
  for (std::size_t i = levels; i-- > 0; block = block->GetParent()) {
    if (block->GetParent() == nullptr || !pattern.LevelMatches(i, block->GetName())) return false;
  }
  return true;
}

// Whether some pin (or signal) name holds a '/': such a member's path has
// more levels than its block's and one, which walks by block cannot answer.
bool MemberNamesHoldSlash(const Xdm_View& view, const KindInfo& kind) {
  const auto table = kind.kind == Kind::Pin ? Xdm_ViewIndex::kPins : Xdm_ViewIndex::kSignals;
  return view.GetNameIndex().NamesWithSlash(table) != 0;
}

// Where blocks and their members come in the component's order: a block's
// place is the positions (from 1) of it and its ancestors among their
// siblings, from the top (depth first, each block before its children); a
// member's is its block's, then 0 (before the block's children) and its
// position among the block's members. Positions are found once per parent.
class Placing {
 public:
  std::vector<std::uint32_t> Of(const Xdm_Block* block) {
    std::vector<std::uint32_t> place;
    for (; block != nullptr && block->GetParent() != nullptr; block = block->GetParent())
      place.push_back(Position(block) + 1);
    std::reverse(place.begin(), place.end());
    return place;
  }
  template <class Member>
  std::vector<std::uint32_t> Of(const Member* member) {
    std::vector<std::uint32_t> place = Of(BlockOf(member));
    place.push_back(0);
    const auto found = m_memberPositions.try_emplace(BlockOf(member));
    auto& positions = found.first->second;
    if (found.second) {
      std::uint32_t i = 0;
      ForEachMember(BlockOf(member), KindOf(member),
                    [&](const auto* other) { positions.emplace(other, i++); });
    }
    place.push_back(positions[member]);
    return place;
  }

 private:
  std::uint32_t Position(const Xdm_Block* block) {
    auto [it, made] = m_positions.try_emplace(block->GetParent());
    if (made) {
      std::uint32_t i = 0;
      for (const Xdm_Block* child : block->GetParent()->GetBlocks())
        it->second.emplace(child, i++);
    }
    return it->second[block];
  }
  static Kind KindOf(const Xdm_Pin*) { return Kind::Pin; }
  static Kind KindOf(const Xdm_Signal*) { return Kind::Signal; }

  std::unordered_map<const Xdm_Block*, std::unordered_map<const Xdm_Block*, std::uint32_t>>
      m_positions;
  // Per block, its pins' or signals' positions (one kind per placing).
  std::unordered_map<const Xdm_Block*, std::unordered_map<const void*, std::uint32_t>>
      m_memberPositions;
};

// The shown objects of `found` (each once), in the component's order.
template <class Object>
void AddInOrder(Shown& shown, std::vector<Object*>& found, const KindInfo& kind, ResultList& out) {
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  Placing placing;
  std::vector<std::pair<std::vector<std::uint32_t>, CollRef>> placed;
  for (const Object* object : found) {
    CollRef coll;
    if constexpr (std::is_same_v<Object, Xdm_Block>)
      coll = shown.Reached(object);
    else if (shown.Reached(BlockOf(object)))
      coll = shown.Of(object);
    if (coll) placed.emplace_back(placing.Of(object), std::move(coll));
  }
  std::sort(placed.begin(), placed.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [place, coll] : placed)
    Add(out, coll, kind);
}

// Blocks or nets between two checks for a stop.
constexpr std::uint32_t kStopEvery = 4096;

}  // namespace

std::uint64_t BlocksVisited() {
  return t_blocksVisited;
}

std::uint64_t MembersVisited() {
  return t_membersVisited;
}

bool FindAllByName(Session::Handle& handle, const KindInfo& kind, const std::string& name,
                   ResultList& out) {
  const Kind k = kind.kind;
  if (k == Kind::Site || k == Kind::ClockRegion) return false;
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr) return true;
  const Xdm_ViewIndex& index = view->GetNameIndex();
  Shown shown(handle);
  if (k == Kind::Rpm) {
    Add(out, shown.Of(index.FindShape(name)), kind);
  } else if (k == Kind::Block) {
    std::vector<Xdm_Block*> found;
    index.FindBlocks(name, found);
    for (const Xdm_Block* block : found)
      Add(out, shown.Reached(block), kind);
  } else if (k == Kind::Net) {
    std::vector<Xdm_Network*> found;
    index.FindNetworks(name, found);
    for (const Xdm_Network* network : found)
      Add(out, shown.Of(network), kind);
  } else if (k == Kind::Pin) {
    std::vector<Xdm_Pin*> found;
    index.FindPins(name, found);
    AddMembersFound(shown, found, kind, out);
  } else {
    std::vector<Xdm_Signal*> found;
    index.FindSignals(name, found);
    AddMembersFound(shown, found, kind, out);
  }
  return true;
}

bool FindEachByName(Session::Handle& handle, const KindInfo& kind,
                    const std::vector<std::string>& names, ResultList& out) {
  const Kind k = kind.kind;
  if (k != Kind::Block && k != Kind::Pin && k != Kind::Signal) return false;
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr) return true;
  const Xdm_ViewIndex& index = view->GetNameIndex();
  Shown shown(handle);
  if (k == Kind::Block) {
    std::vector<Xdm_Block*> found;
    for (const std::string& name : names)
      index.FindBlocks(name, found);
    AddInOrder(shown, found, kind, out);
  } else if (k == Kind::Pin) {
    std::vector<Xdm_Pin*> found;
    for (const std::string& name : names)
      index.FindPins(name, found);
    AddInOrder(shown, found, kind, out);
  } else {
    std::vector<Xdm_Signal*> found;
    for (const std::string& name : names)
      index.FindSignals(name, found);
    AddInOrder(shown, found, kind, out);
  }
  return true;
}

namespace {

// Adds the members of every shown block whose names `keep` accepts, at most
// `most` of them (0: all), depth first, each block before its children, as
// the component's walks list them.
template <class Keep>
void AddShownMembers(Session::Handle& handle, const KindInfo& kind, std::uint64_t most, Keep keep,
                     ResultList& out) {
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr || view->GetBlock() == nullptr) return;
  Shown shown(handle);
  const auto room = [&] { return !most || static_cast<std::uint64_t>(out.Size()) < most; };
  std::vector<const Xdm_Block*> pending{view->GetBlock()};
  while (!pending.empty() && room()) {
    CheckStop();
    ++t_blocksVisited;
    const Xdm_Block* block = pending.back();
    pending.pop_back();
    // The top block alone may hold most of the signals: stop inside it too.
    AddMembers(
        shown, block, kind, [&](const char* name) { return keep(block, name); }, out, most);
    if (!room()) break;
    const Xdm_Range<Xdm_Block> children = block->GetBlocks();
    for (std::size_t i = children.size(); i-- > 0;) {
      if (shown.Of(children[i])) pending.push_back(children[i]);
    }
  }
}

}  // namespace

void AddEveryMember(Session::Handle& handle, const KindInfo& kind, ResultList& out,
                    std::uint64_t most) {
  AddShownMembers(
      handle, kind, most, [](const Xdm_Block*, const char*) { return true; }, out);
}

bool AddMembersNamed(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                     std::uint64_t most, ResultList& out) {
  const Xdm_View* view = handle.design->GetView();
  if (view && MemberNamesHoldSlash(*view, kind)) return false;
  const std::size_t last = pattern.Levels() - 1;
  AddShownMembers(
      handle, kind, most,
      [&](const Xdm_Block* block, const char* name) {
        return pattern.LevelMatches(last, name) && BlockPathEndMatches(pattern, last, block);
      },
      out);
  return true;
}

void AddBlocksBelowAny(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                       std::uint64_t most, ResultList& out) {
  const Xdm_View* view = handle.design->GetView();
  const Xdm_Block* top = view ? view->GetBlock() : nullptr;
  if (top == nullptr) return;
  Shown shown(handle);
  std::uint64_t added = 0;
  const auto add = [&](const Xdm_Block* block) {
    if (CollRef coll = shown.Of(block)) {
      Add(out, coll, kind);
      ++added;
    }
  };
  if (pattern.Levels() == 1 && pattern.LevelMatches(0, top->GetName())) add(top);
  // Depth first, each block before its children, as the block search;
  // `path` holds the names of the blocks from below the top to the one
  // visited.
  struct Pending {
    const Xdm_Block* block;
    std::size_t depth;  // levels of its path
  };
  std::vector<Pending> pending;
  std::vector<const char*> path;
  // Children are pushed last first, so that the first is visited next.
  const auto pushChildren = [&pending](const Xdm_Block* block, std::size_t depth) {
    const Xdm_Range<Xdm_Block> children = block->GetBlocks();
    if (children.empty() || HidesContents(block)) return;
    for (std::size_t i = children.size(); i-- > 0;)
      pending.push_back({children[i], depth + 1});
  };
  pushChildren(top, 0);
  for (std::uint32_t visited = 0; !pending.empty() && (!most || added < most); ++visited) {
    if (visited % kStopEvery == 0) CheckStop();
    const auto [block, depth] = pending.back();
    pending.pop_back();
    path.resize(depth);
    path.back() = block->GetName();
    if (PathEndMatches(pattern, path)) add(block);
    pushChildren(block, depth);
  }
}

// The placed blocks of a view, by the name of their cell and by its clock
// region's text: their places in the component's order of the blocks (as
// AddBlocksBelowAny walks), and by place their bridge ids. Names point
// into the view's device, which lives as long as the view.
struct Placement {
  std::vector<std::uint32_t> ids;
  std::unordered_map<std::string_view, std::vector<std::uint32_t>> byCell, byRegion;
};

namespace {

std::shared_ptr<const Placement> ReadPlacement(const Xdm_View& view, XCad_RMed& routes) {
  auto placement = std::make_shared<Placement>();
  // Depth first, each block before its children, as the block search; the
  // contents a block's security hides are not entered.
  std::vector<const Xdm_Block*> pending{view.GetBlock()};
  for (std::uint32_t visited = 0; !pending.empty(); ++visited) {
    if (visited % kStopEvery == 0) CheckStop();
    ++t_blocksVisited;
    const Xdm_Block* block = pending.back();
    pending.pop_back();
    if (const Rf_Cell cell = routes.GetPlacement(block); cell.IsValid()) {
      const auto place = static_cast<std::uint32_t>(placement->ids.size());
      placement->ids.push_back(Xdm_BridgeId::GetBridgeId(block));
      placement->byCell[cell.GetName()].push_back(place);
      placement->byRegion[cell.GetClockRegionText()].push_back(place);
    }
    const Xdm_Range<Xdm_Block> children = block->GetBlocks();
    if (children.empty() || HidesContents(block)) continue;
    for (std::size_t i = children.size(); i-- > 0;)
      pending.push_back(children[i]);
  }
  return placement;
}

void AddPlaces(const std::unordered_map<std::string_view, std::vector<std::uint32_t>>& table,
               const std::unordered_set<std::string>& names, std::vector<std::uint32_t>& places) {
  for (const std::string& name : names)
    if (auto it = table.find(name); it != table.end())
      places.insert(places.end(), it->second.begin(), it->second.end());
}

}  // namespace

void AddPlacedOn(Session::Handle& handle, const KindInfo& kind,
                 const std::unordered_set<std::string>& cells,
                 const std::unordered_set<std::string>& regions, ResultList& out) {
  const Xdm_View* view = handle.design->GetView();
  XCad_RMed* routes = view && view->GetBlock() ? handle.design->GetRouteMediator() : nullptr;
  if (routes == nullptr) return;
  if (!handle.placement) handle.placement = ReadPlacement(*view, *routes);
  const Placement& placement = *handle.placement;
  std::vector<std::uint32_t> places;
  AddPlaces(placement.byCell, cells, places);
  AddPlaces(placement.byRegion, regions, places);
  std::sort(places.begin(), places.end());
  places.erase(std::unique(places.begin(), places.end()), places.end());
  Shown shown(handle);
  for (std::uint32_t place : places) {
    CheckStop();
    if (const Xdm_Block* block = view->GetBlockByBridgeId(placement.ids[place]))
      Add(out, shown.Of(block), kind);
  }
}

void AddNetsMatching(Session::Handle& handle, const KindInfo& kind,
                     std::span<const PathPattern* const> globs, std::uint64_t most, ResultList& out,
                     const std::unordered_set<std::string>* paths) {
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr) return;
  Shown shown(handle);
  const bool every = globs.empty() && (paths == nullptr || paths->empty());
  std::uint64_t added = 0;
  std::uint32_t visited = 0;
  for (const Xdm_Network* network : view->GetNetworkItr()) {
    if (visited++ % kStopEvery == 0) CheckStop();
    const auto matches = [&] {
      const char* path = network->GetFullName();
      if (paths && !paths->empty() && paths->count(path)) return true;
      return std::any_of(globs.begin(), globs.end(),
                         [&](const PathPattern* glob) { return glob->PathMatches(path); });
    };
    if (!every && !matches()) continue;
    if (CollRef coll = shown.Of(network)) {
      Add(out, coll, kind);
      if (++added == most) return;
    }
  }
}

std::vector<std::string> NetPaths(Session::Handle& handle) {
  std::vector<std::string> paths;
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr) return paths;
  Shown shown(handle);
  std::uint32_t visited = 0;
  for (const Xdm_Network* network : view->GetNetworkItr()) {
    if (visited++ % kStopEvery == 0) CheckStop();
    if (shown.Of(network)) paths.emplace_back(network->GetFullName());
  }
  return paths;
}

bool AddAlongPath(Session::Handle& handle, const KindInfo& kind, const PathPattern& pattern,
                  std::uint64_t most, ResultList& out) {
  const Xdm_View* view = handle.design->GetView();
  if (view == nullptr) return true;
  Shown shown(handle);
  const auto room = [&] { return !most || static_cast<std::uint64_t>(out.Size()) < most; };
  const std::size_t levels = pattern.Levels();
  if (kind.kind == Kind::Block) {
    ForEachAlong(shown, *view, pattern, levels, true, [&](const Xdm_Block*, CollRef coll) {
      Add(out, coll, kind);
      return room();
    });
    return true;
  }
  if (MemberNamesHoldSlash(*view, kind)) return false;
  // A member's path is its block's and its name; the top's members are
  // paths of one level.
  const auto last = [&](const char* name) { return pattern.LevelMatches(levels - 1, name); };
  if (levels == 1) {
    if (view->GetBlock()) AddMembers(shown, view->GetBlock(), kind, last, out, most);
    return true;
  }
  ForEachAlong(shown, *view, pattern, levels - 1, false,
               [&](const Xdm_Block* block, const CollRef&) {
                 AddMembers(shown, block, kind, last, out, most);
                 return room();
               });
  return true;
}

}  // namespace NcdTcl
