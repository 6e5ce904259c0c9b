// The loader's contract: transactions, ownership, instantiation, the
// file's test hooks, key order, and IO usage rejections.
#include <gtest/gtest.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <vector>

#include "DesignTestSupport.h"
#include "PM_PIC.h"
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Port_Thr.h"
#include "Rf_Device.h"
#include "Tw_DlyMed.h"
#include "XCad_CadException.h"
#include "XCad_RMed.h"
#include "Xdm_Exception.h"

namespace {

using namespace design_test;

// Records what the loader asked for.
class RecordingInstantiator : public Pds_PahDesignLoader::Instantiator {
 public:
  XCad_CadModel* Instantiate(const char* file, const char* app, const char* part) override {
    calls.push_back(std::string(file) + "|" + app + "|" + part);
    return returnNull ? nullptr : new CountingModel(file, app, part);
  }
  std::vector<std::string> calls;
  bool returnNull = false;
};

std::string Faults(const std::string& faults) {
  return R"({"format": "ncd-json", "version": 1, "part": "p", "top": {"name": "t", "level": 0},
            "faults": )" +
         faults + "}";
}

// What a load of `path` throws: its dynamic type and message.
template <class E>
std::string ThrownBy(const std::string& path) {
  Loader loader;
  CountingInstantiator instantiator;
  try {
    loader.LoadAndSpecializeImpl(path, "t", Xdm_Txn::XDM_TXN_READ_WRITE, &instantiator, nullptr);
  } catch (const E& e) {
    EXPECT_EQ(loader.GetTxn(), nullptr);
    return e.what();
  }
  return "(nothing thrown)";
}

TEST(PdsPahDesignLoader, TransactionOwnsTheModelUntilAbort) {
  const int before = CountingModel::Live();
  const auto loads = Pds_PahDesignLoader::LoadCount();
  Loader loader;
  RecordingInstantiator instantiator;
  Xdm_View* view = loader.LoadAndSpecializeImpl(DataPath("tiny.ncd.json"), "app",
                                                Xdm_Txn::XDM_TXN_READ_WRITE, &instantiator, "");
  ASSERT_NE(view, nullptr);
  // The instantiator runs once, after the file was read, with its part name.
  ASSERT_EQ(instantiator.calls.size(), 1u);
  EXPECT_EQ(instantiator.calls[0], DataPath("tiny.ncd.json") + "|app|xc5vlx30ff324-1");
  EXPECT_EQ(Pds_PahDesignLoader::LoadCount(), loads + 1);
  EXPECT_EQ(CountingModel::Live(), before + 1);

  Xdm_Txn* txn = loader.GetTxn();
  ASSERT_NE(txn, nullptr);
  EXPECT_EQ(txn->GetType(), Xdm_Txn::XDM_TXN_READ_WRITE);
  EXPECT_EQ(txn->GetView(), view);
  EXPECT_STREQ(txn->GetModel()->GetPartName(), "xc5vlx30ff324-1");
  EXPECT_EQ(static_cast<Xdm_View*>(txn->GetModel()->GetView()), view);
  txn->Abort();
  EXPECT_EQ(loader.GetTxn(), nullptr);
  EXPECT_EQ(CountingModel::Live(), before);
}

TEST(PdsPahDesignLoader, LoaderFreesItsModelAndLoadsOnce) {
  const int before = CountingModel::Live();
  {
    Loaded loaded = Load(DataPath("tiny.ncd.json"), Xdm_Txn::XDM_TXN_READ_ONLY);
    EXPECT_EQ(loaded.loader->GetTxn()->GetType(), Xdm_Txn::XDM_TXN_READ_ONLY);
    EXPECT_EQ(CountingModel::Live(), before + 1);
    CountingInstantiator instantiator;
    EXPECT_THROW(
        loaded.loader->LoadAndSpecializeImpl(DataPath("tiny.ncd.json"), "t",
                                             Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator, nullptr),
        Pds_Exception);
    // The refused call leaves the first design alone.
    EXPECT_NE(loaded.loader->GetTxn(), nullptr);
    EXPECT_STREQ(loaded.view->GetBlock()->GetName(), "tiny");
  }
  EXPECT_EQ(CountingModel::Live(), before);
}

TEST(PdsPahDesignLoader, BadInstantiationLeavesNothing) {
  const auto loads = Pds_PahDesignLoader::LoadCount();
  Loader loader;
  RecordingInstantiator nullMaker;
  nullMaker.returnNull = true;
  EXPECT_THROW(loader.LoadAndSpecializeImpl(DataPath("tiny.ncd.json"), "t",
                                            Xdm_Txn::XDM_TXN_READ_ONLY, &nullMaker, nullptr),
               Pds_Exception);
  EXPECT_EQ(loader.GetTxn(), nullptr);
  Loader other;
  EXPECT_THROW(other.LoadAndSpecializeImpl(DataPath("tiny.ncd.json"), "t",
                                           Xdm_Txn::XDM_TXN_READ_ONLY, nullptr, nullptr),
               Pds_Exception);
  EXPECT_EQ(Pds_PahDesignLoader::LoadCount(), loads);
}

TEST(PdsPahDesignLoader, AnInvalidFileNeverReachesTheInstantiator) {
  TempDir dir;
  Loader loader;
  RecordingInstantiator instantiator;
  EXPECT_THROW(loader.LoadAndSpecializeImpl(dir.Write("bad.json", "{"), "t",
                                            Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator, nullptr),
               Pds_Exception);
  EXPECT_TRUE(instantiator.calls.empty());
}

TEST(PdsPahDesignLoader, FaultHooksThrowEachKindAndFreeTheModel) {
  TempDir dir;
  const int before = CountingModel::Live();
  const auto loads = Pds_PahDesignLoader::LoadCount();
  EXPECT_EQ(ThrownBy<Pds_Exception>(dir.Write("a", Faults(R"({"throw": "pds", "message": "m1"})"))),
            "m1");
  EXPECT_EQ(
      ThrownBy<XCad_CadException>(dir.Write("b", Faults(R"({"throw": "xcad", "message": "m2"})"))),
      "m2");
  EXPECT_EQ(
      ThrownBy<Xdm_Exception::Base>(dir.Write("c", Faults(R"({"throw": "xdm", "message": "m3"})"))),
      "m3");
  EXPECT_EQ(ThrownBy<std::runtime_error>(
                dir.Write("d", Faults(R"({"throw": "other", "message": "m4"})"))),
            "m4");
  EXPECT_EQ(ThrownBy<Xdm_Exception::Base>(dir.Write("e", Faults(R"({"throw": "xdm"})"))),
            "fault injected by the design file");
  EXPECT_EQ(CountingModel::Live(), before);
  EXPECT_EQ(Pds_PahDesignLoader::LoadCount(), loads);
}

// A load that would wait ten minutes ends as soon as its thread is
// cancelled (the test finishes only if the delay stops early), as a
// cancelled read: it fails and leaves nothing.
TEST(PdsPahDesignLoader, LoadDelayStopsWhenTheThreadIsCancelled) {
  TempDir dir;
  const int before = CountingModel::Live();
  struct Job {
    std::string path;
    Loaded loaded;
    std::string error;
  } job{dir.Write("slow", Faults(R"({"load_delay_ms": 600000})")), {}, {}};
  Port_ThrThread worker(
      [](void* arg) -> void* {
        auto* j = static_cast<Job*>(arg);
        try {
          j->loaded = Load(j->path);
        } catch (const std::exception& e) {
          j->error = e.what();
        }
        return nullptr;
      },
      &job);
  worker.cancel();
  worker.join();
  EXPECT_EQ(job.error, job.path + ": reading cancelled");
  EXPECT_EQ(job.loaded.view, nullptr);
  EXPECT_EQ(CountingModel::Live(), before);
}

// The same design with every object's keys reversed (the top block before
// the nets and the device, pins and blocks before signals) loads the same,
// except that lists in file order follow the new file order.
TEST(PdsPahDesignLoader, KeysInAnyOrderGiveTheSameDesign) {
  Loaded ordered = Load(DataPath("tiny.ncd.json"));
  Loaded reordered = Load(DataPath("tiny_reordered.ncd.json"));
  for (Loaded* l : {&ordered, &reordered}) {
    const bool first = l == &ordered;
    SCOPED_TRACE(first ? "ordered" : "reordered");
    Xdm_View* v = l->view;
    EXPECT_EQ(v->GetMaxBlocks(), 4u);
    EXPECT_EQ(v->GetMaxPins(), 7u);
    EXPECT_EQ(v->GetMaxSignals(), 4u);
    EXPECT_EQ(Names(v->GetNetworkItr()), "a y GLOBAL_LOGIC1");
    EXPECT_EQ(FullNames(NetNamed(v, "a")->GetSignalItr()), first ? "a inv/a_i" : "inv/a_i a");
    EXPECT_EQ(FullNames(BlockAt(v, "inv")->GetSignals()[0]->GetPinItr()),
              first ? "inv/A1 inv/lut/A1" : "inv/lut/A1 inv/A1");
    EXPECT_EQ(BlockAt(v, "inv/lut")->GetPinByName("O6")->GetNetwork(), NetNamed(v, "y"));
    EXPECT_STREQ(XCad_RMed(l->cad()).GetPlacement(BlockAt(v, "a")).GetName(), "IOB_X0Y0");
    EXPECT_STREQ(v->GetAppObject()->GetTool(), "hand-written");
    std::unique_ptr<char[]> part(l->cad()->GetDevice()->GetPmPic()->get_partname());
    EXPECT_STREQ(part.get(), "xc5vlx30ff324-1");
  }
}

TEST(PdsPahDesignLoader, IoUsageRejections) {
  Loaded loaded = Load(DataPath("io_reject.ncd.json"));
  auto block = [&](const char* path) {
    return dynamic_cast<Pds_PdmBlock*>(BlockAt(loaded.view, path));
  };
  bool found = true;
  EXPECT_THROW(Pds_PahIoUsage::GetInputStandard(block("bad_type"), found),
               Pds_ExceptionInvalidTypeBlock);
  EXPECT_THROW(Pds_PahIoUsage::GetSlew(block("bad_type"), found), Pds_ExceptionInvalidTypeBlock);
  EXPECT_THROW(Pds_PahIoUsage::GetOutputStandard(block("corrupt"), found),
               Pds_ExceptionCorruptDatabase);
  EXPECT_THROW(Pds_PahIoUsage::GetDriveStrength(block("not_iob_rejected"), found),
               Pds_ExceptionInvalidTypeBlock);
  // Only external blocks are IOBs.
  EXPECT_EQ(Pds_PahIoUsage::GetInputStandard(block("not_iob"), found), "");
  EXPECT_FALSE(found);
}

TEST(XCadCadModel, AModelWithoutALoadHasAnEmptyView) {
  XCad_CadModel model("f.ncd", "app", "xc5vlx30");
  XCad_CadView* view = model.GetView();
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->GetBlock(), nullptr);
  EXPECT_EQ(view->GetMaxBlocks(), 0u);
  EXPECT_EQ(view->GetNetworkItr().Current(), nullptr);
  EXPECT_EQ(view->GetDevice(), nullptr);
  EXPECT_EQ(view->GetAppObject(), nullptr);
  EXPECT_STREQ(model.GetAppName(), "app");
}

// Run by ctest (which names the component folder), every test parses
// design files and leaves the user's snapshot folder alone.
TEST(TestEnvironment, CtestTurnsSnapshotsOff) {
  if (std::getenv("CIT_COMPONENT_PATH") == nullptr) GTEST_SKIP() << "not run by ctest";
  const char* cache = std::getenv("NCD_CACHE");
  EXPECT_STREQ(cache ? cache : "(unset)", "off");
}

}  // namespace
