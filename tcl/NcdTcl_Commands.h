// The commands of namespace ::ncd, as one table: each entry's name, its
// implementation, its option table, its arguments and its help. `help`,
// `-help` on every command, the "wrong # args" messages and the shell's
// completion all read this table and the option tables it points to, so a
// new command is one new row here (and its option table beside its code),
// and a new option one new row of its option table. docs/tcl.md describes
// the commands.
#pragma once

#include <tcl.h>

#include <string>

#include "NcdTcl_Options.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

struct CommandEntry {
  const char* name;  // within ::ncd; null ends the table
  void (*run)(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);
  const OptionEntry* options;  // its option table, or null for none
  // The arguments after the options, as the synopsis shows them. Each word
  // also says what the shell completes there (NcdTcl_Complete.h): handle,
  // file, name (a property), object(s), pattern, service, command.
  const char* args;
  const char* summary;  // one sentence
  const char* details;  // further paragraphs, or ""
  // The kind of object the command answers or reads ("block"), whose names
  // and properties the shell completes; null for any kind.
  const char* kind;
};

// The table, ended by an entry with a null name.
const CommandEntry* Commands();
// The entry of a command (bare name); null when there is none.
const CommandEntry* CommandNamed(const char* name);
// "?-async? ?-owner name? ?--? file": the options, then the arguments ("--"
// where the option table describes it).
std::string Synopsis(const CommandEntry& entry);
// The synopsis of a command by name, kept for the process's life (for
// "wrong # args" messages).
const char* UsageOf(const char* name);
// The full help of one command: synopsis, description, options.
std::string CommandHelp(const CommandEntry& entry);

}  // namespace NcdTcl
