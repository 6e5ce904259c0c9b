// Argument parsing for the `ncd` commands: -options anywhere among the
// arguments, as in the timing shells, and a fixed number of other
// arguments.
//
// Options are matched by Tcl_GetIndexFromObjStruct, so unique prefixes are
// accepted and an unknown option gets Tcl's standard message
// (bad option "-x": must be -async, -command, -owner, or --). A word is an
// option when it starts with "-", comes before `--` and holds no object (a
// value that holds an object, or a list of them, is always an argument,
// whatever its name). `--` ends the options, so that an argument may start
// with "-". Every usage error is thrown as NcdTcl::Error of class OPTION;
// nothing is changed before parsing has succeeded.
#pragma once

#include <tcl.h>

#include <array>
#include <vector>

namespace NcdTcl {

// One entry of a command's option table. The table ends with {"--"} and then
// {nullptr}; its order is the order of the standard message.
struct OptionEntry {
  const char* name;
  const char* valueName = nullptr;  // null for a flag
  const char* help = nullptr;       // one line for help: what the option does
};

class ParsedOptions {
 public:
  static constexpr int kMaxOptions = 16;

  // The value given for table entry `index`; for a flag, a non-null marker
  // when it was given; null when the option was not given.
  Tcl_Obj* Value(int index) const { return m_values[index]; }
  bool Has(int index) const { return m_values[index] != nullptr; }
  // The arguments that are no options, in order.
  const std::vector<Tcl_Obj*>& Args() const { return m_args; }
  int ArgCount() const { return static_cast<int>(m_args.size()); }
  Tcl_Obj* Arg(int index) const { return m_args[index]; }

 private:
  friend ParsedOptions ParseOptions(Tcl_Interp*, int, Tcl_Obj* const[], const OptionEntry*);
  std::array<Tcl_Obj*, kMaxOptions> m_values{};
  std::vector<Tcl_Obj*> m_args;
};

// Parses objv[1..]; a later occurrence of an option wins.
ParsedOptions ParseOptions(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[],
                           const OptionEntry* table);

// Whether a word can be an option: it starts with "-" and holds no object.
bool MayBeOption(Tcl_Obj* word);

// Requires exactly `count` arguments (`least` to `count` with the second
// form); otherwise throws "wrong # args: should be "<objv[0]> <usage>"".
void RequireArgs(Tcl_Interp* interp, Tcl_Obj* const objv[], const ParsedOptions& options, int count,
                 const char* usage);
void RequireArgs(Tcl_Interp* interp, Tcl_Obj* const objv[], const ParsedOptions& options, int least,
                 int most, const char* usage);
// The same for a command without options: objc - 1 arguments.
void RequirePlainArgs(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int count,
                      const char* usage);

}  // namespace NcdTcl
