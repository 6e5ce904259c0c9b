// Xdm_ViewEditor: changes a loaded view. For tests and tools only; the
// design database itself never edits.
//
// Editing must not run concurrently with anything else on the view: no
// reader, no other editor. Lists (Xdm_Range, Xdm_Itr) taken before an edit
// are invalid after it.
//
// Removed and replaced objects stay allocated (and unchanged) until the
// view is freed, so pointers held elsewhere never dangle; they are simply no
// longer reachable from the view: their bridge id answers null, or the
// replacement. Renaming keeps the names handed out before (a full name
// already read stays valid, with the old text). The view's name index
// follows every edit. Errors (an object of another view, one already
// removed, the top block where it cannot go, a name the format refuses or
// one that is taken) throw Xdm_Exception::Base and leave the view
// unchanged.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

class Xdm_Block;
class Xdm_Network;
class Xdm_Pin;
class Xdm_PropertyHolder;
class Xdm_Signal;
class Xdm_View;
class Xdm_ViewStore;

class Xdm_ViewEditor {
 public:
  explicit Xdm_ViewEditor(Xdm_View& view);

  // Removes the block with everything below it (blocks, pins, signals);
  // removed signals leave their networks, removed pins their signals. The
  // top block cannot be removed.
  void RemoveBlock(Xdm_Block* block);
  // A new block takes the old one's bridge id, name, attributes and place:
  // in its parent's list, as parent of its children, pins and signals, in
  // shapes and relocation groups.
  Xdm_Block* ReplaceBlock(Xdm_Block* block);
  // Removes the network from the view's list; its signals belong to no
  // network afterwards.
  void RemoveNetwork(Xdm_Network* network);
  // A new network takes the old one's bridge id, name, attributes, signals
  // and place (list position, master role, routing record, delays).
  Xdm_Network* ReplaceNetwork(Xdm_Network* network);
  // Gives the block a new name: non-empty, without '/', not a sibling's.
  // The full names of the block and of everything below it change, and
  // those of the networks whose first signal lies there.
  void RenameBlock(Xdm_Block* block, const char* name);
  // Gives the network a new name, not another network's.
  void RenameNetwork(Xdm_Network* network, const char* name);
  // Removes the pin from its block and from its signals' pin lists.
  void RemovePin(Xdm_Pin* pin);
  // Removes the signal from its block and network; pins naming it lose it.
  void RemoveSignal(Xdm_Signal* signal);

  // A new shape after the existing ones, with the next property-holder
  // bridge id. Its name must not be a shape's name already; blocks must be
  // of this view.
  Xdm_PropertyHolder* AddShape(const char* name, bool user, Xdm_Block* reference,
                               const std::vector<Xdm_Block*>& members);
  void RemoveShape(Xdm_PropertyHolder* shape);
  // A shape without a native object at `position` of the shape list (at the
  // end when past it): Xdh_ShapeMgr::GetShapes lists it with a null holder.
  void InsertShapeWithoutObject(std::size_t position);
  // Xdh_ShapeMgr::GetShapes answers false while shapes are unavailable.
  void SetShapesAvailable(bool available);

  // Raises the maximum to `count` (never lowers it); the new ids answer null.
  void GrowMaxBlocks(std::uint32_t count);
  void GrowMaxNetworks(std::uint32_t count);

 private:
  void RemoveBlockTree(Xdm_Block* block);
  void ForgetFullNames(const Xdm_Block* block);
  void UnlinkPin(Xdm_Pin* pin);
  void UnlinkSignal(Xdm_Signal* signal);
  Xdm_ViewStore& m_store;
};
