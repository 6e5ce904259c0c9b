// UtilC::SharedNcd::SharedNcd: one shared design, the object behind
// UtilI::ISharedNcd.
//
// The manager (Mgr) creates a design for a key and owns its first
// reference; clients hold further references (see UtilC_SharedFileT.h). The
// design owns its loader, and through the loader's transaction the loaded
// model and view; its reader fills the view once (SetView). The design
// also owns its shape manager and its caches, and holds one use of each
// view service it handed out (route mediator, relocation service, delay
// mediator). Those services are shared by every design object of the same
// view in the process (Util::SharedObjectT registries) and are released
// when the design is destroyed, before its view is freed.
//
// Threads: once the view is set, any client thread may ask. Every
// operation that fills shared state (the view-service and shape-manager
// getters, the visibility and pin-count caches, and the release of view
// services on destruction) runs under one process-wide recursive design
// lock, DesignLock(); those operations throw Port_ThrException::LockFailed
// when it cannot be taken. The view-service registries rely on that lock.
// Lock order: the collectables' class locks, the identity and live-design
// locks, then the manager's lock, then the search source's own lock and the
// search context's, then the design lock (UtilC_SharedNcdColl.h). The
// destructor waits until no collectable or search of another thread uses
// the design (UtilC_SharedNcdDesignUse.h).
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "Pds_PahDesignLoader.h"
#include "Port_Thr.h"
#include "UtilC_SharedFileT.h"
#include "UtilC_SharedNcdCache.h"
#include "UtilC_SharedNcdKey.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_ISharedNcd.h"
#include "XCad_CadModel.h"

class Xdm_View;

namespace UtilC::SharedNcd {

class SharedNcd : public UtilC::SharedFileT<Key, Mgr, SharedNcd>, public UtilI::ISharedNcd {
 public:
  using Loader = Pds_PahDesignLoaderT<XCad_CadTraits>;
  using CollectablePtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;
  using ValuePtr = CommonI::RefCountPtr<UtilI::IPropertyValue>;

  // Count 1 (the manager's), one more count on the key's owner, a new loader
  // and nothing loaded. `mgr` is the manager that files it (none: plainly
  // counted, for designs made on their own).
  explicit SharedNcd(const Key& key, Mgr* mgr = nullptr);
  ~SharedNcd() override;
  SharedNcd(const SharedNcd&) = delete;
  SharedNcd& operator=(const SharedNcd&) = delete;

  // The first face's own operations, in this order, after IRefCount's.
  virtual CommonI::RefCountPtr<CitI::IInterface> ReservedReference();
  virtual CitI::Result IsSignalVisible(const Xdm_Signal* signal);
  virtual CitI::Result IsPinVisible(const Xdm_Pin* pin);
  virtual CitI::Result IsNetVisible(const Xdm_Network* network);  // cached
  virtual CitI::Result IsBlockVisible(const Xdm_Block* block);    // cached
  // Publishes the design's search source in its owner's search context
  // (see UtilC_SrchSrcImpT.h); called each time the manager hands it out.
  virtual void PublishSearchSource();

  // ISharedNcd answers for IID_ISharedNcd; IRefCount for IID_IRefCount and
  // IID_IInterface; the search source for IID_ITclSearchSource; null
  // otherwise. Counts do not change.
  void* QueryInterface(const Port::XUID& iid) override;

  // The process-wide design lock (see the preamble).
  static Port_ThrRecursiveLock& DesignLock();

  // The reader loads through this loader and then stores the view it got;
  // a view that is not a XCad_CadView is stored as none.
  Loader* GetLoader() { return m_loader; }
  // A number no other design of the process has had, so that a collectable
  // can tell its design from a later one made at the same address.
  std::uint64_t Serial() const { return m_serial; }
  void SetView(Xdm_View* view);
  // GetView without the interface's virtual call, for the collectables'
  // staleness test.
  XCad_CadView* View() const { return m_view; }
  // Takes back what PublishSearchSource published; called when the design
  // returns to its manager.
  void WithdrawSearchSource();
  // The shared device object of the design's part ("libUtilC_SharedRf"),
  // counted in `out`; empty (and 0) when that component gives none.
  CitI::Result GetSharedRf(CommonI::RefCountPtr<CitI::IInterface>& out);

  // Points the collectable in `holder` at `object` (through its data face,
  // without a visibility test), or fills an empty holder with
  // MakeCollectable(object). A null object changes nothing. The searches
  // walk a design with one probe collectable this way.
  void AttachCollectable(const Pds_PdmBlock* block, CollectablePtr& holder);
  void AttachCollectable(const Xdm_Network* network, CollectablePtr& holder);
  void AttachCollectable(const Xdm_Pin* pin, CollectablePtr& holder);
  void AttachCollectable(const Xdm_Signal* signal, CollectablePtr& holder);
  void AttachCollectable(const Xdm_PropertyHolder* rpm, CollectablePtr& holder);

  // Whether `block` is a comp whose contents its parent does not hide.
  // Not cached.
  bool IsCompVisible(const Xdm_Block* block);
  // Whether `pin` is a visible pin at the end of its net: it lacks a
  // signal or a child signal.
  bool IsTerminalPin(const Xdm_Pin* pin);
  // Whether `pin` of `block` is visible, given that the block's parent
  // does not hide it.
  static bool IsShownIn(const Xdm_Pin* pin, const Xdm_Block* block);
  // A pass that counts every network's pins reads a view of at least this
  // many pins on two threads; below, a second thread costs more to start
  // than it saves.
  static constexpr std::uint32_t kPinsForTwoThreads = 1u << 14;

  // ISharedNcd.
  Port::StringBase GetFileName() override;
  CitI::Result GetViewObject(ViewObject*& out) override;
  CitI::Result FindViewObject(ViewObject*& out) override;
  XCad_CadView* GetView() override;
  Port::StringBase GetPartName() override;
  CitI::Result HasRouteMediator() override;
  XCad_RMed* GetRouteMediator() override;
  CitI::Result HasRelocService() override;
  XCad_Rho* GetRelocService() override;
  CitI::Result HasDelayMediator() override;
  Tw_DlyMed* GetDelayMediator() override;
  CitI::Result HasShapeMgr() override;
  Xdh_ShapeMgr* GetShapeMgr() override;
  std::uint32_t GetPinCount(const Xdm_Network* network) override;
  Port::StringBase GetIoDirection(const Pds_PdmBlock* block) override;
  CitI::Result IsDiffPairIob(const Pds_PdmBlock* block) override;
  Port::StringBase GetIobClockName(const Pds_PdmBlock* block) override;
  Port::StringBase GetIoStandard(const Pds_PdmBlock* block) override;
  CommonI::RefCountPtr<CitI::IInterface> GetOwner() override;
  Port::StringBase GetBlockSubtype(const Pds_PdmBlock* block) override;
  CollectablePtr MakeCollectable(const Xdm_PropertyHolder* rpm) override;
  CollectablePtr MakeCollectable(const Xdm_Signal* signal) override;
  CollectablePtr MakeCollectable(const Xdm_Network* network) override;
  CollectablePtr MakeCollectable(const Xdm_Pin* pin) override;
  CollectablePtr MakeCollectable(const Pds_PdmBlock* block) override;
  Pds_PdmBlock* GetBlockOf(const CollectablePtr& coll) override;
  Xdm_Pin* GetPinOf(const CollectablePtr& coll) override;
  Xdm_Network* GetNetworkOf(const CollectablePtr& coll) override;
  Xdm_Signal* GetSignalOf(const CollectablePtr& coll) override;
  Xdm_PropertyHolder* GetRpmOf(const CollectablePtr& coll) override;
  std::uint32_t GetTypeCode1(const Pds_PdmBlock* block) override;
  std::uint32_t GetTypeCode2(const Pds_PdmBlock* block) override;
  std::uint32_t GetTypeCode3(const Pds_PdmBlock* block) override;
  std::uint32_t GetBelTypeCode(const Pds_PdmBlock* block) override;
  ValuePtr GetRpmPropertyValue(const Xdm_PropertyHolder* rpm,
                               const Port::StringBase& name) override;
  ValuePtr GetSignalPropertyValue(const Xdm_Signal* signal, const Port::StringBase& name) override;
  ValuePtr GetNetPropertyValue(const Xdm_Network* network, const Port::StringBase& name) override;
  ValuePtr GetPinPropertyValue(const Xdm_Pin* pin, const Port::StringBase& name) override;
  ValuePtr GetBlockPropertyValue(const Pds_PdmBlock* block, const Port::StringBase& name) override;

 private:
  void ReleaseViewServices() noexcept;
  bool IsNetVisibleUncached(const Xdm_Network* network);
  // The cached answer for `id` of `cache`, sized for `max` ids; `evaluate`
  // computes it when unknown. Runs under the design lock.
  template <class Evaluate>
  bool Cached(BitCache& cache, std::uint32_t max, std::uint32_t id, Evaluate evaluate);
  // The slow paths of the cached questions: under the design lock, fill
  // the cache. Kept out of line so that the lock-free paths stay small.
  [[gnu::noinline]] CitI::Result IsBlockVisibleLocked(const Xdm_Block* block, std::uint32_t id);
  [[gnu::noinline]] CitI::Result IsNetVisibleLocked(const Xdm_Network* network, std::uint32_t id);
  [[gnu::noinline]] std::uint32_t GetPinCountLocked(const Xdm_Network* network, std::uint32_t id);
  // The view's maximum block or network count (0 without a view).
  std::uint32_t MaxBlocks() const;
  std::uint32_t MaxNetworks() const;
  std::uint32_t CountTerminalLoads(const Xdm_Network* network);
  // Counts every network's terminal loads in one pass over the pins and
  // stores the counts not known yet. Under the design lock, which covers
  // the second thread of a large view's pass: it ends before the pass.
  void CountAllTerminalLoads();

  Loader* m_loader;
  const std::uint64_t m_serial;
  XCad_CadView* m_view = nullptr;
  // Written under the design lock, read by the Has* questions without it.
  std::atomic<XCad_RMed*> m_routeMediator{nullptr};
  std::atomic<XCad_Rho*> m_relocService{nullptr};
  std::atomic<Tw_DlyMed*> m_delayMediator{nullptr};
  std::atomic<Xdh_ShapeMgr*> m_shapeMgr{nullptr};
  // Filled under the design lock; known answers are read without it.
  BitCache m_blockVisible;
  BitCache m_netVisible;
  CountCache m_pinCounts;
  std::uint64_t m_pinsWalkedAlone = 0;  // by networks counted one by one (design lock)
};

}  // namespace UtilC::SharedNcd
