// The token stream under the loader: strings that go through RapidJSON
// (escapes, UTF-8), and tokens that the 64 KiB read buffer cuts in two.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "DesignTestSupport.h"
#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
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

namespace {

// A design of `nets` nets, each with a signal in the top block: long enough
// for many buffer fills and for every finishing step to poll.
std::string ManyNets(int nets) {
  std::string text = R"({"format": "ncd-json", "version": 1, "part": "p", "nets": [)";
  for (int i = 0; i < nets; ++i)
    text += (i ? ", " : "") + std::string(R"({"name": "net_)") + std::to_string(i) + "\"}";
  text += R"(], "top": {"name": "t", "level": 0, "signals": [)";
  for (int i = 0; i < nets; ++i) {
    text += (i ? ", " : "") + std::string(R"({"name": "s)") + std::to_string(i) +
            R"(", "net": "net_)" + std::to_string(i) + "\"}";
  }
  return text + "]}}";
}

// The stop test answers true at its g_stopAt-th question (never for 0).
int g_asked = 0;
int g_stopAt = 0;
bool StopAtNthQuestion() {
  return ++g_asked == g_stopAt;
}

std::string LoadStoppingAt(const std::string& path, int stopAt) {
  g_asked = 0;
  g_stopAt = stopAt;
  try {
    Pds_PahJsonLoader loader(path, &StopAtNthQuestion);
    loader.Load();
  } catch (const Pds_Exception& e) {
    return e.what();
  }
  return "(loaded)";
}

// Wherever the reader or the finishing steps ask, a stop ends the load at
// once with the cancellation, and everything read so far is freed (the
// address sanitizer build checks that).
TEST(PdsPahJsonReaderStop, EveryQuestionCanEndTheLoad) {
  TempDir dir;
  const std::string path = dir.Write("many.ncd.json", ManyNets(10000));
  ASSERT_EQ(LoadStoppingAt(path, 0), "(loaded)");
  const int questions = g_asked;
  // One per 64 KiB read at least, and some while finishing.
  const auto fills = static_cast<int>(std::filesystem::file_size(path) / (64 * 1024));
  EXPECT_GT(questions, fills + 4);
  for (int n = 1; n <= questions; ++n) {
    SCOPED_TRACE(n);
    EXPECT_EQ(LoadStoppingAt(path, n), path + ": reading cancelled");
    EXPECT_EQ(g_asked, n);
  }
}

// A FIFO without a writer would block a read forever; devices and
// directories are refused as well, at once.
TEST(PdsPahJsonReaderStop, OnlyRegularFilesAreOpened) {
  TempDir dir;
  const std::string fifo = dir.Path("fifo.ncd.json");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  auto refusal = [](const std::string& path) {
    try {
      Load(path);
    } catch (const Pds_Exception& e) {
      return std::string(e.what());
    }
    return std::string("(loaded)");
  };
  EXPECT_EQ(refusal(fifo), fifo + ": cannot open design file: not a regular design file");
  EXPECT_EQ(refusal("/dev/null"), "/dev/null: cannot open design file: not a regular design file");
  EXPECT_EQ(refusal(dir.Path("")), dir.Path("") + ": cannot open design file: Is a directory");
}

}  // namespace
