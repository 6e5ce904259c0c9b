// NcdTcl objects: design objects (blocks, nets, pins, signals, RPMs) and
// device objects (sites, clock regions) as Tcl values.
//
// A value of the Tcl type "ncd_object" holds one counted reference to a
// collectable (UtilI::ITclCollectable) in its internal representation, and
// nothing else: no Tcl command, no table entry. The reference goes when
// Tcl frees the value (or replaces its internal representation), so memory
// follows the script's references exactly.
//
// The string form is the object's name as users read it: the full
// hierarchical name of a block, net, signal or RPM, "<block>/<pin>" for a
// pin (the pin name alone on the top block), the name of a site or clock
// region. It is made when Tcl first asks for it; an object that is stale by
// then prints as "<stale ncd_block>" (print names before closing a design).
// A value whose internal representation Tcl dropped (after string
// operations) is only a name again: NcdTcl_Resolve.h looks it up.
//
// Threads: a value belongs to its interpreter's thread, as every Tcl_Obj.
#pragma once

#include <tcl.h>

#include "UtilI_ITclCollectable.h"

namespace NcdTcl {

enum class Kind { Block, Net, Pin, Signal, Rpm, Site, ClockRegion };

struct KindInfo {
  Kind kind;
  const char* word;        // "block": the word of list_property and messages
  const char* typeName;    // the collectables' type name, "ncd_block"
  const char* searchType;  // the search service's type name; null when not searchable
};

// Every kind, in the order above.
const KindInfo* Kinds();
constexpr int kKindCount = 7;
const KindInfo& InfoOf(Kind kind);
// The kind of a type name ("ncd_block") or word ("block"); null when none.
const KindInfo* KindOfType(const char* typeName);
const KindInfo* KindOfWord(const char* word);

// A new value (reference count 0) holding `coll`, which must not be null.
// `kind` is the collectable's kind when the caller knows it; otherwise it
// is asked. Null when the collectable is of no kind above.
Tcl_Obj* NewObject(UtilI::ITclCollectable* coll, const KindInfo* kind = nullptr);

// The collectable a value holds now, or null when it holds none (its
// string form is all there is).
UtilI::ITclCollectable* CollectableOf(Tcl_Obj* value);
const KindInfo* KindOf(Tcl_Obj* value);  // null when CollectableOf is null

// The object's name as the string form shows it; empty when stale.
std::string DisplayName(UtilI::ITclCollectable* coll, const KindInfo& kind);

// Makes the string form of every object value of this thread that has
// none yet (before a design is handed back).
void NameUnnamedObjects();

// Object values alive in this process (tests use it to catch leaks).
long LiveObjectValues();
// Object values made in this process (tests use it to tell what a command
// cost: the objects it made values of).
std::uint64_t ObjectValuesMade();

}  // namespace NcdTcl
