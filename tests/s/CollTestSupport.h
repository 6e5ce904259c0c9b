// Support for the collectables' tests: designs opened through the manager
// (collectables live only while their design is in client hands), reading
// property values, names and lists as plain C++ values, and the live-object
// counts that every test ends with at zero.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "CitP_Factory.h"
#include "Pds_PdmBlock.h"
#include "SharedNcdTestDesign.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdColl.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_TclSearch.h"
#include "UtilI_TcltaskHelpers.h"
#include "XCad_CadView.h"
#include "Xdm_Network.h"
#include "Xdm_Signal.h"

namespace ncdtest {

using CollPtr = CommonI::RefCountPtr<UtilI::ITclCollectable>;
using ValuePtr = CommonI::RefCountPtr<UtilI::IPropertyValue>;

inline const Port::XUID kRequester{0xc011ec7ab1e5ULL, 0x7e57ULL};

// One design in client hands: loaded and handed out by the manager.
class OpenDesign {
 public:
  explicit OpenDesign(const std::string& path, CommonI::RefCountPtr<CitI::IInterface> owner = NewOwner())
      : m_owner(std::move(owner)) {
    auto* mgr = UtilC::SharedNcd::Mgr::Instance();
    mgr->Load(kRequester, path, m_owner, true);
    m_face = mgr->Get(kRequester, path, m_owner);
    m_design = static_cast<UtilC::SharedNcd::SharedNcd*>(m_face.get());
  }
  ~OpenDesign() { Close(); }
  OpenDesign(const OpenDesign&) = delete;
  OpenDesign& operator=(const OpenDesign&) = delete;

  // Hands the design back (it goes to the manager's cache).
  void Close() {
    m_face.Reset();
    m_design = nullptr;
  }
  UtilC::SharedNcd::SharedNcd& operator*() const { return *m_design; }
  UtilC::SharedNcd::SharedNcd* operator->() const { return m_design; }
  UtilC::SharedNcd::SharedNcd* get() const { return m_design; }
  const CommonI::RefCountPtr<CitI::IInterface>& owner() const { return m_owner; }

  Pds_PdmBlock* Block(const std::string& path) const { return ncdtest::Block(*m_design, path); }
  Xdm_Network* Net(const char* name) const { return ncdtest::Net(*m_design, name); }
  Xdm_Pin* Pin(const std::string& block, const char* name) const { return ncdtest::Pin(*m_design, block, name); }
  Xdm_Signal* Signal(const std::string& block, const char* name) const {
    return ncdtest::Signal(*m_design, block, name);
  }
  CollPtr Coll(const std::string& path) const { return m_design->MakeCollectable(Block(path)); }

 private:
  CommonI::RefCountPtr<CitI::IInterface> m_owner;
  CommonI::RefCountPtr<UtilI::ISharedNcd> m_face;
  UtilC::SharedNcd::SharedNcd* m_design = nullptr;
};

// A property value read back: whether the request succeeded, the value's
// kind, its text form and the object it holds (if any).
struct Value {
  bool found = false;
  std::uint32_t kind = UtilI::kValueNone;
  std::string text;
  CommonI::RefCountPtr<CitI::IInterface> object;
  double number = 0.0;
  bool flag = false;
  std::int32_t integer = 0;

  CollPtr AsColl() const {
    return CollPtr(object ? static_cast<UtilI::ITclCollectable*>(object->QueryInterface(UtilI::IID_ITclCollectable))
                          : nullptr);
  }
};

inline Value Read(const ValuePtr& v) {
  Value out;
  if (!v) return out;
  out.kind = v->GetKind();
  Port::StringBase text;
  if (v->GetText(text)) out.text = text.str();
  v->GetObject(out.object);
  v->GetDouble(out.number);
  v->GetBool(out.flag);
  v->GetInt(out.integer);
  return out;
}

inline Value Get(const CollPtr& coll, const std::string& name) {
  UtilI::IPropertyValue* raw = nullptr;
  const bool found = coll && coll->GetPropertyValue(name, &raw) != 0;
  Value out = Read(ValuePtr::Adopt(raw));
  out.found = found;
  return out;
}

inline std::string Text(const CollPtr& coll, const std::string& name) {
  const Value v = Get(coll, name);
  return v.found ? v.text : "<none>";
}

inline std::string NameOf(const CollPtr& coll) {
  Port::StringBase name;
  return coll && coll->GetName(name) ? name.str() : "<stale>";
}

// The names of a list property's items, in list order.
inline std::vector<std::string> ListNames(const CollPtr& coll, const std::string& name) {
  std::vector<std::string> names;
  const Value v = Get(coll, name);
  auto* list = v.object ? static_cast<UtilI::IObjectList*>(v.object->QueryInterface(UtilI::IID_IObjectList)) : nullptr;
  if (!list) return {"<no list>"};
  for (std::uint64_t i = 0; i < list->GetSize(); ++i) {
    CollPtr item;
    list->GetItem(i, item);
    names.push_back(NameOf(item));
  }
  return names;
}

// The items of a list property.
inline std::vector<CollPtr> ListItems(const CollPtr& coll, const std::string& name) {
  std::vector<CollPtr> items;
  const Value v = Get(coll, name);
  auto* list = v.object ? static_cast<UtilI::IObjectList*>(v.object->QueryInterface(UtilI::IID_IObjectList)) : nullptr;
  for (std::uint64_t i = 0; list && i < list->GetSize(); ++i) {
    items.emplace_back();
    list->GetItem(i, items.back());
  }
  return items;
}

inline std::vector<std::string> PropertyNames(const CollPtr& coll) {
  UtilI::IStringIterator* raw = nullptr;
  EXPECT_EQ(coll->GetPropertyNames(&raw), 1u);
  auto it = CommonI::RefCountPtr<UtilI::IStringIterator>::Adopt(raw);
  std::vector<std::string> names;
  for (; it && !it->IsDone(); it->Next()) names.push_back(it->GetCurrent().str());
  return names;
}

inline std::string TypeName(const CollPtr& coll) {
  Port::StringBase name;
  coll->GetTypeName(name);
  return name.str();
}

inline int RefCount(CitI::IInterface* object) {
  int n = -1;
  CommonI::RefCountOf(object)->GetRefCount(&n);
  return n;
}

// The helper component's live objects of one kind (values, lists, named
// values); property information objects stay with their registries.
inline std::uint64_t LiveHelpers(UtilI::HelperObjectKind kind) {
  CitP::Factory::LoadLibraryFactory(UtilI::kTcltaskHelpersLibrary);
  auto instance = CitP::Factory::CreateInstanceRef(UtilI::CLSID_NamedValueFactory);
  auto* factory =
      instance ? static_cast<UtilI::INamedValueFactory*>(instance->QueryInterface(UtilI::IID_INamedValueFactory))
               : nullptr;
  return factory ? factory->GetLiveCount(kind) : 0;
}

// The search service, and the search context of an owner (opened for it).
inline CommonI::RefCountPtr<UtilI::ITclSearch> SearchService() {
  CitP::Factory::LoadLibraryFactory(UtilI::kTclSearchLibrary);
  auto instance = CitP::Factory::CreateInstanceRef(UtilI::CLSID_TclSearch);
  return CommonI::RefCountPtr<UtilI::ITclSearch>(
      instance ? static_cast<UtilI::ITclSearch*>(instance->QueryInterface(UtilI::IID_ITclSearch)) : nullptr);
}

inline CommonI::RefCountPtr<UtilI::ISearchRequest> OpenContext(const CommonI::RefCountPtr<CitI::IInterface>& owner) {
  CommonI::RefCountPtr<UtilI::ISearchRequest> context;
  if (auto service = SearchService()) service->OpenContext(context, owner);
  return context;
}

// Fixture base: at the end of every test no collectable, value, list or
// named value is left alive, and the manager's cache is emptied.
class CollTest : public ::testing::Test {
 protected:
  void TearDown() override {
    UtilC::SharedNcd::Mgr::Instance()->PurgeUnused();
    CitP::FactoryFault::Disarm();
    if (auto service = SearchService()) {
      EXPECT_EQ(service->GetLiveCount(UtilI::kSearchContexts), 0u);
    }
    EXPECT_EQ(UtilC::SharedNcd::Coll::LiveCount(), 0);
    EXPECT_EQ(LiveHelpers(UtilI::kHelperValues), 0u);
    EXPECT_EQ(LiveHelpers(UtilI::kHelperLists), 0u);
    EXPECT_EQ(LiveHelpers(UtilI::kHelperNamedValues), 0u);
  }
  static std::string Demo() { return std::string(NCD_EXAMPLES) + "/demo.ncd.json"; }
  TempDir dir;
};

}  // namespace ncdtest
