#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdSearchAlgs.h"
#include "XCad_CadView.h"

namespace UtilC::SharedNcd {

BlockSearchAlg::BlockSearchAlg(const Port::StringBase& name, SharedNcd* design)
    : DesignSearchAlg(name, design) {
  SearchStrings<BlockSearchAlg>();
}

CitI::Result BlockSearchAlg::Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                                    const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                                    const Port::StringBase& text, bool flag1, bool flag2,
                                    bool flag3, UtilI::IObjectList* results, void* passThrough) {
  const DesignUse use(m_design);
  const SearchCall call(request, patternHolder, text, flag1, flag2, flag3, results, passThrough,
                        SearchStrings<BlockSearchAlg>());
  XCad_CadView* view = m_design->GetView();
  Xdm_Block* top = view ? view->GetBlock() : nullptr;
  CommonI::RefCountPtr<UtilI::ITclCollectable> probe;
  if (top) Visit(call, top, probe);
  return 1;
}

CitI::Result BlockSearchAlg::Visit(const SearchCall& call, Xdm_Block* block,
                                   CommonI::RefCountPtr<UtilI::ITclCollectable>& probe) {
  if (call.request->StopRequested()) return 1;
  const auto* pdm = static_cast<const Pds_PdmBlock*>(block);
  m_design->AttachCollectable(pdm, probe);
  bool matched = false;
  const CitI::Result answer = call.Present(probe.get(), matched);
  if (answer == 0) return 0;
  if (matched) call.Append(m_design->MakeCollectable(pdm));
  for (Xdm_Block* child : block->GetBlockItr()) {
    if (m_design->SharedNcd::IsBlockVisible(child)) Visit(call, child, probe);
  }
  return answer;
}

}  // namespace UtilC::SharedNcd
