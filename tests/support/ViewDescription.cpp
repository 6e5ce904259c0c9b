#include "ViewDescription.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "PM_PIC.h"
#include "Pds_Exception.h"
#include "Pds_PahIoUsage.h"
#include "Pds_PdmBlock.h"
#include "Pds_PdmNetwork.h"
#include "Pds_PdmPin.h"
#include "Pds_PihDeviceUsage.h"
#include "Rf_Device.h"
#include "Rf_Usage.h"
#include "Tw_DlyMed.h"
#include "XCad_CadBlock.h"
#include "XCad_CadException.h"
#include "XCad_CadHelpers.h"
#include "XCad_CadNetwork.h"
#include "XCad_CadView.h"
#include "XCad_RMed.h"
#include "XCad_Rho.h"
#include "Xdh_Partition.h"
#include "Xdh_ShapeMgr.h"
#include "Xdm_Exception.h"
#include "Xdm_PropertyHolder.h"
#include "Xdm_ViewIndex.h"
#include "Xdm_ViewStore.h"

namespace {

using A = Xdm_Access;
constexpr std::uint32_t kNone = Xdm_BridgeId::kNone;

std::string Quote(std::string_view text) {
  static const char kHex[] = "0123456789abcdef";
  std::string out = "\"";
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (byte < 0x20 || byte >= 0x7f) {
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 15];
    } else {
      out += c;
    }
  }
  return out + '"';
}
std::string Quote(const char* text) {
  return text ? Quote(std::string_view(text)) : std::string("null");
}

std::string Id(std::uint32_t id) {
  return id == kNone ? std::string("none") : std::to_string(id);
}

// "kind#id\"name\"", or "none" for null.
template <class T>
std::string Ref(const char* kind, const T* object) {
  if (object == nullptr) return "none";
  return std::string(kind) + "#" + Id(Xdm_BridgeId::GetBridgeId(object)) + Quote(object->GetName());
}
std::string Ref(const Xdm_Block* b) {
  return Ref("block", b);
}
std::string Ref(const Xdm_Pin* p) {
  return Ref("pin", p);
}
std::string Ref(const Xdm_Signal* s) {
  return Ref("signal", s);
}
std::string Ref(const Xdm_Network* n) {
  return Ref("net", n);
}
std::string Ref(const Xdm_PropertyHolder* h) {
  return Ref("holder", h);
}

// Bridge ids of a list, "[1 2 3]".
template <class List>
std::string Ids(const List& list) {
  std::string text = "[";
  for (const auto* object : list) {
    if (text.size() > 1) text += ' ';
    text += Id(Xdm_BridgeId::GetBridgeId(object));
  }
  return text + "]";
}

std::string Bool(bool value) {
  return value ? "1" : "0";
}

// The kind and message of an exception a query threw.
std::string Thrown(const std::exception& e) {
  const char* kind = "std";
  if (dynamic_cast<const Pds_ExceptionInvalidTypeBlock*>(&e)) {
    kind = "Pds_ExceptionInvalidTypeBlock";
  } else if (dynamic_cast<const Pds_ExceptionCorruptDatabase*>(&e)) {
    kind = "Pds_ExceptionCorruptDatabase";
  } else if (dynamic_cast<const Pds_ExceptionInvalidConfig*>(&e)) {
    kind = "Pds_ExceptionInvalidConfig";
  } else if (dynamic_cast<const Pds_Exception*>(&e)) {
    kind = "Pds_Exception";
  } else if (dynamic_cast<const XCad_CadException*>(&e)) {
    kind = "XCad_CadException";
  } else if (dynamic_cast<const Xdm_Exception::Base*>(&e)) {
    kind = "Xdm_Exception";
  } else if (dynamic_cast<const Port::Exception*>(&e)) {
    kind = "Port::Exception";
  }
  return std::string("throws ") + kind + Quote(e.what());
}

// Appends `name` unless the list holds it.
void AddName(std::vector<const char*>& names, const char* name) {
  if (name == nullptr) return;
  for (const char* held : names) {
    if (std::strcmp(held, name) == 0) return;
  }
  names.push_back(name);
}

std::string ModeDefText(const Rf_UsageDef::ModeDef& mode) {
  return Quote(mode.GetName()) + "{valid=" + Bool(mode.IsValid()) +
         " hidden=" + Bool(mode.IsHidden()) + " string=" + Bool(mode.IsString()) + "}";
}

// Each mode definition, and what looking its name up answers.
std::string UsageDefText(const Rf_UsageDef* usage) {
  if (usage == nullptr) return "none";
  std::string text = "[";
  for (const Rf_UsageDef::ModeDef& mode : usage->GetModeDefs()) {
    if (text.size() > 1) text += ' ';
    const std::string listed = ModeDefText(mode);
    const std::string found = ModeDefText(usage->GetModeDef(mode.GetName()));
    text += listed + "->" + (found == listed ? std::string("same") : found);
  }
  return text + "]";
}

class Describer {
 public:
  explicit Describer(const XCad_CadView& view)
      : m_view(view),
        m_rmed(const_cast<XCad_CadView*>(&view)),
        m_rho(const_cast<XCad_CadView*>(&view)),
        m_delays(const_cast<XCad_CadView*>(&view)),
        m_device(view.GetDevice()) {}

  std::string Describe() {
    View();
    Device();
    for (std::uint32_t id = 0; id < m_view.GetMaxBlocks(); ++id)
      Block(id);
    for (std::uint32_t id = 0; id < m_view.GetMaxPins(); ++id)
      Pin(id);
    for (std::uint32_t id = 0; id < m_view.GetMaxSignals(); ++id)
      Signal(id);
    for (std::uint32_t id = 0; id < m_view.GetMaxNetworks(); ++id)
      Network(id);
    for (std::uint32_t id = 0; id < m_view.GetMaxPropertyHolders(); ++id)
      Holder(id);
    Shapes();
    return std::move(m_out);
  }

 private:
  void Line(const std::string& text) {
    m_out += text;
    m_out += '\n';
  }

  // Writes the line of an id that answers no object; false for an object.
  bool Missing(const char* kind, std::uint32_t id, const void* object,
               const std::string& more = "") {
    if (object != nullptr) return false;
    Line(std::string(kind) + " " + std::to_string(id) + " none" + more);
    return true;
  }

  void View() {
    const XCad_CadView& v = m_view;
    Line("view top=" + Ref(v.GetBlock()) + " blocks=" + std::to_string(v.GetMaxBlocks()) +
         " networks=" + std::to_string(v.GetMaxNetworks()) + " pins=" +
         std::to_string(v.GetMaxPins()) + " signals=" + std::to_string(v.GetMaxSignals()) +
         " holders=" + std::to_string(v.GetMaxPropertyHolders()) +
         " vcc=" + Ref(v.GetMasterVccNetwork()) + " gnd=" + Ref(v.GetMasterGndNetwork()) +
         " signal_network_ids=" + std::to_string(v.GetSignalNetworkIds().size()) +
         " past_end=" + Ref(v.GetBlockByBridgeId(v.GetMaxBlocks())) + "," +
         Ref(v.GetNetworkByBridgeId(v.GetMaxNetworks())) + "," +
         Ref(v.GetPinByBridgeId(v.GetMaxPins())) + "," +
         Ref(v.GetSignalByBridgeId(v.GetMaxSignals())) + "," +
         Ref(v.GetPropertyHolderByBridgeId(v.GetMaxPropertyHolders())));
    Line("networks " + Ids(v.GetNetworkItr()) +
         " count=" + std::to_string(v.GetNetworkItr().Count()));
    const Xdm_DesignInfo* info = v.GetAppObject();
    Line(info ? "design name=" + Quote(info->GetName()) + " tool=" + Quote(info->GetTool())
              : std::string("design none"));
    const Xdm_ViewIndex& index = v.GetNameIndex();
    Line("names_with_slash pins=" + std::to_string(index.NamesWithSlash(Xdm_ViewIndex::kPins)) +
         " signals=" + std::to_string(index.NamesWithSlash(Xdm_ViewIndex::kSignals)) +
         " networks=" + std::to_string(index.NamesWithSlash(Xdm_ViewIndex::kNetworks)) +
         " children=" + std::to_string(index.NamesWithSlash(Xdm_ViewIndex::kChildren)) +
         " shapes=" + std::to_string(index.NamesWithSlash(Xdm_ViewIndex::kShapes)));
  }

  // ---- device

  std::string DefRef(const Rf_CellDef* def) const {
    if (def == nullptr) return "none";
    const auto found = m_defIndex.find(def);
    if (found != m_defIndex.end())
      return "def#" + std::to_string(found->second) + Quote(def->GetName());
    // A block's own definition: described where it is met.
    return "own_def" + Quote(def->GetName()) + UsageDefText(def->GetUsageDef());
  }

  static std::string RegionRef(const Rf_ClockRegion* region) {
    if (region == nullptr) return "none";
    return "region#" + std::to_string(region->GetIndex()) + Quote(region->GetName());
  }

  static std::string CellRef(const Rf_Cell& cell) {
    if (!cell.IsValid()) return "none";
    return "cell#" + Id(cell.GetIndex()) + Quote(cell.GetName());
  }

  // Every answer of a cell but its definition.
  std::string CellText(const Rf_Cell& cell) const {
    std::string text = CellRef(cell) + " valid=" + Bool(cell.IsValid()) +
                       " bool=" + Bool(static_cast<bool>(cell)) +
                       " region=" + RegionRef(cell.GetClockRegion()) +
                       " region_text=" + Quote(cell.GetClockRegionText());
    std::int32_t x = -7, y = -7;
    const bool located = cell.GetLocation(x, y);
    text += located ? " at=" + std::to_string(x) + "," + std::to_string(y) : " at=none";
    text += " tile=" + Quote(cell.GetTileName()) + " package_pin=" + Quote(cell.GetPackagePin()) +
            " bank=" + Quote(cell.GetBank());
    if (cell.IsValid() && m_device) {
      const Rf_Cell found = m_device->FindCell(cell.GetName());
      text += " find=" + (found == cell ? std::string("self") : CellRef(found));
    }
    return text;
  }

  // Whether the cell is the device's cell of its index.
  bool Listed(const Rf_Cell& cell) const {
    if (!cell.IsValid() || m_device == nullptr) return false;
    const auto& cells = m_device->GetCells();
    return cell.GetIndex() < cells.size() && cells[cell.GetIndex()] == cell;
  }

  void Device() {
    if (m_device == nullptr) {
      Line("device none");
      return;
    }
    const Rf_Device& d = *m_device;
    std::unique_ptr<char[]> part(d.GetPmPic() ? d.GetPmPic()->get_partname() : nullptr);
    Line("device name=" + Quote(d.GetName()) + " part=" + Quote(part.get()) +
         " cells=" + std::to_string(d.GetCells().size()) +
         " regions=" + std::to_string(d.GetClockRegions().size()) +
         " defs=" + std::to_string(d.GetCellDefs().size()));
    std::uint32_t i = 0;
    for (const Rf_ClockRegion* region : d.GetClockRegions()) {
      Rf_Bounds bounds{-7, -7, -7, -7};
      const bool has = region->GetBounds(bounds);
      const Rf_ClockRegion* found = d.FindClockRegion(region->GetName());
      Line("region " + std::to_string(i++) + " " + RegionRef(region) +
           " find=" + (found == region ? std::string("self") : RegionRef(found)) + " bounds=" +
           (has ? std::to_string(bounds.xMin) + "," + std::to_string(bounds.yMin) + "," +
                      std::to_string(bounds.xMax) + "," + std::to_string(bounds.yMax)
                : std::string("none")));
    }
    i = 0;
    for (const Rf_CellDef* def : d.GetCellDefs())
      m_defIndex.emplace(def, i++);
    i = 0;
    for (const Rf_CellDef* def : d.GetCellDefs()) {
      const Rf_CellDef* found = d.FindCellDef(def->GetName());
      Line("def " + std::to_string(i++) + " " + DefRef(def) +
           " find=" + (found == def ? std::string("self") : DefRef(found)) +
           " modes=" + UsageDefText(def->GetUsageDef()));
    }
    i = 0;
    for (const Rf_Cell& cell : d.GetCells()) {
      Line("cell " + std::to_string(i++) + " " + CellText(cell) + " listed=" + Bool(Listed(cell)) +
           " def=" + DefRef(cell.GetCellDef()));
    }
  }

  // ---- blocks

  // The general configuration data the block sets or marks invalid.
  std::string UsageText(const Pds_PdmBlock& block) const {
    Pds_PdmUsage* usage = block.GetUsage();
    if (usage == nullptr) return "none";
    const Xdm_ViewStore& store = A::Store(block);
    std::vector<const char*> names;
    for (const Xdm_Slice slice : {A::UsageData(*usage), A::UsageInvalid(*usage)}) {
      for (std::uint32_t i = 0; i < slice.count; ++i)
        AddName(names, store.m_pairs[slice.first + i].first);
    }
    std::string text = "(support=" + Bool(usage->SupportsGeneralConfigData()) + "){";
    for (const char* name : names) {
      text += " " + Quote(name) + "=";
      try {
        const Pds_PdmAttribute value = usage->GetGeneralConfigData(name);
        text += Quote(value.GetValue()) + (value.IsEmpty() ? "(empty)" : "");
      } catch (const std::exception& e) {
        text += Thrown(e);
      }
    }
    return text + " }";
  }

  static std::string IoText(const Pds_PdmBlock& block) {
    using Query = std::string (*)(const Pds_PdmBlock*, bool&);
    static const std::pair<const char*, Query> kQueries[] = {
        {"input", &Pds_PahIoUsage::GetInputStandard},
        {"output", &Pds_PahIoUsage::GetOutputStandard},
        {"drive", &Pds_PahIoUsage::GetDriveStrength},
        {"slew", &Pds_PahIoUsage::GetSlew},
    };
    std::string text;
    for (const auto& [label, query] : kQueries) {
      text += std::string(" io_") + label + "=";
      bool found = false;
      try {
        const std::string value = query(&block, found);
        text += (found ? "found" : "absent") + Quote(value);
      } catch (const std::exception& e) {
        text += Thrown(e);
      }
    }
    return text;
  }

  // The modes asked of the block's usage: those the block sets, those its
  // placement's definition lists, and "EQN".
  static std::string ModesText(const Pds_PdmBlock& block, const Rf_Cell& placement) {
    std::vector<const char*> names;
    if (const Xdm_BlockExtra* extra = A::F(block).extra) {
      const Xdm_ViewStore& store = A::Store(block);
      for (std::uint32_t i = 0; i < extra->modes.count; ++i)
        AddName(names, store.m_pairs[extra->modes.first + i].first);
    }
    if (const Rf_CellDef* def = placement.GetCellDef()) {
      for (const Rf_UsageDef::ModeDef& mode : def->GetUsageDef()->GetModeDefs())
        AddName(names, mode.GetName());
    }
    AddName(names, "EQN");
    const Rf_Usage usage = Pds_PihDeviceUsage::GetRfUsage(&block, nullptr);
    std::string text = " usage_valid=" + Bool(usage.IsValid()) + " modes={";
    for (const char* name : names) {
      const Rf_Usage::Mode mode = usage.GetMode(name);
      text += " " + Quote(name) + "=" + (mode.IsValid() ? Quote(mode.GetEquation()) : "invalid");
    }
    return text + " }";
  }

  // The block that first (by bridge id) answers a relocation node names it.
  std::string RhoText(const Xdm_Block& block) {
    const XCad_RhoNode* node = m_rho.GetRelocIsetNodeForBlock(&block);
    if (node == nullptr) return " reloc=none";
    const auto [entry, added] = m_rhoNodes.emplace(node, Xdm_BridgeId::GetBridgeId(&block));
    (void)added;
    return " reloc=group_of_block#" + Id(entry->second) +
           " reloc_ref=" + Ref(node->GetReferenceBlock()) +
           " rho_ref=" + Ref(m_rho.GetReferenceBlock(node));
  }

  void Block(std::uint32_t id) {
    const auto* block = static_cast<const XCad_CadBlock*>(m_view.GetBlockByBridgeId(id));
    if (Missing("block", id, block)) return;
    const Xdm_View* owner = block->GetView();
    std::string text =
        "block " + std::to_string(id) + " " + Ref(block) + " full=" + Quote(block->GetFullName()) +
        " parent=" + Ref(block->GetParent()) + " view=" +
        (owner == &m_view ? "this"
         : owner          ? "other"
                          : "none") +
        " children=" + Ids(block->GetBlocks()) + " child_itr=" + Ids(block->GetBlockItr()) +
        " signals=" + Ids(block->GetSignals()) + " signal_itr=" + Ids(block->GetSignalItr()) +
        " pins=" + Ids(block->GetPinItr()) + " pin_by_name=[";
    bool first = true;
    for (const Xdm_Pin* pin : block->GetPinItr()) {
      text +=
          (first ? "" : " ") + Id(Xdm_BridgeId::GetBridgeId(block->GetPinByName(pin->GetName())));
      first = false;
    }
    const Pds_PdlBlock* type = block->GetTypeBlock();
    text += "] type=" + (type ? Quote(type->GetTypeName()) : std::string("none")) +
            " level=" + std::to_string(static_cast<int>(block->GetHierLevel())) +
            " bel=" + Bool(block->IsBel()) + " comp=" + Bool(block->IsComp()) +
            " external=" + Bool(block->IsExternal()) +
            " partition=" + Bool(Xdh_Partition::IsPartition(block)) +
            " config_security=" + std::to_string(block->GetConfigSecurity()) +
            " netlist_security=" + std::to_string(block->GetNetlistSecurity()) +
            " config=" + Quote(block->GetCmConfigStr()) + " gcd=" + UsageText(*block) +
            IoText(*block);
    const Rf_Cell placement = m_rmed.GetPlacement(block);
    text += ModesText(*block, placement);
    // A placement on a listed cell answers what the cell's line shows, but
    // for its definition.
    text += " placement=" + (Listed(placement) ? CellRef(placement) : CellText(placement)) +
            " placement_def=" + DefRef(placement.GetCellDef());
    text += RhoText(*block);
    const Xdm_ViewIndex& index = m_view.GetNameIndex();
    std::vector<Xdm_Block*> found;
    index.FindBlocks(block->GetFullName(), found);
    text += " index_child=" + Ref(index.FindChild(block->GetParent(), block->GetName())) +
            " index_path=" + Ref(index.FindPath(block->GetParent() ? block->GetFullName() : "")) +
            " index_full=" + Ids(found);
    Line(text);
  }

  // ---- pins, signals, networks

  std::string PinDelay(const Xdm_Network* net, const Xdm_Pin& pin) const {
    int first = -7, second = -7;
    const int type =
        m_delays.GetDelay(static_cast<const XCad_CadNetwork*>(net), &pin, &first, &second);
    return " delay(" + Ref(net) + ")=" + std::to_string(type) + ":" + std::to_string(first) + "," +
           std::to_string(second);
  }

  void Pin(std::uint32_t id) {
    const auto* pin = static_cast<const Pds_PdmPin*>(m_view.GetPinByBridgeId(id));
    if (Missing("pin", id, pin)) return;
    const Xdm_Signal* signal = pin->GetSignal();
    const Xdm_Signal* child = pin->GetChildSignal();
    const Pds_PdlExtendedPinType ext = pin->GetExtendedPinType();
    std::string text =
        "pin " + std::to_string(id) + " " + Ref(pin) + " full=" + Quote(pin->GetFullName()) +
        " parent=" + Ref(pin->GetParent()) +
        " parent_object=" + Ref(Xdm_Parent::GetParentObject(pin)) + " signal=" + Ref(signal) +
        " child=" + Ref(child) + " signal_id=" + Id(pin->GetSignalId()) +
        " child_id=" + Id(pin->GetChildSignalId()) + " net=" + Ref(pin->GetNetwork()) +
        " primary=" + Ref(pin->GetPrimaryNetwork()) + " in=" + Bool(pin->IsBlockInput()) +
        " out=" + Bool(pin->IsBlockOutput()) + " bidir=" + Bool(pin->IsBlockBidir()) +
        " load=" + Bool(pin->IsSignalLoad()) + " pad=" + Bool(ext.IsPad()) +
        " clock=" + Bool(ext.IsClock()) + " implicit=" + Bool(pin->IsImplicit());
    // The delay on the pin's network, and on its other signal's network.
    text += PinDelay(pin->GetNetwork(), *pin);
    for (const Xdm_Signal* s : {signal, child}) {
      if (s && s->GetNetwork() && s->GetNetwork() != pin->GetNetwork())
        text += PinDelay(s->GetNetwork(), *pin);
    }
    const Xdm_ViewIndex& index = m_view.GetNameIndex();
    std::vector<Xdm_Pin*> found;
    index.FindPins(pin->GetFullName(), found);
    text += " index_pin=" + Ref(index.FindPin(pin->GetParent(), pin->GetName())) +
            " index_full=" + Ids(found);
    Line(text);
  }

  void Signal(std::uint32_t id) {
    const Xdm_Signal* signal = m_view.GetSignalByBridgeId(id);
    const auto netIds = m_view.GetSignalNetworkIds();
    const std::string netId = " network_id=" + (id < netIds.size() ? Id(netIds[id]) : "missing");
    if (Missing("signal", id, signal, netId)) return;
    const Xdm_Block* parent = Xdm_Parent::GetParentObject(signal);
    const Xdm_ViewIndex& index = m_view.GetNameIndex();
    std::vector<Xdm_Signal*> found;
    index.FindSignals(signal->GetFullName(), found);
    Line("signal " + std::to_string(id) + " " + Ref(signal) +
         " full=" + Quote(signal->GetFullName()) + " parent=" + Ref(parent) +
         " net=" + Ref(signal->GetNetwork()) + netId + " pins=" + Ids(signal->GetPinItr()) +
         " index_signal=" + Ref(index.FindSignal(parent, signal->GetName())) +
         " index_full=" + Ids(found));
  }

  void Network(std::uint32_t id) {
    const auto* net = static_cast<const XCad_CadNetwork*>(m_view.GetNetworkByBridgeId(id));
    if (Missing("net", id, net)) return;
    int first = -7, second = -7;
    const int delayType = m_delays.GetDelay(net, &first, &second);
    std::string text =
        "net " + std::to_string(id) + " " + Ref(net) + " full=" + Quote(net->GetFullName()) +
        " view=" + (net->GetParent() == &m_view ? "this" : "other") +
        " type=" + std::to_string(net->GetType()) + " signals=" + Ids(net->GetSignalItr()) +
        " routable=" + Bool(XCad_CadHelpersRoutableNetworkFilter()(net)) +
        " delay=" + std::to_string(delayType) + ":" + std::to_string(first) + "," +
        std::to_string(second);
    if (const XCad_RMedRug* rug = m_rmed.GetRug(net)) {
      text += " rug_net=" + Ref(rug->GetNetwork()) +
              " full_route=" + Bool(m_rmed.IsFullyRouted(rug)) + " rug_drivers=[";
      int nodes = 0;
      for (const XCad_RMedRugNode* node = rug->GetFirstRugNode(); node;
           node = node->GetNextRugNode()) {
        text += (nodes++ ? " " : "") + Ref(node->GetDriver());
      }
      text += "]";
    } else {
      text += " rug=none";
    }
    const Xdm_ViewIndex& index = m_view.GetNameIndex();
    std::vector<Xdm_Network*> found;
    index.FindNetworks(net->GetFullName(), found);
    text += " index_name=" + Ref(index.FindNetwork(net->GetName())) + " index_full=" + Ids(found);
    Line(text);
  }

  // ---- shapes

  void Holder(std::uint32_t id) {
    const Xdm_PropertyHolder* holder = m_view.GetPropertyHolderByBridgeId(id);
    if (Missing("holder", id, holder)) return;
    const Xdh_Shape shape(const_cast<Xdm_PropertyHolder*>(holder));
    std::vector<Xdm_Block*> blocks;
    const bool available = shape.GetBlocks(blocks);
    Line("holder " + std::to_string(id) + " " + Ref(holder) +
         " full=" + Quote(holder->GetFullName()) + " user=" + Bool(shape.IsUserShape()) +
         " reference=" + Ref(shape.GetReferenceBlock()) +
         " members=" + (available ? Ids(blocks) : std::string("unavailable")) +
         " index_shape=" + Ref(m_view.GetNameIndex().FindShape(holder->GetName())));
  }

  void Shapes() {
    std::vector<Xdh_Shape> shapes;
    const bool available =
        Xdh_ShapeMgr::CreateShapeMgr(const_cast<XCad_CadView&>(m_view)).GetShapes(shapes);
    std::string text = "shapes available=" + Bool(available) + " [";
    bool first = true;
    for (const Xdh_Shape& shape : shapes) {
      text += (first ? "" : " ") + Ref(shape.GetNativeXdmObject());
      first = false;
    }
    Line(text + "]");
  }

  const XCad_CadView& m_view;
  XCad_RMed m_rmed;
  XCad_Rho m_rho;
  Tw_DlyMed m_delays;
  const Rf_Device* m_device;
  std::unordered_map<const Rf_CellDef*, std::uint32_t> m_defIndex;
  std::unordered_map<const XCad_RhoNode*, std::uint32_t> m_rhoNodes;
  std::string m_out;
};

}  // namespace

std::string DescribeView(const XCad_CadView& view) {
  return Describer(view).Describe();
}
