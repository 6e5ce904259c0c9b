// Tcltask::ObjectList: the counted UtilI::IObjectList of the Tcl helper
// component, an ordered list holding one reference on each item.
#pragma once

#include <deque>

#include "Tcltask_CountedT.h"
#include "UtilI_ITclCollectable.h"

namespace Tcltask {

class ObjectList final : public CountedT<UtilI::IObjectList> {
 public:
  // A new empty list; empty when it cannot be made.
  static CommonI::RefCountPtr<UtilI::IObjectList> Create();

  ObjectList();

  std::uint64_t GetSize() override { return m_items.size(); }
  CitI::Result Append(UtilI::ITclCollectable* item) override;
  CitI::Result GetItem(std::uint64_t index,
                       CommonI::RefCountPtr<UtilI::ITclCollectable>& out) override;
  CitI::Result Clear() override;

 private:
  void* FindFace(const Port::XUID& iid) override;

  LiveToken m_live;
  // A deque: a list of a million search results grows in small blocks,
  // without copying what it holds or asking the allocator for one large
  // block each time it doubles.
  std::deque<CommonI::RefCountPtr<UtilI::ITclCollectable>> m_items;
};

}  // namespace Tcltask
