// The block family of collectables: one class per kind of block, chosen by
// the design object when it wraps a block (SharedNcd::MakeCollectable):
//   BlockColl   any block; the family's base, with the properties every
//               block has;
//   BelColl     a bel (hierarchy level 4): its equation and configuration;
//   CompColl    a comp (level 3): its site, placement and configuration;
//   IobColl     an external comp: IO standard, direction, drive and slew;
//   HmInstColl  a hard-macro instance (level 2): reference block, status.
// The top block's class, TopColl, adds the design-wide lists.
//
// All share BlockColl's counting, identity, staleness and data face (see
// UtilC_SharedNcdCollT.h); each derived class answers its own properties
// first and falls back to its base. Type name "ncd_block" for all.
#pragma once

#include <span>

#include "UtilC_SharedNcdCollT.h"

class Pds_PdmBlock;

namespace UtilC::SharedNcd {

class BlockColl : public CollT<BlockColl, IBlockData, Xdm_Block> {
 public:
  static constexpr const char* kTypeName = "ncd_block";
  static constexpr Port::XUID kDataIid = IID_IBlockData;
  static std::span<const PropertySpec<BlockColl>> Properties();

  using CollT::CollT;

  Xdm_Block* GetBlock() override { return LockedItem(); }
  void SetBlock(Xdm_Block* block) override { Retarget(block); }

 protected:
  const Pds_PdmBlock* Block() const;

 private:
  CitI::Result GetNameValue(UtilI::IPropertyValue** value);
  CitI::Result GetFullName(UtilI::IPropertyValue** value);
  CitI::Result GetColor(UtilI::IPropertyValue** value);
  CitI::Result GetPins(UtilI::IPropertyValue** value);
  CitI::Result GetParent(UtilI::IPropertyValue** value);
  CitI::Result GetChildren(UtilI::IPropertyValue** value);
  CitI::Result GetSignals(UtilI::IPropertyValue** value);
  CitI::Result GetSubtype(UtilI::IPropertyValue** value);
  CitI::Result GetLevel(UtilI::IPropertyValue** value);
  CitI::Result GetIconName(UtilI::IPropertyValue** value);
};

class BelColl : public DerivedCollT<BelColl, BlockColl> {
 public:
  static std::span<const PropertySpec<BelColl>> Properties();
  using DerivedCollT::DerivedCollT;

 private:
  CitI::Result GetEquation(UtilI::IPropertyValue** value);
  CitI::Result GetGcd(UtilI::IPropertyValue** value);
};

class CompColl : public DerivedCollT<CompColl, BlockColl> {
 public:
  static std::span<const PropertySpec<CompColl>> Properties();
  using DerivedCollT::DerivedCollT;

 private:
  CitI::Result GetSite(UtilI::IPropertyValue** value);
  CitI::Result GetIsPlaced(UtilI::IPropertyValue** value);
  CitI::Result GetConfiguration(UtilI::IPropertyValue** value);
};

class IobColl : public DerivedCollT<IobColl, CompColl> {
 public:
  static std::span<const PropertySpec<IobColl>> Properties();
  using DerivedCollT::DerivedCollT;

 private:
  CitI::Result GetBank(UtilI::IPropertyValue** value);
  CitI::Result GetDrive(UtilI::IPropertyValue** value);
  CitI::Result GetIoDirection(UtilI::IPropertyValue** value);
  CitI::Result GetIoStandard(UtilI::IPropertyValue** value);
  CitI::Result GetPackagePin(UtilI::IPropertyValue** value);
  CitI::Result GetSlew(UtilI::IPropertyValue** value);
};

class HmInstColl : public DerivedCollT<HmInstColl, BlockColl> {
 public:
  static std::span<const PropertySpec<HmInstColl>> Properties();
  using DerivedCollT::DerivedCollT;

 private:
  CitI::Result GetReferenceBlock(UtilI::IPropertyValue** value);
  CitI::Result GetStatus(UtilI::IPropertyValue** value);
};

// The design's top block: the design-wide lists. A list that cannot be
// made is delivered as null.
class TopColl : public DerivedCollT<TopColl, BlockColl> {
 public:
  static std::span<const PropertySpec<TopColl>> Properties();
  using DerivedCollT::DerivedCollT;

 private:
  CitI::Result GetNets(UtilI::IPropertyValue** value);
  CitI::Result GetRpms(UtilI::IPropertyValue** value);
  CitI::Result GetProbes(UtilI::IPropertyValue** value);
};

}  // namespace UtilC::SharedNcd
