// Test doubles for the search service: collectables over a list of named
// items, their property values, a result list and a search source that
// walks the items the way the design's block search walks blocks. Every
// counted double has a live counter (ncdtest::CountedObject) so that tests
// can see every reference go back.
#pragma once

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "CitP_Factory.h"
#include "CountedObject.h"
#include "UtilI_ITclCollectable.h"
#include "UtilI_TclSearch.h"

namespace tclsearchtest {

using CommonI::RefCountPtr;

// One object a source can find: a name and a full name, either of which
// may be missing.
struct FakeItem {
  std::string name;
  std::string fullName;
  bool hasName = true;
  bool hasFullName = true;
};

// A property value that knows only its text (slot 25).
class FakeValue : public UtilI::IPropertyValue, public ncdtest::CountedObject<FakeValue> {
 public:
  explicit FakeValue(std::string text) : m_text(std::move(text)) {}
  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == UtilI::IID_IPropertyValue) return static_cast<UtilI::IPropertyValue*>(this);
    return CountedObject::QueryInterface(iid);
  }
  CitI::Result GetText(Port::StringBase& out) override {
    out = m_text;
    return 1;
  }
  std::uint32_t GetKind() override { return UtilI::kValueString; }
  CitI::Result IsEmpty() override { return 0; }
  CitI::Result Clear() override { return 0; }
  CitI::Result CopyFrom(IPropertyValue*) override { return 0; }
  CitI::Result SetInt(std::int32_t) override { return 0; }
  CitI::Result GetInt(std::int32_t&) override { return 0; }
  CitI::Result SetDouble(double) override { return 0; }
  CitI::Result GetDouble(double&) override { return 0; }
  CitI::Result SetString(const Port::StringBase&) override { return 0; }
  CitI::Result GetString(Port::StringBase&) override { return 0; }
  CitI::Result SetBool(bool) override { return 0; }
  CitI::Result GetBool(bool&) override { return 0; }
  CitI::Result SetObject(CitI::IInterface*) override { return 0; }
  CitI::Result GetObject(RefCountPtr<CitI::IInterface>&) override { return 0; }
  CitI::Result SetInt64(std::int64_t) override { return 0; }
  CitI::Result GetInt64(std::int64_t&) override { return 0; }
  CitI::Result SetUInt(std::uint32_t) override { return 0; }
  CitI::Result GetUInt(std::uint32_t&) override { return 0; }
  CitI::Result SetStrings(const RefCountPtr<UtilI::IStringContainer>&) override { return 0; }
  CitI::Result GetStrings(RefCountPtr<UtilI::IStringContainer>&) override { return 0; }
  Port::StringBase GetKindName() override { return "string"; }
  CitI::Result Equals(IPropertyValue*) override { return 0; }
  int Dump() override { return 0; }

 private:
  std::string m_text;
};

// The collectable of one item (or of none, as a probe before its first
// object). Only "Full Name" is a property.
class FakeCollectable : public UtilI::ITclCollectable,
                        public ncdtest::CountedObject<FakeCollectable> {
 public:
  explicit FakeCollectable(const FakeItem* item = nullptr) : m_item(item) {}
  void Retarget(const FakeItem* item) { m_item = item; }
  const FakeItem* Item() const { return m_item; }

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == UtilI::IID_ITclCollectable) return static_cast<UtilI::ITclCollectable*>(this);
    return CountedObject::QueryInterface(iid);
  }
  CitI::Result GetName(Port::StringBase& out) override {
    if (!m_item || !m_item->hasName) return 0;
    out = m_item->name;
    return 1;
  }
  CitI::Result GetTypeName(Port::StringBase& out) override {
    out = "fake_item";
    return 1;
  }
  Port::StringBase GetId() override { return m_item ? m_item->name : std::string(); }
  CitI::Result ReservedPredicate() override { return 0; }
  CitI::Result IsStale() override { return m_item ? 0 : 1; }
  CitI::Result GetPropertyValue(const Port::StringBase& name,
                                UtilI::IPropertyValue** value) override {
    if (!value || !m_item || !m_item->hasFullName || name.str() != "Full Name") return 0;
    if (*value) CommonI::RefCountOf(*value)->Release();
    *value = new FakeValue(m_item->fullName);
    return 1;
  }
  CitI::Result GetPropertyNames(UtilI::IStringIterator**) override { return 0; }
  CitI::Result GetPropertyInfo(const Port::StringBase&, UtilI::IPropertyInfo**) override {
    return 0;
  }
  void* ReservedQuery() override { return nullptr; }

 private:
  const FakeItem* m_item;
};

// A result list; holds one reference on every item.
class FakeList : public UtilI::IObjectList, public ncdtest::CountedObject<FakeList> {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == UtilI::IID_IObjectList) return static_cast<UtilI::IObjectList*>(this);
    return CountedObject::QueryInterface(iid);
  }
  std::uint64_t GetSize() override { return m_items.size(); }
  CitI::Result Append(UtilI::ITclCollectable* item) override {
    if (!item) return 0;
    m_items.emplace_back(item);
    return 1;
  }
  CitI::Result GetItem(std::uint64_t index, RefCountPtr<UtilI::ITclCollectable>& out) override {
    out = index < m_items.size() ? m_items[index] : RefCountPtr<UtilI::ITclCollectable>();
    return out ? 1 : 0;
  }
  CitI::Result Clear() override {
    m_items.clear();
    return 1;
  }
  // The names of the listed items, in order.
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& item : m_items) {
      Port::StringBase name;
      item->GetName(name);
      names.push_back(name.str());
    }
    return names;
  }

 private:
  std::vector<RefCountPtr<UtilI::ITclCollectable>> m_items;
};

// Takes over the first reference of a new double through its face `I`
// (the doubles have two IInterface bases, so the face must be named).
template <class I, class T>
RefCountPtr<I> Hold(T* object) {
  return RefCountPtr<I>::Adopt(static_cast<I*>(object));
}

// A counted object that stands for a client owning designs.
class FakeOwner : public ncdtest::CountedObject<FakeOwner> {};

// The service, through the framework as every client reaches it; empty
// when the library or the class is missing.
inline RefCountPtr<UtilI::ITclSearch> SearchService() {
  CitP::Factory::LoadLibraryFactory(UtilI::kTclSearchLibrary);
  RefCountPtr<CitI::IInterface> object = CitP::Factory::CreateInstanceRef(UtilI::CLSID_TclSearch);
  if (!object) return {};
  return RefCountPtr<UtilI::ITclSearch>(
      static_cast<UtilI::ITclSearch*>(object->QueryInterface(UtilI::IID_ITclSearch)));
}

// A search source of one owner over a list of items, searchable as the
// type "fake_item". Like the block search it asks StopRequested before
// every object, presents each object through one re-targeted probe, and
// appends a fresh collectable of every match; an answer of 0 skips the
// object. Not counted (sources never are).
class FakeSource : public UtilI::ITclSearchSource {
 public:
  FakeSource(std::string name, CitI::IInterface* owner, std::vector<FakeItem> items)
      : m_name(std::move(name)), m_owner(owner), m_items(std::move(items)) {}

  // Called with the index of each object before it is presented.
  std::function<void(std::size_t)> beforeMatch;
  // Objects presented to the request by the last searches.
  std::atomic<std::size_t> presented{0};
  std::atomic<int> searches{0};

  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == UtilI::IID_ITclSearchSource || iid == CitI::IID_IInterface) return this;
    return nullptr;
  }
  const std::vector<FakeItem>& Items() const { return m_items; }

  Port::StringBase GetName() override { return m_name; }
  RefCountPtr<UtilI::IStringContainer> GetSearchableTypes() override { return {}; }
  RefCountPtr<UtilI::ITclCollectable> MakeEmptyCollectable(const Port::StringBase&) override {
    return {};
  }
  CitI::Result SearchWithPattern(const RefCountPtr<CitI::IInterface>& owner,
                                 const RefCountPtr<CitI::IInterface>& pattern,
                                 const RefCountPtr<UtilI::IStringContainer>& typeNames,
                                 UtilI::IObjectList* results, void* passThrough) override {
    return Walk(
        owner, typeNames,
        [&](UtilI::ISearchRequest& request, FakeCollectable* probe, bool& matched) {
          return request.MatchPattern(probe, pattern, nullptr, matched, passThrough);
        },
        results);
  }
  CitI::Result SearchWithText(const RefCountPtr<CitI::IInterface>& owner,
                              const Port::StringBase& text,
                              const RefCountPtr<UtilI::IStringContainer>& typeNames, bool flag1,
                              bool flag2, bool flag3, UtilI::IObjectList* results,
                              void* passThrough) override {
    return Walk(
        owner, typeNames,
        [&](UtilI::ISearchRequest& request, FakeCollectable* probe, bool& matched) {
          return request.MatchText(probe, text, nullptr, flag1, flag2, flag3, matched, passThrough);
        },
        results);
  }

 private:
  static bool Lists(UtilI::IStringContainer& names, const char* type) {
    RefCountPtr<UtilI::IStringIterator> it;
    names.CreateIterator(it);
    for (; it && !it->IsDone(); it->Next()) {
      if (it->GetCurrent().str() == type) return true;
    }
    return false;
  }

  template <class Match>
  CitI::Result Walk(const RefCountPtr<CitI::IInterface>& owner,
                    const RefCountPtr<UtilI::IStringContainer>& typeNames, const Match& match,
                    UtilI::IObjectList* results) {
    ++searches;
    if (owner.get() != m_owner) return 0;
    if (!Lists(*typeNames, "fake_item")) return 1;
    RefCountPtr<UtilI::ISearchRequest> request;
    SearchService()->GetContext(request, owner);
    if (!request) return 0;
    auto* probe = new FakeCollectable;
    const auto heldProbe = Hold<UtilI::ITclCollectable>(probe);
    for (std::size_t i = 0; i < m_items.size() && !request->StopRequested(); ++i) {
      if (beforeMatch) beforeMatch(i);
      probe->Retarget(&m_items[i]);
      ++presented;
      bool matched = false;
      if (!match(*request, probe, matched) || !matched) continue;
      results->Append(Hold<UtilI::ITclCollectable>(new FakeCollectable(&m_items[i])).get());
    }
    return 1;
  }

  std::string m_name;
  CitI::IInterface* m_owner;
  std::vector<FakeItem> m_items;
};

}  // namespace tclsearchtest
