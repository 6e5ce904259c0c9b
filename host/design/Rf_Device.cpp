// The device: cells, cell types, clock regions, part information.
#include "Rf_Device.h"

#include <cstring>

#include "PM_PIC.h"
#include "Xdm_ViewStore.h"

char* PM_PIC::get_partname() const {
  char* copy = new char[m_partName.size() + 1];
  std::memcpy(copy, m_partName.c_str(), m_partName.size() + 1);
  return copy;
}

Rf_UsageDef::ModeDef Rf_UsageDef::GetModeDef(const char* name) const {
  if (name == nullptr) return ModeDef();
  for (const ModeDef& mode : m_modes) {
    if (std::strcmp(mode.GetName(), name) == 0) return mode;
  }
  return ModeDef();
}

const char* Rf_Cell::GetClockRegionText() const {
  if (m_data == nullptr) return "";
  if (m_data->regionText != nullptr) return m_data->regionText;
  return m_data->region ? m_data->region->GetName() : "";
}

Rf_DeviceData::Rf_DeviceData(const char* part)
    : partName(part ? part : ""), pic(std::make_unique<PM_PIC>(partName)) {}

Rf_DeviceData::~Rf_DeviceData() = default;

Rf_ClockRegion* Rf_DeviceData::AddRegion(std::string_view name) {
  const char* copy = Keep(name);
  auto region = std::unique_ptr<Rf_ClockRegion>(
      new Rf_ClockRegion(copy, static_cast<std::uint32_t>(regions.size())));
  if (!regionIndex.Insert(copy, region.get())) return nullptr;
  regions.push_back(std::move(region));
  regionList.push_back(regions.back().get());
  return regions.back().get();
}

Rf_CellDef* Rf_DeviceData::AddDef(std::string_view name) {
  const char* copy = Keep(name);
  auto def = std::unique_ptr<Rf_CellDef>(new Rf_CellDef(copy));
  if (!defIndex.Insert(copy, def.get())) return nullptr;
  defs.push_back(std::move(def));
  defList.push_back(defs.back().get());
  return defs.back().get();
}

Rf_CellData* Rf_DeviceData::AddCell(std::string_view name) {
  return AddCell(name, cellIndex.IsLarge() ? Xdm_NameIndex::Hash(name) : 0);
}

// A cell whose name is taken stays in the arena, listed nowhere: every
// caller gives up the device then.
Rf_CellData* Rf_DeviceData::AddCell(std::string_view name, std::uint64_t hash) {
  Rf_CellData* cell = cells.Create();
  cell->name = Keep(name);
  cell->index = static_cast<std::uint32_t>(cellList.size());
  if (!cellIndex.Insert(cell->name, cell, hash)) return nullptr;
  cellList.emplace_back(cell);
  return cell;
}

Rf_Device::Rf_Device(const char* partName) : m_d(std::make_unique<Rf_DeviceData>(partName)) {}
Rf_Device::~Rf_Device() = default;

const char* Rf_Device::GetName() const {
  return m_d->partName.c_str();
}
PM_PIC* Rf_Device::GetPmPic() const {
  return m_d->pic.get();
}
const std::vector<Rf_Cell>& Rf_Device::GetCells() const {
  return m_d->cellList;
}

Xdm_Range<Rf_ClockRegion> Rf_Device::GetClockRegions() const {
  return {m_d->regionList.data(), m_d->regionList.size()};
}

Xdm_Range<Rf_CellDef> Rf_Device::GetCellDefs() const {
  return {m_d->defList.data(), m_d->defList.size()};
}

Rf_Cell Rf_Device::FindCell(const char* name) const {
  if (name == nullptr) return Rf_Cell();
  return Rf_Cell(static_cast<const Rf_CellData*>(m_d->cellIndex.Find(name)));
}

Rf_ClockRegion* Rf_Device::FindClockRegion(const char* name) const {
  return name ? static_cast<Rf_ClockRegion*>(m_d->regionIndex.Find(name)) : nullptr;
}

Rf_CellDef* Rf_Device::FindCellDef(const char* name) const {
  return name ? static_cast<Rf_CellDef*>(m_d->defIndex.Find(name)) : nullptr;
}
