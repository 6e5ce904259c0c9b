#include "NcdTcl_Error.h"

namespace NcdTcl {

const char* ClassName(ErrorClass errorClass) {
  static const char* const kNames[] = {"LOAD", "HANDLE", "OPTION", "STATE", "INTERNAL"};
  return kNames[static_cast<int>(errorClass)];
}

int Error::Report(Tcl_Interp* interp) const {
  Tcl_SetObjResult(interp, Tcl_NewStringObj(m_message.c_str(), -1));
  Tcl_Obj* code = Tcl_NewListObj(0, nullptr);
  Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj("NCD", -1));
  Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj(ClassName(m_class), -1));
  for (const std::string& word : m_subject)
    Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj(word.c_str(), -1));
  Tcl_SetObjErrorCode(interp, code);
  return TCL_ERROR;
}

}  // namespace NcdTcl
