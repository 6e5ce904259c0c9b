// Pds_PdmBlock: a block with its physical attributes (type, hierarchy
// level, security, usage). See Xdm_Block.h for ownership and threading.
#pragma once

#include "Pds_Pdl.h"
#include "Pds_PdmUsage.h"
#include "Xdm_Block.h"

class Pds_PdmBlock : public Xdm_Block {
 public:
  // The numeric hierarchy level; values other than these are kept as given.
  enum HIER_LEVEL : int {
    HIER_LEVEL_TOP = 0,
    HIER_LEVEL_MODULE = 1,
    HIER_LEVEL_HARD_MACRO = 2,
    HIER_LEVEL_COMP = 3,
    HIER_LEVEL_BEL = 4,
  };

  // Null when the block has no type.
  Pds_PdlBlock* GetTypeBlock() const { return m_f.type; }
  HIER_LEVEL GetHierLevel() const { return static_cast<HIER_LEVEL>(m_f.level); }
  bool IsBel() const { return m_f.level == HIER_LEVEL_BEL; }
  bool IsComp() const { return m_f.level == HIER_LEVEL_COMP; }
  bool IsExternal() const { return (m_f.flags & Xdm_BlockFields::kExternal) != 0; }
  // Null when the block has no general configuration data.
  Pds_PdmUsage* GetUsage() const;
  // Nonzero values mean the block's contents are to be kept hidden.
  int GetConfigSecurity() const;
  int GetNetlistSecurity() const;

 protected:
  Pds_PdmBlock() = default;
};
