// Building blocks of the counted objects of the sibling components (the
// Tcl helper objects, the shared devices, their sites and clock regions).
//
// CountedT<Faces...> is a heap object with the given interfaces and a
// counting face (CommonI::TRefCountHelper): it starts with one reference,
// its creator's, and the Release whose own decrement produces 0 deletes it.
// QueryInterface answers the counting face for CommonI::IID_IRefCount and
// CitI::IID_IInterface, and whatever FindFace answers for anything else.
//
// LiveToken, a member of each object, keeps a per-kind count of the
// objects alive, which the components report so that tests can prove that
// every reference handed out was given back.
#pragma once

#include <atomic>
#include <cstdint>
#include <new>
#include <utility>

#include "CommonI_TRefCountHelper.h"

namespace Tcltask {

template <class... Faces>
class CountedT : public Faces... {
 public:
  void* QueryInterface(const Port::XUID& iid) override {
    if (iid == CommonI::IID_IRefCount || iid == CitI::IID_IInterface) return &m_counter;
    return FindFace(iid);
  }
  // What a creator hands out as the new object's first reference.
  CitI::IInterface* CountingFace() { return &m_counter; }

 protected:
  CountedT() = default;
  // The face of this object for `iid`, or null.
  virtual void* FindFace(const Port::XUID& iid) = 0;

 private:
  CommonI::TRefCountHelper<CountedT, 0> m_counter{this};
};

// A new Object adopted as its face I; empty when it cannot be made, so that
// no allocation failure crosses an interface.
template <class I, class Object, class... Args>
CommonI::RefCountPtr<I> MakeCounted(Args&&... args) {
  try {
    return CommonI::RefCountPtr<I>::Adopt(new Object(std::forward<Args>(args)...));
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// One live-object counter per kind of object of a component.
template <std::uint32_t Kinds>
class LiveCountersT {
 public:
  std::atomic<std::int64_t>& operator[](std::uint32_t kind) { return m_counts[kind]; }
  // 0 for a kind out of range.
  std::uint64_t Read(std::uint32_t kind) const {
    const std::int64_t n = kind < Kinds ? m_counts[kind].load(std::memory_order_relaxed) : 0;
    return n > 0 ? static_cast<std::uint64_t>(n) : 0;
  }

 private:
  std::atomic<std::int64_t> m_counts[Kinds]{};
};

class LiveToken {
 public:
  explicit LiveToken(std::atomic<std::int64_t>& count) : m_count(count) {
    m_count.fetch_add(1, std::memory_order_relaxed);
  }
  ~LiveToken() { m_count.fetch_sub(1, std::memory_order_relaxed); }
  LiveToken(const LiveToken&) = delete;
  LiveToken& operator=(const LiveToken&) = delete;

 private:
  std::atomic<std::int64_t>& m_count;
};

}  // namespace Tcltask
