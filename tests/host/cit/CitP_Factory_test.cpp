// Factory and instance registries, shared resources, and loading component
// libraries by name.
#include "CitP_Factory.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <optional>
#include <thread>
#include <vector>

#include "CitTestComponent.h"
#include "CountedObject.h"
#include "Port_Atomic.h"
#include "Port_MsgManData.h"

using CitP::Factory;
using CitP::InstanceTable;
using Port::XUID;
using Util::Details::SharedResourceMgr;

namespace {

constexpr XUID kClass{0x1111, 0x2222};
constexpr XUID kOther{0x1111, 0x3333};

// A counted object that tracks how many of its kind are alive.
class Counted : public ncdtest::CountedObject<Counted> {};

// An uncounted object: it offers no IRefCount face.
class Plain : public CitI::IInterface {
 public:
  void* QueryInterface(const XUID&) override { return nullptr; }
};

// Creates Counted objects, a fixed uncounted object, or nothing.
class TestFactory : public CitI::IFactory {
 public:
  explicit TestFactory(CitI::IInterface* fixed = nullptr, bool none = false)
      : m_fixed(fixed), m_none(none) {}
  void* QueryInterface(const XUID&) override { return nullptr; }
  CitI::IInterface* CreateInstance(const XUID&) override {
    if (m_none) return nullptr;
    return m_fixed ? m_fixed : new Counted;
  }

 private:
  CitI::IInterface* m_fixed;
  bool m_none;
};

int RefCount(CitI::IInterface* object) {
  int n = -1;
  CommonI::RefCountOf(object)->GetRefCount(&n);
  return n;
}

// Sets (or clears) CIT_COMPONENT_PATH for a scope.
class ComponentPath {
 public:
  explicit ComponentPath(const char* value) {
    if (const char* old = std::getenv("CIT_COMPONENT_PATH")) m_old = old;
    value ? ::setenv("CIT_COMPONENT_PATH", value, 1) : ::unsetenv("CIT_COMPONENT_PATH");
  }
  ~ComponentPath() {
    m_old ? ::setenv("CIT_COMPONENT_PATH", m_old->c_str(), 1) : ::unsetenv("CIT_COMPONENT_PATH");
  }

 private:
  std::optional<std::string> m_old;
};

}  // namespace

TEST(Factory, RegisterFindReplaceUnregister) {
  TestFactory a, b;
  EXPECT_FALSE(Factory::RegisterFactory(kClass, nullptr));
  EXPECT_FALSE(Factory::RegisterFactory(XUID(), &a));
  EXPECT_TRUE(Factory::RegisterFactory(kClass, &a));
  EXPECT_EQ(Factory::FindFactory(kClass), &a);
  EXPECT_EQ(Factory::FindFactory(kOther), nullptr);
  EXPECT_TRUE(Factory::RegisterFactory(kClass, &b));
  EXPECT_EQ(Factory::FindFactory(kClass), &b);
  EXPECT_TRUE(Factory::UnRegisterFactory(kClass));
  EXPECT_FALSE(Factory::UnRegisterFactory(kClass));
  EXPECT_EQ(Factory::FindFactory(kClass), nullptr);
}

TEST(Factory, CreateInstanceRefAdoptsTheFirstReference) {
  TestFactory counted;
  Factory::RegisterFactory(kClass, &counted);
  {
    auto ref = Factory::CreateInstanceRef(kClass);
    ASSERT_TRUE(ref);
    EXPECT_EQ(Counted::Live(), 1);
    EXPECT_EQ(RefCount(ref.get()), 1);
    auto copy = ref;
    EXPECT_EQ(RefCount(ref.get()), 2);
  }
  EXPECT_EQ(Counted::Live(), 0);

  Plain singleton;
  TestFactory plain(&singleton), none(nullptr, true);
  Factory::RegisterFactory(kClass, &plain);
  EXPECT_EQ(Factory::CreateInstanceRef(kClass).get(), &singleton);
  Factory::RegisterFactory(kClass, &none);
  EXPECT_FALSE(Factory::CreateInstanceRef(kClass));
  Factory::UnRegisterFactory(kClass);
  EXPECT_FALSE(Factory::CreateInstanceRef(kClass));
}

TEST(InstanceTable, FirstRegistrationWins) {
  Plain a, b;
  EXPECT_TRUE(InstanceTable::RegisterInstance(kClass, &a));
  EXPECT_FALSE(InstanceTable::RegisterInstance(kClass, &b));
  EXPECT_EQ(InstanceTable::GetInstance(kClass), &a);
  EXPECT_TRUE(InstanceTable::RegisterInstance(kOther, &a));
  EXPECT_FALSE(InstanceTable::RegisterInstance(XUID(7, 7), nullptr));

  EXPECT_FALSE(InstanceTable::UnRegisterInstance(&b));
  EXPECT_TRUE(InstanceTable::UnRegisterInstance(&a));  // both entries
  EXPECT_EQ(InstanceTable::GetInstance(kClass), nullptr);
  EXPECT_EQ(InstanceTable::GetInstance(kOther), nullptr);
  EXPECT_FALSE(InstanceTable::UnRegisterInstance(&a));
}

TEST(SharedResourceMgr, NamesAreTakenOnce) {
  int x = 0, y = 0;
  EXPECT_TRUE(SharedResourceMgr::insert("res.a", &x));
  EXPECT_FALSE(SharedResourceMgr::insert("res.a", &y));
  EXPECT_FALSE(SharedResourceMgr::insert("res.b", nullptr));
  EXPECT_EQ(SharedResourceMgr::find("res.a"), &x);
  EXPECT_EQ(SharedResourceMgr::find("res.b"), nullptr);
  EXPECT_TRUE(SharedResourceMgr::erase("res.a"));
  EXPECT_FALSE(SharedResourceMgr::erase("res.a"));
  EXPECT_TRUE(SharedResourceMgr::insert("res.a", &y));
  EXPECT_TRUE(SharedResourceMgr::erase("res.a"));
}

TEST(LoadLibraryFactory, LoadsARealComponentOnce) {
  // Only this test loads the component; under --gtest_repeat a later round
  // finds it loaded already, and then the entry must not run at all.
  const int expectedCalls = Factory::FindFactory(CitTest::CLSID_Component) ? 0 : 1;
  int entryCalls = 0;
  ASSERT_TRUE(SharedResourceMgr::insert(CitTest::kEntryCallsName, &entryCalls));
  std::atomic<int> loaded{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back(
        [&loaded] { loaded += Factory::LoadLibraryFactory("libCitTestComponent"); });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(loaded, 4);
  EXPECT_TRUE(Factory::LoadLibraryFactory("libCitTestComponent"));
  EXPECT_EQ(Port::SafeRead(entryCalls), expectedCalls);
  SharedResourceMgr::erase(CitTest::kEntryCallsName);

  auto object = Factory::CreateInstanceRef(CitTest::CLSID_Component);
  ASSERT_TRUE(object);
  EXPECT_EQ(RefCount(object.get()), 1);
}

TEST(LoadLibraryFactory, MissingLibraryIsReportedEachTime) {
  Port_MsgCapture capture;
  EXPECT_FALSE(Factory::LoadLibraryFactory("libCitNoSuchComponent"));
  EXPECT_FALSE(
      Factory::LoadLibraryFactory("libCitNoSuchComponent"));  // failures are not remembered
  const auto msgs = capture.messages();
  ASSERT_EQ(msgs.size(), 2u);
  EXPECT_EQ(msgs[0].kind, Port_MsgKind::Error);
  EXPECT_EQ(msgs[0].component, "CitP");
  EXPECT_NE(msgs[0].text.find("libCitNoSuchComponent.so"), std::string::npos) << msgs[0].text;
  EXPECT_NE(msgs[0].text.find(NCD_LIB_DIR), std::string::npos) << msgs[0].text;
}

TEST(LoadLibraryFactory, LibraryWithoutEntryIsReported) {
  Port_MsgCapture capture;
  EXPECT_FALSE(Factory::LoadLibraryFactory("libCitTestNoEntry"));
  ASSERT_EQ(capture.count(Port_MsgKind::Error, "InstFactoryEntry"), 1u);
  EXPECT_EQ(capture.count("libCitTestNoEntry.so"), 1u);
}

TEST(LoadLibraryFactory, SearchPathEndsWithTheFrameworkFolder) {
  {
    ComponentPath path("/nonexistent-a::/nonexistent-b:");
    EXPECT_EQ(Factory::SearchPath(),
              (std::vector<std::string>{"/nonexistent-a", "/nonexistent-b", NCD_LIB_DIR}));
  }
  ComponentPath path(nullptr);
  EXPECT_EQ(Factory::SearchPath(), std::vector<std::string>{NCD_LIB_DIR});
  // Found beside the framework library: the failure is the missing entry.
  Port_MsgCapture capture;
  EXPECT_FALSE(Factory::LoadLibraryFactory("libCitTestNoEntry"));
  EXPECT_EQ(capture.count("has no InstFactoryEntry"), 1u);
}

TEST(FactoryFault, HiddenLibrariesAndRefusedClassesUntilDisarmed) {
  TestFactory factory;
  ASSERT_TRUE(Factory::RegisterFactory(kOther, &factory));
  ASSERT_TRUE(Factory::LoadLibraryFactory("libCitTestComponent"));
  CitP::FactoryFault::HideLibrary("libCitTestComponent");
  CitP::FactoryFault::RefuseClass(kOther);
  {
    Port_MsgCapture capture;
    EXPECT_FALSE(Factory::LoadLibraryFactory("libCitTestComponent"));
    EXPECT_EQ(capture.count(Port_MsgKind::Error, "libCitTestComponent.so not found"), 1u);
  }
  EXPECT_FALSE(Factory::CreateInstanceRef(kOther));
  EXPECT_TRUE(Factory::CreateInstanceRef(CitTest::CLSID_Component));  // only kOther is refused
  CitP::FactoryFault::Disarm();
  EXPECT_TRUE(Factory::LoadLibraryFactory("libCitTestComponent"));
  EXPECT_TRUE(Factory::CreateInstanceRef(kOther));
  EXPECT_EQ(Counted::Live(), 0);
  Factory::UnRegisterFactory(kOther);
}
