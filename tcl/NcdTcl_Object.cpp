#include "NcdTcl_Object.h"

#include <atomic>
#include <cstring>
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

UtilI::ITclCollectable* Held(Tcl_Obj* value) {
  return static_cast<UtilI::ITclCollectable*>(value->internalRep.twoPtrValue.ptr1);
}

void FreeIntRep(Tcl_Obj* value) {
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
}

void DupIntRep(Tcl_Obj* source, Tcl_Obj* copy) {
  Install(copy, Held(source), KindOf(source));
}

void UpdateString(Tcl_Obj* value) {
  const KindInfo* kind = KindOf(value);
  std::string name = DisplayName(Held(value), *kind);
  if (name.empty()) name = std::string("<stale ") + kind->typeName + ">";
  value->bytes = Tcl_Alloc(static_cast<unsigned>(name.size() + 1));
  std::memcpy(value->bytes, name.c_str(), name.size() + 1);
  value->length = static_cast<int>(name.size());
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
  Tcl_InvalidateStringRep(value);
  Install(value, coll, kind);
  return value;
}

UtilI::ITclCollectable* CollectableOf(Tcl_Obj* value) {
  return value->typePtr == &kObjectType ? Held(value) : nullptr;
}

const KindInfo* KindOf(Tcl_Obj* value) {
  if (value->typePtr != &kObjectType) return nullptr;
  return static_cast<const KindInfo*>(value->internalRep.twoPtrValue.ptr2);
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

}  // namespace NcdTcl
