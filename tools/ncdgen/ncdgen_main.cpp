// ncdgen: writes a synthetic design of about the requested size.
// Exit status: 0 on success, 1 when the design cannot be written, 2 for a
// usage error.
#include <getopt.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <exception>
#include <string>

#include "NcdGen.h"
#include "NcdTool_Output.h"

namespace {

constexpr const char* kUsage =
    "usage: ncdgen [--blocks N] [--seed S] [--output FILE]\n"
    "Writes a synthetic design in the ncd-json format.\n"
    "  -b, --blocks N   about N blocks in all (default 10000, from %llu to %llu)\n"
    "  -s, --seed S     random seed, any whole number from 0 (default 1)\n"
    "  -o, --output F   write to file F, compressed if F ends in .gz\n"
    "                   (default: standard output)\n"
    "  -h, --help       show this help\n"
    "The same options always give the same bytes.\n";

void PrintUsage(std::FILE* to) {
  std::fprintf(to, kUsage, static_cast<unsigned long long>(NcdGen::kMinBlocks),
               static_cast<unsigned long long>(NcdGen::kMaxBlocks));
}

int UsageError(const std::string& message) {
  std::fprintf(stderr, "ncdgen: %s\n", message.c_str());
  std::fprintf(stderr, "Try 'ncdgen --help'.\n");
  return 2;
}

// A whole decimal number and nothing else.
bool ParseCount(const char* text, uint64_t& value) {
  const char* end = text + std::strlen(text);
  auto [ptr, ec] = std::from_chars(text, end, value);
  return *text != '\0' && ec == std::errc() && ptr == end;
}

// The option getopt_long just refused: a short one by its letter (it may
// sit in a group such as -qx), a long one as written.
std::string OptionText(char** argv) {
  std::string text = argv[optind - 1];
  if (text.rfind("--", 0) == 0) return text.substr(0, text.find('='));
  return std::string("-") + static_cast<char>(optopt);
}

struct Args {
  NcdGen::Options options;
  std::string output;
  bool help = false;
};

// Answers 0 when the arguments are good, else the exit status after
// reporting the problem.
int ParseArgs(int argc, char** argv, Args& args) {
  static const option kLong[] = {{"blocks", required_argument, nullptr, 'b'},
                                 {"seed", required_argument, nullptr, 's'},
                                 {"output", required_argument, nullptr, 'o'},
                                 {"help", no_argument, nullptr, 'h'},
                                 {nullptr, 0, nullptr, 0}};
  opterr = 0;
  int c;
  while ((c = getopt_long(argc, argv, ":b:s:o:h", kLong, nullptr)) != -1) {
    switch (c) {
      case 'b':
        if (!ParseCount(optarg, args.options.blocks))
          return UsageError(std::string("--blocks wants a whole number, not '") + optarg + "'");
        break;
      case 's':
        if (!ParseCount(optarg, args.options.seed))
          return UsageError(std::string("--seed wants a whole number, not '") + optarg + "'");
        break;
      case 'o':
        args.output = optarg;
        break;
      case 'h':
        args.help = true;
        break;
      case ':':
        return UsageError("option '" + OptionText(argv) + "' needs a value");
      default:
        return UsageError("unknown option '" + OptionText(argv) + "'");
    }
  }
  if (optind < argc) return UsageError(std::string("unexpected argument '") + argv[optind] + "'");
  std::string problem = NcdGen::CheckOptions(args.options);
  return problem.empty() ? 0 : UsageError(problem);
}

// Writes to the named file, or standard output; a failed write leaves the
// file as it was (NcdTool_Output.h).
int Generate(const Args& args) {
  const std::string error = NcdTool::WriteOutput(
      args.output, [&](std::ostream& out) { NcdGen::WriteDesign(args.options, out); },
      NcdTool::Signals::RemoveAndEnd, NcdTool::Form::GzipWhenNamedGz);
  if (error.empty()) return 0;
  std::fprintf(stderr, "ncdgen: %s\n", error.c_str());
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  Args args;
  if (int status = ParseArgs(argc, argv, args)) return status;
  if (args.help) {
    PrintUsage(stdout);
    return 0;
  }
  return Generate(args);
}
