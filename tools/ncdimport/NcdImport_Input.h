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

// The whole file; a gzip-compressed file is decompressed. Throws Error
// "<file>: cannot read: <reason>".
std::string ReadInput(const std::string& path);

// "<line>:<column>" of a byte offset in text; both count from 1, columns
// in characters (UTF-8).
std::string Position(std::string_view text, std::uint64_t offset);

}  // namespace NcdImport
