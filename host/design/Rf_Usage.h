// Rf_Usage: how a bel uses its device cell: its modes (the file's "modes"
// of the block) with their equations. A value pointing into the view; valid
// as long as the view. Read-only: any thread may use it.
// Pds_PihDeviceUsage::GetRfUsage makes one for a block.
#pragma once

#include "Xdm_Object.h"

class Rf_Usage {
 public:
  class Mode {
   public:
    Mode() = default;
    explicit Mode(const char* equation) : m_equation(equation) {}
    bool IsValid() const { return m_equation != nullptr; }
    // "" for an invalid mode.
    const char* GetEquation() const { return m_equation ? m_equation : ""; }

   private:
    const char* m_equation = nullptr;
  };

  Rf_Usage() = default;
  // False for a block without modes.
  bool IsValid() const { return m_store != nullptr; }
  // An invalid mode when the block does not set `name`.
  Mode GetMode(const char* name) const;

 private:
  friend struct Xdm_Access;
  const Xdm_ViewStore* m_store = nullptr;
  Xdm_Slice m_modes;  // in the view's pair pool
};
