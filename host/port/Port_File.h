// File-system services: write access tests, full path names, read-only
// mappings of whole files, and files read from start to end.
#pragma once

#include <cstddef>
#include <string>

#include "Port_StringBase.h"

namespace Port {

class File {
 public:
  // True when the file exists, has a write permission bit, and this process
  // may write to it. A file without write bits is read-only, also for root.
  static bool canwrite(const StringBase& path);
};

class FileName {
 public:
  explicit FileName(const StringBase& path) : m_path(path) {}

  // The absolute, lexically normalised path (no ".", "..", or doubled
  // separators). Symbolic links are not resolved and the file need not exist.
  // The pointer arguments are the parts a caller may ask for separately
  // (drive, folder, base name, extension); on this platform the drive is
  // always empty. `keepCase` and `resolveLinks` are accepted and ignored.
  StringBase GetFullName(bool keepCase, StringBase* drive, StringBase* folder, StringBase* baseName,
                         StringBase* extension, bool resolveLinks) const;

 private:
  StringBase m_path;
};

// A whole regular file mapped read-only into memory, shared with every
// other process that maps it: pages are read from the file as they are
// touched and can be dropped again by the kernel. The bytes stay valid
// until the mapping is destroyed; whoever replaces the file must do so by
// renaming a new one over it, never by rewriting it in place (a file cut
// short under a mapping faults on its lost pages).
class MappedFile {
 public:
  MappedFile() = default;
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  // Maps `path`; false (with the reason in `error`) when it is missing,
  // not a regular file, empty, or cannot be mapped. Pages are mapped as
  // they are first read, a few at a time: on whichever thread reads them,
  // not all on the opening one.
  bool Open(const std::string& path, std::string& error);
  const char* Data() const { return m_data; }
  std::size_t Size() const { return m_size; }
  // Lets the kernel drop this process's pages of bytes [from, to) that the
  // caller no longer reads (they stay valid, and are read again from the
  // file if touched). Only whole pages inside the range are dropped.
  void Drop(std::size_t from, std::size_t to);

 private:
  const char* m_data = nullptr;
  std::size_t m_size = 0;
};

// A regular file read from its start, piece by piece. Unlike a mapping,
// a file cut short or rewritten while it is read only changes what the
// reads answer.
class FileReader {
 public:
  FileReader() = default;
  ~FileReader();
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;

  // False when `path` cannot be opened or is no regular file (a FIFO is
  // refused without waiting for its writer).
  bool Open(const std::string& path);
  // Up to `size` bytes: how many were read, 0 at the end, -1 on a failure.
  long Read(char* into, std::size_t size);

 private:
  int m_fd = -1;
};

}  // namespace Port
