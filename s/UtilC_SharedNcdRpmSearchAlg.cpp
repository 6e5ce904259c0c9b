#include <vector>

#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdDesignUse.h"
#include "UtilC_SharedNcdSearchAlgs.h"
#include "Xdh_ShapeMgr.h"

namespace UtilC::SharedNcd {

RpmSearchAlg::RpmSearchAlg(const Port::StringBase& name, SharedNcd* design)
    : DesignSearchAlg(name, design) {
  SearchStrings<RpmSearchAlg>();
}

// A shape without a native object stands for no RPM: it is skipped, so
// that the probe is never matched twice for the shape before it.
CitI::Result RpmSearchAlg::Search(const CommonI::RefCountPtr<UtilI::ISearchRequest>& request,
                                  const CommonI::RefCountPtr<CitI::IInterface>& patternHolder,
                                  const Port::StringBase& text, bool flag1, bool flag2, bool flag3,
                                  UtilI::IObjectList* results, void* passThrough) {
  if (request->StopRequested()) return 1;
  const DesignUse use(m_design);
  const SearchCall call(request, patternHolder, text, flag1, flag2, flag3, results, passThrough,
                        SearchStrings<RpmSearchAlg>());
  Xdh_ShapeMgr* shapeMgr = m_design->GetShapeMgr();
  std::vector<Xdh_Shape> shapes;
  if (!shapeMgr || !shapeMgr->GetShapes(shapes)) return 1;
  CommonI::RefCountPtr<UtilI::ITclCollectable> probe;
  CitI::Result answer = 1;
  for (const Xdh_Shape& shape : shapes) {
    const Xdm_PropertyHolder* holder = shape.GetNativeXdmObject();
    if (!holder) continue;
    m_design->AttachCollectable(holder, probe);
    if (!probe) continue;
    bool matched = false;
    answer = call.Present(probe.get(), matched);
    if (answer == 0) return 0;
    if (matched) call.Append(m_design->MakeCollectable(holder));
  }
  return answer;
}

}  // namespace UtilC::SharedNcd
