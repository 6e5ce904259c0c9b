// Identifiers of the shared-design component's classes and interfaces.
#pragma once

#include "Port_XUID.h"

namespace UtilC::SharedNcd {

// Class of the process-wide shared design manager.
inline constexpr Port::XUID CLSID_Mgr{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

}  // namespace UtilC::SharedNcd

namespace UtilI {

// Interface of the shared design manager.
inline constexpr Port::XUID IID_ISharedNcdMgr{0x2f0b0390876a4707ULL, 0x8c8fc34f09a0a798ULL};

}  // namespace UtilI
