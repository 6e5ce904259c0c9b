// UtilI::IStringContainer and UtilI::IStringIterator: a counted list of
// strings and a cursor over it, used wherever lists of names cross a
// component boundary (searchable type names, property names, the ranges
// and choices of a property).
//
// Both are counted objects whose main face is not IRefCount: ask them for
// CommonI::IID_IRefCount (RefCountPtr does) to count them. An iterator
// keeps its container alive. Neither is safe to change from two threads at
// once; reading one from several threads is.
#pragma once

#include <cstdint>

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"

namespace UtilI {

inline constexpr Port::XUID IID_IStringContainer{0x4a051b34f0f44b80ULL, 0xbc1e05e8974ac7bcULL};
inline constexpr Port::XUID IID_IStringIterator{0x3dfd052eedd24c1fULL, 0x9b4dd9ef290e110eULL};

class IStringIterator : public CitI::IInterface {
 public:
  // The string at the cursor; empty at or past the end.
  virtual Port::StringBase GetCurrent() = 0;
  virtual CitI::Result Reset() = 0;
  // False (and no move) at the end.
  virtual CitI::Result Next() = 0;
  virtual CitI::Result IsDone() = 0;
  // Writes the cursor's state to standard output; answers 0.
  virtual int Dump() = 0;
};

class IStringContainer : public CitI::IInterface {
 public:
  // Appends a copy at the end; true.
  virtual CitI::Result Add(const Port::StringBase& text) = 0;
  // Removes the string under `iterator`, which then designates the string
  // that followed it. An empty reference or a finished iterator removes
  // nothing (true); an iterator of another container is refused (false).
  virtual CitI::Result Remove(const CommonI::RefCountPtr<IStringIterator>& iterator) = 0;
  // A new iterator at the first string.
  virtual CitI::Result CreateIterator(CommonI::RefCountPtr<IStringIterator>& out) = 0;
  virtual std::uint64_t GetSize() = 0;
  virtual CitI::Result Clear() = 0;
  // Writes the strings to standard output; answers 0.
  virtual int Dump() = 0;
  // The same as Add.
  virtual CitI::Result Append(const Port::StringBase& text) = 0;
};

}  // namespace UtilI
