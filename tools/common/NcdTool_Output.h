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
#include <initializer_list>
#include <iosfwd>
#include <string>
#include <vector>

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
// With Form::GzipWhenNamedGz, a file whose name ends in ".gz" is written
// compressed (gzip, no name and no time in its header, so that the same
// output always gives the same bytes); standard output never is.
enum class Signals { RemoveAndEnd, Keep };
enum class Form { AsWritten, GzipWhenNamedGz };
std::string WriteOutput(const std::string& path, const std::function<void(std::ostream&)>& write,
                        Signals signals = Signals::RemoveAndEnd, Form form = Form::AsWritten);

// "" unless the output file is one of the inputs (by any name or link):
//   "cannot write '<file>': it is the input '<input>'"
// A tool asks before it reads, so that its output never takes the place
// of what it was made from. Empty names are skipped.
std::string CheckNotInput(const std::string& output, const std::vector<std::string>& inputs);
inline std::string CheckNotInput(const std::string& output,
                                 std::initializer_list<std::string> inputs) {
  return CheckNotInput(output, std::vector<std::string>(inputs));
}

// At a tool's end: flushes standard output and answers whether all of it
// was written; if not, says so on standard error after the tool's name
// ("<tool>: cannot write to standard output: <reason>"), so that a full
// disk or a closed pipe is never a silent success.
bool StandardOutputWritten(const char* tool);

}  // namespace NcdTool
