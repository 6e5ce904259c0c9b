// The commands of namespace ::ncd, as one table: each entry's name, its
// implementation, its arguments (as "wrong # args" shows them) and its
// one-line help (as ncd::help shows it). docs/tcl.md describes them.
#pragma once

#include <tcl.h>

#include "NcdTcl_Session.h"

namespace NcdTcl {

struct CommandEntry {
  const char* name;  // within ::ncd; null ends the table
  void (*run)(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);
  const char* usage;
  const char* help;
};

// The table, ended by an entry with a null name.
const CommandEntry* Commands();

}  // namespace NcdTcl
