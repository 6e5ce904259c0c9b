// NcdTcl::ProgressLine: the line on standard error that follows a blocking
// open which takes longer than a second: "reading FILE: N of M MB (P%)",
// redrawn in place (within one row of the terminal, and without escape
// sequences on a dumb one) and erased when the open ends.
//
// It shows in an interactive shell whose standard error is a terminal, and
// wherever the Tcl variable ::ncd::progress is set to true; never where it
// is false. A line is a thread of its own that reads the load's figures
// (Pds_PahLoadProgress) while the interpreter's thread waits for the open;
// it is made, and stopped by its destructor, on the interpreter's thread.
#pragma once

#include <tcl.h>

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

namespace NcdTcl {

class ProgressLine {
 public:
  static constexpr int kDelayMs = 1000;  // quiet for opens quicker than this
  static constexpr int kRedrawMs = 200;

  // Shows nothing when the interpreter does not ask for the line.
  ProgressLine(Tcl_Interp* interp, std::string fileName);
  ~ProgressLine();
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  // The text of the line for these figures.
  static std::string Text(const std::string& fileName, std::uint64_t done, std::uint64_t total);

 private:
  static bool Wanted(Tcl_Interp* interp);
  void Run();

  std::string m_fileName;
  std::mutex m_lock;  // guards m_stop
  std::condition_variable m_wake;
  bool m_stop = false;
  std::thread m_thread;  // not joinable when no line is wanted
};

}  // namespace NcdTcl
