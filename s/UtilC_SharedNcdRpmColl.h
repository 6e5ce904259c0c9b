// RpmColl: the collectable of one RPM ("ncd_rpm"), a relatively placed
// group of blocks that the design describes as a shape whose native object
// is a property holder: its names, whether a user or a tool made it, its
// reference block and its members.
//
// Unlike the other collectables, an RPM is stale when no shape of the
// design has its property holder any more (the shape manager is asked on
// every check, so a check costs one walk over the shapes), and always
// when it wraps nothing.
#pragma once

#include <span>

#include "UtilC_SharedNcdCollT.h"

namespace UtilC::SharedNcd {

class RpmColl : public CollT<RpmColl, IRpmData, Xdm_PropertyHolder> {
 public:
  static constexpr const char* kTypeName = "ncd_rpm";
  static constexpr Port::XUID kDataIid = IID_IRpmData;
  static std::span<const PropertySpec<RpmColl>> Properties();

  using CollT::CollT;

  CitI::Result IsStale() override;
  Xdm_PropertyHolder* GetRpm() override { return LockedItem(); }
  void SetRpm(Xdm_PropertyHolder* rpm) override { Retarget(rpm); }

 private:
  CitI::Result GetNameValue(UtilI::IPropertyValue** value);
  CitI::Result GetFullName(UtilI::IPropertyValue** value);
  CitI::Result GetColor(UtilI::IPropertyValue** value);
  CitI::Result GetSubtype(UtilI::IPropertyValue** value);
  CitI::Result GetReferenceBlock(UtilI::IPropertyValue** value);
  CitI::Result GetMembers(UtilI::IPropertyValue** value);
  CitI::Result GetIconName(UtilI::IPropertyValue** value);
};

}  // namespace UtilC::SharedNcd
