// Several client threads load, get, release and cancel a handful of designs
// at random. Afterwards nothing may be left: no design, no record, no owner
// reference; and every read that ran to its end was announced exactly once,
// however the clients' calls fell around its end. Run it under the thread
// sanitizer to judge the locking.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <random>
#include <thread>
#include <vector>

#include "FinishesWithin.h"
#include "Pds_PahDesignLoader.h"
#include "Port_MsgManData.h"
#include "TestDesigns.h"
#include "UtilC_SharedNcd.h"
#include "UtilC_SharedNcdMgr.h"
#include "UtilI_Event.h"

using UtilC::SharedNcd::Mgr;
using UtilC::SharedNcd::SharedNcd;
using DesignRef = CommonI::RefCountPtr<UtilI::ISharedNcd>;
using OwnerRef = CommonI::RefCountPtr<CitI::IInterface>;

namespace {

double StressSeconds() {
  const char* text = std::getenv("NCD_STRESS_SECONDS");
  return text ? std::atof(text) : 3.0;
}

struct Client {
  Port::XUID id;
  std::mt19937 random;
  std::vector<DesignRef> held;
};

void RunClient(Mgr* mgr, Client& client, const std::vector<std::string>& files,
               const std::vector<OwnerRef>& owners, std::chrono::steady_clock::time_point end) {
  while (std::chrono::steady_clock::now() < end) {
    const std::string& file = files[client.random() % files.size()];
    const OwnerRef& owner = owners[client.random() % owners.size()];
    switch (client.random() % 6) {
      case 0: mgr->Load(client.id, file, owner, client.random() % 4 == 0); break;
      case 1: mgr->Load(client.id, file, owner, false); break;
      case 2:
        if (DesignRef d = mgr->Get(client.id, file, owner)) client.held.push_back(d);
        break;
      case 3: mgr->CancelLoad(client.id, file, owner); break;
      case 4:
        if (!client.held.empty()) client.held.erase(client.held.begin() + client.random() % client.held.size());
        break;
      case 5:
        if (!client.held.empty()) mgr->IsLive(dynamic_cast<SharedNcd*>(client.held.back().get()));
        mgr->Dump("");
        break;
    }
  }
}

TEST(ManagerStress, ClientsRaceAndNothingLeaks) {
  ncdtest::TempDir dir;
  std::vector<std::string> files = {
      dir.Write("a.ncd", ncdtest::MinimalDesign()),
      dir.Write("b.ncd", ncdtest::MinimalDesign()),
      dir.Write("slow.ncd", ncdtest::MinimalDesign(R"("load_delay_ms": 20)")),
      dir.Write("bad.ncd", "{\"format\": 1"),
  };
  int liveOwners = ncdtest::Owner::Live();
  int liveDesigns = SharedNcd::LiveCount();
  std::uint64_t readsBefore = Pds_PahDesignLoader::LoadCount();
  Mgr* mgr = Mgr::Instance();
  ncdtest::RecordingListener listener;
  Port_MsgCapture capture;  // each failed read reports its loader error once
  mgr->AddListener(&listener);
  {
    std::vector<OwnerRef> owners = {OwnerRef(), ncdtest::NewOwner(), ncdtest::NewOwner()};
    std::vector<Client> clients(4);
    auto end = std::chrono::steady_clock::now() +
               std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                   std::chrono::duration<double>(StressSeconds()));
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < clients.size(); ++i) {
      clients[i].id = Port::XUID(0xC11E47ULL, i + 1);
      clients[i].random.seed(static_cast<unsigned>(i + 7));
      threads.emplace_back(RunClient, mgr, std::ref(clients[i]), std::cref(files), std::cref(owners), end);
    }
    ncdtest::FinishesWithin("Every client ending its loads, gets and hand-backs", [&] {
      for (std::thread& t : threads) t.join();
    });
    for (Client& client : clients) {
      client.held.clear();
      for (const std::string& file : files)
        for (const OwnerRef& owner : owners) mgr->CancelLoad(client.id, file, owner);
    }
  }
  mgr->PurgeUnused();
  mgr->RemoveListener(&listener);
  EXPECT_EQ(mgr->Dump("").str(), "m_refFiles{} m_loadFiles{} m_unusedFiles{}");
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
  EXPECT_EQ(ncdtest::Owner::Live(), liveOwners);
  // One read, one thread: no thread announces twice. Every successful read
  // is announced, and every failed one that reported its error (a read
  // stopped by a cancellation reports and announces nothing).
  std::map<std::uint64_t, int> eventsPerRead;
  for (const auto& heard : listener.heard()) ++eventsPerRead[heard.thread];
  for (const auto& [thread, events] : eventsPerRead) EXPECT_EQ(events, 1) << "read on thread-" << thread;
  std::uint64_t succeeded = Pds_PahDesignLoader::LoadCount() - readsBefore;
  std::size_t failed = capture.count(Port_MsgKind::Error, files[3]);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadedID), succeeded);
  EXPECT_EQ(listener.count(UtilI::SharedNcdLoadFailedID), failed);
  EXPECT_GT(succeeded, 0u);
  EXPECT_GT(failed, 0u);
}

}  // namespace

namespace {

// Clients hand designs back while others take them from the cache again and
// evict them: a hand-back must never touch a design that another client's
// eviction has freed meanwhile.
TEST(ManagerStress, HandBacksRaceWithEvictions) {
  ncdtest::TempDir dir;
  std::vector<std::string> files = {dir.Write("x.ncd", ncdtest::MinimalDesign()),
                                    dir.Write("y.ncd", ncdtest::MinimalDesign()),
                                    dir.Write("z.ncd", ncdtest::MinimalDesign())};
  Mgr* mgr = Mgr::Instance();
  int liveDesigns = SharedNcd::LiveCount();
  const Port::XUID loader{0xC11E47ULL, 0x99ULL};
  for (const std::string& file : files) ASSERT_EQ(mgr->Load(loader, file, {}, true), 1u);
  for (const std::string& file : files) mgr->CancelLoad(loader, file, {});
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(static_cast<int>(StressSeconds() * 300));
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      Port::XUID me(0xC11E47ULL, 0x100ULL + t);
      for (unsigned i = t; std::chrono::steady_clock::now() < end; ++i) {
        const std::string& file = files[i % files.size()];
        if (mgr->Load(me, file, {}, true) == 1) DesignRef held = mgr->Get(me, file, {});
        mgr->CancelLoad(me, file, {});
      }
    });
  }
  ncdtest::FinishesWithin("Every client ending its loads and cancels", [&] {
    for (std::thread& t : threads) t.join();
  });
  mgr->PurgeUnused();
  EXPECT_EQ(mgr->Dump("").str(), "m_refFiles{} m_loadFiles{} m_unusedFiles{}");
  EXPECT_EQ(SharedNcd::LiveCount(), liveDesigns);
}

}  // namespace
