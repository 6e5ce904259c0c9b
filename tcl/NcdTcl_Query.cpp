#include "NcdTcl_Query.h"

#include <algorithm>
#include <mutex>
#include <utility>

#include "NcdTcl_Error.h"
#include "NcdTcl_Index.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_Owner.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Services.h"
#include "UtilI_VectorHelper.h"

namespace NcdTcl {

// ---- results ----

ResultList::ResultList(bool dedupe) : m_list(Tcl_NewListObj(0, nullptr)), m_dedupe(dedupe) {
  Tcl_IncrRefCount(m_list);
}

ResultList::~ResultList() {
  Tcl_DecrRefCount(m_list);
}

void ResultList::Add(Tcl_Obj* value) {
  if (m_dedupe && !m_ids.insert(CollectableOf(value)->GetId().str()).second) {
    Discard(value);
    return;
  }
  Tcl_ListObjAppendElement(nullptr, m_list, value);
}

void ResultList::Swap(ResultList& other) {
  std::swap(m_list, other.m_list);
  std::swap(m_dedupe, other.m_dedupe);
  m_ids.swap(other.m_ids);
}

void ResultList::Truncate(int size) {
  if (size >= Size()) return;
  if (Tcl_IsShared(m_list)) {
    Tcl_Obj* copy = Tcl_DuplicateObj(m_list);
    Tcl_IncrRefCount(copy);
    Tcl_DecrRefCount(m_list);
    m_list = copy;
  }
  Tcl_ListObjReplace(nullptr, m_list, size, Size() - size, 0, nullptr);
}

int ResultList::Size() const {
  int size = 0;
  Tcl_ListObjLength(nullptr, m_list, &size);
  return size;
}

namespace {
thread_local std::uint64_t t_itemsCopied = 0;
}  // namespace

std::vector<Tcl_Obj*> ResultList::Items() const {
  int count = 0;
  Tcl_Obj** items = nullptr;
  Tcl_ListObjGetElements(nullptr, m_list, &count, &items);
  t_itemsCopied += static_cast<std::uint64_t>(count);
  return std::vector<Tcl_Obj*>(items, items + count);
}

std::uint64_t ResultList::ItemsCopied() {
  return t_itemsCopied;
}

// ---- searching ----

namespace {

UtilI::ITclSearchSource& SourceOf(Session::Handle& handle) {
  auto* source = static_cast<UtilI::ITclSearchSource*>(
      handle.design->QueryInterface(UtilI::IID_ITclSearchSource));
  if (!source) throw Error(ErrorClass::Internal, "the design offers no search source");
  return *source;
}

// Stopped before its end, and not by reaching its limit.
bool Interrupted(UtilI::ISearchRequest& context, std::uint64_t limit) {
  return context.StopRequested() && !(limit && context.GetMatchCount() >= limit);
}

void Collect(UtilI::IObjectList& results, const KindInfo& kind, ResultList& out) {
  const std::uint64_t size = results.GetSize();
  for (std::uint64_t i = 0; i < size; ++i) {
    CheckStop();
    CollRef item;
    if (!results.GetItem(i, item) || !item || item->IsStale())
      continue;  // hidden nets wrap nothing
    out.Add(NewObject(item.get(), &kind));
  }
}

// Designs opened without an owner name share one owner, and so one search
// context (its stop flag and match count), in the whole process: their
// searches take turns.
std::unique_lock<std::mutex> TurnOf(const Session::Handle& handle) {
  static std::mutex shared;
  return handle.owner == Owner::Default() ? std::unique_lock<std::mutex>(shared)
                                          : std::unique_lock<std::mutex>();
}

}  // namespace

std::uint64_t Search(Session::Handle& handle, const SearchQuery& query, const std::string& pattern,
                     ResultList& out) {
  CheckStop();  // a stop asked between two searches of one command
  UtilI::ITclSearchSource& source = SourceOf(handle);
  CommonI::RefCountPtr<UtilI::ISearchRequest> context = SearchContext(handle.owner);
  CommonI::RefCountPtr<UtilI::IObjectList> results = NewObjectList();
  CommonI::RefCountPtr<UtilI::IStringContainer> types = UtilI::MakeStringContainer();
  if (!types || !types->Add(query.kind->searchType)) throw std::bad_alloc();
  CommonI::RefCountPtr<CitI::IInterface> prepared;
  if (!context->MakePattern(prepared, Port::StringBase(pattern), query.regexp, query.nocase,
                            query.hierarchical) ||
      !prepared)
    throw Error(ErrorClass::Option,
                "bad pattern \"" + Clipped(pattern) + "\": " + context->GetLastError().str());
  std::unique_lock<std::mutex> turn = TurnOf(handle);
  context->ResetSearch();
  context->SetMatchLimit(query.limit);
  CitI::Result ok = 0;
  {
    SearchScope stoppable(context.get());
    ok = source.SearchWithPattern(handle.owner, prepared, types, results.get(), nullptr);
  }
  if (Interrupted(*context, query.limit)) ThrowStopped();
  // A search that reached its limit answers 0, as the match calls did.
  if (!ok && !context->StopRequested())
    throw Error(ErrorClass::Internal, "the search of " + handle.file + " failed");
  Collect(*results, *query.kind, out);
  return context->GetMatchCount();
}

std::string QuoteGlob(const std::string& text) {
  std::string quoted;
  quoted.reserve(text.size());
  for (char c : text) {
    if (c == '*' || c == '?' || c == '[' || c == ']' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted;
}

// ---- finding by name ----

namespace {

Tcl_Obj* FirstMatch(Session::Handle& handle, const KindInfo& kind, const std::string& pattern,
                    bool full) {
  SearchQuery query;
  query.kind = &kind;
  query.hierarchical = full;
  query.limit = 1;
  ResultList found(false);
  Search(handle, query, pattern, found);
  std::vector<Tcl_Obj*> items = found.Items();
  return items.empty() ? nullptr : NewObject(CollectableOf(items.front()), &kind);
}

// A site or clock region of a device that has one.
CollRef DeviceObject(const Device& device, const KindInfo& kind, const Port::StringBase& name) {
  CollRef found;
  if (kind.kind == Kind::Site)
    device.sites->FindSite(found, name);
  else
    device.rf->FindClockRegion(found, name);
  return found;
}

Tcl_Obj* FindDeviceObject(Session::Handle& handle, const KindInfo& kind, const std::string& name) {
  const Device device = DeviceOf(*handle.design);
  CollRef found = device.object ? DeviceObject(device, kind, Port::StringBase(name)) : CollRef();
  return found ? NewObject(found.get(), &kind) : nullptr;
}

}  // namespace

namespace {

// Calls `visit(device, name)` for each site or clock region name of the
// design's part, in device order, while it answers true.
template <class Visit>
void ForEachDeviceName(Session::Handle& handle, const KindInfo& kind, Visit visit) {
  const Device device = DeviceOf(*handle.design);
  CommonI::RefCountPtr<UtilI::IStringContainer> names;
  CommonI::RefCountPtr<UtilI::IStringIterator> it;
  const bool listed =
      device.object && (kind.kind == Kind::Site ? device.sites->GetSiteNames(names)
                                                : device.rf->GetClockRegionNames(names));
  if (listed && names) names->CreateIterator(it);
  for (; it && !it->IsDone(); it->Next()) {
    CheckStop();
    if (!visit(device, it->GetCurrent())) return;
  }
}

}  // namespace

void AddDeviceObjects(Session::Handle& handle, const KindInfo& kind, ResultList& out,
                      std::size_t most) {
  std::size_t added = 0;
  ForEachDeviceName(handle, kind, [&](const Device& device, const Port::StringBase& name) {
    if (CollRef found = DeviceObject(device, kind, name)) {
      out.Add(NewObject(found.get(), &kind));
      ++added;
    }
    return !most || added < most;
  });
}

std::vector<std::string> DeviceNames(Session::Handle& handle, const KindInfo& kind) {
  std::vector<std::string> names;
  ForEachDeviceName(handle, kind, [&](const Device&, const Port::StringBase& name) {
    names.push_back(name.str());
    return true;
  });
  return names;
}

Tcl_Obj* TopBlock(Session::Handle& handle) {
  return FirstMatch(handle, InfoOf(Kind::Block), "*", false);
}

Tcl_Obj* FindByName(Session::Handle& handle, const KindInfo& kind, const std::string& name) {
  if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion)
    return FindDeviceObject(handle, kind, name);
  ResultList found(false);
  FindAllByName(handle, kind, name, found);
  const std::vector<Tcl_Obj*> items = found.Items();
  return items.empty() ? nullptr : NewObject(CollectableOf(items.front()), &kind);
}

void RequireLive(Tcl_Obj* value) {
  UtilI::ITclCollectable* coll = CollectableOf(value);
  if (coll && !coll->IsStale()) return;
  const std::string name = Tcl_GetString(value);
  throw Error(ErrorClass::Stale,
              "object \"" + name + "\" is stale: its design was closed or the object was removed",
              {name});
}

}  // namespace NcdTcl
