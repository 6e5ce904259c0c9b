// XCad_CadBlock: the blocks the loader makes. See Xdm_Block.h for ownership
// and threading.
#pragma once

#include "Pds_PdmBlock.h"

class XCad_CadBlock : public Pds_PdmBlock {
 public:
  // The configuration string; "" when the block has none.
  const char* GetCmConfigStr() const { return m_f.config; }

 private:
  template <class>
  friend class Xdm_ObjectArena;
  XCad_CadBlock() = default;
};
