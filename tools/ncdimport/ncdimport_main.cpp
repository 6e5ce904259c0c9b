// ncdimport: a placed-and-routed iCE40 design from nextpnr-ice40 as an
// ncd-json design. Exit status: 0 on success, 1 when an input cannot be
// used or the output cannot be written, 2 for a usage error.
#include <getopt.h>

#include <cstdio>
#include <exception>
#include <string>

#include "NcdImport.h"
#include "NcdTool_Output.h"

namespace {

constexpr const char* kUsage =
    "usage: ncdimport [--sdf FILE] [--pcf FILE] [--output FILE] [--quiet] NETLIST\n"
    "Writes the design nextpnr-ice40 wrote with --write (NETLIST, plain or gzip)\n"
    "in the ncd-json format (docs/import.md).\n"
    "  -s, --sdf FILE     delays from the SDF file nextpnr wrote with --sdf\n"
    "  -p, --pcf FILE     package pins from the PCF file nextpnr was given\n"
    "  -o, --output FILE  write to FILE, compressed if it ends in .gz\n"
    "                     (default: standard output)\n"
    "  -q, --quiet        do not list what could not be mapped\n"
    "  -h, --help         show this help\n"
    "What cannot be mapped is listed on standard error, once per kind.\n";

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ncdimport: %s\nTry 'ncdimport --help'.\n", message.c_str());
  return 2;
}

struct Args {
  NcdImport::Inputs inputs;
  std::string output;
  bool quiet = false;
  bool help = false;
};

int ParseArgs(int argc, char** argv, Args& args) {
  static const option kLong[] = {{"sdf", required_argument, nullptr, 's'},
                                 {"pcf", required_argument, nullptr, 'p'},
                                 {"output", required_argument, nullptr, 'o'},
                                 {"quiet", no_argument, nullptr, 'q'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":s:p:o:qh", kLong, nullptr)) != -1) {
    switch (c) {
      // A design has one SDF and one PCF: a second one would be dropped.
      case 's':
        if (!args.inputs.sdf.empty()) return UsageError("--sdf given twice");
        args.inputs.sdf = optarg;
        break;
      case 'p':
        if (!args.inputs.pcf.empty()) return UsageError("--pcf given twice");
        args.inputs.pcf = optarg;
        break;
      case 'o': args.output = optarg; break;
      case 'q': args.quiet = true; break;
      case 'h': args.help = true; break;
      case ':': return UsageError(std::string("option '") + argv[optind - 1] + "' needs a value");
      default: return UsageError(std::string("unknown option '") + argv[optind - 1] + "'");
    }
  }
  if (args.help) return 0;
  if (optind == argc) return UsageError("no netlist given");
  if (optind + 1 < argc) return UsageError(std::string("unexpected argument '") + argv[optind + 1] + "'");
  args.inputs.netlist = argv[optind];
  return 0;
}

// Imports everything before the output is opened, so that a bad input
// leaves no file behind; a failed write leaves the file as it was.
int Run(const Args& args) {
  const NcdImport::Inputs& in = args.inputs;
  if (const std::string error = NcdTool::CheckNotInput(args.output, {in.netlist, in.sdf, in.pcf});
      !error.empty()) {
    std::fprintf(stderr, "ncdimport: %s\n", error.c_str());
    return 1;
  }
  NcdImport::Notes notes;
  NcdImport::Design design;
  try {
    design = NcdImport::Import(args.inputs, notes);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "ncdimport: %s\n", e.what());
    return 1;
  }
  if (!args.quiet) notes.Print(stderr, "ncdimport: ");
  const std::string error = NcdTool::WriteOutput(
      args.output, [&](std::ostream& out) { NcdImport::WriteDesign(design, out); },
      NcdTool::Signals::RemoveAndEnd, NcdTool::Form::GzipWhenNamedGz);
  if (error.empty()) return 0;
  std::fprintf(stderr, "ncdimport: %s\n", error.c_str());
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
  return Run(args);
}
