// How the small collectables of the sibling components match property names.
#include <gtest/gtest.h>

#include "Tcltask_CollectableT.h"

using Tcltask::ComparePropertyNames;

namespace {

int Sign(int v) {
  return (v > 0) - (v < 0);
}

TEST(ComparePropertyNames, CaseAndSeparatorRunsDoNotMatter) {
  const struct {
    const char* a;
    const char* b;
    int sign;
  } cases[] = {
      {"Full Name", "full name", 0},
      {"Full Name", "FULL_NAME", 0},
      {"Full Name", "full--name", 0},
      {"Full Name", "Full Name ", 0},
      {"Full Name", "Full \xC3\xA9 Name", 0},  // bytes from 0x80 up are separators too
      {"Full Name", " Full Name", 1},
      {"Full Name", "FullName", -1},
      {"", "   ", 0},
      {"", "a", -1},
      {"a1b", "a_b", -1},
      {"a_b", "aab", -1},  // digits < '_' < letters
      {"Clock Region", "Clock", 1},
      {"IO Standard", "io-standard", 0},
      {nullptr, "", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(ComparePropertyNames(c.a, c.b)), c.sign)
        << '"' << (c.a ? c.a : "null") << "\" vs \"" << c.b << '"';
    EXPECT_EQ(Sign(ComparePropertyNames(c.b, c.a)), -c.sign);
  }
}

}  // namespace
