// ncdplot: draws a design's placement as an SVG picture or an HTML page.
// Exit status: 0 on success, 1 when the design cannot be loaded or the
// picture written, 2 for a usage error.
#include <getopt.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "NcdPlot_Html.h"
#include "NcdPlot_Scene.h"
#include "NcdPlot_Svg.h"
#include "NcdTool_FlowNetlist.h"
#include "NcdTool_Output.h"
#include "Pds_PahDesignLoader.h"
#include "Port_Exception.h"
#include "XCad_CadModel.h"

namespace {

constexpr const char* kUsage =
    "usage: ncdplot [--html] [--output FILE] [--max-fanout N] [--max-objects N] DESIGN\n"
    "Draws the placement of a design (ncd-json, plain or gzip) as SVG: the device grid,\n"
    "comps coloured by module, IOBs, RPM outlines, and nets from driver to loads\n"
    "(solid: fully routed, dashed: partially routed, dotted: unrouted). With --html,\n"
    "one self-contained page instead: pan and zoom, colours by module or type, a search\n"
    "box for blocks and nets, their properties on hover and click, nets on demand.\n"
    "  -o, --output FILE     write to FILE (default: standard output)\n"
    "  -f, --max-fanout N    SVG: leave out nets with more loads than N (default 40)\n"
    "  -m, --max-objects N   at most N comps and N nets, the page and picture say how many\n"
    "                        more there are (default 100000)\n"
    "      --html            write the HTML page\n"
    "  -h, --help            show this help\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ncdplot: %s\nTry 'ncdplot --help'.\n", message.c_str());
  return 2;
}

struct Args {
  std::string design, output;
  std::uint32_t maxFanout = 40, maxObjects = 100000;
  bool help = false, html = false;
};

// A whole number for option `name`; false (with the message) otherwise.
bool Number(const char* name, const char* text, std::uint32_t& value, std::string& error) {
  const char* end = text + std::strlen(text);
  auto [ptr, ec] = std::from_chars(text, end, value);
  if (*text != '\0' && ec == std::errc() && ptr == end) return true;
  error = std::string(name) + " wants a whole number, not '" + text + "'";
  return false;
}

int ParseArgs(int argc, char** argv, Args& args) {
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"max-fanout", required_argument, nullptr, 'f'},
                                 {"max-objects", required_argument, nullptr, 'm'},
                                 {"html", no_argument, nullptr, 'H'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  std::string error;
  for (int c; (c = getopt_long(argc, argv, ":o:f:m:h", kLong, nullptr)) != -1;) {
    if (c == 'o') {
      args.output = optarg;
    } else if (c == 'f') {
      if (!Number("--max-fanout", optarg, args.maxFanout, error)) return UsageError(error);
    } else if (c == 'm') {
      if (!Number("--max-objects", optarg, args.maxObjects, error)) return UsageError(error);
    } else if (c == 'H') {
      args.html = true;
    } else if (c == 'h') {
      args.help = true;
    } else {
      return UsageError(std::string(c == ':' ? "option needs a value: '" : "unknown option '") +
                        argv[optind - 1] + "'");
    }
  }
  if (args.help) return 0;
  if (optind + 1 != argc) return UsageError("give one design file");
  args.design = argv[optind];
  return 0;
}

int Plot(const Args& args) {
  if (const std::string error = NcdTool::CheckNotInput(args.output, {args.design});
      !error.empty()) {
    std::fprintf(stderr, "ncdplot: %s\n", error.c_str());
    return 1;
  }
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> instantiator;
  NcdPlot::Scene scene;
  try {
    Xdm_View* view = loader.LoadAndSpecializeImpl(
        args.design.c_str(), "ncdplot", Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator, nullptr);
    NcdPlot::SceneOptions options;
    options.maxObjects = args.maxObjects;
    options.pins = args.html;
    scene = NcdPlot::BuildScene(*view, options);
    loader.GetTxn()->Abort();
  } catch (const Port::Exception& e) {
    const std::string hint = NcdTool::FlowNetlistHint(args.design);
    std::fprintf(stderr, "ncdplot: %s\n", hint.empty() ? e.getLocalized().c_str() : hint.c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ncdplot: %s: %s\n", args.design.c_str(), e.what());
    return 1;
  }
  const std::string error = NcdTool::WriteOutput(args.output, [&](std::ostream& out) {
    if (args.html) {
      NcdPlot::WriteHtml(scene, out);
    } else {
      NcdPlot::WriteSvg(scene, out, args.maxFanout);
    }
  });
  if (error.empty()) return 0;
  std::fprintf(stderr, "ncdplot: %s\n", error.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (int status = ParseArgs(argc, argv, args)) return status;
  if (args.help) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  return Plot(args);
}
