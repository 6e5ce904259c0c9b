#include "NcdTcl_ProgressLine.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

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

// What a redraw may write on standard error: within one row of the
// terminal (a longer line wraps, and erasing clears only its last row), and
// escape sequences only where the terminal reads them.
struct Row {
  std::size_t width = 80;
  bool escapes = true;
};

Row RowOfStandardError() {
  Row row;
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 1) row.width = size.ws_col;
  const char* term = std::getenv("TERM");
  row.escapes = term && *term && std::strcmp(term, "dumb") != 0;
  return row;
}

// The first `most` characters of UTF-8 text; answers how many it kept.
std::size_t Cut(std::string& text, std::size_t most) {
  std::size_t characters = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if ((text[i] & 0xC0) == 0x80) continue;
    if (characters == most) {
      text.resize(i);
      break;
    }
    ++characters;
  }
  return characters;
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
  std::size_t drawn = 0;  // characters on the row; 0 before the first draw
  Pds_PahLoadProgress::Figures last{~std::uint64_t{0}, 0};
  const Row row = RowOfStandardError();
  const std::string erase = "\r\033[K";
  while (!m_wake.wait_for(lock, wait, [this] { return m_stop; })) {
    wait = std::chrono::milliseconds(kRedrawMs);
    Pds_PahLoadProgress::Figures now;
    if (!Pds_PahLoadProgress::Of(m_fileName, now)) continue;
    if (now.done == last.done && now.total == last.total) continue;
    last = now;
    std::string text = Text(m_fileName, now.done, now.total);
    const std::size_t length = Cut(text, row.width - 1);
    // Without escapes, blanks cover the end of a longer line drawn before.
    const std::string blanks(drawn > length ? drawn - length : 0, ' ');
    std::fputs((row.escapes ? erase + text : "\r" + text + blanks).c_str(), stderr);
    std::fflush(stderr);
    drawn = length;
  }
  if (drawn) {
    std::fputs((row.escapes ? erase : "\r" + std::string(drawn, ' ') + "\r").c_str(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace NcdTcl
