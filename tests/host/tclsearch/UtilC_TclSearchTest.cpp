// The search service as its clients see it: loaded by name, contexts per
// owner shared by every service instance, sources by name, searches that
// drive a source walking probes, matching with Tcl's glob and regular
// expressions, pattern errors, the match limit and stopping.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "Port_Thr.h"
#include "TclSearchTestSupport.h"

using namespace tclsearchtest;
using UtilI::ISearchRequest;

namespace {

using TclSearchLibrary = TclSearchFixture;
using TclSearchContexts = TclSearchFixture;
using TclSearchSources = TclSearchFixture;
using TclSearchSearch = TclSearchFixture;
using TclSearchMatch = TclSearchFixture;
using TclSearchStop = TclSearchFixture;

int Count(CitI::IInterface* object) {
  int n = -1;
  CommonI::RefCountOf(object)->GetRefCount(&n);
  return n;
}

RefCountPtr<UtilI::ITclSearchSource> AsSource(UtilI::ITclSearchSource& source) {
  return RefCountPtr<UtilI::ITclSearchSource>(&source);
}

// A result list held by the test.
struct Results {
  FakeList* list = new FakeList;
  RefCountPtr<UtilI::IObjectList> held = Hold<UtilI::IObjectList>(list);
};

TEST_F(TclSearchLibrary, LoadsByNameAndCreatesByClassId) {
  EXPECT_TRUE(CitP::Factory::LoadLibraryFactory(UtilI::kTclSearchLibrary));
  RefCountPtr<CitI::IInterface> object = CitP::Factory::CreateInstanceRef(UtilI::CLSID_TclSearch);
  ASSERT_TRUE(object);
  EXPECT_EQ(Count(object.get()), 1);
  EXPECT_NE(object->QueryInterface(UtilI::IID_ITclSearch), nullptr);
  EXPECT_EQ(object->QueryInterface(UtilI::IID_ISearchRequest), nullptr);
  EXPECT_EQ(m_service->GetLiveCount(UtilI::kSearchServices), 2u);
  // The factory makes the service's class only.
  EXPECT_FALSE(CitP::Factory::CreateInstanceRef(UtilI::IID_ITclSearch));
}

TEST_F(TclSearchContexts, OnePerOwnerSharedByEveryServiceInstance) {
  auto a = NewOwner(), b = NewOwner();
  auto other = SearchService();
  ASSERT_NE(other.get(), m_service.get());
  RefCountPtr<ISearchRequest> contextA = Open(a), found;
  EXPECT_EQ(other->GetContext(found, a), 1u);
  EXPECT_EQ(found.get(), contextA.get());
  EXPECT_EQ(other->OpenContext(found, a), 1u);
  EXPECT_EQ(found.get(), contextA.get());
  EXPECT_NE(Open(b).get(), contextA.get());
  EXPECT_EQ(m_service->GetContextCount(), 2u);
  EXPECT_EQ(Count(contextA.get()), 3);  // the registry's, contextA's, found's

  EXPECT_EQ(m_service->OpenContext(found, RefCountPtr<CitI::IInterface>()), 0u);
  EXPECT_FALSE(found);
  auto stranger = NewOwner();
  EXPECT_EQ(m_service->GetContext(found, stranger), 0u);
  EXPECT_FALSE(found);
  EXPECT_EQ(m_service->GetContextCount(), 2u);
}

TEST_F(TclSearchContexts, ClosedContextStaysValidButSearchesNothing) {
  auto owner = NewOwner();
  auto& source = AddSource(owner, "implemented", Items("n", 3));
  RefCountPtr<ISearchRequest> closed = Open(owner), found;
  EXPECT_EQ(m_service->CloseContext(owner), 1u);
  EXPECT_EQ(m_service->CloseContext(owner), 0u);
  EXPECT_EQ(m_service->GetContext(found, owner), 0u);
  EXPECT_EQ(Count(closed.get()), 1);

  Results results;
  EXPECT_EQ(closed->SearchText(Types({"fake_item"}), "*", false, false, false, results.list), 0u);
  EXPECT_EQ(source.searches, 0);
  RefCountPtr<UtilI::ITclSearchSource> kept;
  EXPECT_EQ(closed->FindSource(kept, "implemented"), 0u);
  // Opening again makes a new, empty context.
  auto reopened = Open(owner);
  EXPECT_NE(reopened.get(), closed.get());
  RefCountPtr<UtilI::IStringContainer> names;
  EXPECT_EQ(reopened->GetSourceNames(names), 1u);
  EXPECT_EQ(names->GetSize(), 0u);
}

std::vector<std::string> Names(ISearchRequest& context) {
  RefCountPtr<UtilI::IStringContainer> names;
  EXPECT_EQ(context.GetSourceNames(names), 1u);
  std::vector<std::string> out;
  RefCountPtr<UtilI::IStringIterator> it;
  names->CreateIterator(it);
  for (; !it->IsDone(); it->Next())
    out.push_back(it->GetCurrent().str());
  return out;
}

TEST_F(TclSearchSources, AddFindRemoveByName) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& first = AddSource(owner, "implemented", {});
  auto& second = AddSource(owner, "second", {});
  FakeSource twin("implemented", owner.get(), {});
  FakeSource unnamed("", owner.get(), {});
  EXPECT_EQ(context->AddSource(AsSource(twin)), 0u);
  EXPECT_EQ(context->AddSource(AsSource(first)), 0u);
  EXPECT_EQ(context->AddSource(RefCountPtr<UtilI::ITclSearchSource>()), 0u);
  EXPECT_EQ(context->AddSource(AsSource(unnamed)), 0u);
  EXPECT_EQ(Names(*context), (std::vector<std::string>{"implemented", "second"}));

  RefCountPtr<UtilI::ITclSearchSource> found;
  EXPECT_EQ(context->FindSource(found, "implemented"), 1u);
  EXPECT_EQ(found.get(), &first);
  EXPECT_EQ(context->FindSource(found, "Implemented"), 0u);
  EXPECT_FALSE(found);

  EXPECT_EQ(context->RemoveSource(AsSource(twin)), 0u);
  EXPECT_EQ(context->RemoveSource(AsSource(first)), 1u);
  EXPECT_EQ(context->RemoveSource(AsSource(first)), 0u);
  EXPECT_EQ(context->FindSource(found, "implemented"), 0u);
  EXPECT_EQ(Names(*context), (std::vector<std::string>{"second"}));
  // The name is free again.
  EXPECT_EQ(context->AddSource(AsSource(twin)), 1u);
  EXPECT_EQ(Names(*context), (std::vector<std::string>{"second", "implemented"}));
  EXPECT_EQ(context->RemoveSource(AsSource(twin)), 1u);
  EXPECT_EQ(second.searches, 0);
}

TEST_F(TclSearchSearch, TextAndPatternAskEverySourceWithTheOwner) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& a = AddSource(owner, "a", Items("n", 3));
  auto& b = AddSource(owner, "b", Items("nm", 2));
  {
    Results results;
    EXPECT_EQ(context->SearchText(Types({"fake_item"}), "n?", false, false, false, results.list),
              1u);
    EXPECT_EQ(results.list->Names(), (std::vector<std::string>{"n0", "n1", "n2"}));
    EXPECT_EQ(context->GetMatchCount(), 3u);
    EXPECT_EQ(a.searches + b.searches, 2);
  }
  {
    RefCountPtr<CitI::IInterface> pattern;
    ASSERT_EQ(context->MakePattern(pattern, "^nm|2$", true, false, false), 1u);
    Results results;
    EXPECT_EQ(context->SearchPattern(Types({"fake_item"}), pattern, results.list), 1u);
    EXPECT_EQ(results.list->Names(), (std::vector<std::string>{"n2", "nm0", "nm1"}));
    EXPECT_EQ(context->GetMatchCount(), 3u);
  }
  {
    // A type no source searches: nothing found, nothing failed.
    Results results;
    EXPECT_EQ(context->SearchText(Types({"ncd_pin"}), "*", false, false, false, results.list), 1u);
    EXPECT_EQ(results.list->GetSize(), 0u);
  }
}

TEST_F(TclSearchSearch, SourceOfAnotherOwnerFailsTheSearchButOthersStillRun) {
  auto owner = NewOwner(), other = NewOwner();
  auto context = Open(owner);
  FakeSource foreign("foreign", other.get(), Items("f", 2));
  ASSERT_EQ(context->AddSource(AsSource(foreign)), 1u);
  AddSource(owner, "own", Items("n", 2));
  Results results;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "*", false, false, false, results.list), 0u);
  EXPECT_EQ(results.list->Names(), (std::vector<std::string>{"n0", "n1"}));
  EXPECT_EQ(foreign.searches, 1);
  EXPECT_EQ(foreign.presented, 0u);
  EXPECT_EQ(context->RemoveSource(AsSource(foreign)), 1u);
}

TEST_F(TclSearchSearch, MissingArgumentsAskNoSource) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& source = AddSource(owner, "implemented", Items("n", 2));
  Results results;
  RefCountPtr<CitI::IInterface> pattern;
  ASSERT_EQ(context->MakePattern(pattern, "*", false, false, false), 1u);
  const auto types = Types({"fake_item"});
  const RefCountPtr<UtilI::IStringContainer> none;
  EXPECT_EQ(context->SearchText(none, "*", false, false, false, results.list), 0u);
  EXPECT_EQ(context->SearchText(types, "*", false, false, false, nullptr), 0u);
  EXPECT_EQ(context->SearchPattern(none, pattern, results.list), 0u);
  EXPECT_EQ(context->SearchPattern(types, pattern, nullptr), 0u);
  // Only patterns of MakePattern are patterns.
  EXPECT_EQ(context->SearchPattern(types, owner, results.list), 0u);
  EXPECT_EQ(context->SearchPattern(types, RefCountPtr<CitI::IInterface>(), results.list), 0u);
  EXPECT_NE(context->GetLastError().str().find("no search pattern"), std::string::npos);
  EXPECT_EQ(source.searches, 0);
  EXPECT_EQ(results.list->GetSize(), 0u);
}

struct MatchCase {
  const char* pattern;
  bool regexp, nocase, fullName;
  const char* name;
  const char* fullNameText;
  bool matches;
};

// Tcl's `string match` and `regexp`, chosen and tuned by the three flags.
const MatchCase kMatchCases[] = {
    // glob: the whole name, * ? [] and backslash escapes
    {"blk_*", false, false, false, "blk_12", "top/blk_12", true},
    {"blk_*", false, false, false, "top_blk_12", "top/blk_12", false},
    {"blk_?", false, false, false, "blk_1", "", true},
    {"blk_?", false, false, false, "blk_12", "", false},
    {"[a-c]x", false, false, false, "bx", "", true},
    {"[a-c]x", false, false, false, "dx", "", false},
    {"blk\\*", false, false, false, "blk*", "", true},
    {"blk\\*", false, false, false, "blk1", "", false},
    {"", false, false, false, "", "", true},
    {"", false, false, false, "a", "", false},
    {"BLK*", false, false, false, "blk_1", "", false},
    {"BLK*", false, true, false, "blk_1", "", true},
    {"ÄB*", false, true, false, "äbc", "", true},
    {"ÄB*", false, false, false, "äbc", "", false},
    // regular expressions: anywhere unless anchored, advanced syntax
    {"lk_1", true, false, false, "blk_12", "", true},
    {"^lk", true, false, false, "blk", "", false},
    {"^blk_[0-9]+$", true, false, false, "blk_12", "", true},
    {"^blk_[0-9]+$", true, false, false, "blk_12a", "", false},
    {"\\d{2}", true, false, false, "x12", "", true},
    {"\\d{2}", true, false, false, "x1y2", "", false},
    {"(a)\\1", true, false, false, "xaay", "", true},
    {"(a)\\1", true, false, false, "xaby", "", false},
    {"BLK", true, false, false, "blk", "", false},
    {"BLK", true, true, false, "blk", "", true},
    {"", true, false, false, "anything", "", true},
    // the full hierarchical name instead of the name
    {"top/*/blk_1", false, false, true, "blk_1", "top/u1/blk_1", true},
    {"top/*/blk_1", false, false, false, "blk_1", "top/u1/blk_1", false},
    {"^TOP/U1/", true, true, true, "blk_1", "top/u1/blk_1", true},
    {"^blk", true, false, true, "blk_1", "top/u1/blk_1", false},
};

TEST_F(TclSearchMatch, TextAndPreparedPatternsFollowTclsMatchers) {
  auto context = Open(NewOwner());
  for (const MatchCase& c : kMatchCases) {
    SCOPED_TRACE(std::string(c.pattern) + (c.regexp ? " regexp" : " glob") +
                 (c.nocase ? " nocase" : "") + (c.fullName ? " fullname" : "") + " on " + c.name);
    const Probe probe(c.name, c.fullNameText);
    bool matched = !c.matches;
    EXPECT_EQ(probe.Match(*context, c.pattern, c.regexp, c.nocase, c.fullName, matched), 1u);
    EXPECT_EQ(matched, c.matches);

    RefCountPtr<CitI::IInterface> pattern;
    ASSERT_EQ(context->MakePattern(pattern, c.pattern, c.regexp, c.nocase, c.fullName), 1u);
    matched = !c.matches;
    EXPECT_EQ(context->MatchPattern(probe.get(), pattern, nullptr, matched, nullptr), 1u);
    EXPECT_EQ(matched, c.matches);
    auto* prepared =
        static_cast<UtilI::ISearchPattern*>(pattern->QueryInterface(UtilI::IID_ISearchPattern));
    ASSERT_NE(prepared, nullptr);
    EXPECT_EQ(prepared->GetText().str(), c.pattern);
    EXPECT_EQ(prepared->IsRegexp(), c.regexp ? 1u : 0u);
    EXPECT_EQ(prepared->IsNoCase(), c.nocase ? 1u : 0u);
    EXPECT_EQ(prepared->IsFullName(), c.fullName ? 1u : 0u);
  }
  EXPECT_EQ(context->GetLastError().str(), "");
}

TEST_F(TclSearchMatch, TextPatternFollowsChangesOfTextAndFlags) {
  auto context = Open(NewOwner());
  const Probe probe("b1");
  auto match = [&](const char* text, bool regexp, bool nocase) {
    bool matched = false;
    probe.Match(*context, text, regexp, nocase, false, matched);
    return matched;
  };
  EXPECT_FALSE(match("B*", false, false));
  EXPECT_TRUE(match("B*", false, true));
  EXPECT_FALSE(match("B*", false, false));
  EXPECT_TRUE(match("b*", false, false));
  EXPECT_FALSE(match("c*", false, false));
  EXPECT_TRUE(match("c*", true, false));  // "c*" as an expression matches the empty string
  EXPECT_FALSE(match("^c", true, false));
}

TEST_F(TclSearchMatch, ProbeWithoutNameIsAbandoned) {
  auto owner = NewOwner();
  auto context = Open(owner);
  std::vector<FakeItem> items = Items("n", 3);
  items[1].hasName = false;
  items[2].hasFullName = false;
  auto& source = AddSource(owner, "implemented", items);

  bool matched = true;
  EXPECT_EQ(context->MatchText(nullptr, "*", nullptr, false, false, false, matched, nullptr), 0u);
  EXPECT_FALSE(matched);
  for (bool fullName : {false, true}) {
    Results results;
    EXPECT_EQ(context->SearchText(Types({"fake_item"}), "*", false, false, fullName, results.list),
              1u);
    const std::vector<std::string> expected =
        fullName ? std::vector<std::string>{"n0", ""} : std::vector<std::string>{"n0", "n2"};
    EXPECT_EQ(results.list->Names(), expected);
    EXPECT_EQ(context->GetMatchCount(), 2u);
    EXPECT_EQ(source.presented, fullName ? 6u : 3u);
  }
}

TEST_F(TclSearchMatch, InvalidRegexpIsRefusedWithTclsMessage) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& source = AddSource(owner, "implemented", Items("n", 3));
  const std::string message =
      "couldn't compile regular expression pattern: parentheses () not balanced";

  RefCountPtr<CitI::IInterface> pattern;
  EXPECT_EQ(context->MakePattern(pattern, "a(b", true, false, false), 0u);
  EXPECT_FALSE(pattern);
  EXPECT_EQ(context->GetLastError().str(), message);
  EXPECT_EQ(context->MakePattern(pattern, "a(b", false, false, false), 1u);  // a fine glob
  EXPECT_EQ(context->GetLastError().str(), "");

  Results results;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "n(", true, false, false, results.list), 0u);
  EXPECT_EQ(context->GetLastError().str(), message);
  EXPECT_EQ(source.searches, 0);

  const Probe probe("a(b");
  bool matched = true;
  EXPECT_EQ(probe.Match(*context, "a(b", true, false, false, matched), 0u);
  EXPECT_FALSE(matched);
  EXPECT_EQ(probe.Match(*context, "a(b", false, false, false, matched), 1u);
  EXPECT_TRUE(matched);
}

TEST_F(TclSearchMatch, RegexpWithoutACompilingThreadIsRefused) {
  Port_ThrFaultScope faults;
  auto context = Open(NewOwner());
  Port_ThrFault::Fail(Port_ThrFault::Op::Create, Port_ThrException::CreateFailed);
  RefCountPtr<CitI::IInterface> pattern;
  EXPECT_EQ(context->MakePattern(pattern, "^a", true, false, false), 0u);
  EXPECT_EQ(context->GetLastError().str(),
            "cannot compile the regular expression: no thread to compile it on");
  EXPECT_EQ(context->MakePattern(pattern, "^a", true, false, false), 1u);
}

TEST_F(TclSearchStop, MatchLimitEndsTheSearch) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& source = AddSource(owner, "implemented", Items("n", 100));
  ASSERT_EQ(context->SetMatchLimit(5), 1u);
  for (int round = 0; round < 2; ++round) {
    Results results;
    EXPECT_EQ(context->SearchText(Types({"fake_item"}), "n*", false, false, false, results.list),
              1u);
    EXPECT_EQ(results.list->Names(), (std::vector<std::string>{"n0", "n1", "n2", "n3", "n4"}));
    EXPECT_EQ(context->GetMatchCount(), 5u);
    EXPECT_EQ(context->StopRequested(), 1u);
  }
  EXPECT_EQ(source.presented, 10u);

  // A walk that does not ask StopRequested still gets no sixth match.
  const Probe probe("n99");
  bool matched = true;
  EXPECT_EQ(probe.Match(*context, "n*", false, false, false, matched), 0u);
  EXPECT_FALSE(matched);
  EXPECT_EQ(context->GetMatchCount(), 5u);

  ASSERT_EQ(context->SetMatchLimit(0), 1u);
  Results all;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "n*", false, false, false, all.list), 1u);
  EXPECT_EQ(all.list->GetSize(), 100u);
  EXPECT_EQ(context->StopRequested(), 0u);
}

TEST_F(TclSearchStop, RequestStopEndsTheWalkAtTheNextObject) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& source = AddSource(owner, "implemented", Items("n", 1000));
  source.beforeMatch = [&](std::size_t i) {
    if (i == 10) context->RequestStop();
  };
  Results results;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "*", false, false, false, results.list), 1u);
  EXPECT_EQ(results.list->GetSize(), 10u);
  EXPECT_EQ(source.presented, 11u);
  EXPECT_EQ(context->StopRequested(), 1u);

  // The next search starts afresh.
  source.beforeMatch = nullptr;
  Results again;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "*", false, false, false, again.list), 1u);
  EXPECT_EQ(again.list->GetSize(), 1000u);
}

TEST_F(TclSearchStop, RequestStopFromAnotherThread) {
  auto owner = NewOwner();
  auto context = Open(owner);
  auto& source = AddSource(owner, "implemented", Items("n", 100000));
  AddSource(owner, "later", Items("m", 10));
  std::atomic<bool> reached{false};
  source.beforeMatch = [&](std::size_t i) {
    if (i != 1000) return;
    reached = true;
    while (!context->StopRequested())
      std::this_thread::yield();
  };
  std::thread stopper([&] {
    while (!reached)
      std::this_thread::yield();
    context->RequestStop();
  });
  Results results;
  EXPECT_EQ(context->SearchText(Types({"fake_item"}), "^n", true, false, false, results.list), 1u);
  reached = true;  // lets the stopper end even when the walk never got there
  stopper.join();
  EXPECT_EQ(results.list->GetSize(), 1000u);
  EXPECT_EQ(source.presented, 1001u);
  EXPECT_EQ(m_sources.back()->searches, 0);  // the stopped search asks no further source
}

}  // namespace
