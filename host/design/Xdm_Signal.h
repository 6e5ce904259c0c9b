// Xdm_Signal: a wire inside one block, part of at most one network. Owned
// by the view (see Xdm_Object.h for lifetime and threading).
#pragma once

#include <cstdint>

#include "Xdm_Itr.h"
#include "Xdm_Object.h"

// A signal's network is the view's to say (by bridge ids, see
// Xdm_View::GetSignalNetworkIds), not the signal's own: the view keeps
// that table anyway, and millions of signals are spared a pointer each.
// Nor does a signal keep its bridge id: the view finds it from the
// signal's address (Xdm_ObjectIndex::IdOf), which spares it 8 bytes.
struct Xdm_SignalFields {
  Xdm_Block* block = nullptr;
  Xdm_Slice pins;  // in the view's signal-pin pool
};

class Xdm_Signal : public Xdm_Object {
 public:
  // Null when the signal belongs to no network (or no longer belongs to
  // the view).
  Xdm_Network* GetNetwork() const;
  // The pins naming this signal as their signal or child signal, file order.
  Xdm_Itr<Xdm_Pin> GetPinItr() const;

  // "<block path>/<name>"; the name alone on the top block.
  const char* GetFullName() const override;

 private:
  template <class>
  friend class Xdm_ObjectArena;
  friend struct Xdm_Access;
  Xdm_Signal() = default;
  Xdm_SignalFields m_f;
};
