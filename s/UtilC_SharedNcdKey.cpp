#include "UtilC_SharedNcdKey.h"

#include <functional>
#include <utility>

#include "Port_File.h"

namespace UtilC::SharedNcd {

namespace {

Port::StringBase FullPath(const Port::StringBase& name) {
  return Port::FileName(name).GetFullName(true, nullptr, nullptr, nullptr, nullptr, false);
}

}  // namespace

Key::Key(const Port::StringBase& fileName, const CommonI::RefCountPtr<CitI::IInterface>& owner)
    : m_owner(owner.get()), m_fileName(fileName), m_fullPath(FullPath(fileName)) {
  Count(m_owner);
}

Key::Key(const Key& other)
    : m_owner(other.m_owner), m_fileName(other.m_fileName), m_fullPath(other.m_fullPath) {
  Count(m_owner);
}

// The copies are made first, so that a failed copy leaves this key as it was.
Key& Key::operator=(const Key& other) {
  if (this != &other) {
    Port::StringBase fileName = other.m_fileName, fullPath = other.m_fullPath;
    Count(other.m_owner);
    Uncount(m_owner);
    m_owner = other.m_owner;
    m_fileName = std::move(fileName);
    m_fullPath = std::move(fullPath);
  }
  return *this;
}

Key::~Key() {
  Uncount(m_owner);
  m_owner = nullptr;
}

void Key::Count(CitI::IInterface* owner) {
  if (CommonI::IRefCount* rc = CommonI::RefCountOf(owner)) rc->AddRef();
}

void Key::Uncount(CitI::IInterface* owner) {
  if (CommonI::IRefCount* rc = CommonI::RefCountOf(owner)) rc->Release();
}

int Key::CompareNames(const Key& other) const {
  if (m_fileName.Compare(other.m_fileName, Port::StringBase::Exact) == 0) return 0;
  return m_fullPath.Compare(other.m_fullPath, Port::StringBase::Exact);
}

bool Key::operator<(const Key& other) const {
  if (m_owner != other.m_owner) return std::less<CitI::IInterface*>()(m_owner, other.m_owner);
  return CompareNames(other) < 0;
}

bool Key::operator==(const Key& other) const {
  return m_owner == other.m_owner && CompareNames(other) == 0;
}

}  // namespace UtilC::SharedNcd
