#include "UtilC_SharedNcdMsg.h"

#include "Port_MsgManData.h"

namespace UtilC::SharedNcd::Msg {

void ReportUnhandledException(const char* file, int line) {
  Port_MsgManData::createObject(kComponent, "UtilC_SharedNcdMsg", __LINE__, "1")
      .issueInternal("Unhandle Exception at %s:%d\n", file, line);
}

}  // namespace UtilC::SharedNcd::Msg
