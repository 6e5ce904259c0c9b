// Writing a tool's output file: shared by the programs that write designs
// (ncdgen, ncdimport), so that they open, report and clean up alike.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

namespace NcdGen {

// Runs `write` on the named file (standard output for an empty path),
// then flushes and closes it. Answers "" on success, else the message to
// show: "cannot open '<file>': <reason>", or "<file>: <error>" after a
// failed write, whose partial file is removed. Exceptions of `write` count
// as failed writes.
std::string WriteOutput(const std::string& path, const std::function<void(std::FILE*)>& write);

}  // namespace NcdGen
