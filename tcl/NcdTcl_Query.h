// The queries behind the object commands: searching a design through its
// search source, finding one object by name, and turning command
// arguments into objects.
//
// Searches go through the design's own search source (ISharedNcd's
// ITclSearchSource face) with the search context of the design's owner,
// whose stop flag ends a search early (Ctrl-C) and whose match limit
// implements -limit. Objects that the component delivers wrapping nothing
// (matches of hidden nets) are left out; they still count towards -limit.
#pragma once

#include <tcl.h>

#include <cstdint>
#include <string>
#include <unordered_set>
#include <vector>

#include "NcdTcl_Object.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

// Object values in order, without duplicates when asked (by identity).
class ResultList {
 public:
  explicit ResultList(bool dedupe);
  ~ResultList();
  ResultList(const ResultList&) = delete;
  ResultList& operator=(const ResultList&) = delete;

  // Adds a value that holds an object (a new value may have no reference).
  void Add(Tcl_Obj* value);
  int Size() const;
  // The values, valid until the next Add.
  std::vector<Tcl_Obj*> Items() const;
  // How many values Items() has copied on this thread (for tests: a command
  // that copies its lists over and over costs more than its answer).
  static std::uint64_t ItemsCopied();
  // Keeps the first `size` values.
  void Truncate(int size);
  // Exchanges contents with another list.
  void Swap(ResultList& other);
  // Makes the list the interpreter's result.
  void SetResult(Tcl_Interp* interp) const { Tcl_SetObjResult(interp, m_list); }

 private:
  Tcl_Obj* m_list;
  bool m_dedupe;
  std::unordered_set<std::string> m_ids;
};

struct SearchQuery {
  const KindInfo* kind = nullptr;  // a searchable kind
  bool regexp = false;
  bool nocase = false;
  bool hierarchical = false;  // match full names
  std::uint64_t limit = 0;    // 0: none
};

// Searches the design of a ready handle with the search service's own
// matching (docs/search.md) and answers how many objects matched (hidden
// nets included); throws STOPPED when stopped before its end, OPTION for
// an invalid regular expression.
std::uint64_t Search(Session::Handle& handle, const SearchQuery& query, const std::string& pattern,
                     ResultList& out);

// The object of `kind` that `name` names in the design (its full name; a
// pin as "<block>/<pin>"), the first in the component's order; null when
// none (a new value otherwise). Blocks, nets, pins, signals and RPMs are
// looked up in the design's name index (NcdTcl_Index.h).
Tcl_Obj* FindByName(Session::Handle& handle, const KindInfo& kind, const std::string& name);

// Adds the sites or clock regions (`kind`) of the design's part in device
// order, at most `most` of them (0: all); none for a design without a
// device.
void AddDeviceObjects(Session::Handle& handle, const KindInfo& kind, ResultList& out,
                      std::size_t most = 0);
// Their names, in device order, without making objects of them.
std::vector<std::string> DeviceNames(Session::Handle& handle, const KindInfo& kind);

// The top block of the design.
Tcl_Obj* TopBlock(Session::Handle& handle);

// Holds one reference on a Tcl value.
class TclRef {
 public:
  explicit TclRef(Tcl_Obj* value) : m_value(value) { Tcl_IncrRefCount(value); }
  ~TclRef() { Tcl_DecrRefCount(m_value); }
  TclRef(const TclRef&) = delete;
  TclRef& operator=(const TclRef&) = delete;
  Tcl_Obj* get() const { return m_value; }

 private:
  Tcl_Obj* m_value;
};

// Frees a value nobody holds (reference count 0); leaves others alone.
inline void Discard(Tcl_Obj* value) {
  Tcl_IncrRefCount(value);
  Tcl_DecrRefCount(value);
}

// Throws STALE when the value's object is of a closed design or deleted.
void RequireLive(Tcl_Obj* value);

// The text glob-quoted, so that a glob matches exactly it.
std::string QuoteGlob(const std::string& text);

}  // namespace NcdTcl
