// The persistent objects of the design database and their numbering.
//
// Every object of a view (block, pin, signal, network, property holder)
// derives from Xdm_Object. The view owns all of them: they live until the
// view is freed, even after an editor removed or replaced them, so a pointer
// taken from a view never dangles while the view exists. Objects are made by
// the loader only.
//
// Reading is safe from any number of threads at once, GetFullName()
// included: full names are computed on first use and kept (the first
// thread to finish stores its result; later callers all get that pointer).
// Editing (Xdm_ViewEditor) must not run concurrently with reading.
//
// Xdm_BridgeId numbers objects densely per kind, from 0 in file order; the
// view answers the object of a number (Xdm_View::Get*ByBridgeId).
#pragma once

#include <cstdint>

class Xdm_Block;
class Xdm_Network;
class Xdm_Pin;
class Xdm_Signal;
class Xdm_PropertyHolder;
class Xdm_View;
class Xdm_ViewStore;
struct Xdm_Access;

class Xdm_Object {
 public:
  virtual ~Xdm_Object();
  Xdm_Object(const Xdm_Object&) = delete;
  Xdm_Object& operator=(const Xdm_Object&) = delete;

  const char* GetName() const { return m_name; }
  // The hierarchical name (see docs/design-format.md); the pointer stays
  // valid as long as the view.
  virtual const char* GetFullName() const = 0;

 protected:
  Xdm_Object() = default;

  const char* m_name = "";

 private:
  friend struct Xdm_Access;
};

class Xdm_BridgeId {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFFu;
  // kNone for null.
  static std::uint32_t GetBridgeId(const Xdm_Block* block);
  static std::uint32_t GetBridgeId(const Xdm_Network* network);
  static std::uint32_t GetBridgeId(const Xdm_Pin* pin);
  static std::uint32_t GetBridgeId(const Xdm_Signal* signal);
  static std::uint32_t GetBridgeId(const Xdm_PropertyHolder* holder);
};

// A run of a view-owned pool or table: entries [first, first + count).
struct Xdm_Slice {
  std::uint32_t first = 0;
  std::uint32_t count = 0;
};
