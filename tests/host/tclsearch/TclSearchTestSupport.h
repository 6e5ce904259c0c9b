// The fixture of the search service's tests: the service as clients reach
// it, owners, contexts and sources that the test makes, and the check
// that every object of the service and every double is gone afterwards.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "TclSearchFakes.h"
#include "UtilI_VectorHelper.h"

namespace tclsearchtest {

// Items named prefix0 .. prefix<n-1>, full names "top/" + name.
inline std::vector<FakeItem> Items(const std::string& prefix, std::size_t n) {
  std::vector<FakeItem> items(n);
  for (std::size_t i = 0; i < n; ++i) {
    items[i].name = prefix + std::to_string(i);
    items[i].fullName = "top/" + items[i].name;
  }
  return items;
}

inline RefCountPtr<UtilI::IStringContainer> Types(const std::vector<std::string>& names) {
  auto types = UtilI::MakeStringContainer();
  for (const std::string& name : names)
    types->Add(name);
  return types;
}

// A probe collectable over an item of its own.
class Probe {
 public:
  explicit Probe(const char* name, const char* fullName = "") : m_item{name, fullName} {}
  Probe(const Probe&) = delete;
  Probe& operator=(const Probe&) = delete;

  FakeCollectable* get() const { return m_object; }
  // The answer of the context's MatchText for this probe; `matched` gets its flag.
  CitI::Result Match(UtilI::ISearchRequest& context, const char* text, bool regexp, bool nocase,
                     bool fullName, bool& matched) const {
    return context.MatchText(m_object, text, nullptr, regexp, nocase, fullName, matched, nullptr);
  }

 private:
  FakeItem m_item;
  FakeCollectable* m_object = new FakeCollectable(&m_item);
  RefCountPtr<UtilI::ITclCollectable> m_held = Hold<UtilI::ITclCollectable>(m_object);
};

class TclSearchFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    m_service = SearchService();
    ASSERT_TRUE(m_service);
  }

  void TearDown() override {
    for (const auto& owner : m_owners)
      m_service->CloseContext(owner);
    m_owners.clear();
    m_sources.clear();
    EXPECT_EQ(m_service->GetContextCount(), 0u);
    EXPECT_EQ(m_service->GetLiveCount(UtilI::kSearchContexts), 0u);
    EXPECT_EQ(m_service->GetLiveCount(UtilI::kSearchPatterns), 0u);
    EXPECT_EQ(m_service->GetLiveCount(UtilI::kSearchServices), 1u);
    m_service.Reset();
    EXPECT_EQ(FakeCollectable::Live(), 0);
    EXPECT_EQ(FakeValue::Live(), 0);
    EXPECT_EQ(FakeList::Live(), 0);
    EXPECT_EQ(FakeOwner::Live(), 0);
  }

  // A new owner, whose context TearDown closes.
  RefCountPtr<CitI::IInterface> NewOwner() {
    m_owners.push_back(RefCountPtr<CitI::IInterface>::Adopt(new FakeOwner));
    return m_owners.back();
  }

  RefCountPtr<UtilI::ISearchRequest> Open(const RefCountPtr<CitI::IInterface>& owner) {
    RefCountPtr<UtilI::ISearchRequest> context;
    EXPECT_EQ(m_service->OpenContext(context, owner), 1u);
    return context;
  }

  // A source of `owner` registered in its context (the test keeps it).
  FakeSource& AddSource(const RefCountPtr<CitI::IInterface>& owner, const std::string& name,
                        std::vector<FakeItem> items) {
    m_sources.push_back(std::make_unique<FakeSource>(name, owner.get(), std::move(items)));
    RefCountPtr<UtilI::ITclSearchSource> source(m_sources.back().get());
    EXPECT_EQ(Open(owner)->AddSource(source), 1u);
    return *m_sources.back();
  }

  RefCountPtr<UtilI::ITclSearch> m_service;
  std::vector<RefCountPtr<CitI::IInterface>> m_owners;
  std::vector<std::unique_ptr<FakeSource>> m_sources;
};

}  // namespace tclsearchtest
