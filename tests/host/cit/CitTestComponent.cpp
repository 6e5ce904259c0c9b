// A minimal component: one factory creating counted objects.
#include "CitTestComponent.h"

#include "CitP_Factory.h"
#include "CountedObject.h"

namespace {

class Counted : public ncdtest::CountedObject<Counted> {};

class Factory : public CitI::IFactory {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CitI::IID_IFactory || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::IInterface* CreateInstance(const Port::XUID& classId) override {
    return classId == CitTest::CLSID_Component ? new Counted : nullptr;
  }
};

}  // namespace

extern "C" __attribute__((visibility("default"))) void InstFactoryEntry() {
  static Factory factory;
  CitP::Factory::RegisterFactory(CitTest::CLSID_Component, &factory);
  if (void* calls = Util::Details::SharedResourceMgr::find(CitTest::kEntryCallsName)) {
    Port::SafeIncr(*static_cast<int*>(calls));
  }
}
