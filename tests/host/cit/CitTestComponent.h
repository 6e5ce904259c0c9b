// What the test component library and the tests that load it agree on.
#pragma once

#include "Port_XUID.h"

namespace CitTest {

// The class the component's InstFactoryEntry registers a factory for.
inline constexpr Port::XUID CLSID_Component{0x6c1f0e2a9b3d4e57ULL, 0x8a41c2d3e4f50617ULL};
// Shared resource (an int) that InstFactoryEntry increments on every call.
inline constexpr const char* kEntryCallsName = "CitTestComponent.entryCalls";

}  // namespace CitTest
