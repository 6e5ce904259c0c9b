// Xdm_PropertyHolder: the native object behind a shape (see Xdh_ShapeMgr.h).
// Owned by the view (see Xdm_Object.h for lifetime and threading).
#pragma once

#include <cstdint>
#include <vector>

#include "Xdm_Object.h"

struct Xdm_PropertyHolderFields {
  Xdm_ViewStore* store = nullptr;
  Xdm_Block* reference = nullptr;
  std::vector<Xdm_Block*> members;
  std::uint32_t bridgeId = 0;
  bool user = false;
  bool membersUnavailable = false;
};

class Xdm_PropertyHolder : public Xdm_Object {
 public:
  // Its name.
  const char* GetFullName() const override { return m_name; }

 private:
  template <class>
  friend class Xdm_ObjectArena;
  friend struct Xdm_Access;
  friend class Xdh_Shape;
  Xdm_PropertyHolder() = default;
  Xdm_PropertyHolderFields m_f;
};
