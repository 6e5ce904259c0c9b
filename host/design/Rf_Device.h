// The device a design is placed on: cells (sites), their cell types with
// usage definitions, and clock regions.
//
// The view owns its device (XCad_CadView::GetDevice()) and everything in
// it; Rf_Cell and Rf_UsageDef::ModeDef are values that point into it and
// are valid as long as the view. Read-only once loaded: any number of
// threads may call it.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "Xdm_Itr.h"

class PM_PIC;
class Rf_CellDef;
struct Rf_DeviceData;
struct Xdm_Access;

// A rectangle of the device's grid, corners included.
struct Rf_Bounds {
  std::int32_t xMin = 0, yMin = 0, xMax = 0, yMax = 0;
};

class Rf_ClockRegion {
 public:
  const char* GetName() const { return m_name; }
  // Position in Rf_Device::GetClockRegions().
  std::uint32_t GetIndex() const { return m_index; }
  // The grid rectangle the region covers; false when the file gives none.
  bool GetBounds(Rf_Bounds& bounds) const {
    if (m_hasBounds) bounds = m_bounds;
    return m_hasBounds;
  }

 private:
  friend struct Xdm_Access;
  friend struct Rf_DeviceData;
  Rf_ClockRegion(const char* name, std::uint32_t index) : m_name(name), m_index(index) {}
  const char* m_name;
  std::uint32_t m_index;
  bool m_hasBounds = false;
  Rf_Bounds m_bounds;
};

class Rf_UsageDef {
 public:
  // A mode definition: a value; the default one (a name the usage does not
  // define) is invalid.
  class ModeDef {
   public:
    ModeDef() = default;
    bool IsValid() const { return m_name != nullptr && m_valid; }
    const char* GetName() const { return m_name ? m_name : ""; }
    bool IsHidden() const { return m_hidden; }
    bool IsString() const { return m_string; }

   private:
    friend struct Xdm_Access;
    const char* m_name = nullptr;
    bool m_valid = false;
    bool m_hidden = false;
    bool m_string = false;
  };

  const std::vector<ModeDef>& GetModeDefs() const { return m_modes; }
  ModeDef GetModeDef(const char* name) const;

 private:
  friend struct Xdm_Access;
  std::vector<ModeDef> m_modes;
};

class Rf_CellDef {
 public:
  const char* GetName() const { return m_name; }
  Rf_UsageDef* GetUsageDef() const { return const_cast<Rf_UsageDef*>(&m_usage); }

 private:
  friend struct Xdm_Access;
  friend struct Rf_DeviceData;
  explicit Rf_CellDef(const char* name) : m_name(name) {}
  const char* m_name;
  Rf_UsageDef m_usage;
};

// What a cell is; reached through Rf_Cell.
struct Rf_CellData {
  const char* name = "";
  Rf_CellDef* def = nullptr;
  Rf_ClockRegion* region = nullptr;
  const char* regionText = nullptr;  // the file's "clock_region_text"; null without one
  std::uint32_t index = 0;
  // Where the cell lies: grid position (x < 0: none), tile, and for an IO
  // cell its package pin and bank; null texts for none.
  std::int32_t x = -1, y = -1;
  const char* tile = nullptr;
  const char* packagePin = nullptr;
  const char* bank = nullptr;
};

// A cell of the device, or the invalid cell. Cells compare equal when they
// are the same cell. A block's placement may answer its cell with a cell
// definition of the block's own (the file's "mode_defs" of a block): the
// same cell, seen with other mode definitions.
class Rf_Cell {
 public:
  using BoolFlag = const void*;

  Rf_Cell() = default;
  explicit Rf_Cell(const Rf_CellData* data, Rf_CellDef* def = nullptr)
      : m_data(data), m_def(data ? def : nullptr) {}

  // Null (false) for the invalid cell.
  operator BoolFlag() const { return m_data; }  // NOLINT: truth test by design
  bool IsValid() const { return m_data != nullptr; }

  // For the invalid cell: null, "" and null.
  Rf_CellDef* GetCellDef() const { return m_def ? m_def : m_data ? m_data->def : nullptr; }
  const char* GetName() const { return m_data ? m_data->name : ""; }
  Rf_ClockRegion* GetClockRegion() const { return m_data ? m_data->region : nullptr; }
  // The text the device shows as the cell's clock region: the file's
  // "clock_region_text" when it sets one (it need not name a declared
  // region), else the name of the cell's clock region, else "".
  const char* GetClockRegionText() const;
  // Position in Rf_Device::GetCells(); 0xFFFFFFFF for the invalid cell.
  std::uint32_t GetIndex() const { return m_data ? m_data->index : 0xFFFFFFFFu; }
  // The cell's grid position; false (and x, y untouched) when it has none.
  bool GetLocation(std::int32_t& x, std::int32_t& y) const {
    if (!m_data || m_data->x < 0) return false;
    x = m_data->x;
    y = m_data->y;
    return true;
  }
  // "" when the cell has none (and for the invalid cell).
  const char* GetTileName() const { return Text(m_data ? m_data->tile : nullptr); }
  const char* GetPackagePin() const { return Text(m_data ? m_data->packagePin : nullptr); }
  const char* GetBank() const { return Text(m_data ? m_data->bank : nullptr); }

  bool operator==(const Rf_Cell& other) const { return m_data == other.m_data; }

 private:
  static const char* Text(const char* text) { return text ? text : ""; }
  const Rf_CellData* m_data = nullptr;
  Rf_CellDef* m_def = nullptr;  // the placed block's own definition, or null
};

class Rf_Device {
 public:
  ~Rf_Device();
  Rf_Device(const Rf_Device&) = delete;
  Rf_Device& operator=(const Rf_Device&) = delete;

  // The part name.
  const char* GetName() const;
  PM_PIC* GetPmPic() const;

  // In file order.
  const std::vector<Rf_Cell>& GetCells() const;
  Xdm_Range<Rf_ClockRegion> GetClockRegions() const;
  Xdm_Range<Rf_CellDef> GetCellDefs() const;

  // The invalid cell / null when the device has no such name.
  Rf_Cell FindCell(const char* name) const;
  Rf_ClockRegion* FindClockRegion(const char* name) const;
  Rf_CellDef* FindCellDef(const char* name) const;

 private:
  friend struct Xdm_Access;
  explicit Rf_Device(const char* partName);
  std::unique_ptr<Rf_DeviceData> m_d;
};
