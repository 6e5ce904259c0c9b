// File-system services: write access tests and full path names.
#pragma once

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

}  // namespace Port
