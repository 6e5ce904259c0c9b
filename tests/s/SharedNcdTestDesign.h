// Design objects for the shared design's tests: small designs written as
// JSON text into a temporary file and loaded through the design object's
// own loader, as the reader does. A design no client holds is destroyed by
// releasing the manager's reference (count 1 to 0).
#pragma once

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
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

inline DesignPtr NewDesign(const std::string& fileName,
                           const CommonI::RefCountPtr<CitI::IInterface>& owner = {}) {
  return DesignPtr(new SharedNcd(UtilC::SharedNcd::Key(fileName, owner)));
}

inline DesignPtr LoadFile(const std::string& path) {
  DesignPtr design = NewDesign(path);
  SharedNcd::Loader::InstantiatorT<> make;
  design->SetView(design->GetLoader()->LoadAndSpecializeImpl(path, "test", Xdm_Txn::XDM_TXN_READ_ONLY,
                                                              &make, nullptr));
  return design;
}

// A design of part xc5vlx30ff324-1 with these nets (JSON array items) and
// this top block (JSON object).
inline DesignPtr Load(const std::string& nets, const std::string& top) {
  static std::atomic<int> serial{0};
  const std::filesystem::path path = std::filesystem::temp_directory_path() /
      ("s_design_test_" + std::to_string(getpid()) + "_" + std::to_string(serial++) + ".ncd.json");
  std::ofstream(path) << R"({"format": "ncd-json", "version": 1, "part": "xc5vlx30ff324-1", "nets": [)"
                      << nets << R"(], "top": )" << top << "}";
  DesignPtr design = LoadFile(path.string());
  std::filesystem::remove(path);
  return design;
}

// The block at `path` ("a/b"; "" is the top block); null when none.
inline Pds_PdmBlock* Block(SharedNcd& design, const std::string& path) {
  Xdm_Block* block = design.GetView()->GetBlock();
  for (std::size_t start = 0; block != nullptr && start < path.size();) {
    const std::size_t end = std::min(path.find('/', start), path.size());
    const std::string name = path.substr(start, end - start);
    Xdm_Block* child = nullptr;
    for (Xdm_Block* candidate : block->GetBlocks()) {
      if (name == candidate->GetName()) child = candidate;
    }
    block = child;
    start = end + 1;
  }
  return static_cast<Pds_PdmBlock*>(block);
}

inline Xdm_Pin* Pin(SharedNcd& design, const std::string& blockPath, const char* name) {
  return Block(design, blockPath)->GetPinByName(name);
}

inline Xdm_Signal* Signal(SharedNcd& design, const std::string& blockPath, const char* name) {
  for (Xdm_Signal* signal : Block(design, blockPath)->GetSignalItr()) {
    if (std::strcmp(signal->GetName(), name) == 0) return signal;
  }
  return nullptr;
}

inline Xdm_Network* Net(SharedNcd& design, const char* name) {
  for (Xdm_Network* network : design.GetView()->GetNetworkItr()) {
    if (std::strcmp(network->GetName(), name) == 0) return network;
  }
  return nullptr;
}

}  // namespace ncdtest
