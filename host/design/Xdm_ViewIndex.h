// Xdm_ViewIndex: a view's objects by name, so that finding one object of
// a name costs a few hash probes instead of a walk over the design.
//
// What it finds: a block by its path (its full name), a network by its
// name or full name, a pin or signal by "<block path>/<name>" (its full
// name), a shape by its name; and one step of each, a block's child, pin
// or signal of a name. Names are compared byte for byte.
//
// Ownership and building: every view has one index (Xdm_View::GetNameIndex),
// owned by the view. It holds bridge ids only, never names or pointers, and
// reads the view through its reading interface alone, so it serves every
// view the database makes. Each kind's table is built on the first lookup
// of that kind, not during the load: most opens never look a name up, and a
// lookup of blocks need not pay for the pins. Building costs one pass over
// the objects of the kind and about 8 to 16 bytes per object (Bytes()).
//
// Editing: removed and replaced objects need nothing, because every hit is
// checked against the view (the object of the id must be live, with that
// name and parent). An edit that adds or renames an object updates the
// tables already built (Xdm_ViewEditor does it).
//
// Threads: any number of threads may look up at once; the first lookup of
// a kind builds its table while the others wait on the index's lock (taken
// last, never held while calling out). Editing must not run concurrently
// with lookups, as with every reading of the view.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "Port_Thr.h"

class Xdm_Block;
class Xdm_Network;
class Xdm_Object;
class Xdm_Pin;
class Xdm_PropertyHolder;
class Xdm_Signal;
class Xdm_View;

class Xdm_ViewIndex {
 public:
  explicit Xdm_ViewIndex(const Xdm_View& view);
  ~Xdm_ViewIndex();
  Xdm_ViewIndex(const Xdm_ViewIndex&) = delete;
  Xdm_ViewIndex& operator=(const Xdm_ViewIndex&) = delete;

  // One step: the object of `parent` (or the view) with this name; null
  // when there is none.
  Xdm_Block* FindChild(const Xdm_Block* parent, std::string_view name) const;
  Xdm_Pin* FindPin(const Xdm_Block* block, std::string_view name) const;
  Xdm_Signal* FindSignal(const Xdm_Block* block, std::string_view name) const;
  Xdm_Network* FindNetwork(std::string_view name) const;
  Xdm_PropertyHolder* FindShape(std::string_view name) const;

  // The block below the top whose path is `path` ("u1/hm2/c3"): the top for
  // an empty path; null when a step names no block.
  Xdm_Block* FindPath(std::string_view path) const;

  // Every object whose full name is `fullName`, appended in the order of a
  // depth-first walk of the blocks (each block before its children, an
  // object of a block before those of the block's descendants); networks in
  // the view's order. Names are unique where the format says so, yet full
  // names can repeat: the top named like one of its children, a pin of the
  // top whose name holds a '/', a network without signals named like
  // another network's first signal.
  void FindBlocks(std::string_view fullName, std::vector<Xdm_Block*>& out) const;
  void FindPins(std::string_view fullName, std::vector<Xdm_Pin*>& out) const;
  void FindSignals(std::string_view fullName, std::vector<Xdm_Signal*>& out) const;
  void FindNetworks(std::string_view fullName, std::vector<Xdm_Network*>& out) const;

  // The tables, one per kind of key.
  enum Kind { kChildren, kPins, kSignals, kNetworks, kShapes, kKinds };

  // How many names of a kind hold a '/' (pin, signal and network names
  // may): such a pin's or signal's full name has more levels than its
  // block's path and one. Builds the kind's table.
  std::size_t NamesWithSlash(Kind kind) const;

  // What the tables built so far hold.
  struct Usage {
    std::size_t entries = 0;
    std::size_t bytes = 0;
  };
  Usage GetUsage() const;

  // Builds every table now (the first lookups then cost no build).
  void BuildAll() const;

  // For the editor: an object got a new name, or was added.
  void Renamed(const Xdm_Block* block);
  void Renamed(const Xdm_Network* network);
  void Added(const Xdm_PropertyHolder* shape);

  class Table;

 private:
  const Table& Built(Kind kind) const;
  // Ids of kind whose key hashes to `hash`, checked by `same` on the view.
  template <class Object, class Same>
  Object* Lookup(Kind kind, std::uint64_t hash, Same same) const;
  // Every split of `fullName` into a block and a member's name, for
  // members of `kind`: `member(block, rest)` for the top with the whole
  // name, then for each block on the path with the rest. Only the split at
  // the last '/' when no member of the kind has a '/' in its name.
  template <class Member>
  void AlongPath(std::string_view fullName, Kind kind, Member member) const;

  const Xdm_View& m_view;
  mutable Port_ThrMutex m_lock;  // guards building; taken last
  mutable std::unique_ptr<Table> m_tables[kKinds];
  mutable std::atomic<const Table*> m_built[kKinds] = {};
};
