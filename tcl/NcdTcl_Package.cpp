// Ncd_Init: loads the `ncd` package into an interpreter.
#include <exception>
#include <memory>
#include <vector>

#include "CitP_Factory.h"
#include "NcdTcl.h"
#include "NcdTcl_Commands.h"
#include "NcdTcl_Error.h"
#include "NcdTcl_Help.h"
#include "NcdTcl_Interrupt.h"
#include "NcdTcl_LoadNotes.h"
#include "NcdTcl_Session.h"

namespace NcdTcl {

namespace {

constexpr const char* kAssocKey = "ncd";
constexpr Port::XUID kMgrClass{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

// What one interpreter's commands point at; freed with the interpreter.
struct PackageState {
  struct Binding {
    PackageState* state;
    const CommandEntry* entry;
  };

  PackageState(Tcl_Interp* interp, UtilI::ISharedNcdMgr* mgr) : session(interp, mgr) {
    for (const CommandEntry* entry = Commands(); entry->name; ++entry)
      bindings.push_back({this, entry});
  }

  Session session;
  std::vector<Binding> bindings;  // never resized after construction
};

// Every command goes through here: no exception reaches Tcl. A command that
// runs out of memory fails with "out of memory" and leaves nothing half done.
int RunCommand(ClientData data, Tcl_Interp* interp, int objc, Tcl_Obj* const objv[]) {
  auto* binding = static_cast<PackageState::Binding*>(data);
  try {
    const CommandScope running;  // Ctrl-C stops it
    if (AnswerHelpOption(*binding->entry, interp, objc, objv)) return TCL_OK;
    binding->entry->run(binding->state->session, interp, objc, objv);
    return TCL_OK;
  } catch (...) {
    return Error::ReportCaught(interp);
  }
}

void DeleteState(ClientData data, Tcl_Interp*) {
  delete static_cast<PackageState*>(data);
}

UtilI::ISharedNcdMgr* OpenManager() {
  if (!CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd")) return nullptr;
  CommonI::RefCountPtr<CitI::IInterface> instance = CitP::Factory::CreateInstanceRef(kMgrClass);
  if (!instance) return nullptr;
  // The manager is a process-wide singleton that is not counted: the
  // pointer stays valid after `instance` goes.
  return static_cast<UtilI::ISharedNcdMgr*>(instance->QueryInterface(UtilI::IID_ISharedNcdMgr));
}

void RegisterCommands(Tcl_Interp* interp, PackageState& state) {
  Tcl_Namespace* ns = Tcl_FindNamespace(interp, "::ncd", nullptr, 0);
  if (!ns) ns = Tcl_CreateNamespace(interp, "::ncd", nullptr, nullptr);
  for (PackageState::Binding& binding : state.bindings) {
    std::string name = std::string("::ncd::") + binding.entry->name;
    Tcl_CreateObjCommand(interp, name.c_str(), RunCommand, &binding, nullptr);
  }
  if (ns) Tcl_Export(interp, ns, "*", 0);
}

int Init(Tcl_Interp* interp) {
  if (Tcl_GetAssocData(interp, kAssocKey, nullptr)) return TCL_OK;  // loaded before
  UtilI::ISharedNcdMgr* mgr = OpenManager();
  if (!mgr) {
    return Error(ErrorClass::Internal,
                 "the shared design component libUtilC_SharedNcd could not be loaded "
                 "(it is looked for in CIT_COMPONENT_PATH and beside libhost_port.so)")
        .Report(interp);
  }
  LoadNotes::Install();
  auto state = std::make_unique<PackageState>(interp, mgr);
  RegisterCommands(interp, *state);
  Tcl_SetAssocData(interp, kAssocKey, DeleteState, state.release());
  return TCL_OK;
}

}  // namespace

}  // namespace NcdTcl

extern "C" int Ncd_Init(Tcl_Interp* interp) {
  if (!Tcl_InitStubs(interp, "8.6", 0)) return TCL_ERROR;
  try {
    if (NcdTcl::Init(interp) != TCL_OK) return TCL_ERROR;
  } catch (...) {
    return NcdTcl::Error::ReportCaught(interp);
  }
  return Tcl_PkgProvide(interp, "ncd", NCD_TCL_VERSION);
}

extern "C" int Ncd_StopCommands(void) {
  return NcdTcl::StopCommands();
}

extern "C" void Ncd_InstallInterruptHandler(int ignoreWhenIdle) {
  NcdTcl::InstallInterruptHandler(ignoreWhenIdle != 0);
}
