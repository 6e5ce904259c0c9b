// A summary of a loaded design: what ncdinfo prints.
#pragma once

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>

class Xdm_View;

struct DesignSummary {
  std::string designName;  // empty when the file has no design information
  std::string partName;
  // Blocks by hierarchy level 0 to 4; levels outside that range in `otherLevels`.
  std::array<std::uint64_t, 5> blocksByLevel{};
  std::uint64_t otherLevels = 0;
  std::uint64_t partitions = 0;
  std::uint64_t iobs = 0;
  std::uint64_t blocks = 0;
  std::uint64_t nets = 0;
  std::uint64_t pins = 0;
  std::uint64_t signals = 0;
  std::uint64_t shapes = 0;
  std::uint64_t placedComps = 0;
  std::uint64_t routedNets = 0;  // with a routing record that is fully routed
};

// Walks the whole view (iteratively: deep hierarchies cannot overflow the stack).
DesignSummary Summarise(Xdm_View& view);

void Print(std::ostream& out, const DesignSummary& summary);
