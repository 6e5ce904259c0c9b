#include "FuzzWalk.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "PM_PIC.h"
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmNetwork.h"
#include "Pds_PdmPin.h"
#include "Pds_PihDeviceUsage.h"
#include "Rf_Device.h"
#include "Tw_DlyMed.h"
#include "XCad_CadBlock.h"
#include "XCad_CadHelpers.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_Partition.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;

// Reading a name touches every byte, so that the sanitizers see a bad one.
std::size_t Touch(const char* text) {
  FuzzCheck(text != nullptr, "a null name");
  return std::strlen(text);
}

template <class List, class T>
bool Holds(const List& list, const T* object) {
  for (const T* item : list) {
    if (item == object) return true;
  }
  return false;
}

// The four IO queries answer or throw one of the kinds the format names.
void AskIoUsage(const Pds_PdmBlock* block) {
  using Query = std::string (*)(const Pds_PdmBlock*, bool&);
  for (Query query : {&Pds_PahIoUsage::GetInputStandard, &Pds_PahIoUsage::GetOutputStandard,
                      &Pds_PahIoUsage::GetDriveStrength, &Pds_PahIoUsage::GetSlew}) {
    bool found = true;
    try {
      const std::string value = query(block, found);
      FuzzCheck(found || value.empty(), "an IO value not found but not empty");
    } catch (const Pds_ExceptionInvalidTypeBlock&) {
    } catch (const Pds_ExceptionCorruptDatabase&) {
    } catch (const Port::Exception& e) {
      FuzzCheck(false, std::string("IO usage threw another library exception: ") + e.what());
    } catch (const std::runtime_error&) {
    }
  }
}

void AskUsage(const Pds_PdmBlock* block, const Xdm_ViewStore& store, bool uniqueNames) {
  const Pds_PdmUsage* usage = block->GetUsage();
  if (usage == nullptr) return;
  FuzzCheck(usage->SupportsGeneralConfigData(), "usage without configuration data");
  const Xdm_Slice data = A::UsageData(const_cast<Pds_PdmUsage&>(*usage));
  for (std::uint32_t i = 0; i < data.count; ++i) {
    const char* name = store.m_pairs[data.first + i].first;
    // With names taken on trust, the first of a name is the one found.
    std::uint32_t named = i;
    for (std::uint32_t j = 0; !uniqueNames && j < i; ++j) {
      if (std::strcmp(store.m_pairs[data.first + j].first, name) == 0) {
        named = j;
        break;
      }
    }
    const char* value = store.m_pairs[data.first + named].second;  // null reads as ""
    try {
      FuzzCheck(std::strcmp(usage->GetGeneralConfigData(name).GetValue(), value ? value : "") == 0,
                "general configuration data read back differently");
    } catch (const Pds_ExceptionInvalidConfig&) {
    }
  }
}

void AskCell(const Rf_Cell& cell, const Rf_Device* device) {
  Touch(cell.GetName());
  Touch(cell.GetClockRegionText());
  if (!cell.IsValid()) return;
  FuzzCheck(device != nullptr && device->FindCell(cell.GetName()) == cell, "a cell not found");
  if (const Rf_ClockRegion* region = cell.GetClockRegion()) Touch(region->GetName());
  const Rf_CellDef* def = cell.GetCellDef();
  FuzzCheck(def != nullptr, "a cell without definition");
  Touch(def->GetName());
  for (const Rf_UsageDef::ModeDef& mode : def->GetUsageDef()->GetModeDefs()) {
    const Rf_UsageDef::ModeDef found = def->GetUsageDef()->GetModeDef(mode.GetName());
    FuzzCheck(std::strcmp(found.GetName(), mode.GetName()) == 0, "a mode definition not found");
  }
}

struct Services {
  Services(XCad_CadView& view, const FuzzWalkChecks& c)
      : checks(c), rmed(&view), rho(&view), delays(&view) {}
  const FuzzWalkChecks& checks;
  XCad_RMed rmed;
  XCad_Rho rho;
  Tw_DlyMed delays;
};

void WalkBlock(Xdm_View& view, Services& s, const Pds_PdmBlock* block, std::uint32_t id) {
  FuzzCheck(Xdm_BridgeId::GetBridgeId(block) == id && block->GetView() == &view, "block id");
  Touch(block->GetName());
  Touch(block->GetFullName());
  Touch(static_cast<const XCad_CadBlock*>(block)->GetCmConfigStr());
  if (const Pds_PdlBlock* type = block->GetTypeBlock()) Touch(type->GetTypeName());
  if (const Xdm_Block* parent = block->GetParent()) {
    FuzzCheck(Holds(parent->GetBlocks(), static_cast<const Xdm_Block*>(block)), "not a child");
  }
  for (const Xdm_Block* child : block->GetBlocks())
    FuzzCheck(child->GetParent() == block, "a child of another block");
  for (const Xdm_Signal* signal : block->GetSignals())
    FuzzCheck(Xdm_Parent::GetParentObject(signal) == block, "a signal of another block");
  for (const Xdm_Pin* pin : block->GetPinItr()) {
    FuzzCheck(pin->GetParent() == block, "a pin of another block");
    const Xdm_Pin* named = block->GetPinByName(pin->GetName());
    FuzzCheck(named == pin || (!s.checks.uniqueNames && named &&
                               std::strcmp(named->GetName(), pin->GetName()) == 0),
              "a pin not found by name");
  }
  (void)Xdh_Partition::IsPartition(block);
  (void)(std::int64_t{block->GetConfigSecurity()} + block->GetNetlistSecurity() +
         block->GetHierLevel());
  AskIoUsage(block);
  AskUsage(block, A::Store(view), s.checks.uniqueNames);
  const Rf_Device* device = dynamic_cast<XCad_CadView&>(view).GetDevice();
  AskCell(s.rmed.GetPlacement(block), device);
  Touch(Pds_PihDeviceUsage::GetRfUsage(block, nullptr).GetMode("EQN").GetEquation());
  if (const XCad_RhoNode* node = s.rho.GetRelocIsetNodeForBlock(block)) {
    const Xdm_Block* reference = s.rho.GetReferenceBlock(node);
    FuzzCheck(reference == nullptr ||
                  view.GetBlockByBridgeId(Xdm_BridgeId::GetBridgeId(reference)) == reference,
              "a relocation reference outside the view");
  }
}

void WalkPin(Services& s, const Xdm_Pin* pin, std::uint32_t id) {
  FuzzCheck(Xdm_BridgeId::GetBridgeId(pin) == id && pin->GetParent() != nullptr, "pin id");
  Touch(pin->GetFullName());
  FuzzCheck(pin->IsBlockInput() + pin->IsBlockOutput() + pin->IsBlockBidir() <= 1, "directions");
  for (const Xdm_Signal* signal : {pin->GetSignal(), pin->GetChildSignal()}) {
    if (signal) FuzzCheck(Holds(signal->GetPinItr(), pin), "a pin its signal does not list");
  }
  const auto* pdm = static_cast<const Pds_PdmPin*>(pin);
  FuzzCheck(pdm->GetPrimaryNetwork() == pin->GetNetwork(), "primary network");
  (void)(pdm->IsImplicit() + pdm->GetExtendedPinType().IsPad() +
         pdm->GetExtendedPinType().IsClock());
  int first = 0, second = 0;
  s.delays.GetDelay(static_cast<const XCad_CadNetwork*>(pin->GetNetwork()), pin, &first, &second);
}

void WalkNetwork(Xdm_View& view, Services& s, const Xdm_Network* net) {
  const std::uint32_t id = Xdm_BridgeId::GetBridgeId(net);
  FuzzCheck(view.GetNetworkByBridgeId(id) == net && net->GetParent() == &view, "network id");
  Touch(net->GetName());
  Touch(net->GetFullName());
  for (const Xdm_Signal* signal : net->GetSignalItr())
    FuzzCheck(signal->GetNetwork() == net, "a signal of another network");
  const auto* cad = static_cast<const XCad_CadNetwork*>(net);
  const int type = static_cast<const Pds_PdmNetwork*>(net)->GetType();
  FuzzCheck(type >= 0 && type <= 2, "network type");
  (void)XCad_CadHelpersRoutableNetworkFilter()(net);
  int first = 0, second = 0;
  s.delays.GetDelay(cad, &first, &second);
  if (const XCad_RMedRug* rug = s.rmed.GetRug(cad)) {
    FuzzCheck(rug->GetNetwork() == cad, "a routing record of another network");
    int nodes = 0;
    for (const XCad_RMedRugNode* node = rug->GetFirstRugNode(); node;
         node = node->GetNextRugNode()) {
      FuzzCheck(++nodes <= 2, "too many routing nodes");
      const Xdm_Pin* driver = node->GetDriver();
      if (driver == nullptr) continue;
      FuzzCheck(view.GetPinByBridgeId(Xdm_BridgeId::GetBridgeId(driver)) == driver,
                "a driver outside the view");
      FuzzCheck(!s.checks.driversOnTheirNetworks || driver->GetNetwork() == net,
                "a driver on another network");
    }
    (void)s.rmed.IsFullyRouted(rug);
  }
}

void WalkShapes(Xdm_View& view) {
  std::vector<Xdh_Shape> shapes;
  if (!Xdh_ShapeMgr::CreateShapeMgr(view).GetShapes(shapes)) {
    FuzzCheck(shapes.empty(), "shapes listed while unavailable");
  }
  std::vector<Xdm_Block*> blocks;
  for (const Xdh_Shape& shape : shapes) {
    const Xdm_PropertyHolder* holder = shape.GetNativeXdmObject();
    FuzzCheck(view.GetPropertyHolderByBridgeId(Xdm_BridgeId::GetBridgeId(holder)) == holder,
              "shape id");
    Touch(holder->GetFullName());
    (void)shape.IsUserShape();
    if (shape.GetBlocks(blocks)) {
      for (const Xdm_Block* block : blocks)
        FuzzCheck(block->GetView() == &view, "shape member");
    }
    if (const Xdm_Block* reference = shape.GetReferenceBlock())
      FuzzCheck(reference->GetView() == &view, "shape reference");
  }
}

void WalkDevice(const Rf_Device* device) {
  if (device == nullptr) return;
  std::unique_ptr<char[]> part(device->GetPmPic()->get_partname());
  Touch(part.get());
  for (const Rf_Cell& cell : device->GetCells())
    AskCell(cell, device);
  for (const Rf_ClockRegion* region : device->GetClockRegions())
    FuzzCheck(device->FindClockRegion(region->GetName()) == region, "clock region");
  for (const Rf_CellDef* def : device->GetCellDefs())
    FuzzCheck(device->FindCellDef(def->GetName()) == def, "cell definition");
}

// Counts the blocks below `block` (itself included) by their lists.
std::uint32_t CountTree(const Xdm_Block* block) {
  std::uint32_t count = 1;
  for (const Xdm_Block* child : block->GetBlocks())
    count += CountTree(child);
  return count;
}

}  // namespace

void FuzzCheck(bool ok, const std::string& context) {
  if (ok) return;
  std::fprintf(stderr, "fuzz_loader finding: %s\n", context.c_str());
  std::abort();
}

void FuzzWalk(XCad_CadView& view, const FuzzWalkChecks& checks) {
  Services services(view, checks);
  const Xdm_Block* top = view.GetBlock();
  FuzzCheck(top != nullptr && top->GetParent() == nullptr, "no top block");
  std::uint32_t blocks = 0;
  for (std::uint32_t id = 0; id < view.GetMaxBlocks(); ++id) {
    const auto* block = static_cast<const Pds_PdmBlock*>(view.GetBlockByBridgeId(id));
    if (block == nullptr) continue;
    ++blocks;
    WalkBlock(view, services, block, id);
  }
  FuzzCheck(CountTree(top) == blocks, "blocks outside the hierarchy");
  for (std::uint32_t id = 0; id < view.GetMaxPins(); ++id) {
    if (const Xdm_Pin* pin = view.GetPinByBridgeId(id)) WalkPin(services, pin, id);
  }
  for (std::uint32_t id = 0; id < view.GetMaxSignals(); ++id) {
    const Xdm_Signal* signal = view.GetSignalByBridgeId(id);
    if (signal == nullptr) continue;
    FuzzCheck(Xdm_BridgeId::GetBridgeId(signal) == id, "signal id");
    Touch(signal->GetFullName());
    if (const Xdm_Network* net = signal->GetNetwork())
      FuzzCheck(Holds(net->GetSignalItr(), signal), "a signal its network does not list");
  }
  for (const Xdm_Network* net : view.GetNetworkItr())
    WalkNetwork(view, services, net);
  for (const Xdm_Network* master : {view.GetMasterVccNetwork(), view.GetMasterGndNetwork()}) {
    if (master) FuzzCheck(static_cast<const Pds_PdmNetwork*>(master)->GetType() != 2, "master");
  }
  WalkShapes(view);
  WalkDevice(view.GetDevice());
  if (const Xdm_DesignInfo* info = view.GetAppObject()) Touch(info->GetTool());
}
