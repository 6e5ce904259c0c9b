// Many threads read one freshly loaded view at once: full names are made
// on first use by whichever thread comes first, and every thread must see
// the same answers as a single reader.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DesignTestSupport.h"
#include "Xdm_FullNames.h"

namespace {

using namespace design_test;

// Everything a reader can reach, as text.
std::string Walk(const Xdm_View* view) {
  std::string text;
  for (std::uint32_t id = 0; id < view->GetMaxBlocks(); ++id) {
    const Xdm_Block* block = view->GetBlockByBridgeId(id);
    text += block->GetFullName();
    text += "{" + FullNames(block->GetBlocks()) + "|" + FullNames(block->GetPinItr()) + "|" +
            FullNames(block->GetSignals()) + "}";
  }
  for (const Xdm_Network* net : view->GetNetworkItr()) {
    text += net->GetFullName();
    for (const Xdm_Signal* signal : net->GetSignalItr()) {
      text += "(" + FullNames(signal->GetPinItr()) + ")";
    }
  }
  return text;
}

TEST(XdmConcurrency, ReadersAgreeOnFullNamesAndLists) {
  constexpr int kReaders = 8;
  Loaded demo = Load(DemoPath());
  std::vector<std::string> seen(kReaders);
  std::vector<std::thread> readers;
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back([&, i] { seen[i] = Walk(demo.view); });
  }
  for (std::thread& t : readers)
    t.join();
  const std::string reference = Walk(demo.view);
  EXPECT_NE(reference.find("u_cnt/c0/AFF{|u_cnt/c0/AFF/D u_cnt/c0/AFF/CK"), std::string::npos);
  for (const std::string& s : seen)
    EXPECT_EQ(s, reference);
}

// Threads asking for the same objects' names at once, past the slots the
// first request sized, get one name per object: the first stored, and the
// same pointer every time after, through each growth of the slots.
TEST(XdmConcurrency, FullNamesAreStoredOnceAndSurviveGrowth) {
  constexpr int kThreads = 4;
  constexpr std::uint32_t kIds = 5000;
  Xdm_FullNames names;
  EXPECT_EQ(names.Find(Xdm_FullNames::kPin, 0), nullptr);
  std::vector<std::vector<const char*>> seen(kThreads, std::vector<const char*>(kIds));
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (std::uint32_t id = 0; id < kIds; ++id) {
        const char* found = names.Find(Xdm_FullNames::kPin, id);
        // A count of 16 makes the slots grow nine times on the way.
        seen[t][id] = found ? found
                            : names.Store(Xdm_FullNames::kPin, id, 16,
                                          "p" + std::to_string(id) + "/" + std::to_string(t));
      }
    });
  }
  for (std::thread& t : threads)
    t.join();
  for (std::uint32_t id = 0; id < kIds; ++id) {
    const char* kept = names.Find(Xdm_FullNames::kPin, id);
    ASSERT_NE(kept, nullptr) << id;
    EXPECT_EQ(std::string(kept).rfind("p" + std::to_string(id) + "/", 0), 0u) << kept;
    for (int t = 0; t < kThreads; ++t)
      ASSERT_EQ(seen[t][id], kept) << id;
  }
  // The kinds are apart; a forgotten name is composed again.
  EXPECT_EQ(names.Find(Xdm_FullNames::kSignal, 7), nullptr);
  names.Forget(Xdm_FullNames::kPin, 7);
  EXPECT_EQ(names.Find(Xdm_FullNames::kPin, 7), nullptr);
  EXPECT_STREQ(names.Store(Xdm_FullNames::kPin, 7, 16, "renamed"), "renamed");
  EXPECT_STREQ(names.Store(Xdm_FullNames::kPin, 7, 16, "again"), "renamed");
  EXPECT_NE(names.Find(Xdm_FullNames::kPin, 8), nullptr);
}

}  // namespace
