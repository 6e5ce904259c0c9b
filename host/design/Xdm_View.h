// Xdm_View: one loaded design. The view owns every object of the design
// (blocks, pins, signals, networks, shape holders, the device) and frees
// them all when it is destroyed; the model that holds it (XCad_CadModel)
// decides when. A view that was never filled by the loader answers no top
// block, zero maxima and null everywhere.
//
// Any number of threads may read a view at once; editing it
// (Xdm_ViewEditor) must not run concurrently with reading. Loaded views are
// XCad_CadView objects. The view owns its name index (Xdm_ViewIndex.h).
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "Xdm_Itr.h"
#include "Xdm_Object.h"

// Information about the design (the file's "design" object).
class Xdm_DesignInfo {
 public:
  Xdm_DesignInfo(std::string name, std::string tool)
      : m_name(std::move(name)), m_tool(std::move(tool)) {}
  const char* GetName() const { return m_name.c_str(); }
  const char* GetTool() const { return m_tool.c_str(); }

 private:
  std::string m_name;
  std::string m_tool;
};

class Xdm_ViewIndex;

class Xdm_View {
 public:
  virtual ~Xdm_View();
  Xdm_View(const Xdm_View&) = delete;
  Xdm_View& operator=(const Xdm_View&) = delete;

  Xdm_Block* GetBlock() const;  // the top block

  // Bridge ids run from 0 to GetMax*() - 1; a lookup answers null for an id
  // out of range and for an object removed by editing.
  std::uint32_t GetMaxBlocks() const;
  std::uint32_t GetMaxNetworks() const;
  std::uint32_t GetMaxPins() const;
  std::uint32_t GetMaxSignals() const;
  std::uint32_t GetMaxPropertyHolders() const;
  Xdm_Block* GetBlockByBridgeId(std::uint32_t id) const;
  Xdm_Network* GetNetworkByBridgeId(std::uint32_t id) const;
  Xdm_Pin* GetPinByBridgeId(std::uint32_t id) const;
  Xdm_Signal* GetSignalByBridgeId(std::uint32_t id) const;
  Xdm_PropertyHolder* GetPropertyHolderByBridgeId(std::uint32_t id) const;

  // The bridge id of each signal's network, indexed by the signal's bridge
  // id: GetMaxSignals() entries, Xdm_BridgeId::kNone for a signal without
  // a network and for an id without a signal. For passes over many pins
  // (Xdm_Pin::GetSignalId) that need their networks' ids without reading
  // each signal and network, which lie all over a large view. Valid until
  // the view is edited; 4 bytes per signal, kept since the load.
  std::span<const std::uint32_t> GetSignalNetworkIds() const;

  // All networks, in the order of the file's "nets".
  Xdm_Itr<Xdm_Network> GetNetworkItr() const;

  // The design information; null when the file has none.
  Xdm_DesignInfo* GetAppObject() const;

  // Objects by name; each kind's table is built on its first lookup.
  const Xdm_ViewIndex& GetNameIndex() const { return *m_index; }

 protected:
  Xdm_View();
  std::unique_ptr<Xdm_ViewStore> m_store;

 private:
  std::unique_ptr<Xdm_ViewIndex> m_index;
  friend struct Xdm_Access;
};
