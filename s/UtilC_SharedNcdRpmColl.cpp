#include "UtilC_SharedNcdRpmColl.h"

#include <vector>

#include "XCad_CadBlock.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_PropertyHolder.h"

namespace UtilC::SharedNcd {

namespace {

using R = RpmColl;

// The block collectable of a shape's block; empty for a block that is not
// a loaded (XCad_CadBlock) block.
SharedNcd::CollectablePtr BlockOf(SharedNcd& design, Xdm_Block* block) {
  const auto* cad = dynamic_cast<const XCad_CadBlock*>(block);
  return cad ? design.MakeCollectable(static_cast<const Pds_PdmBlock*>(cad)) : SharedNcd::CollectablePtr();
}

}  // namespace

std::span<const PropertySpec<R>> RpmColl::Properties() {
  static constexpr PropertySpec<R> kTable[] = {
      {"Name", kKindString, "This property specifies the name of the RPM.\n", &R::GetNameValue},
      {"Full Name", kKindString, "This property is same as the \"Name\" property.\n", &R::GetFullName},
      {"Color", kKindString, "This property specifies the color of the RPM.\n", &R::GetColor},
      {"Subtype", kKindString, "This property specifies the subtype name of the RPM.\n", &R::GetSubtype},
      {"Reference Block", kKindObject, "This property specifies the reference block of the RPM.\n",
       &R::GetReferenceBlock},
      {"Members", kKindList, "This property contains all members of the RPM.\n", &R::GetMembers},
      {"Icon Name", kKindString, "This property specifies the icon file name for theRPM.\n", &R::GetIconName},
  };
  return kTable;
}

CitI::Result RpmColl::IsStale() {
  const Xdm_PropertyHolder* rpm = Current();
  DesignUse use(design);
  if (!rpm || !IsDesignAlive() || !design->GetView()) return 1;
  // Asked of every RPM a search or a list hands out: the shape manager
  // answers it without listing the shapes.
  Xdh_ShapeMgr* shapeMgr = design->GetShapeMgr();
  return shapeMgr && shapeMgr->HasShape(rpm) ? 0 : 1;
}

CitI::Result RpmColl::GetNameValue(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetName());
}

CitI::Result RpmColl::GetFullName(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetFullName());
}

CitI::Result RpmColl::GetColor(UtilI::IPropertyValue** value) {
  return (*value)->SetString("TBD");
}

CitI::Result RpmColl::GetSubtype(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Xdh_Shape(Current()).IsUserShape() ? "User" : "Tool");
}

CitI::Result RpmColl::GetReferenceBlock(UtilI::IPropertyValue** value) {
  return DeliverObject(value, BlockOf(*design, Xdh_Shape(Current()).GetReferenceBlock()));
}

// A shape whose blocks cannot be listed has no members (an empty list).
CitI::Result RpmColl::GetMembers(UtilI::IPropertyValue** value) {
  std::vector<Xdm_Block*> blocks;
  Xdh_Shape(Current()).GetBlocks(blocks);
  return DeliverList<R>(value, blocks, [this](Xdm_Block* block) { return BlockOf(*design, block); });
}

CitI::Result RpmColl::GetIconName(UtilI::IPropertyValue** value) {
  return (*value)->SetString("utilc-block");
}

}  // namespace UtilC::SharedNcd
