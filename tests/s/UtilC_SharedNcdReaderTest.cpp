// The background reader and its thread object: transaction types, loader
// failures, thread-library failures and their messages, misuse.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "Pds_PahDesignLoader.h"
#include "Port_MsgManData.h"
#include "Port_Thr.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_Event.h"
#include "UtilI_ThreadT.h"

using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;
using DesignRef = CommonI::RefCountPtr<UtilI::ISharedNcd>;

namespace {

const Port::XUID R1{0x3333333333333333ULL, 0x3ULL};

class ReaderTest : public ::testing::Test {
protected:
  void SetUp() override { mgr->AddListener(&listener); }
  void TearDown() override {
    mgr->RemoveListener(&listener);
    mgr->PurgeUnused();
    EXPECT_EQ(mgr->Dump("").str(), "m_refFiles{} m_loadFiles{} m_unusedFiles{}");
  }
  Xdm_Txn::XDM_TXN_TYPE TxnTypeOf(const std::string& file) {
    EXPECT_EQ(mgr->Load(R1, file, {}, true), 1u);
    DesignRef design = mgr->Get(R1, file, {});
    auto* object = dynamic_cast<SharedNcd*>(design.get());
    return object->GetLoader()->GetTxn()->GetType();
  }

  Mgr* mgr = Mgr::Instance();
  ncdtest::TempDir dir;
  ncdtest::RecordingListener listener;
  Port_ThrFaultScope faults;
};

TEST_F(ReaderTest, WritableFilesAreReadForWritingReadOnlyFilesForReading) {
  std::string writable = dir.Write("rw.ncd", ncdtest::MinimalDesign());
  std::string readOnly = dir.Write("ro.ncd", ncdtest::MinimalDesign());
  ASSERT_EQ(::chmod(readOnly.c_str(), 0444), 0);
  EXPECT_EQ(TxnTypeOf(writable), Xdm_Txn::XDM_TXN_READ_WRITE);
  EXPECT_EQ(TxnTypeOf(readOnly), Xdm_Txn::XDM_TXN_READ_ONLY);
}

TEST_F(ReaderTest, LibraryExceptionsReportThemselvesOthersAreUnhandled) {
  struct Case {
    const char* faults;
    Port_MsgKind kind;
    const char* text;
  } cases[] = {
      {R"("throw": "pds", "message": "pds says no")", Port_MsgKind::Error, "pds says no"},
      {R"("throw": "xcad", "message": "xcad says no")", Port_MsgKind::Error, "xcad says no"},
      {R"("throw": "xdm", "message": "xdm says no")", Port_MsgKind::Error, "xdm says no"},
      {R"("throw": "other", "message": "plain")", Port_MsgKind::Internal, "Unhandle Exception at UtilC_SharedNcdReader:"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.faults);
    std::string file = dir.Write("fail" + std::to_string(n++) + ".ncd", ncdtest::MinimalDesign(c.faults));
    Port_MsgCapture capture;
    EXPECT_EQ(mgr->Load(R1, file, {}, true), 0u);
    EXPECT_EQ(capture.count(c.kind, c.text), 1u);
    EXPECT_EQ(capture.count(Port_MsgKind::Debug, "Join completed thread thread-"), 1u);
    EXPECT_TRUE(mgr->CancelLoad(R1, file, {}));
  }
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadFailedID), 4u);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), 0u);
}

// A read whose thread cannot be made can never end: the load fails at once
// (also when the client would wait) and nothing stays filed.
TEST_F(ReaderTest, ThreadCreationFailureFailsTheLoadAndFilesNothing) {
  std::string file = dir.Write("a.ncd", ncdtest::MinimalDesign());
  std::string waited = dir.Write("b.ncd", ncdtest::MinimalDesign());
  int live = SharedNcd::LiveCount();
  Port_MsgCapture capture;
  Port_ThrFault::Fail(Port_ThrFault::Op::Create, Port_ThrException::CreateFailed, 2);
  EXPECT_EQ(mgr->Load(R1, file, {}, false), 0u);
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Unable to create a thread at UtilI_ThreadT:"), 1u);
  EXPECT_FALSE(mgr->Get(R1, file, {}));
  EXPECT_EQ(mgr->Load(R1, waited, {}, true), 0u);
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Unable to create a thread at UtilI_ThreadT:"), 2u);
  EXPECT_EQ(capture.count("start() must be called"), 0u);  // nothing waits for a thread that is not there
  EXPECT_EQ(mgr->Dump("").str(), "m_refFiles{} m_loadFiles{} m_unusedFiles{}");
  EXPECT_EQ(SharedNcd::LiveCount(), live);
  EXPECT_EQ(listener.heard().size(), 0u);

  // Once threads can be made again, the same requests load.
  EXPECT_EQ(mgr->Load(R1, file, {}, true), 1u);
  EXPECT_TRUE(mgr->Get(R1, file, {}));
}

TEST_F(ReaderTest, JoinFailuresAreReportedByCodeAndTheReadStillEnds) {
  struct Case {
    int code;
    Port_MsgKind kind;
    const char* text;
  } cases[] = {
      {Port_ThrException::NoSuchThread, Port_MsgKind::Error, "Attempt to wait a thread that doesn't exist at UtilI_ThreadT:"},
      {Port_ThrException::NotJoinable, Port_MsgKind::Error, "Attempt to wait a thread that can not be merged at  UtilI_ThreadT:"},
      {Port_ThrException::Deadlock, Port_MsgKind::Error, "Detect dead lock wait at UtilI_ThreadT:"},
      {Port_ThrException::Busy, Port_MsgKind::Internal, "Unhandle Exception at UtilI_ThreadT:"},
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    std::string file = dir.Write("j" + std::to_string(n++) + ".ncd", ncdtest::MinimalDesign());
    Port_MsgCapture capture;
    Port_ThrFault::Fail(Port_ThrFault::Op::Join, c.code);
    mgr->Load(R1, file, {}, true);
    EXPECT_EQ(capture.count(c.kind, c.text), 1u);
    EXPECT_EQ(capture.count(Port_MsgKind::Debug, "Join canceled thread "), 1u);
    int status = 2;
    for (int i = 0; i < 2000 && status == 2; ++i) {
      status = static_cast<int>(mgr->Load(R1, file, {}, false));
      if (status == 2) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(mgr->CancelLoad(R1, file, {}));
  }
}

TEST_F(ReaderTest, LockFailureOnTheOutcomeCountsAsFailedLoad) {
  std::string file = dir.Write("a.ncd", ncdtest::MinimalDesign());
  ASSERT_EQ(mgr->Load(R1, file, {}, true), 1u);
  Port_ThrFault::Fail(Port_ThrFault::Op::Lock, Port_ThrException::LockFailed, 1000);
  // Every lock fails now, the manager's own included: the guard reports it.
  EXPECT_THROW(mgr->Load(R1, file, {}, false), Port_ThrException::Exception);
  Port_ThrFault::Disarm();
  EXPECT_TRUE(mgr->CancelLoad(R1, file, {}));
}

// A worker that counts its runs, for the thread object's own rules.
struct CountingWorker {
  std::atomic<int> runs{0};
  bool operator()(UtilI::ThreadT<CountingWorker>*) {
    ++runs;
    return true;
  }
};

TEST(ThreadObject, MisuseIsReportedAndChangesNothing) {
  Port_MsgCapture capture;
  CountingWorker worker;
  UtilI::ThreadT<CountingWorker> thread(&worker);
  EXPECT_EQ(thread.getState(), 0u);  // NotStarted, silently
  EXPECT_FALSE(thread.isRunning());
  EXPECT_FALSE(thread.isFinished());
  thread.cancel();  // not running: nothing
  EXPECT_EQ(capture.messages().size(), 0u);
  thread.join();  // never started: reported, does not block
  thread.setState(2);
  EXPECT_EQ(capture.count(Port_MsgKind::Error, "start() must be called before this point of execution"), 2u);

  UtilI::ThreadT<CountingWorker> idle(nullptr);
  idle.start();
  EXPECT_EQ(idle.getState(), 0u);
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Worker functor is not initialized at UtilI_ThreadT:"), 2u);
  EXPECT_EQ(worker.runs, 0);
}

TEST(ThreadObject, RunsOnceNamesItselfAndCompletes) {
  Port_MsgCapture capture;
  CountingWorker worker;
  UtilI::ThreadT<CountingWorker> thread(&worker);
  thread.start();
  thread.start();  // a second start does nothing
  thread.join();
  EXPECT_EQ(worker.runs, 1);
  EXPECT_EQ(thread.getState(), 2u);
  EXPECT_TRUE(thread.isFinished());
  EXPECT_EQ(thread.getName().view().substr(0, 7), "thread-");
  thread.cancel();  // completed: stays completed
  EXPECT_EQ(thread.getState(), 2u);
  EXPECT_EQ(capture.count(Port_MsgKind::Debug, "Join completed thread " + thread.getName().str() + " to thread thread-"),
            1u);
}

TEST(ThreadObject, IdentifierThatDoesNotFitIsReported) {
  Port_ThrFaultScope faults;
  Port_MsgCapture capture;
  CountingWorker worker;
  UtilI::ThreadT<CountingWorker> thread(&worker);
  Port_ThrFault::Fail(Port_ThrFault::Op::IdText, Port_ThrException::BufferTooSmall);
  thread.start();
  thread.join();
  EXPECT_EQ(capture.count(Port_MsgKind::Internal, "Buffer is too small at UtilI_ThreadT:"), 1u);
  EXPECT_EQ(worker.runs, 1);
}

}  // namespace
