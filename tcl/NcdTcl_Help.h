// `help` and `-help`: the commands' help, made from the command table and
// the option tables (NcdTcl_Commands.h), and the help topics: the pattern
// and path rules, the -filter grammar, and the properties of each kind of
// object, which the component itself lists and describes.
#pragma once

#include <tcl.h>

#include "NcdTcl_Commands.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

// ncd::help ?pattern?
void Help(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);

// Answers the command's help when its only argument is -help; false
// otherwise (the command runs as usual).
bool AnswerHelpOption(const CommandEntry& entry, Tcl_Interp* interp, int objc,
                      Tcl_Obj* const objv[]);

// The names of the help topics, for completion.
std::vector<const char*> HelpTopicNames();

}  // namespace NcdTcl
