// Argument parsing for the `ncd` commands: leading -options, then a fixed
// number of arguments.
//
// Options are matched by Tcl_GetIndexFromObjStruct, so unique prefixes are
// accepted and an unknown option gets Tcl's standard message
// (bad option "-x": must be -async, -command, -owner, or --). `--` ends the
// options, so that a file name may start with "-". Every usage error is
// thrown as NcdTcl::Error of class OPTION; nothing is changed before
// parsing has succeeded.
#pragma once

#include <tcl.h>

#include <array>

namespace NcdTcl {

// One entry of a command's option table. The table ends with {"--"} and then
// {nullptr}; its order is the order of the standard message.
struct OptionEntry {
  const char* name;
  const char* valueName = nullptr;  // null for a flag
};

class ParsedOptions {
 public:
  static constexpr int kMaxOptions = 12;

  // The value given for table entry `index`; for a flag, a non-null marker
  // when it was given; null when the option was not given.
  Tcl_Obj* Value(int index) const { return m_values[index]; }
  bool Has(int index) const { return m_values[index] != nullptr; }
  // objv index of the first argument after the options.
  int First() const { return m_first; }

 private:
  friend ParsedOptions ParseOptions(Tcl_Interp*, int, Tcl_Obj* const[], const OptionEntry*);
  std::array<Tcl_Obj*, kMaxOptions> m_values{};
  int m_first = 1;
};

// Parses the options of objv[1..]; a later occurrence of an option wins.
ParsedOptions ParseOptions(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[],
                           const OptionEntry* table);

// Requires exactly `count` arguments from objv[first]; otherwise throws
// "wrong # args: should be "<objv[0]> <usage>"".
void RequireArgs(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int first, int count,
                 const char* usage);

}  // namespace NcdTcl
