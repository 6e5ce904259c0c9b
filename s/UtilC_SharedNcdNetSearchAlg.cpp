#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdSearchAlgs.h"
#include "XCad_CadView.h"
#include "Xdm_Network.h"

namespace UtilC::SharedNcd {

NetSearchAlg::NetSearchAlg(const Port::StringBase& name, SharedNcd* design)
    : DesignSearchAlg(name, design) {
  SearchStrings<NetSearchAlg>();
}

CitI::Result NetSearchAlg::Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                                  const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                                  const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                                  UtilI::IObjectList* results, void* passThrough) {
  if (request->StopRequested()) return 1;
  const DesignUse use(m_design);
  const SearchCall call(request, patternHolder, text, flag1, flag2, flag3, results, passThrough,
                        SearchStrings<NetSearchAlg>());
  XCad_CadView* view = m_design->GetView();
  if (!view) return 1;
  CommonI::RefCountPtr<UtilI::ITclCollectable> probe;
  CitI::Result answer = 1;
  for (const Xdm_Network* network : view->GetNetworkItr()) {
    m_design->AttachCollectable(network, probe);
    if (!probe) continue;
    bool matched = false;
    answer = call.Present(probe.get(), matched);
    if (matched) call.Append(m_design->MakeCollectable(network));
  }
  return answer;
}

}  // namespace UtilC::SharedNcd
