// Rf_DeviceCatalogue: what the process has learnt of each part's device
// from the designs it has read, kept apart from any view.
//
// A view's device (Rf_Device) is freed with its view; the catalogue keeps
// copies of what a device section says (cell names, cell types, clock
// regions) for as long as the process runs, so that services describing a
// part (the shared device component) never point into a design that a
// client may close.
//
// The loader records the device of every design it loads successfully.
// Descriptions of one part (the part name compared byte for byte) are
// merged by name: a clock region or cell is added the first time a design
// of the part names it, in the order the designs list them; a cell already
// known keeps its first description (type and clock region), whatever later
// designs say of it. Nothing is ever changed or removed, so the parts and
// cells handed out, and every text they point at, stay valid and unchanged
// until the process ends.
//
// Cost: recording a part's first design copies its cell names (about 10 ms
// for 250,000 cells); a design whose cells the part has, in the same order,
// costs one comparison per cell. The name index and the regions' cell lists
// are built by the first FindCell or GetCellsOf after cells were added.
//
// Threads: any thread may call anything. One process-wide reader/writer
// lock guards the catalogue: recording writes, every query reads; no other
// lock is taken while it is held. It is a standard-library lock rather than
// a Port_Thr one so that tests injecting lock faults never reach it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class Rf_Device;
struct Rf_Bounds;
struct Rf_DevicePartData;

// One cell as the catalogue knows it. Texts are the catalogue's own copies.
struct Rf_CatalogueCell {
  const char* name = "";
  const char* type = "";         // the cell type's name
  const char* region = nullptr;  // the clock region's name; null: no region
  // What a site shows as the cell's clock region (Rf_Cell::GetClockRegionText):
  // the region's name, or a text of the design file's that need not name a
  // region of the part; null for nothing.
  const char* regionText = nullptr;
  // Where the cell lies (Rf_Cell::GetLocation, GetTileName, GetPackagePin,
  // GetBank): x < 0 for no position, null texts for none.
  std::int32_t x = -1, y = -1;
  const char* tile = nullptr;
  const char* packagePin = nullptr;
  const char* bank = nullptr;
};

class Rf_DevicePart {
 public:
  ~Rf_DevicePart();
  Rf_DevicePart(const Rf_DevicePart&) = delete;
  Rf_DevicePart& operator=(const Rf_DevicePart&) = delete;

  const char* GetName() const;
  std::size_t GetCellCount() const;
  // Null when the part has no cell of that name.
  const Rf_CatalogueCell* FindCell(std::string_view name) const;
  // In the order they were first seen.
  std::vector<const Rf_CatalogueCell*> GetCells() const;
  std::vector<const char*> GetClockRegions() const;
  // The catalogue's copy of the region's name; null when the part has none.
  const char* FindClockRegion(std::string_view name) const;
  // The grid rectangle of a clock region, from the first design that gave
  // one; false for an unknown region or one without bounds.
  bool GetClockRegionBounds(std::string_view name, Rf_Bounds& bounds) const;
  // The cells of a clock region, in cell order; empty for an unknown region.
  std::vector<const Rf_CatalogueCell*> GetCellsOf(std::string_view region) const;

 private:
  friend class Rf_DeviceCatalogue;
  explicit Rf_DevicePart(std::string_view name);
  std::unique_ptr<Rf_DevicePartData> m_d;
};

class Rf_DeviceCatalogue {
 public:
  // Merges the device's description into its part's (made on first use).
  static void Record(const Rf_Device& device);
  // Null while no design of that part has been loaded.
  static const Rf_DevicePart* FindPart(std::string_view partName);
  // Names of the known parts, sorted byte-wise.
  static std::vector<std::string> GetPartNames();
};
