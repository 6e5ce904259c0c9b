// Turning command arguments into objects: object values as they are,
// plain names looked up in a design by the name rules (docs/tcl.md,
// "Names").
//
// A plain name is looked up (FindByName) among the kinds a command takes.
// When it names objects of several kinds, it is settled in this order:
//   1. a net and signals of that net (its top signal shares its name): the net;
//   2. only the objects that have the property the command reads
//      (`Resolution::property`);
//   3. with a precedence (-of_objects), the first kind of `kinds`;
// an ambiguity that remains is an OBJECT error showing the command with
// `-object_type` that settles it. A plain string that is exactly the name
// of an object is that object before it is split as a list of names.
#pragma once

#include <tcl.h>

#include <string>
#include <vector>

#include "NcdTcl_Query.h"

namespace NcdTcl {

struct Resolution {
  std::vector<Kind> kinds;            // the kinds taken (all when empty), in precedence order
  bool byPrecedence = false;          // several kinds answer: the first of `kinds` wins
  const char* property = nullptr;     // prefer objects that have this property
  Session::Handle* design = nullptr;  // where names are looked up; null: the current design
  // The command, for the error that shows how to settle an ambiguity.
  int objc = 0;
  Tcl_Obj* const* objv = nullptr;
};

// Every object `arg` stands for, added to `out`: a value that holds an
// object, or a list of such values and names. Throws OBJECT for an
// object of another kind, a name no object of the kinds has, and an
// ambiguity the rules leave.
void ResolveObjects(Session& session, Tcl_Obj* arg, const Resolution& how, ResultList& out);

// The object an element made as a list of one stands for: a command's
// answer kept whole, as `lappend cells [get_blocks c0]` keeps it, is that
// object, not its name looked up again (maybe in another design). Only a
// value that is a list already is looked into (a name is never parsed);
// anything else is answered as it is.
Tcl_Obj* Unwrapped(Tcl_Obj* element);

// The kinds of a -object_type value among `allowed` (all when empty);
// throws OPTION for another word. Null `value`: `allowed` unchanged.
std::vector<Kind> KindsOf(Tcl_Obj* value, const std::vector<Kind>& allowed);

// "block, net or pin": kind words for messages.
std::string KindWords(const std::vector<Kind>& kinds);

}  // namespace NcdTcl
