// get_property, list_property, report_property; current_design,
// enable_service, live_objects.
#include <algorithm>
#include <string>

#include "NcdTcl_Commands.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Pattern.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Relations.h"
#include "NcdTcl_Report.h"
#include "NcdTcl_Resolve.h"
#include "NcdTcl_Services.h"

namespace NcdTcl {

namespace {

[[noreturn]] void UnknownProperty(Tcl_Obj* object, const char* name) {
  const KindInfo& kind = *KindOf(object);
  throw Error(ErrorClass::Property,
              "unknown property \"" + Clipped(name) + "\" of " + kind.word + " \"" +
                  Tcl_GetString(object) +
                  "\"; it has: " + JoinedPropertyNames(CollectableOf(object)),
              {name});
}

// The property's value for Tcl; with `quiet`, the empty string for a
// property the object does not have.
Tcl_Obj* ValueOf(Tcl_Obj* object, const char* name, bool quiet) {
  RequireLive(object);
  UtilI::ITclCollectable* coll = CollectableOf(object);
  ValueRef value = ReadValue(coll, name);
  if (value) return ToTcl(value.get());
  if (!quiet && !HasProperty(coll, name)) UnknownProperty(object, name);
  return Tcl_NewObj();
}

// One object: a value that holds one, or a list of one element.
bool IsOne(Tcl_Obj* arg) {
  int length = 0;
  return KindOf(arg) || (Tcl_ListObjLength(nullptr, arg, &length) == TCL_OK && length == 1);
}

enum PropertyOption { kQuiet, kObjectType, kFile };

// How the names of a command are looked up: among -object_type's kind,
// preferring objects that have `property`.
Resolution HowOf(const ParsedOptions& options, int objc, Tcl_Obj* const objv[],
                 const char* property = nullptr) {
  Resolution how;
  how.kinds = KindsOf(options.Value(kObjectType), {});
  how.property = property;
  how.objc = objc;
  how.objv = objv;
  return how;
}

}  // namespace

const OptionEntry kQuietOptions[] = {
    {"-quiet", nullptr, "answer {} for a property an object does not have"},
    {"-object_type", "kind", "the kind plain names are of (block, net, pin, signal, ...)"},
    {"--"},
    {nullptr}};
const OptionEntry kReportPropertyOptions[] = {
    kQuietOptions[kQuiet],
    kQuietOptions[kObjectType],
    {"-file", "name", "write the report to that file instead of answering it"},
    {"--", nullptr, "ends the options"},
    {nullptr}};
const OptionEntry kListPropertyOptions[] = {
    {"-kind", nullptr, "follow each property name with its kind"},
    {"-object_type", "kind", "the kind a plain name is of (block, net, pin, ...)"},
    {"--"},
    {nullptr}};

void GetProperty(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kQuietOptions);
  RequireArgs(interp, objv, options, 2, UsageOf("get_property"));
  const char* name = Tcl_GetString(options.Arg(0));
  Tcl_Obj* arg = options.Arg(1);
  if (IsDelayProperty(name)) session.EnableTiming();
  ResultList objects(false);
  ResolveObjects(session, arg, HowOf(options, objc, objv, name), objects);
  const std::vector<Tcl_Obj*> items = objects.Items();
  if (IsOne(arg) && items.size() == 1)
    return Tcl_SetObjResult(interp, ValueOf(items.front(), name, options.Has(kQuiet)));
  TclRef values(Tcl_NewListObj(0, nullptr));
  for (Tcl_Obj* item : items)
    Tcl_ListObjAppendElement(nullptr, values.get(), ValueOf(item, name, options.Has(kQuiet)));
  Tcl_SetObjResult(interp, values.get());
}

// ---- list_property ----

Tcl_Obj* PrototypeOf(Session::Handle& design, const KindInfo& kind, ResultList& holder) {
  if (kind.kind == Kind::Site || kind.kind == Kind::ClockRegion) {
    AddDeviceObjects(design, kind, holder, 1);
    if (!holder.Size())
      throw Error(ErrorClass::Object, std::string("the design's part has no ") + kind.word);
    return holder.Items().front();
  }
  auto* source = static_cast<UtilI::ITclSearchSource*>(
      design.design->QueryInterface(UtilI::IID_ITclSearchSource));
  CollRef empty =
      source ? source->MakeEmptyCollectable(Port::StringBase(kind.typeName)) : CollRef();
  if (!empty) throw Error(ErrorClass::Internal, std::string("no prototype of a ") + kind.word);
  holder.Add(NewObject(empty.get(), &kind));
  return holder.Items().front();
}

// Enough blocks to meet each level (module, comp, bel) in usual designs,
// few enough for a Tab.
constexpr int kSampledBlocks = 1000;

std::vector<NamedProperty> KindProperties(Session::Handle& design, const KindInfo& kind,
                                          ResultList& holder) {
  std::vector<UtilI::ITclCollectable*> objects{CollectableOf(PrototypeOf(design, kind, holder))};
  if (kind.kind != Kind::Block) return PropertiesOfAll(objects);
  ResultList blocks(false);
  blocks.Add(TopBlock(design));
  // Level by level from the top.
  for (int i = 0; i < blocks.Size() && blocks.Size() < kSampledBlocks; ++i)
    AddRelated(blocks.Items()[static_cast<std::size_t>(i)], InfoOf(Kind::Block), blocks);
  for (Tcl_Obj* block : blocks.Items()) {
    holder.Add(block);
    objects.push_back(CollectableOf(block));
  }
  return PropertiesOfAll(objects);
}

namespace {

// The one object `arg` stands for, held by `holder` (the value itself when
// it holds one, so that messages name it as it printed).
Tcl_Obj* OneObject(Session& session, Tcl_Obj* arg, const Resolution& how, ResultList& holder) {
  ResolveObjects(session, arg, how, holder);
  std::vector<Tcl_Obj*> items = holder.Items();
  if (items.size() != 1)
    throw Error(ErrorClass::Object,
                std::string("expected one object, got ") + std::to_string(items.size()));
  return items.front();
}

}  // namespace

void ListProperty(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kListPropertyOptions);
  RequireArgs(interp, objv, options, 1, UsageOf("list_property"));
  Tcl_Obj* arg = options.Arg(0);
  ResultList holder(false);
  const KindInfo* kind = KindOfWord(Tcl_GetString(arg));
  const std::vector<NamedProperty> properties =
      kind && !KindOf(arg)
          ? KindProperties(session.Current(), *kind, holder)
          : PropertiesOfAll(
                {CollectableOf(OneObject(session, arg, HowOf(options, objc, objv), holder))});
  TclRef names(Tcl_NewListObj(0, nullptr));
  for (const auto& [name, holderOf] : properties) {
    Tcl_ListObjAppendElement(nullptr, names.get(), Tcl_NewStringObj(name.c_str(), -1));
    PropertyDescription description;
    if (options.Has(0 /* -kind */) && DescribeProperty(holderOf, name.c_str(), description))
      Tcl_ListObjAppendElement(nullptr, names.get(),
                               Tcl_NewStringObj(description.kind.c_str(), -1));
  }
  Tcl_SetObjResult(interp, names.get());
}

// ---- report_property ----

namespace {

constexpr std::size_t kValueWidth = 48;

// Long values are cut, in characters; a list says how many items it has in
// all (`length`, when known: else the length of `value` as a list).
std::string Shortened(Tcl_Obj* value, const std::string& kind, int length = -1) {
  const char* whole = Tcl_GetString(value);
  if (static_cast<std::size_t>(Tcl_NumUtfChars(whole, -1)) <= kValueWidth) return whole;
  std::string text(whole, Tcl_UtfAtIndex(whole, kValueWidth - 3));
  text += "...";
  if (kind == "list" && (length >= 0 || Tcl_ListObjLength(nullptr, value, &length) == TCL_OK))
    text += " (" + std::to_string(length) + " in all)";
  return text;
}

// A value as the table shows it. An object list is made a Tcl list of its
// first items only, as many as the cut shows: Tcl writes each element of a
// list alone, so their text begins the text of the whole list.
std::string ShownValue(Tcl_Obj* object, const char* name, const std::string& kind) {
  ValueRef value = ReadValue(CollectableOf(object), name);
  if (!value || value->GetKind() != UtilI::kValueList) {
    TclRef whole(ValueOf(object, name, true));
    return Shortened(whole.get(), kind);
  }
  int length = 0;
  TclRef head(ListHeadToTcl(value.get(), kValueWidth, length));
  return Shortened(head.get(), kind, length);
}

}  // namespace

namespace {

// The table of one object's properties whose names match `pattern`.
std::string PropertyTable(Tcl_Obj* object, const char* pattern, bool quiet) {
  RequireLive(object);
  UtilI::ITclCollectable* coll = CollectableOf(object);
  std::vector<TextRow> rows{{"Property", "Kind", "Value", "Description"}};
  for (const std::string& name : PropertyNames(coll)) {
    CheckStop();
    PropertyDescription description;
    if (!Tcl_StringCaseMatch(name.c_str(), pattern, TCL_MATCH_NOCASE) ||
        !DescribeProperty(coll, name.c_str(), description))
      continue;
    std::string first = description.description.substr(0, description.description.find('\n'));
    rows.push_back({description.name, description.kind,
                    ShownValue(object, name.c_str(), description.kind), first});
  }
  if (rows.size() == 1 && !quiet)
    throw Error(ErrorClass::Property,
                std::string("no property of \"") + Tcl_GetString(object) + "\" matches \"" +
                    pattern + "\"; it has: " + JoinedPropertyNames(coll),
                {pattern});
  return Columns(rows);
}

}  // namespace

// One object answers its table; several, each table under its kind and name.
void ReportProperty(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kReportPropertyOptions);
  RequireArgs(interp, objv, options, 1, 2, UsageOf("report_property"));
  const char* pattern = options.ArgCount() == 2 ? Tcl_GetString(options.Arg(1)) : "*";
  for (const char* delay : {"Max Delay", "Skew Value"})
    if (Tcl_StringCaseMatch(delay, pattern, TCL_MATCH_NOCASE)) session.EnableTiming();
  // A pattern that names one property settles a name as get_property does.
  const Resolution how = HowOf(options, objc, objv, HasWildcard(pattern) ? nullptr : pattern);
  ResultList objects(false);
  ResolveObjects(session, options.Arg(0), how, objects);
  const std::vector<Tcl_Obj*> items = objects.Items();
  if (items.empty()) throw Error(ErrorClass::Object, "expected at least one object, got 0");
  std::string text;
  for (Tcl_Obj* object : items) {
    if (items.size() > 1)
      text += std::string(text.empty() ? "" : "\n") + KindOf(object)->word + " " +
              Tcl_GetString(object) + "\n";
    text += PropertyTable(object, pattern, options.Has(kQuiet));
  }
  Deliver(interp, text, options.Value(kFile), session.Files());
}

// ---- the design ----

void CurrentDesign(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  if (objc > 2) RequirePlainArgs(interp, objc, objv, 1, UsageOf("current_design"));
  if (objc == 2) session.SetCurrent(session.Ready(objv[1]));
  try {
    Tcl_SetObjResult(interp, Session::NameOf(session.Current()));
  } catch (const Error&) {
    if (objc == 2) throw;
    Tcl_ResetResult(interp);  // no design: the empty string
  }
}

void EnableService(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  static const char* const kServices[] = {"timing", "routing", nullptr};
  RequirePlainArgs(interp, objc, objv, 2, UsageOf("enable_service"));
  Session::Handle& handle = session.Ready(objv[1]);
  int index = 0;
  if (Tcl_GetIndexFromObj(interp, objv[2], kServices, "service", 0, &index) != TCL_OK)
    throw Error(ErrorClass::Option, Tcl_GetString(Tcl_GetObjResult(interp)));
  const bool made = index == 0 ? handle.design->GetDelayMediator() != nullptr
                               : handle.design->GetRouteMediator() != nullptr;
  if (!made)
    throw Error(ErrorClass::State,
                std::string("design ") + Tcl_GetString(objv[1]) + " offers no " + kServices[index] +
                    " service",
                {Tcl_GetString(objv[1]), kServices[index]});
  Tcl_ResetResult(interp);
}

void LiveObjects(Session&, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  RequirePlainArgs(interp, objc, objv, 0, "");
  const LiveCounts counts = CountLiveObjects();
  const std::pair<const char*, long> entries[] = {{"collectables", counts.collectables},
                                                  {"values", counts.objectValues},
                                                  {"helpers", counts.helperObjects},
                                                  {"patterns", counts.searchPatterns},
                                                  {"device", counts.deviceObjects}};
  TclRef dict(Tcl_NewListObj(0, nullptr));
  for (const auto& [name, count] : entries) {
    Tcl_ListObjAppendElement(nullptr, dict.get(), Tcl_NewStringObj(name, -1));
    Tcl_ListObjAppendElement(nullptr, dict.get(), Tcl_NewWideIntObj(count));
  }
  Tcl_SetObjResult(interp, dict.get());
}

}  // namespace NcdTcl
