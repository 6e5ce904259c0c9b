// Design objects for the shared design's tests, loaded from JSON text
// through their own loader as the reader does. A design no client holds is
// destroyed by releasing the manager's reference (count 1 to 0).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "Pds_PdmBlock.h"
#include "UtilC_SharedNcd.h"
#include "XCad_CadView.h"
#include "Xdm_Network.h"
#include "Xdm_Signal.h"
#include "Xdm_Txn.h"

namespace ncdtest {

using UtilC::SharedNcd::SharedNcd;

struct ReleaseDesign {
  void operator()(SharedNcd* design) const { static_cast<CommonI::IRefCount*>(design)->Release(); }
};
using DesignPtr = std::unique_ptr<SharedNcd, ReleaseDesign>;

inline DesignPtr NewDesign(const std::string& file,
                           const CommonI::RefCountPtr<CitI::IInterface>& owner = {}) {
  return DesignPtr(new SharedNcd(UtilC::SharedNcd::Key(file, owner)));
}

inline DesignPtr LoadFile(const std::string& path) {
  DesignPtr design = NewDesign(path);
  SharedNcd::Loader::InstantiatorT<> make;
  design->SetView(design->GetLoader()->LoadAndSpecializeImpl(
      path, "test", Xdm_Txn::XDM_TXN_READ_ONLY, &make, nullptr));
  return design;
}

// A design of part xc5vlx30ff324-1 with these nets (JSON array items) and top block.
inline DesignPtr Load(const std::string& nets, const std::string& top) {
  static std::atomic<int> serial{0};
  const std::string path =
      std::filesystem::temp_directory_path() /
      ("s_design_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".json");
  std::ofstream(path)
      << R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1", "nets": [)" << nets
      << R"(], "top": )" << top << "}";
  DesignPtr design = LoadFile(path);
  std::filesystem::remove(path);
  return design;
}

template <class Range>
auto Named(const Range& range, const std::string& name) -> decltype(*range.begin()) {
  for (auto* object : range) {
    if (name == object->GetName()) return object;
  }
  return nullptr;
}

// The block at `path` ("a/b"; "" is the top block).
inline Pds_PdmBlock* Block(SharedNcd& design, const std::string& path) {
  Xdm_Block* block = design.GetView()->GetBlock();
  for (std::size_t start = 0, end; block && start < path.size(); start = end + 1) {
    end = std::min(path.find('/', start), path.size());
    block = Named(block->GetBlockItr(), path.substr(start, end - start));
  }
  return static_cast<Pds_PdmBlock*>(block);
}

inline Xdm_Pin* Pin(SharedNcd& d, const std::string& block, const char* name) {
  return Block(d, block)->GetPinByName(name);
}
inline Xdm_Signal* Signal(SharedNcd& d, const std::string& block, const char* name) {
  return Named(Block(d, block)->GetSignalItr(), name);
}
inline Xdm_Network* Net(SharedNcd& d, const char* name) {
  return Named(d.GetView()->GetNetworkItr(), name);
}

}  // namespace ncdtest
