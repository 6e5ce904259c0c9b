// Reference counting of component objects.
//
// A reference to any interface pointer is taken by asking it for its
// IRefCount face and calling AddRef(); an object without that face is not
// counted (a process-wide singleton, say) and RefCountPtr then holds it
// plainly. Release() that takes the count to 0 destroys the object.
#pragma once

#include <utility>

#include "CitI_IInterface.h"

namespace CommonI {

inline constexpr Port::XUID IID_IRefCount{0xf35246530fb84605ULL, 0xa6c16e80946a2cddULL};

class IRefCount : public CitI::IInterface {
public:
  virtual CitI::Result AddRef() = 0;
  virtual CitI::Result Release() = 0;
  virtual CitI::Result GetRefCount(int* count) = 0;
};

// The counting face of any interface pointer (null when it has none).
inline IRefCount* RefCountOf(CitI::IInterface* object) {
  return object ? static_cast<IRefCount*>(object->QueryInterface(IID_IRefCount)) : nullptr;
}

// Holds one counted reference to an interface pointer.
template <class T>
class RefCountPtr {
public:
  RefCountPtr() = default;
  // Takes a new reference on `object`.
  explicit RefCountPtr(T* object) : m_ptr(object) { addRef(); }
  RefCountPtr(const RefCountPtr& o) : m_ptr(o.m_ptr) { addRef(); }
  RefCountPtr(RefCountPtr&& o) noexcept : m_ptr(std::exchange(o.m_ptr, nullptr)) {}
  ~RefCountPtr() { release(); }

  RefCountPtr& operator=(const RefCountPtr& o) {
    if (this != &o) {
      T* old = m_ptr;
      m_ptr = o.m_ptr;
      addRef();
      releasePtr(old);
    }
    return *this;
  }
  RefCountPtr& operator=(RefCountPtr&& o) noexcept {
    if (this != &o) {
      T* old = std::exchange(m_ptr, std::exchange(o.m_ptr, nullptr));
      releasePtr(old);
    }
    return *this;
  }

  // Takes over a reference the caller already owns (a new object's first one).
  static RefCountPtr Adopt(T* object) {
    RefCountPtr p;
    p.m_ptr = object;
    return p;
  }
  // Gives up the reference without releasing it.
  T* Detach() { return std::exchange(m_ptr, nullptr); }
  void Reset() { release(); }
  // Replaces the held reference by a new reference on `object`.
  void Reset(T* object) { *this = RefCountPtr(object); }

  T* get() const { return m_ptr; }
  T* operator->() const { return m_ptr; }
  T& operator*() const { return *m_ptr; }
  explicit operator bool() const { return m_ptr != nullptr; }
  bool operator==(const RefCountPtr& o) const { return m_ptr == o.m_ptr; }

private:
  void addRef() {
    if (IRefCount* rc = RefCountOf(m_ptr)) rc->AddRef();
  }
  static void releasePtr(T* p) {
    if (IRefCount* rc = RefCountOf(p)) rc->Release();
  }
  void release() { releasePtr(std::exchange(m_ptr, nullptr)); }

  T* m_ptr = nullptr;
};

}  // namespace CommonI
