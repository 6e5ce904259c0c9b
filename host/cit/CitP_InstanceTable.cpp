#include <map>
#include <mutex>

#include "CitP_Factory.h"

namespace CitP {
namespace {

struct Instances {
  std::mutex mutex;
  std::map<Port::XUID, CitI::IInterface*> byClass;
};

Instances& Table() {
  // Never destroyed: components may use it until the process ends, and what
  // it points at stays reachable.
  static Instances* table = new Instances;
  return *table;
}

}  // namespace

bool InstanceTable::RegisterInstance(const Port::XUID& classId, CitI::IInterface* instance) {
  if (classId.IsNull() || !instance) return false;
  Instances& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return t.byClass.emplace(classId, instance).second;
}

CitI::IInterface* InstanceTable::GetInstance(const Port::XUID& classId) {
  Instances& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  auto it = t.byClass.find(classId);
  return it == t.byClass.end() ? nullptr : it->second;
}

bool InstanceTable::UnRegisterInstance(CitI::IInterface* instance) {
  if (!instance) return false;
  Instances& t = Table();
  std::lock_guard<std::mutex> lock(t.mutex);
  return std::erase_if(t.byClass, [instance](const auto& e) { return e.second == instance; }) > 0;
}

}  // namespace CitP
