// The operations other components call by position are at their positions.
//
// Callers compiled against an older header reach operations through their
// place in the virtual table, so inserting an operation before another
// breaks them while every test built from the new header still passes.
// This reads the places from the Itanium C++ ABI's pointers to virtual
// members (our only platform's ABI): there a virtual member's pointer holds
// 1 + its byte offset in the table, and the destructor takes two entries.
// Positions are counted as the interfaces document them: QueryInterface 0,
// the destructor 1.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "UtilI_IStringContainer.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_SharedRf.h"
#include "UtilI_TcltaskHelpers.h"

namespace {

#if defined(__GXX_ABI_VERSION) && defined(__x86_64__)

template <class Member>
int PositionOf(Member member) {
  static_assert(sizeof(Member) == 2 * sizeof(std::uintptr_t), "Itanium member pointer");
  std::uintptr_t words[2];
  std::memcpy(words, &member, sizeof words);
  if ((words[0] & 1) == 0) return -1;  // not virtual
  const int entry = static_cast<int>((words[0] - 1) / sizeof(void*));
  return entry >= 2 ? entry - 1 : entry;
}

TEST(SlotOrder, TclHelperObjects) {
  using V = UtilI::IPropertyValue;
  EXPECT_EQ(PositionOf(&V::SetInt), 6);
  EXPECT_EQ(PositionOf(&V::SetDouble), 8);
  EXPECT_EQ(PositionOf(&V::SetString), 10);
  EXPECT_EQ(PositionOf(&V::SetBool), 12);
  EXPECT_EQ(PositionOf(&V::SetObject), 14);
  EXPECT_EQ(PositionOf(&V::GetText), 25);
  EXPECT_EQ(PositionOf(&UtilI::IObjectList::Append), 3);
  using I = UtilI::IPropertyInfo;
  EXPECT_EQ(PositionOf(&I::SetName), 2);
  EXPECT_EQ(PositionOf(&I::SetKind), 3);
  EXPECT_EQ(PositionOf(&I::SetReadOnly), 4);
  EXPECT_EQ(PositionOf(&I::SetRanges), 5);
  EXPECT_EQ(PositionOf(&I::SetDefault), 6);
  EXPECT_EQ(PositionOf(&I::SetAuxText), 7);
  EXPECT_EQ(PositionOf(&I::SetChoices), 8);
  EXPECT_EQ(PositionOf(&I::SetDescription), 9);
  EXPECT_EQ(PositionOf(&UtilI::INamedValueFactory::MakeNamedValue), 11);
}

TEST(SlotOrder, CollectablesAndStringContainers) {
  using C = UtilI::ITclCollectable;
  EXPECT_EQ(PositionOf(&C::GetName), 2);
  EXPECT_EQ(PositionOf(&C::IsStale), 6);
  EXPECT_EQ(PositionOf(&C::GetPropertyValue), 7);
  EXPECT_EQ(PositionOf(&C::GetPropertyNames), 8);
  EXPECT_EQ(PositionOf(&C::GetPropertyInfo), 9);
  EXPECT_EQ(PositionOf(&C::ReservedQuery), 10);
  EXPECT_EQ(PositionOf(&UtilI::IStringContainer::Add), 2);
  EXPECT_EQ(PositionOf(&UtilI::IStringContainer::Append), 8);
  EXPECT_EQ(PositionOf(&UtilI::IStringIterator::GetCurrent), 2);
  EXPECT_EQ(PositionOf(&UtilI::IStringIterator::Dump), 6);
}

TEST(SlotOrder, SharedDevices) {
  EXPECT_EQ(PositionOf(&UtilI::ISharedRfMgr::Load), 2);
  EXPECT_EQ(PositionOf(&UtilI::ISharedRfMgr::Get), 3);
  EXPECT_EQ(PositionOf(&UtilI::ISharedRf::FindClockRegion), 4);
  EXPECT_EQ(PositionOf(&UtilI::IDeviceSites::GetSite), 3);
}

#endif

}  // namespace
