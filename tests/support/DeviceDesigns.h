// Small design files that are all device: a part, its clock regions and its
// cells (each cell type made up from the cells that name it), and a top
// block with nothing in it.
#pragma once

#include <set>
#include <string>
#include <vector>

namespace ncdtest {

struct CellSpec {
  std::string name;
  std::string type;
  std::string region;  // empty: no clock region
};

// `extra` goes into the top-level object as it is (",\"faults\": {...}").
inline std::string DeviceDesignText(const std::string& part,
                                    const std::vector<std::string>& regions,
                                    const std::vector<CellSpec>& cells,
                                    const std::string& extra = "") {
  auto quoted = [](const std::string& s) { return "\"" + s + "\""; };
  std::string regionList, typeList, cellList;
  for (const std::string& r : regions)
    regionList += (regionList.empty() ? "" : ", ") + quoted(r);
  std::set<std::string> types;
  for (const CellSpec& c : cells) {
    if (types.insert(c.type).second) {
      typeList += std::string(typeList.empty() ? "" : ", ") + "{\"name\": " + quoted(c.type) +
                  ", \"modes\": []}";
    }
    cellList += std::string(cellList.empty() ? "" : ",\n    ") + "{\"name\": " + quoted(c.name) +
                ", \"type\": " + quoted(c.type) +
                (c.region.empty() ? "" : ", \"clock_region\": " + quoted(c.region)) + "}";
  }
  return "{\"format\": \"ncd-json\", \"version\": 1, \"part\": " + quoted(part) +
         ",\n \"device\": {\"clock_regions\": [" + regionList + "],\n  \"cell_types\": [" +
         typeList + "],\n  \"cells\": [" + cellList +
         "]},\n \"top\": {\"name\": \"top\", \"level\": 0}" + extra + "}\n";
}

}  // namespace ncdtest
