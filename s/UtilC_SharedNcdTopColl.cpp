// TopColl: the design-wide lists of the top block.
#include <vector>

#include "UtilC_SharedNcdBlockColl.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Block.h"
#include "Xdm_Network.h"
#include "Xdm_View.h"

namespace UtilC::SharedNcd {

namespace {
using T = TopColl;
constexpr bool kNullForNoList = true;
}  // namespace

std::span<const PropertySpec<T>> TopColl::Properties() {
  static constexpr PropertySpec<T> kTable[] = {
      {"Nets", kKindList, "This property contains all nets in the design.\n", &T::GetNets},
      {"RPMs", kKindList, "This property contains all RPMs in the design.\n", &T::GetRpms},
      {"Probes", kKindList, "This property contains all probes in the design.\n", &T::GetProbes},
  };
  return kTable;
}

CitI::Result TopColl::GetNets(UtilI::IPropertyValue** value) {
  return DeliverFilledList<T>(
      value,
      [this](UtilI::IObjectList& list) {
        for (const Xdm_Network* network : Current()->GetView()->GetNetworkItr()) {
          if (design->IsNetVisible(network)) AppendTo(list, design->MakeCollectable(network));
        }
      },
      kNullForNoList);
}

// Every shape, user shapes included, in the shape manager's order.
CitI::Result TopColl::GetRpms(UtilI::IPropertyValue** value) {
  return DeliverFilledList<T>(
      value,
      [this](UtilI::IObjectList& list) {
        Xdh_ShapeMgr* shapeMgr = design->GetShapeMgr();
        std::vector<Xdh_Shape> shapes;
        if (!shapeMgr || !shapeMgr->GetShapes(shapes)) return;
        for (const Xdh_Shape& shape : shapes) AppendTo(list, design->MakeCollectable(shape.GetNativeXdmObject()));
      },
      kNullForNoList);
}

CitI::Result TopColl::GetProbes(UtilI::IPropertyValue** value) {
  return DeliverFilledList<T>(value, [](UtilI::IObjectList&) {}, kNullForNoList);
}

}  // namespace UtilC::SharedNcd
