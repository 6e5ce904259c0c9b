#include "NcdTcl_LoadNotes.h"

#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <new>
#include <utility>
#include <vector>

#include "Port_MsgManData.h"

namespace NcdTcl::LoadNotes {

// Messages that wait on a thread (a reader's, or a CallNotes'); `lost`
// when one could not be kept for lack of memory.
struct Waiting {
  std::vector<Port_Msg> messages;
  bool lost = false;
  ~Waiting();
};

namespace {

// A thread keeps at most this many waiting messages; older ones pass on.
constexpr std::size_t kMaxWaiting = 32;

// Process-wide state; allocated once and never freed, because reader
// threads may still deliver messages while the process exits.
struct Note {
  int holds = 0;     // handles waiting for the read
  std::string text;  // the last failure text, empty when none
};

struct Registry {
  std::mutex previousMutex;  // guards previous
  Port_MsgSink::Fn previous;
  std::mutex mutex;               // guards notes
  std::map<ReadKey, Note> notes;  // the held keys only
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

// "out of memory" fits a string's own buffer: making it needs no memory.
const char* const kOutOfMemory = "out of memory";

thread_local bool t_interpThread = false;
thread_local bool t_passThrough = false;      // delivering messages that waited
thread_local Waiting* t_callNotes = nullptr;  // the innermost CallNotes'
std::atomic<std::uint64_t> g_lost{0};

// Where a message goes when nobody claims it: what Port_MsgSink does
// without a sink of ours.
void PassOn(const Port_Msg& msg) {
  Port_MsgSink::Fn previous;
  {
    // Copied, so that a sink that issues messages itself cannot deadlock.
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.previousMutex);
    previous = registry.previous;
  }
  if (previous) {
    previous(msg);
    return;
  }
  if (msg.kind == Port_MsgKind::Debug && !Port_MsgManData::debugEnabled()) return;
  const std::string line = Port_MsgSink::FormatLine(msg) + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
}

// Redelivers messages through the message manager, so that they are
// serialised with every other message, and straight on to PassOn.
void Redeliver(const std::vector<Port_Msg>& messages) {
  t_passThrough = true;
  for (const Port_Msg& msg : messages)
    Port_MsgSink::Deliver(msg);
  t_passThrough = false;
}

thread_local Waiting t_waiting;

// A message that cannot be kept (no memory) is noted as lost and goes to
// standard error (the message manager's own way out).
void Keep(Waiting& waiting, const Port_Msg& msg) {
  try {
    waiting.messages.push_back(msg);
  } catch (...) {
    waiting.lost = true;
    NoteLost();
    throw;
  }
}

void Sink(const Port_Msg& msg) {
  if (t_callNotes && !t_passThrough && msg.kind != Port_MsgKind::Debug)
    return Keep(*t_callNotes, msg);
  if (t_interpThread || t_passThrough || msg.kind == Port_MsgKind::Debug) {
    PassOn(msg);
    return;
  }
  std::vector<Port_Msg>& waiting = t_waiting.messages;
  if (waiting.size() >= kMaxWaiting) {
    PassOn(waiting.front());
    waiting.erase(waiting.begin());
  }
  Keep(t_waiting, msg);
}

bool IsFailureText(const Port_Msg& msg) {
  return msg.kind == Port_MsgKind::Error || msg.kind == Port_MsgKind::Internal;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

// Files `text` as the failure text of a held key; false when no handle
// holds it.
bool File(const ReadKey& key, std::string text) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.notes.find(key);
  if (it == registry.notes.end()) return false;
  it->second.text = std::move(text);
  return true;
}

}  // namespace

void Install() {
  static std::once_flag once;
  std::call_once(once, [] {
    Port_MsgSink::Fn previous = Port_MsgSink::Install(Sink);
    Registry& registry = TheRegistry();
    std::lock_guard<std::mutex> lock(registry.previousMutex);
    registry.previous = std::move(previous);
  });
  t_interpThread = true;
}

void Hold(const ReadKey& key) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  ++registry.notes[key].holds;
}

void Release(const ReadKey& key) noexcept {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.notes.find(key);
  if (it != registry.notes.end() && --it->second.holds <= 0) registry.notes.erase(it);
}

namespace {

// Splits the messages of `waiting` into the failure texts (joined, when
// `failed`; a message lost for lack of memory counts as "out of memory"),
// the failure messages themselves, and the others.
std::string TakeFailures(Waiting& waiting, bool failed, std::vector<Port_Msg>& failures,
                         std::vector<Port_Msg>& others) {
  std::string text;
  for (Port_Msg& msg : waiting.messages) {
    if (!failed || !IsFailureText(msg)) {
      others.push_back(std::move(msg));
      continue;
    }
    if (!text.empty()) text += '\n';
    text += Trimmed(msg.text);
    failures.push_back(std::move(msg));
  }
  if (failed && std::exchange(waiting.lost, false))
    text += text.empty() ? kOutOfMemory : "\nout of memory";
  waiting.messages.clear();
  return text;
}

}  // namespace

// A read's messages: a failed read's errors become the failure text of its
// key when a handle holds it (an empty text clears an older one, which
// would describe another read); everything else passes on. Without memory
// to sort them the failure text is "out of memory".
void ClaimForRead(const ReadKey& key, bool failed) noexcept {
  Waiting claimed;
  claimed.messages = std::exchange(t_waiting.messages, {});
  claimed.lost = std::exchange(t_waiting.lost, false);
  try {
    std::vector<Port_Msg> others, failures;
    std::string text = TakeFailures(claimed, failed, failures, others);
    Redeliver(others);
    if (!File(key, std::move(text))) Redeliver(failures);  // nobody waits for them: they pass on
  } catch (...) {
    NoteLost();
    if (failed) File(key, kOutOfMemory);
  }
}

Waiting::~Waiting() {
  Redeliver(messages);
}

void NoteLost() noexcept {
  g_lost.fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t LostCount() noexcept {
  return g_lost.load(std::memory_order_relaxed);
}

CallNotes::CallNotes() noexcept : m_waiting(new (std::nothrow) Waiting) {
  m_outer = std::exchange(t_callNotes, m_waiting.get());
}

CallNotes::~CallNotes() {
  t_callNotes = m_outer;
}

std::string CallNotes::Claim() {
  if (!m_waiting) return kOutOfMemory;
  std::vector<Port_Msg> failures, others;
  std::string text = TakeFailures(*m_waiting, true, failures, others);
  m_waiting->messages = std::move(others);
  return text;
}

std::string FailureText(const ReadKey& key) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.notes.find(key);
  return it == registry.notes.end() ? std::string() : it->second.text;
}

}  // namespace NcdTcl::LoadNotes
