// Reading the importer's input files, and the errors it reports.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace NcdImport {

// An input the importer cannot use. The message names the file and, where
// there is one, the line and column: "<file>:<line>:<column>: <cause>".
class Error : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The most an input may hold once decompressed: 128 MiB, seven times the
// netlist of a full HX8K, and a bound on the memory a hostile input (a
// gzip bomb, a file that never ends) can take.
inline constexpr std::uint64_t kInputLimit = std::uint64_t{128} << 20;

// The whole file; a gzip-compressed file is decompressed. What is not a
// regular file (a FIFO, a device) is refused before anything waits for it.
// Throws Error "<file>: cannot read: <reason>" (the reason "not a regular
// file" for those), and "<file>: larger than <n> bytes ..." past `limit`.
std::string ReadInput(const std::string& path, std::uint64_t limit = kInputLimit);

// Text whose words may become names or values of the design: UTF-8
// without NUL characters. Throws Error "<file>:<line>:<column>: <cause>"
// at the first byte that breaks the rule.
void CheckText(const std::string& path, std::string_view text);

// "<line>:<column>" of a byte offset in text; both count from 1, columns
// in characters (UTF-8).
std::string Position(std::string_view text, std::uint64_t offset);

// A name from an input for a message: quoted, at most 64 characters (then
// "..."), control characters written as escapes ("\n", "\u0001").
std::string Quote(std::string_view name);

}  // namespace NcdImport
