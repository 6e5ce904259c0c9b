#include "NcdTool_Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <optional>
#include <ostream>
#include <streambuf>
#include <string_view>

#include "Port_File.h"

namespace NcdTool {

namespace {

// An output stream's buffer that hands what it is given to Put() in
// blocks; large pieces (the design writers hand over a megabyte at a
// time) go to Put() without a copy.
class BlockBuf : public std::streambuf {
 protected:
  BlockBuf() { setp(m_buffer, m_buffer + sizeof m_buffer); }
  // Writes [at, at + size) on; false once anything failed.
  virtual bool Put(const char* at, std::size_t size) = 0;

  bool Drain() {
    const bool done = Put(pbase(), static_cast<std::size_t>(pptr() - pbase()));
    setp(m_buffer, m_buffer + sizeof m_buffer);
    return done;
  }
  int_type overflow(int_type c) override {
    if (!Drain()) return traits_type::eof();
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
      *pptr() = traits_type::to_char_type(c);
      pbump(1);
    }
    return traits_type::not_eof(c);
  }
  std::streamsize xsputn(const char* text, std::streamsize size) override {
    if (size < epptr() - pptr()) {
      traits_type::copy(pptr(), text, static_cast<std::size_t>(size));
      pbump(static_cast<int>(size));
      return size;
    }
    return Drain() && Put(text, static_cast<std::size_t>(size)) ? size : 0;
  }

 private:
  char m_buffer[1 << 16];
};

// Over a file descriptor; it keeps the reason of the first failed write,
// which a stream would only report as "bad".
class FdBuf : public BlockBuf {
 public:
  explicit FdBuf(int fd) : m_fd(fd) {}
  int Error() const { return m_error; }

 protected:
  int sync() override { return Drain() ? 0 : -1; }
  bool Put(const char* at, std::size_t size) override {
    for (const char* end = at + size; at < end && m_error == 0;) {
      const ssize_t done = ::write(m_fd, at, static_cast<std::size_t>(end - at));
      if (done >= 0) {
        at += done;
      } else if (errno != EINTR) {
        m_error = errno;
      }
    }
    return m_error == 0;
  }

 private:
  int m_fd;
  int m_error = 0;
};

// Compresses what it is given into another buffer, as one gzip member;
// Finish() writes the member's end.
class GzipBuf : public BlockBuf {
 public:
  explicit GzipBuf(std::streambuf& sink) : m_sink(sink) {
    m_ok = ::deflateInit2(&m_z, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8,
                          Z_DEFAULT_STRATEGY) == Z_OK;
  }
  ~GzipBuf() override { ::deflateEnd(&m_z); }
  GzipBuf(const GzipBuf&) = delete;
  GzipBuf& operator=(const GzipBuf&) = delete;

  bool Finish() { return Drain() && Deflate(nullptr, 0, Z_FINISH); }

 protected:
  // A flush of the stream does not end a deflate block: the member ends
  // at Finish().
  int sync() override { return m_ok ? 0 : -1; }
  bool Put(const char* at, std::size_t size) override {
    constexpr std::size_t kMost = std::size_t{1} << 30;  // what zlib counts in one go
    for (; size > kMost && m_ok; at += kMost, size -= kMost)
      Deflate(at, kMost, Z_NO_FLUSH);
    return Deflate(at, size, Z_NO_FLUSH);
  }

 private:
  bool Deflate(const char* text, std::size_t size, int flush) {
    char out[1 << 16];
    m_z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text));
    m_z.avail_in = static_cast<uInt>(size);
    int status = Z_OK;
    while (m_ok && (m_z.avail_in > 0 || (flush == Z_FINISH && status != Z_STREAM_END))) {
      m_z.next_out = reinterpret_cast<Bytef*>(out);
      m_z.avail_out = sizeof out;
      status = ::deflate(&m_z, flush);
      const auto made = static_cast<std::streamsize>(sizeof out - m_z.avail_out);
      m_ok = status != Z_STREAM_ERROR && m_sink.sputn(out, made) == made;
    }
    return m_ok;
  }

  std::streambuf& m_sink;
  z_stream m_z{};
  bool m_ok = false;
};

// What lies at a path that must not be replaced: its kind, or "" for a
// regular file or nothing.
const char* ForeignKind(mode_t mode) {
  static const std::pair<mode_t, const char*> kKinds[] = {
      {S_IFDIR, "a directory"},    {S_IFLNK, "a symbolic link"}, {S_IFCHR, "a character device"},
      {S_IFBLK, "a block device"}, {S_IFIFO, "a FIFO"},          {S_IFSOCK, "a socket"}};
  for (const auto& [kind, name] : kKinds) {
    if ((mode & S_IFMT) == kind) return name;
  }
  return (mode & S_IFMT) == S_IFREG ? "" : "not a regular file";
}

// "" when the target may be replaced; `mode` is then the mode the new file
// gets: the old file's, or what a new file gets under the umask.
std::string CheckTarget(const std::string& path, mode_t& mode) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) != 0) {
    if (errno != ENOENT) return "cannot open '" + path + "': " + std::strerror(errno);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    mode = 0666 & ~mask;
    return {};
  }
  if (const char* kind = ForeignKind(status.st_mode); *kind) {
    return "cannot write '" + path + "': it is " + kind + "; only a regular file is replaced";
  }
  if (!Port::File::canwrite(path)) return "cannot write '" + path + "': the file is read-only";
  mode = status.st_mode & 07777;
  return {};
}

// The temporary file's path, for the signal handler (which may not
// allocate); empty while no output is being written.
char g_temporary[4096];

extern "C" void RemoveTemporaryAndDie(int signal) {
  if (g_temporary[0] != '\0') ::unlink(g_temporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// Removes the temporary file when a signal ends the process mid-write.
class SignalGuard {
 public:
  explicit SignalGuard(const std::string& temporary) {
    temporary.copy(g_temporary, sizeof g_temporary - 1);
    g_temporary[std::min(temporary.size(), sizeof g_temporary - 1)] = '\0';
    struct sigaction action {};
    action.sa_handler = RemoveTemporaryAndDie;
    sigemptyset(&action.sa_mask);
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
      ::sigaction(kSignals[i], &action, &m_previous[i]);
  }
  ~SignalGuard() {
    for (std::size_t i = 0; i < std::size(kSignals); ++i)
      ::sigaction(kSignals[i], &m_previous[i], nullptr);
    g_temporary[0] = '\0';
  }
  SignalGuard(const SignalGuard&) = delete;
  SignalGuard& operator=(const SignalGuard&) = delete;

 private:
  static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGPIPE};
  struct sigaction m_previous[std::size(kSignals)];
};

// Runs `write` on the descriptor; "" or the reason it failed (a failed
// write's reason after `failedWrite`).
std::string WriteAll(int fd, const std::function<void(std::ostream&)>& write,
                     std::string_view failedWrite, bool compress = false) {
  FdBuf buffer(fd);
  std::optional<GzipBuf> gzip;
  if (compress) gzip.emplace(buffer);
  std::ostream out(compress ? static_cast<std::streambuf*>(&*gzip) : &buffer);
  std::string error;
  try {
    write(out);
    out.flush();
    if (out && compress && !gzip->Finish()) out.setstate(std::ios::badbit);
    buffer.pubsync();
  } catch (const std::exception& e) {
    error = e.what();
  }
  if (buffer.Error() != 0) return std::string(failedWrite) + std::strerror(buffer.Error());
  if (error.empty() && !out) error = std::string(failedWrite) + "the output failed";
  return error;
}

// A temporary file beside the target: ".<name>.XXXXXX" in its folder.
std::string TemporaryPattern(const std::string& path) {
  const std::filesystem::path target(path);
  const std::string name = target.filename().string().substr(0, 128);
  return (target.parent_path() / ("." + name + ".XXXXXX")).string();
}

std::string WriteFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                      Signals signals, bool compress) {
  mode_t mode = 0;
  if (std::string problem = CheckTarget(path, mode); !problem.empty()) return problem;
  std::string temporary = TemporaryPattern(path);
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return "cannot open '" + path + "': " + std::strerror(errno);
  std::optional<SignalGuard> guard;
  if (signals == Signals::RemoveAndEnd) guard.emplace(temporary);
  std::string error = WriteAll(fd, write, "cannot write: ", compress);
  if (error.empty() && ::fchmod(fd, mode) != 0)
    error = std::string("cannot write: ") + std::strerror(errno);
  if (::close(fd) != 0 && error.empty())
    error = std::string("cannot write: ") + std::strerror(errno);
  // The target may have changed while the output was written.
  if (error.empty()) error = CheckTarget(path, mode);
  if (error.empty() && ::rename(temporary.c_str(), path.c_str()) != 0)
    error = std::string("cannot replace the file: ") + std::strerror(errno);
  if (error.empty()) return error;
  ::unlink(temporary.c_str());
  return error.rfind("cannot write '", 0) == 0 ? error : path + ": " + error;
}

}  // namespace

std::string WriteOutput(const std::string& path, const std::function<void(std::ostream&)>& write,
                        Signals signals, Form form) {
  const bool gz = path.size() > 3 && path.compare(path.size() - 3, 3, ".gz") == 0;
  if (!path.empty()) return WriteFile(path, write, signals, gz && form == Form::GzipWhenNamedGz);
  const std::string error = WriteAll(STDOUT_FILENO, write, "");
  return error.empty() ? error : "cannot write to standard output: " + error;
}

std::string CheckNotInput(const std::string& output, const std::vector<std::string>& inputs) {
  for (const std::string& input : inputs) {
    std::error_code error;
    if (!output.empty() && !input.empty() && std::filesystem::equivalent(output, input, error))
      return "cannot write '" + output + "': it is the input '" + input + "'";
  }
  return {};
}

bool StandardOutputWritten(const char* tool) {
  errno = 0;
  if (std::fflush(stdout) == 0 && !std::ferror(stdout)) return true;
  std::fprintf(stderr, "%s: cannot write to standard output: %s\n", tool,
               errno != 0 ? std::strerror(errno) : "the output failed");
  return false;
}

}  // namespace NcdTool
