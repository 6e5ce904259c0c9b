#include "Tcltask_ObjectList.h"

#include "Tcltask_LiveCount.h"

namespace Tcltask {

CommonI::RefCountPtr<UtilI::IObjectList> ObjectList::Create() {
  return MakeCounted<UtilI::IObjectList, ObjectList>();
}

ObjectList::ObjectList() : m_live(LiveCounter(UtilI::kHelperLists)) {}

void* ObjectList::FindFace(const Port::XUID& iid) {
  return iid == UtilI::IID_IObjectList ? static_cast<UtilI::IObjectList*>(this) : nullptr;
}

CitI::Result ObjectList::Append(UtilI::ITclCollectable* item) {
  if (!item) return 0;
  try {
    m_items.emplace_back(item);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

CitI::Result ObjectList::GetItem(std::uint64_t index,
                                 CommonI::RefCountPtr<UtilI::ITclCollectable>& out) {
  if (index >= m_items.size()) {
    out.Reset();
    return 0;
  }
  out = m_items[index];
  return 1;
}

CitI::Result ObjectList::Clear() {
  m_items.clear();
  return 1;
}

}  // namespace Tcltask
