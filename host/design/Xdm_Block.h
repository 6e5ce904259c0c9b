// Xdm_Block: a node of a view's block hierarchy (the top block, modules,
// hard-macro instances, comps, bels). A block owns nothing: its children,
// pins and signals belong to the view (see Xdm_Object.h for lifetime and
// threading). Loaded blocks are XCad_CadBlock objects.
//
// Xdm_Parent answers the block a pin or a signal lies in.
#pragma once

#include <cstdint>

#include "Xdm_Itr.h"
#include "Xdm_Object.h"

class Pds_PdlBlock;
struct Xdm_BlockExtra;

// Everything a block stores; kept in the base class so that the three
// levels of the hierarchy share one compact layout.
struct Xdm_BlockFields {
  Xdm_ViewStore* store = nullptr;
  Xdm_Block* parent = nullptr;
  Pds_PdlBlock* type = nullptr;
  Xdm_BlockExtra* extra = nullptr;  // security, usage, modes, io; null for most blocks
  const char* config = "";
  Xdm_Slice children;  // in the view's child pool
  Xdm_Slice signals;   // a run of signal ids, or of the block-signal pool once edited
  Xdm_Slice pins;      // a run of pin ids (a removed pin's id answers null)
  std::uint32_t bridgeId = 0;
  std::uint32_t site = 0;  // cell index + 1; 0 when unplaced
  std::uint8_t level = 0;
  std::uint8_t flags = 0;  // kExternal, kPartition
  static constexpr std::uint8_t kExternal = 1;
  static constexpr std::uint8_t kPartition = 2;
};

class Xdm_Block : public Xdm_Object {
 public:
  // Null for the top block.
  Xdm_Block* GetParent() const { return m_f.parent; }
  Xdm_View* GetView() const;
  // Null when the block has no pin of that name.
  Xdm_Pin* GetPinByName(const char* name) const;

  Xdm_Range<Xdm_Block> GetBlocks() const;  // children, in file order
  Xdm_Itr<Xdm_Block> GetBlockItr() const;
  Xdm_Range<Xdm_Signal> GetSignals() const;  // signals inside the block
  Xdm_Itr<Xdm_Signal> GetSignalItr() const;
  Xdm_Itr<Xdm_Pin> GetPinItr() const;

  // The top block's full name is its name; any other block's is its path.
  const char* GetFullName() const override;

 protected:
  Xdm_Block() = default;
  Xdm_BlockFields m_f;

 private:
  friend struct Xdm_Access;
};

class Xdm_Parent {
 public:
  // Null for null.
  static Xdm_Block* GetParentObject(const Xdm_Pin* pin);
  static Xdm_Block* GetParentObject(const Xdm_Signal* signal);
};
