#include "NcdTcl_Error.h"

#include <new>

namespace NcdTcl {

const char* ClassName(ErrorClass errorClass) {
  static const char* const kNames[] = {"LOAD",    "HANDLE",   "OPTION", "STATE",
                                       "OBJECT",  "STALE",    "PROPERTY", "FILTER",
                                       "STOPPED", "INTERNAL", "FILE"};
  return kNames[static_cast<int>(errorClass)];
}

std::string Clipped(std::string_view text) {
  if (text.size() <= 80) return std::string(text);
  std::size_t end = 77;
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)  // inside a character
    --end;
  return std::string(text.substr(0, end)) + "...";
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

int Error::ReportInternal(Tcl_Interp* interp, const char* message) noexcept {
  Tcl_SetObjResult(interp, Tcl_NewStringObj(message, -1));
  Tcl_Obj* code = Tcl_NewListObj(0, nullptr);
  Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj("NCD", -1));
  Tcl_ListObjAppendElement(nullptr, code, Tcl_NewStringObj(ClassName(ErrorClass::Internal), -1));
  Tcl_SetObjErrorCode(interp, code);
  return TCL_ERROR;
}

int Error::ReportCaught(Tcl_Interp* interp) noexcept {
  try {
    try {
      throw;
    } catch (const Error& e) {
      return e.Report(interp);
    } catch (const std::bad_alloc&) {
      return ReportInternal(interp, "out of memory");
    } catch (const std::exception& e) {
      return ReportInternal(interp, e.what());
    }
  } catch (...) {
  }
  return ReportInternal(interp, "the shared design component failed");
}

}  // namespace NcdTcl
