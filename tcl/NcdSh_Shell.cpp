#include "NcdSh_Shell.h"

#include <editline/readline.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "NcdTcl.h"

namespace NcdSh {

namespace {

constexpr const char* kPrompt = "ncdsh% ";
constexpr const char* kMore = "> ";  // within a command that is not complete yet
constexpr int kHistoryLines = 1000;

// The shell's state. libedit keeps one line editor per process, so there
// is one shell per process too.
struct State {
  Tcl_Interp* interp = nullptr;
  std::string pending;  // the lines of a command that is not complete yet
  std::string history;  // the history file; empty for none
  bool done = false;
  bool evaluating = false;
  bool prompting = false;
  std::vector<std::string> candidates;  // of the completion under way
  std::size_t next = 0;
  Tcl_AsyncHandler interrupt = nullptr;
  int wake[2] = {-1, -1};  // SIGINT writes a byte here; a thread turns it into `interrupt`
};
State s;

void OnLine(char* line);

void Prompt() {
  rl_callback_handler_install(s.pending.empty() ? kPrompt : kMore, OnLine);
  s.prompting = true;
}

// Puts the terminal back as it was (libedit edits in raw mode).
void Unprompt() {
  if (!s.prompting) return;
  rl_callback_handler_remove();
  s.prompting = false;
}

void OnInput(ClientData, int) {
  rl_callback_read_char();
}

void Write(int which, const std::string& text) {
  Tcl_Channel channel = Tcl_GetStdChannel(which);
  if (!channel) return;
  Tcl_WriteChars(channel, text.data(), static_cast<int>(text.size()));
  Tcl_Flush(channel);
}

void Evaluate(const std::string& command) {
  s.evaluating = true;
  const int code = Tcl_RecordAndEval(s.interp, command.c_str(), TCL_EVAL_GLOBAL);
  s.evaluating = false;
  Tcl_Flush(Tcl_GetStdChannel(TCL_STDOUT));
  const std::string result = Tcl_GetStringResult(s.interp);
  if (code == TCL_OK) {
    if (!result.empty()) Write(TCL_STDOUT, result + "\n");
  } else if (code == TCL_ERROR) {
    Write(TCL_STDERR, result + "\n");
  } else {
    Write(TCL_STDERR, "command returned code " + std::to_string(code) + "\n");
  }
  Tcl_ResetResult(s.interp);
}

bool Blank(const std::string& text) {
  return text.find_first_not_of(" \t\n") == std::string::npos;
}

// A line was entered (null: Ctrl-D on an empty line).
void OnLine(char* line) {
  Unprompt();
  if (!line) {
    Write(TCL_STDOUT, "\n");
    s.done = true;
    return;
  }
  s.pending += line;
  s.pending += '\n';
  std::free(line);
  if (!Tcl_CommandComplete(s.pending.c_str())) return Prompt();
  std::string command;
  command.swap(s.pending);
  command.pop_back();
  if (!Blank(command)) {
    add_history(command.c_str());
    if (!s.history.empty()) write_history(s.history.c_str());
  }
  Tcl_DeleteFileHandler(STDIN_FILENO);  // events may run during the command: no reading then
  Evaluate(command);
  if (s.done) return;
  Tcl_CreateFileHandler(STDIN_FILENO, TCL_READABLE, OnInput, nullptr);
  Prompt();
}

// ---- completion ----

char* NextCandidate(const char*, int state) {
  if (!state) s.next = 0;
  if (s.next >= s.candidates.size()) return nullptr;
  return strdup(s.candidates[s.next++].c_str());
}

// Asks ncd::complete about the command up to the cursor. Without an
// answer, libedit completes file names.
char** CompleteWord(const char* text, int, int end) {
  s.candidates.clear();
  Tcl_Obj* script = Tcl_NewListObj(0, nullptr);
  Tcl_IncrRefCount(script);
  Tcl_ListObjAppendElement(nullptr, script, Tcl_NewStringObj("::ncd::complete", -1));
  Tcl_ListObjAppendElement(
      nullptr, script,
      Tcl_NewStringObj((s.pending + std::string(rl_line_buffer, end)).c_str(), -1));
  if (Tcl_EvalObjEx(s.interp, script, TCL_EVAL_GLOBAL) == TCL_OK) {
    int count = 0;
    Tcl_Obj** items = nullptr;
    Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(s.interp), &count, &items);
    for (int i = 0; i < count; ++i)
      s.candidates.push_back(Tcl_GetString(items[i]));
  }
  Tcl_DecrRefCount(script);
  Tcl_ResetResult(s.interp);
  if (s.candidates.empty()) return nullptr;
  rl_attempted_completion_over = 1;
  // A path completes one level at a time: no blank after "u_cnt/".
  const bool level = s.candidates.size() == 1 && s.candidates.front().back() == '/';
  rl_completion_append_character = level ? '\0' : ' ';
  return rl_completion_matches(text, NextCandidate);
}

// ---- Ctrl-C ----

// In the signal handler: a running command of the package is stopped by
// the package; anything else is left to the interrupt below, through a
// byte on the pipe (a signal handler may only write).
void OnSigint(int) {
  if (Ncd_StopCommands()) return;
  const char byte = 1;
  const ssize_t written = write(s.wake[1], &byte, 1);
  (void)written;
}

// On the shell's thread, from Tcl: `interp` is null when called from the
// event loop.
int OnInterrupt(ClientData, Tcl_Interp* interp, int code) {
  if (!s.evaluating) {
    // At the prompt: the line (and any unfinished command) is dropped.
    Unprompt();
    Write(TCL_STDOUT, "^C\n");
    s.pending.clear();
    Prompt();
    return code;
  }
  if (!interp) {
    // Inside vwait or update, which end with an error once the
    // evaluation is cancelled.
    Tcl_CancelEval(s.interp, Tcl_NewStringObj("interrupted", -1), nullptr, 0);
    return code;
  }
  Tcl_SetObjResult(interp, Tcl_NewStringObj("interrupted", -1));
  Tcl_SetErrorCode(interp, "NCD", "STOPPED", "stopped", nullptr);
  return TCL_ERROR;
}

void WatchInterrupts() {
  if (pipe(s.wake) != 0) return;
  s.interrupt = Tcl_AsyncCreate(OnInterrupt, nullptr);
  std::thread([read = s.wake[0], interrupt = s.interrupt] {
    char byte = 0;
    for (;;) {
      const ssize_t got = ::read(read, &byte, 1);
      if (got == 1) Tcl_AsyncMark(interrupt);
      if (got == 0 || (got < 0 && errno != EINTR)) return;
    }
  }).detach();
  struct sigaction action {};
  action.sa_handler = OnSigint;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
}

void AtExit(ClientData) {
  Unprompt();
  if (!s.history.empty()) write_history(s.history.c_str());
}

void SetUpEditor() {
  rl_readline_name = "ncdsh";
  rl_catch_signals = 0;                               // SIGINT is ours
  static std::string breaks = NCD_COMPLETION_BREAKS;  // as ncd::complete breaks words
  rl_completer_word_break_characters = breaks.data();
  rl_basic_word_break_characters = breaks.data();
  rl_attempted_completion_function = CompleteWord;
  if (const char* home = std::getenv("HOME")) s.history = std::string(home) + "/.ncdsh_history";
  stifle_history(kHistoryLines);
  if (!s.history.empty()) read_history(s.history.c_str());
}

}  // namespace

int Shell::Run(Tcl_Interp* interp) {
  s.interp = interp;
  SetUpEditor();
  WatchInterrupts();
  Tcl_CreateExitHandler(AtExit, nullptr);
  Write(TCL_STDOUT, std::string("ncdsh ") + Tcl_GetVar(interp, "tcl_patchLevel", TCL_GLOBAL_ONLY) +
                        " with the ncd package. Type help for its commands and topics, "
                        "Tab to complete, Ctrl-D or exit to leave.\n");
  Tcl_CreateFileHandler(STDIN_FILENO, TCL_READABLE, OnInput, nullptr);
  Prompt();
  while (!s.done)
    Tcl_DoOneEvent(TCL_ALL_EVENTS);
  Tcl_DeleteFileHandler(STDIN_FILENO);
  AtExit(nullptr);
  return 0;
}

}  // namespace NcdSh
