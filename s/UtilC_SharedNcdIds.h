// Identifiers of the shared-design component's classes and interfaces.
#pragma once

#include "Port_XUID.h"

namespace UtilC::SharedNcd {

// Class of the process-wide shared design manager.
inline constexpr Port::XUID CLSID_Mgr{0x33baceb60c264ac3ULL, 0x87b2576238bdb992ULL};

// The data faces of the collectables (UtilC_SharedNcdDataI.h).
inline constexpr Port::XUID IID_IBlockData{0x029e8aa1e14d49daULL, 0xb99f79d01a763cc9ULL};
inline constexpr Port::XUID IID_IPinData{0x656cdff0c9b04bd4ULL, 0x9741f69ef4296c55ULL};
inline constexpr Port::XUID IID_INetData{0x258f4e527fa44bcfULL, 0xbe1d90ea30cab2c1ULL};
inline constexpr Port::XUID IID_ISignalData{0xf797a82518cc433aULL, 0x841c701e41269577ULL};
inline constexpr Port::XUID IID_IRpmData{0xaa0e3a7da40f489aULL, 0xa0a70689dc054b81ULL};

}  // namespace UtilC::SharedNcd
