#include "NcdTcl_Resolve.h"

#include <algorithm>
#include <cstring>

#include "NcdTcl_Error.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_Property.h"

namespace NcdTcl {

namespace {

const std::vector<Kind>& AllKinds() {
  static const std::vector<Kind> all = [] {
    std::vector<Kind> kinds;
    for (int i = 0; i < kKindCount; ++i)
      kinds.push_back(Kinds()[i].kind);
    return kinds;
  }();
  return all;
}

struct Found {
  Kind kind;
  Tcl_Obj* object;  // held by the list of candidates
};

// Rule 1: a signal of a net that is also a candidate is that net.
bool IsSignalOfNet(const Found& signal, const std::vector<Found>& found) {
  if (signal.kind != Kind::Signal) return false;
  const CollRef net = ObjectValue(CollectableOf(signal.object), "Net");
  for (const Found& other : found)
    if (other.kind == Kind::Net && net && net->GetId() == CollectableOf(other.object)->GetId())
      return true;
  return false;
}

// The candidates the rules keep.
std::vector<Found> Settled(std::vector<Found> found, const Resolution& how) {
  std::vector<Found> kept;
  for (const Found& one : found)
    if (!IsSignalOfNet(one, found)) kept.push_back(one);
  if (kept.size() > 1 && how.property) {
    std::vector<Found> having;
    for (const Found& one : kept)
      if (HasProperty(CollectableOf(one.object), how.property)) having.push_back(one);
    if (!having.empty()) kept = having;
  }
  if (kept.size() > 1 && how.byPrecedence)  // found in precedence order
    kept.erase(kept.begin() + 1, kept.end());
  return kept;
}

// The command with "-object_type <kind>" after its name.
std::string SettlingCommand(const Resolution& how, Kind kind) {
  if (!how.objv) return std::string("-object_type ") + InfoOf(kind).word;
  TclRef words(Tcl_NewListObj(0, nullptr));
  Tcl_ListObjAppendElement(nullptr, words.get(), how.objv[0]);
  Tcl_ListObjAppendElement(nullptr, words.get(), Tcl_NewStringObj("-object_type", -1));
  Tcl_ListObjAppendElement(nullptr, words.get(), Tcl_NewStringObj(InfoOf(kind).word, -1));
  for (int i = 1; i < how.objc; ++i)
    Tcl_ListObjAppendElement(nullptr, words.get(), how.objv[i]);
  return Tcl_GetString(words.get());
}

// The object `name` names among the kinds, or null when none has it.
Tcl_Obj* LookUp(Session::Handle& design, const std::string& name, const Resolution& how,
                ResultList& holder) {
  std::vector<Found> found;
  for (Kind kind : how.kinds.empty() ? AllKinds() : how.kinds) {
    if (Tcl_Obj* object = FindByName(design, InfoOf(kind), name)) {
      holder.Add(object);  // appended as it is: `holder` keeps every value
      found.push_back({kind, object});
    }
  }
  if (found.empty()) return nullptr;
  const std::vector<Found> kept = Settled(found, how);
  if (kept.size() == 1) return kept.front().object;
  std::vector<Kind> kinds;
  for (const Found& one : kept)
    kinds.push_back(one.kind);
  throw Error(ErrorClass::Object,
              "\"" + name + "\" names a " + KindWords(kinds) + " in design " +
                  Tcl_GetString(Session::NameOf(design)) +
                  ": say which, as in: " + SettlingCommand(how, kinds.front()),
              {name});
}

[[noreturn]] void NoSuchName(Session::Handle& design, const std::string& name,
                             const Resolution& how) {
  throw Error(ErrorClass::Object,
              "no " + KindWords(how.kinds.empty() ? AllKinds() : how.kinds) + " named \"" +
                  Clipped(name) + "\" in design " + Tcl_GetString(Session::NameOf(design)),
              {name});
}

void AddValue(Tcl_Obj* element, const Resolution& how, ResultList& out) {
  const KindInfo* kind = KindOf(element);
  const std::vector<Kind>& wanted = how.kinds.empty() ? AllKinds() : how.kinds;
  if (std::find(wanted.begin(), wanted.end(), kind->kind) == wanted.end())
    throw Error(ErrorClass::Object,
                std::string("\"") + Tcl_GetString(element) + "\" is a " + kind->word + ", not a " +
                    KindWords(wanted),
                {Tcl_GetString(element)});
  out.Add(element);
}

}  // namespace

Tcl_Obj* Unwrapped(Tcl_Obj* element) {
  static const Tcl_ObjType* const list = Tcl_GetObjType("list");
  for (int depth = 0; depth < 8 && !KindOf(element) && element->typePtr == list; ++depth) {
    Tcl_Obj** inner = nullptr;
    int count = 0;
    if (Tcl_ListObjGetElements(nullptr, element, &count, &inner) != TCL_OK || count != 1) break;
    element = inner[0];
  }
  return element;
}

std::string KindWords(const std::vector<Kind>& kinds) {
  std::string words;
  for (std::size_t i = 0; i < kinds.size(); ++i)
    words += std::string(i == 0                  ? ""
                         : i + 1 == kinds.size() ? " or "
                                                 : ", ") +
             InfoOf(kinds[i]).word;
  return words;
}

std::vector<Kind> KindsOf(Tcl_Obj* value, const std::vector<Kind>& allowed) {
  if (!value) return allowed;
  const std::vector<Kind>& among = allowed.empty() ? AllKinds() : allowed;
  const KindInfo* kind = KindOfWord(Tcl_GetString(value));
  if (!kind || std::find(among.begin(), among.end(), kind->kind) == among.end())
    throw Error(ErrorClass::Option, std::string("bad -object_type \"") +
                                        Clipped(Tcl_GetString(value)) + "\": must be " +
                                        KindWords(among));
  return {kind->kind};
}

void ResolveObjects(Session& session, Tcl_Obj* arg, const Resolution& how, ResultList& out) {
  if (KindOf(arg)) return AddValue(arg, how, out);
  Tcl_Obj** elements = nullptr;
  int count = 0;
  if (Tcl_ListObjGetElements(nullptr, arg, &count, &elements) != TCL_OK) count = -1;
  Session::Handle* design = how.design;
  auto designOf = [&]() -> Session::Handle& {
    if (!design) design = &session.Current();
    return *design;
  };
  ResultList holder(false);
  // A string that is a name as a whole is that name, before it is a list
  // (a value made as a list, with no string yet, is a list). A list of one
  // name whose text is the whole string is looked up once, below; one whose
  // element reads otherwise (a\b, {x}) is a name as a whole first.
  const bool madeAsList = !arg->bytes && count >= 1;
  const bool oneAsItIs =
      count == 1 && std::strcmp(Tcl_GetString(elements[0]), Tcl_GetString(arg)) == 0;
  if (!madeAsList && !oneAsItIs && (count != 0 || *Tcl_GetString(arg))) {
    if (Tcl_Obj* whole = LookUp(designOf(), Tcl_GetString(arg), how, holder)) return out.Add(whole);
    if (count < 0) NoSuchName(designOf(), Tcl_GetString(arg), how);
  }
  for (int i = 0; i < count; ++i) {
    CheckStop();
    if (Tcl_Obj* object = Unwrapped(elements[i]); KindOf(object)) {
      AddValue(object, how, out);
      continue;
    }
    const std::string name = Tcl_GetString(elements[i]);
    Tcl_Obj* object = LookUp(designOf(), name, how, holder);
    if (!object) NoSuchName(designOf(), name, how);
    out.Add(object);
  }
}

}  // namespace NcdTcl
