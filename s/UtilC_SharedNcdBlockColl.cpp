// BlockColl: the properties every block has.
#include "UtilC_SharedNcdBlockColl.h"

#include "Pds_PdmBlock.h"
#include "Xdh_Partition.h"
#include "Xdm_Block.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"

namespace UtilC::SharedNcd {

namespace {

using B = BlockColl;


// The words "Level" and "Icon Name" give for a hierarchy level; a module
// that is a partition has words of its own.
struct LevelWords {
  const char* level;
  const char* icon;
};
constexpr LevelWords kLevelWords[] = {
    {"Top", "utilc-ncdnetlist"},  {"Module", "utilc-ncdmodule"}, {"Hm Instance", "utilc-ncdhm"},
    {"Comp", "utilc-ncdcomp"},    {"Bel", "utilc-ncdbel"},
};
constexpr LevelWords kPartitionWords = {"Partition", "utilc-ncdpartition"};

const LevelWords* WordsFor(const Pds_PdmBlock* block) {
  const int level = block->GetHierLevel();
  if (level < 0 || level >= static_cast<int>(std::size(kLevelWords))) return nullptr;
  if (level == Pds_PdmBlock::HIER_LEVEL_MODULE && Xdh_Partition::IsPartition(block)) return &kPartitionWords;
  return &kLevelWords[level];
}

}  // namespace

std::span<const PropertySpec<B>> BlockColl::Properties() {
  static constexpr PropertySpec<B> kTable[] = {
      {"Name", kKindString, "This property specifies the name of the block.\n",
       &B::GetNameValue},
      {"Full Name", kKindString, "This property specifies the full hierarchy name of the block.\n",
       &B::GetFullName},
      {"Color", kKindString, "This property specifies the color of the block.\n",
       &B::GetColor},
      {"Pins", kKindList, "This property contains all external pins of the block.\n",
       &B::GetPins},
      {"Parent", kKindObject, "This property specifies the parent block of the block.\n",
       &B::GetParent},
      {"Children", kKindList, "This property contains all children blocks of the block.\n",
       &B::GetChildren},
      {"Signals", kKindList, "This property contains all signals inside the block.\n",
       &B::GetSignals},
      {"Subtype", kKindString, "This property specifies the subtype name of the block.\n",
       &B::GetSubtype},
      {"Level", kKindString, "This property specifies the hierarchy level of the block.\n",
       &B::GetLevel},
      {"Icon Name", kKindString, "This property specifies the icon file name for theblock.\n",
       &B::GetIconName},
  };
  return kTable;
}

const Pds_PdmBlock* BlockColl::Block() const {
  return static_cast<const Pds_PdmBlock*>(Current());
}

CitI::Result BlockColl::GetNameValue(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetName());
}

CitI::Result BlockColl::GetFullName(UtilI::IPropertyValue** value) {
  return (*value)->SetString(Current()->GetFullName());
}

CitI::Result BlockColl::GetColor(UtilI::IPropertyValue** value) {
  return (*value)->SetString("TBD");
}

CitI::Result BlockColl::GetSubtype(UtilI::IPropertyValue** value) {
  return (*value)->SetString(design->GetBlockSubtype(Block()));
}

CitI::Result BlockColl::GetLevel(UtilI::IPropertyValue** value) {
  const LevelWords* words = WordsFor(Block());
  return words ? (*value)->SetString(words->level) : 0;
}

CitI::Result BlockColl::GetIconName(UtilI::IPropertyValue** value) {
  const LevelWords* words = WordsFor(Block());
  return words ? (*value)->SetString(words->icon) : 0;
}

CitI::Result BlockColl::GetParent(UtilI::IPropertyValue** value) {
  const auto* parent = static_cast<const Pds_PdmBlock*>(Current()->GetParent());
  return DeliverObject(value, parent ? design->MakeCollectable(parent) : SharedNcd::CollectablePtr());
}

CitI::Result BlockColl::GetPins(UtilI::IPropertyValue** value) {
  return DeliverList<B>(value, Current()->GetPinItr(), [this](Xdm_Pin* pin) {
    return design->IsPinVisible(pin) ? design->MakeCollectable(static_cast<const Xdm_Pin*>(pin))
                                     : SharedNcd::CollectablePtr();
  });
}

CitI::Result BlockColl::GetChildren(UtilI::IPropertyValue** value) {
  return DeliverList<B>(value, Current()->GetBlockItr(), [this](Xdm_Block* child) {
    return design->IsBlockVisible(child) ? design->MakeCollectable(static_cast<const Pds_PdmBlock*>(child))
                                         : SharedNcd::CollectablePtr();
  });
}

CitI::Result BlockColl::GetSignals(UtilI::IPropertyValue** value) {
  return DeliverList<B>(value, Current()->GetSignalItr(), [this](Xdm_Signal* signal) {
    return design->IsSignalVisible(signal) ? design->MakeCollectable(static_cast<const Xdm_Signal*>(signal))
                                           : SharedNcd::CollectablePtr();
  });
}

}  // namespace UtilC::SharedNcd
