// The object commands of namespace ::ncd: searches (get_blocks, get_nets,
// get_rpms, get_pins, get_signals, get_sites), properties (get_property,
// list_property, report_property) and the design they work on
// (current_design, enable_service), with live_objects for leak checks, and
// plot (NcdTcl_Plot.cpp), the picture or page of the current design.
// Their entries are in the command table (NcdTcl_Commands.cpp);
// docs/tcl.md describes them.
#pragma once

#include <tcl.h>

#include "NcdTcl_Object.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

using CommandFn = void(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);

// get_blocks, get_nets, ...: one search command per kind of object.
// `ports`: get_ports, the pins of the top block.
void GetObjectsOfKind(Kind kind, Session& session, Tcl_Interp* interp, int objc,
                      Tcl_Obj* const objv[], bool ports = false);
template <Kind K>
void GetObjectsOf(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  GetObjectsOfKind(K, session, interp, objc, objv);
}
inline void GetPorts(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  GetObjectsOfKind(Kind::Pin, session, interp, objc, objv, true);
}

CommandFn GetProperty, ListProperty, ReportProperty;
CommandFn ReportNet, ReportBlock, ReportDesign;

// Their option tables (NcdTcl_Options.h), which the command table names.
extern const OptionEntry kGetOptions[];
extern const OptionEntry kPinOptions[];
extern const OptionEntry kQuietOptions[];
extern const OptionEntry kListPropertyOptions[];
extern const OptionEntry kReportPropertyOptions[];
extern const OptionEntry kReportObjectOptions[];
extern const OptionEntry kReportDesignOptions[];

// A prototype object of `kind` in the design (an empty collectable of the
// kind, or the part's first site or clock region), held by `holder`;
// throws OBJECT when the part has none.
Tcl_Obj* PrototypeOf(Session::Handle& design, const KindInfo& kind, ResultList& holder);
// The properties of `kind` in the design: its prototype's, then
// those only some of its objects have (a comp's Site), found among the
// first blocks of the hierarchy; the objects asked are held by `holder`.
std::vector<NamedProperty> KindProperties(Session::Handle& design, const KindInfo& kind,
                                          ResultList& holder);
CommandFn CurrentDesign, EnableService, LiveObjects, Plot;
extern const OptionEntry kPlotOptions[];

}  // namespace NcdTcl
