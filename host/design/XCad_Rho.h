// XCad_Rho: the relocation service of a view. Each block of a relocation
// group answers the group's node; the node answers the group's reference
// block. Members of one group share one node.
//
// The caller creates the service on a loaded view (new XCad_Rho(view)) and
// deletes it before the view goes away; nodes are owned by the view. Read-
// only: any number of threads may use it at once.
#pragma once

#include <cstdint>

class XCad_CadView;
class Xdm_Block;

class XCad_RhoNode {
 public:
  Xdm_Block* GetReferenceBlock() const { return m_reference; }

 private:
  friend struct Xdm_Access;
  template <class>
  friend class Xdm_ObjectArena;
  XCad_RhoNode() = default;
  Xdm_Block* m_reference = nullptr;
};

class XCad_Rho {
 public:
  explicit XCad_Rho(XCad_CadView* view);
  ~XCad_Rho();
  XCad_Rho(const XCad_Rho&) = delete;
  XCad_Rho& operator=(const XCad_Rho&) = delete;

  // Null when the block is in no relocation group.
  XCad_RhoNode* GetRelocIsetNodeForBlock(const Xdm_Block* block) const;
  // Null for null.
  Xdm_Block* GetReferenceBlock(const XCad_RhoNode* node) const;

  static std::uint64_t LiveCount();
  static std::uint64_t ConstructionCount();

 private:
  // The view it serves; its answers come from the objects' own records.
  [[maybe_unused]] XCad_CadView* m_view;
};
