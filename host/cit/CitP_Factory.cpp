#include "CitP_Factory.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>

#include "Port_MsgManData.h"

// Lock order: the load mutex before the factory mutex. A component's
// InstFactoryEntry runs under the load mutex and calls RegisterFactory,
// which takes the factory mutex. The framework uses plain std::mutex rather
// than the Port_Thr locks so that lock fault injection in tests never
// reaches the registries.

namespace CitP {
namespace {

struct FactoryRegistry {
  std::mutex mutex;
  std::map<Port::XUID, CitI::IFactory*> factories;
};

FactoryRegistry& Factories() {
  // Never destroyed: components may use it until the process ends, and what
  // it points at stays reachable.
  static FactoryRegistry* registry = new FactoryRegistry;
  return *registry;
}

// Names loaded successfully. Their libraries are never closed: the
// factories they registered live in them.
struct LoadedLibraries {
  std::mutex mutex;
  std::map<std::string, void*> names;  // the library handle of each name
};

LoadedLibraries& Loaded() {
  // Never destroyed: components may use it until the process ends, and what
  // it points at stays reachable.
  static LoadedLibraries* loaded = new LoadedLibraries;
  return *loaded;
}

struct Faults {
  std::mutex mutex;
  std::set<std::string> hiddenLibraries;
  std::set<Port::XUID> refusedClasses;
};

Faults& ArmedFaults() {
  static Faults* faults = new Faults;  // never destroyed, as the registries
  return *faults;
}

bool IsHidden(const std::string& name) {
  Faults& f = ArmedFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.hiddenLibraries.count(name) > 0;
}

bool IsRefused(const Port::XUID& classId) {
  Faults& f = ArmedFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.refusedClasses.count(classId) > 0;
}

void ReportError(const std::string& text) {
  Port_MsgManData::createObject("CitP", "CitP_Factory", __LINE__, "")
      .issueError("%s\n", text.c_str());
}

// The folder holding the shared library that contains this function.
std::string FrameworkFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&FrameworkFolder), &info) == 0 || !info.dli_fname) return {};
  std::error_code ec;
  std::filesystem::path path = std::filesystem::absolute(info.dli_fname, ec);
  if (ec) return {};
  return path.lexically_normal().parent_path().string();
}

std::string JoinFolders(const std::vector<std::string>& folders) {
  std::string text;
  for (const std::string& f : folders)
    text += (text.empty() ? "" : ", ") + f;
  return text.empty() ? "(no folders)" : text;
}

// The first "<folder>/<file>" that exists, or empty.
std::string FindLibrary(const std::string& file, const std::vector<std::string>& folders) {
  for (const std::string& folder : folders) {
    std::error_code ec;
    std::filesystem::path candidate = std::filesystem::path(folder) / file;
    if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
  }
  return {};
}

// Opens `path` and runs its InstFactoryEntry; answers the library's handle,
// or reports and answers null on any failure. Called with the load mutex held.
void* OpenAndEnter(const std::string& path) {
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    const char* why = dlerror();
    ReportError("cannot load component library " + path + ": " + (why ? why : "unknown error"));
    return nullptr;
  }
  dlerror();
  void* symbol = dlsym(handle, "InstFactoryEntry");
  if (!symbol) {
    const char* why = dlerror();
    ReportError("component library " + path +
                " has no InstFactoryEntry: " + (why ? why : "symbol not found"));
    dlclose(handle);
    return nullptr;
  }
  using EntryFn = void (*)();
  try {
    reinterpret_cast<EntryFn>(symbol)();
  } catch (const std::exception& e) {
    ReportError("InstFactoryEntry of " + path + " failed: " + e.what());
    return nullptr;
  } catch (...) {
    ReportError("InstFactoryEntry of " + path + " failed with an unknown exception");
    return nullptr;
  }
  return handle;
}

}  // namespace

bool Factory::RegisterFactory(const Port::XUID& classId, CitI::IFactory* factory) {
  if (classId.IsNull() || !factory) return false;
  FactoryRegistry& r = Factories();
  std::lock_guard<std::mutex> lock(r.mutex);
  r.factories[classId] = factory;
  return true;
}

bool Factory::UnRegisterFactory(const Port::XUID& classId) {
  FactoryRegistry& r = Factories();
  std::lock_guard<std::mutex> lock(r.mutex);
  return r.factories.erase(classId) > 0;
}

CitI::IFactory* Factory::FindFactory(const Port::XUID& classId) {
  FactoryRegistry& r = Factories();
  std::lock_guard<std::mutex> lock(r.mutex);
  auto it = r.factories.find(classId);
  return it == r.factories.end() ? nullptr : it->second;
}

std::vector<std::string> Factory::SearchPath() {
  std::vector<std::string> folders;
  auto add = [&folders](std::string folder) {
    if (folder.empty()) return;
    for (const std::string& f : folders) {
      if (f == folder) return;
    }
    folders.push_back(std::move(folder));
  };
  if (const char* env = std::getenv("CIT_COMPONENT_PATH")) {
    std::string_view rest(env);
    while (!rest.empty()) {
      const std::size_t colon = rest.find(':');
      add(std::string(rest.substr(0, colon)));
      rest = colon == std::string_view::npos ? std::string_view() : rest.substr(colon + 1);
    }
  }
  add(FrameworkFolder());
  return folders;
}

bool Factory::LoadLibraryFactory(const Port::StringBase& name) {
  const std::string key = name.str();
  if (key.empty()) {
    ReportError("cannot load a component library without a name");
    return false;
  }
  LoadedLibraries& loaded = Loaded();
  std::lock_guard<std::mutex> lock(loaded.mutex);
  const bool hidden = IsHidden(key);
  if (loaded.names.count(key) && !hidden) return true;
  const std::vector<std::string> folders = SearchPath();
  const std::string path = hidden ? std::string() : FindLibrary(key + ".so", folders);
  if (path.empty()) {
    ReportError("component library " + key + ".so not found in: " + JoinFolders(folders));
    return false;
  }
  void* handle = OpenAndEnter(path);
  if (!handle) return false;
  loaded.names[key] = handle;
  return true;
}

void* Factory::FindLibrarySymbol(const Port::StringBase& name, const char* symbol) {
  LoadedLibraries& loaded = Loaded();
  std::lock_guard<std::mutex> lock(loaded.mutex);
  auto it = loaded.names.find(name.str());
  return it == loaded.names.end() || !symbol ? nullptr : dlsym(it->second, symbol);
}

CommonI::RefCountPtr<CitI::IInterface> Factory::CreateInstanceRef(const Port::XUID& classId) {
  CitI::IFactory* factory = IsRefused(classId) ? nullptr : FindFactory(classId);
  if (!factory) return {};
  return CommonI::RefCountPtr<CitI::IInterface>::Adopt(factory->CreateInstance(classId));
}

void FactoryFault::HideLibrary(const Port::StringBase& name) {
  Faults& f = ArmedFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.hiddenLibraries.insert(name.str());
}

void FactoryFault::RefuseClass(const Port::XUID& classId) {
  Faults& f = ArmedFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.refusedClasses.insert(classId);
}

void FactoryFault::Disarm() {
  Faults& f = ArmedFaults();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.hiddenLibraries.clear();
  f.refusedClasses.clear();
}

}  // namespace CitP
