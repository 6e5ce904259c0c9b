// Events of the component framework: an event names its source, the object
// it is about and what happened (a type identifier). Events hold no
// references; listeners that keep the data object past OnEvent() take their
// own reference.
#pragma once

#include "CitI_IInterface.h"

namespace CommonI {

inline constexpr Port::XUID IID_IEvent{0x3f06e55efab745c5ULL, 0x8cfe5b047fdb9346ULL};

class IEvent : public CitI::IInterface {
public:
  virtual CitI::Result GetSource(CitI::IInterface** source) = 0;
  virtual CitI::Result SetSource(CitI::IInterface* source) = 0;
  virtual CitI::Result GetType(Port::XUID& type) = 0;
  virtual CitI::Result SetType(const Port::XUID& type) = 0;
  virtual CitI::Result GetData(CitI::IInterface** data) = 0;
  virtual CitI::Result SetData(CitI::IInterface* data) = 0;
};

// Receives events. OnEvent may be called on any thread; its result is not used.
class IEventListener : public CitI::IInterface {
public:
  virtual CitI::Result OnEvent(IEvent* event) = 0;
};

}  // namespace CommonI
