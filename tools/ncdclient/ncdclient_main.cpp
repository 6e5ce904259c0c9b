// ncdclient: opens design files through the shared design manager, prints
// what the shared design answers and the manager's registries, and hands
// the designs back. With --walk it prints every visible block's class,
// properties and values, walking the hierarchy through "Children"; with
// --describe each property's kind and description; with --nets the nets,
// the pins of one net and the RPMs. Exit status 0 when every design
// loaded (and had the net --net names), 1 otherwise, 2 for bad usage.
#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "CitP_Factory.h"
#include "CollPrinter.h"
#include "NcdTool_FlowNetlist.h"
#include "NcdTool_Output.h"
#include "Pds_PdmBlock.h"
#include "UtilI_ISharedNcdMgr.h"
#include "XCad_CadView.h"
#include "Xdm_Block.h"
#include "Xdm_View.h"

namespace {

constexpr Port::XUID kMgrClass{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};
constexpr Port::XUID kRequester{0x6e63646c69656e74ULL, 0x1ULL};  // this program
const char* const kStatusWords[] = {"failed", "ready", "loading"};

const char* YesNo(CitI::Result r) { return r ? "yes" : "no"; }

std::vector<Pds_PdmBlock*> BlocksDepthFirst(XCad_CadView* view) {
  std::vector<Pds_PdmBlock*> blocks;
  std::vector<Xdm_Block*> pending;
  if (view && view->GetBlock()) pending.push_back(view->GetBlock());
  while (!pending.empty()) {
    Xdm_Block* block = pending.back();
    pending.pop_back();
    if (auto* pdm = dynamic_cast<Pds_PdmBlock*>(block)) blocks.push_back(pdm);
    auto children = block->GetBlocks();
    for (std::size_t i = children.size(); i-- > 0;) pending.push_back(children[i]);
  }
  return blocks;
}

void PrintBlocks(UtilI::ISharedNcd& design, const std::vector<Pds_PdmBlock*>& blocks) {
  std::printf("  classified blocks (first 12 comps and bels):\n");
  int shown = 0;
  for (Pds_PdmBlock* block : blocks) {
    if (!block->IsComp() && !block->IsBel()) continue;
    if (++shown > 12) break;
    std::uint32_t code = design.GetBelTypeCode(block);
    std::printf("    %-28s level %d  subtype %-12s code %s\n", block->GetFullName(),
                static_cast<int>(block->GetHierLevel()), design.GetBlockSubtype(block).c_str(),
                code == 0xFFFFFFFFu ? "-" : std::to_string(code).c_str());
  }
}

void PrintIobs(UtilI::ISharedNcd& design, const std::vector<Pds_PdmBlock*>& blocks) {
  std::printf("  IOBs:\n");
  for (Pds_PdmBlock* block : blocks) {
    if (!block->IsComp() || !block->IsExternal()) continue;
    std::printf("    %-16s direction %-7s standard %-14s diff pair %-3s clock %s\n", block->GetName(),
                design.GetIoDirection(block).c_str(), design.GetIoStandard(block).c_str(),
                YesNo(design.IsDiffPairIob(block)), design.GetIobClockName(block).c_str());
  }
}

void Describe(UtilI::ISharedNcd& design) {
  std::printf("  file        %s\n", design.GetFileName().c_str());
  std::printf("  part        %s\n", design.GetPartName().c_str());
  UtilI::ISharedNcd::ViewObject* info = nullptr;
  if (design.FindViewObject(info)) std::printf("  design      %s (%s)\n", info->GetName(), info->GetTool());
  design.GetRouteMediator();
  design.GetRelocService();
  design.GetDelayMediator();
  design.GetShapeMgr();
  std::printf("  services    route mediator %s, relocation %s, delay mediator %s, shapes %s\n",
              YesNo(design.HasRouteMediator()), YesNo(design.HasRelocService()),
              YesNo(design.HasDelayMediator()), YesNo(design.HasShapeMgr()));
  std::vector<Pds_PdmBlock*> blocks = BlocksDepthFirst(design.GetView());
  PrintBlocks(design, blocks);
  PrintIobs(design, blocks);
}

struct Options {
  bool walk = false;
  bool describe = false;
  bool nets = false;
  std::string net;  // whose pins --nets shows; the first net with pins by default
  std::vector<std::string> files;
};

using ncdclient::CollPtr;

void Walk(const CollPtr& block, int depth, const Options& options) {
  const std::string indent(2 + 2 * depth, ' ');
  const char* className = ncdclient::BlockClass(block);
  std::printf("%s%s (%s)\n", indent.c_str(), ncdclient::NameOf(block).c_str(), className);
  if (options.walk) ncdclient::PrintProperties(stdout, block, indent + "    ");
  if (options.describe) ncdclient::PrintDescriptions(stdout, block, className);
  for (const CollPtr& child : ncdclient::Items(ncdclient::ValueOf(block, "Children"))) Walk(child, depth + 1, options);
}

void PrintNetPins(const CollPtr& net) {
  std::printf("  pins of net %s:\n", ncdclient::NameOf(net).c_str());
  for (const CollPtr& pin : ncdclient::Items(ncdclient::ValueOf(net, "Pins"))) {
    std::printf("    %-28s direction %-7s clock region %s\n",
                ncdclient::Render(ncdclient::ValueOf(pin, "Full Name")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(pin, "Direction")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(pin, "Clock Region")).c_str());
  }
}

// False when --net names a net the design does not have.
bool PrintNets(const CollPtr& top, const Options& options) {
  std::printf("  nets:\n");
  CollPtr shown;
  for (const CollPtr& net : ncdclient::Items(ncdclient::ValueOf(top, "Nets"))) {
    std::printf("    %-16s status %-18s fanout %-3s max delay %s\n", ncdclient::NameOf(net).c_str(),
                ncdclient::Render(ncdclient::ValueOf(net, "Status")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(net, "Fanout")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(net, "Max Delay")).c_str());
    const bool wanted = options.net.empty() ? !shown && !ncdclient::Items(ncdclient::ValueOf(net, "Pins")).empty()
                                            : ncdclient::NameOf(net) == options.net;
    if (wanted) shown = net;
  }
  if (shown) PrintNetPins(shown);
  std::printf("  RPMs:\n");
  for (const CollPtr& rpm : ncdclient::Items(ncdclient::ValueOf(top, "RPMs"))) {
    std::printf("    %-16s %-5s reference %-8s members %s\n", ncdclient::NameOf(rpm).c_str(),
                ncdclient::Render(ncdclient::ValueOf(rpm, "Subtype")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(rpm, "Reference Block")).c_str(),
                ncdclient::Render(ncdclient::ValueOf(rpm, "Members")).c_str());
  }
  return shown || options.net.empty();
}

bool PrintCollectables(UtilI::ISharedNcd& design, const Options& options) {
  XCad_CadView* view = design.GetView();
  const auto* top = view ? static_cast<const Pds_PdmBlock*>(view->GetBlock()) : nullptr;
  CollPtr topColl = design.MakeCollectable(top);
  if (options.walk || options.describe) {
    std::printf("  blocks:\n");
    Walk(topColl, 1, options);
  }
  return !options.nets || PrintNets(topColl, options);
}

const char kUsage[] =
    "usage: ncdclient [--walk] [--describe] [--nets] [--net NAME] FILE...\n"
    "Opens each design through the shared design manager, describes it,\n"
    "prints the manager's registries and hands the design back.\n"
    "  --walk        every visible block with its class, properties and values\n"
    "  --describe    each property's kind and description, once per class\n"
    "  --nets        the nets (status, fanout, max delay), the pins of one net\n"
    "                (direction, clock region) and the RPMs with their members\n"
    "  --net NAME    the net whose pins --nets shows\n";

// 0 to go on, else the exit status.
int ParseOptions(int argc, char** argv, Options& options) {
  static const option kLong[] = {{"walk", no_argument, nullptr, 'w'},     {"describe", no_argument, nullptr, 'd'},
                                 {"nets", no_argument, nullptr, 'n'},     {"net", required_argument, nullptr, 'N'},
                                 {"help", no_argument, nullptr, 'h'},     {nullptr, 0, nullptr, 0}};
  // A refused option is named as the other tools name it, without the
  // program's path (getopt_long's own message starts with argv[0]).
  for (int c; (c = getopt_long(argc, argv, ":h", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'w': options.walk = true; break;
      case 'd': options.describe = true; break;
      case 'n': options.nets = true; break;
      case 'N': options.nets = true, options.net = optarg; break;
      case 'h': std::printf("%s", kUsage); return -1;
      default:
        std::fprintf(stderr, "ncdclient: %s '%s'\nTry 'ncdclient --help'.\n",
                     c == ':' ? "option needs a value:" : "unknown option", argv[optind - 1]);
        return 2;
    }
  }
  options.files.assign(argv + optind, argv + argc);
  if (options.files.empty()) {
    std::fprintf(stderr, "%s", kUsage);
    return 2;
  }
  return 0;
}

UtilI::ISharedNcdMgr* OpenManager() {
  if (!CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd")) return nullptr;
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(kMgrClass);
  if (!instance) return nullptr;
  return static_cast<UtilI::ISharedNcdMgr*>(instance->QueryInterface(UtilI::IID_ISharedNcdMgr));
}

}  // namespace

int main(int argc, char** argv) {
  Options options;
  if (int status = ParseOptions(argc, argv, options)) return status < 0 ? 0 : status;
  UtilI::ISharedNcdMgr* mgr = OpenManager();
  if (!mgr) {
    std::fprintf(stderr, "ncdclient: the shared design component could not be loaded\n");
    return 1;
  }
  bool ok = true;
  for (const std::string& file : options.files) {
    CitI::Result status = mgr->Load(kRequester, file, {}, true);
    std::printf("%s: %s\n", file.c_str(), kStatusWords[status < 3 ? status : 0]);
    CommonI::RefCountPtr<UtilI::ISharedNcd> design = mgr->Get(kRequester, file, {});
    if (!design) {
      if (const std::string hint = NcdTool::FlowNetlistHint(file); !hint.empty())
        std::fprintf(stderr, "ncdclient: %s\n", hint.c_str());
      mgr->CancelLoad(kRequester, file, {});
      ok = false;
      continue;
    }
    Describe(*design);
    if (!PrintCollectables(*design, options)) {
      std::fprintf(stderr, "ncdclient: %s: no net named '%s'\n", file.c_str(), options.net.c_str());
      ok = false;
    }
    std::printf("  manager     %s\n", mgr->Dump("").c_str());
    design.Reset();
    std::printf("  handed back %s\n", mgr->Dump("").c_str());
  }
  return NcdTool::StandardOutputWritten("ncdclient") && ok ? 0 : 1;
}
