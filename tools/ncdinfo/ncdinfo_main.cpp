// ncdinfo: loads design files through the host design loader and prints a
// summary of each. Exit status 0 when every file loaded, 1 otherwise.
#include <getopt.h>

#include <chrono>
#include <exception>
#include <iomanip>
#include <iostream>

#include "DesignSummary.h"
#include "NcdTool_FlowNetlist.h"
#include "NcdTool_Output.h"
#include "Pds_PahDesignLoader.h"
#include "Pds_PahSnapshotCache.h"
#include "Port_Exception.h"
#include "XCad_CadModel.h"

namespace {

void Usage(std::ostream& out) {
  out << "usage: ncdinfo FILE...\n"
         "Loads each design file (docs/design-format.md) and prints its part, its blocks\n"
         "by hierarchy level, and its nets, pins, signals and shapes. A large design\n"
         "is reopened from its snapshot when it has not changed (docs/snapshots.md).\n";
}

bool Describe(const char* file) {
  using Clock = std::chrono::steady_clock;
  Pds_PahDesignLoaderT<XCad_CadTraits> loader;
  Pds_PahDesignLoaderT<XCad_CadTraits>::InstantiatorT<> instantiator;
  try {
    const std::uint64_t opened = Pds_PahSnapshotCache::GetCounts().opened;
    auto start = Clock::now();
    Xdm_View* view = loader.LoadAndSpecializeImpl(file, "ncdinfo", Xdm_Txn::XDM_TXN_READ_ONLY,
                                                  &instantiator, nullptr);
    std::chrono::duration<double> seconds = Clock::now() - start;
    const bool snapshot = Pds_PahSnapshotCache::GetCounts().opened != opened;
    std::cout << file << "  (loaded in " << std::fixed << std::setprecision(3) << seconds.count()
              << " s" << (snapshot ? ", from its snapshot" : "") << ")\n";
    Print(std::cout, Summarise(*view));
    loader.GetTxn()->Abort();
    return true;
  } catch (const Port::Exception& e) {
    if (const std::string hint = NcdTool::FlowNetlistHint(file); !hint.empty())
      std::cerr << "ncdinfo: " << hint << '\n';
    else
      std::cerr << "ncdinfo: " << e.getLocalized().c_str() << '\n';
  } catch (const std::exception& e) {
    std::cerr << "ncdinfo: " << file << ": " << e.what() << '\n';
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  // Options as the other tools take them: a word that starts with '-' is
  // one (an unknown one a usage error, not a file that cannot be opened),
  // and "--" ends them, before a file whose name starts with '-'.
  static const option kLong[] = {{"help", no_argument, nullptr, 'h'}, {nullptr, 0, nullptr, 0}};
  for (int c; (c = getopt_long(argc, argv, ":h", kLong, nullptr)) != -1;) {
    if (c != 'h') {
      std::cerr << "ncdinfo: unknown option '" << argv[optind - 1] << "'\nTry 'ncdinfo --help'.\n";
      return 2;
    }
    Usage(std::cout);
    return 0;
  }
  if (optind == argc) {
    Usage(std::cerr);
    return 2;
  }
  bool ok = true;
  for (int i = optind; i < argc; ++i)
    ok = Describe(argv[i]) && ok;
  return NcdTool::StandardOutputWritten("ncdinfo") && ok ? 0 : 1;
}
