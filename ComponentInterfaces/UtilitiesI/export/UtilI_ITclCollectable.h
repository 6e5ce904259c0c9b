// UtilI::ITclCollectable: what the Tcl layer holds for one design object (a
// block, net, pin, signal or RPM): its name, Tcl type name, identity string,
// staleness and named read-only properties. Collectables are counted
// objects (CommonI::IRefCount) and outlive their design safely: once the
// design is gone they are stale and answer no values.
//
// IPropertyValue, IPropertyInfo and IObjectList are the value, property
// information and list objects of the Tcl helper component
// (UtilI_TcltaskHelpers.h); the collectables create them and hand them to
// their callers, who own them.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_TcltaskHelpers.h"

namespace UtilI {

inline constexpr Port::XUID IID_ITclCollectable{0xdae8c38b4c444839ULL, 0x93666c2227a85b8eULL};


class ITclCollectable : public CitI::IInterface {
public:
  virtual CitI::Result GetName(Port::StringBase& out) = 0;
  virtual CitI::Result GetTypeName(Port::StringBase& out) = 0;
  virtual Port::StringBase GetId() = 0;
  virtual CitI::Result ReservedPredicate() = 0;
  virtual CitI::Result IsStale() = 0;
  virtual CitI::Result GetPropertyValue(const Port::StringBase& name, IPropertyValue** value) = 0;
  virtual CitI::Result GetPropertyNames(IStringIterator** out) = 0;
  virtual CitI::Result GetPropertyInfo(const Port::StringBase& name, IPropertyInfo** info) = 0;
  virtual void* ReservedQuery() = 0;
};

}  // namespace UtilI
