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
#include "Xdm_ViewStore.h"

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

// Columns count characters: multi-byte UTF-8 text before an error on its
// line moves the column by one per character, not per byte.
TEST(PdsPahJsonReader, ColumnsCountCharactersNotBytes) {
  TempDir dir;
  // Line 2: ` "nets": [{"name": "` (20 characters), then 3 characters in 8
  // bytes, then `", `: the key starts at column 27 (at byte 32).
  const std::string head =
      "{\"format\": \"ncd-json\", \"version\": 1, \"part\": \"p\",\n"
      " \"nets\": [{\"name\": \"\xC3\xB1\xC3\xA9\xF0\x9F\x98\x80\", ";
  const std::string key = dir.Write("key.ncd.json", head + "\"typ\": \"x\"}]}");
  EXPECT_EQ(Refusal(key), key + ":2:27: unknown key 'typ' in net");
  // The same inside a string RapidJSON reads: a bad byte after two more.
  const std::string bad = dir.Write("bad.ncd.json", head + "\"type\": \"\xC3\xB1\xC3\xB1\xFF\"}]}");
  EXPECT_EQ(Refusal(bad), bad + ":2:38: invalid encoding in string");
}

// ---- tokens cut by the end of the 64 KiB read buffer

constexpr std::size_t kBuffer = 64 * 1024;

// "<line>:<column>" of byte `offset` of `text` (columns count characters).
std::string LineColumn(const std::string& text, std::size_t offset) {
  int line = 1, column = 1;
  for (std::size_t i = 0; i < offset; ++i) {
    if (text[i] == '\n') {
      line += 1;
      column = 1;
    } else if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
      column += 1;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

// `head`, white space (with line breaks), then `tail` placed so that its
// byte `cut` is the first byte of the second buffer.
std::string CutAt(const std::string& head, const std::string& tail, std::size_t cut) {
  std::string pad;
  while (head.size() + pad.size() + 41 <= kBuffer - cut)
    pad += "\n" + std::string(40, ' ');
  pad += std::string(kBuffer - cut - head.size() - pad.size(), ' ');
  return head + pad + tail;
}

const std::string kCutHead = R"({"format": "ncd-json", "version": 1, "part": "p", )";
// Every kind of token: keys, strings read in place and by RapidJSON
// (escapes, UTF-8), integers of both kinds, true and false, structure.
const std::string kCutTail =
    R"("nets": [{"name": "n\u0065t", "delay": -123456789, "delay_min": 12345678,)"
    R"( "routable": false, "master": false}, {"name": "caf)"
    "\xC3\xA9"
    R"(", "routable": true}],)"
    R"( "top": {"name": "top", "level": 0, "signals": [{"name": "s", "net": "net"}]}})";

TEST(PdsPahJsonReaderBuffer, EveryTokenCutAtTheBufferEndReadsTheSame) {
  TempDir dir;
  std::string wrong;
  for (std::size_t cut = 0; cut <= kCutTail.size(); ++cut) {
    const std::string path = dir.Write("cut.ncd.json", CutAt(kCutHead, kCutTail, cut));
    std::string got;
    try {
      Loaded loaded = Load(path);
      Xdm_View* v = loaded.view;
      got = Names(v->GetNetworkItr()) + "|" + FullNames(NetNamed(v, "net")->GetSignalItr()) + "|" +
            v->GetBlock()->GetName();
      const Xdm_NetworkFields& f = Xdm_Access::F(*NetNamed(v, "net"));
      got += "|" + std::to_string(f.delay) + "|" + std::to_string(f.routable) + "|" +
             std::to_string(Xdm_Access::F(*NetNamed(v, "caf\xC3\xA9")).routable);
    } catch (const std::exception& e) {
      got = e.what();
    }
    if (got != "net caf\xC3\xA9|s|top|-123456789|0|1")
      wrong += std::to_string(cut) + ": " + got + "\n";
  }
  EXPECT_EQ(wrong, "");
}

// An error whose token the buffer's end cuts keeps its line and column.
TEST(PdsPahJsonReaderBuffer, ErrorsAtTheBufferEndKeepTheirPosition) {
  TempDir dir;
  struct Case {
    std::string tail;  // the error is at the '`'
    std::string cause;
  };
  const Case cases[] = {
      {R"("top": {"name": "t", "level": 0, `"colour": 1}})", "unknown key 'colour' in block"},
      {R"("top": {"name": "t", "level": 0 `"pins": []}})",
       "missing a comma or '}' after an object member"},
      {R"("top": {"name": "t\u00e9`\q", "level": 0}})", "invalid escape character in string"},
      {R"("top": {"name": "t", "level": `123456789012345678901}})",
       "'level' is out of range (0..255)"},
      {R"("top": {"name": "t", "level": 0, "external": tr`eu}})", "invalid value"},
      {"\"top\": {\"name\": \"t\xC3\xA9`\xC3\", \"level\": 0}}", "invalid encoding in string"},
  };
  std::string wrong;
  for (const Case& c : cases) {
    const std::size_t at = c.tail.find('`');
    std::string tail = c.tail;
    tail.erase(at, 1);
    // The error's token straddles the end, or starts or ends there.
    for (std::size_t cut = at > 8 ? at - 8 : 0; cut <= at + 8 && cut <= tail.size(); ++cut) {
      const std::string text = CutAt(kCutHead, tail, cut);
      const std::string path = dir.Write("error.ncd.json", text);
      const std::string expected =
          path + ":" + LineColumn(text, text.size() - tail.size() + at) + ": " + c.cause;
      const std::string got = Refusal(path);
      if (got != expected) wrong += std::to_string(cut) + ": " + got + "\n";
    }
  }
  EXPECT_EQ(wrong, "");
}

// ---- the first error in the file wins

// Lookups in large indexes wait a few lookups (or to the end of their
// block) before they are made; an unknown name among them is still the
// error reported when a later error is met first.
TEST(PdsPahJsonReaderOrder, FirstErrorWinsOverLaterOnesWithHeldBackLookups) {
  TempDir dir;
  std::string nets, signals;
  for (int i = 0; i < 40; ++i) {  // large enough for the held-back lookups
    nets += (i ? ", " : "") + std::string(R"({"name": "n)") + std::to_string(i) + "\"}";
    signals += (i ? ", " : "") + std::string(R"({"name": "s)") + std::to_string(i) +
               R"(", "net": "n)" + std::to_string(i) + "\"}";
  }
  const std::string head = kCutHead + R"("nets": [)" + nets + "], ";
  struct Case {
    const char* what;
    std::string text;  // the first error is at the first '`', a later one follows
    std::string cause;
  };
  const Case cases[] = {
      {"unknown net, then an unknown key",
       head + R"("top": {"name": "t", "level": 0, "signals": [)" + signals +
           R"(, {"name": "x", "net": `"nope"}, {"name": "y", "colour": 1}]}})",
       "unknown net 'nope'"},
      {"unknown net, then a syntax error past the buffer's end",
       head + R"("top": {"name": "t", "level": 0, "signals": [{"name": "x", "net": `"nope"}, )" +
           signals + "," + std::string(kBuffer, ' ') + "}]}}",
       "unknown net 'nope'"},
      {"unknown signal, then a duplicate pin",
       head + R"("top": {"name": "t", "level": 0, "signals": [)" + signals +
           R"(], "blocks": [{"name": "b", "level": 3, "pins": [{"name": "p", "signal": `"gone"},)"
           R"( {"name": "p", "signal": "s1"}]}]}})",
       "unknown signal 'gone' in block 't'"},
      {"duplicate net, then an unknown key",
       kCutHead + R"("nets": [)" + nets + R"(, {"name": `"n3"}, {"name": "m", "colour": 1}]})",
       "duplicate net name 'n3'"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string text = c.text;
    const std::size_t at = text.find('`');
    text.erase(at, 1);
    const std::string path = dir.Write("order.ncd.json", text);
    EXPECT_EQ(Refusal(path), path + ":" + LineColumn(text, at) + ": " + c.cause);
  }
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
  EXPECT_EQ(Refusal(fifo), fifo + ": cannot open design file: not a regular design file");
  EXPECT_EQ(Refusal("/dev/null"), "/dev/null: cannot open design file: not a regular design file");
  EXPECT_EQ(Refusal(dir.Path("")), dir.Path("") + ": cannot open design file: Is a directory");
}

}  // namespace
