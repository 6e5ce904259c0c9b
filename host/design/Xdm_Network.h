// Xdm_Network: a net of the view, made of signals in several blocks. Owned
// by the view (see Xdm_Object.h for lifetime and threading). Loaded
// networks are XCad_CadNetwork objects.
#pragma once

#include <cstdint>

#include "Xdm_Itr.h"
#include "Xdm_Object.h"

class XCad_RMedRug;

struct Xdm_NetworkFields {
  Xdm_ViewStore* store = nullptr;
  XCad_RMedRug* rug = nullptr;  // routing record; null without one
  Xdm_Slice signals;            // in the view's network-signal pool
  std::uint32_t bridgeId = 0;
  std::int32_t delay = 0;
  std::int32_t delayMin = 0;
  std::uint8_t type = 2;       // 0 ground, 1 power, 2 logic
  std::uint8_t delayType = 2;  // Tw_DlyMed::DELAYTYPE
  std::uint8_t route = 0;      // 0 none, 1 full, 2 partial, 3 unrouted
  bool master = false;
  bool routable = true;
};

class Xdm_Network : public Xdm_Object {
 public:
  Xdm_View* GetParent() const;
  // Its signals in file order.
  Xdm_Itr<Xdm_Signal> GetSignalItr() const;

  // The full name of its first signal; its name when it has none.
  const char* GetFullName() const override;

 protected:
  Xdm_Network() = default;
  Xdm_NetworkFields m_f;

 private:
  friend struct Xdm_Access;
};
