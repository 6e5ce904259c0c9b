// The component library loaded by name through the framework, exactly as a
// client of the tool family reaches it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>

#include "CitP_Factory.h"
#include "CommonI_IRefCount.h"

namespace {

constexpr Port::XUID kMgrClass{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};
constexpr Port::XUID kMgrInterface{0x2f0b0390876a4707ULL, 0x8c8fc34f09a0a798ULL};

class EntryTest : public ::testing::Test {
protected:
  static void SetUpTestSuite() { ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd")); }
};

TEST_F(EntryTest, FactoryIsRegisteredForTheManagerClassOnly) {
  CitI::IFactory* factory = CitP::Factory::FindFactory(kMgrClass);
  ASSERT_NE(factory, nullptr);
  EXPECT_EQ(factory->QueryInterface(CitI::IID_IFactory), static_cast<void*>(factory));
  EXPECT_EQ(factory->QueryInterface(CitI::IID_IInterface), static_cast<void*>(factory));
  EXPECT_EQ(factory->QueryInterface(kMgrInterface), nullptr);
  EXPECT_EQ(factory->QueryInterface(CommonI::IID_IRefCount), nullptr);

  // Any other class identifier creates nothing, not even by one word.
  EXPECT_EQ(factory->CreateInstance(Port::XUID(kMgrClass.First(), 0)), nullptr);
  EXPECT_EQ(factory->CreateInstance(Port::XUID(0, kMgrClass.Second())), nullptr);
  EXPECT_EQ(factory->CreateInstance(kMgrInterface), nullptr);
}

TEST_F(EntryTest, EveryCreationAnswersTheOneRegisteredManager) {
  CommonI::RefCountPtr<CitI::IInterface> first = CitP::Factory::CreateInstanceRef(kMgrClass);
  CommonI::RefCountPtr<CitI::IInterface> second = CitP::Factory::CreateInstanceRef(kMgrClass);
  ASSERT_TRUE(first);
  EXPECT_EQ(first.get(), second.get());
  EXPECT_EQ(CitP::InstanceTable::GetInstance(kMgrClass), first.get());
  // The manager is not counted: asking for a counting face answers nothing.
  EXPECT_EQ(first->QueryInterface(CommonI::IID_IRefCount), nullptr);
  EXPECT_EQ(first->QueryInterface(CitI::IID_IInterface), static_cast<void*>(first.get()));
}

TEST_F(EntryTest, LoadingTwiceKeepsTheFirstFactory) {
  CitI::IFactory* factory = CitP::Factory::FindFactory(kMgrClass);
  EXPECT_TRUE(CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd"));
  EXPECT_EQ(CitP::Factory::FindFactory(kMgrClass), factory);
}

TEST_F(EntryTest, LibraryExportsOnlyTheEntry) {
  std::string path = std::string(NCD_LIB_DIR) + "/libUtilC_SharedNcd.so";
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr) << dlerror();
  EXPECT_NE(dlsym(handle, "InstFactoryEntry"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN5UtilC9SharedNcd3Mgr8InstanceEv"), nullptr);
  EXPECT_EQ(dlsym(handle, "_ZN5UtilC9SharedNcd3Mgr10s_instanceE"), nullptr);
  dlclose(handle);
}

}  // namespace
