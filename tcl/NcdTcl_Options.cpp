#include "NcdTcl_Options.h"

#include <cstring>
#include <string>

#include "NcdTcl_Error.h"

namespace NcdTcl {

namespace {

// The interpreter's result, which Tcl has just set to a usage message, as an
// OPTION error.
[[noreturn]] void ThrowResult(Tcl_Interp* interp) {
  throw Error(ErrorClass::Option, Tcl_GetString(Tcl_GetObjResult(interp)));
}

bool LooksLikeOption(Tcl_Obj* word) {
  return Tcl_GetString(word)[0] == '-';
}

}  // namespace

ParsedOptions ParseOptions(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[],
                           const OptionEntry* table) {
  ParsedOptions parsed;
  int i = 1;
  while (i < objc && LooksLikeOption(objv[i])) {
    int index = 0;
    if (Tcl_GetIndexFromObjStruct(interp, objv[i], table, sizeof(OptionEntry), "option", 0,
                                  &index) != TCL_OK)
      ThrowResult(interp);
    const OptionEntry& entry = table[index];
    ++i;
    if (!std::strcmp(entry.name, "--")) break;
    if (!entry.valueName) {
      parsed.m_values[index] = objv[i - 1];
      continue;
    }
    if (i >= objc) {
      throw Error(ErrorClass::Option,
                  std::string("missing value for option \"") + entry.name + "\"");
    }
    parsed.m_values[index] = objv[i++];
  }
  parsed.m_first = i;
  return parsed;
}

void RequireArgs(Tcl_Interp* interp, int objc, Tcl_Obj* const objv[], int first, int count,
                 const char* usage) {
  if (objc - first == count) return;
  Tcl_WrongNumArgs(interp, 1, objv, *usage ? usage : nullptr);
  ThrowResult(interp);
}

}  // namespace NcdTcl
