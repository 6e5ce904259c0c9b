// Helpers shared by the design database tests: loading a file into a fresh
// loader, writing small design files, and a model that counts its instances
// so that tests can see that nothing of a load is left behind.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "Pds_Exception.h"
#include "Pds_PahDesignLoader.h"
#include "Pds_PahJsonLoader.h"
#include "XCad_CadBlock.h"
#include "XCad_CadModel.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadView.h"
#include "Xdm_Network.h"
#include "Xdm_Pin.h"
#include "Xdm_Signal.h"
#include "Xdm_View.h"

namespace design_test {

inline std::string DemoPath() {
  return std::string(NCD_EXAMPLES) + "/demo.ncd.json";
}
inline std::string DataPath(const char* name) {
  return std::string(NCD_TEST_DATA) + "/" + name;
}

// A model that counts the live instances of itself.
class CountingModel : public XCad_CadModel {
 public:
  CountingModel(const char* file, const char* app, const char* part)
      : XCad_CadModel(file, app, part) {
    ++Live();
  }
  ~CountingModel() override { --Live(); }
  static std::atomic<int>& Live() {
    static std::atomic<int> live{0};
    return live;
  }
};

using Loader = Pds_PahDesignLoaderT<XCad_CadTraits>;
using CountingInstantiator = Loader::InstantiatorT<CountingModel>;

// A loader with its loaded view.
struct Loaded {
  std::unique_ptr<Loader> loader = std::make_unique<Loader>();
  Xdm_View* view = nullptr;
  XCad_CadView* cad() const { return dynamic_cast<XCad_CadView*>(view); }
};

inline Loaded Load(const std::string& path,
                   Xdm_Txn::XDM_TXN_TYPE type = Xdm_Txn::XDM_TXN_READ_ONLY) {
  Loaded loaded;
  CountingInstantiator instantiator;
  loaded.view =
      loaded.loader->LoadAndSpecializeImpl(path, "design_test", type, &instantiator, nullptr);
  return loaded;
}

// The message of the Pds_Exception that refuses to load `path`, or
// "(loaded)"; checks that nothing of the refused load was kept.
inline std::string Refusal(const std::string& path) {
  const int before = CountingModel::Live();
  Loader loader;
  CountingInstantiator instantiator;
  std::string message = "(loaded)";
  try {
    loader.LoadAndSpecializeImpl(path, "t", Xdm_Txn::XDM_TXN_READ_ONLY, &instantiator, nullptr);
  } catch (const Pds_Exception& e) {
    message = e.what();
  }
  EXPECT_EQ(loader.GetTxn(), nullptr);
  EXPECT_EQ(CountingModel::Live(), before);
  return message;
}

// A directory of its own for one test program, removed at exit.
class TempDir {
 public:
  TempDir() {
    m_path =
        std::filesystem::temp_directory_path() / ("host_design_test." + std::to_string(::getpid()));
    std::filesystem::create_directories(m_path);
  }
  ~TempDir() { std::filesystem::remove_all(m_path); }
  std::string Write(const std::string& name, const std::string& text) const {
    const std::string path = (m_path / name).string();
    std::ofstream(path, std::ios::binary) << text;
    return path;
  }
  std::string Path(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

// The cache in a folder of its own with a policy, for one test; the
// environment is put back after.
class CacheScope {
 public:
  explicit CacheScope(const char* policy = "all") {
    Save("NCD_CACHE", policy);
    Save("XDG_CACHE_HOME", m_dir.Path("cache").c_str());
  }
  ~CacheScope() {
    for (const auto& [name, value] : m_saved) {
      if (value.has_value()) {
        ::setenv(name.c_str(), value->c_str(), 1);
      } else {
        ::unsetenv(name.c_str());
      }
    }
  }
  const design_test::TempDir& Dir() const { return m_dir; }
  void Save(const char* name, const char* value) {
    const char* old = std::getenv(name);
    m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    ::setenv(name, value, 1);
  }

 private:
  design_test::TempDir m_dir;
  std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

// Names (or full names) of a list, joined with spaces.
template <class List>
std::string Names(const List& list) {
  std::string text;
  for (auto* object : list)
    text += (text.empty() ? "" : " ") + std::string(object->GetName());
  return text;
}
template <class List>
std::string FullNames(const List& list) {
  std::string text;
  for (auto* object : list)
    text += (text.empty() ? "" : " ") + std::string(object->GetFullName());
  return text;
}

inline Xdm_Network* NetNamed(const Xdm_View* view, const char* name) {
  for (Xdm_Network* net : view->GetNetworkItr()) {
    if (std::string(net->GetName()) == name) return net;
  }
  return nullptr;
}

// A block by path below the top ("" is the top).
inline Xdm_Block* BlockAt(const Xdm_View* view, const std::string& path) {
  for (std::uint32_t id = 0; id < view->GetMaxBlocks(); ++id) {
    Xdm_Block* block = view->GetBlockByBridgeId(id);
    if (block == nullptr) continue;
    if (path.empty() ? block->GetParent() == nullptr
                     : block->GetParent() && path == block->GetFullName()) {
      return block;
    }
  }
  return nullptr;
}

// Sets the split minimum for a test and puts the default back.
class SplitMinimum {
 public:
  explicit SplitMinimum(std::uint64_t bytes) { Pds_PahJsonLoader::SetSplitMinimum(bytes); }
  ~SplitMinimum() { Pds_PahJsonLoader::SetSplitMinimum(Pds_PahJsonLoader::kSplitMinimum); }
};

// Slows the loading thread down, so that the second thread is done first
// and takes runs of any size back towards it, for a test; puts the
// defaults back.
class TakeOverRuns {
 public:
  TakeOverRuns() { Pds_PahJsonLoader::SetPartShape(0.5, 0, std::chrono::microseconds(300)); }
  ~TakeOverRuns() {
    Pds_PahJsonLoader::SetPartShape(Pds_PahJsonLoader::kPartShare,
                                    Pds_PahJsonLoader::kLeastTakeover);
  }
};

// The runs a two-thread load's second thread took back since this was
// made: the parts beyond one per split.
class RunsTaken {
 public:
  std::uint64_t operator()() const {
    return Pds_PahJsonLoader::PartCount() - m_parts - (Pds_PahJsonLoader::SplitCount() - m_splits);
  }

 private:
  std::uint64_t m_parts = Pds_PahJsonLoader::PartCount();
  std::uint64_t m_splits = Pds_PahJsonLoader::SplitCount();
};

}  // namespace design_test
