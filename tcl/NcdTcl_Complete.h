// Completion of command lines, for the shell's Tab (ncd::complete).
//
// What completes where is read from the command table and the option
// tables (NcdTcl_Commands.h): command names, options, and after them by
// the word that names the argument or the option's value: handles,
// property names of the kind the command takes (also inside a -filter
// expression), object names of the current design (or of -design),
// services, help topics, file names. The line is read as Tcl reads it: the
// word being typed may be bare, braced or quoted, and with -edit the
// answer says how Tab rewrites its end (the common part of all matches,
// escaped for that word).
//
// Object names come from one function, NamesWithPrefix, so that a faster
// source of names can take its place: today it keeps the current design's
// full names of one kind sorted (made on first use, per design and kind,
// for the interpreter's life or until another design is completed), and a
// prefix is then found by binary search. A path completes one level at a
// time: "u_c" offers "u_cnt/", not every block below it.
//
// Threads: the interpreter's thread.
#pragma once

#include <tcl.h>

#include <string>
#include <vector>

#include "NcdTcl.h"
#include "NcdTcl_Object.h"
#include "NcdTcl_Options.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

extern const OptionEntry kCompleteOptions[];

// ncd::complete ?-limit count? line
void Complete(Session& session, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]);

// The distinct names of `kind` in the design that start with `prefix`, each
// cut after the first "/" past the prefix, sorted, at most `most`; with
// `common`, also what all of them share, those past `most` included (empty
// when none has the prefix).
std::vector<std::string> NamesWithPrefix(Tcl_Interp* interp, Session::Handle& design,
                                         const KindInfo& kind, const std::string& prefix,
                                         std::size_t most, std::string* common = nullptr);

// The longest start of both, in whole UTF-8 characters.
std::string CommonPrefix(const std::string& a, const std::string& b);

// The characters that end the word being completed.
constexpr const char* kCompletionBreaks = NCD_COMPLETION_BREAKS;

}  // namespace NcdTcl
