// The search service's glob matcher answers exactly as Tcl's string match
// does, whichever engine it picks for a pattern and a name.
#include <gtest/gtest.h>
#include <tcl.h>

#include <clocale>
#include <random>
#include <string>

#include "UtilC_TclSearchMatcher.h"

using UtilC::TclSearch::Matcher;

namespace {

bool TclAnswer(const std::string& pattern, const std::string& name, bool nocase) {
  return Tcl_StringCaseMatch(name.c_str(), pattern.c_str(), nocase ? TCL_MATCH_NOCASE : 0) != 0;
}

void ExpectSameAsTcl(const std::string& pattern, const std::string& name) {
  for (bool nocase : {false, true}) {
    std::string error;
    auto matcher = Matcher::Make(pattern, false, nocase, error);
    ASSERT_TRUE(matcher) << error;
    EXPECT_EQ(matcher->Matches(name.c_str()), TclAnswer(pattern, name, nocase))
        << "pattern '" << pattern << "' name '" << name << "'" << (nocase ? " nocase" : "");
  }
}

TEST(TclSearchMatcher, ChosenCasesAnswerAsTcl) {
  const char* const patterns[] = {"*",     "",      "a*", "*c1*", "?",     "a?c",      "\\*",
                                  "a\\?",  "*\\\\", "\\", "a\\",  "[ab]*", "[!a]*",    "[^a]",
                                  "[z-a]", "*.txt", "A*", "*/*",  ".*",    "\xc3\xa9*"};
  const char* const names[] = {"",   "a",     "abc", "c1",      "*",
                               "a?", "\\",    "A",   "b",       "!",
                               "^",  "x.txt", "a/b", ".hidden", "\xc3\xa9t\xc3\xa9",
                               "ABC"};
  for (const char* pattern : patterns) {
    for (const char* name : names)
      ExpectSameAsTcl(pattern, name);
  }
}

TEST(TclSearchMatcher, RandomGlobsAnswerAsTcl) {
  static const char kAlphabet[] = {'a', 'B', '*', '?', '\\', '[', ']', '-', '!', '^', '.', '/'};
  std::mt19937 random(7);
  auto text = [&](std::size_t most) {
    std::string s;
    for (std::size_t n = random() % (most + 1); n > 0; --n)
      s += kAlphabet[random() % sizeof kAlphabet];
    return s;
  };
  for (int i = 0; i < 20000; ++i)
    ExpectSameAsTcl(text(6), text(8));
}

// Globs of stars and ASCII characters go to the C library's matcher for
// every name, valid UTF-8 or not; the answers must stay Tcl's in the C and
// the UTF-8 locales, and folding case (which Unicode does onto ASCII
// letters: KELVIN SIGN) stays Tcl's.
TEST(TclSearchMatcher, StarGlobsOnNamesBeyondAsciiAnswerAsTcl) {
  static const char* const kTokens[] = {
      "a", "K", "k", "c1", "*", "?", "\\*", "\xc3\xa9", "\xe2\x84\xaa", "\xff", "\xc3"};
  std::mt19937 random(11);
  auto text = [&](std::size_t most, bool patternTokens) {
    std::string s;
    for (std::size_t n = random() % (most + 1); n > 0; --n) {
      const char* token = kTokens[random() % (patternTokens ? 7 : std::size(kTokens))];
      s += token;
    }
    return s;
  };
  const std::string before = std::setlocale(LC_CTYPE, nullptr);
  for (const char* locale : {"C", "C.UTF-8"}) {
    if (!std::setlocale(LC_CTYPE, locale)) continue;
    for (int i = 0; i < 5000; ++i)
      ExpectSameAsTcl(text(4, true), text(6, false));
    for (const char* name : {"\xe2\x84\xaa", "c1\xc3\xa9",
                             "\xff"
                             "c1",
                             "\xc3"
                             "c1"
                             "\xc3"}) {
      for (const char* pattern : {"*k*", "*K*", "*c1*", "*\xc3*", "c1*", "*"})
        ExpectSameAsTcl(pattern, name);
    }
  }
  std::setlocale(LC_CTYPE, before.c_str());
}

}  // namespace
