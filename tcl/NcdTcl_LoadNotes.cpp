#include "NcdTcl_LoadNotes.h"

#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "Port_MsgManData.h"

namespace NcdTcl::LoadNotes {

namespace {

// At most this many failure texts are kept; the oldest goes first.
constexpr std::size_t kMaxNotes = 64;
// A thread keeps at most this many waiting messages; older ones pass on.
constexpr std::size_t kMaxWaiting = 32;

// Process-wide state; allocated once and never freed, because reader
// threads may still deliver messages while the process exits.
struct Registry {
  std::mutex previousMutex;  // guards previous
  Port_MsgSink::Fn previous;
  std::mutex mutex;  // guards notes and order
  std::map<ReadKey, std::string> notes;
  std::deque<ReadKey> order;
};

Registry& TheRegistry() {
  static Registry* registry = new Registry();
  return *registry;
}

thread_local bool t_interpThread = false;
thread_local bool t_passThrough = false;  // delivering messages that waited

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

struct Waiting {
  std::vector<Port_Msg> messages;
  ~Waiting() { Redeliver(messages); }
};
thread_local Waiting t_waiting;

void Sink(const Port_Msg& msg) {
  if (t_interpThread || t_passThrough || msg.kind == Port_MsgKind::Debug) {
    PassOn(msg);
    return;
  }
  std::vector<Port_Msg>& waiting = t_waiting.messages;
  if (waiting.size() >= kMaxWaiting) {
    PassOn(waiting.front());
    waiting.erase(waiting.begin());
  }
  waiting.push_back(msg);
}

bool IsFailureText(const Port_Msg& msg) {
  return msg.kind == Port_MsgKind::Error || msg.kind == Port_MsgKind::Internal;
}

std::string Trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.pop_back();
  return text;
}

void File(ReadKey key, std::string text) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto [it, inserted] = registry.notes.insert_or_assign(key, std::move(text));
  if (!inserted) return;
  registry.order.push_back(it->first);
  if (registry.order.size() <= kMaxNotes) return;
  registry.notes.erase(registry.order.front());
  registry.order.pop_front();
}

void Forget(const ReadKey& key) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  if (!registry.notes.erase(key)) return;
  std::erase(registry.order, key);
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

void ClaimForRead(const ReadKey& key, bool failed) {
  std::vector<Port_Msg> messages = std::exchange(t_waiting.messages, {});
  if (!failed) {
    Forget(key);
    Redeliver(messages);
    return;
  }
  std::string text;
  std::vector<Port_Msg> others;
  for (Port_Msg& msg : messages) {
    if (!IsFailureText(msg)) {
      others.push_back(std::move(msg));
      continue;
    }
    if (!text.empty()) text += '\n';
    text += Trimmed(msg.text);
  }
  Redeliver(others);
  if (text.empty())
    Forget(key);  // an older text would describe another read
  else
    File(key, std::move(text));
}

std::string FailureText(const ReadKey& key) {
  Registry& registry = TheRegistry();
  std::lock_guard<std::mutex> lock(registry.mutex);
  auto it = registry.notes.find(key);
  return it == registry.notes.end() ? std::string() : it->second;
}

}  // namespace NcdTcl::LoadNotes
