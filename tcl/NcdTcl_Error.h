// NcdTcl::Error: why a command of the `ncd` package failed.
//
// Commands report every failure as a Tcl error whose -errorcode is a list
// "NCD <class> ?subject ...?", so that scripts can `trap {NCD LOAD}`:
//   LOAD      a design could not be read (missing file, malformed design);
//             the message is the loader's "<file>:<line>:<column>: <cause>"
//   HANDLE    an unknown or closed design handle
//   OPTION    a bad option, a missing option value or wrong arguments
//   STATE     the handle is not in a state the command works on
//   OBJECT    a value that is not an object of the kind the command expects
//   STALE     an object of a closed design, or of an object since deleted
//   PROPERTY  a property the object does not have
//   FILTER    a malformed -filter expression
//   STOPPED   a search stopped before its end (Ctrl-C)
//   INTERNAL  the component failed in a way a script cannot cause
//   FILE      an output file could not be written (ncd::plot); nothing
//             was replaced
// The subject words name the file or handle concerned (see each thrower).
#pragma once

#include <tcl.h>

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace NcdTcl {

enum class ErrorClass {
  Load,
  Handle,
  Option,
  State,
  Object,
  Stale,
  Property,
  Filter,
  Stopped,
  Internal,
  File
};

// "LOAD", "HANDLE", ...: the second word of the -errorcode.
const char* ClassName(ErrorClass errorClass);

// A script's own text (a pattern, a filter, an option's value) as a
// message quotes it: at most 80 bytes, longer text cut to 77 at a
// character's start and followed by "...", so that one message stays one
// readable line whatever the script passed.
std::string Clipped(std::string_view text);

class Error : public std::exception {
 public:
  Error(ErrorClass errorClass, std::string message, std::vector<std::string> subject = {})
      : m_class(errorClass), m_message(std::move(message)), m_subject(std::move(subject)) {}

  const char* what() const noexcept override { return m_message.c_str(); }
  ErrorClass Class() const { return m_class; }

  // Sets the interpreter's result and -errorcode; answers TCL_ERROR.
  int Report(Tcl_Interp* interp) const;

  // Inside a catch: reports the exception being handled as a command's
  // error (an Error as itself, a lack of memory as "out of memory", any
  // other as INTERNAL); answers TCL_ERROR. Never throws, so that no
  // exception reaches Tcl.
  static int ReportCaught(Tcl_Interp* interp) noexcept;
  // An INTERNAL error with a fixed text; allocates nothing of its own.
  static int ReportInternal(Tcl_Interp* interp, const char* message) noexcept;

 private:
  ErrorClass m_class;
  std::string m_message;
  std::vector<std::string> m_subject;
};

}  // namespace NcdTcl
