#include "NcdTcl_Report.h"

#include <sys/stat.h>
#include <tcl.h>

#include <algorithm>

#include "NcdTcl_Error.h"
#include "NcdTool_Output.h"

namespace NcdTcl {

namespace {

// The characters of UTF-8 text.
std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(Tcl_NumUtfChars(text.data(), static_cast<int>(text.size())));
}

}  // namespace

std::string Columns(const std::vector<TextRow>& rows, const std::string& indent) {
  std::vector<std::size_t> widths;
  for (const TextRow& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size());
    for (std::size_t i = 0; i < row.size(); ++i)
      widths[i] = std::max(widths[i], Width(row[i]));
  }
  std::string text;
  for (const TextRow& row : rows) {
    std::string line = indent;
    for (std::size_t i = 0; i < row.size(); ++i)
      line += row[i] + std::string(i + 1 < row.size() ? widths[i] + 2 - Width(row[i]) : 0, ' ');
    while (!line.empty() && line.back() == ' ')
      line.pop_back();
    text += line + "\n";
  }
  return text;
}

namespace {

[[noreturn]] void CannotWrite(Tcl_Obj* file, const std::string& reason) {
  throw Error(ErrorClass::Option,
              std::string("cannot write \"") + Tcl_GetString(file) + "\": " + reason);
}

bool IsFifo(Tcl_Obj* file) {
  Tcl_StatBuf* status = Tcl_AllocStatBuf();
  const bool fifo = Tcl_FSStat(file, status) == 0 && S_ISFIFO(Tcl_GetModeFromStat(status));
  ckfree(reinterpret_cast<char*>(status));
  return fifo;
}

}  // namespace

void Deliver(Tcl_Interp* interp, const std::string& text, Tcl_Obj* file,
             const std::vector<std::string>& designs) {
  if (!file) return Tcl_SetObjResult(interp, Tcl_NewStringObj(text.c_str(), -1));
  Tcl_ResetResult(interp);
  // By the name Tcl opens: "~" expanded, relative to the current folder.
  Tcl_Obj* path = Tcl_FSGetNormalizedPath(nullptr, file);
  if (std::string error = NcdTool::CheckNotInput(path ? Tcl_GetString(path) : "", designs);
      !error.empty())
    throw Error(ErrorClass::Option, error);
  // Opened without blocking, so that a FIFO no process reads is refused
  // (ENXIO) rather than waited on for ever; written blocking.
  Tcl_Channel channel = Tcl_FSOpenFileChannel(interp, file, "WRONLY CREAT TRUNC NONBLOCK", 0666);
  if (!channel)
    CannotWrite(file, IsFifo(file) ? "it is a FIFO that no process reads"
                                   : Tcl_GetString(Tcl_GetObjResult(interp)));
  Tcl_SetChannelOption(nullptr, channel, "-blocking", "1");
  const bool written = Tcl_WriteChars(channel, text.c_str(), static_cast<int>(text.size())) >= 0;
  const std::string reason = written ? "" : Tcl_ErrnoMsg(Tcl_GetErrno());
  if (Tcl_Close(interp, channel) != TCL_OK || !written)
    CannotWrite(file, written ? Tcl_GetString(Tcl_GetObjResult(interp)) : reason);
  Tcl_ResetResult(interp);
}

}  // namespace NcdTcl
