// report_net, report_block, report_design.
#include <string>
#include <vector>

#include "NcdTcl_Commands.h"
#include "NcdTcl_DesignReport.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Relations.h"
#include "NcdTcl_Report.h"
#include "NcdTcl_Resolve.h"

namespace NcdTcl {

const OptionEntry kReportObjectOptions[] = {
    {"-file", "name", "write the report to that file instead of answering it"},
    {"-design", "handle", "look the names up in that design instead of the current one"},
    {"--", nullptr, "ends the options"},
    {nullptr}};
const OptionEntry kReportDesignOptions[] = {
    {"-file", "name", "write the report to that file instead of answering it"},
    {"-design", "handle", "report that design instead of the current one"},
    {"-hierarchy", nullptr, "also count the subtree of every module and hard-macro instance"},
    {"--", nullptr, "ends the options"},
    {nullptr}};

namespace {

enum ReportOption { kFile, kDesign, kHierarchy };

// The objects of `kind` the argument names.
std::vector<Tcl_Obj*> ObjectsOf(Session& session, const ParsedOptions& options, Kind kind,
                                ResultList& holder) {
  Resolution how;
  how.kinds = {kind};
  if (options.Has(kDesign)) how.design = &session.Ready(options.Value(kDesign));
  ResolveObjects(session, options.Arg(0), how, holder);
  for (Tcl_Obj* object : holder.Items())
    RequireLive(object);
  return holder.Items();
}

// A delay in ns, or "-" where there is none (-1.0).
std::string Delay(UtilI::ITclCollectable* coll) {
  const std::string text = PropertyText(coll, "Max Delay");
  return text.empty() || text[0] == '-' ? "-" : text + " ns";
}

void PinRow(Tcl_Obj* pin, std::vector<TextRow>& rows) {
  UtilI::ITclCollectable* coll = CollectableOf(pin);
  const CollRef block = ObjectValue(coll, "Block");
  rows.push_back({Tcl_GetString(pin),
                  IsPort(pin) || !block ? "(port)" : DisplayName(block.get(), InfoOf(Kind::Block)),
                  PropertyText(coll, "Direction"), Delay(coll)});
}

std::string NetReport(Tcl_Obj* net) {
  UtilI::ITclCollectable* coll = CollectableOf(net);
  std::string text = std::string("Net ") + Tcl_GetString(net) + ":";
  for (const char* property : {"Subtype", "Status"})
    if (const std::string value = PropertyText(coll, property); !value.empty())
      text += " " + value + ",";
  text += " fanout " + PropertyText(coll, "Fanout") + ", max delay " + Delay(coll) + "\n";
  ResultList pins(false);
  AddRelated(net, InfoOf(Kind::Pin), pins);
  for (bool driver : {true, false}) {
    std::vector<TextRow> rows;
    for (Tcl_Obj* pin : pins.Items())
      if ((IsPort(pin) || IsLeaf(pin)) && IsEnd(pin, driver)) PinRow(pin, rows);
    text += std::string(driver ? "Driver" : "Loads") + (rows.empty() ? ": none\n" : "\n");
    text += Columns(rows, "  ");
  }
  return text;
}

std::string BlockReport(Tcl_Obj* block) {
  UtilI::ITclCollectable* coll = CollectableOf(block);
  std::string text =
      std::string("Block ") + Tcl_GetString(block) + ": " + PropertyText(coll, "Level");
  if (const std::string type = PropertyText(coll, "Subtype"); !type.empty()) text += ", " + type;
  if (HasProperty(coll, "Site")) {
    const std::string site = PropertyText(coll, "Site");
    text += site.empty() ? ", not placed" : ", placed on " + site;
  }
  text += "\n";
  ResultList pins(false);
  AddRelated(block, InfoOf(Kind::Pin), pins);
  std::vector<TextRow> rows;
  for (Tcl_Obj* pin : pins.Items()) {
    ResultList nets(false);
    AddRelated(pin, InfoOf(Kind::Net), nets);
    rows.push_back({PropertyText(CollectableOf(pin), "Name"),
                    PropertyText(CollectableOf(pin), "Direction"),
                    nets.Size() ? Tcl_GetString(nets.Items().front()) : "-"});
  }
  return text + (rows.empty() ? "Pins: none\n" : "Pins\n" + Columns(rows, "  "));
}

void ReportEach(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[],
                const char* command, Kind kind, std::string (*report)(Tcl_Obj*)) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kReportObjectOptions);
  RequireArgs(interp, objv, options, 1, UsageOf(command));
  if (kind == Kind::Net) session.EnableTiming();
  ResultList holder(false);
  std::string text;
  for (Tcl_Obj* object : ObjectsOf(session, options, kind, holder)) {
    CheckStop();
    text += (text.empty() ? "" : "\n") + report(object);
  }
  Deliver(interp, text, options.Value(kFile), session.Files());
}

}  // namespace

void ReportNet(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ReportEach(session, interp, objc, objv, "report_net", Kind::Net, NetReport);
}

void ReportBlock(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ReportEach(session, interp, objc, objv, "report_block", Kind::Block, BlockReport);
}

void ReportDesign(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kReportDesignOptions);
  RequireArgs(interp, objv, options, 0, UsageOf("report_design"));
  Session::Handle& design =
      options.Has(kDesign) ? session.Ready(options.Value(kDesign)) : session.Current();
  Deliver(interp, DesignReport(design, options.Has(kHierarchy)), options.Value(kFile),
          session.Files());
}

}  // namespace NcdTcl
