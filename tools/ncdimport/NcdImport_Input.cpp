#include "NcdImport_Input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "Pds_PahJsonReader.h"

namespace NcdImport {

namespace {

// Opens without blocking and then looks at what was opened, as the design
// loader does: a FIFO or a device is refused before a read could wait for
// a writer forever or never end (and without the race of looking first).
int OpenRegular(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  std::string reason = fd < 0 ? std::strerror(errno) : "";
  struct stat status {};
  if (fd >= 0 && ::fstat(fd, &status) != 0) reason = std::strerror(errno);
  if (reason.empty() && S_ISDIR(status.st_mode)) reason = std::strerror(EISDIR);
  if (reason.empty() && !S_ISREG(status.st_mode)) reason = "not a regular file";
  if (reason.empty() && ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    reason = std::strerror(errno);
  if (reason.empty()) return fd;
  if (fd >= 0) ::close(fd);
  throw Error(path + ": cannot read: " + reason);
}

}  // namespace

// zlib reads plain files as they are, so one path serves both kinds. The
// limit counts decompressed bytes, so that a small compressed file cannot
// make the importer inflate without end.
std::string ReadInput(const std::string& path, std::uint64_t limit) {
  const int fd = OpenRegular(path);
  gzFile in = gzdopen(fd, "rb");
  if (in == nullptr) {
    ::close(fd);
    throw Error(path + ": cannot read: " + std::strerror(ENOMEM));
  }
  std::string text;
  char buffer[1 << 16];
  int got;
  while ((got = gzread(in, buffer, sizeof buffer)) > 0 && text.size() <= limit)
    text.append(buffer, static_cast<std::size_t>(got));
  std::string problem;
  if (got < 0) {
    int code = 0;
    const char* message = gzerror(in, &code);
    problem = code == Z_ERRNO ? std::strerror(errno) : message;
  }
  gzclose(in);
  if (!problem.empty()) throw Error(path + ": cannot read: " + problem);
  if (text.size() > limit) {
    throw Error(path + ": larger than " + std::to_string(limit) +
                " bytes (decompressed), the most an input may hold");
  }
  return text;
}

namespace {

// The length of the UTF-8 sequence at `at`, or 0 when it is none (overlong
// forms, surrogates and code points above U+10FFFF included).
std::size_t SequenceAt(std::string_view text, std::size_t at) {
  const auto byte = [&](std::size_t i) {
    return at + i < text.size() ? static_cast<unsigned char>(text[at + i]) : 0u;
  };
  const unsigned c = byte(0);
  if (c < 0x80) return 1;
  const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (length == 0 || c > 0xF4) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
  }
  const unsigned second = byte(1);
  if ((c == 0xE0 && second < 0xA0) || (c == 0xED && second >= 0xA0) ||
      (c == 0xF0 && second < 0x90) || (c == 0xF4 && second >= 0x90))
    return 0;
  return length;
}

}  // namespace

void CheckText(const std::string& path, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    const std::size_t length = SequenceAt(text, at);
    if (length == 0 || text[at] == '\0') {
      throw Error(path + ":" + Position(text, at) + ": " +
                  (length ? "the NUL character (\\u0000) has no place in the text"
                          : "the text is not UTF-8"));
    }
    at += length;
  }
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

std::string Quote(std::string_view name) {
  return Pds_PahJsonReader::Quote(name);
}

}  // namespace NcdImport
