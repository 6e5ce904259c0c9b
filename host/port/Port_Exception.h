// Exceptions of the portability layer and the base of every library
// exception of the tool family. report() issues the exception's message
// through the message manager (as an error) under the component that threw
// it; getLocalized() answers the message text.
#pragma once

#include <exception>
#include <string>

#include "Port_StringBase.h"

namespace Port {

class Exception : public std::exception {
public:
  Exception(const char* component, const char* source, int line, StringBase message);
  ~Exception() override;

  virtual void report() const;
  virtual StringBase getLocalized() const { return m_message; }
  const char* what() const noexcept override { return m_message.c_str(); }

  const std::string& component() const { return m_component; }
  const std::string& source() const { return m_source; }
  int line() const { return m_line; }

private:
  std::string m_component;
  std::string m_source;
  int m_line;
  StringBase m_message;
};

namespace Thread {
// Result of lock and thread-identifier operations: 0 on success, otherwise
// a Port_ThrException code.
using Error = int;
}  // namespace Thread

}  // namespace Port

namespace Util {

// Thrown when an operation is called in a state that forbids it.
class IllegalMethodCalledException : public Port::Exception {
public:
  IllegalMethodCalledException(const char* component, const char* source, const char* revision,
                               int line, const Port::StringBase& text);
  const std::string& revision() const { return m_revision; }

private:
  std::string m_revision;
};

}  // namespace Util

namespace Port_ThrException {

// Thread-library failures are thrown as a bare code of this enumeration.
enum Exception : int {
  Ok = 0,
  Unknown = 1,
  CreateFailed = 2,      // a thread could not be created
  InvalidArgument = 3,
  NoSuchThread = 4,      // join of a thread that no longer exists (e.g. joined before)
  NotJoinable = 5,       // join of a detached thread
  BufferTooSmall = 6,    // a text does not fit the caller's buffer
  OutOfMemory = 7,
  LockFailed = 8,        // a lock could not be taken
  Busy = 9,
  Deadlock = 10,         // a thread tried to join itself
};

}  // namespace Port_ThrException
