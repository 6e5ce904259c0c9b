// Partitions of a design: blocks marked as partitions. Stateless.
#pragma once

class Xdm_Block;

class Xdh_Partition {
 public:
  // False for null.
  static bool IsPartition(const Xdm_Block* block);
};
