// The output file of a tool that writes designs or pictures (ncdgen,
// ncdimport, ncdplot), written so that a failure never costs the user a
// file: the output goes to a temporary file beside the target, which takes
// the target's place only once everything was written. A failed run
// removes only that temporary file and leaves the previous output as it
// was. A target that is not a regular file (a directory, a device, a FIFO,
// a symbolic link, a socket) or that is read-only is never replaced.
//
// One output at a time per process: while it writes, SIGINT, SIGTERM,
// SIGHUP and SIGPIPE remove the temporary file before they end the process
// (a tool's); a host that handles those signals itself (the Tcl shell,
// whose Ctrl-C stops a command) keeps its own handling.
#pragma once

#include <functional>
#include <iosfwd>
#include <string>

namespace NcdTool {

// Runs `write` on the output: the named file, or standard output for an
// empty path. Answers "" on success, else the message to show after the
// tool's name:
//   "cannot write '<file>': it is a directory; only a regular file is replaced"
//   "cannot write '<file>': the file is read-only"
//   "cannot open '<file>': <reason>"   (no temporary file could be made)
//   "<file>: cannot write: <reason>"   (a failed write; exceptions of `write`
//                                       count as failed writes)
//   "cannot write to standard output: <reason>"
enum class Signals { RemoveAndEnd, Keep };
std::string WriteOutput(const std::string& path, const std::function<void(std::ostream&)>& write,
                        Signals signals = Signals::RemoveAndEnd);

}  // namespace NcdTool
