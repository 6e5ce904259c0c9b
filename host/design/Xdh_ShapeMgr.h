// Shapes of a view: RPMs (user shapes) and tool shapes.
//
// Xdh_ShapeMgr and Xdh_Shape are values that point into a view and are
// valid as long as it is; each shape's native object is a property holder
// owned by the view. Read-only: any number of threads may use them at once
// (editing the view, Xdm_ViewEditor, must not run concurrently).
#pragma once

#include <cstdint>
#include <vector>

class Xdm_Block;
class Xdm_PropertyHolder;
class Xdm_View;

class Xdh_Shape {
 public:
  // A shape of null answers false, null and no blocks.
  explicit Xdh_Shape(Xdm_PropertyHolder* holder = nullptr) : m_holder(holder) {}

  bool IsUserShape() const;
  // Null when the shape names none.
  Xdm_Block* GetReferenceBlock() const;
  // Replaces `blocks` with the shape's blocks, in order; false (and no
  // blocks) when the shape's members are unavailable.
  bool GetBlocks(std::vector<Xdm_Block*>& blocks) const;
  Xdm_PropertyHolder* GetNativeXdmObject() const { return m_holder; }

 private:
  Xdm_PropertyHolder* m_holder;
};

class Xdh_ShapeMgr {
 public:
  static Xdh_ShapeMgr CreateShapeMgr(Xdm_View& view);

  // Replaces `shapes` with the view's shapes in file order; false (and no
  // shapes) when the view's shapes are unavailable.
  bool GetShapes(std::vector<Xdh_Shape>& shapes) const;
  // Whether GetShapes lists a shape of this native object, without listing
  // them: the view's holders are its shapes, by bridge id.
  bool HasShape(const Xdm_PropertyHolder* holder) const;

  // How many shapes GetShapes has listed in the process (for tests: what
  // the walks over a view's shapes cost).
  static std::uint64_t ShapesListed();

 private:
  explicit Xdh_ShapeMgr(Xdm_View* view) : m_view(view) {}
  Xdm_View* m_view;
};
