// ncdclient: opens design files through the shared design manager, prints
// what the shared design answers and the manager's registries, and hands
// the designs back. Exit status 0 when every design loaded, 1 otherwise.
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "CitP_Factory.h"
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

UtilI::ISharedNcdMgr* OpenManager() {
  if (!CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd")) return nullptr;
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(kMgrClass);
  if (!instance) return nullptr;
  return static_cast<UtilI::ISharedNcdMgr*>(instance->QueryInterface(UtilI::IID_ISharedNcdMgr));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || !std::strcmp(argv[1], "-h") || !std::strcmp(argv[1], "--help")) {
    std::printf("usage: ncdclient FILE...\nOpens each design through the shared design manager, describes it,\n"
                "prints the manager's registries and hands the design back.\n");
    return argc < 2 ? 2 : 0;
  }
  UtilI::ISharedNcdMgr* mgr = OpenManager();
  if (!mgr) {
    std::fprintf(stderr, "ncdclient: the shared design component could not be loaded\n");
    return 1;
  }
  bool ok = true;
  for (int i = 1; i < argc; ++i) {
    CitI::Result status = mgr->Load(kRequester, argv[i], {}, true);
    std::printf("%s: %s\n", argv[i], kStatusWords[status < 3 ? status : 0]);
    CommonI::RefCountPtr<UtilI::ISharedNcd> design = mgr->Get(kRequester, argv[i], {});
    if (!design) {
      mgr->CancelLoad(kRequester, argv[i], {});
      ok = false;
      continue;
    }
    Describe(*design);
    std::printf("  manager     %s\n", mgr->Dump("").c_str());
    design.Reset();
    std::printf("  handed back %s\n", mgr->Dump("").c_str());
  }
  return ok ? 0 : 1;
}
