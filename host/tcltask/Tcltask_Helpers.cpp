// The Tcl helper component's entry: one framework factory for the classes
// of its four kinds of object.
#include "CitP_Factory.h"
#include "Tcltask_HelperFactory.h"
#include "Tcltask_ObjectList.h"
#include "Tcltask_PropertyInfo.h"
#include "Tcltask_PropertyValue.h"

namespace Tcltask {
namespace {

struct ClassEntry {
  Port::XUID classId;
  CitI::IInterface* (*create)();
};

// The first reference of each new object goes to the framework's caller.
constexpr ClassEntry kClasses[] = {
    {UtilI::CLSID_PropertyValue,
     []() -> CitI::IInterface* { return PropertyValue::Create().Detach(); }},
    {UtilI::CLSID_ObjectList, []() -> CitI::IInterface* { return ObjectList::Create().Detach(); }},
    {UtilI::CLSID_PropertyInfo,
     []() -> CitI::IInterface* { return PropertyInfo::Create().Detach(); }},
    {UtilI::CLSID_NamedValueFactory,
     []() -> CitI::IInterface* { return HelperFactory::Create().Detach(); }},
};

class ClassFactory final : public CitI::IFactory {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CitI::IID_IFactory || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::IInterface* CreateInstance(const Port::XUID& classId) override {
    for (const ClassEntry& entry : kClasses) {
      if (entry.classId == classId) return entry.create();
    }
    return nullptr;
  }
};

}  // namespace
}  // namespace Tcltask

extern "C" __attribute__((visibility("default"))) void InstFactoryEntry() {
  static Tcltask::ClassFactory factory;  // the framework never deletes factories
  for (const Tcltask::ClassEntry& entry : Tcltask::kClasses)
    CitP::Factory::RegisterFactory(entry.classId, &factory);
}
