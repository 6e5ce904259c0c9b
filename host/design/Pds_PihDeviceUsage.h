// Pds_PihDeviceUsage: the device usage of blocks. Stateless.
#pragma once

#include "Rf_Usage.h"

class Pds_PdmBlock;
class Rf_Device;

class Pds_PihDeviceUsage {
 public:
  // The block's usage; an invalid usage for null or a block without modes.
  // `device` may be null: the block's own view knows its device.
  static Rf_Usage GetRfUsage(const Pds_PdmBlock* block, Rf_Device* device);
};
