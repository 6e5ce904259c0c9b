// The process-wide catalogue of devices by part name.
#include "Rf_DeviceCatalogue.h"

#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>

#include "Rf_Device.h"
#include "Xdm_Arena.h"

namespace {

struct RegionEntry {
  const char* name;
  std::vector<const Rf_CatalogueCell*> cells;
};

std::shared_mutex& CatalogueLock() {
  static std::shared_mutex* lock = new std::shared_mutex;  // never destroyed, as the catalogue
  return *lock;
}

}  // namespace

struct Rf_DevicePartData {
  explicit Rf_DevicePartData(std::string_view partName) : name(partName) {}

  // The catalogue's copy of a cell type's name, one per name.
  const char* TypeName(const char* type) {
    if (void* known = types.Find(type)) return static_cast<const char*>(known);
    const char* copy = strings.Copy(type);
    types.Insert(copy, const_cast<char*>(copy));
    return copy;
  }

  RegionEntry* AddRegion(const char* region) {
    if (void* known = regionIndex.Find(region)) return static_cast<RegionEntry*>(known);
    RegionEntry* entry = regions.Create(RegionEntry{strings.Copy(region), {}});
    regionIndex.Insert(entry->name, entry);
    return entry;
  }

  void AddCell(const Rf_Cell& cell) {
    if (cellIndex.Find(cell.GetName()) != nullptr) return;  // the first description stays
    Rf_CatalogueCell* entry = cells.Create();
    entry->name = strings.Copy(cell.GetName());
    if (const Rf_CellDef* def = cell.GetCellDef()) entry->type = TypeName(def->GetName());
    if (const Rf_ClockRegion* region = cell.GetClockRegion()) {
      RegionEntry* known = AddRegion(region->GetName());
      entry->region = known->name;
      known->cells.push_back(entry);
    }
    cellIndex.Insert(entry->name, entry);
  }

  // A design of the part usually lists the cells the catalogue has, in the
  // same order: those are recognised by one comparison each.
  bool IsKnownAt(std::size_t index, const char* name) const {
    return index < cells.Size() && std::strcmp(cells.At(index)->name, name) == 0;
  }

  const std::string name;
  Xdm_StringArena strings;
  Xdm_ObjectArena<Rf_CatalogueCell> cells;  // in order of first sight
  Xdm_ObjectArena<RegionEntry> regions;
  Xdm_NameIndex cellIndex;
  Xdm_NameIndex regionIndex;
  Xdm_NameIndex types;
};

Rf_DevicePart::Rf_DevicePart(std::string_view name)
    : m_d(std::make_unique<Rf_DevicePartData>(name)) {}
Rf_DevicePart::~Rf_DevicePart() = default;

const char* Rf_DevicePart::GetName() const {
  return m_d->name.c_str();
}

std::size_t Rf_DevicePart::GetCellCount() const {
  std::shared_lock lock(CatalogueLock());
  return m_d->cells.Size();
}

const Rf_CatalogueCell* Rf_DevicePart::FindCell(std::string_view name) const {
  std::shared_lock lock(CatalogueLock());
  return static_cast<const Rf_CatalogueCell*>(m_d->cellIndex.Find(name));
}

std::vector<const Rf_CatalogueCell*> Rf_DevicePart::GetCells() const {
  std::shared_lock lock(CatalogueLock());
  std::vector<const Rf_CatalogueCell*> cells(m_d->cells.Size());
  for (std::size_t i = 0; i < cells.size(); ++i)
    cells[i] = m_d->cells.At(i);
  return cells;
}

std::vector<const char*> Rf_DevicePart::GetClockRegions() const {
  std::shared_lock lock(CatalogueLock());
  std::vector<const char*> names(m_d->regions.Size());
  for (std::size_t i = 0; i < names.size(); ++i)
    names[i] = m_d->regions.At(i)->name;
  return names;
}

const char* Rf_DevicePart::FindClockRegion(std::string_view name) const {
  std::shared_lock lock(CatalogueLock());
  const auto* region = static_cast<const RegionEntry*>(m_d->regionIndex.Find(name));
  return region ? region->name : nullptr;
}

std::vector<const Rf_CatalogueCell*> Rf_DevicePart::GetCellsOf(std::string_view name) const {
  std::shared_lock lock(CatalogueLock());
  const auto* region = static_cast<const RegionEntry*>(m_d->regionIndex.Find(name));
  return region ? region->cells : std::vector<const Rf_CatalogueCell*>();
}

namespace {

// Parts by name; never destroyed, so that parts handed out stay valid.
std::map<std::string, std::unique_ptr<Rf_DevicePart>, std::less<>>& Parts() {
  static auto* parts = new std::map<std::string, std::unique_ptr<Rf_DevicePart>, std::less<>>;
  return *parts;
}

}  // namespace

void Rf_DeviceCatalogue::Record(const Rf_Device& device) {
  std::unique_lock lock(CatalogueLock());
  auto& parts = Parts();
  const std::string_view partName = device.GetName();
  auto it = parts.find(partName);
  if (it == parts.end()) {
    it = parts.emplace(partName, std::unique_ptr<Rf_DevicePart>(new Rf_DevicePart(partName))).first;
  }
  Rf_DevicePartData& part = *it->second->m_d;
  for (const Rf_ClockRegion* region : device.GetClockRegions())
    part.AddRegion(region->GetName());
  const std::vector<Rf_Cell>& cells = device.GetCells();
  for (std::size_t i = 0; i < cells.size(); ++i) {
    if (!part.IsKnownAt(i, cells[i].GetName())) part.AddCell(cells[i]);
  }
}

const Rf_DevicePart* Rf_DeviceCatalogue::FindPart(std::string_view partName) {
  std::shared_lock lock(CatalogueLock());
  const auto& parts = Parts();
  auto it = parts.find(partName);
  return it == parts.end() ? nullptr : it->second.get();
}

std::vector<std::string> Rf_DeviceCatalogue::GetPartNames() {
  std::shared_lock lock(CatalogueLock());
  std::vector<std::string> names;
  for (const auto& [name, part] : Parts())
    names.push_back(name);
  return names;
}
