#include "UtilC_SharedNcdMsg.h"

#include "Port_MsgManData.h"

namespace UtilC::SharedNcd::Msg {

namespace {

void Issue(int line, const char* format, const char* file, int fileLine) noexcept {
  try {
    Port_MsgManData::createObject(kComponent, "UtilC_SharedNcdMsg", line, "1")
        .issueInternal(format, file, fileLine);
  } catch (...) {
    // No memory for the message object: the report is lost.
  }
}

}  // namespace

void ReportUnhandledException(const char* file, int line) noexcept {
  Issue(__LINE__, "Unhandle Exception at %s:%d\n", file, line);
}

void ReportOutOfMemory(const char* file, int line) noexcept {
  Issue(__LINE__, "Out of memory at %s:%d\n", file, line);
}

void ReportLockFailure(const char* file, int line) noexcept {
  Issue(__LINE__, "Unable to lock at line %s:%d\n", file, line);
}

}  // namespace UtilC::SharedNcd::Msg
