// Generated designs load through the host loader, with exactly the counts
// the generator reports and a well-formed hierarchy: every net's signals
// are joined by pins into one piece, and each net has at most one driver.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "NcdGen.h"
#include "Pds_PahDesignLoader.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmView.h"
#include "XCad_CadModel.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_Txn.h"
#include "Xdm_View.h"

namespace {

using Loader = Pds_PahDesignLoaderT<XCad_CadTraits>;

// One generated design, written to a file and loaded; the view lives as
// long as this object.
struct Loaded {
  Loaded(uint64_t blocks, uint64_t seed) {
    path = (std::filesystem::temp_directory_path() /
            ("ncdgen_load_" + std::to_string(::getpid()) + "_" + std::to_string(seed) + ".json"))
               .string();
    std::ofstream out(path, std::ios::binary);
    stats = NcdGen::WriteDesign(NcdGen::Options{blocks, seed}, out);
    if (!out.flush()) throw std::runtime_error("cannot write " + path);
    Loader::InstantiatorT<> inst;
    view = loader.LoadAndSpecializeImpl(Port::StringBase(path), Port::StringBase("test"),
                                        Xdm_Txn::XDM_TXN_READ_ONLY, &inst, nullptr);
  }
  ~Loaded() {
    std::error_code ec;
    std::filesystem::remove(path, ec);
  }

  std::string path;
  NcdGen::Stats stats;
  Loader loader;
  Xdm_View* view = nullptr;
};

TEST(NcdGenLoad, CountsMatchTheGenerator) {
  for (uint64_t seed : {1, 2, 3}) {
    Loaded d(3000, seed);
    ASSERT_NE(d.view, nullptr);
    EXPECT_EQ(d.view->GetMaxBlocks(), d.stats.blocks) << seed;
    EXPECT_EQ(d.view->GetMaxNetworks(), d.stats.nets) << seed;
    EXPECT_EQ(d.view->GetMaxPins(), d.stats.pins) << seed;
    EXPECT_EQ(d.view->GetMaxSignals(), d.stats.signals) << seed;
    EXPECT_EQ(d.view->GetMaxPropertyHolders(), d.stats.shapes) << seed;
    EXPECT_NEAR(static_cast<double>(d.view->GetMaxBlocks()), 3000.0, 150.0) << seed;
  }
}

TEST(NcdGenLoad, LevelsAndMasterNetsAreThere) {
  Loaded d(5000, 4);
  uint64_t comps = 0, bels = 0;
  for (uint32_t id = 0; id < d.view->GetMaxBlocks(); ++id) {
    auto* block = dynamic_cast<Pds_PdmBlock*>(d.view->GetBlockByBridgeId(id));
    ASSERT_NE(block, nullptr) << id;
    comps += block->IsComp();
    bels += block->IsBel();
  }
  EXPECT_EQ(comps, d.stats.comps);
  EXPECT_GE(bels, 2 * (comps - 1)) << "most comps hold two to four bels";
  auto* view = dynamic_cast<Pds_PdmView*>(d.view);
  ASSERT_NE(view, nullptr);
  ASSERT_NE(view->GetMasterVccNetwork(), nullptr);
  ASSERT_NE(view->GetMasterGndNetwork(), nullptr);
  EXPECT_STREQ(view->GetMasterVccNetwork()->GetName(), "GLOBAL_LOGIC1");
  EXPECT_STREQ(view->GetMasterGndNetwork()->GetName(), "GLOBAL_LOGIC0");
}

struct Pieces {
  explicit Pieces(uint32_t n) : parent(n) { std::iota(parent.begin(), parent.end(), 0u); }
  uint32_t Find(uint32_t x) {
    while (parent[x] != x)
      x = parent[x] = parent[parent[x]];
    return x;
  }
  void Join(uint32_t a, uint32_t b) { parent[Find(a)] = Find(b); }
  std::vector<uint32_t> parent;
};

// A hierarchical pin (with both signals) joins two pieces of a net; a leaf
// pin (bel, IOB or port) that is not a load drives it.
TEST(NcdGenLoad, EachNetIsOnePieceWithOneDriver) {
  Loaded d(4000, 9);
  Xdm_View* view = d.view;
  Pieces pieces(view->GetMaxSignals());
  std::vector<uint32_t> drivers(view->GetMaxNetworks(), 0);
  for (uint32_t id = 0; id < view->GetMaxPins(); ++id) {
    Xdm_Pin* pin = view->GetPinByBridgeId(id);
    Xdm_Signal *outer = pin->GetSignal(), *inner = pin->GetChildSignal();
    if (outer && inner) {
      EXPECT_EQ(outer->GetNetwork(), inner->GetNetwork()) << pin->GetFullName();
      pieces.Join(Xdm_BridgeId::GetBridgeId(outer), Xdm_BridgeId::GetBridgeId(inner));
    } else if (pin->GetNetwork() && !pin->IsSignalLoad()) {
      ++drivers[Xdm_BridgeId::GetBridgeId(pin->GetNetwork())];
    }
  }
  uint32_t masters = 0;
  for (Xdm_Network* net : view->GetNetworkItr()) {
    std::vector<uint32_t> roots;
    for (Xdm_Signal* s : net->GetSignalItr())
      roots.push_back(pieces.Find(Xdm_BridgeId::GetBridgeId(s)));
    ASSERT_FALSE(roots.empty()) << net->GetName();
    for (uint32_t r : roots)
      EXPECT_EQ(r, roots.front()) << net->GetName();
    // Master nets have no driver; the pad net of a bidirectional port
    // ("b<k>") has only bidir pins, loads by default.
    std::string name = net->GetName();
    bool master = name.rfind("GLOBAL_LOGIC", 0) == 0;
    bool bidirPad = name[0] == 'b' && name.find('_') == std::string::npos;
    masters += master;
    EXPECT_EQ(drivers[Xdm_BridgeId::GetBridgeId(net)], master || bidirPad ? 0u : 1u) << name;
  }
  EXPECT_EQ(masters, 2u);
}

}  // namespace
