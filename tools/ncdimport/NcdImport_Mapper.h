// The mapping from a nextpnr netlist to the design tree (internal). One
// Mapper imports one netlist; its work is split over NcdImport_Map.cpp
// (nets, hierarchy, ports, device), NcdImport_MapCells.cpp (one handler per
// cell type) and NcdImport_MapTiming.cpp (routing status, SDF delays,
// carry chains).
#pragma once

#include <initializer_list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "NcdImport.h"
#include "NcdImport_Device.h"
#include "NcdImport_Netlist.h"
#include "NcdImport_Pcf.h"
#include "NcdImport_Sdf.h"

namespace NcdImport {

inline constexpr std::uint32_t kNoNet = 0xFFFFFFFFu;
inline constexpr std::uint32_t kTopPort = 0xFFFFFFFFu;

// One end of a net: a cell's port (cell index) or a top port bit.
struct Endpoint {
  std::uint32_t cell;  // kTopPort for a port of the design
  const std::string* port;
  Dir dir;
};

struct NetInfo {
  std::vector<Endpoint> ends;
  const NetName* routing = nullptr;  // the name that carries ROUTING
  bool pad = false;                  // joins a top port to its IO
};

class Mapper {
 public:
  Mapper(const Netlist& netlist, const Pcf* pcf, const Sdf* sdf, Notes& notes)
      : m_n(netlist), m_pcf(pcf), m_sdf(sdf), m_notes(notes) {}
  Design Run();

 private:
  // NcdImport_Map.cpp
  void ReadSettings();
  void NameNets();
  std::string UniqueNetName(const std::string& name, Bit bit);
  std::uint32_t NetOf(Bit bit, const std::string& owner, const std::string& port);
  std::uint32_t NetAt(Bit bit) const;  // kNoNet for none
  std::uint32_t ConstantNet(bool one);
  void Connect();
  void MapPorts();
  Block& ParentOf(const std::string& cellName, std::string& leaf);
  std::string BlockName(std::string name, const std::string& cellName);
  [[noreturn]] void TooDeep(const std::string& cellName) const;
  Block& NewComp(std::uint32_t cell, const std::string& name, Block& parent);
  void MapCells();
  void NoteAttributes(const Cell& cell);
  void AddDeviceCell(const std::string& name, const std::string& type);
  void BuildDevice();
  void UseCellType(const std::string& name, bool equation = false);

  // NcdImport_MapCells.cpp
  using Handler = void (Mapper::*)(std::uint32_t cell, Block& parent, const std::string& leaf);
  static Handler HandlerFor(const std::string& type);
  void MapLogicCell(std::uint32_t cell, Block& parent, const std::string& leaf);
  void MapIo(std::uint32_t cell, Block& parent, const std::string& leaf);
  std::string PlacedPackagePin(std::uint32_t cell) const;
  void MapPrimitive(std::uint32_t cell, Block& parent, const std::string& leaf);
  // The comp pins of the cell's connected ports; with `inside` each pin
  // also gets a signal of the comp's own, named after the port.
  void CompPins(std::uint32_t cell, Block& comp, bool inside);
  // A bel placed where its comp is, with the named pins (those whose
  // signal is empty are left out).
  Block& AddBel(Block& comp, const std::string& name, const std::string& type,
                std::vector<std::pair<std::string, std::string>> pins,
                const std::vector<std::string>& outputs);
  Block& AddWholeBel(Block& comp, const std::string& name, const std::string& type);
  static void Configure(Block& bel, const Cell& cell, std::initializer_list<const char*> names);

  // NcdImport_MapTiming.cpp
  void RouteStatus();
  void ApplySdf();
  void CarryChains();

  const Netlist& m_n;
  const Pcf* m_pcf;
  const Sdf* m_sdf;
  Notes& m_notes;
  Design m_d;
  Device m_device;

  std::unordered_map<Bit, std::uint32_t> m_netOfBit;
  std::unordered_set<std::string> m_netNames;
  std::vector<NetInfo> m_info;  // per net
  std::uint32_t m_const[2] = {kNoNet, kNoNet};
  std::vector<Block*> m_comps;      // per cell: its comp
  std::vector<std::string> m_bels;  // per cell: its bel, "" when unplaced
  // (cell name, port) -> the comp pin that stands for it.
  struct PinRef {
    Block* block;
    std::size_t pin;
    std::uint32_t net;
  };
  std::unordered_map<std::string, PinRef> m_pinOf;
  std::unordered_map<std::string, std::uint32_t> m_portNets;   // port bit name -> net
  std::unordered_map<std::uint32_t, std::string> m_portOfNet;  // net -> its first port bit
  std::unordered_set<std::string> m_pcfPortsOnIos;             // constrained ports an IO took
  std::unordered_set<std::string> m_cellNames;
  std::unordered_map<std::string, std::size_t> m_cellTypeIndex;
};

}  // namespace NcdImport
