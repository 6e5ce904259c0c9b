// Ready-made diagnostic reports of the shared-design component. Callers pass
// their own source module name and line, which end up in the text.
#pragma once

namespace UtilC::SharedNcd::Msg {

// The component name every diagnostic of this component is issued under.
inline constexpr const char* kComponent = "UtilitiesC";

// "Unhandle Exception at <file>:<line>" as an internal message.
void ReportUnhandledException(const char* file, int line);

}  // namespace UtilC::SharedNcd::Msg
