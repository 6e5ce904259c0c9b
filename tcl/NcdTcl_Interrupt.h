// Stopping the package's commands from the keyboard.
//
// Every command of the package runs inside a CommandScope. StopCommands()
// asks every command running in the process to stop: long loops call
// CheckStop() for each object they visit and fail with NCD STOPPED, and
// each running search (registered by SearchScope) has the stop flag of its
// search context raised, so that it ends at its next object. It is made of
// atomic operations only, so a signal handler may call it.
//
// InstallInterruptHandler() makes SIGINT (Ctrl-C) do that while a command
// runs. At any other time, Ctrl-C does what it did before (it ends a shell
// as usual) unless `ignoreWhenIdle` is set (for tests); ncdsh installs a
// handler of its own that clears the input line instead.
//
// Threads: any thread; at most kSlots searches are stoppable at once (a
// further one is stopped by its command's checks, after the search).
#pragma once

#include "UtilI_TclSearch.h"

namespace NcdTcl {

class SearchScope {
 public:
  explicit SearchScope(UtilI::ISearchRequest* context);
  ~SearchScope();
  SearchScope(const SearchScope&) = delete;
  SearchScope& operator=(const SearchScope&) = delete;

 private:
  int m_slot;  // -1 when no slot was free
};

constexpr int kSlots = 32;

// Marks the running of one command on this thread (nested ones count once).
class CommandScope {
 public:
  CommandScope();
  ~CommandScope();
  CommandScope(const CommandScope&) = delete;
  CommandScope& operator=(const CommandScope&) = delete;
};

// Whether a stop was asked since this thread's outermost command began.
bool StopAsked() noexcept;
// Throws STOPPED ("command stopped") when StopAsked().
void CheckStop();
[[noreturn]] void ThrowStopped();

// Asks every running command and search to stop; answers how many commands
// (or searches) were running.
int StopCommands() noexcept;
void InstallInterruptHandler(bool ignoreWhenIdle = false);

}  // namespace NcdTcl
