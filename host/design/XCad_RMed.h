// XCad_RMed: the route mediator of a view: placements of blocks and routing
// records of networks.
//
// The caller creates a mediator on a loaded view (new XCad_RMed(view)) and
// deletes it before the view goes away. Routing records and their nodes are
// owned by the view. A mediator and its answers are read-only: any number
// of threads may use them at once.
//
// A routing record ("route" of a net) has nodes: a fully routed record has
// one node, driven by the net's driver; a partially routed one that node
// and a node without a driver; an unrouted one a single node without a
// driver. The driver is the net's first pin that is not a load, else its
// first pin (none when the net has no pins).
#pragma once

#include <atomic>
#include <cstdint>

#include "Rf_Device.h"

class XCad_CadView;
class XCad_CadNetwork;
class Xdm_Block;
class Xdm_Pin;

class XCad_RMedRugNode {
 public:
  // Null after the last node.
  XCad_RMedRugNode* GetNextRugNode() const { return m_next; }
  // The pin that drives the node; null for an undriven node.
  Xdm_Pin* GetDriver() const { return m_driver; }

 private:
  friend struct Xdm_Access;
  template <class>
  friend class Xdm_ObjectArena;
  XCad_RMedRugNode() = default;
  XCad_RMedRugNode* m_next = nullptr;
  Xdm_Pin* m_driver = nullptr;
};

class XCad_RMedRug {
 public:
  XCad_RMedRugNode* GetFirstRugNode() const { return m_first; }
  XCad_CadNetwork* GetNetwork() const { return m_network; }

 private:
  friend struct Xdm_Access;
  template <class>
  friend class Xdm_ObjectArena;
  XCad_RMedRug() = default;
  XCad_CadNetwork* m_network = nullptr;
  XCad_RMedRugNode* m_first = nullptr;
  bool m_full = false;
};

class XCad_RMed {
 public:
  explicit XCad_RMed(XCad_CadView* view);
  ~XCad_RMed();
  XCad_RMed(const XCad_RMed&) = delete;
  XCad_RMed& operator=(const XCad_RMed&) = delete;

  // The cell the block is placed on; an invalid cell when unplaced.
  Rf_Cell GetPlacement(const Xdm_Block* block) const;
  // Null when the network has no routing record.
  XCad_RMedRug* GetRug(const XCad_CadNetwork* network) const;
  bool IsFullyRouted(const XCad_RMedRug* rug) const;

  XCad_CadView* GetView() const { return m_view; }
  // Mediators alive now, and made since the process started.
  static std::uint64_t LiveCount();
  static std::uint64_t ConstructionCount();

 private:
  XCad_CadView* m_view;
};
