// The search service's glob matcher answers exactly as Tcl's string match
// does, for chosen and random patterns and names, UTF-8 and bytes that are
// no UTF-8 included; and it answers ASCII names itself.
#include <gtest/gtest.h>
#include <tcl.h>

#include <random>
#include <string>

#include "UtilC_TclSearchMatcher.h"

using UtilC::TclSearch::Glob;
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
  const char* const patterns[] = {"*",
                                  "",
                                  "a*",
                                  "*c1*",
                                  "?",
                                  "a?c",
                                  "\\*",
                                  "a\\?",
                                  "*\\\\",
                                  "\\",
                                  "a\\",
                                  "[ab]*",
                                  "[!a]*",
                                  "[^a]",
                                  "[z-a]",
                                  "*.txt",
                                  "A*",
                                  "*/*",
                                  ".*",
                                  "\xc3\xa9*",
                                  "[]",
                                  "*[]",
                                  "[a-]",
                                  "[a",
                                  "[\\]]",
                                  "[-a]*",
                                  "[A-z]",
                                  "?\xc3\xa9",
                                  "[\xc3\xa9-\xc3\xbf]*",
                                  "*k*",
                                  "[k]",
                                  "*\\[1\\]",
                                  "u[0-9]/*",
                                  "[\xe2\x84\xaa]",
                                  "\xe2\x82\xac*",
                                  "??"};
  const char* const names[] = {"",
                               "a",
                               "abc",
                               "c1",
                               "*",
                               "a?",
                               "\\",
                               "A",
                               "b",
                               "!",
                               "^",
                               "x.txt",
                               "a/b",
                               ".hidden",
                               "\xc3\xa9t\xc3\xa9",
                               "ABC",
                               "_",
                               "]",
                               "-",
                               "r[1]",
                               "u1/c",
                               "\xe2\x84\xaa",
                               "\x80",
                               "\xf0\x9f\x98\x80",
                               "K"};
  for (const char* pattern : patterns) {
    for (const char* name : names)
      ExpectSameAsTcl(pattern, name);
  }
}

// Random patterns and names over characters of every width, the glob's
// special characters, bytes that are no UTF-8 (a lone lead byte, a
// continuation byte, an overlong NUL, a surrogate) and letters that fold
// onto ASCII (KELVIN SIGN onto 'k').
TEST(TclSearchMatcher, RandomGlobsAnswerAsTcl) {
  static const char* const kTokens[] = {"a",
                                        "B",
                                        "k",
                                        "K",
                                        "*",
                                        "?",
                                        "\\",
                                        "[",
                                        "]",
                                        "-",
                                        "!",
                                        "/",
                                        "1",
                                        "_",
                                        "\xc3\xa9",
                                        "\xc3\x89",
                                        "\xe2\x84\xaa",
                                        "\xe2\x82\xac",
                                        "\xf0\x9f\x98\x80",
                                        "\xff",
                                        "\xc3",
                                        "\x80",
                                        "\xc0\x80",
                                        "\xed\xa0\x80"};
  std::mt19937 random(7);
  auto text = [&](std::size_t most, std::size_t tokens) {
    std::string s;
    for (std::size_t n = random() % (most + 1); n > 0; --n)
      s += kTokens[random() % tokens];
    return s;
  };
  for (int i = 0; i < 40000; ++i)
    ExpectSameAsTcl(text(6, std::size(kTokens)), text(8, std::size(kTokens)));
  // Mostly ASCII, the way names of designs are.
  for (int i = 0; i < 20000; ++i)
    ExpectSameAsTcl(text(6, 14), text(10, 16));
}

// Names of ASCII, and names beyond it where the pattern's stars and
// characters decide, are answered without Tcl.
TEST(TclSearchMatcher, AnswersWithoutTcl) {
  const struct {
    const char* pattern;
    bool nocase;
    const char* name;
    bool matches;
  } kCases[] = {
      {"*alu*", false, "u_core3/u_alu/u_alu_s2/lut_12345", true},
      {"*ALU*", true, "u_core3/u_alu/u_alu_s2/lut_12345", true},
      {"u_core3/*/lut_1*", false, "u_core3/u_alu/u_alu_s2/lut_12345", true},
      {"data_205_reg\\[19\\]", false, "data_205_reg[19]", true},
      {"data_205_reg[19]", false, "data_205_reg1", true},
      {"c?[0-9]", false, "c1\xc3\xa9", false},
      {"*c1*", false, "\xc3\xa9t\xc3\xa9/c1", true},
      {"?t?", false, "\xc3\xa9t\xc3\xa9", true},
      {"\xc3\xa9*", true, "\xc3\x89t\xc3\xa9", true},
      {"*k", true, "\xe2\x84\xaa", true},
  };
  for (const auto& c : kCases) {
    const Glob glob(c.pattern, c.nocase);
    EXPECT_EQ(glob.Match(c.name), c.matches ? Glob::Answer::kYes : Glob::Answer::kNo)
        << c.pattern << " " << c.name;
    EXPECT_EQ(c.matches, TclAnswer(c.pattern, c.name, c.nocase)) << c.pattern << " " << c.name;
  }
}

}  // namespace
