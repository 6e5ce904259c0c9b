// UtilI::ISharedNcdMgr: the process-wide manager of shared designs.
//
// Protocol: Load(requester, file, owner, wait) starts or joins the read of
// a design and answers its status (0 failed, 1 ready, 2 still loading);
// Get() then hands out the design with a new reference, or CancelLoad()
// gives up. A client gives a design back by releasing its reference; the
// manager keeps the design released last loaded, so that asking for it
// again needs no second read. Listeners hear one event per background read
// that runs to its end (UtilI::SharedNcdLoadedID or SharedNcdLoadFailedID),
// on the reading thread.
//
// Waiting: only the Load that starts a read waits for it (wait true); a
// Load of a key whose read another request started answers the status at
// once. The load event is sent just before the reader's thread counts as
// finished, so a listener that calls Load at once may still see 2; Get
// already hands out a design whose read succeeded.
//
// Every operation may be called from any client thread.
#pragma once

#include <cstdint>

#include "CommonI_IEvent.h"
#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"
#include "UtilI_ISharedNcd.h"

namespace UtilI {

inline constexpr Port::XUID IID_ISharedNcdMgr{0x2f0b0390876a4707ULL, 0x8c8fc34f09a0a798ULL};
// The manager's class, which "libUtilC_SharedNcd" registers a factory for.
inline constexpr Port::XUID CLSID_SharedNcdMgr{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

// A second face of that factory (CitP::Factory::FindFactory, then
// QueryInterface): the collectables alive now in every design of the
// process, for clients' leak checks. The library exports nothing but
// InstFactoryEntry, so a client reaches the count this way. The face is
// not counted and lives as long as the process.
inline constexpr Port::XUID IID_ISharedNcdLiveCount{0xf1f2fc6951134993ULL, 0xb0333af64a4574b3ULL};

class ISharedNcdLiveCount : public CitI::IInterface {
public:
  virtual std::uint64_t GetLiveCollectables() = 0;
};

class ISharedNcdMgr : public CitI::IInterface {
public:
  virtual CitI::Result AddListener(CommonI::IEventListener* listener) = 0;
  virtual CitI::Result RemoveListener(CommonI::IEventListener* listener) = 0;
  virtual CitI::Result Load(const Port::XUID& requester, const Port::StringBase& fileName,
                            const CommonI::RefCountPtr<CitI::IInterface>& owner, bool wait) = 0;
  virtual CommonI::RefCountPtr<ISharedNcd> Get(const Port::XUID& requester, const Port::StringBase& fileName,
                                               const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;
  virtual CitI::Result CancelLoad(const Port::XUID& requester, const Port::StringBase& fileName,
                                  const CommonI::RefCountPtr<CitI::IInterface>& owner) = 0;
  virtual CitI::Result PurgeUnused() = 0;
  virtual Port::StringBase Dump(const Port::StringBase& prefix) = 0;
};

}  // namespace UtilI
