// Pds_PdmUsage: a block's general configuration data (the file's "gcd").
// Owned by the view; read-only once loaded, so any thread may call it.
#pragma once

#include "Xdm_Object.h"

// One datum: a value; GetValue() is "" for a name the block does not set.
class Pds_PdmAttribute {
 public:
  explicit Pds_PdmAttribute(const char* value = "") : m_value(value ? value : "") {}
  const char* GetValue() const { return m_value; }
  bool IsEmpty() const { return m_value[0] == '\0'; }

 private:
  const char* m_value;  // owned by the view
};

class Pds_PdmUsage {
 public:
  Pds_PdmUsage() = default;
  bool SupportsGeneralConfigData() const { return true; }
  // Throws Pds_ExceptionInvalidConfig for a name the file marks invalid.
  Pds_PdmAttribute GetGeneralConfigData(const char* name) const;

 private:
  friend struct Xdm_Access;
  const Xdm_ViewStore* m_store = nullptr;
  Xdm_Slice m_data;     // in the view's pair pool
  Xdm_Slice m_invalid;  // in the view's pair pool (names only)
};
