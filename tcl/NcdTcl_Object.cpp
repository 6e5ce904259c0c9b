#include "NcdTcl_Object.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>
#include <string>

#include "NcdTcl_Property.h"

namespace NcdTcl {

namespace {

const KindInfo kKinds[kKindCount] = {
    {Kind::Block, "block", "ncd_block", "ncd_block"},
    {Kind::Net, "net", "ncd_net", "ncd_net"},
    {Kind::Pin, "pin", "ncd_pin", nullptr},
    {Kind::Signal, "signal", "ncd_signal", nullptr},
    {Kind::Rpm, "rpm", "ncd_rpm", "ncd_rpm"},
    {Kind::Site, "site", "ncd_site", nullptr},
    {Kind::ClockRegion, "clock_region", "ncd_clock_region", nullptr},
};

std::atomic<long> s_live{0};
std::atomic<std::uint64_t> s_made{0};

// The values of this thread that have no string form yet, so that they can
// be named while their design is still there (NameUnnamedObjects). Such a
// value's ptr2 is its node, tagged with the low bit; once named, ptr2 is
// its kind.
struct Unnamed {
  Tcl_Obj* value;
  const KindInfo* kind;
  Unnamed* prev;
  Unnamed* next;
};
thread_local Unnamed* t_unnamed = nullptr;

constexpr std::uintptr_t kNodeTag = 1;

Unnamed* NodeOf(Tcl_Obj* value) {
  const auto bits = reinterpret_cast<std::uintptr_t>(value->internalRep.twoPtrValue.ptr2);
  return bits & kNodeTag ? reinterpret_cast<Unnamed*>(bits & ~kNodeTag) : nullptr;
}

// Without memory for the node the value is named when Tcl asks, as usual.
void Track(Tcl_Obj* value, const KindInfo* kind) {
  auto* node = new (std::nothrow) Unnamed{value, kind, nullptr, t_unnamed};
  if (!node) return;
  if (t_unnamed) t_unnamed->prev = node;
  t_unnamed = node;
  value->internalRep.twoPtrValue.ptr2 =
      reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(node) | kNodeTag);
}

void Untrack(Tcl_Obj* value) {
  Unnamed* node = NodeOf(value);
  if (!node) return;
  (node->prev ? node->prev->next : t_unnamed) = node->next;
  if (node->next) node->next->prev = node->prev;
  value->internalRep.twoPtrValue.ptr2 = const_cast<KindInfo*>(node->kind);
  delete node;
}

UtilI::ITclCollectable* Held(Tcl_Obj* value) {
  return static_cast<UtilI::ITclCollectable*>(value->internalRep.twoPtrValue.ptr1);
}

void FreeIntRep(Tcl_Obj* value) {
  Untrack(value);
  if (CommonI::IRefCount* count = CommonI::RefCountOf(Held(value))) count->Release();
  s_live.fetch_sub(1, std::memory_order_relaxed);
}

void DupIntRep(Tcl_Obj* source, Tcl_Obj* copy);
void UpdateString(Tcl_Obj* value);

const Tcl_ObjType kObjectType = {"ncd_object", FreeIntRep, DupIntRep, UpdateString, nullptr};

void Install(Tcl_Obj* value, UtilI::ITclCollectable* coll, const KindInfo* kind) {
  if (CommonI::IRefCount* count = CommonI::RefCountOf(coll)) count->AddRef();
  value->internalRep.twoPtrValue.ptr1 = coll;
  value->internalRep.twoPtrValue.ptr2 = const_cast<KindInfo*>(kind);
  value->typePtr = &kObjectType;
  s_live.fetch_add(1, std::memory_order_relaxed);
  s_made.fetch_add(1, std::memory_order_relaxed);
  if (!value->bytes) Track(value, kind);
}

// Tcl copies the string form, if any, before it calls this.
void DupIntRep(Tcl_Obj* source, Tcl_Obj* copy) {
  Install(copy, Held(source), KindOf(source));
}

void SetString(Tcl_Obj* value, const char* text, std::size_t length) {
  value->bytes = Tcl_Alloc(static_cast<unsigned>(length + 1));
  std::memcpy(value->bytes, text, length + 1);
  value->length = static_cast<int>(length);
}

// Called by Tcl: no exception may leave it.
void UpdateString(Tcl_Obj* value) {
  const KindInfo* kind = KindOf(value);
  try {
    std::string name = DisplayName(Held(value), *kind);
    if (name.empty()) name = std::string("<stale ") + kind->typeName + ">";
    SetString(value, name.c_str(), name.size());
  } catch (...) {
    SetString(value, kind->typeName, std::strlen(kind->typeName));  // out of memory
  }
  Untrack(value);
}

}  // namespace

const KindInfo* Kinds() {
  return kKinds;
}

const KindInfo& InfoOf(Kind kind) {
  return kKinds[static_cast<int>(kind)];
}

const KindInfo* KindOfType(const char* typeName) {
  for (const KindInfo& info : kKinds)
    if (!std::strcmp(info.typeName, typeName)) return &info;
  return nullptr;
}

const KindInfo* KindOfWord(const char* word) {
  for (const KindInfo& info : kKinds)
    if (!std::strcmp(info.word, word)) return &info;
  return KindOfType(word);
}

Tcl_Obj* NewObject(UtilI::ITclCollectable* coll, const KindInfo* kind) {
  if (!kind) {
    Port::StringBase typeName;
    coll->GetTypeName(typeName);
    kind = KindOfType(typeName.c_str());
    if (!kind) return nullptr;
  }
  Tcl_Obj* value = Tcl_NewObj();
  Tcl_InvalidateStringRep(value);  // made from the object when first needed
  Install(value, coll, kind);
  return value;
}

UtilI::ITclCollectable* CollectableOf(Tcl_Obj* value) {
  return value->typePtr == &kObjectType ? Held(value) : nullptr;
}

const KindInfo* KindOf(Tcl_Obj* value) {
  if (value->typePtr != &kObjectType) return nullptr;
  if (const Unnamed* node = NodeOf(value)) return node->kind;
  return static_cast<const KindInfo*>(value->internalRep.twoPtrValue.ptr2);
}

void NameUnnamedObjects() {
  while (t_unnamed)
    Tcl_GetString(t_unnamed->value);  // names it and takes it off the list
}

std::string DisplayName(UtilI::ITclCollectable* coll, const KindInfo& kind) {
  if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion) {
    Port::StringBase name;
    return coll->GetName(name) ? name.str() : std::string();
  }
  return PropertyText(coll, "Full Name");
}

long LiveObjectValues() {
  return s_live.load(std::memory_order_relaxed);
}

std::uint64_t ObjectValuesMade() {
  return s_made.load(std::memory_order_relaxed);
}

}  // namespace NcdTcl
