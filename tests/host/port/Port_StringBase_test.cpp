// Strings, identifiers and atomic counters.
#include "Port_StringBase.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <thread>
#include <vector>

#include "Port_Atomic.h"
#include "Port_XUID.h"

using Port::StringBase;
using Port::XUID;

TEST(StringBase, ExactCompareIsUnsignedBytewise) {
  EXPECT_LT(StringBase("a").Compare("b"), 0);
  EXPECT_GT(StringBase("b").Compare(StringBase("a")), 0);
  EXPECT_EQ(StringBase("abc").Compare("abc"), 0);
  EXPECT_GT(StringBase("a").Compare("A"), 0);
  EXPECT_LT(StringBase("ab").Compare("abc"), 0);
  EXPECT_GT(StringBase("\xc3\xa9").Compare("z"), 0);  // a signed char compare says < 0
  EXPECT_GT(StringBase("x").Compare(nullptr), 0);
  EXPECT_EQ(StringBase().Compare(nullptr), 0);
}

TEST(StringBase, NoCaseFoldsLettersOnly) {
  EXPECT_EQ(StringBase("NcD_Block").Compare("ncd_BLOCK", StringBase::NoCase), 0);
  EXPECT_LT(StringBase("abC").Compare("ABD", StringBase::NoCase), 0);
  // 'Z' sorts before '[' by byte, 'z' after it: folding goes to lower case.
  EXPECT_LT(StringBase("Z").Compare("[", StringBase::Exact), 0);
  EXPECT_GT(StringBase("Z").Compare("[", StringBase::NoCase), 0);
}

TEST(StringBase, FormatAcceptsUnsignedU) {
  int a = 0, b = 0;
  char pointers[64];
  std::snprintf(pointers, sizeof pointers, "%p%p", static_cast<void*>(&a), static_cast<void*>(&b));
  StringBase s;
  const int n =
      s.Format("%s%U%p%p", "ncd_block", 7u, static_cast<void*>(&a), static_cast<void*>(&b));
  EXPECT_EQ(s.str(), std::string("ncd_block7") + pointers);
  EXPECT_EQ(n, static_cast<int>(s.Length()));
  EXPECT_EQ(StringBase::doFormat("%5U|%-4U|%%U|%U|%d", 42u, 7u, 4294967295u, -3).str(),
            "   42|7   |%U|4294967295|-3");
}

TEST(StringBase, FormatLongTextAndAppend) {
  const std::string longText(1000, 'x');
  EXPECT_EQ(StringBase::doFormat("<%s>", longText.c_str()).str(), "<" + longText + ">");

  StringBase s("a");
  s += StringBase("bc");
  s += "d";
  s += static_cast<const char*>(nullptr);
  s += 'e';
  EXPECT_EQ(s.str(), "abcde");
  EXPECT_FALSE(s.IsEmpty());
  s.Empty();
  EXPECT_TRUE(s.IsEmpty());
  EXPECT_STREQ(s.c_str(), "");
}

// Assigning C text: from elsewhere, from a part of the string itself, null,
// and text longer than the buffer the string had.
TEST(StringBase, AssignsTextFromAnywhere) {
  Port::StringBase s("a name long enough to live on the heap");
  s = s.c_str() + 2;
  EXPECT_EQ(s.str(), "name long enough to live on the heap");
  s = s.c_str();
  EXPECT_EQ(s.str(), "name long enough to live on the heap");
  s = s.c_str() + s.Length();
  EXPECT_EQ(s.str(), "");
  s = "c1";
  EXPECT_EQ(s.str(), "c1");
  s = static_cast<const char*>(nullptr);
  EXPECT_TRUE(s.IsEmpty());
  const std::string longer(100, 'x');
  s = longer.c_str();
  EXPECT_EQ(s.str(), longer);
}

TEST(StringBase, StrstrAcceptsNull) {
  const char* text = "abcabc";
  EXPECT_EQ(Port::strstr(text, "ca"), text + 2);
  EXPECT_EQ(Port::strstr(text, "x"), nullptr);
  EXPECT_EQ(Port::strstr(nullptr, "a"), nullptr);
  EXPECT_EQ(Port::strstr(text, nullptr), nullptr);
}

TEST(XUID, TextRoundTrip) {
  const XUID id(0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL);
  EXPECT_EQ(id.GetValue().str(), "33baceb6-0c26-4ac3-87b2-576238bdb992");
  EXPECT_EQ(XUID::Parse("33BACEB6-0C26-4AC3-87B2-576238BDB992"), id);
  const XUID edge(0x0000000100020003ULL, 0x0004000000000005ULL);
  EXPECT_EQ(edge.GetValue().str(), "00000001-0002-0003-0004-000000000005");
  EXPECT_EQ(XUID::Parse(edge.GetValue().view()), edge);
}

TEST(XUID, NullAndMalformedText) {
  EXPECT_TRUE(XUID().IsNull());
  EXPECT_TRUE(XUID().GetValue().IsEmpty());
  EXPECT_EQ(XUID::Parse("00000000-0000-0000-0000-000000000000"), XUID());
  for (const char* bad : {"", "33baceb6-0c26-4ac3-87b2-576238bdb99",  // 35 characters
                          "33baceb6-0c26-4ac3-87b2-576238bdb9922",    // 37
                          "33baceb60-c26-4ac3-87b2-576238bdb992",     // dash moved
                          "33baceb6-0c26-4ac3-87b2-576238bdb99g",     // not hex
                          "{3baceb6-0c26-4ac3-87b2-576238bdb99}"}) {
    EXPECT_FALSE(XUID::Parse(bad).has_value()) << bad;
  }
}

TEST(XUID, OrderingByFirstThenSecondWord) {
  EXPECT_LT(XUID(1, 0xffffffffffffffffULL), XUID(2, 0));
  EXPECT_LT(XUID(1, 5), XUID(1, 6));
  EXPECT_FALSE(XUID(1, 6) < XUID(1, 5));
  EXPECT_FALSE(XUID(1, 6) < XUID(1, 6));
  EXPECT_NE(XUID(1, 6), XUID(6, 1));
}

TEST(Atomic, ConcurrentStepsAreExactAndDistinct) {
  constexpr int kThreads = 8, kSteps = 5000;
  int counter = 0;
  std::vector<std::vector<int>> seen(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kSteps; ++i)
        Port::SafeIncr(counter);
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(Port::SafeRead(counter), kThreads * kSteps);

  threads.clear();
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < kSteps; ++i)
        seen[t].push_back(Port::SafeDecr(counter));
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(counter, 0);
  std::set<int> all;
  for (const auto& v : seen)
    all.insert(v.begin(), v.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(kThreads * kSteps));  // no result seen twice
  EXPECT_EQ(*all.begin(), 0);
  EXPECT_EQ(*all.rbegin(), kThreads * kSteps - 1);
}
