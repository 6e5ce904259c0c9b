// The component library loaded by name through the framework, exactly as a
// client of the tool family reaches it.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

#include "CitP_Factory.h"
#include "CommonI_IRefCount.h"
#include "UtilI_ISharedNcdMgr.h"

namespace {

constexpr Port::XUID kMgrClass{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};
constexpr Port::XUID kMgrInterface{0x2f0b0390876a4707ULL, 0x8c8fc34f09a0a798ULL};

class EntryTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_TRUE(CitP::Factory::LoadLibraryFactory("libUtilC_SharedNcd"));
  }
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

// The dynamic symbols the library defines, as `nm -D --defined-only` lists
// them (the names, one per line).
std::string DefinedSymbols(const std::string& path) {
  const std::string command = "nm -D --defined-only --format=just-symbols " + path;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string names;
  char line[512];
  while (pipe && std::fgets(line, sizeof line, pipe.get()))
    names += line;
  return names;
}

TEST_F(EntryTest, LibraryExportsOnlyTheEntry) {
  const std::string path = std::string(NCD_LIB_DIR) + "/libUtilC_SharedNcd.so";
  EXPECT_EQ(DefinedSymbols(path), "InstFactoryEntry\n");
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  ASSERT_NE(handle, nullptr) << dlerror();
  EXPECT_NE(dlsym(handle, "InstFactoryEntry"), nullptr);
  dlclose(handle);
}

// The number of live collectables is the factory's second face: a
// collectable of a design counts while it lives.
TEST_F(EntryTest, TheFactoryCountsLiveCollectables) {
  CitI::IFactory* factory = CitP::Factory::FindFactory(UtilI::CLSID_SharedNcdMgr);
  ASSERT_NE(factory, nullptr);
  auto* live = static_cast<UtilI::ISharedNcdLiveCount*>(
      factory->QueryInterface(UtilI::IID_ISharedNcdLiveCount));
  ASSERT_NE(live, nullptr);
  EXPECT_EQ(live->GetLiveCollectables(), 0u);
  CommonI::RefCountPtr<CitI::IInterface> instance =
      CitP::Factory::CreateInstanceRef(UtilI::CLSID_SharedNcdMgr);
  auto* mgr =
      static_cast<UtilI::ISharedNcdMgr*>(instance->QueryInterface(UtilI::IID_ISharedNcdMgr));
  ASSERT_NE(mgr, nullptr);
  const Port::XUID requester{0xe27e1ULL, 0x1ULL};
  const std::string file = std::string(NCD_TEST_DATA) + "/tiny.ncd.json";
  ASSERT_EQ(mgr->Load(requester, file, {}, true), 1);
  CommonI::RefCountPtr<UtilI::ISharedNcd> design = mgr->Get(requester, file, {});
  ASSERT_TRUE(design);
  {
    auto first = design->MakeCollectable(static_cast<const Pds_PdmBlock*>(nullptr));
    auto second = design->MakeCollectable(static_cast<const Xdm_Network*>(nullptr));
    EXPECT_EQ(live->GetLiveCollectables(), 2u);
  }
  EXPECT_EQ(live->GetLiveCollectables(), 0u);
}

}  // namespace
