// Pds_PahIoUsage: IO standards, drive and slew of an IOB (an external
// block), from the file's "io" object of the block.
//
// Each query answers the value with found = true, or "" with found = false
// when the block is null, is not an IOB, or does not set the value. A block
// whose "io" has "reject" throws instead, whatever its kind:
// Pds_ExceptionInvalidTypeBlock or Pds_ExceptionCorruptDatabase. Stateless:
// any thread may call it.
#pragma once

#include <string>

class Pds_PdmBlock;

class Pds_PahIoUsage {
 public:
  static std::string GetInputStandard(const Pds_PdmBlock* block, bool& found);
  static std::string GetOutputStandard(const Pds_PdmBlock* block, bool& found);
  static std::string GetDriveStrength(const Pds_PdmBlock* block, bool& found);
  static std::string GetSlew(const Pds_PdmBlock* block, bool& found);
};
