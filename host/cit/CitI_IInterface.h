// The component framework's object model.
//
// Every component object is reached through abstract interfaces derived from
// CitI::IInterface and named by Port::XUID identifiers. QueryInterface()
// answers the requested face of the whole object, or null, and never changes
// a reference count. Counted objects also offer CommonI::IRefCount; a counted
// object starts with a count of 1 that belongs to its creator.
//
// Interface operations answer a 64-bit result word: 1 for success or true,
// 0 for failure or false (CitI::Result).
#pragma once

#include <cstdint>

#include "Port_XUID.h"

namespace CitI {

using Result = std::uint64_t;

inline constexpr Port::XUID IID_IInterface{0xc569a98287c54d45ULL, 0x8a2c17b796723bdcULL};
inline constexpr Port::XUID IID_IFactory{0xce41bd1486b2417fULL, 0xa70435c0e5294564ULL};

class IInterface {
public:
  virtual void* QueryInterface(const Port::XUID& iid) = 0;
  virtual ~IInterface() = default;
};

// Creates instances of the classes it was registered for. A factory returns
// a counted object with its first reference, or an uncounted singleton.
class IFactory : public IInterface {
public:
  virtual IInterface* CreateInstance(const Port::XUID& classId) = 0;
};

}  // namespace CitI
