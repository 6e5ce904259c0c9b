// ncdplot: draws a design's placement as an SVG picture. Exit status: 0 on
// success, 1 when the design cannot be loaded or the picture written, 2 for
// a usage error.
#include <getopt.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "NcdPlot_Scene.h"
#include "NcdPlot_Svg.h"
#include "NcdTool_Output.h"
#include "Pds_PahDesignLoader.h"
#include "Port_Exception.h"
#include "XCad_CadModel.h"

namespace {

constexpr const char* kUsage =
    "usage: ncdplot [--output FILE] [--max-fanout N] DESIGN\n"
    "Draws the placement of a design (ncd-json, plain or gzip) as SVG: the device grid,\n"
    "comps coloured by module, IOBs, RPM outlines, and nets from driver to loads\n"
    "(solid: fully routed, dashed: partially routed, dotted: unrouted).\n"
    "  -o, --output FILE     write to FILE (default: standard output)\n"
    "  -f, --max-fanout N    leave out nets with more loads than N (default 40)\n"
    "  -h, --help            show this help\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ncdplot: %s\nTry 'ncdplot --help'.\n", message.c_str());
  return 2;
}

struct Args {
  std::string design, output;
  std::uint32_t maxFanout = 40;
  bool help = false;
};

int ParseArgs(int argc, char** argv, Args& args) {
  static const option kLong[] = {{"output", required_argument, nullptr, 'o'},
                                 {"max-fanout", required_argument, nullptr, 'f'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  for (int c; (c = getopt_long(argc, argv, ":o:f:h", kLong, nullptr)) != -1;) {
    if (c == 'o') {
      args.output = optarg;
    } else if (c == 'f') {
      const char* end = optarg + std::strlen(optarg);
      auto [ptr, ec] = std::from_chars(optarg, end, args.maxFanout);
      if (*optarg == '\0' || ec != std::errc() || ptr != end)
        return UsageError(std::string("--max-fanout wants a whole number, not '") + optarg + "'");
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
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> instantiator;
  NcdPlot::Scene scene;
  try {
    Xdm_View* view = loader.LoadAndSpecializeImpl(args.design.c_str(), "ncdplot",
                                                  Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator, nullptr);
    scene = NcdPlot::BuildScene(*view, args.maxFanout);
    loader.GetTxn()->Abort();
  } catch (const Port::Exception& e) {
    std::fprintf(stderr, "ncdplot: %s\n", e.getLocalized().c_str());
    return 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ncdplot: %s: %s\n", args.design.c_str(), e.what());
    return 1;
  }
  const std::string error = NcdTool::WriteOutput(
      args.output, [&](std::ostream& out) { NcdPlot::WriteSvg(scene, out); });
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
