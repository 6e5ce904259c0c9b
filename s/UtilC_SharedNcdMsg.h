// Ready-made diagnostic reports of the shared-design component. Callers pass
// their own source module name and line, which end up in the text. A report
// never throws: one that cannot be made (no memory) is lost.
#pragma once

namespace UtilC::SharedNcd::Msg {

// The component name every diagnostic of this component is issued under.
inline constexpr const char* kComponent = "UtilitiesC";

// "Unhandle Exception at <file>:<line>" as an internal message.
void ReportUnhandledException(const char* file, int line) noexcept;

// "Out of memory at <file>:<line>" as an internal message: an operation
// could not allocate what it needed and was given up, leaving nothing half
// done.
void ReportOutOfMemory(const char* file, int line) noexcept;

// "Unable to lock at line <file>:<line>" as an internal message.
void ReportLockFailure(const char* file, int line) noexcept;

}  // namespace UtilC::SharedNcd::Msg
