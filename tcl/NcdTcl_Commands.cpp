#include "NcdTcl_Commands.h"

#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>

#include "NcdTcl_Complete.h"
#include "NcdTcl_DesignInfo.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Help.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "Pds_PahLoadProgress.h"

namespace NcdTcl {

namespace {

using Args = Tcl_Obj* const[];

// Requires exactly `count` arguments after the command word.
void Plain(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int count, const char* name) {
  RequirePlainArgs(interp, objc, objv, count, UsageOf(name));
}

void SetText(Tcl_Interp* interp, const std::string& text) {
  Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
}

// ---- open_design ----

enum OpenOption { kAsync, kCommand, kOwner };
const OptionEntry kOpenOptions[] = {
    {"-async", nullptr, "answer a loading handle at once; the read goes on in the background"},
    {"-command", "script",
     "run script with the handle and its state appended when the read "
     "ends (implies -async; {} for no callback)"},
    {"-owner", "name", "open for the owner of this name (one owner object per name)"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

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

// A relative name is the file it names now, in the current folder: the
// handle, the manager's cache and every message keep the absolute name, so
// that after a `cd` the same relative name opens the other folder's file,
// not the design of the first.
std::string AbsoluteName(const std::string& file) {
  std::error_code error;
  if (file.empty() || std::filesystem::path(file).is_absolute()) return file;
  const std::filesystem::path full = std::filesystem::absolute(file, error);
  return error ? file : full.lexically_normal().string();
}

void OpenDesign(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kOpenOptions);
  RequireArgs(interp, objv, options, 1, UsageOf("open_design"));
  OpenRequest request;
  request.file = AbsoluteName(Tcl_GetString(options.Arg(0)));
  if (options.Has(kOwner)) request.ownerName = Tcl_GetString(options.Value(kOwner));
  request.command = CallbackOf(interp, options.Value(kCommand));
  request.async = options.Has(kAsync) || options.Has(kCommand);
  Tcl_SetObjResult(interp, Session::NameOf(session.Open(request)));
}

// ---- handles ----

const OptionEntry kStatusOptions[] = {
    {"-progress", nullptr, "answer the state, the bytes of the file read and the file's size"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

// Bytes read and the total: the running read's figures while loading (0 0
// until it has begun), the file's size twice once ready, 0 0 once failed.
std::pair<std::uint64_t, std::uint64_t> ProgressOf(const Session::Handle& handle) {
  if (handle.state == LoadState::Ready) {
    std::error_code error;
    const std::uint64_t size = std::filesystem::file_size(handle.file, error);
    return error ? std::pair<std::uint64_t, std::uint64_t>{0, 0} : std::pair{size, size};
  }
  Pds_PahLoadProgress::Figures figures;
  if (handle.state == LoadState::Failed || !Pds_PahLoadProgress::Of(handle.name.str(), figures))
    return {0, 0};
  return {figures.done, figures.total};
}

void LoadStatus(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kStatusOptions);
  RequireArgs(interp, objv, options, 1, UsageOf("load_status"));
  Session::Handle& handle = session.Find(options.Arg(0));
  session.Refresh(handle);
  if (!options.Has(0)) return SetText(interp, StateName(handle.state));
  const auto [done, total] = ProgressOf(handle);
  Tcl_Obj* items[] = {Tcl_NewStringObj(StateName(handle.state), -1),
                      Tcl_NewWideIntObj(static_cast<Tcl_WideInt>(done)),
                      Tcl_NewWideIntObj(static_cast<Tcl_WideInt>(total))};
  Tcl_SetObjResult(interp, Tcl_NewListObj(3, items));
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

const OptionEntry kDumpOptions[] = {{"-prefix", "text", "put text before the answer"},
                                    {"--", nullptr, "ends the options"},
                                    {nullptr}};

void Dump(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kDumpOptions);
  RequireArgs(interp, objv, options, 0, UsageOf("dump"));
  const char* prefix = options.Has(0) ? Tcl_GetString(options.Value(0)) : "";
  SetText(interp, session.Mgr().Dump(prefix).str());
}

void PurgeUnused(Session& session, Tcl_Interp* interp, int objc, Args objv) {
  Plain(interp, objc, objv, 0, "purge_unused");
  session.Mgr().PurgeUnused();
}

constexpr const char* kObjectsDetails =
    "Patterns are globs over names (help patterns); an object value of the command's kind "
    "stands for itself. -filter keeps the objects for which an expression over their "
    "properties holds (help filter); the properties of each kind: help properties.";

const CommandEntry kCommands[] = {
    {"open_design", OpenDesign, kOpenOptions, "file",
     "Opens a design file for an owner (none by default) and answers its handle.",
     "Without -async it returns once the design is read. With -async (or -command) it "
     "answers a loading handle at once and, from the event loop, runs script with the handle "
     "and its state (ready or failed) appended.",
     nullptr},
    {"load_status", LoadStatus, kStatusOptions, "handle",
     "Answers the state of a handle: loading, ready or failed.",
     "With -progress it answers a list of the state, the bytes of the file read so far and "
     "the file's size (for a gzip file, of its compressed data): 0 0 before the read begins, "
     "the size twice once ready, 0 0 once failed.",
     nullptr},
    {"cancel_load", CancelLoad, nullptr, "handle", "Gives up a pending load; the handle is closed.",
     "", nullptr},
    {"close_design", CloseDesign, nullptr, "handle",
     "Hands the design back, or gives up its pending load; the handle becomes invalid.", "",
     nullptr},
    {"design_info", DesignInfo, nullptr, "handle",
     "Answers a dict of the design's file, name, part, owner and status and the counts of "
     "its blocks by level, nets, pins, signals and shapes.",
     "", nullptr},
    {"designs", Designs, nullptr, "", "Answers this interpreter's open handles, oldest first.", "",
     nullptr},
    {"dump", Dump, kDumpOptions, "",
     "Answers the shared design manager's registries: designs in use, loading and kept unused.", "",
     nullptr},
    {"purge_unused", PurgeUnused, nullptr, "", "Frees the designs the manager keeps unused.", "",
     nullptr},
    {"current_design", CurrentDesign, nullptr, "?handle?",
     "Answers the design that searches and names use without -design; with a handle, makes "
     "it current.",
     "The current design is the handle set here while it is open and ready, else the newest "
     "ready one.",
     nullptr},
    {"get_blocks", GetObjectsOf<Kind::Block>, kGetOptions, "?pattern ...?",
     "Answers the blocks whose names match a pattern (all by default), or the blocks of "
     "-of_objects (children, a pin's block, a signal's parent, a net's blocks, an RPM's "
     "members).",
     kObjectsDetails, "block"},
    {"get_nets", GetObjectsOf<Kind::Net>, kGetOptions, "?pattern ...?",
     "Answers the nets whose names match, or the nets of -of_objects (pins, signals, "
     "blocks). Hidden nets are left out.",
     kObjectsDetails, "net"},
    {"get_rpms", GetObjectsOf<Kind::Rpm>, kGetOptions, "?pattern ...?",
     "Answers the RPMs whose names match, or the RPMs of the top block given in -of_objects.",
     kObjectsDetails, "rpm"},
    {"get_pins", GetObjectsOf<Kind::Pin>, kPinOptions, "?pattern ...?",
     "Answers the pins whose names match (pin name, or block/pin with -hierarchical), or "
     "the pins of -of_objects (blocks, nets, signals).",
     kObjectsDetails, "pin"},
    {"get_ports", GetPorts, kPinOptions, "?pattern ...?",
     "Answers the top-level ports (the top block's pins) whose names match, or the ports of "
     "-of_objects (a net's ports); each relates to its net.",
     kObjectsDetails, "pin"},
    {"get_signals", GetObjectsOf<Kind::Signal>, kGetOptions, "?pattern ...?",
     "Answers the signals whose names match, or the signals of -of_objects (blocks, nets, "
     "pins).",
     kObjectsDetails, "signal"},
    {"get_sites", GetObjectsOf<Kind::Site>, kGetOptions, "?pattern ...?",
     "Answers the sites of the design's part whose names match, or the sites of -of_objects "
     "(comps, clock regions).",
     kObjectsDetails, "site"},
    {"get_clock_regions", GetObjectsOf<Kind::ClockRegion>, kGetOptions, "?pattern ...?",
     "Answers the clock regions of the design's part whose names match, or the clock regions "
     "of -of_objects (sites, placed blocks, pins).",
     kObjectsDetails, "clock_region"},
    {"get_property", GetProperty, kQuietOptions, "name objects",
     "Answers the value of a property of one object, or the list of its values for a list "
     "of objects.",
     "Object values come back as objects. The properties of each kind: help properties.", nullptr},
    {"list_property", ListProperty, kListPropertyOptions, "object_or_kind",
     "Answers the property names of an object or of a kind (block, net, pin, signal, rpm, "
     "site, clock_region) in the component's order.",
     "", nullptr},
    {"report_property", ReportProperty, kReportPropertyOptions, "objects ?pattern?",
     "Answers a table of the object's properties whose names match pattern: name, kind, "
     "value, description.",
     "", nullptr},
    {"report_net", ReportNet, kReportObjectOptions, "nets",
     "Answers a report of each net: its type, status, fanout and delay, its driver and loads "
     "(leaf pins and ports) with their blocks, directions and delays.",
     "Delays are in ns (the timing service is obtained on first use); - is none.", "net"},
    {"report_block", ReportBlock, kReportObjectOptions, "blocks",
     "Answers a report of each block: its level, type and placement, and its pins with their "
     "directions and nets.",
     "", "block"},
    {"report_design", ReportDesign, kReportDesignOptions, "",
     "Answers counts of the design as Yosys stat does: blocks by level and by subtype, nets by "
     "subtype, pins, signals and RPMs; with -hierarchy, the same for every module.",
     "Counts are those of the design file, as design_info counts them (secured contents "
     "included).",
     nullptr},
    {"enable_service", EnableService, nullptr, "handle service",
     "Makes the design's timing or routing service; until then the properties they give "
     "answer -1.0 or nothing.",
     "timing (the delay mediator) gives \"Max Delay\" and \"Skew Value\"; routing (the route "
     "mediator) gives \"Equation\", \"Gcd\" and a pin's \"Clock Region\".",
     nullptr},
    {"plot", Plot, kPlotOptions, "file",
     "Writes the current design's placement to file as an SVG picture, or with -html as a "
     "page to explore in a browser, and answers the file's name.",
     "-highlight marks the comps of the blocks given (a module's, a bel's comp) and the nets "
     "given. The page is one self-contained file: pan and zoom, colours by module or type, a "
     "search box for blocks and nets, their properties on hover and click, nets on demand. A "
     "file that cannot be written is an NCD FILE error and nothing is replaced.",
     nullptr},
    {"live_objects", LiveObjects, nullptr, "",
     "Answers a dict of the objects alive in the process: collectables, object values, "
     "helper values, search patterns and device objects (for leak checks).",
     "", nullptr},
    {"complete", Complete, kCompleteOptions, "line",
     "Answers the completions of the last word of a command line, as the shell's Tab "
     "offers them.",
     "Command names, options, property names of the objects a command takes, handles, and "
     "the names of the current design's objects (a path completes one level at a time).",
     nullptr},
    {"help", Help, nullptr, "?pattern?",
     "Answers the help of the commands and topics whose names match the glob pattern, or a "
     "list of them all.",
     "Every command also answers its help for -help. Topics: patterns (names, patterns and "
     "paths), filter (the -filter grammar), properties (each kind's properties), and each "
     "kind's name (block, net, ...).",
     nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr},
};

}  // namespace

const CommandEntry* Commands() {
  return kCommands;
}

const CommandEntry* CommandNamed(const char* name) {
  for (const CommandEntry* entry = kCommands; entry->name; ++entry)
    if (!std::strcmp(entry->name, name)) return entry;
  return nullptr;
}

std::string Synopsis(const CommandEntry& entry) {
  std::string text;
  for (const OptionEntry* option = entry.options; option && option->name; ++option) {
    // "--" is shown where an argument may start with "-": where it is described.
    if (!std::strcmp(option->name, "--") && (!*entry.args || !option->help)) continue;
    text += std::string(text.empty() ? "" : " ") + "?" + option->name;
    if (option->valueName) text += std::string(" ") + option->valueName;
    text += "?";
  }
  if (*entry.args) text += std::string(text.empty() ? "" : " ") + entry.args;
  return text;
}

const char* UsageOf(const char* name) {
  static std::mutex lock;
  static std::map<std::string, std::string> usages;  // grows to the table's size only
  std::lock_guard<std::mutex> guard(lock);
  auto found = usages.find(name);
  if (found == usages.end()) {
    const CommandEntry* entry = CommandNamed(name);
    found = usages.emplace(name, entry ? Synopsis(*entry) : std::string()).first;
  }
  return found->second.c_str();
}

}  // namespace NcdTcl
