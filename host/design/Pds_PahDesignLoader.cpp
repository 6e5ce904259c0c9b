// The public loader: runs the file reader, makes the model, opens the
// transaction, and plays the file's test hooks.
#include "Pds_PahDesignLoader.h"

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "Pds_Exception.h"
#include "Pds_PahJsonLoader.h"
#include "Pds_PahLoadProgress.h"
#include "Pds_PahSnapshotCache.h"
#include "Port_Thr.h"
#include "Rf_Device.h"
#include "Rf_DeviceCatalogue.h"
#include "XCad_CadException.h"
#include "XCad_CadView.h"
#include "Xdm_Exception.h"

namespace {

std::atomic<std::uint64_t> g_loads{0};

struct Loaded {
  std::unique_ptr<Xdm_ViewStore> store;
  Pds_PahFaults faults;
};

// Reading in a scope of its own frees the reader's indexes before the
// model is made.
// Cancelling the loading thread stops the read early.
Loaded Parse(const std::string& fileName, Pds_PahLoadProgress::Entry& progress) {
  Pds_PahJsonLoader reader(fileName, &Port_ThrThread::cancelRequested, &progress);
  Loaded loaded;
  loaded.store = reader.Load();
  loaded.faults = reader.Faults();
  return loaded;
}

// A design the file's test hooks fail or delay is not snapshotted: the
// hooks are played after the read, and a snapshot does not keep them.
bool Plain(const Pds_PahFaults& faults) {
  return faults.kind == Pds_PahFaults::kNone && faults.delayMs == 0;
}

// From the design's snapshot when there is a sound one, else parsed (and
// then snapshotted).
Loaded ReadFile(const std::string& fileName, Pds_PahLoadProgress::Entry& progress) {
  Pds_PahSnapshotCache cache(fileName);
  Loaded loaded;
  // A cancelled read of the snapshot falls through to the parse, which
  // reports the cancel.
  loaded.store = cache.Open(&Port_ThrThread::cancelRequested, &progress);
  if (loaded.store) return loaded;
  loaded = Parse(fileName, progress);
  if (Plain(loaded.faults)) cache.Save(*loaded.store);
  return loaded;
}

// Waits in short steps; a cancelled loading thread stops early and fails
// as a cancelled read does.
void Delay(const std::string& fileName, std::int64_t milliseconds) {
  using Clock = std::chrono::steady_clock;
  const auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
  while (Clock::now() < end) {
    if (Port_ThrThread::cancelRequested()) {
      throw Pds_Exception("Pds_PahDesignLoader", __LINE__,
                          Port::StringBase::doFormat("%s: reading cancelled", fileName.c_str()));
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now());
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(5)));
  }
}

void ThrowFault(const Pds_PahFaults& faults) {
  const Port::StringBase& message = faults.message;
  switch (faults.kind) {
    case Pds_PahFaults::kNone:
      return;
    case Pds_PahFaults::kPds:
      throw Pds_Exception("Pds_PahDesignLoader", __LINE__, message);
    case Pds_PahFaults::kXcad:
      throw XCad_CadException("Pds_PahDesignLoader", __LINE__, message);
    case Pds_PahFaults::kXdm:
      throw Xdm_Exception::Base("Pds_PahDesignLoader", __LINE__, message);
    case Pds_PahFaults::kOther:
      throw std::runtime_error(faults.message);
  }
}

}  // namespace

Pds_PahDesignLoader::Instantiator::~Instantiator() = default;
Pds_PahDesignLoader::Pds_PahDesignLoader() = default;
Pds_PahDesignLoader::~Pds_PahDesignLoader() = default;

std::uint64_t Pds_PahDesignLoader::LoadCount() {
  return g_loads.load();
}

Xdm_View* Pds_PahDesignLoader::LoadAndSpecializeImpl(const Port::StringBase& fileName,
                                                     const Port::StringBase& appName,
                                                     Xdm_Txn::XDM_TXN_TYPE type,
                                                     Instantiator* instantiator,
                                                     const char* /*options*/) {
  if (m_used) {
    throw Pds_Exception("Pds_PahDesignLoader", __LINE__,
                        "this loader has been used; a loader loads one design");
  }
  m_used = true;
  if (instantiator == nullptr) {
    throw Pds_Exception("Pds_PahDesignLoader", __LINE__, "no instantiator given");
  }
  if (type != Xdm_Txn::XDM_TXN_READ_WRITE && type != Xdm_Txn::XDM_TXN_READ_ONLY) {
    throw Pds_Exception("Pds_PahDesignLoader", __LINE__,
                        Port::StringBase::doFormat("unknown transaction type %d", int(type)));
  }
  // Filed for the whole load, the test hooks' wait included.
  Pds_PahLoadProgress::Entry progress(fileName.str());
  Loaded loaded = ReadFile(fileName.str(), progress);
  std::unique_ptr<XCad_CadModel> model(instantiator->Instantiate(fileName.c_str(), appName.c_str(),
                                                                 loaded.store->m_partName.c_str()));
  if (model == nullptr) {
    throw Pds_Exception("Pds_PahDesignLoader", __LINE__, "the instantiator made no model");
  }
  Xdm_Access::Adopt(*model->GetView(), std::move(loaded.store));
  Delay(fileName.str(), loaded.faults.delayMs);
  ThrowFault(loaded.faults);
  // Only designs that load are described: a failed load leaves nothing behind.
  if (const Rf_Device* device = model->GetView()->GetDevice()) Rf_DeviceCatalogue::Record(*device);
  m_txn.reset(new Xdm_Txn(type, this, std::move(model)));
  g_loads.fetch_add(1);
  return m_txn->GetView();
}

void Pds_PahDesignLoader::EndTxn() {
  m_txn.reset();
}

Xdm_Txn::Xdm_Txn(XDM_TXN_TYPE type, Pds_PahDesignLoader* owner,
                 std::unique_ptr<XCad_CadModel> model)
    : m_type(type), m_owner(owner), m_model(std::move(model)) {}

Xdm_Txn::~Xdm_Txn() = default;

Xdm_View* Xdm_Txn::GetView() const {
  return m_model ? m_model->GetView() : nullptr;
}

void Xdm_Txn::Abort() {
  m_owner->EndTxn();  // frees this transaction: touch nothing after
}
