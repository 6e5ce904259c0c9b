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
#include "NcdTcl_Session.h"
#include "NcdTool_Output.h"
#include "UtilI_ISharedNcd.h"
#include "XCad_CadView.h"

namespace NcdTcl {

namespace {

enum PlotOption { kHtml, kHighlight };

// The names the objects print as: a block's or net's full name, a pin's
// block/pin (which marks its comp).
void AddNames(Tcl_Interp* interp, Tcl_Obj* objects, NcdPlot::SceneOptions& options) {
  int count = 0;
  Tcl_Obj** items = nullptr;
  if (Tcl_ListObjGetElements(interp, objects, &count, &items) != TCL_OK)
    throw Error(ErrorClass::Option, std::string("-highlight wants a list of objects: ") +
                                        Tcl_GetString(Tcl_GetObjResult(interp)));
  for (int i = 0; i < count; ++i)
    options.highlight.insert(Tcl_GetString(items[i]));
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
  if (options.Has(kHighlight)) AddNames(interp, options.Value(kHighlight), sceneOptions);
  const NcdPlot::Scene scene = NcdPlot::BuildScene(*view, sceneOptions);
  const std::string file = Tcl_GetString(options.Arg(0));
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
  Tcl_SetObjResult(interp, Tcl_NewStringObj(file.c_str(), -1));
}

}  // namespace NcdTcl
