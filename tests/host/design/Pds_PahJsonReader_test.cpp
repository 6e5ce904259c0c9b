// The token stream under the loader: strings that go through RapidJSON
// (escapes, UTF-8), and tokens that the 64 KiB read buffer cuts in two.
#include <gtest/gtest.h>

#include <string>

#include "DesignTestSupport.h"
#include "Pds_Exception.h"
#include "Rf_Device.h"

namespace {

using namespace design_test;

// Escapes are decoded by RapidJSON into the reader's own copy (it never
// grows a stack of its own from null: clang's undefined-behaviour sanitizer
// saw that on the first escape of a process).
TEST(PdsPahJsonReader, EscapesDecodeInKeysAndValues) {
  TempDir dir;
  const std::string text = R"({"format": "ncd\u002djson", "ver\u0073ion": 1, "part": "p\"q",)"
                           R"( "top": {"name": "t\\op \ud83d\ude00 \u00e9", "level": 0},)"
                           R"( "nets": [{"name": "tab\there"}]})";
  Loaded loaded = Load(dir.Write("escapes.ncd.json", text));
  EXPECT_STREQ(loaded.view->GetBlock()->GetName(), "t\\op \xF0\x9F\x98\x80 \xC3\xA9");
  EXPECT_STREQ(loaded.cad()->GetDevice()->GetName(), "p\"q");
  EXPECT_EQ(Names(loaded.view->GetNetworkItr()), "tab\there");
}

}  // namespace
