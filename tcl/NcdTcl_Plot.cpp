// ncd::plot: the SVG picture or the HTML page of the current design's
// placement (the ncdplot tool's, NcdPlot_Scene.h), drawn from the design's
// own view, with a selection highlighted.
#include <string>

#include "NcdPlot_Html.h"
#include "NcdPlot_Scene.h"
#include "NcdPlot_Svg.h"
#include "NcdTcl_Commands.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_ObjectCommands.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Property.h"
#include "NcdTcl_Query.h"
#include "NcdTcl_Resolve.h"
#include "NcdTcl_Session.h"
#include "NcdTool_Output.h"
#include "UtilI_ISharedNcd.h"
#include "XCad_CadView.h"

namespace NcdTcl {

namespace {

enum PlotOption { kHtml, kHighlight };

// The picture marks objects by name: an object of another design would
// mark whatever of the plotted design has its name, or nothing.
void RequireOfDesign(Session::Handle& design, Tcl_Obj* object) {
  const std::string name = Tcl_GetString(object);
  Tcl_Obj* same = FindByName(design, *KindOf(object), name);
  const bool ours = same && CollectableOf(same)->GetId() == CollectableOf(object)->GetId();
  if (same) Discard(same);
  if (!ours)
    throw Error(ErrorClass::Object,
                "\"" + Clipped(name) + "\" is an object of another design than design " +
                    Tcl_GetString(Session::NameOf(design)),
                {name});
}

// The names the objects print as: a block's or net's full name, a pin's
// block/pin (which marks its comp). Objects and names are taken as every
// command takes them: a name that no block, net or pin has, or an object
// of another kind, is NCD OBJECT, a stale object NCD STALE, rather than
// nothing marked.
void AddNames(Session& session, Tcl_Interp* interp, Tcl_Obj* objects, int objc,
              Tcl_Obj* const objv[], NcdPlot::SceneOptions& options) {
  int count = 0;
  Tcl_Obj** items = nullptr;
  if (Tcl_ListObjGetElements(interp, objects, &count, &items) != TCL_OK)
    throw Error(ErrorClass::Option, std::string("-highlight wants a list of objects: ") +
                                        Tcl_GetString(Tcl_GetObjResult(interp)));
  Resolution how;
  how.kinds = {Kind::Block, Kind::Net, Kind::Pin};
  how.byPrecedence = true;
  how.objc = objc;
  how.objv = objv;
  ResultList found(false);
  ResolveObjects(session, objects, how, found);
  for (Tcl_Obj* object : found.Items()) {
    RequireLive(object);
    RequireOfDesign(session.Current(), object);
    const Kind kind = KindOf(object)->kind;
    if (kind == Kind::Net) {
      options.highlightNets.insert(Tcl_GetString(object));
    } else if (kind == Kind::Block && PropertyText(CollectableOf(object), "Level") == "Top") {
      options.highlight.insert("");  // the top block's path, which holds every comp
    } else {
      options.highlight.insert(Tcl_GetString(object));
    }
  }
}

// The file's name as the system spells it (as Tcl's own commands do). An
// empty name, which the writer would take for standard output, and one
// holding a NUL, which the system would cut short, name no file.
std::string FileNameOf(Tcl_Obj* name) {
  Tcl_DString native;
  const char* text = Tcl_UtfToExternalDString(nullptr, Tcl_GetString(name), -1, &native);
  const std::string file(text, static_cast<std::size_t>(Tcl_DStringLength(&native)));
  Tcl_DStringFree(&native);
  const char* problem = file.empty()                           ? "no file name given"
                        : file.find('\0') != std::string::npos ? "a file name cannot hold a NUL"
                                                               : nullptr;
  if (problem)
    throw Error(ErrorClass::File, "cannot write '" + Clipped(Tcl_GetString(name)) + "': " + problem,
                {Tcl_GetString(name)});
  return file;
}

}  // namespace

const OptionEntry kPlotOptions[] = {
    {"-html", nullptr, "write the placement page instead of the SVG picture"},
    {"-highlight", "objects", "mark these blocks and nets (their comps, their drawn nets)"},
    {"--", nullptr, nullptr},
    {nullptr}};

void Plot(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  ParsedOptions options = ParseOptions(interp, objc, objv, kPlotOptions);
  RequireArgs(interp, objv, options, 1, UsageOf("plot"));
  Session::Handle& handle = session.Current();
  XCad_CadView* view = handle.design ? handle.design->GetView() : nullptr;
  if (!view) throw Error(ErrorClass::State, "the current design has no view", {"none"});
  NcdPlot::SceneOptions sceneOptions;
  sceneOptions.pins = options.Has(kHtml);
  sceneOptions.maxObjects = 100000;
  if (options.Has(kHighlight))
    AddNames(session, interp, options.Value(kHighlight), objc, objv, sceneOptions);
  const std::string file = FileNameOf(options.Arg(0));
  if (std::string error = NcdTool::CheckNotInput(file, {handle.file}); !error.empty())
    throw Error(ErrorClass::File, error, {file});
  const NcdPlot::Scene scene = NcdPlot::BuildScene(*view, sceneOptions);
  const std::string error = NcdTool::WriteOutput(
      file,
      [&](std::ostream& out) {
        if (options.Has(kHtml)) {
          NcdPlot::WriteHtml(scene, out);
        } else {
          NcdPlot::WriteSvg(scene, out);
        }
      },
      NcdTool::Signals::Keep);
  if (!error.empty()) throw Error(ErrorClass::File, error, {file});
  Tcl_SetObjResult(interp, options.Arg(0));
}

}  // namespace NcdTcl
