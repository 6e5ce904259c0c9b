#include "Port_MsgManData.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Recursive so that a sink may issue messages of its own; held across the
// sink call so that Install() never returns while the replaced sink runs.
std::recursive_mutex& SinkMutex() {
  static std::recursive_mutex mutex;
  return mutex;
}

Port_MsgSink::Fn& CurrentSink() {
  static Port_MsgSink::Fn sink;
  return sink;
}

Port_Msg MakeMsg(Port_MsgKind kind, std::string component, const char* format, va_list args,
                 std::string source, int line) {
  Port::StringBase text;
  text.FormatV(format, args);
  return Port_Msg{kind, std::move(component), text.str(), std::move(source), line};
}

// A message that cannot be made (no memory for its text) is written as its
// bare format, so that issuing never fails.
void WriteUnformatted(const char* kind, const char* format) noexcept {
  std::fputs(kind, stderr);
  std::fputs(" (message text not formatted: out of memory) ", stderr);
  const char* text = format ? format : "";
  std::fputs(text, stderr);
  const std::size_t length = std::strlen(text);
  if (length == 0 || text[length - 1] != '\n') std::fputc('\n', stderr);
  std::fflush(stderr);
}

}  // namespace

const char* Port_MsgKindName(Port_MsgKind kind) {
  switch (kind) {
    case Port_MsgKind::Error:
      return "ERROR";
    case Port_MsgKind::Warning:
      return "WARNING";
    case Port_MsgKind::Internal:
      return "INTERNAL";
    case Port_MsgKind::Info:
      return "INFO";
    case Port_MsgKind::Debug:
      return "DEBUG";
  }
  return "UNKNOWN";
}

// ---- Port_MsgManData ----

Port_MsgManData::Port_MsgManData(const char* component, const char* source, int line)
    : m_component(component ? component : ""), m_source(source ? source : ""), m_line(line) {}

Port_MsgManData Port_MsgManData::createObject(const char* component, const char* source, int line,
                                              const char* /*revision*/) {
  return Port_MsgManData(component, source, line);
}

// A message without memory for its text still says what happened to it:
// "out of memory" needs no memory of its own (it fits the string's own
// buffer), so it reaches the sink as the message's text.
void Port_MsgManData::issue(Port_MsgKind kind, const char* format, va_list args) const {
  try {
    Port_MsgSink::Deliver(MakeMsg(kind, m_component, format, args, m_source, m_line));
    return;
  } catch (...) {
  }
  try {
    Port_MsgSink::Deliver(Port_Msg{kind, std::string(), "out of memory", std::string(), 0});
  } catch (...) {
    WriteUnformatted(Port_MsgKindName(kind), format);
  }
}

#define PORT_MSG_ISSUE(kind) \
  va_list args;              \
  va_start(args, format);    \
  issue(kind, format, args); \
  va_end(args)

void Port_MsgManData::issueError(const char* format, ...) const {
  PORT_MSG_ISSUE(Port_MsgKind::Error);
}
void Port_MsgManData::issueWarning(const char* format, ...) const {
  PORT_MSG_ISSUE(Port_MsgKind::Warning);
}
void Port_MsgManData::issueInternal(const char* format, ...) const {
  PORT_MSG_ISSUE(Port_MsgKind::Internal);
}
void Port_MsgManData::issueInfo(const char* format, ...) const {
  PORT_MSG_ISSUE(Port_MsgKind::Info);
}

#undef PORT_MSG_ISSUE

void Port_MsgManData::debugStub(const char* format, ...) {
  va_list args;
  va_start(args, format);
  try {
    Port_MsgSink::Deliver(
        MakeMsg(Port_MsgKind::Debug, std::string(), format, args, std::string(), 0));
  } catch (...) {
    // A trace that cannot be made is dropped.
  }
  va_end(args);
}

bool Port_MsgManData::debugEnabled() {
  const char* value = std::getenv("PORT_DEBUG");
  return value && *value && std::strcmp(value, "0") != 0;
}

// ---- Port_MsgSink ----

Port_MsgSink::Fn Port_MsgSink::Install(Fn sink) {
  std::lock_guard<std::recursive_mutex> lock(SinkMutex());
  return std::exchange(CurrentSink(), std::move(sink));
}

std::string Port_MsgSink::FormatLine(const Port_Msg& msg) {
  std::string line = Port_MsgKindName(msg.kind);
  if (!msg.component.empty()) line += " [" + msg.component + "]";
  std::string_view text = msg.text;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r'))
    text.remove_suffix(1);
  line += ' ';
  line += text;
  if (!msg.source.empty()) line += " (" + msg.source + ":" + std::to_string(msg.line) + ")";
  return line;
}

// A sink that fails (out of memory, say) loses the message to standard
// error instead; delivery itself never throws.
void Port_MsgSink::Deliver(const Port_Msg& msg) noexcept {
  std::lock_guard<std::recursive_mutex> lock(SinkMutex());
  if (const Fn& sink = CurrentSink()) {
    try {
      sink(msg);
      return;
    } catch (...) {
    }
  }
  if (msg.kind == Port_MsgKind::Debug && !Port_MsgManData::debugEnabled()) return;
  try {
    const std::string line = FormatLine(msg) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
  } catch (...) {
    std::fwrite(msg.text.data(), 1, msg.text.size(), stderr);
  }
  std::fflush(stderr);
}

// ---- Port_MsgCapture ----

Port_MsgCapture::Port_MsgCapture() {
  m_previous = Port_MsgSink::Install([this](const Port_Msg& msg) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_messages.push_back(msg);
  });
}

Port_MsgCapture::~Port_MsgCapture() {
  Port_MsgSink::Install(std::move(m_previous));
}

std::vector<Port_Msg> Port_MsgCapture::messages() const {
  std::lock_guard<std::mutex> lock(m_mutex);
  return m_messages;
}

std::vector<Port_Msg> Port_MsgCapture::take() {
  std::lock_guard<std::mutex> lock(m_mutex);
  return std::exchange(m_messages, {});
}

std::size_t Port_MsgCapture::count(std::string_view needle) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::size_t n = 0;
  for (const Port_Msg& m : m_messages)
    n += m.text.find(needle) != std::string::npos ? 1 : 0;
  return n;
}

std::size_t Port_MsgCapture::count(Port_MsgKind kind, std::string_view needle) const {
  std::lock_guard<std::mutex> lock(m_mutex);
  std::size_t n = 0;
  for (const Port_Msg& m : m_messages) {
    n += m.kind == kind && m.text.find(needle) != std::string::npos ? 1 : 0;
  }
  return n;
}

// ---- Port::MsgData ----

namespace Port {

MsgData::MsgData(const char* component, const char* module)
    : m_component(component ? component : ""), m_module(module ? module : "") {}

StringBase MsgData::TranslateMsg(const char* text) const {
  return StringBase(text);
}

}  // namespace Port
