// Stopping searches from the keyboard.
//
// While a search runs, its search context is registered here (SearchScope).
// StopSearches() raises the stop flag of every registered context, so each
// search ends at its next object and its command fails with NCD STOPPED;
// the flag is an atomic store, so a signal handler may call it.
//
// InstallInterruptHandler() makes SIGINT (Ctrl-C) do that while a search
// runs. At any other time, Ctrl-C does what it did before (it ends a shell
// as usual) unless `ignoreWhenIdle` is set (for tests).
//
// Threads: any thread; at most kSlots searches are stoppable at once (a
// further one runs to its end).
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

// Asks every running search to stop; answers how many were asked.
int StopSearches() noexcept;
void InstallInterruptHandler(bool ignoreWhenIdle = false);

}  // namespace NcdTcl
