#include "NcdTcl_Options.h"

#include <cstring>
#include <string>

#include "NcdTcl_Error.h"
#include "NcdTcl_Object.h"
#include "NcdTcl_Resolve.h"

namespace NcdTcl {

namespace {

// The interpreter's result, which Tcl has just set to a usage message, as an
// OPTION error.
[[noreturn]] void ThrowResult(Tcl_Interp* interp) {
  throw Error(ErrorClass::Option, Tcl_GetString(Tcl_GetObjResult(interp)));
}

[[noreturn]] void WrongArgs(Tcl_Interp* interp, Tcl_Obj* const objv[], const char* usage) {
  Tcl_WrongNumArgs(interp, 1, objv, *usage ? usage : nullptr);
  ThrowResult(interp);
}

// A list whose first element holds an object came from a command of the
// package (or was made of its objects): it is an argument. The element may
// itself be an answer kept whole (`lappend cells [get_blocks c0]`), as the
// commands take it.
bool HoldsObjects(Tcl_Obj* word) {
  if (KindOf(Unwrapped(word))) return true;
  if (!word->typePtr || std::strcmp(word->typePtr->name, "list")) return false;
  int count = 0;
  Tcl_Obj** elements = nullptr;
  return Tcl_ListObjGetElements(nullptr, word, &count, &elements) == TCL_OK && count > 0 &&
         KindOf(Unwrapped(elements[0]));
}

}  // namespace

// A value made as a list and never printed keeps no string: asking for one
// would make a list of names look like one name to later commands.
bool MayBeOption(Tcl_Obj* word) {
  if (HoldsObjects(word)) return false;
  if (!word->bytes && word->typePtr && !std::strcmp(word->typePtr->name, "list")) {
    int count = 0;
    Tcl_Obj** elements = nullptr;
    Tcl_ListObjGetElements(nullptr, word, &count, &elements);
    return count == 1 && Tcl_GetString(elements[0])[0] == '-';
  }
  return Tcl_GetString(word)[0] == '-';
}

ParsedOptions ParseOptions(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[],
                           const OptionEntry* table) {
  ParsedOptions parsed;
  bool ended = false;
  for (int i = 1; i < objc; ++i) {
    if (ended || !MayBeOption(objv[i])) {
      parsed.m_args.push_back(objv[i]);
      continue;
    }
    int index = 0;
    if (Tcl_GetIndexFromObjStruct(interp, objv[i], table, sizeof(OptionEntry), "option", 0,
                                  &index) != TCL_OK)
      ThrowResult(interp);
    const OptionEntry& entry = table[index];
    if (!std::strcmp(entry.name, "--")) {
      ended = true;
    } else if (!entry.valueName) {
      parsed.m_values[index] = objv[i];
    } else if (i + 1 >= objc) {
      throw Error(ErrorClass::Option,
                  std::string("missing value for option \"") + entry.name + "\"");
    } else {
      parsed.m_values[index] = objv[++i];
    }
  }
  return parsed;
}

void RequireArgs(Tcl_Interp* interp, Tcl_Obj* const objv[], const ParsedOptions& options, int count,
                 const char* usage) {
  RequireArgs(interp, objv, options, count, count, usage);
}

void RequireArgs(Tcl_Interp* interp, Tcl_Obj* const objv[], const ParsedOptions& options, int least,
                 int most, const char* usage) {
  if (options.ArgCount() < least || options.ArgCount() > most) WrongArgs(interp, objv, usage);
}

void RequirePlainArgs(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int count,
                      const char* usage) {
  if (objc - 1 != count) WrongArgs(interp, objv, usage);
}

}  // namespace NcdTcl
