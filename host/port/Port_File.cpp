#include "Port_File.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace Port {

// A file without any write permission bit counts as read-only even for a
// privileged process that the kernel would let write it: the bits are the
// owner's statement that the file is not to be changed, like the read-only
// attribute on other platforms.
bool File::canwrite(const StringBase& path) {
  if (path.IsEmpty()) return false;
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) return false;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(path.c_str(), W_OK) == 0;
}

namespace {

void SetPart(StringBase* part, const std::string& value) {
  if (part) *part = StringBase(value);
}

}  // namespace

// An empty path, or one whose absolute form cannot be computed (no current
// folder), answers an empty name and empty parts.
StringBase FileName::GetFullName(bool /*keepCase*/, StringBase* drive, StringBase* folder,
                                 StringBase* baseName, StringBase* extension,
                                 bool /*resolveLinks*/) const {
  namespace fs = std::filesystem;
  SetPart(drive, {});
  SetPart(folder, {});
  SetPart(baseName, {});
  SetPart(extension, {});
  if (m_path.IsEmpty()) return StringBase();

  std::error_code ec;
  fs::path full = fs::absolute(fs::path(m_path.str()), ec);
  if (ec) return StringBase();
  full = full.lexically_normal();
  std::string text = full.string();
  while (text.size() > 1 && text.back() == '/')
    text.pop_back();
  full = fs::path(text);

  SetPart(folder, full.parent_path().string());
  SetPart(baseName, full.stem().string());
  SetPart(extension, full.extension().string());
  return StringBase(std::move(text));
}

MappedFile::~MappedFile() {
  if (m_data) ::munmap(const_cast<char*>(m_data), m_size);
}

bool MappedFile::Open(const std::string& path, std::string& error) {
  if (m_data) ::munmap(const_cast<char*>(m_data), m_size);
  m_data = nullptr;
  m_size = 0;
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info {};
  void* data = MAP_FAILED;
  if (::fstat(fd, &info) != 0) {
    error = std::strerror(errno);
  } else if (!S_ISREG(info.st_mode)) {
    error = "not a regular file";
  } else if (info.st_size == 0) {
    error = "empty file";
  } else {
    data = ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) error = std::strerror(errno);
  }
  ::close(fd);
  if (data == MAP_FAILED) return false;
  m_data = static_cast<const char*>(data);
  m_size = static_cast<std::size_t>(info.st_size);
  return true;
}

void MappedFile::Drop(std::size_t from, std::size_t to) {
  const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
  const std::uintptr_t base = reinterpret_cast<std::uintptr_t>(m_data);
  const std::uintptr_t first = (base + std::min(from, m_size) + page - 1) / page * page;
  const std::uintptr_t end = (base + std::min(to, m_size)) / page * page;
  if (m_data && first < end) ::madvise(reinterpret_cast<void*>(first), end - first, MADV_DONTNEED);
}

FileReader::~FileReader() {
  if (m_fd >= 0) ::close(m_fd);
}

bool FileReader::Open(const std::string& path) {
  if (m_fd >= 0) ::close(m_fd);
  m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat status {};
  if (m_fd >= 0 && (::fstat(m_fd, &status) != 0 || !S_ISREG(status.st_mode))) {
    ::close(m_fd);
    m_fd = -1;
  }
  if (m_fd >= 0) ::posix_fadvise(m_fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return m_fd >= 0;
}

long FileReader::Read(char* into, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(m_fd, into, size);
    if (got >= 0 || errno != EINTR) return static_cast<long>(got);
  }
}

}  // namespace Port
