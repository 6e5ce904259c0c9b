// The manager's protocol with each of its allocations failing in turn (on
// the client's thread or a reader's): no crash, no leak, a failure that
// says it ran out of memory (or could not make a thread), and the same
// answers as before once allocation succeeds again.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <string>

#include "AllocFault.h"
#include "Port_MsgManData.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_Event.h"

namespace {

namespace AllocFault = ncdtest::AllocFault;
using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;
using DesignRef = CommonI::RefCountPtr<UtilI::ISharedNcd>;

const Port::XUID R1{0xa110cULL, 1}, R2{0xa110cULL, 2};
const char* const kEmpty = "m_refFiles{} m_loadFiles{} m_unusedFiles{}";

// Counts the messages that name a lack of memory or of a thread, without
// allocating.
class FailureSink {
public:
  FailureSink() {
    m_previous = Port_MsgSink::Install([this](const Port_Msg& msg) {
      if (msg.text.find("Out of memory") != std::string::npos ||
          msg.text.find("Unable to create a thread") != std::string::npos)
        ++m_count;
    });
  }
  ~FailureSink() { Port_MsgSink::Install(std::move(m_previous)); }
  int Take() { return m_count.exchange(0); }

private:
  std::atomic<int> m_count{0};
  Port_MsgSink::Fn m_previous;
};

class MgrAllocFault : public ::testing::Test {
protected:
  using Seen = std::array<long, 16>;

  // One client's session: loads that wait and that poll, two requesters
  // of one design, the cache, a failing file, eviction, purge, listeners
  // and the dump. Answers what each step answered; allocates nothing of
  // its own.
  Seen Session() {
    Seen seen{};
    std::size_t i = 0;
    auto note = [&](long value) { seen[i++] = value; };
    note(mgr->AddListener(&listener));
    note(mgr->Load(R1, a, {}, true));
    DesignRef first = mgr->Get(R1, a, {});
    note(first ? 1 : 0);
    note(mgr->Load(R2, a, {}, false));
    DesignRef second = mgr->Get(R2, a, {});
    note(second.get() == first.get());
    first.Reset();
    second.Reset();
    note(mgr->Load(R1, a, {}, false));  // from the cache
    note(mgr->CancelLoad(R1, a, {}));
    note(mgr->Load(R1, bad, {}, true));
    note(mgr->CancelLoad(R1, bad, {}));
    note(mgr->Load(R1, b, {}, true));
    DesignRef third = mgr->Get(R1, b, {});
    note(third ? 1 : 0);
    third.Reset();  // evicts a
    note(mgr->PurgeUnused());
    note(mgr->Dump("").Length());
    note(mgr->RemoveListener(&listener));
    return seen;
  }

  // Gives up whatever a failed session left filed.
  void CleanUp() {
    for (const Port::StringBase* file : {&a, &b, &bad})
      for (const Port::XUID* requester : {&R1, &R2}) mgr->CancelLoad(*requester, *file, {});
    mgr->RemoveListener(&listener);
    mgr->PurgeUnused();
  }

  Mgr* mgr = Mgr::Instance();
  ncdtest::TempDir dir;
  // Made beforehand: a session allocates nothing of its own.
  Port::StringBase a = dir.Write("a.ncd", ncdtest::MinimalDesign());
  Port::StringBase b = dir.Write("b.ncd", ncdtest::MinimalDesign());
  Port::StringBase bad = dir.Write("bad.ncd", "{\"format\": \"ncd-json\",");
  ncdtest::RecordingListener listener;
};

TEST_F(MgrAllocFault, EveryAllocationOfASessionFailsInTurn) {
  FailureSink failures;
  const Seen reference = Session();
  Session();  // whatever a first session keeps for good is made by now
  const std::uint64_t total = AllocFault::CountOf([&] { Session(); });
  ASSERT_GT(total, 0u);
  EXPECT_EQ(reference[1], 1);
  EXPECT_EQ(reference[7], 0);
  const int live = SharedNcd::LiveCount();
  std::uint64_t differed = 0;
  for (std::uint64_t n = 1; n <= total; n += AllocFault::Stride()) {
    SCOPED_TRACE("allocation " + std::to_string(n) + " of " + std::to_string(total));
    failures.Take();
    const std::int64_t blocks = AllocFault::Live();
    Seen seen;
    {
      AllocFault::Scope failing(n);
      seen = Session();
    }
    const int reported = failures.Take();
    CleanUp();
    EXPECT_EQ(mgr->Dump("").str(), kEmpty);
    EXPECT_EQ(SharedNcd::LiveCount(), live);
    EXPECT_EQ(AllocFault::Live(), blocks);
    if (seen != reference) {
      ++differed;
      EXPECT_GT(reported, 0) << "a session that failed said nothing";
    }
    EXPECT_EQ(Session(), reference);
    if (::testing::Test::HasFailure()) break;
  }
  EXPECT_GT(differed, 0u);
  std::printf("manager session: %llu allocations, %llu sessions answered differently\n",
              (unsigned long long)total, (unsigned long long)differed);
}

}  // namespace
