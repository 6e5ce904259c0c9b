// The component framework's registries. All functions are static, process
// wide and safe to call from any thread.
//
// Components are shared libraries "<name>.so" that export
//   extern "C" void InstFactoryEntry();
// which registers the component's factories. LoadLibraryFactory(name) looks
// for the library in the folders of the environment variable
// CIT_COMPONENT_PATH (separated by ':'), then in the folder of the framework
// library itself; it loads a name at most once and reports a library that
// cannot be loaded through the message manager (component "CitP") without
// failing the caller. A failed load is not remembered: the next call tries
// again. Loaded libraries stay loaded for the life of the process.
#pragma once

#include <string>
#include <vector>

#include "CitI_IInterface.h"
#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"

namespace CitP {

class Factory {
public:
  // Registers `factory` for `classId`; a later registration replaces an
  // earlier one. The framework never deletes factories. A null identifier or
  // factory is refused (false).
  static bool RegisterFactory(const Port::XUID& classId, CitI::IFactory* factory);
  static bool UnRegisterFactory(const Port::XUID& classId);
  static CitI::IFactory* FindFactory(const Port::XUID& classId);

  // Loads the component library `name` and calls its InstFactoryEntry.
  // Answers whether the library is loaded (true again for a second call).
  static bool LoadLibraryFactory(const Port::StringBase& name);
  // A symbol a loaded component library exports besides its entry (a
  // diagnostic function, say); null when the library is not loaded or has
  // no such symbol.
  static void* FindLibrarySymbol(const Port::StringBase& name, const char* symbol);
  // The folders LoadLibraryFactory searches, in order.
  static std::vector<std::string> SearchPath();

  // A new instance of `classId` from its factory, holding the instance's
  // first reference; empty when no factory is registered or it creates none.
  static CommonI::RefCountPtr<CitI::IInterface> CreateInstanceRef(const Port::XUID& classId);
};

// Fault injection for tests: make a component library look absent, or a
// class identifier refused by its factory, until Disarm(). Process wide.
class FactoryFault {
public:
  // LoadLibraryFactory(name) reports the library as not found and answers
  // false (a library loaded before stays loaded).
  static void HideLibrary(const Port::StringBase& name);
  // CreateInstanceRef(classId) answers an empty reference.
  static void RefuseClass(const Port::XUID& classId);
  static void Disarm();
};

// Well-known instances by class identifier (singletons of components).
class InstanceTable {
public:
  // False, and the table unchanged, when the class already has an instance
  // (or the identifier or instance is null).
  static bool RegisterInstance(const Port::XUID& classId, CitI::IInterface* instance);
  static CitI::IInterface* GetInstance(const Port::XUID& classId);  // null when none
  static bool UnRegisterInstance(CitI::IInterface* instance);        // every entry holding it
};

}  // namespace CitP

namespace Util::Details {

// Process-wide map from a name to a pointer, for resources that several
// components share. The manager never owns or frees the pointers.
class SharedResourceMgr {
public:
  // False when the name is taken or `resource` is null (find() answers null
  // for "absent", so a null resource could not be told apart).
  static bool insert(const Port::StringBase& name, void* resource);
  static void* find(const Port::StringBase& name);                   // null when absent
  static bool erase(const Port::StringBase& name);
};

}  // namespace Util::Details
