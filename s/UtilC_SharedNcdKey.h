// UtilC::SharedNcd::Key: the identity of a shared design, an owner plus a
// file name.
//
// Keys are values; each copy counts the owner once (through the owner's
// CommonI::IRefCount face, if it has one). Two keys with different owners
// are different designs, even for one file. Two names of one owner that
// differ as text but name the same file (relative and absolute forms) are
// one key: when the texts differ the keys compare their full paths. A key
// resolves its full path once, when it is made (against the current folder
// of that moment), so comparing and copying keys never resolves paths and
// comparing never allocates: the manager may look keys up where it must not
// fail.
#pragma once

#include "CommonI_IRefCount.h"
#include "Port_StringBase.h"

namespace UtilC::SharedNcd {

class Key {
public:
  Key() = default;
  Key(const Port::StringBase& fileName, const CommonI::RefCountPtr<CitI::IInterface>& owner);
  Key(const Key& other);
  Key& operator=(const Key& other);
  virtual ~Key();

  // Owners by address (a null owner first), then file names.
  bool operator<(const Key& other) const;
  bool operator==(const Key& other) const;

  CitI::IInterface* m_owner = nullptr;
  Port::StringBase m_fileName;  // as the client passed it

private:
  Port::StringBase m_fullPath;  // m_fileName's full path, resolved at construction

  static void Count(CitI::IInterface* owner);
  static void Uncount(CitI::IInterface* owner);
  // <0, 0, >0 comparing the names of two keys of one owner.
  int CompareNames(const Key& other) const;
};

}  // namespace UtilC::SharedNcd
