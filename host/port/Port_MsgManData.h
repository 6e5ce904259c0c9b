// The message manager: every diagnostic of the tool family goes through it.
//
//   Port_MsgManData::createObject("UtilitiesC", "UtilC_SharedNcdReader", __LINE__, "1")
//       .issueInternal("Unhandle Exception at %s:%d\n", "UtilC_SharedNcdReader", __LINE__);
//
// Errors, warnings and internal messages are written to standard error, one
// line each: "<SEVERITY> [<component>] <text> (<source>:<line>)", the text's
// trailing line feed dropped ("[<component>]" is left out when the component
// is empty, "(<source>:<line>)" when the source is). Debug traces
// (debugStub) are written only when the environment variable PORT_DEBUG is
// set to a non-empty value other than "0".
//
// A sink installed with Port_MsgSink::Install receives every message,
// traces included, instead of standard error; tests use Port_MsgCapture.
// Message formats are printf formats checked by the compiler (no %U; see
// Port::StringBase::Format).
//
// Issuing never throws: a message whose text cannot be made (no memory) is
// issued with the text "out of memory" (or, failing that too, written to
// standard error as its bare format), and one a sink fails to take goes to
// standard error. (createObject itself allocates, and may throw
// std::bad_alloc.)
//
// All functions here may be called from any thread. Delivery is serialised:
// a sink runs for one message at a time, and once Install has returned, the
// sink it replaced is no longer running and will not be called again. A
// sink may itself issue messages (they are delivered on the same thread).
#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "Port_StringBase.h"

enum class Port_MsgKind { Error, Warning, Internal, Info, Debug };

const char* Port_MsgKindName(Port_MsgKind kind);  // "ERROR", "WARNING", "INTERNAL", "INFO", "DEBUG"

struct Port_Msg {
  Port_MsgKind kind;
  std::string component;  // empty for debug traces
  std::string text;       // formatted, as issued (trailing line feed kept)
  std::string source;     // source module that created the message
  int line = 0;
};

class Port_MsgManData {
public:
  static Port_MsgManData createObject(const char* component, const char* source, int line,
                                      const char* revision);

  void issueError(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueWarning(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueInternal(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issueInfo(const char* format, ...) const __attribute__((format(printf, 2, 3)));
  void issue(Port_MsgKind kind, const char* format, va_list args) const;

  static void debugStub(const char* format, ...) __attribute__((format(printf, 1, 2)));
  static bool debugEnabled();

  const std::string& component() const { return m_component; }
  const std::string& source() const { return m_source; }
  int line() const { return m_line; }

private:
  Port_MsgManData(const char* component, const char* source, int line);
  std::string m_component;
  std::string m_source;
  int m_line;
};

// Where messages go. One sink at a time; Install answers the one it replaced.
class Port_MsgSink {
public:
  using Fn = std::function<void(const Port_Msg&)>;
  static Fn Install(Fn sink);
  // To the sink, or to standard error (also when the sink throws).
  static void Deliver(const Port_Msg& msg) noexcept;
  // The standard-error line of `msg`, without the line feed.
  static std::string FormatLine(const Port_Msg& msg);
};

// Captures every message while it lives (restores the previous sink after).
class Port_MsgCapture {
public:
  Port_MsgCapture();
  ~Port_MsgCapture();
  Port_MsgCapture(const Port_MsgCapture&) = delete;
  Port_MsgCapture& operator=(const Port_MsgCapture&) = delete;

  std::vector<Port_Msg> messages() const;
  std::vector<Port_Msg> take();  // answers the messages so far and forgets them
  // Number of messages whose text contains `needle` (and of `kind`, when given).
  std::size_t count(std::string_view needle) const;
  std::size_t count(Port_MsgKind kind, std::string_view needle) const;

private:
  mutable std::mutex m_mutex;
  std::vector<Port_Msg> m_messages;
  Port_MsgSink::Fn m_previous;
};

namespace Port {

// Message catalogue: the translated text of a description. This build has
// one language, so the text comes back as it went in.
class MsgData {
public:
  MsgData(const char* component, const char* module);
  StringBase TranslateMsg(const char* text) const;
  StringBase TranslateMsg(const StringBase& text) const { return TranslateMsg(text.c_str()); }

private:
  std::string m_component;
  std::string m_module;
};

}  // namespace Port
