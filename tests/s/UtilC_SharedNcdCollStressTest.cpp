// Client threads open and close designs, make collectables, read them
// (while other threads close, purge and free their designs), search, and
// drop them, at random. Collectables of closed or freed designs must answer
// as stale and never touch freed memory; nothing may be left at the end.
// Run it under the thread sanitizer (and the address sanitizer) to judge.
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>
#include <vector>

#include "CollTestSupport.h"
#include "FinishesWithin.h"
#include "SearchTestDoubles.h"
#include "UtilI_VectorHelper.h"

using namespace ncdtest;

namespace {

double StressSeconds() {
  const char* text = std::getenv("NCD_STRESS_SECONDS");
  return text ? std::atof(text) : 2.0;
}

struct Shared {
  std::vector<std::string> files;
  std::vector<CommonI::RefCountPtr<CitI::IInterface>> owners;
  std::chrono::steady_clock::time_point end;
};

struct Client {
  std::mt19937 random;
  std::vector<CommonI::RefCountPtr<UtilI::ISharedNcd>> designs;
  std::vector<CollPtr> kept;

  template <class T>
  T& Pick(std::vector<T>& items) {
    return items[random() % items.size()];
  }
};

// Every kind of collectable of a design: blocks by walking, nets, pins, signals.
void MakeSome(Client& client, UtilI::ISharedNcd& design) {
  const Xdm_View* view = design.GetView();
  if (!view) return;
  const Xdm_Block* top = view->GetBlock();
  client.kept.push_back(design.MakeCollectable(static_cast<const Pds_PdmBlock*>(top)));
  for (const Xdm_Block* block : top->GetBlocks()) {
    if (client.random() % 3) continue;
    client.kept.push_back(design.MakeCollectable(static_cast<const Pds_PdmBlock*>(block)));
    for (const Xdm_Pin* pin : block->GetPinItr()) client.kept.push_back(design.MakeCollectable(pin));
  }
  for (const Xdm_Network* net : view->GetNetworkItr()) {
    if (client.random() % 4 == 0) client.kept.push_back(design.MakeCollectable(net));
  }
}

void ReadSome(Client& client) {
  static const char* const kNames[] = {"Name", "Full Name", "Children", "Pins", "Signals", "Parent",
                                       "Nets", "RPMs",      "Status",   "Net",  "Max Delay", "Site"};
  for (int i = 0; i < 4 && !client.kept.empty(); ++i) {
    CollPtr& coll = client.Pick(client.kept);
    Get(coll, kNames[client.random() % std::size(kNames)]);
    NameOf(coll);
    coll->GetId();
  }
}

void SearchOne(Client& client, const CommonI::RefCountPtr<CitI::IInterface>& owner, UtilI::ISharedNcd& design) {
  auto* source = static_cast<UtilI::ITclSearchSource*>(design.QueryInterface(UtilI::IID_ITclSearchSource));
  auto types = UtilI::MakeStringContainer();
  types->Add(client.random() % 2 ? "ncd_block" : "ncd_net");
  FakeList results;
  source->SearchWithText(owner, "*c*", types, false, false, false, &results, nullptr);
}

void RunClient(Client& client, Shared& shared, const Port::XUID& requester) {
  auto* mgr = UtilC::SharedNcd::Mgr::Instance();
  while (std::chrono::steady_clock::now() < shared.end) {
    const std::size_t which = client.random() % shared.owners.size();
    const auto& owner = shared.owners[which];
    const std::string& file = client.Pick(shared.files);
    switch (client.random() % 8) {
      case 0:
        mgr->Load(requester, file, owner, true);
        if (auto design = mgr->Get(requester, file, owner)) client.designs.push_back(design);
        break;
      case 1:
        if (!client.designs.empty()) client.designs.erase(client.designs.begin() + client.random() % client.designs.size());
        break;
      case 2:
      case 3:
        if (!client.designs.empty()) MakeSome(client, *client.Pick(client.designs));
        break;
      case 4:
        ReadSome(client);
        break;
      case 5:
        if (!client.kept.empty()) client.kept.erase(client.kept.begin() + client.random() % client.kept.size());
        if (client.kept.size() > 400) client.kept.resize(200);
        break;
      case 6:
        if (!client.designs.empty()) {
          auto& design = client.Pick(client.designs);
          SearchOne(client, design->GetOwner(), *design);
        }
        break;
      case 7:
        if (client.random() % 8 == 0) mgr->PurgeUnused();
        break;
    }
  }
}

class CollStress : public CollTest {};

TEST_F(CollStress, CollectablesOutliveAndRaceTheirDesigns) {
  Shared shared;
  shared.files = {Demo(), std::string(NCD_TEST_DATA) + "/blocks.ncd.json", std::string(NCD_TEST_DATA) + "/tiny.ncd.json"};
  for (int i = 0; i < 2; ++i) {
    shared.owners.push_back(NewOwner());
    ASSERT_TRUE(OpenContext(shared.owners.back()));
  }
  shared.end = std::chrono::steady_clock::now() + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                                      std::chrono::duration<double>(StressSeconds()));
  std::vector<Client> clients(4);
  std::vector<std::thread> threads;
  for (std::size_t i = 0; i < clients.size(); ++i) {
    clients[i].random.seed(static_cast<unsigned>(1234 + i));
    threads.emplace_back(RunClient, std::ref(clients[i]), std::ref(shared), Port::XUID{0x57e55ULL, i + 1});
  }
  // A design freed while a use it waits for was withdrawn would wait forever.
  ncdtest::FinishesWithin("Every client ending (designs freed once their uses were withdrawn)", [&] {
    for (std::thread& t : threads) t.join();
  });
  // With every design back with the manager, every collectable is stale.
  std::vector<CollPtr> kept;
  for (Client& client : clients) {
    client.designs.clear();
    kept.insert(kept.end(), client.kept.begin(), client.kept.end());
    client.kept.clear();
  }
  for (const CollPtr& coll : kept) EXPECT_EQ(coll->IsStale(), 1u);
  kept.clear();
  for (const auto& owner : shared.owners) SearchService()->CloseContext(owner);
}

}  // namespace
