// Identifiers of the shared-design component's classes and interfaces.
#pragma once

#include "Port_XUID.h"

namespace UtilC::SharedNcd {

// Class of the process-wide shared design manager.
inline constexpr Port::XUID CLSID_Mgr{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

}  // namespace UtilC::SharedNcd

