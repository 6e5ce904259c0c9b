// NcdTcl::LoadNotes: the loader's messages of failed reads, kept so that
// the Tcl error of a failed load can carry them.
//
// The manager reads designs on reader threads, and the loader reports a
// bad file through the message manager on that thread
// ("<file>:<line>:<column>: <cause>"); the read's load event follows on the
// same thread. The package therefore installs one message sink for the
// process. Messages issued on a thread that runs an interpreter pass on at
// once (to the sink installed before, or to standard error as usual).
// Messages of any other thread wait on their thread until that thread's
// load event claims them: a failed read that a handle waits for (Hold)
// files its errors as the failure text of its (owner, file), kept until
// every handle waiting for it has let go (Release), however many reads fail
// meanwhile; any other read passes its messages on; a thread that ends with
// messages still waiting passes them on then. So a failed load is reported
// once, as a Tcl error, and nothing is lost.
//
// All functions may be called from any thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "NcdTcl_ReadKey.h"

namespace NcdTcl::LoadNotes {

// Installs the sink (once per process) and marks the calling thread as an
// interpreter's thread.
void Install();

// A handle waits for the read of `key` (before asking the manager for it):
// the read's failure text is kept for it until it calls Release. Holds
// count: two handles of one design hold it twice.
void Hold(const ReadKey& key);
void Release(const ReadKey& key) noexcept;

// In a load event, on the reader thread: claims the messages waiting on
// this thread for the read `key`.
void ClaimForRead(const ReadKey& key, bool failed) noexcept;

// A message of some read was lost for lack of memory (counted, so that a
// load that fails without a text of its own can say what happened).
void NoteLost() noexcept;
std::uint64_t LostCount() noexcept;

// The failure text of the last failed read of a held `key` (several
// messages joined by line feeds), or an empty text.
std::string FailureText(const ReadKey& key);

// On an interpreter's thread, around calls to the manager: while it lives,
// the messages issued on this thread wait, as a reader thread's do, so that
// a load that fails in the call itself (no thread, no memory) can carry
// its message. Claim() answers the failure texts so far; everything not
// claimed passes on when it goes.
struct Waiting;
class CallNotes {
 public:
  CallNotes() noexcept;
  ~CallNotes();
  CallNotes(const CallNotes&) = delete;
  CallNotes& operator=(const CallNotes&) = delete;
  // "out of memory" when a message could not be kept.
  std::string Claim();

 private:
  std::unique_ptr<Waiting> m_waiting;  // null without memory for it
  Waiting* m_outer;
};

}  // namespace NcdTcl::LoadNotes
