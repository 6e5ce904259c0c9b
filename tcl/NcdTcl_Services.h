// NcdTcl services: the sibling components the package asks besides the
// shared design manager, each loaded by name through the component
// framework on first use and kept for the process's life.
//   - the Tcl helper component (libTcltask_Helpers): the object lists
//     searches fill;
//   - the Tcl search service (libUtilC_TclSearch): one search context per
//     owner, whose stop flag and match limit govern a search;
//   - the shared device component (libUtilC_SharedRf): a design's part,
//     with its sites and clock regions.
// A missing component makes the calls that need it fail with NCD INTERNAL
// naming the library.
//
// Threads: any thread.
#pragma once

#include "UtilI_ISharedNcd.h"
#include "UtilI_SharedRf.h"
#include "UtilI_TclSearch.h"
#include "UtilI_TcltaskHelpers.h"

namespace NcdTcl {

// A new empty object list.
CommonI::RefCountPtr<UtilI::IObjectList> NewObjectList();

// The search context of `owner`, opened when it has none.
CommonI::RefCountPtr<UtilI::ISearchRequest> SearchContext(
    const CommonI::RefCountPtr<CitI::IInterface>& owner);
// Forgets the context of `owner` (when the owner's session ends).
void CloseSearchContext(const CommonI::RefCountPtr<CitI::IInterface>& owner) noexcept;

struct Device {
  CommonI::RefCountPtr<CitI::IInterface> object;  // holds the device
  UtilI::ISharedRf* rf = nullptr;
  UtilI::IDeviceSites* sites = nullptr;
};
// The shared device of the design's part; empty (all null) when the part
// is not known (a design without a device section).
Device DeviceOf(UtilI::ISharedNcd& design);

// Objects alive now, for leak checks: collectables of the shared designs,
// object values of the package, helper objects (values, lists, named
// values), search patterns, sites and clock regions.
struct LiveCounts {
  long collectables = 0;
  long objectValues = 0;
  long helperObjects = 0;
  long searchPatterns = 0;
  long deviceObjects = 0;
};
LiveCounts CountLiveObjects();

}  // namespace NcdTcl
