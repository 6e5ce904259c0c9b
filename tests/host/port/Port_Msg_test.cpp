// The message manager, its sinks, and exception reports.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <new>
#include <thread>
#include <utility>

#include "Port_Exception.h"
#include "Port_MsgManData.h"

TEST(MsgMan, CaptureKeepsEveryField) {
  Port_MsgCapture capture;
  auto mm = Port_MsgManData::createObject("Comp", "Src_Module", 12, "1");
  mm.issueError("bad %d\n", 3);
  mm.issueWarning("warn %s", "w");
  mm.issueInternal("int");
  mm.issueInfo("info");
  const auto msgs = capture.messages();
  ASSERT_EQ(msgs.size(), 4u);
  EXPECT_EQ(msgs[0].kind, Port_MsgKind::Error);
  EXPECT_EQ(msgs[0].component, "Comp");
  EXPECT_EQ(msgs[0].text, "bad 3\n");
  EXPECT_EQ(msgs[0].source, "Src_Module");
  EXPECT_EQ(msgs[0].line, 12);
  EXPECT_EQ(msgs[1].kind, Port_MsgKind::Warning);
  EXPECT_EQ(msgs[2].kind, Port_MsgKind::Internal);
  EXPECT_EQ(msgs[3].kind, Port_MsgKind::Info);
  EXPECT_EQ(capture.count("warn w"), 1u);
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "warn"), 0u);
  EXPECT_EQ(capture.take().size(), 4u);
  EXPECT_TRUE(capture.messages().empty());
}

TEST(MsgMan, DebugTracesReachTheSinkAlways) {
  ::unsetenv("PORT_DEBUG");
  Port_MsgCapture capture;
  Port_MsgManData::debugStub("trace %u\n", 5u);
  const auto msgs = capture.messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].kind, Port_MsgKind::Debug);
  EXPECT_EQ(msgs[0].component, "");
  EXPECT_EQ(msgs[0].text, "trace 5\n");
}

TEST(MsgMan, NestedCaptureRestoresOuter) {
  Port_MsgCapture outer;
  {
    Port_MsgCapture inner;
    Port_MsgManData::createObject("C", "S", 1, "").issueInfo("inner");
    EXPECT_EQ(inner.count("inner"), 1u);
  }
  Port_MsgManData::createObject("C", "S", 1, "").issueInfo("outer");
  EXPECT_EQ(outer.count("inner"), 0u);
  EXPECT_EQ(outer.count("outer"), 1u);
}

// Delivery to standard error writes FormatLine() plus a line feed; traces
// only when debugEnabled().
TEST(MsgMan, StandardErrorLinesAndDebugSwitch) {
  EXPECT_EQ(Port_MsgSink::FormatLine({Port_MsgKind::Error, "Comp", "bad 3\n", "Src", 12}),
            "ERROR [Comp] bad 3 (Src:12)");
  EXPECT_EQ(Port_MsgSink::FormatLine({Port_MsgKind::Warning, "C", "w", "S", 1}),
            "WARNING [C] w (S:1)");
  EXPECT_EQ(Port_MsgSink::FormatLine({Port_MsgKind::Debug, "", "t\n", "", 0}), "DEBUG t");
  const std::pair<const char*, bool> cases[] = {
      {nullptr, false}, {"", false}, {"0", false}, {"1", true}, {"yes", true}};
  for (const auto& [value, enabled] : cases) {
    value ? ::setenv("PORT_DEBUG", value, 1) : ::unsetenv("PORT_DEBUG");
    EXPECT_EQ(Port_MsgManData::debugEnabled(), enabled) << (value ? value : "(unset)");
  }
  ::unsetenv("PORT_DEBUG");
}

TEST(MsgMan, WithoutSinkWritesStandardError) {
  ::unsetenv("PORT_DEBUG");
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int saved = ::dup(2);
  ::dup2(fds[1], 2);
  Port_MsgManData::createObject("Comp", "Src", 5, "").issueWarning("w\n");
  Port_MsgManData::debugStub("hidden");
  ::dup2(saved, 2);
  ::close(saved);
  ::close(fds[1]);
  char buf[256] = {};
  const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
  ::close(fds[0]);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0),
            "WARNING [Comp] w (Src:5)\n");
}

// A sink that fails (out of memory, say) must not make issuing fail: the
// message goes to standard error instead.
TEST(MsgMan, SinkThatThrowsLeavesTheMessageOnStandardError) {
  Port_MsgSink::Fn previous = Port_MsgSink::Install([](const Port_Msg&) { throw std::bad_alloc(); });
  int fds[2];
  ASSERT_EQ(::pipe(fds), 0);
  const int saved = ::dup(2);
  ::dup2(fds[1], 2);
  EXPECT_NO_THROW(Port_MsgManData::createObject("Comp", "Src", 6, "").issueError("lost? %d\n", 1));
  ::dup2(saved, 2);
  ::close(saved);
  ::close(fds[1]);
  Port_MsgSink::Install(std::move(previous));
  char buf[256] = {};
  const ssize_t n = ::read(fds[0], buf, sizeof buf - 1);
  ::close(fds[0]);
  EXPECT_EQ(std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0), "ERROR [Comp] lost? 1 (Src:6)\n");
}

TEST(MsgMan, ConcurrentIssuersLoseNothing) {
  Port_MsgCapture capture;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      auto mm = Port_MsgManData::createObject("C", "S", t, "");
      for (int i = 0; i < 200; ++i)
        mm.issueInfo("m%d", i);
    });
  }
  for (auto& th : threads)
    th.join();
  EXPECT_EQ(capture.messages().size(), 800u);
}

TEST(Exception, ReportIssuesAnErrorUnderItsComponent) {
  Port_MsgCapture capture;
  try {
    throw Util::IllegalMethodCalledException("Comp", "Src_File", "1.2", 77, "not now");
  } catch (const Port::Exception& e) {
    EXPECT_STREQ(e.what(), "not now");
    EXPECT_EQ(e.getLocalized().str(), "not now");
    e.report();
  }
  const auto msgs = capture.messages();
  ASSERT_EQ(msgs.size(), 1u);
  EXPECT_EQ(msgs[0].kind, Port_MsgKind::Error);
  EXPECT_EQ(msgs[0].component, "Comp");
  EXPECT_EQ(msgs[0].source, "Src_File");
  EXPECT_EQ(msgs[0].line, 77);
  EXPECT_EQ(msgs[0].text, "not now");
  EXPECT_EQ(Port::MsgData("C", "M").TranslateMsg("as is %s").str(), "as is %s");
}
