// Many threads read one freshly loaded view at once: full names are made
// on first use by whichever thread comes first, and every thread must see
// the same answers as a single reader.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "DesignTestSupport.h"

namespace {

using namespace design_test;

// Everything a reader can reach, as text.
std::string Walk(const Xdm_View* view) {
  std::string text;
  for (std::uint32_t id = 0; id < view->GetMaxBlocks(); ++id) {
    const Xdm_Block* block = view->GetBlockByBridgeId(id);
    text += block->GetFullName();
    text += "{" + FullNames(block->GetBlocks()) + "|" + FullNames(block->GetPinItr()) + "|" +
            FullNames(block->GetSignals()) + "}";
  }
  for (const Xdm_Network* net : view->GetNetworkItr()) {
    text += net->GetFullName();
    for (const Xdm_Signal* signal : net->GetSignalItr()) {
      text += "(" + FullNames(signal->GetPinItr()) + ")";
    }
  }
  return text;
}

TEST(XdmConcurrency, ReadersAgreeOnFullNamesAndLists) {
  constexpr int kReaders = 8;
  Loaded demo = Load(DemoPath());
  std::vector<std::string> seen(kReaders);
  std::vector<std::thread> readers;
  for (int i = 0; i < kReaders; ++i) {
    readers.emplace_back([&, i] { seen[i] = Walk(demo.view); });
  }
  for (std::thread& t : readers)
    t.join();
  const std::string reference = Walk(demo.view);
  EXPECT_NE(reference.find("u_cnt/c0/AFF{|u_cnt/c0/AFF/D u_cnt/c0/AFF/CK"), std::string::npos);
  for (const std::string& s : seen)
    EXPECT_EQ(s, reference);
}

}  // namespace
