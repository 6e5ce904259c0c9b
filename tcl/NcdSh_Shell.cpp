#include "NcdSh_Shell.h"

#include <histedit.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>
#include <thread>
#include <vector>

#include "NcdTcl.h"

namespace NcdSh {

namespace {

constexpr const char* kPrompt = "ncdsh% ";
constexpr const char* kMore = "> ";  // within a command that is not complete yet
constexpr int kHistoryLines = 1000;
constexpr wchar_t kEndOfFile = 4;  // what libedit leaves of Ctrl-D on an empty line

// The shell's state. Signals reach it through one process-wide handler, so
// there is one shell per process.
struct State {
  Tcl_Interp* interp = nullptr;
  EditLine* editor = nullptr;
  History* history = nullptr;
  std::string pending;      // the lines of a command that is not complete yet (the locale's bytes)
  std::string historyFile;  // empty for none
  bool done = false;
  bool evaluating = false;  // a command typed at the prompt
  bool prompting = false;
  std::wstring tabbed;  // the line as the last Tab left it, with the cursor's place
  bool reading = false;  // inside libedit, which must not be entered again
  bool dropLine = false;  // a Ctrl-C stopped a Tab: the line goes once libedit returns
  bool resized = false;  // the terminal's size changed while libedit could not learn it
  bool escapes = true;   // the terminal reads ANSI escape sequences (TERM is not dumb)
  bool cleared = false;  // a script run from the event loop cleared the prompt's row
  Tcl_Trace trace = nullptr;  // while prompting: scripts that run then
  Tcl_AsyncHandler interrupt = nullptr;
  Tcl_AsyncHandler resize = nullptr;
  bool recording = false;         // Tcl records a command in its history
  bool stoppedRecording = false;  // a Ctrl-C met the recording
  // SIGINT and SIGWINCH write a byte here; a thread turns it into `interrupt` or `resize`.
  int wake[2] = {-1, -1};
};

enum Wake : char { kInterrupt = 1, kResize = 2 };
State s;

// Ctrl-C presses so far, and those the prompt has dropped a line for: one
// press that ends a read inside libedit is not answered again by the
// interrupt that follows it.
std::atomic<unsigned> presses{0};
unsigned answered = 0;
volatile std::sig_atomic_t pressedWhileReading = 0;

// ---- text between libedit (wide characters of the locale) and Tcl (UTF-8) ----

std::string Narrow(const wchar_t* begin, const wchar_t* end) {
  std::string bytes;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (; begin != end; ++begin) {
    const std::size_t length = std::wcrtomb(buffer, *begin, &state);
    if (length != static_cast<std::size_t>(-1)) bytes.append(buffer, length);
  }
  return bytes;
}

std::string ToUtf8(const std::string& local) {
  Tcl_DString utf;
  Tcl_ExternalToUtfDString(nullptr, local.data(), static_cast<int>(local.size()), &utf);
  std::string text(Tcl_DStringValue(&utf), static_cast<std::size_t>(Tcl_DStringLength(&utf)));
  Tcl_DStringFree(&utf);
  return text;
}

// A byte the locale cannot read becomes "?": the line stays editable.
std::wstring Widen(const std::string& utf8) {
  Tcl_DString local;
  Tcl_UtfToExternalDString(nullptr, utf8.data(), static_cast<int>(utf8.size()), &local);
  const char* at = Tcl_DStringValue(&local);
  const char* end = at + Tcl_DStringLength(&local);
  std::wstring wide;
  std::mbstate_t state{};
  while (at < end) {
    wchar_t ch = L'?';
    std::size_t length = std::mbrtowc(&ch, at, static_cast<std::size_t>(end - at), &state);
    if (length == static_cast<std::size_t>(-1) || length == static_cast<std::size_t>(-2)) {
      ch = L'?';
      state = std::mbstate_t{};
    }
    if (length == 0 || length > static_cast<std::size_t>(end - at)) length = 1;
    wide += ch;
    at += length;
  }
  Tcl_DStringFree(&local);
  return wide;
}

// ---- the prompt ----

int Columns() {
  int columns = 0;
  if (el_get(s.editor, EL_GETTC, "co", &columns) != 0 || columns <= 0) columns = 80;
  return columns;
}

// libedit draws the prompt as if the cursor stood at the row's start; after
// output that did not end a line (puts -nonewline) it would draw the line
// being edited over that output. That output is shown first (Tcl keeps a
// line not ended in its buffer). A row's width of blanks reaches the next
// row only from a column past the first; the return and erase then leave the
// cursor at the start of an empty row, below any such output.
void StartRow() {
  if (Tcl_Channel out = Tcl_GetStdChannel(TCL_STDOUT)) Tcl_Flush(out);
  if (!s.escapes) return;
  if (s.resized) el_resize(s.editor);
  s.resized = false;
  std::fputs((std::string(static_cast<std::size_t>(Columns()), ' ') + "\r\033[K").c_str(), stdout);
  std::fflush(stdout);
}

char* PromptText(EditLine*) {
  return const_cast<char*>(s.pending.empty() ? kPrompt : kMore);
}

// A script the event loop runs while the prompt waits (after, fileevent,
// -command) may write: the prompt's row is cleared (on a dumb terminal,
// left) before its first command, and the prompt and line are drawn again
// once the event ends.
int OnEventScript(ClientData, Tcl_Interp*, int, const char*, Tcl_Command, int, Tcl_Obj* const*) {
  if (s.reading || s.cleared) return TCL_OK;
  std::fputs(s.escapes ? "\r\033[K" : "\n", stdout);
  std::fflush(stdout);
  s.cleared = true;
  return TCL_OK;
}

void Redraw() {
  if (!s.cleared || !s.prompting) return;
  s.cleared = false;
  StartRow();
  el_set(s.editor, EL_REFRESH);
}

// libedit starts a fresh line and draws the prompt when it turns to
// reading a key at a time, and puts the terminal back when it stops.
void Prompt() {
  el_set(s.editor, EL_UNBUFFERED, 1);
  s.prompting = true;
  s.trace = Tcl_CreateObjTrace(s.interp, 0, TCL_ALLOW_INLINE_COMPILATION, OnEventScript, nullptr,
                               nullptr);
}

void Unprompt() {
  if (!s.prompting) return;
  Tcl_DeleteTrace(s.interp, s.trace);
  el_set(s.editor, EL_UNBUFFERED, 0);
  s.prompting = false;
  s.cleared = false;
}

void Write(int which, const std::string& text) {
  Tcl_Channel channel = Tcl_GetStdChannel(which);
  if (!channel) return;
  Tcl_WriteChars(channel, text.data(), static_cast<int>(text.size()));
  Tcl_Flush(channel);
}

// The command is recorded in Tcl's history first, apart: Tcl ignores a
// failure of its `history add`, so a Ctrl-C met there would be lost and
// the command run on regardless. A command stopped before it began is
// not run.
void Evaluate(const std::string& command) {
  const std::string text = ToUtf8(command);
  s.evaluating = true;
  s.recording = true;
  s.stoppedRecording = false;
  Tcl_RecordAndEval(s.interp, text.c_str(), TCL_NO_EVAL);
  s.recording = false;
  int code = TCL_ERROR;
  if (s.stoppedRecording) {
    Tcl_SetObjResult(s.interp, Tcl_NewStringObj("interrupted", -1));
    Tcl_SetErrorCode(s.interp, "NCD", "STOPPED", "stopped", nullptr);
  } else {
    code = Tcl_EvalEx(s.interp, text.c_str(), -1, TCL_EVAL_GLOBAL);
  }
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
  // A Ctrl-C pressed while the command ran was for it, also when the
  // package stopped the command before Tcl saw the interrupt.
  answered = presses.load();
}

bool Blank(const std::string& text) {
  return text.find_first_not_of(" \t\n") == std::string::npos;
}

void Remember(const std::string& command) {
  HistEvent event;
  history(s.history, &event, H_ENTER, command.c_str());
  if (!s.historyFile.empty()) history(s.history, &event, H_SAVE, s.historyFile.c_str());
}

void OnInput(ClientData, int);
void OnSigint(int);

void Handle(int signal, void (*handler)(int), int flags = SA_RESTART) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(signal, &action, nullptr);
}

int WidthOf(const wchar_t* begin, const wchar_t* end) {
  int width = 0;
  for (; begin != end; ++begin)
    width += std::max(0, wcwidth(*begin));
  return width;
}

// Moves the terminal's cursor from where libedit has it to the end of the
// line, which may wrap over several rows.
void GoToEnd() {
  const LineInfoW* line = el_wline(s.editor);
  if (!s.escapes || line->cursor == line->lastchar) return;
  const int columns = Columns();
  const int prompt = static_cast<int>(std::strlen(PromptText(s.editor)));
  const int at = prompt + WidthOf(line->buffer, line->cursor);
  const int end = prompt + WidthOf(line->buffer, line->lastchar);
  std::string move;
  if (end / columns > at / columns)
    move += "\033[" + std::to_string(end / columns - at / columns) + "B";
  move += "\r";
  if (end % columns) move += "\033[" + std::to_string(end % columns) + "C";
  std::fputs(move.c_str(), stdout);
  std::fflush(stdout);
}

// Ctrl-C at the prompt: the line (and any unfinished command) is dropped.
// The ^C goes after the line's end, so the next prompt starts below all of it.
void DropLine() {
  answered = presses.load();
  if (s.prompting) GoToEnd();
  Unprompt();
  Write(TCL_STDOUT, "^C\n");
  s.pending.clear();
  Prompt();
}

// A line was entered (null: Ctrl-D on an empty line).
void OnLine(const std::string* line) {
  Unprompt();
  if (!line) {
    Write(TCL_STDOUT, "\n");
    s.done = true;
    return;
  }
  s.pending += *line;
  s.pending += '\n';
  if (!Tcl_CommandComplete(ToUtf8(s.pending).c_str())) return Prompt();
  std::string command;
  command.swap(s.pending);
  command.pop_back();
  if (!Blank(command)) Remember(command);
  Tcl_DeleteFileHandler(STDIN_FILENO);  // events may run during the command: no reading then
  Evaluate(command);
  if (s.done) return;
  StartRow();
  Tcl_CreateFileHandler(STDIN_FILENO, TCL_READABLE, OnInput, nullptr);
  Prompt();
}

// The terminal has gone (closed with SIGHUP ignored): libedit's reads fail
// and answer the line as it was, while the input stays readable for ever.
bool HungUp() {
  pollfd input{STDIN_FILENO, POLLIN, 0};
  return poll(&input, 1, 0) == 1 && (input.revents & (POLLHUP | POLLERR | POLLNVAL));
}

// libedit reads one key and edits the line with it; the line comes back
// ended by a newline when Enter ends it.
void OnInput(ClientData, int) {
  if (HungUp()) return OnLine(nullptr);
  if (s.resized) el_resize(s.editor);
  s.resized = false;
  int count = 0;
  s.reading = true;
  pressedWhileReading = 0;
  // libedit waits for keys itself while it searches (Ctrl-R): a Ctrl-C must
  // end that read rather than wait for the search to end.
  Handle(SIGINT, OnSigint, 0);
  const wchar_t* line = el_wgets(s.editor, &count);
  Handle(SIGINT, OnSigint, SA_RESTART);
  s.reading = false;
  if (s.dropLine || pressedWhileReading) {
    s.dropLine = false;
    return DropLine();
  }
  if (!line || count <= 0) return;
  if (count == 1 && line[0] == kEndOfFile) return OnLine(nullptr);
  if (line[count - 1] != L'\n' && line[count - 1] != L'\r') return;
  const std::string text = Narrow(line, line + count - 1);
  OnLine(&text);
}

// ---- completion ----

// What a Tab does: `replace` characters before the cursor give way to
// `insert`; `choices` are listed when nothing is left to insert (`cut`:
// not all of them).
struct Answer {
  int replace = 0;
  std::string insert;  // UTF-8
  std::vector<std::string> choices;
  int cut = 0;
};

// Asks ncd::complete about the command up to the cursor.
Answer Ask(const std::wstring& before) {
  Answer answer;
  Tcl_Obj* script = Tcl_NewListObj(0, nullptr);
  Tcl_IncrRefCount(script);
  for (const char* word : {"::ncd::complete", "-edit", "--"})
    Tcl_ListObjAppendElement(nullptr, script, Tcl_NewStringObj(word, -1));
  const std::string line = ToUtf8(s.pending + Narrow(before.data(), before.data() + before.size()));
  Tcl_ListObjAppendElement(nullptr, script, Tcl_NewStringObj(line.c_str(), -1));
  int count = 0;
  Tcl_Obj** items = nullptr;
  if (Tcl_EvalObjEx(s.interp, script, TCL_EVAL_GLOBAL) == TCL_OK &&
      Tcl_ListObjGetElements(nullptr, Tcl_GetObjResult(s.interp), &count, &items) == TCL_OK &&
      count == 4) {
    Tcl_GetIntFromObj(nullptr, items[0], &answer.replace);
    answer.insert = Tcl_GetString(items[1]);
    int choices = 0;
    Tcl_Obj** names = nullptr;
    Tcl_ListObjGetElements(nullptr, items[2], &choices, &names);
    for (int i = 0; i < choices; ++i)
      answer.choices.push_back(Tcl_GetString(names[i]));
    Tcl_GetBooleanFromObj(nullptr, items[3], &answer.cut);
  }
  Tcl_DecrRefCount(script);
  Tcl_ResetResult(s.interp);
  return answer;
}

std::size_t Width(const std::string& text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char ch) { return (ch & 0xC0) != 0x80; }));
}

// Below the line, in columns across the terminal.
void List(const std::vector<std::string>& choices, bool cut) {
  std::size_t width = 0;
  for (const std::string& choice : choices)
    width = std::max(width, Width(choice) + 2);
  const std::size_t across = std::max<std::size_t>(1, static_cast<std::size_t>(Columns()) / width);
  std::string text = "\n";
  for (std::size_t i = 0; i < choices.size(); ++i) {
    const bool last = (i + 1) % across == 0 || i + 1 == choices.size();
    text += choices[i] + (last ? "\n" : std::string(width - Width(choices[i]), ' '));
  }
  if (cut) text += "(the first " + std::to_string(choices.size()) + " only)\n";
  Tcl_DString local;
  Tcl_UtfToExternalDString(nullptr, text.data(), static_cast<int>(text.size()), &local);
  std::fwrite(Tcl_DStringValue(&local), 1, static_cast<std::size_t>(Tcl_DStringLength(&local)),
              stdout);
  Tcl_DStringFree(&local);
  std::fflush(stdout);
}

std::wstring Marked(const LineInfoW* line) {
  return std::wstring(line->buffer, line->cursor) + L'\0' +
         std::wstring(line->cursor, line->lastchar);
}

// The first Tab inserts what all the choices share; a Tab that has
// nothing left to insert lists them.
unsigned char OnTab(EditLine* editor, int) {
  const LineInfoW* line = el_wline(editor);
  const std::wstring before(line->buffer, line->cursor);
  const Answer answer = Ask(before);
  const std::size_t replace = static_cast<std::size_t>(answer.replace);
  // A word begun on an earlier line of the command cannot be edited here.
  if (answer.choices.empty() || replace > before.size()) return CC_REFRESH_BEEP;
  const std::wstring insert = Widen(answer.insert);
  const bool same = !before.compare(before.size() - replace, replace, insert);
  if (!same) {
    el_deletestr(editor, answer.replace);
    el_winsertstr(editor, insert.c_str());
    s.tabbed = Marked(el_wline(editor));
    return CC_REFRESH;
  }
  const bool again = s.tabbed == Marked(line);
  s.tabbed = Marked(line);
  if (!again) return CC_REFRESH_BEEP;
  GoToEnd();  // the list goes below the whole line
  List(answer.choices, answer.cut);
  return CC_REDISPLAY;
}

// ---- signals: Ctrl-C, a new size of the terminal ----

// In the signal handler: a running command of the package is stopped by
// the package at once; the script around it, or any other script, by the
// interrupt below, through a byte on the pipe (a signal handler may only
// write). Both, since a short command may end before it looks for the stop.
void Wake(char byte) {
  const ssize_t written = write(s.wake[1], &byte, 1);
  (void)written;
}

void OnSigint(int) {
  presses.fetch_add(1);
  pressedWhileReading = 1;
  Ncd_StopCommands();
  Wake(kInterrupt);
}

void OnSigwinch(int) {
  Wake(kResize);
}

// Back from Ctrl-Z (fg): the job's shell has left the terminal as it keeps
// it, echoing and a line at a time, and the prompt is no longer shown.
volatile std::sig_atomic_t continued = 0;

void OnSigcont(int) {
  continued = 1;
  Wake(kResize);
}

// libedit draws the line for the size it knows: at the prompt it learns the
// new one and draws the line again; while it reads a key or a command
// runs, on the next key or prompt.
int OnResize(ClientData, Tcl_Interp*, int code) {
  if (!s.prompting || s.reading) {
    s.resized = true;
    return code;
  }
  if (continued) {
    continued = 0;
    // libedit sets its modes again only when it believes them left.
    el_set(s.editor, EL_PREP_TERM, 0);
    el_set(s.editor, EL_PREP_TERM, 1);
  }
  el_resize(s.editor);
  // What the terminal kept of the old line, wrapped anew or cut, goes first.
  std::fputs(s.escapes ? "\r\033[J" : "\n", stdout);
  el_set(s.editor, EL_REFRESH);
  return code;
}

// A command of the package stopped by this Ctrl-C fails with its own error.
bool Stopped(Tcl_Interp* interp, int code) {
  if (code != TCL_ERROR) return false;
  Tcl_Obj* options = Tcl_GetReturnOptions(interp, code);
  Tcl_IncrRefCount(options);
  Tcl_Obj* key = Tcl_NewStringObj("-errorcode", -1);
  Tcl_IncrRefCount(key);
  Tcl_Obj* errorCode = nullptr;
  Tcl_DictObjGet(nullptr, options, key, &errorCode);
  const bool stopped = errorCode && !std::strncmp(Tcl_GetString(errorCode), "NCD STOPPED", 11);
  Tcl_DecrRefCount(key);
  Tcl_DecrRefCount(options);
  return stopped;
}

// On the shell's thread, from Tcl: `interp` is null when called from the
// event loop. A script runs also while the prompt waits (after, fileevent
// and -command callbacks): that one fails, as a background error.
int OnInterrupt(ClientData, Tcl_Interp* interp, int code) {
  if (s.recording) s.stoppedRecording = true;
  if (!s.evaluating && !interp && !Tcl_InterpActive(s.interp)) {
    if (presses.load() != answered) DropLine();
    return code;
  }
  // A Tab's completion: it stops, and the line goes as at the prompt.
  if (s.reading) s.dropLine = true;
  if (!interp) {
    // Inside vwait or update, which end with an error once the
    // evaluation is cancelled.
    Tcl_CancelEval(s.interp, Tcl_NewStringObj("interrupted", -1), nullptr, 0);
    return code;
  }
  if (Stopped(interp, code)) return code;
  Tcl_SetObjResult(interp, Tcl_NewStringObj("interrupted", -1));
  Tcl_SetErrorCode(interp, "NCD", "STOPPED", "stopped", nullptr);
  return TCL_ERROR;
}

void WatchSignals() {
  if (pipe(s.wake) != 0) return;
  s.interrupt = Tcl_AsyncCreate(OnInterrupt, nullptr);
  s.resize = Tcl_AsyncCreate(OnResize, nullptr);
  std::thread([read = s.wake[0], interrupt = s.interrupt, resize = s.resize] {
    char byte = 0;
    for (;;) {
      const ssize_t got = ::read(read, &byte, 1);
      if (got == 1) Tcl_AsyncMark(byte == kResize ? resize : interrupt);
      if (got == 0 || (got < 0 && errno != EINTR)) return;
    }
  }).detach();
  Handle(SIGINT, OnSigint);
  Handle(SIGWINCH, OnSigwinch);
  Handle(SIGCONT, OnSigcont);
}

void AtExit(ClientData) {
  Unprompt();
  HistEvent event;
  if (!s.historyFile.empty()) history(s.history, &event, H_SAVE, s.historyFile.c_str());
}

// The keys of terminals that libedit's Emacs map leaves unbound.
const char* const kBindings[][2] = {
    {"^I", "ncdsh-complete"},       {"^R", "em-inc-search-prev"}, {"\\e[1~", "ed-move-to-beg"},
    {"\\e[4~", "ed-move-to-end"},   {"\\e[7~", "ed-move-to-beg"}, {"\\e[8~", "ed-move-to-end"},
    {"\\e[H", "ed-move-to-beg"},    {"\\e[F", "ed-move-to-end"},  {"\\e[3~", "ed-delete-next-char"},
    {"\\e[2~", "ed-quoted-insert"}, {"\\e[1;5C", "em-next-word"}, {"\\e[1;5D", "ed-prev-word"},
    {"\\e[5C", "em-next-word"},     {"\\e[5D", "ed-prev-word"},   {"\\e\\e[C", "em-next-word"},
    {"\\e\\e[D", "ed-prev-word"},
};

// The line editor is libedit's own interface: its readline emulation
// writes through a stale copy of the line once a line outgrows 1 KB.
void SetUpEditor() {
  s.editor = el_init("ncdsh", stdin, stdout, stderr);
  s.history = history_init();
  HistEvent event;
  history(s.history, &event, H_SETSIZE, kHistoryLines);
  el_set(s.editor, EL_EDITOR, "emacs");
  el_set(s.editor, EL_PROMPT, PromptText);
  el_set(s.editor, EL_HIST, history, s.history);
  el_set(s.editor, EL_ADDFN, "ncdsh-complete", "complete the word before the cursor", OnTab);
  for (const auto& binding : kBindings)
    el_set(s.editor, EL_BIND, binding[0], binding[1], nullptr);
  el_source(s.editor, nullptr);  // ~/.editrc
  const char* term = std::getenv("TERM");
  s.escapes = term && *term && std::strcmp(term, "dumb") != 0;
  if (const char* home = std::getenv("HOME")) s.historyFile = std::string(home) + "/.ncdsh_history";
  if (!s.historyFile.empty()) history(s.history, &event, H_LOAD, s.historyFile.c_str());
}

}  // namespace

int Shell::Run(Tcl_Interp* interp) {
  s.interp = interp;
  SetUpEditor();
  WatchSignals();
  Tcl_CreateExitHandler(AtExit, nullptr);
  Write(TCL_STDOUT, std::string("ncdsh ") + Tcl_GetVar(interp, "tcl_patchLevel", TCL_GLOBAL_ONLY) +
                        " with the ncd package. Type help for its commands and topics, "
                        "Tab to complete, Ctrl-D or exit to leave.\n");
  Tcl_CreateFileHandler(STDIN_FILENO, TCL_READABLE, OnInput, nullptr);
  Prompt();
  while (!s.done) {
    Tcl_DoOneEvent(TCL_ALL_EVENTS);
    Redraw();
  }
  Tcl_DeleteFileHandler(STDIN_FILENO);
  AtExit(nullptr);
  return 0;
}

}  // namespace NcdSh
