#include <map>
#include <mutex>
#include <string>

#include "CitP_Factory.h"

namespace Util::Details {
namespace {

struct Resources {
  std::mutex mutex;
  std::map<std::string, void*, std::less<>> byName;
};

Resources& Table() {
  // Never destroyed: components may use it until the process ends, and what
  // it points at stays reachable.
  static Resources* table = new Resources;
  return *table;
}

}  // namespace

bool SharedResourceMgr::insert(const Port::StringBase& name, void* resource) {
  if (!resource) return false;
  Resources& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.byName.emplace(name.str(), resource).second;
}

void* SharedResourceMgr::find(const Port::StringBase& name) {
  Resources& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.byName.find(name.view());
  return it == t.byName.end() ? nullptr : it->second;
}

bool SharedResourceMgr::erase(const Port::StringBase& name) {
  Resources& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.byName.find(name.view());
  if (it == t.byName.end()) return false;
  t.byName.erase(it);
  return true;
}

}  // namespace Util::Details
