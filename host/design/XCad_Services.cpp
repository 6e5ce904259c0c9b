// The CAD layer: models, views, mediators, shapes.
#include <atomic>
#include <cstring>

#include "Tw_DlyMed.h"
#include "XCad_CadHelpers.h"
#include "XCad_CadModel.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_Partition.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;

// Live and constructed instances of one service class.
struct InstanceCounter {
  std::atomic<std::uint64_t> live{0};
  std::atomic<std::uint64_t> made{0};
  void Up() {
    live.fetch_add(1, std::memory_order_relaxed);
    made.fetch_add(1, std::memory_order_relaxed);
  }
  void Down() { live.fetch_sub(1, std::memory_order_relaxed); }
};

InstanceCounter g_rmed;
InstanceCounter g_rho;
InstanceCounter g_dly;

Tw_DlyMed::DELAYTYPE Answer(std::uint8_t type, int delay, int min, int* first, int* second) {
  const bool none = type == Tw_DlyMed::DELAYTYPE_NONE;
  if (first) *first = none ? 0 : delay;
  if (second) *second = none ? 0 : min;
  return static_cast<Tw_DlyMed::DELAYTYPE>(type);
}

}  // namespace

// ---- model and view

XCad_CadModel::XCad_CadModel(const char* fileName, const char* appName, const char* partName)
    : m_fileName(fileName ? fileName : ""),
      m_appName(appName ? appName : ""),
      m_partName(partName ? partName : ""),
      m_view(new XCad_CadView()) {}

XCad_CadModel::~XCad_CadModel() = default;

Rf_Device* XCad_CadView::GetDevice() const {
  return m_store->m_device.get();
}

bool XCad_CadHelpersRoutableNetworkFilter::operator()(const Xdm_Network* network) const {
  if (network == nullptr) return false;
  return A::F(*network).routable;
}

// ---- route mediator

XCad_RMed::XCad_RMed(XCad_CadView* view) : m_view(view) {
  g_rmed.Up();
}
XCad_RMed::~XCad_RMed() {
  g_rmed.Down();
}
std::uint64_t XCad_RMed::LiveCount() {
  return g_rmed.live.load();
}
std::uint64_t XCad_RMed::ConstructionCount() {
  return g_rmed.made.load();
}

Rf_Cell XCad_RMed::GetPlacement(const Xdm_Block* block) const {
  if (block == nullptr || A::F(*block).site == 0) return Rf_Cell();
  const Rf_Device* device = A::Store(*block).m_device.get();
  if (device == nullptr) return Rf_Cell();
  const Rf_CellData* cell = A::Data(*device).cells.At(A::F(*block).site - 1);
  const Xdm_BlockExtra* extra = A::F(*block).extra;
  return Rf_Cell(cell, extra ? extra->cellDef : nullptr);
}

XCad_RMedRug* XCad_RMed::GetRug(const XCad_CadNetwork* network) const {
  return network ? A::F(*network).rug : nullptr;
}

bool XCad_RMed::IsFullyRouted(const XCad_RMedRug* rug) const {
  return rug != nullptr && A::IsFull(*rug);
}

// ---- relocation

XCad_Rho::XCad_Rho(XCad_CadView* view) : m_view(view) {
  g_rho.Up();
}
XCad_Rho::~XCad_Rho() {
  g_rho.Down();
}
std::uint64_t XCad_Rho::LiveCount() {
  return g_rho.live.load();
}
std::uint64_t XCad_Rho::ConstructionCount() {
  return g_rho.made.load();
}

XCad_RhoNode* XCad_Rho::GetRelocIsetNodeForBlock(const Xdm_Block* block) const {
  if (block == nullptr) return nullptr;
  const auto& rho = A::Store(*block).m_rho;
  const auto found = rho.find(block);
  return found == rho.end() ? nullptr : found->second;
}

Xdm_Block* XCad_Rho::GetReferenceBlock(const XCad_RhoNode* node) const {
  return node ? node->GetReferenceBlock() : nullptr;
}

// ---- delays

Tw_DlyMed::Tw_DlyMed(XCad_CadView* view) : m_view(view) {
  g_dly.Up();
}
Tw_DlyMed::~Tw_DlyMed() {
  g_dly.Down();
}
std::uint64_t Tw_DlyMed::LiveCount() {
  return g_dly.live.load();
}
std::uint64_t Tw_DlyMed::ConstructionCount() {
  return g_dly.made.load();
}

Tw_DlyMed::DELAYTYPE Tw_DlyMed::GetDelay(const XCad_CadNetwork* network, int* first,
                                         int* second) const {
  if (network == nullptr) return Answer(DELAYTYPE_NONE, 0, 0, first, second);
  const Xdm_NetworkFields& f = A::F(*network);
  return Answer(f.delayType, f.delay, f.delayMin, first, second);
}

Tw_DlyMed::DELAYTYPE Tw_DlyMed::GetDelay(const XCad_CadNetwork* network, const Xdm_Pin* pin,
                                         int* first, int* second) const {
  if (network == nullptr || pin == nullptr) return Answer(DELAYTYPE_NONE, 0, 0, first, second);
  const Xdm_Signal* outer = pin->GetSignal();
  const Xdm_Signal* inner = pin->GetChildSignal();
  const bool onNet =
      (outer && outer->GetNetwork() == network) || (inner && inner->GetNetwork() == network);
  if (!onNet) return Answer(DELAYTYPE_NONE, 0, 0, first, second);
  const Xdm_PinFields& f = A::F(*pin);
  return Answer(f.delayType, f.delay, 0, first, second);
}

// ---- shapes and partitions

bool Xdh_Shape::IsUserShape() const {
  return m_holder && A::F(*m_holder).user;
}

Xdm_Block* Xdh_Shape::GetReferenceBlock() const {
  return m_holder ? A::F(*m_holder).reference : nullptr;
}

bool Xdh_Shape::GetBlocks(std::vector<Xdm_Block*>& blocks) const {
  blocks.clear();
  if (m_holder == nullptr || A::F(*m_holder).membersUnavailable) return false;
  blocks = A::F(*m_holder).members;
  return true;
}

Xdh_ShapeMgr Xdh_ShapeMgr::CreateShapeMgr(Xdm_View& view) {
  return Xdh_ShapeMgr(&view);
}

namespace {
std::atomic<std::uint64_t> g_shapesListed{0};
}  // namespace

bool Xdh_ShapeMgr::GetShapes(std::vector<Xdh_Shape>& shapes) const {
  shapes.clear();
  const Xdm_ViewStore& store = A::Store(*m_view);
  if (!store.m_shapesAvailable) return false;
  for (Xdm_PropertyHolder* holder : store.m_shapeList)
    shapes.emplace_back(holder);
  g_shapesListed.fetch_add(shapes.size(), std::memory_order_relaxed);
  return true;
}

// Every holder of the view is one of its listed shapes: a shape is added
// to both and removed from both (Xdm_ViewEditor), and its id is its place
// in the holder table.
bool Xdh_ShapeMgr::HasShape(const Xdm_PropertyHolder* holder) const {
  const Xdm_ViewStore& store = A::Store(*m_view);
  if (!store.m_shapesAvailable || holder == nullptr) return false;
  const std::uint32_t id = A::F(*holder).bridgeId;
  return id < store.m_holderTable.size() && store.m_holderTable[id] == holder;
}

std::uint64_t Xdh_ShapeMgr::ShapesListed() {
  return g_shapesListed.load(std::memory_order_relaxed);
}

bool Xdh_Partition::IsPartition(const Xdm_Block* block) {
  return block && (A::F(*block).flags & Xdm_BlockFields::kPartition) != 0;
}
