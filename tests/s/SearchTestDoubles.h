// Test doubles for the searches: a search request that decides by the
// probe's name and records what it was shown, and a result list.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "CollTestSupport.h"
#include "UtilI_TclSearch.h"

namespace ncdtest {

// Answers for each probe what `decide` says: (go on?, matched?). Counts
// its calls; StopRequested answers true from the `stopAfter`-th question on.
class FakeRequest : public UtilI::ISearchRequest {
 public:
  struct Answer {
    CitI::Result goOn = 1;
    bool matched = true;
  };
  std::function<Answer(const std::string& name)> decide = [](const std::string&) {
    return Answer{};
  };
  int stopAfter = -1;  // never
  std::vector<std::string> shown;
  std::vector<UtilI::ITclCollectable*> probes;
  std::vector<int> probeCounts;  // the probe's references during each call
  int stopQuestions = 0;

  void* QueryInterface(const Port::XUID& iid) override {
    return iid == UtilI::IID_ISearchRequest || iid == CitI::IID_IInterface ? this : nullptr;
  }
  CitI::Result AddSource(const CommonI::RefCountPtr<UtilI::ITclSearchSource>&) override {
    return 0;
  }
  CitI::Result RemoveSource(const CommonI::RefCountPtr<UtilI::ITclSearchSource>&) override {
    return 0;
  }
  CitI::Result FindSource(CommonI::RefCountPtr<UtilI::ITclSearchSource>&,
                          const Port::StringBase&) override {
    return 0;
  }
  CitI::Result GetSourceNames(CommonI::RefCountPtr<UtilI::IStringContainer>&) override { return 0; }
  CitI::Result SearchText(const CommonI::RefCountPtr<UtilI::IStringContainer>&,
                          const Port::StringBase&, bool, bool, bool, UtilI::IObjectList*) override {
    return 0;
  }
  CitI::Result SearchPattern(const CommonI::RefCountPtr<UtilI::IStringContainer>&,
                             const CommonI::RefCountPtr<CitI::IInterface>&,
                             UtilI::IObjectList*) override {
    return 0;
  }
  CitI::Result MakePattern(CommonI::RefCountPtr<CitI::IInterface>&, const Port::StringBase&, bool,
                           bool, bool) override {
    return 0;
  }
  Port::StringBase GetLastError() override { return {}; }
  CitI::Result SetMatchLimit(std::uint64_t) override { return 1; }
  CitI::Result MatchPattern(UtilI::ITclCollectable* probe,
                            const CommonI::RefCountPtr<CitI::IInterface>&, UtilI::IStringContainer*,
                            bool& matched, void*) override {
    return Match(probe, matched);
  }
  CitI::Result MatchText(UtilI::ITclCollectable* probe, const Port::StringBase&,
                         UtilI::IStringContainer* strings, bool, bool, bool, bool& matched,
                         void*) override {
    EXPECT_NE(strings, nullptr);
    return Match(probe, matched);
  }
  CitI::Result RequestStop() override { return 1; }
  CitI::Result StopRequested() override {
    return stopAfter >= 0 && stopQuestions++ >= stopAfter ? 1 : 0;
  }
  std::uint64_t GetMatchCount() override { return 0; }
  CitI::Result ResetSearch() override { return 1; }

 private:
  CitI::Result Match(UtilI::ITclCollectable* probe, bool& matched) {
    probes.push_back(probe);
    int count = 0;
    CommonI::RefCountOf(probe)->GetRefCount(&count);
    probeCounts.push_back(count);
    const std::string name = NameOf(CollPtr(probe));
    shown.push_back(name);
    const Answer answer = decide(name);
    matched = answer.matched;
    return answer.goOn;
  }
};

// A result list keeping its items.
class FakeList : public UtilI::IObjectList {
 public:
  std::vector<CollPtr> items;
  void* QueryInterface(const Port::XUID& iid) override {
    return iid == UtilI::IID_IObjectList || iid == CitI::IID_IInterface ? this : nullptr;
  }
  std::uint64_t GetSize() override { return items.size(); }
  CitI::Result Append(UtilI::ITclCollectable* item) override {
    items.emplace_back(item);
    return 1;
  }
  CitI::Result GetItem(std::uint64_t index, CollPtr& out) override {
    out = index < items.size() ? items[index] : CollPtr();
    return index < items.size();
  }
  CitI::Result Clear() override {
    items.clear();
    return 1;
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const CollPtr& item : items)
      names.push_back(NameOf(item));
    return names;
  }
};

}  // namespace ncdtest
