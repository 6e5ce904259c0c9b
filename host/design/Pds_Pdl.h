// The library side of the physical design: block types and extended pin
// types. Type blocks are owned by the view of the blocks that use them;
// blocks of one type name share one type block. Read-only once loaded, so
// any thread may call them.
#pragma once

#include <cstdint>

class Pds_PdlBlock {
 public:
  explicit Pds_PdlBlock(const char* typeName) : m_typeName(typeName) {}
  Pds_PdlBlock(const Pds_PdlBlock&) = delete;
  Pds_PdlBlock& operator=(const Pds_PdlBlock&) = delete;

  const char* GetTypeName() const { return m_typeName; }

 private:
  const char* m_typeName;  // owned by the view
};

// A pin's extended type: a value.
class Pds_PdlExtendedPinType {
 public:
  Pds_PdlExtendedPinType() = default;
  Pds_PdlExtendedPinType(bool pad, bool clock) : m_pad(pad), m_clock(clock) {}
  bool IsPad() const { return m_pad; }
  bool IsClock() const { return m_clock; }

 private:
  bool m_pad = false;
  bool m_clock = false;
};
