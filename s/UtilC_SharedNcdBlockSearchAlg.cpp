#include "UtilC_SharedNcdBlockSearchAlg.h"

#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcd.h"
#include "UtilI_VectorHelper.h"
#include "XCad_CadView.h"

namespace UtilC::SharedNcd {

namespace {

// The empty string container every block search hands to its requests;
// made with the first block search, kept until the process ends.
UtilI::IStringContainer* SharedStrings() {
  static UtilI::IStringContainer* strings = UtilI::MakeStringContainer().Detach();
  return strings;
}

}  // namespace

BlockSearchAlg::BlockSearchAlg(const Port::StringBase& name, SharedNcd* design)
    : SearchAlg(name), m_design(design) {
  SharedStrings();
}

CitI::Result BlockSearchAlg::Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                                    const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                                    const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                                    UtilI::IObjectList* results, void* passThrough) {
  const SearchCall call{request, patternHolder, text, flag1, flag2, flag3, results, passThrough};
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
  const CitI::Result answer = call.Present(probe.get(), SharedStrings(), matched);
  if (answer == 0) return 0;
  if (matched) call.Append(m_design->MakeCollectable(pdm));
  for (Xdm_Block* child : block->GetBlockItr()) {
    if (m_design->IsBlockVisible(child)) Visit(call, child, probe);
  }
  return answer;
}

}  // namespace UtilC::SharedNcd
