// Tw_DlyMed: the delay mediator of a view: the delays the file records on
// networks and on pins.
//
// The caller creates a mediator on a loaded view (new Tw_DlyMed(view)) and
// deletes it before the view goes away. Read-only: any number of threads
// may use it at once.
#pragma once

#include <cstdint>

class XCad_CadView;
class XCad_CadNetwork;
class Xdm_Pin;

class Tw_DlyMed {
 public:
  // Kinds 0 and 1 carry a delay; DELAYTYPE_NONE means there is none.
  enum DELAYTYPE : int { DELAYTYPE_ROUTED = 0, DELAYTYPE_ESTIMATED = 1, DELAYTYPE_NONE = 2 };

  explicit Tw_DlyMed(XCad_CadView* view);
  ~Tw_DlyMed();
  Tw_DlyMed(const Tw_DlyMed&) = delete;
  Tw_DlyMed& operator=(const Tw_DlyMed&) = delete;

  // The network's delay ("delay") and second value ("delay_min"). Both are 0
  // when the kind is DELAYTYPE_NONE or the network is null.
  DELAYTYPE GetDelay(const XCad_CadNetwork* network, int* first, int* second) const;
  // The delay to `pin` from `network` (the pin's "delay"; the second value
  // is 0). DELAYTYPE_NONE, with zeros, when the pin is not on the network.
  DELAYTYPE GetDelay(const XCad_CadNetwork* network, const Xdm_Pin* pin, int* first,
                     int* second) const;

  static std::uint64_t LiveCount();
  static std::uint64_t ConstructionCount();

 private:
  // The view it serves; its answers come from the objects' own records.
  [[maybe_unused]] XCad_CadView* m_view;
};
