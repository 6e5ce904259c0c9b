// A minimal component: one factory creating counted objects.
#include "CitTestComponent.h"

#include "CitP_Factory.h"
#include "Port_Atomic.h"

namespace {

class Counted : public CommonI::IRefCount {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddRef() override { return Port::SafeIncr(m_count) > 0; }
  CitI::Result Release() override {
    if (Port::SafeDecr(m_count) == 0) delete this;
    return 1;
  }
  CitI::Result GetRefCount(int* count) override {
    *count = Port::SafeRead(m_count);
    return 1;
  }

 private:
  int m_count = 1;
};

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
