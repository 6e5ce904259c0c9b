#include "NcdImport_Input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>

#include "NcdTool_Utf8.h"
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
  // zlib reports compressed data that ends early (Z_BUF_ERROR) only as an
  // error beside the end of the file: what was read would pass for the whole.
  std::string problem;
  int code = Z_OK;
  const char* message = gzerror(in, &code);
  if (code == Z_BUF_ERROR) {
    problem = "the compressed data is cut short";
  } else if (got < 0 && code == Z_ERRNO) {
    problem = std::strerror(errno);
  } else if (got < 0) {
    // zlib names the file by its descriptor ("<fd:3>: ..."); the message names it already.
    std::string_view cause = message;
    if (cause.starts_with("<fd:") && cause.find(">: ") != std::string_view::npos)
      cause.remove_prefix(cause.find(">: ") + 3);
    problem = "corrupt compressed data: " + std::string(cause);
  }
  gzclose(in);
  if (!problem.empty()) throw Error(path + ": cannot read: " + problem);
  if (text.size() > limit) {
    throw Error(path + ": larger than " + std::to_string(limit) +
                " bytes (decompressed), the most an input may hold");
  }
  return text;
}

void CheckText(const std::string& path, std::string_view text) {
  for (std::size_t at = 0; at < text.size();) {
    char32_t code;
    const std::size_t length = NcdTool::Utf8At(text, at, code);
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
