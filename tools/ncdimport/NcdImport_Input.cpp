#include "NcdImport_Input.h"

#include <zlib.h>

#include <cerrno>
#include <cstring>

namespace NcdImport {

// zlib reads plain files as they are, so one path serves both kinds.
std::string ReadInput(const std::string& path) {
  gzFile in = gzopen(path.c_str(), "rb");
  if (in == nullptr) {
    throw Error(path + ": cannot read: " + std::strerror(errno ? errno : ENOMEM));
  }
  std::string text;
  char buffer[1 << 16];
  int got;
  while ((got = gzread(in, buffer, sizeof buffer)) > 0)
    text.append(buffer, static_cast<std::size_t>(got));
  std::string problem;
  if (got < 0) {
    int code = 0;
    const char* message = gzerror(in, &code);
    problem = code == Z_ERRNO ? std::strerror(errno) : message;
  }
  gzclose(in);
  if (!problem.empty()) throw Error(path + ": cannot read: " + problem);
  return text;
}

std::string Position(std::string_view text, std::uint64_t offset) {
  std::uint64_t line = 1, column = 1;
  const std::size_t end = offset < text.size() ? offset : text.size();
  for (std::size_t i = 0; i < end; ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c == '\n') {
      ++line;
      column = 1;
    } else if ((c & 0xC0) != 0x80) {
      ++column;
    }
  }
  return std::to_string(line) + ":" + std::to_string(column);
}

}  // namespace NcdImport
