// Xdm_Pin: a connection point of a block. Its signal lies outside the block
// (in the parent), its child signal inside. Owned by the view (see
// Xdm_Object.h for lifetime and threading). Loaded pins are XCad_CadPin
// objects.
#pragma once

#include <cstdint>

#include "Xdm_Object.h"

// Pins are the most numerous objects of a view, so a pin keeps no bridge
// id of its own: its id is its place in its block's run of pin ids
// (Xdm_BridgeId::GetBridgeId).
struct Xdm_PinFields {
  Xdm_Block* block = nullptr;
  std::uint32_t signal = 0xFFFFFFFFu;       // signal bridge id, or none
  std::uint32_t childSignal = 0xFFFFFFFFu;  // signal bridge id, or none
  std::int32_t delay = 0;
  std::uint8_t flags = 0;
  std::uint8_t delayType = 2;
  // flags: the direction in the two low bits, then the rest
  static constexpr std::uint8_t kDirMask = 3;  // 0 input, 1 output, 2 bidir
  static constexpr std::uint8_t kLoad = 4;
  static constexpr std::uint8_t kPad = 8;
  static constexpr std::uint8_t kClock = 16;
  static constexpr std::uint8_t kImplicit = 32;
};

class Xdm_Pin : public Xdm_Object {
 public:
  Xdm_Block* GetParent() const { return m_f.block; }
  // Null when the pin has none.
  Xdm_Signal* GetSignal() const;
  Xdm_Signal* GetChildSignal() const;
  // The network of the signal, else of the child signal; null when neither has one.
  Xdm_Network* GetNetwork() const;

  // The bridge ids of the signal and the child signal (read without
  // fetching them; see Xdm_View::GetSignalNetworkIds); Xdm_BridgeId::kNone
  // when the pin has none.
  std::uint32_t GetSignalId() const { return m_f.signal; }
  std::uint32_t GetChildSignalId() const { return m_f.childSignal; }

  bool IsBlockInput() const { return (m_f.flags & Xdm_PinFields::kDirMask) == 0; }
  bool IsBlockOutput() const { return (m_f.flags & Xdm_PinFields::kDirMask) == 1; }
  bool IsBlockBidir() const { return (m_f.flags & Xdm_PinFields::kDirMask) == 2; }
  bool IsSignalLoad() const { return (m_f.flags & Xdm_PinFields::kLoad) != 0; }

  // "<block path>/<name>"; the name alone on the top block.
  const char* GetFullName() const override;

 protected:
  Xdm_Pin() = default;
  Xdm_PinFields m_f;

 private:
  friend struct Xdm_Access;
};
