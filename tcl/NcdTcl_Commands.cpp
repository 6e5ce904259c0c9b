#include "NcdTcl_Commands.h"

#include <cstring>
#include <string>

#include "NcdTcl_DesignInfo.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"

namespace NcdTcl {

namespace {

using Args = Tcl_Obj* const[];

const CommandEntry& EntryNamed(const char* name);

// Requires exactly `count` arguments after the command word.
void Plain(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int count, const char* name) {
  RequirePlainArgs(interp, objc, objv, count, EntryNamed(name).usage);
}

void SetText(Tcl_Interp* interp, const std::string& text) {
  Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
}

// ---- open_design ----

enum OpenOption { kAsync, kCommand, kOwner };
const OptionEntry kOpenOptions[] = {
    {"-async"}, {"-command", "script"}, {"-owner", "name"}, {"--"}, {nullptr}};

// A -command script is a command prefix: the handle and status are appended
// as list elements, so it must be a list. An empty one asks for no callback.
Tcl_Obj* CallbackOf(Tcl_Interp* interp, Tcl_Obj* script) {
  int length = 0;
  if (!script) return nullptr;
  if (Tcl_ListObjLength(interp, script, &length) != TCL_OK)
    throw Error(ErrorClass::Option,
                std::string("bad -command script: ") + Tcl_GetString(Tcl_GetObjResult(interp)));
  return length ? script : nullptr;
}

void OpenDesign(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kOpenOptions);
  RequireArgs(interp, objv, options, 1, EntryNamed("open_design").usage);
  OpenRequest request;
  request.file = Tcl_GetString(options.Arg(0));
  if (options.Has(kOwner)) request.ownerName = Tcl_GetString(options.Value(kOwner));
  request.command = CallbackOf(interp, options.Value(kCommand));
  request.async = options.Has(kAsync) || options.Has(kCommand);
  Tcl_SetObjResult(interp, Session::NameOf(session.Open(request)));
}

// ---- handles ----

void LoadStatus(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 1, "load_status");
  Session::Handle& handle = session.Find(objv[1]);
  session.Refresh(handle);
  SetText(interp, StateName(handle.state));
}

void CancelLoad(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 1, "cancel_load");
  session.Cancel(session.Find(objv[1]));
}

void CloseDesign(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 1, "close_design");
  session.Close(session.Find(objv[1]));
}

void DesignInfo(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 1, "design_info");
  Session::Handle& handle = session.Find(objv[1]);
  session.Refresh(handle);
  if (handle.state == LoadState::Failed)
    throw Error(ErrorClass::Load, handle.failure, {handle.file});
  if (handle.state == LoadState::Loading) {
    std::string name = Tcl_GetString(objv[1]);
    throw Error(ErrorClass::State, "design handle \"" + name + "\" is still loading",
                {name, "loading"});
  }
  Tcl_SetObjResult(interp, DescribeDesign(handle));
}

void Designs(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 0, "designs");
  Tcl_SetObjResult(interp, session.Names());
}

// ---- the manager ----

const OptionEntry kDumpOptions[] = {{"-prefix", "text"}, {"--"}, {nullptr}};

void Dump(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kDumpOptions);
  RequireArgs(interp, objv, options, 0, EntryNamed("dump").usage);
  const char* prefix = options.Has(0) ? Tcl_GetString(options.Value(0)) : "";
  SetText(interp, session.Mgr().Dump(prefix).str());
}

void PurgeUnused(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 0, "purge_unused");
  session.Mgr().PurgeUnused();
}

// ---- help ----

std::string HelpOf(const CommandEntry& entry) {
  std::string text = std::string("ncd::") + entry.name;
  if (*entry.usage) text += std::string(" ") + entry.usage;
  return text + "\n    " + entry.help;
}

// Accepts "open_design", "ncd::open_design" and "::ncd::open_design".
Tcl_Obj* BareName(Tcl_Obj* word) {
  const char* text = Tcl_GetString(word);
  for (const char* prefix : {"::ncd::", "ncd::"}) {
    if (!std::strncmp(text, prefix, std::strlen(prefix)))
      return Tcl_NewStringObj(text + std::strlen(prefix), -1);
  }
  return word;
}

void Help(Session&, Tcl_Interp* interp, int objc, Args objv) {
  if (objc > 2) RequirePlainArgs(interp, objc, objv, 1, EntryNamed("help").usage);
  if (objc == 1) {
    std::string text;
    for (const CommandEntry* entry = Commands(); entry->name; ++entry)
      text += (text.empty() ? "" : "\n") + HelpOf(*entry);
    return SetText(interp, text);
  }
  Tcl_Obj* name = BareName(objv[1]);
  Tcl_IncrRefCount(name);
  int index = 0;
  int code = Tcl_GetIndexFromObjStruct(interp, name, Commands(), sizeof(CommandEntry), "command", 0,
                                       &index);
  Tcl_DecrRefCount(name);
  if (code != TCL_OK) throw Error(ErrorClass::Option, Tcl_GetString(Tcl_GetObjResult(interp)));
  SetText(interp, HelpOf(Commands()[index]));
}

constexpr const char* kGetUsage =
    "?-regexp? ?-nocase? ?-hierarchical? ?-filter expression? ?-limit count? ?-quiet? "
    "?-design handle? ?-of_objects objects? ?-object_type kind? ?--? ?pattern ...?";

const CommandEntry kCommands[] = {
    {"open_design", OpenDesign, "?-owner name? ?-async? ?-command script? ?--? file",
     "Opens a design file for an owner (none by default) and answers its handle; with "
     "-async (or -command) answers at once and, from the event loop, runs script with the "
     "handle and its status appended."},
    {"load_status", LoadStatus, "handle",
     "Answers the state of a handle: loading, ready or failed."},
    {"cancel_load", CancelLoad, "handle", "Gives up a pending load; the handle is closed."},
    {"close_design", CloseDesign, "handle",
     "Hands the design back, or gives up its pending load; the handle becomes invalid."},
    {"design_info", DesignInfo, "handle",
     "Answers a dict of the design's file, name, part, owner and status and the counts of "
     "its blocks by level, nets, pins, signals and shapes."},
    {"designs", Designs, "", "Answers this interpreter's open handles, oldest first."},
    {"dump", Dump, "?-prefix text?",
     "Answers the shared design manager's registries: designs in use, loading and kept unused."},
    {"purge_unused", PurgeUnused, "", "Frees the designs the manager keeps unused."},
    {"current_design", CurrentDesign, "?handle?",
     "Answers the design that searches and names use without -design (the handle set here "
     "while it is open, else the newest ready one); with a handle, makes it current."},
    {"get_blocks", GetObjectsOf<Kind::Block>, kGetUsage,
     "Answers the blocks whose names match a pattern (all by default), searched through the "
     "design's search source; or the blocks of -of_objects (children, a pin's block, a "
     "signal's parent, a net's blocks, an RPM's members)."},
    {"get_nets", GetObjectsOf<Kind::Net>, kGetUsage,
     "Answers the nets whose names match; or the nets of -of_objects (pins, signals, "
     "blocks). Hidden nets are left out."},
    {"get_rpms", GetObjectsOf<Kind::Rpm>, kGetUsage,
     "Answers the RPMs whose names match; or the RPMs of the top block given in -of_objects."},
    {"get_pins", GetObjectsOf<Kind::Pin>, kGetUsage,
     "Answers the pins whose names match (pin name, or block/pin with -hierarchical); or "
     "the pins of -of_objects (blocks, nets, signals)."},
    {"get_signals", GetObjectsOf<Kind::Signal>, kGetUsage,
     "Answers the signals whose names match; or the signals of -of_objects (blocks, nets, pins)."},
    {"get_sites", GetObjectsOf<Kind::Site>, kGetUsage,
     "Answers the sites of the design's part whose names match; or the sites of -of_objects "
     "(comps, clock regions)."},
    {"get_property", GetProperty, "?-quiet? ?-object_type kind? name objects",
     "Answers the value of a property of one object, or the list of its values for a list "
     "of objects; object values come back as objects. -quiet answers {} for a property an "
     "object lacks."},
    {"list_property", ListProperty, "?-kind? ?-object_type kind? object_or_kind",
     "Answers the property names of an object or of a kind (block, net, pin, signal, rpm, "
     "site, clock_region) in the component's order; with -kind, each followed by its kind."},
    {"report_property", ReportProperty, "?-quiet? ?-object_type kind? object ?pattern?",
     "Answers a table of the object's properties matching pattern: name, kind, value, "
     "description."},
    {"enable_service", EnableService, "handle service",
     "Makes the design's timing (delay mediator: Max Delay, Skew Value) or routing (route "
     "mediator: Equation, Gcd, Clock Region) service; until then those properties answer "
     "-1.0 or nothing."},
    {"live_objects", LiveObjects, "",
     "Answers a dict of the objects alive in the process: collectables, object values, "
     "helper values, search patterns and device objects (for leak checks)."},
    {"help", Help, "?command?", "Answers the help of every command, or of one."},
    {nullptr, nullptr, nullptr, nullptr},
};

const CommandEntry& EntryNamed(const char* name) {
  const CommandEntry* entry = kCommands;
  while (entry->name && std::strcmp(entry->name, name))
    ++entry;
  return *entry;
}

}  // namespace

const CommandEntry* Commands() {
  return kCommands;
}

}  // namespace NcdTcl
