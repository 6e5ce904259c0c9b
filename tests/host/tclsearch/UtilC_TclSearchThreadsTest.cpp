// The search service under threads (CI runs it under the thread
// sanitizer): searches on several threads, each through its own context;
// a long search stopped again and again from another thread; one prepared
// regular expression matched on two threads at once; contexts and patterns
// made and dropped meanwhile; a match limit shared by threads matching on
// one context.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "FinishesWithin.h"
#include "TclSearchTestSupport.h"

using namespace tclsearchtest;
using UtilI::ISearchRequest;

namespace {

using TclSearchThreads = TclSearchFixture;

constexpr int kRounds = 20;

std::size_t Search(ISearchRequest& context, const char* text, bool regexp, bool nocase,
                   std::vector<std::string>* names = nullptr) {
  auto* list = new FakeList;
  const auto held = Hold<UtilI::IObjectList>(list);
  context.SearchText(Types({"fake_item"}), text, regexp, nocase, false, list);
  if (names) *names = list->Names();
  return list->GetSize();
}

// Searches its own context, alternating globs and regular expressions.
void Searcher(ISearchRequest& context, std::atomic<int>& wrong) {
  struct Query {
    const char* text;
    bool regexp, nocase;
  };
  // Of n0 .. n1999, each query finds n1, n10-n19, n100-n199 and n1000-n1999.
  const Query queries[] = {{"n1*", false, false}, {"^n1", true, false}, {"^N1", true, true}};
  for (int round = 0; round < kRounds; ++round) {
    for (const Query& q : queries) {
      if (Search(context, q.text, q.regexp, q.nocase) != 1111u) ++wrong;
    }
  }
}

// Runs long searches while another thread keeps stopping them: every
// result is a prefix of the full answer.
void StoppedSearcher(ISearchRequest& context, std::size_t items, std::atomic<bool>& done,
                     std::atomic<int>& wrong) {
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::string> names;
    Search(context, "*", false, false, &names);
    if (names.size() > items) ++wrong;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] != "s" + std::to_string(i)) ++wrong;
    }
  }
  done = true;
}

// Matches names with one prepared regular expression shared with another thread.
void SharedPatternMatcher(ISearchRequest& context, const RefCountPtr<CitI::IInterface>& pattern,
                          std::atomic<int>& wrong) {
  const std::vector<FakeItem> items = Items("p", 500);
  auto* probe = new FakeCollectable;
  const auto held = Hold<UtilI::ITclCollectable>(probe);
  for (int round = 0; round < kRounds; ++round) {
    std::size_t matches = 0;
    for (const FakeItem& item : items) {
      probe->Retarget(&item);
      bool matched = false;
      context.MatchPattern(probe, pattern, nullptr, matched, nullptr);
      matches += matched ? 1 : 0;
    }
    if (matches != 50u) ++wrong;  // the names ending in 7
  }
}

TEST_F(TclSearchThreads, SearchesStopsAndSharedPatternsOnSeveralThreads) {
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;

  std::vector<RefCountPtr<ISearchRequest>> own;
  for (int i = 0; i < 3; ++i) {
    auto owner = NewOwner();
    AddSource(owner, "implemented", Items("n", 2000));
    own.push_back(Open(owner));
  }
  for (auto& context : own)
    threads.emplace_back([&] { Searcher(*context, wrong); });

  auto stoppedOwner = NewOwner();
  AddSource(stoppedOwner, "implemented", Items("s", 20000));
  auto stopped = Open(stoppedOwner);
  std::atomic<bool> done{false};
  threads.emplace_back([&] { StoppedSearcher(*stopped, 20000, done, wrong); });
  threads.emplace_back([&] {
    while (!done) {
      stopped->RequestStop();
      std::this_thread::yield();
    }
  });

  auto shared = Open(NewOwner());
  RefCountPtr<CitI::IInterface> pattern;
  ASSERT_EQ(shared->MakePattern(pattern, "^p[0-9]*7$", true, false, false), 1u);
  for (int i = 0; i < 2; ++i) {
    threads.emplace_back([&] { SharedPatternMatcher(*shared, pattern, wrong); });
  }

  threads.emplace_back([&] {
    for (int round = 0; round < kRounds; ++round) {
      auto owner = RefCountPtr<CitI::IInterface>::Adopt(new FakeOwner);
      auto service = SearchService();
      RefCountPtr<ISearchRequest> context;
      service->OpenContext(context, owner);
      RefCountPtr<CitI::IInterface> made;
      const bool valid = round % 2 == 0;
      if ((context->MakePattern(made, valid ? "^x" : "^x(y", true, false, false) == 1) != valid)
        ++wrong;
      service->CloseContext(owner);
    }
  });

  ncdtest::FinishesWithin("Every search, stop and shared match ending", [&] {
    for (std::thread& t : threads)
      t.join();
  });
  EXPECT_EQ(wrong, 0);
}

// Several threads match on one context under a match limit: exactly the
// limit's number of matches counts, whichever thread makes them, and the
// search then counts as stopped.
TEST_F(TclSearchThreads, MatchLimitHoldsForThreadsMatchingOnOneContext) {
  auto context = Open(NewOwner());
  RefCountPtr<CitI::IInterface> pattern;
  ASSERT_EQ(context->MakePattern(pattern, "p*", false, false, false), 1u);
  context->ResetSearch();
  context->SetMatchLimit(1000);
  const std::vector<FakeItem> items = Items("p", 2000);
  std::atomic<int> matched{0};
  ncdtest::FinishesWithin("Four threads matching 2000 names each on one context", [&] {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
      threads.emplace_back([&] {
        auto* probe = new FakeCollectable;
        const auto held = Hold<UtilI::ITclCollectable>(probe);
        for (const FakeItem& item : items) {
          probe->Retarget(&item);
          bool match = false;
          context->MatchPattern(probe, pattern, nullptr, match, nullptr);
          matched += match ? 1 : 0;
        }
      });
    }
    for (std::thread& t : threads)
      t.join();
  });
  EXPECT_EQ(matched, 1000);
  EXPECT_EQ(context->GetMatchCount(), 1000u);
  EXPECT_EQ(context->StopRequested(), 1u);
}

}  // namespace
