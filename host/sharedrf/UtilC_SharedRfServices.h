// What the shared device component takes from outside itself: the value,
// list and information objects of the Tcl helper component, reached as any
// client reaches them (the library loaded by name once, objects created by
// class id), and its own live-object counters.
//
// A helper library that is missing or refuses a class id gives empty
// references; the callers then answer false.
#pragma once

#include <atomic>
#include <cstdint>

#include "UtilI_ITclCollectable.h"
#include "UtilI_SharedRf.h"

namespace UtilC::SharedRf {

struct HelperServices {
  static CommonI::RefCountPtr<UtilI::IPropertyValue> NewValue();
  static CommonI::RefCountPtr<UtilI::IPropertyInfo> NewInfo();
  static CommonI::RefCountPtr<UtilI::IObjectList> NewList();
};

// kind < the number of UtilI::SharedRfObjectKind values.
std::atomic<std::int64_t>& LiveCounter(UtilI::SharedRfObjectKind kind);
// As ISharedRfMgr::GetLiveCount.
std::uint64_t LiveCount(std::uint32_t kind);

}  // namespace UtilC::SharedRf
