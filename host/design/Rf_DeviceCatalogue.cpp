// The process-wide catalogue of devices by part name.
#include "Rf_DeviceCatalogue.h"

#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>

#include "Rf_Device.h"
#include "Xdm_Arena.h"

namespace {

struct RegionEntry {
  const char* name;
  std::vector<const Rf_CatalogueCell*> cells;
  bool hasBounds = false;
  Rf_Bounds bounds;
};

std::shared_mutex& CatalogueLock() {
  static std::shared_mutex* lock = new std::shared_mutex;  // never destroyed, as the catalogue
  return *lock;
}

}  // namespace

// What one device's own regions and cell types are in the catalogue.
struct DeviceMap {
  std::vector<const char*> regions;  // by Rf_ClockRegion::GetIndex()
  std::unordered_map<const Rf_CellDef*, const char*> types;
};

// Recording appends copies in order and nothing more, so that loading a
// design pays little for it; the name index and the regions' cell lists
// catch up on the first query that needs them (Index).
struct Rf_DevicePartData {
  explicit Rf_DevicePartData(std::string_view partName) : name(partName) {}

  // Under the catalogue's writer lock.
  void Merge(const Rf_Device& device) {
    DeviceMap map;
    for (const Rf_ClockRegion* region : device.GetClockRegions()) {
      RegionEntry* entry = AddRegion(region->GetName());
      if (!entry->hasBounds) entry->hasBounds = region->GetBounds(entry->bounds);
      map.regions.push_back(entry->name);
    }
    for (const Rf_CellDef* def : device.GetCellDefs())
      map.types.emplace(def, TypeName(def->GetName()));
    // A device names each cell once: into an empty part they all go as they are.
    const bool fresh = cells.Size() == 0;
    const std::vector<Rf_Cell>& list = device.GetCells();
    for (std::size_t i = 0; i < list.size(); ++i) {
      if (fresh) {
        Append(list[i], map);
      } else if (!IsKnownAt(i, list[i].GetName())) {
        Index();
        if (cellIndex.Find(list[i].GetName()) == nullptr) Append(list[i], map);
      }
    }
  }

  bool IsIndexed() const { return indexed == cells.Size(); }

  // Under the catalogue's writer lock.
  void Index() {
    for (; indexed < cells.Size(); ++indexed) {
      Rf_CatalogueCell* cell = cells.At(indexed);
      cellIndex.Insert(cell->name, cell);
      if (cell->region)
        static_cast<RegionEntry*>(regionIndex.Find(cell->region))->cells.push_back(cell);
    }
  }

  const std::string name;
  Xdm_StringArena strings;
  Xdm_ObjectArena<Rf_CatalogueCell> cells;  // in order of first sight
  Xdm_ObjectArena<RegionEntry> regions;
  Xdm_NameIndex regionIndex;
  Xdm_NameIndex cellIndex;  // the first `indexed` cells
  std::size_t indexed = 0;

 private:
  // The catalogue's copy of a cell type's name, one per name.
  const char* TypeName(const char* type) {
    if (void* known = types.Find(type)) return static_cast<const char*>(known);
    const char* copy = strings.Copy(type);
    types.Insert(copy, const_cast<char*>(copy));
    return copy;
  }

  RegionEntry* AddRegion(const char* region) {
    if (void* known = regionIndex.Find(region)) return static_cast<RegionEntry*>(known);
    RegionEntry* entry = regions.Create(RegionEntry{strings.Copy(region), {}, false, {}});
    regionIndex.Insert(entry->name, entry);
    return entry;
  }

  void Append(const Rf_Cell& cell, const DeviceMap& map) {
    Rf_CatalogueCell* entry = cells.Create();
    entry->name = strings.Copy(cell.GetName());
    if (const Rf_CellDef* def = cell.GetCellDef()) {
      auto it = map.types.find(def);
      entry->type = it != map.types.end() ? it->second : TypeName(def->GetName());
    }
    if (const Rf_ClockRegion* region = cell.GetClockRegion()) {
      const std::uint32_t i = region->GetIndex();
      entry->region = i < map.regions.size() ? map.regions[i] : AddRegion(region->GetName())->name;
    }
    cell.GetLocation(entry->x, entry->y);  // leaves -1 for a cell without a position
    entry->tile = CopyOrNull(cell.GetTileName());
    entry->packagePin = CopyOrNull(cell.GetPackagePin());
    entry->bank = CopyOrNull(cell.GetBank());
    const char* text = cell.GetClockRegionText();
    if (entry->region != nullptr && std::strcmp(text, entry->region) == 0) {
      entry->regionText = entry->region;
    } else if (text[0] != '\0') {
      entry->regionText = strings.Copy(text);
    }
  }

  const char* CopyOrNull(const char* text) {
    return text[0] != '\0' ? strings.Copy(text) : nullptr;
  }

  // A design of the part usually lists the cells the catalogue has, in the
  // same order: those are recognised by one comparison each.
  bool IsKnownAt(std::size_t index, const char* cell) const {
    return index < cells.Size() && std::strcmp(cells.At(index)->name, cell) == 0;
  }

  Xdm_NameIndex types;
};

namespace {

// Runs `query` under the reader lock, or, when designs have added cells
// since the index was last brought up to date, under the writer lock after
// doing so.
template <class Query>
auto Indexed(Rf_DevicePartData& part, Query query) {
  {
    std::shared_lock lock(CatalogueLock());
    if (part.IsIndexed()) return query();
  }
  std::unique_lock lock(CatalogueLock());
  part.Index();
  return query();
}

}  // namespace

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
  return Indexed(*m_d,
                 [&] { return static_cast<const Rf_CatalogueCell*>(m_d->cellIndex.Find(name)); });
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

bool Rf_DevicePart::GetClockRegionBounds(std::string_view name, Rf_Bounds& bounds) const {
  std::shared_lock lock(CatalogueLock());
  const auto* region = static_cast<const RegionEntry*>(m_d->regionIndex.Find(name));
  if (region == nullptr || !region->hasBounds) return false;
  bounds = region->bounds;
  return true;
}

std::vector<const Rf_CatalogueCell*> Rf_DevicePart::GetCellsOf(std::string_view name) const {
  return Indexed(*m_d, [&] {
    const auto* region = static_cast<const RegionEntry*>(m_d->regionIndex.Find(name));
    return region ? region->cells : std::vector<const Rf_CatalogueCell*>();
  });
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
  it->second->m_d->Merge(device);
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
