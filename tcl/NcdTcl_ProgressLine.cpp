#include "NcdTcl_ProgressLine.h"

#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "Pds_PahLoadProgress.h"

namespace NcdTcl {

namespace {

// A boolean Tcl variable; `otherwise` when it is unset or not a boolean.
bool BoolVar(Tcl_Interp* interp, const char* name, bool otherwise) {
  const char* text = Tcl_GetVar(interp, name, TCL_GLOBAL_ONLY);
  int value = 0;
  if (text == nullptr || Tcl_GetBoolean(nullptr, text, &value) != TCL_OK) return otherwise;
  return value != 0;
}

}  // namespace

bool ProgressLine::Wanted(Tcl_Interp* interp) {
  const bool shell = BoolVar(interp, "tcl_interactive", false) && ::isatty(STDERR_FILENO) == 1;
  return BoolVar(interp, "::ncd::progress", shell);
}

ProgressLine::ProgressLine(Tcl_Interp* interp, std::string fileName)
    : m_fileName(std::move(fileName)) {
  if (Wanted(interp)) m_thread = std::thread([this] { Run(); });
}

ProgressLine::~ProgressLine() {
  if (!m_thread.joinable()) return;
  {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_stop = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

std::string ProgressLine::Text(const std::string& fileName, std::uint64_t done,
                               std::uint64_t total) {
  const double mb = 1e6;
  char figures[96];
  const int percent =
      total ? static_cast<int>(100.0 * static_cast<double>(done) / static_cast<double>(total)) : 0;
  std::snprintf(figures, sizeof figures, ": %.1f of %.1f MB (%d%%)", static_cast<double>(done) / mb,
                static_cast<double>(total) / mb, percent);
  return "reading " + fileName + figures;
}

// Draws after the delay, then whenever the figures move; erases what it drew.
void ProgressLine::Run() {
  std::unique_lock<std::mutex> lock(m_lock);
  auto wait = std::chrono::milliseconds(kDelayMs);
  bool drawn = false;
  Pds_PahLoadProgress::Figures last{~std::uint64_t{0}, 0};
  while (!m_wake.wait_for(lock, wait, [this] { return m_stop; })) {
    wait = std::chrono::milliseconds(kRedrawMs);
    Pds_PahLoadProgress::Figures now;
    if (!Pds_PahLoadProgress::Of(m_fileName, now)) continue;
    if (now.done == last.done && now.total == last.total) continue;
    last = now;
    std::fprintf(stderr, "\r\033[K%s", Text(m_fileName, now.done, now.total).c_str());
    std::fflush(stderr);
    drawn = true;
  }
  if (drawn) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace NcdTcl
